#pragma once
// The out-of-range test of the alert panel: a DVI computer source whose line is
// too short for the output's divider needs reduced blankings.

#include <cstdint>

namespace varnel::app {

/// What the device reports about the source on one output.
struct SourceTiming {
    std::uint32_t signalType;    ///< channel's signal type (8 = "Computer DVI")
    std::uint32_t inputFormat;   ///< IFAMM / IFAMP
    std::uint32_t lineDuration;  ///< ILDM / ILDP, unit 1/UNITy
    std::uint32_t unit;          ///< UNITy, measuring frequency
    std::uint32_t divider;       ///< DIVM / DIVP
};

inline constexpr std::uint32_t kSignalComputerDvi = 8;

/// True when line duration x 16300 / UNITy, rounded, is below the divider. Without
/// a measuring frequency (UNITy 0: no signal yet) nothing counts as out of range.
bool sourceOutOfRange(const SourceTiming &t);

}  // namespace varnel::app
