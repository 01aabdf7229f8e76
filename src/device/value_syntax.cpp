#include "value_syntax.h"

#include <limits>

namespace varnel {

namespace {

int digitValue(char c, int base)
{
    int d = -1;
    if (c >= '0' && c <= '9')
        d = c - '0';
    else if (c >= 'a' && c <= 'f')
        d = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F')
        d = c - 'A' + 10;
    return d < base ? d : -1;
}

}  // namespace

std::optional<std::int64_t> parseValue(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == text.size())
        return std::nullopt;  // no digit at all

    // Accumulate the magnitude unsigned; the limit admits INT64_MIN's magnitude.
    const std::uint64_t limit = negative ? std::uint64_t(std::numeric_limits<std::int64_t>::max()) + 1
                                         : std::uint64_t(std::numeric_limits<std::int64_t>::max());
    std::uint64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        const int d = digitValue(text[i], base);
        if (d < 0)
            return std::nullopt;
        if (magnitude > (limit - std::uint64_t(d)) / std::uint64_t(base))
            return std::nullopt;  // would not fit 64 bits
        magnitude = magnitude * std::uint64_t(base) + std::uint64_t(d);
    }
    if (negative)
        return magnitude == limit ? std::numeric_limits<std::int64_t>::min() : -std::int64_t(magnitude);
    return std::int64_t(magnitude);
}

std::optional<std::uint32_t> parseRegisterValue(std::string_view text)
{
    // Fast path for what the device actually sends: plain decimal of at most 9 digits.
    if (!text.empty() && text.size() <= 9) {
        std::uint32_t value = 0;
        std::size_t i = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            value = value * 10 + std::uint32_t(text[i] - '0');
        if (i == text.size())
            return value;
    }
    const auto v = parseValue(text);
    if (!v || *v < 0 || *v > std::int64_t(std::numeric_limits<std::uint32_t>::max()))
        return std::nullopt;
    return std::uint32_t(*v);
}

}  // namespace varnel
