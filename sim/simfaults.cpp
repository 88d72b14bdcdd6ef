#include "sim/simfaults.h"

namespace tf::sim {

namespace {

bool readRate(const QString& text, double* rate) {
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (!ok || value < 0 || value > 1)
        return false;
    *rate = value;
    return true;
}

bool readCount(const QString& text, int max, int* count) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > max)
        return false;
    *count = value;
    return true;
}

} // namespace

const QStringList& FaultSet::refusalSteps() {
    static const QStringList steps{QStringLiteral("enq"),       QStringLiteral("frame"),
                                   QStringLiteral("handshake"), QStringLiteral("data"),
                                   QStringLiteral("title"),     QStringLiteral("key"),
                                   QStringLiteral("play"),      QStringLiteral("playmode"),
                                   QStringLiteral("program"),   QStringLiteral("reply")};
    return steps;
}

bool FaultSet::apply(const QString& description, QString* error) {
    const QStringList words = description.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString name = words.value(0).toLower();
    const QStringList args = words.mid(1);
    const auto bad = [&](const QString& usage) {
        *error = QStringLiteral("usage: fault %1").arg(usage);
        return false;
    };
    constexpr int kMaxCount = 1000000;
    bool lineOk = false;
    QString lineUsage;
    if (name == QLatin1String("checksum")) {
        if (args.size() != 1 || !readRate(args.at(0), &m_checksumRate))
            return bad(QStringLiteral("checksum P (0 to 1)"));
    } else if (name == QLatin1String("checksum-next")) {
        if (args.size() != 1 || !readCount(args.at(0), kMaxCount, &m_checksumNext))
            return bad(QStringLiteral("checksum-next N"));
    } else if (name == QLatin1String("drop")) {
        if (args.size() != 1 || !readRate(args.at(0), &m_dropRate))
            return bad(QStringLiteral("drop P (0 to 1)"));
    } else if (name == QLatin1String("drop-next")) {
        if (args.size() != 1 || !readCount(args.at(0), kMaxCount, &m_dropNext))
            return bad(QStringLiteral("drop-next N"));
    } else if (name == QLatin1String("refuse")) {
        Refusal refusal;
        refusal.step = args.value(0).toLower();
        if (args.isEmpty() || args.size() > 3 || !refusalSteps().contains(refusal.step) ||
            (args.size() > 1 && !readCount(args.at(1), kMaxCount, &refusal.count)) ||
            (args.size() > 2 && !readCount(args.at(2), kMaxCount, &refusal.skip)))
            return bad(QStringLiteral("refuse STEP [COUNT [SKIP]], STEP one of ") +
                       refusalSteps().join(QLatin1Char(' ')));
        m_refusals.append(refusal);
    } else if (name == QLatin1String("silence")) {
        int ms = 0;
        if (args.size() > 1 || (args.size() == 1 && !readCount(args.at(0), 24 * 3600 * 1000, &ms)))
            return bad(QStringLiteral("silence [MS]"));
        m_silent = true;
        m_silentUntil = ms > 0 ? QDeadlineTimer(ms) : QDeadlineTimer(QDeadlineTimer::Forever);
    } else if (name == QLatin1String("slowtoc")) {
        if (args.size() != 1 || !readCount(args.at(0), 3600 * 1000, &m_slowTocMs))
            return bad(QStringLiteral("slowtoc MS"));
    } else if (name == QLatin1String("garbage")) {
        if (args.isEmpty() || args.size() > 2 || !readCount(args.at(0), 64, &m_garbageBytes) ||
            (args.size() == 2 && !readCount(args.at(1), 1000, &m_garbageGapMs)))
            return bad(QStringLiteral("garbage N [GAP_MS] (N up to 64)"));
    } else if (name == QLatin1String("forget")) {
        static const QStringList reports{QStringLiteral("status"), QStringLiteral("state"),
                                         QStringLiteral("toc"), QStringLiteral("mode")};
        int count = 1;
        if (args.isEmpty() || args.size() > 2 || !reports.contains(args.at(0).toLower()) ||
            (args.size() == 2 && !readCount(args.at(1), kMaxCount, &count)))
            return bad(QStringLiteral("forget REPORT [N], REPORT one of status state toc mode"));
        m_forgetReport = args.at(0).toLower();
        m_forgetCount = count;
    } else if (name == QLatin1String("permission")) {
        if (args.size() != 1 || !readCount(args.at(0), 255, &m_permissionBits))
            return bad(QStringLiteral("permission BITS (0 to 255)"));
    } else if (m_line.apply(name, args, &lineOk, &lineUsage)) {
        if (!lineOk)
            return bad(lineUsage);
    } else {
        *error =
            QStringLiteral(
                "unknown fault \"%1\"; known: checksum checksum-next drop "
                "drop-next refuse silence slowtoc garbage forget permission hangup flip truncate "
                "len noise dup late intrude mute cut nak fragment coalesce")
                .arg(name);
        return false;
    }
    return true;
}

void FaultSet::clear() {
    m_checksumRate = 0;
    m_checksumNext = 0;
    m_dropRate = 0;
    m_dropNext = 0;
    m_refusals.clear();
    m_forgetReport.clear();
    m_forgetCount = 0;
    m_permissionBits = -1;
    m_silent = false;
    m_slowTocMs = -1;
    m_garbageBytes = 0;
    m_garbageGapMs = 30;
    m_line.clear();
}

bool FaultSet::refuseAt(const QString& step) {
    for (int i = 0; i < m_refusals.size(); ++i) {
        Refusal& refusal = m_refusals[i];
        if (refusal.step != step)
            continue;
        if (refusal.skip > 0) {
            --refusal.skip;
            continue;
        }
        if (refusal.count > 0 && --refusal.count == 0)
            m_refusals.removeAt(i);
        return true;
    }
    return false;
}

bool FaultSet::forgetReport(const QString& report) {
    if (m_forgetReport.isEmpty() || report != m_forgetReport)
        return false;
    if (m_forgetCount > 0 && --m_forgetCount == 0)
        m_forgetReport.clear();
    return true;
}

bool FaultSet::dropUnit() {
    if (m_dropNext > 0) {
        --m_dropNext;
        return true;
    }
    return chance(m_dropRate);
}

bool FaultSet::corruptFrame() {
    if (m_checksumNext > 0) {
        --m_checksumNext;
        return true;
    }
    return chance(m_checksumRate);
}

QByteArray FaultSet::garbage() {
    // Noise that cannot be taken for a control byte or the start of a frame.
    static const char kNoise[] = {'\x00', '\xFF', '\x7F', '\x41', '\x80', '\x13', '\xE5', '\x3F'};
    QByteArray bytes;
    for (int i = 0; i < m_garbageBytes; ++i)
        bytes.append(kNoise[m_random.bounded(static_cast<int>(sizeof kNoise))]);
    return bytes;
}

bool FaultSet::silent() const {
    return m_silent && !m_silentUntil.hasExpired();
}

int FaultSet::silenceRemainingMs() const {
    if (!silent() || m_silentUntil.isForever())
        return -1;
    return static_cast<int>(m_silentUntil.remainingTime());
}

QStringList FaultSet::describe() const {
    QStringList active;
    if (m_checksumRate > 0)
        active << QStringLiteral("checksum %1").arg(m_checksumRate);
    if (m_checksumNext > 0)
        active << QStringLiteral("checksum-next %1").arg(m_checksumNext);
    if (m_dropRate > 0)
        active << QStringLiteral("drop %1").arg(m_dropRate);
    if (m_dropNext > 0)
        active << QStringLiteral("drop-next %1").arg(m_dropNext);
    for (const Refusal& refusal : m_refusals)
        active << QStringLiteral("refuse %1 %2 %3")
                      .arg(refusal.step)
                      .arg(refusal.count)
                      .arg(refusal.skip);
    if (!m_forgetReport.isEmpty())
        active << QStringLiteral("forget %1 %2").arg(m_forgetReport).arg(m_forgetCount);
    if (m_permissionBits >= 0)
        active << QStringLiteral("permission %1").arg(m_permissionBits);
    if (silent())
        active << QStringLiteral("silence");
    if (m_slowTocMs >= 0)
        active << QStringLiteral("slowtoc %1").arg(m_slowTocMs);
    if (m_garbageBytes > 0)
        active << QStringLiteral("garbage %1 %2").arg(m_garbageBytes).arg(m_garbageGapMs);
    active << m_line.describe();
    return active;
}

} // namespace tf::sim
