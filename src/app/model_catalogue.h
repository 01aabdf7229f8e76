#pragma once
// The catalogue of the device models the application knows, and what each of them
// has (inputs, logos, frames, audio channels, outputs, effects). The main window
// recognises the connected model from DEV and reshapes itself from these lookups.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::app {

inline constexpr int kModelCount = 14;  ///< "Unknown" and thirteen models
inline constexpr int kEffectKeyCount = 12;

/// One catalogue entry, indexed by the model index 0..13.
struct ModelEntry {
    std::string_view fullName;  ///< "Varnel Orla Kiro (VRK610)"
    std::string_view code;      ///< "VRK610"
    std::uint32_t dev;          ///< value the device reports in DEV
    std::uint32_t protocolVersion;  ///< compared with VERV
};

/// What a model has; counts and flags of the feature matrix.
struct ModelFeatures {
    int inputs;         ///< video inputs, sources 1..inputs
    int logos;          ///< still logo memories
    int frames;         ///< frame memories, sources 9..8+frames
    int animatedLogos;  ///< animated logo memories
    int audioChannels;
    bool previewOutput;        ///< a second (preview) output exists
    bool auxiliaryAudio;       ///< the auxiliary audio switch exists
    bool previewAudio;         ///< audio controls of the preview output exist
    bool cut;
    bool fade;
    bool title;
    bool pip;
    bool effectList;           ///< the effect name list of the effects panel exists
    bool dvi;                  ///< "Computer DVI" signal type and the EDID window exist
    bool disabledEffectMarks;  ///< keys of disabled effect types get the "disabled" glyph
    bool cleanFade;            ///< "Clean Fade" exists (also needs bit 1 of OPT)

    /// At least one of cut, fade, title and PiP: the T-bar is enabled.
    bool anyEffect() const { return cut || fade || title || pip; }
    /// Logos or an animated logo exist: logo combos, buttons and grids are shown.
    bool anyLogo() const { return logos > 0 || animatedLogos > 0; }
    /// The "Logo && Frame" settings page exists.
    bool logoAndFramePage() const { return anyLogo() || frames > 0; }
};

/// Catalogue entry of a model index; an index outside 0..13 gives "Unknown".
const ModelEntry &modelEntry(int model);
/// Feature matrix column of a model index; an index outside 0..13 gives that of "Unknown".
const ModelFeatures &modelFeatures(int model);

/// Recognition: the model 1..13 whose DEV value equals `dev` (first in index
/// order), or nothing (DEV 0, and codes the link accepts but the catalogue lacks, such as 66).
std::optional<int> recogniseModel(std::uint32_t dev);
/// The catalogue index 0..13 of a DEV value, searched from index 0 (so 0 finds "Unknown").
std::optional<int> catalogueIndexOfDev(std::uint32_t dev);
/// True when `dev` is the DEV value of one of the models 1..13.
inline bool isCatalogueModel(std::uint32_t dev) { return recogniseModel(dev).has_value(); }

/// Whether effect key `key` (1..12) shows its select button, or its edit button, on model `model`.
bool effectSelectShown(int model, int key);
bool effectEditShown(int model, int key);

/// The About menu item of a model: "About " + code + "..." ("About VRK610...").
std::string aboutMenuCaption(int model);

}  // namespace varnel::app
