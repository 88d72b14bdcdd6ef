#include "sim/simcodepage.h"

namespace tf::sim {

namespace {

// 0x80..0x9F; 0 marks the five positions without a character.
constexpr char16_t kHighRange[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char16_t decodeByte(quint8 b) {
    if (b >= 0x80 && b <= 0x9F && kHighRange[b - 0x80] != 0)
        return kHighRange[b - 0x80];
    return b;
}

char encodeChar(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (int i = 0; i < 32; ++i) {
        if (kHighRange[i] == c)
            return static_cast<char>(0x80 + i);
        // The undefined positions come back as their own C1 control.
        if (kHighRange[i] == 0 && c == 0x80 + i)
            return static_cast<char>(c);
    }
    return '?';
}

} // namespace

QByteArray encodeChangerText(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one character outside the code page, one '?'
        out.append(c.isSurrogate() ? '?' : encodeChar(c.unicode()));
    }
    return out;
}

QString decodeChangerText(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char b : bytes)
        out.append(QChar(decodeByte(static_cast<quint8>(b))));
    return out;
}

} // namespace tf::sim
