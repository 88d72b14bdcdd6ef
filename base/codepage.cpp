#include "base/codepage.h"

#include <QList>

#include <array>

namespace tf::codepage {
namespace {

// 0x80..0x9F of Windows-1252; 0 marks the five undefined positions.
constexpr std::array<char16_t, 32> kHighTable = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encodeOne(char32_t u) {
    if (u < 0x80 || (u >= 0xA0 && u <= 0xFF))
        return static_cast<char>(u);
    for (int i = 0; i < 32; ++i) {
        if (kHighTable[i] == u)
            return static_cast<char>(0x80 + i);
        if (kHighTable[i] == 0 && u == char32_t(0x80 + i))
            return static_cast<char>(u);
    }
    return '?';
}

} // namespace

QByteArray toCp1252(const QString& text) {
    QByteArray out;
    out.reserve(text.size());
    // By code point, so a character beyond the basic plane becomes one '?', not two.
    for (const uint u : text.toUcs4())
        out.append(encodeOne(char32_t(u)));
    return out;
}

QString fromCp1252(const QByteArray& bytes) {
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b <= 0x9F && kHighTable[b - 0x80] != 0)
            out.append(QChar(kHighTable[b - 0x80]));
        else
            out.append(QChar(b));
    }
    return out;
}

bool isControl(QChar c) {
    const char16_t u = c.unicode();
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

QString withoutControls(const QString& text) {
    QString out = text;
    for (QChar& c : out)
        if (isControl(c))
            c = QLatin1Char(' ');
    return out;
}

} // namespace tf::codepage
