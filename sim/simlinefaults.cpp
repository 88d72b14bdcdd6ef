#include "sim/simlinefaults.h"

namespace tf::sim {

namespace {

constexpr int kMaxCount = 1000000;

bool readCount(const QString& text, int max, int* count) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0 || value > max)
        return false;
    *count = value;
    return true;
}

const char* const kLenKinds[] = {"small", "large", "ffff"};

} // namespace

bool LineFaults::apply(const QString& name, const QStringList& args, bool* ok, QString* usage) {
    const auto aimed = [&](Kind kind, int argMax, const char* text) {
        *usage = QString::fromLatin1(text);
        Aimed fault{kind, 0, 0};
        const int expected = argMax > 0 ? 2 : 1;
        *ok = args.size() == expected &&
              (argMax == 0 || readCount(args.at(0), argMax, &fault.arg)) &&
              readCount(args.last(), kMaxCount, &fault.skip);
        if (*ok)
            m_aimed.append(fault);
        return true;
    };
    if (name == QLatin1String("flip"))
        return aimed(Kind::Flip, kMaxCount, "flip BIT SKIP");
    if (name == QLatin1String("truncate"))
        return aimed(Kind::Truncate, kMaxCount, "truncate N SKIP");
    if (name == QLatin1String("noise"))
        return aimed(Kind::Noise, 64, "noise N SKIP (N up to 64)");
    if (name == QLatin1String("dup"))
        return aimed(Kind::Dup, 0, "dup SKIP");
    if (name == QLatin1String("late"))
        return aimed(Kind::Late, 60000, "late MS SKIP");
    if (name == QLatin1String("intrude"))
        return aimed(Kind::Intrude, 0, "intrude SKIP");
    if (name == QLatin1String("mute"))
        return aimed(Kind::Mute, 0, "mute SKIP");
    if (name == QLatin1String("cut"))
        return aimed(Kind::Cut, 0, "cut SKIP");
    if (name == QLatin1String("len")) {
        *usage = QStringLiteral("len small|large|ffff SKIP");
        Aimed fault{Kind::Len, -1, 0};
        for (int k = 0; k < 3; ++k)
            if (args.value(0).toLower() == QLatin1String(kLenKinds[k]))
                fault.arg = k;
        *ok = args.size() == 2 && fault.arg >= 0 && readCount(args.at(1), kMaxCount, &fault.skip);
        if (*ok)
            m_aimed.append(fault);
        return true;
    }
    if (name == QLatin1String("nak")) {
        *usage = QStringLiteral("nak N SKIP");
        *ok = args.size() == 2 && readCount(args.at(0), kMaxCount, &m_nakCount) &&
              readCount(args.at(1), kMaxCount, &m_nakSkip);
        return true;
    }
    if (name == QLatin1String("fragment") || name == QLatin1String("coalesce")) {
        *usage = name + QStringLiteral(" MS");
        int ms = 0;
        *ok = args.size() == 1 && readCount(args.at(0), 1000, &ms);
        if (*ok)
            (name == QLatin1String("fragment") ? m_fragmentMs : m_coalesceMs) = ms;
        return true;
    }
    return false;
}

void LineFaults::clear() {
    m_aimed.clear();
    m_nakCount = 0;
    m_nakSkip = 0;
    m_fragmentMs = -1;
    m_coalesceMs = -1;
}

LineFaults::Outgoing LineFaults::shape(const QByteArray& unit, bool frame) {
    Outgoing out;
    QByteArray bytes = unit;
    QByteArray ahead;
    bool twice = false;
    for (int i = 0; i < m_aimed.size();) {
        Aimed& fault = m_aimed[i];
        if (framesOnly(fault.kind) && !frame) {
            ++i;
            continue;
        }
        if (fault.skip > 0) {
            --fault.skip;
            ++i;
            continue;
        }
        switch (fault.kind) {
        case Kind::Flip: {
            const int bit = fault.arg % int(bytes.size() * 8);
            bytes[bit / 8] = char(quint8(bytes.at(bit / 8)) ^ (1u << (bit % 8)));
            break;
        }
        case Kind::Truncate:
            bytes.truncate(fault.arg % bytes.size());
            break;
        case Kind::Len:
            if (bytes.size() >= 5) {
                const int len = quint8(bytes.at(2)) | (quint8(bytes.at(3)) << 8);
                const int wrong = fault.arg == 0   ? qMax(0, len - 1)
                                  : fault.arg == 1 ? len + 1
                                                   : 0xFFFF;
                bytes[2] = char(wrong & 0xFF);
                bytes[3] = char(wrong >> 8);
            }
            break;
        case Kind::Noise: {
            // Line noise: never one of the control bytes, which would be real units, but an
            // STX now and then, which starts a frame that never completes.
            static const char kNoise[] = {'\x00', '\xFF', '\x7F', '\x41', '\x80', '\x13',
                                          '\xE5', '\x3F', '\x02', '\x02', '\x10', '\xFE'};
            for (int n = 0; n < fault.arg; ++n)
                ahead.append(kNoise[m_random.bounded(int(sizeof kNoise))]);
            break;
        }
        case Kind::Dup:
            twice = true;
            break;
        case Kind::Late:
            out.gapMs += fault.arg;
            break;
        case Kind::Intrude:
            ahead.prepend('\x05');
            break;
        case Kind::Mute:
            out.mute = true;
            break;
        case Kind::Cut:
            out.hangUp = true;
            break;
        }
        m_aimed.removeAt(i);
    }
    if (!ahead.isEmpty())
        out.pieces.append(ahead);
    if (!bytes.isEmpty())
        out.pieces.append(bytes);
    if (twice)
        out.pieces.append(bytes);
    if (m_fragmentMs >= 0) {
        QList<QByteArray> single;
        for (const QByteArray& piece : out.pieces)
            for (const char c : piece)
                single.append(QByteArray(1, c));
        out.pieces = single;
        out.pieceGapMs = m_fragmentMs;
    }
    return out;
}

bool LineFaults::nakFrame() {
    if (m_nakCount == 0)
        return false;
    if (m_nakSkip > 0) {
        --m_nakSkip;
        return false;
    }
    --m_nakCount;
    return true;
}

QStringList LineFaults::describe() const {
    static const char* const kNames[] = {"flip", "truncate", "len",  "noise", "dup",
                                         "late", "intrude",  "mute", "cut"};
    QStringList active;
    for (const Aimed& fault : m_aimed) {
        if (fault.kind == Kind::Len)
            active << QStringLiteral("len %1 %2")
                          .arg(QLatin1String(kLenKinds[fault.arg]))
                          .arg(fault.skip);
        else if (fault.kind == Kind::Dup || fault.kind == Kind::Intrude ||
                 fault.kind == Kind::Mute || fault.kind == Kind::Cut)
            active << QStringLiteral("%1 %2")
                          .arg(QLatin1String(kNames[int(fault.kind)]))
                          .arg(fault.skip);
        else
            active << QStringLiteral("%1 %2 %3")
                          .arg(QLatin1String(kNames[int(fault.kind)]))
                          .arg(fault.arg)
                          .arg(fault.skip);
    }
    if (m_nakCount > 0)
        active << QStringLiteral("nak %1 %2").arg(m_nakCount).arg(m_nakSkip);
    if (m_fragmentMs >= 0)
        active << QStringLiteral("fragment %1").arg(m_fragmentMs);
    if (m_coalesceMs >= 0)
        active << QStringLiteral("coalesce %1").arg(m_coalesceMs);
    return active;
}

} // namespace tf::sim
