// The catalogue and feature matrix decide what the main window shows for each
// model; the rows below are written as the matrix reads (one character per model
// 0..13), so a value moved to the wrong model or row shows up here.
#include "model_catalogue.h"

#include <gtest/gtest.h>

#include <string>

using namespace varnel::app;

TEST(ModelCatalogue, EntriesInIndexOrder)
{
    struct Row {
        int index;
        std::string_view fullName, code;
        std::uint32_t dev;
    };
    const Row rows[] = {
        {0, "Unknown", "Unknown", 0},
        {1, "Varnel Orla Kiro (VRK610)", "VRK610", 41},
        {2, "Varnel Orla Mira (VRM610)", "VRM610", 42},
        {3, "Varnel Orla (VRA610)", "VRA610", 43},
        {4, "Varnel Kiro II (VKA602)", "VKA602", 44},
        {5, "Varnel Mira II (VMA602)", "VMA602", 45},
        {6, "Varnel Dova II (VDA602)", "VDA602", 46},
        {7, "Tavrin Orla (TRA310)", "TRA310", 47},
        {8, "Tavrin Kiro (TKA302)", "TKA302", 48},
        {9, "Tavrin Sel (TSA302)", "TSA302", 49},
        {10, "Tavrin (TBA301)", "TBA301", 50},
        {11, "Tavrin Orla Kiro (TRK310)", "TRK310", 70},
        {12, "Brevo (VBE610)", "VBE610", 88},
        {13, "Brevo (TBE310)", "TBE310", 89},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.index);
        EXPECT_EQ(modelEntry(r.index).fullName, r.fullName);
        EXPECT_EQ(modelEntry(r.index).code, r.code);
        EXPECT_EQ(modelEntry(r.index).dev, r.dev);
        EXPECT_EQ(modelEntry(r.index).protocolVersion, r.index == 0 ? 0u : 13u);
    }
    // Out-of-range indexes never read outside the table.
    EXPECT_EQ(modelEntry(-1).code, "Unknown");
    EXPECT_EQ(modelEntry(14).code, "Unknown");
    EXPECT_EQ(modelFeatures(99).inputs, 8);
}

TEST(ModelCatalogue, RecognitionFromDev)
{
    struct Row {
        std::uint32_t dev;
        std::optional<int> model;    // recognition (models 1..13 only)
        std::optional<int> catalogue;  // lookup over all 14 entries
    };
    const Row rows[] = {
        {0, std::nullopt, 0},  {41, 1, 1},  {46, 6, 6},   {50, 10, 10}, {70, 11, 11},
        {88, 12, 12},          {89, 13, 13}, {66, std::nullopt, std::nullopt},
        {40, std::nullopt, std::nullopt}, {51, std::nullopt, std::nullopt},
        {0xFFFFFFFFu, std::nullopt, std::nullopt},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.dev);
        EXPECT_EQ(recogniseModel(r.dev), r.model);
        EXPECT_EQ(catalogueIndexOfDev(r.dev), r.catalogue);
        EXPECT_EQ(isCatalogueModel(r.dev), r.model.has_value());
    }
}

TEST(ModelCatalogue, FeatureMatrix)
{
    auto digits = [](auto field) {
        std::string s;
        for (int m = 0; m < kModelCount; ++m)
            s += char('0' + int(field(modelFeatures(m))));
        return s;
    };
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.inputs; }), "88888884444484");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.logos; }), "88008000800888");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.frames; }), "44004000400444");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.animatedLogos; }), "11001000100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.audioChannels; }), "88888884444484");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.previewOutput; }), "11110001000111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.auxiliaryAudio; }), "11111110000010");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.previewAudio; }), "11110001000111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.cut; }), "11111111100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.fade; }), "11101100100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.title; }), "11101100100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.pip; }), "11110001000111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.effectList; }), "11100000000111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.dvi; }), "11111111110111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.disabledEffectMarks; }), "11110001000111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.cleanFade; }), "01101100100111");
    // Derived: T-bar enabled, logo controls, "Logo && Frame" page.
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.anyEffect(); }), "11111111100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.anyLogo(); }), "11001000100111");
    EXPECT_EQ(digits([](const ModelFeatures &f) { return f.logoAndFramePage(); }), "11001000100111");
}

TEST(ModelCatalogue, EffectKeysShownPerModel)
{
    // One string of twelve characters per model: keys 1..12, '1' shown.
    auto keys = [](int model, bool edit) {
        std::string s;
        for (int k = 1; k <= kEffectKeyCount; ++k)
            s += (edit ? effectEditShown(model, k) : effectSelectShown(model, k)) ? '1' : '0';
        return s;
    };
    struct Row {
        int model;
        std::string_view select, edit;
    };
    const Row rows[] = {
        {0, "111111111111", "111111111111"},  {1, "111111111111", "111111111111"},
        {2, "111111111111", "111111111111"},  {3, "111100000000", "000000000000"},
        {4, "111000000000", "000000000000"},  {5, "111000000000", "000000000000"},
        {6, "000000000000", "000000000000"},  {7, "111100000000", "000000000000"},
        {8, "111000000000", "000000000000"},  {9, "000000000000", "000000000000"},
        {10, "000000000000", "000000000000"}, {11, "111100111111", "111100111111"},
        {12, "111111111111", "111111111111"}, {13, "111100111111", "111100111111"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.model);
        EXPECT_EQ(keys(r.model, false), r.select);
        EXPECT_EQ(keys(r.model, true), r.edit);
    }
    EXPECT_FALSE(effectSelectShown(1, 0));
    EXPECT_FALSE(effectSelectShown(1, 13));
}

TEST(ModelCatalogue, NamedCases)
{
    // DEV 89: four inputs with frames and logos, keys 5 and 6 hidden.
    const int brevo = *recogniseModel(89);
    EXPECT_EQ(modelEntry(brevo).fullName, "Brevo (TBE310)");
    EXPECT_EQ(modelFeatures(brevo).inputs, 4);
    EXPECT_FALSE(effectSelectShown(brevo, 5));
    EXPECT_FALSE(effectSelectShown(brevo, 6));
    EXPECT_TRUE(effectSelectShown(brevo, 7));
    // DEV 50: no logos or frames, no effects (T-bar disabled), no DVI, single output.
    const ModelFeatures &tba = modelFeatures(*recogniseModel(50));
    EXPECT_FALSE(tba.logoAndFramePage());
    EXPECT_FALSE(tba.anyEffect());
    EXPECT_FALSE(tba.dvi);
    EXPECT_FALSE(tba.previewOutput);
    // Frames without a preview output keep the "Logo && Frame" page.
    const ModelFeatures &vka = modelFeatures(*recogniseModel(44));
    EXPECT_TRUE(vka.logoAndFramePage());
    EXPECT_FALSE(vka.previewOutput);
    EXPECT_EQ(aboutMenuCaption(1), "About VRK610...");
    EXPECT_EQ(aboutMenuCaption(0), "About Unknown...");
}
