#include "model/discid.h"

namespace tf {

namespace {

int digitSum(int value) {
    int sum = 0;
    for (; value > 0; value /= 10)
        sum += value % 10;
    return sum;
}

int wholeSeconds(const TocTime& t) {
    return t.minutes * 60 + t.seconds;
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

constexpr int kMaxTracks = 99;

} // namespace

QString discIdText(const DiscIdBytes& id, bool upperCase) {
    QString text;
    for (quint8 b : id)
        text += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0'));
    return upperCase ? text.toUpper() : text;
}

std::optional<DiscIdBytes> parseDiscIdText(const QString& text) {
    const QString t = text.trimmed();
    if (t.size() != 8)
        return std::nullopt;
    DiscIdBytes id{};
    for (int i = 0; i < 4; ++i) {
        const int hi = hexDigit(t.at(2 * i));
        const int lo = hexDigit(t.at(2 * i + 1));
        if (hi < 0 || lo < 0)
            return std::nullopt;
        id[i] = static_cast<quint8>(hi * 16 + lo);
    }
    return id;
}

std::optional<DiscIdBytes> ComputeDiscId(const QList<TocTime>& toc, QString* error) {
    const auto fail = [error](const QString& why) -> std::optional<DiscIdBytes> {
        if (error)
            *error = why;
        return std::nullopt;
    };
    const int n = static_cast<int>(toc.size()) - 1; // the last entry is the lead-out
    if (n < 1)
        return fail(QStringLiteral("The table of contents has no track."));
    if (n > kMaxTracks)
        return fail(
            QStringLiteral("The table of contents has %1 tracks; a disc has at most 99.").arg(n));
    int checksum = 0;
    for (int i = 0; i < n; ++i)
        checksum += digitSum(wholeSeconds(toc.at(i)));
    // A lead-out before track 1 would give a negative playing time that the identifier
    // cannot hold; the table is unusable rather than silently wrapped.
    const int total = wholeSeconds(toc.at(n)) - wholeSeconds(toc.at(0));
    if (total < 0)
        return fail(QStringLiteral("The lead-out of the table of contents lies before track 1."));
    return DiscIdBytes{static_cast<quint8>(checksum % 255), static_cast<quint8>(total / 256),
                       static_cast<quint8>(total % 256), static_cast<quint8>(n)};
}

QString tocText(const QList<TocTime>& toc) {
    QStringList offsets;
    offsets.reserve(toc.size());
    for (const TocTime& t : toc)
        offsets.append(QString::number(tocFrameOffset(t)));
    return offsets.join(QLatin1Char(' '));
}

} // namespace tf
