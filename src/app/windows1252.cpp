#include "windows1252.h"

#include <QList>

#include <array>

namespace varnel::app {

namespace {

// Bytes 0x80..0x9F; the unassigned ones keep their own number.
constexpr std::array<char16_t, 32> kHigh{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char encode(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return char(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c)
            return char(0x80 + i);
    return '?';
}

}  // namespace

QString fromWindows1252(std::string_view bytes)
{
    QString text;
    text.reserve(qsizetype(bytes.size()));
    for (const char b : bytes) {
        const auto u = static_cast<unsigned char>(b);
        text += QChar(u >= 0x80 && u <= 0x9F ? kHigh[u - 0x80] : char16_t(u));
    }
    return text;
}

std::string toWindows1252(const QString &text)
{
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (const uint c : text.toUcs4())
        bytes += encode(c);
    return bytes;
}

}  // namespace varnel::app
