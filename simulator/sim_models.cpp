#include "sim_models.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace varnel::sim {

namespace {

ModelProfile make(std::string code, std::uint16_t dev, int inputs, int logos, int frames, int animated, bool preview,
               bool cut, bool fade, bool title, bool pip, bool cleanFade, std::uint16_t firmware)
{
    ModelProfile m;
    m.code = std::move(code);
    m.dev = dev;
    m.inputs = inputs;
    m.logos = logos;
    m.frames = frames;
    m.animated = animated;
    m.audio = inputs;
    m.preview = preview;
    m.cut = cut;
    m.fade = fade;
    m.title = title;
    m.pip = pip;
    m.cleanFade = cleanFade;
    m.firmware = firmware;
    // bit 0: audio board fitted; bit 1: clean fade enabled; bit 2: LAN board fitted
    m.options = static_cast<std::uint16_t>(0x0001 | (cleanFade ? 0x0002 : 0) | 0x0004);
    m.family = inputs == 8 ? 1 : 2;
    return m;
}

}  // namespace

const std::vector<ModelProfile> &modelCatalogue()
{
    //                                   code  dev in lg fr an prev  cut   fade   title  pip    clean  fw
    static const std::vector<ModelProfile> catalogue = {
        make("VRK610", 41, 8, 8, 4, 1, true, true, true, true, true, true, 412),
        make("VRM610", 42, 8, 0, 0, 0, true, true, true, true, true, true, 412),
        make("VRA610", 43, 8, 0, 0, 0, true, true, false, false, true, false, 410),
        make("VKA602", 44, 8, 8, 4, 1, false, true, true, true, false, true, 305),
        make("VMA602", 45, 8, 0, 0, 0, false, true, true, true, false, true, 305),
        make("VDA602", 46, 8, 0, 0, 0, false, true, false, false, false, false, 301),
        make("TRA310", 47, 4, 0, 0, 0, true, true, false, false, true, false, 208),
        make("TKA302", 48, 4, 8, 4, 1, false, true, true, true, false, true, 207),
        make("TSA302", 49, 4, 0, 0, 0, false, false, false, false, false, false, 203),
        make("TBA301", 50, 4, 0, 0, 0, false, false, false, false, false, false, 201),
        make("TRK310", 70, 4, 8, 4, 1, true, true, true, true, true, true, 215),
        make("VBE610", 88, 8, 8, 4, 1, true, true, true, true, true, true, 520),
        make("TBE310", 89, 4, 8, 4, 1, true, true, true, true, true, true, 520),
    };
    return catalogue;
}

std::optional<ModelProfile> findModel(std::string_view codeOrDev)
{
    std::string upper(codeOrDev);
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    for (const ModelProfile &m : modelCatalogue())
        if (m.code == upper)
            return m;
    unsigned dev = 0;
    const char *end = codeOrDev.data() + codeOrDev.size();
    auto [ptr, ec] = std::from_chars(codeOrDev.data(), end, dev);
    if (codeOrDev.empty() || ec != std::errc() || ptr != end || dev > 65535)
        return std::nullopt;
    for (const ModelProfile &m : modelCatalogue())
        if (m.dev == dev)
            return m;
    ModelProfile unknown = modelCatalogue().front();
    unknown.code = "DEV" + std::to_string(dev);
    unknown.dev = static_cast<std::uint16_t>(dev);
    return unknown;
}

}  // namespace varnel::sim
