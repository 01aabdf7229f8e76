#pragma once
// Intel HEX framing as the device uses it for picture transfers: ":" length,
// 16-bit parameter, type, data, checksum, all as hexadecimal digit pairs.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::sim {

struct HexRecord {
    std::uint8_t type = 0;
    std::uint16_t param = 0;
    std::vector<std::uint8_t> data;
};

/// ":" + fields + checksum, upper-case digits, no line end.
std::string buildRecord(std::uint8_t type, std::uint16_t param, const std::vector<std::uint8_t> &data = {});

/// Parses a record text that starts with ":" and has no line end. Nothing when
/// it is too short, holds a non-hex digit, its length byte disagrees with its
/// size or its checksum is wrong. Digits may be of either case.
std::optional<HexRecord> parseRecord(std::string_view text);

}  // namespace varnel::sim
