#include "model_catalogue.h"

#include <array>

namespace varnel::app {

namespace {

// Index order is fixed: the feature matrix, the About pictures and every per-model
// table are indexed by it.
constexpr std::array<ModelEntry, kModelCount> kCatalogue{{
    {"Unknown", "Unknown", 0, 0},
    {"Varnel Orla Kiro (VRK610)", "VRK610", 41, 13},
    {"Varnel Orla Mira (VRM610)", "VRM610", 42, 13},
    {"Varnel Orla (VRA610)", "VRA610", 43, 13},
    {"Varnel Kiro II (VKA602)", "VKA602", 44, 13},
    {"Varnel Mira II (VMA602)", "VMA602", 45, 13},
    {"Varnel Dova II (VDA602)", "VDA602", 46, 13},
    {"Tavrin Orla (TRA310)", "TRA310", 47, 13},
    {"Tavrin Kiro (TKA302)", "TKA302", 48, 13},
    {"Tavrin Sel (TSA302)", "TSA302", 49, 13},
    {"Tavrin (TBA301)", "TBA301", 50, 13},
    {"Tavrin Orla Kiro (TRK310)", "TRK310", 70, 13},
    {"Brevo (VBE610)", "VBE610", 88, 13},
    {"Brevo (TBE310)", "TBE310", 89, 13},
}};

// One row per model: inputs, logos, frames, animated logos, audio channels, then the
// flags preview output, auxiliary audio, preview audio, cut, fade, title, PiP,
// effect list, DVI, disabled-effect marks, clean fade.
constexpr std::array<ModelFeatures, kModelCount> kFeatures{{
    /* 0 */ {8, 8, 4, 1, 8, true, true, true, true, true, true, true, true, true, true, false},
    /* 1 */ {8, 8, 4, 1, 8, true, true, true, true, true, true, true, true, true, true, true},
    /* 2 */ {8, 0, 0, 0, 8, true, true, true, true, true, true, true, true, true, true, true},
    /* 3 */ {8, 0, 0, 0, 8, true, true, true, true, false, false, true, false, true, true, false},
    /* 4 */ {8, 8, 4, 1, 8, false, true, false, true, true, true, false, false, true, false, true},
    /* 5 */ {8, 0, 0, 0, 8, false, true, false, true, true, true, false, false, true, false, true},
    /* 6 */ {8, 0, 0, 0, 8, false, true, false, true, false, false, false, false, true, false, false},
    /* 7 */ {4, 0, 0, 0, 4, true, false, true, true, false, false, true, false, true, true, false},
    /* 8 */ {4, 8, 4, 1, 4, false, false, false, true, true, true, false, false, true, false, true},
    /* 9 */ {4, 0, 0, 0, 4, false, false, false, false, false, false, false, false, true, false, false},
    /* 10 */ {4, 0, 0, 0, 4, false, false, false, false, false, false, false, false, false, false, false},
    /* 11 */ {4, 8, 4, 1, 4, true, false, true, true, true, true, true, true, true, true, true},
    /* 12 */ {8, 8, 4, 1, 8, true, true, true, true, true, true, true, true, true, true, true},
    /* 13 */ {4, 8, 4, 1, 4, true, false, true, true, true, true, true, true, true, true, true},
}};

// Effect keys shown per model, bit k-1 for key k: select buttons, edit buttons.
constexpr std::uint16_t kAllKeys = 0x0FFF;     // 1..12
constexpr std::uint16_t kKeys1to4 = 0x000F;
constexpr std::uint16_t kKeys1to3 = 0x0007;
constexpr std::uint16_t kKeys1to4And7to12 = 0x0FCF;

struct KeyMasks {
    std::uint16_t select;
    std::uint16_t edit;
};
constexpr std::array<KeyMasks, kModelCount> kEffectKeys{{
    /* 0 */ {kAllKeys, kAllKeys},
    /* 1 */ {kAllKeys, kAllKeys},
    /* 2 */ {kAllKeys, kAllKeys},
    /* 3 */ {kKeys1to4, 0},
    /* 4 */ {kKeys1to3, 0},
    /* 5 */ {kKeys1to3, 0},
    /* 6 */ {0, 0},
    /* 7 */ {kKeys1to4, 0},
    /* 8 */ {kKeys1to3, 0},
    /* 9 */ {0, 0},
    /* 10 */ {0, 0},
    /* 11 */ {kKeys1to4And7to12, kKeys1to4And7to12},
    /* 12 */ {kAllKeys, kAllKeys},
    /* 13 */ {kKeys1to4And7to12, kKeys1to4And7to12},
}};

constexpr int validModel(int model) { return model >= 0 && model < kModelCount ? model : 0; }

bool keyBit(std::uint16_t mask, int key) { return key >= 1 && key <= kEffectKeyCount && (mask >> (key - 1)) & 1u; }

}  // namespace

const ModelEntry &modelEntry(int model) { return kCatalogue[std::size_t(validModel(model))]; }

const ModelFeatures &modelFeatures(int model) { return kFeatures[std::size_t(validModel(model))]; }

std::optional<int> recogniseModel(std::uint32_t dev)
{
    for (int m = 1; m < kModelCount; ++m)
        if (kCatalogue[std::size_t(m)].dev == dev)
            return m;
    return std::nullopt;
}

std::optional<int> catalogueIndexOfDev(std::uint32_t dev)
{
    for (int m = 0; m < kModelCount; ++m)
        if (kCatalogue[std::size_t(m)].dev == dev)
            return m;
    return std::nullopt;
}

bool effectSelectShown(int model, int key) { return keyBit(kEffectKeys[std::size_t(validModel(model))].select, key); }

bool effectEditShown(int model, int key) { return keyBit(kEffectKeys[std::size_t(validModel(model))].edit, key); }

std::string aboutMenuCaption(int model) { return "About " + std::string(modelEntry(model).code) + "..."; }

}  // namespace varnel::app
