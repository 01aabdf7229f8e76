#include "register_table.h"

#include <algorithm>
#include <unordered_map>

namespace varnel {

namespace {

constexpr std::string_view eventColumn(std::string_view event)
{
    return event == "None" ? std::string_view{} : event;
}

constexpr std::array<RegisterInfo, kRegisterCount> kRegisters = {{
#define VARNEL_REGISTER(idx, cmd, resp, name, type, access, lo, hi, save, storage, event, meaning) \
    RegisterInfo{tVarRecord{resp, cmd, TSaveKind::save, idx}, #name, VarType::type,                 \
                 Access::access == Access::RW, lo, hi, Storage::storage, eventColumn(#event), meaning},
#include "registers.def"
#undef VARNEL_REGISTER
}};

constexpr bool indexesMatchPositions()
{
    for (int i = 0; i < kRegisterCount; ++i)
        if (kRegisters[i].record.VarIndex != i)
            return false;
    return true;
}
static_assert(indexesMatchPositions(), "registers.def must list the registers in index order");

constexpr std::array<std::string_view, kEventCount - kRegisterCount> kOtherEventNames = {
    "OnLOCAL_IPchange",   "OnREMOTE_IPchange",    "OnGATEWAY_IPchange",   "OnLOCAL_PORTchange",
    "OnREMOTE_PORTchange", "ONRS232busy",         "OnRecString",          "OnSentString",
    "OnConnected",        "OnConTypechange",      "OnIpLocalPortchange",  "OnIpRemotePortchange",
    "OnIpRemoteAddresschange", "OnVarNroLigneMiniConfigOfFile",
};

template <typename Key>
std::unordered_map<std::string_view, std::uint16_t> buildLookup(Key key, int count)
{
    std::unordered_map<std::string_view, std::uint16_t> map;
    for (int i = 0; i < count; ++i)
        if (auto k = key(i); !k.empty())
            map.emplace(k, static_cast<std::uint16_t>(i));
    return map;
}

}  // namespace

const std::array<tVarRecord, kRegisterCount> VarTable = [] {
    std::array<tVarRecord, kRegisterCount> table{};
    std::transform(kRegisters.begin(), kRegisters.end(), table.begin(),
                   [](const RegisterInfo &r) { return r.record; });
    return table;
}();

const std::array<VarRange, kRegisterCount> VarRanges = [] {
    std::array<VarRange, kRegisterCount> ranges{};
    std::transform(kRegisters.begin(), kRegisters.end(), ranges.begin(),
                   [](const RegisterInfo &r) { return VarRange{r.minimum, r.maximum}; });
    return ranges;
}();

const RegisterInfo &registerInfo(std::uint16_t index) { return kRegisters.at(index); }

std::optional<std::uint16_t> registerByCommand(std::string_view code)
{
    static const auto map = buildLookup([](int i) { return kRegisters[i].record.CmdCode; }, kRegisterCount);
    if (auto it = map.find(code); it != map.end())
        return it->second;
    return std::nullopt;
}

std::optional<std::uint16_t> registerByName(std::string_view name)
{
    static const auto map = buildLookup([](int i) { return kRegisters[i].name; }, kRegisterCount);
    if (auto it = map.find(name); it != map.end())
        return it->second;
    return std::nullopt;
}

std::string_view eventName(EventId e)
{
    if (e < kRegisterCount)
        return kRegisters[e].eventName;
    if (e < kEventCount)
        return kOtherEventNames[e - kRegisterCount];
    return {};
}

std::optional<EventId> eventByName(std::string_view name)
{
    static const auto map = buildLookup([](int i) { return eventName(static_cast<EventId>(i)); }, kEventCount);
    if (auto it = map.find(name); it != map.end())
        return it->second;
    return std::nullopt;
}

}  // namespace varnel
