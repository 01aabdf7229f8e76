#pragma once
// The number syntax of the register protocol, shared by the driver, the service
// console and the simulator: leading blanks, an optional sign, then decimal digits
// or hexadecimal digits after "$", "x", "X", "0x" or "0X"; nothing may follow.

#include <cstdint>
#include <optional>
#include <string_view>

namespace varnel {

/// The 64-bit value of `text`, or nothing when it is not a number of that syntax
/// or does not fit a signed 64-bit integer.
std::optional<std::int64_t> parseValue(std::string_view text);

/// A register value: a number of the syntax above within 0..4294967295.
std::optional<std::uint32_t> parseRegisterValue(std::string_view text);

}  // namespace varnel
