#pragma once
// Vocabulary of the input registers and the per-channel cache the main window
// keeps of the channel-indexed registers. Plain C++: no widgets.

#include "vrk_610_d.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace varnel::app {

inline constexpr int kSignalTypeCount = 11;
inline constexpr int kSignalTypeDvi = 8;
inline constexpr int kSignalTypeAudioOnly = 10;
/// `PRGBI` value → caption.
inline constexpr std::array<std::string_view, kSignalTypeCount> kSignalTypes{
    "SDTV Composite",   "SDTV Y/C",       "SDTV YUV",     "SDTV RGB/s TTL",
    "SDTV RGsB,S.O.G.", "SDTV RGB/s ana.", "Computer,S.O.G.", "Computer H&V/C,TTL/ana.",
    "Computer DVI",     "HDTV YUV",       "Audio Only"};

/// `PISTD` value → caption.
inline constexpr std::array<std::string_view, 5> kStandards{
    "Auto PAL/SECAM/NTSC", "NTSC", "PAL", "SECAM", "Black & White 50 Hz / 60 Hz"};

/// `USERFAMM` / `USERFAMP` value → caption in the input format window.
inline constexpr std::array<std::string_view, 16> kInputFormats{
    "AutoSelect       Selection automatique", "640x480", "852x480", "800x600", "1280x720", "1024x768",
    "1280x768", "1366x768", "1280x1024", "1400x1050", "1680x1050", "1920x1080", "1600x1200", "1920x1200",
    "1280x800", "1440x900"};

/// `REFREQM` / `REFSTAM` value → caption; entries 1..8 name inputs 1..8.
inline constexpr int kReferenceCount = 12;
inline constexpr int kReferenceError = 11;
std::string_view referenceCaption(int value);  ///< "" outside 0..11

/// The picture adjustments whose presence depends on the source's signal type.
enum class Adjustment : std::uint8_t {
    UnderOverScan,
    AlignmentButton,
    BlackLevel,
    Hue,
    Clock,
    Phase,
    Brightness,
    Contrast,
    Color,
    RedLevel,
    GreenLevel,
    BlueLevel,
    Sharpness,
    PresetButton,
};
inline constexpr int kAdjustmentCount = 14;

/// Whether adjustment `a` exists for a source of signal type `signalType`
/// (a value outside 0..10 has none).
bool adjustmentShown(int signalType, Adjustment a);
/// The same, for one output: the hue adjustment is also shown when the output's
/// detected input format is NTSC (2 or 37).
bool adjustmentShown(int signalType, std::uint32_t detectedFormat, Adjustment a);
/// The alignment button's caption: "Reset" for types 0..5, "Auto-centering" for 6..9, else "".
std::string_view alignmentCaption(int signalType);

/// The main window's copy of the channel-indexed registers: 13 values per register,
/// channel 0 (all inputs) and channels 1..12.
class TChannelCache {
public:
    static constexpr int kChannels = 13;
    /// The registers kept per channel.
    static constexpr std::array<Reg, 9> kRegisters{Reg::PENA,  Reg::PLOAD, Reg::PRGBI, Reg::PISTD,   Reg::PPROC,
                                                   Reg::PVISC, Reg::ALEV,  Reg::ABAL,  Reg::LDISPLAY};
    static bool isCached(Reg reg);

    /// A report of `reg` arrived while `PCHAN` was `pchan`. Channel 0 addresses
    /// every input, so its value is also that of channels 1..12. A `pchan` outside
    /// 0..12 leaves the cache alone; returns whether it was stored.
    bool store(Reg reg, std::uint32_t pchan, std::uint32_t value);
    /// The cached value of `channel` (0..12; 0 for anything else or an uncached register).
    std::uint32_t value(Reg reg, int channel) const;

private:
    static std::optional<std::size_t> slot(Reg reg);
    std::array<std::array<std::uint32_t, kChannels>, kRegisters.size()> m_values{};
};

}  // namespace varnel::app
