#pragma once
// The models the simulator can pretend to be: what each one reports as its
// identity and how many inputs, memories and audio channels it has.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::sim {

/// One device model as the simulator plays it.
struct ModelProfile {
    std::string code;      ///< catalogue code ("VRK610"), or "DEV<n>" for a raw code
    std::uint16_t dev = 0; ///< the value reported in DEV
    int inputs = 8;        ///< video inputs 1..inputs
    int logos = 8;         ///< still logo memories 1..logos
    int frames = 4;        ///< frame memories 1..frames (sources 9..8+frames)
    int animated = 1;      ///< animated logo memory (slot 9)
    int audio = 8;         ///< audio channels
    bool preview = true;   ///< a second (preview) output exists
    bool cut = true, fade = true, title = true, pip = true;
    bool cleanFade = true;
    std::uint16_t firmware = 400;  ///< VERUPD
    std::uint16_t options = 0;     ///< OPT bits
    std::uint8_t family = 1;       ///< DOLLARS: 1 eight-input family, 2 four-input family
};

/// The thirteen catalogue models, in catalogue order.
const std::vector<ModelProfile> &modelCatalogue();

/// The model named by a catalogue code (case-insensitive) or by a decimal DEV
/// value. A DEV value that is no catalogue model gives an eight-input model that
/// reports that value (so tests can play an unknown device).
std::optional<ModelProfile> findModel(std::string_view codeOrDev);

}  // namespace varnel::sim
