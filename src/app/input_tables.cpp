#include "input_tables.h"

namespace varnel::app {

namespace {

// One row per adjustment, one column per signal type 0..10.
constexpr std::array<std::array<std::uint8_t, kSignalTypeCount>, kAdjustmentCount> kCapabilities{{
    {1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0},  // under/over scan
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},  // alignment button
    {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0},  // black level
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // hue (NTSC only, see below)
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 0, 0},  // clock
    {0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 0},  // phase
    {1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0},  // brightness
    {1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0},  // contrast
    {1, 1, 1, 1, 1, 1, 0, 0, 0, 1, 0},  // color
    {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0},  // red level
    {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0},  // green level
    {0, 0, 0, 0, 0, 0, 1, 1, 1, 0, 0},  // blue level
    {1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0},  // sharpness
    {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 0},  // preset button
}};

constexpr std::array<std::string_view, kReferenceCount> kReferences{
    "Internal Rate", "Input 1 Rate",        "Input 2 Rate",        "Input 3 Rate", "Input 4 Rate", "Input 5 Rate",
    "Input 6 Rate",  "Input 7 Rate",        "Input 8 Rate",        "Seamless Computer 1", "Seamless Computer 8",
    "Error"};

}  // namespace

std::string_view referenceCaption(int value)
{
    return value >= 0 && value < kReferenceCount ? kReferences[std::size_t(value)] : std::string_view{};
}

bool adjustmentShown(int signalType, Adjustment a)
{
    if (signalType < 0 || signalType >= kSignalTypeCount)
        return false;
    return kCapabilities[std::size_t(a)][std::size_t(signalType)] != 0;
}

bool adjustmentShown(int signalType, std::uint32_t detectedFormat, Adjustment a)
{
    if (a == Adjustment::Hue && (detectedFormat == 2 || detectedFormat == 37))
        return true;
    return adjustmentShown(signalType, a);
}

std::string_view alignmentCaption(int signalType)
{
    if (signalType >= 0 && signalType <= 5)
        return "Reset";
    if (signalType >= 6 && signalType <= 9)
        return "Auto-centering";
    return {};
}

std::optional<std::size_t> TChannelCache::slot(Reg reg)
{
    for (std::size_t i = 0; i < kRegisters.size(); ++i)
        if (kRegisters[i] == reg)
            return i;
    return std::nullopt;
}

bool TChannelCache::isCached(Reg reg)
{
    return slot(reg).has_value();
}

bool TChannelCache::store(Reg reg, std::uint32_t pchan, std::uint32_t value)
{
    const auto s = slot(reg);
    if (!s || pchan >= std::uint32_t(kChannels))
        return false;
    auto &row = m_values[*s];
    if (pchan == 0)
        row.fill(value);
    else
        row[pchan] = value;
    return true;
}

std::uint32_t TChannelCache::value(Reg reg, int channel) const
{
    const auto s = slot(reg);
    if (!s || channel < 0 || channel >= kChannels)
        return 0;
    return m_values[*s][std::size_t(channel)];
}

}  // namespace varnel::app
