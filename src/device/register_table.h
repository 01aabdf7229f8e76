#pragma once
// The device's register table: one row per register, built once from registers.def.
// Everything that needs to know about registers (driver storage, matching, ranges,
// save kinds, change events, console descriptions) reads it from here.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace varnel {

inline constexpr int kRegisterCount = 289;
inline constexpr int kChannelCount = 8;

enum class VarType : std::uint8_t { Unsigned, Boolean, Integer, String };
enum class Access : std::uint8_t { RW, RO };

/// How a mini configuration saves a register.
enum class TSaveKind : std::uint8_t { SAVE_VALUE = 0, SAVE_PER_CHANNEL = 1, SAVE_NONE = 2 };

/// Where the driver keeps a register's copy.
enum class Storage : std::uint8_t {
    Plain,       ///< one value
    PerChannel,  ///< eight values addressed by PCHAN
    Octet,       ///< one octet of the address selected by PADIP
    Port,        ///< LOCAL_PORT / REMOTE_PORT selected by PADIP
    Mask,        ///< NETMASK, received as the number of host bits
};

/// Register indexes by mnemonic: Reg::ICHM == 31.
enum class Reg : std::uint16_t {
#define VARNEL_REGISTER(idx, cmd, resp, name, type, access, lo, hi, save, storage, event, meaning) name = idx,
#include "registers.def"
#undef VARNEL_REGISTER
};

constexpr std::uint16_t idx(Reg r) { return static_cast<std::uint16_t>(r); }

/// Notifications of the driver. Each register's own change event is identified by
/// the register's index (0..288; the octet and port registers have none and raise
/// the address and port events instead); the other events follow from 289 on.
using EventId = std::uint16_t;

enum class Event : EventId {
    OnLOCAL_IPchange = kRegisterCount,
    OnREMOTE_IPchange,
    OnGATEWAY_IPchange,
    OnLOCAL_PORTchange,
    OnREMOTE_PORTchange,
    ONRS232busy,
    OnRecString,
    OnSentString,
    OnConnected,
    OnConTypechange,
    OnIpLocalPortchange,
    OnIpRemotePortchange,
    OnIpRemoteAddresschange,
    OnVarNroLigneMiniConfigOfFile,
    Count
};

constexpr EventId eventOf(Reg r) { return static_cast<EventId>(r); }
constexpr EventId eventOf(Event e) { return static_cast<EventId>(e); }

inline constexpr int kEventCount = static_cast<int>(Event::Count);

/// One row of the register table, as the wire protocol needs it.
struct tVarRecord {
    std::string_view RespCode;
    std::string_view CmdCode;
    TSaveKind SaveKind;
    std::uint16_t VarIndex;
};

/// Everything else the table says about a register.
struct RegisterInfo {
    tVarRecord record;
    std::string_view name;  ///< property name (mnemonic)
    VarType type;
    bool writable;
    std::int32_t minimum;  ///< VarRanges row
    std::int32_t maximum;
    Storage storage;
    std::string_view eventName;  ///< empty for the octet and port registers
    std::string_view meaning;
};

extern const std::array<tVarRecord, kRegisterCount> VarTable;

struct VarRange {
    std::int32_t minimum;
    std::int32_t maximum;
};
extern const std::array<VarRange, kRegisterCount> VarRanges;

const RegisterInfo &registerInfo(std::uint16_t index);
inline const RegisterInfo &registerInfo(Reg r) { return registerInfo(idx(r)); }

/// The register whose command code is exactly `code`, if any.
std::optional<std::uint16_t> registerByCommand(std::string_view code);
/// The register whose property name is `name` (case-sensitive), if any.
std::optional<std::uint16_t> registerByName(std::string_view name);

/// Name of any event ("OnICHMchange", "OnRecString", ...); empty for a register
/// that has no event of its own.
std::string_view eventName(EventId e);
/// The event called `name`, if any.
std::optional<EventId> eventByName(std::string_view name);

}  // namespace varnel
