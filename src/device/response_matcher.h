#pragma once
// Finds the register a received line belongs to: the first register, in table order,
// whose response code begins the line and whose remaining text is empty (value 0)
// or a valid register value.

#include <cstdint>
#include <optional>
#include <string_view>

namespace varnel {

struct LineMatch {
    std::uint16_t index;
    std::uint32_t value;
    friend bool operator==(const LineMatch &, const LineMatch &) = default;
};

/// Production matcher: only the registers whose code can begin the line (by its
/// first two characters) are tried, still in table order.
std::optional<LineMatch> matchLine(std::string_view line);

/// Reference matcher: walks all 289 response codes. Kept as the oracle the
/// production matcher is tested and benchmarked against.
std::optional<LineMatch> matchLineByWalk(std::string_view line);

}  // namespace varnel
