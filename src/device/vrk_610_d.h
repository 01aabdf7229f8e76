#pragma once
// TVRK_610_d: the one object through which the application talks to the device.
// It mirrors the 289 registers, turns property writes into commands, cuts received
// text into lines, matches, range-checks and stores values, raises one change
// notification per register, and supervises the link (probe, query-all, polls).
//
// Plain C++: received text enters through ReceiveText(), commands leave through
// the LinkTransport of the current connection type, time enters through TimerTick().

#include "link_interfaces.h"
#include "mini_config.h"
#include "register_table.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

namespace varnel {

class TVRK_610_d;

/// The form of every driver notification: the sender and the driver's Tag.
using TVRK610NotifyEvent = std::function<void(TVRK_610_d &sender, int nroVarnel)>;

enum class tConnectionType : std::uint8_t { CON_NONE = 0, CON_RS232 = 1, CON_UDP = 2, CON_TCP = 3, CON_AMX = 4 };
enum class tConnectionMode : std::uint8_t { MODE_VAR = 0, MODE_RAW = 1 };

/// States of the link supervision.
enum LinkStates : std::uint8_t {
    LS_IDLE = 0,    ///< no device; the next tick starts probing
    LS_PROBE = 1,   ///< "?" every 2000 ms
    LS_FOUND = 2,   ///< a known device answered (or the connection is forced)
    LS_QUERY = 3,   ///< connected; the next tick asks for all registers
    LS_SETTLE = 4,  ///< waiting for the register dump to go quiet
    LS_POLL = 5,    ///< connected and quiet; the next tick polls
    LS_WAIT = 6,    ///< a poll is out; an answer must come within 2000 ms
};

/// True for the DEV codes of the supported models.
bool isKnownDeviceCode(std::uint32_t dev);

class TVRK_610_d : private LinkHost {
public:
    static constexpr int kRecBufferKeep = 10;  ///< longest run kept without a line end
    static constexpr int kPeriodMs = 2000;

    explicit TVRK_610_d(std::unique_ptr<SupervisionTimer> timer = std::make_unique<ManualTimer>());
    virtual ~TVRK_610_d();
    TVRK_610_d(const TVRK_610_d &) = delete;
    TVRK_610_d &operator=(const TVRK_610_d &) = delete;

    // --- notifications -------------------------------------------------------
    /// Installs the one handler of an event (an empty function removes it). Safe
    /// from any thread, also while the driver is delivering that event.
    void setHandler(EventId event, TVRK610NotifyEvent handler);
    void setHandler(Reg reg, TVRK610NotifyEvent handler) { setHandler(eventOf(reg), std::move(handler)); }
    void setHandler(Event event, TVRK610NotifyEvent handler) { setHandler(eventOf(event), std::move(handler)); }
    TVRK610NotifyEvent handler(EventId event) const;
    TVRK610NotifyEvent handler(Event event) const { return handler(eventOf(event)); }

    int Tag() const { return m_tag; }
    void setTag(int tag) { m_tag = tag; }

    // --- transports and time ---------------------------------------------------
    /// Gives the driver the transport used while ConType is `type`.
    void setTransport(tConnectionType type, std::unique_ptr<LinkTransport> transport);
    LinkTransport *transport(tConnectionType type) const;
    SupervisionTimer &timer() { return *m_timer; }

    /// Text arriving from the device (any transport, user-interface thread).
    void ReceiveText(std::string_view text);

    // --- register access -------------------------------------------------------
    /// Local copy (channel-indexed: element of PCHAN, or element 1 when PCHAN is not 1..8).
    std::uint32_t ReadVar(std::uint16_t index) const;
    std::uint32_t ReadVar(Reg reg) const { return ReadVar(idx(reg)); }
    /// Element `channel` (1..8, else 1) of a channel-indexed register, whatever PCHAN says.
    std::uint32_t ReadChannelVar(std::uint16_t index, int channel) const;
    std::uint32_t ReadChannelVar(Reg reg, int channel) const { return ReadChannelVar(idx(reg), channel); }
    /// Writes a register: sends "value + command code" (writable registers only).
    /// The local copy changes only when the device reports the value.
    void WriteVar(std::uint16_t index, std::uint32_t value);
    void WriteVar(Reg reg, std::uint32_t value) { WriteVar(idx(reg), value); }

    void SendVar(std::uint16_t index, std::uint32_t value);
    void SendCode(std::uint16_t index);
    void SendString(std::string_view text);
    void SendRaw(std::string_view text);
    std::string TakeRawString();
    void StoreVar(std::uint16_t index, std::uint32_t value);
    void SendQueryAll();

    /// With `reset` every range becomes 0..4294967295, otherwise the 289 pairs are copied.
    void SetRanges(const std::array<VarRange, kRegisterCount> *pairs, bool reset);
    std::uint32_t VarMin(std::uint16_t index) const { return m_min[index]; }
    std::uint32_t VarMax(std::uint16_t index) const { return m_max[index]; }

    const std::string &receivedString() const { return m_receivedString; }
    const std::string &sentString() const { return m_sentString; }
    int LastVarIndex() const { return m_lastVarIndex; }
    std::string RecBuffer() const;

    // Generated accessors: a getter per register kept as a number, a setter per
    // writable one (setICHNM(3) sends "3CN").
#define VARNEL_GETTER_Plain(name, i) \
    std::uint32_t name() const { return ReadVar(std::uint16_t(i)); }
#define VARNEL_GETTER_PerChannel(name, i) VARNEL_GETTER_Plain(name, i)
#define VARNEL_GETTER_Octet(name, i)
#define VARNEL_GETTER_Port(name, i)
#define VARNEL_GETTER_Mask(name, i)
#define VARNEL_SETTER_RW(name, i) \
    void set##name(std::uint32_t v) { SendVar(std::uint16_t(i), v); }
#define VARNEL_SETTER_RO(name, i)
#define VARNEL_SETTER_RW_Plain VARNEL_SETTER_RW
#define VARNEL_SETTER_RW_PerChannel VARNEL_SETTER_RW
#define VARNEL_SETTER_RW_Octet VARNEL_SETTER_RW
#define VARNEL_SETTER_RW_Port VARNEL_SETTER_RO
#define VARNEL_SETTER_RW_Mask VARNEL_SETTER_RO
#define VARNEL_SETTER_RO_Plain VARNEL_SETTER_RO
#define VARNEL_SETTER_RO_PerChannel VARNEL_SETTER_RO
#define VARNEL_REGISTER(i, cmd, resp, name, type, access, lo, hi, save, storage, event, meaning) \
    VARNEL_GETTER_##storage(name, i) VARNEL_SETTER_##access##_##storage(name, i)
#include "registers.def"
#undef VARNEL_REGISTER
#undef VARNEL_GETTER_Plain
#undef VARNEL_GETTER_PerChannel
#undef VARNEL_GETTER_Octet
#undef VARNEL_GETTER_Port
#undef VARNEL_GETTER_Mask
#undef VARNEL_SETTER_RW
#undef VARNEL_SETTER_RO
#undef VARNEL_SETTER_RW_Plain
#undef VARNEL_SETTER_RW_PerChannel
#undef VARNEL_SETTER_RW_Octet
#undef VARNEL_SETTER_RW_Port
#undef VARNEL_SETTER_RW_Mask
#undef VARNEL_SETTER_RO_Plain
#undef VARNEL_SETTER_RO_PerChannel

    // --- network address registers ---------------------------------------------
    std::string LOCAL_IP() const { return m_addressText[0]; }
    std::string REMOTE_IP() const { return m_addressText[1]; }
    std::string GATEWAY_IP() const { return m_addressText[2]; }
    std::int32_t LOCAL_PORT() const { return m_localPort; }
    std::int32_t REMOTE_PORT() const { return m_remotePort; }
    std::string NETMASK() const { return m_netmask; }
    void setLOCAL_IP(std::string_view text) { writeAddress(1, text); }
    void setREMOTE_IP(std::string_view text) { writeAddress(2, text); }
    void setGATEWAY_IP(std::string_view text) { writeAddress(3, text); }
    void setLOCAL_PORT(std::int32_t port);
    void setREMOTE_PORT(std::int32_t port);
    void setNETMASK(std::string_view text);
    /// Splits "a.b.c.d" into four octets 0..255 (number syntax of the protocol).
    static bool ParseIpAddress(std::string_view text, std::array<std::uint8_t, 4> &octets);

    // --- link supervision ------------------------------------------------------
    bool Connected() const { return m_connected.load(); }
    bool ForceConn() const { return m_forceConn; }
    void setForceConn(bool force);
    bool RS232busy() const { return m_rs232busy; }
    void setRS232busy(bool busy) { m_rs232busy = busy; }
    void setQuenor_s_plug_and_play(bool restart);
    tConnectionMode ConMode() const { return m_conMode.load(); }
    /// Safe from any thread (the picture transfer switches modes from its worker).
    void setConMode(tConnectionMode mode);
    tConnectionType ConType() const { return m_conType.load(); }
    void setConType(tConnectionType type);
    std::uint8_t LinkState() const { return m_linkState.load(); }
    void setLinkState(std::uint8_t state) { m_linkState = state; }
    void RestartTimer(int ms) { m_timer->restart(ms); }
    /// One tick of the supervision timer.
    void TimerTick();

    // --- link properties ---------------------------------------------------------
    /// Serial port name ("ttyUSB0", or a device path such as "/dev/pts/3").
    const std::string &Port() const { return m_port; }
    void setPort(std::string_view name);
    /// Serial rate (write-only); changes at once on an open port.
    void setBaudRate(std::uint32_t rate);
    std::int32_t IpLocalPort() const { return m_ipLocalPort; }
    void setIpLocalPort(std::int32_t port);
    std::int32_t IpRemotePort() const { return m_ipRemotePort; }
    void setIpRemotePort(std::int32_t port);
    const std::string &IpRemoteAddress() const { return m_ipRemoteAddress; }
    void setIpRemoteAddress(std::string_view address);
    /// A TCP connect is under way.
    bool TcpOpening() const;
    /// Link failures the operator should see (a UDP send error), with the
    /// platform's error text. Called from the event loop, never from inside a
    /// socket callback; a window may show a message box from it.
    using LinkErrorHandler = std::function<void(TVRK_610_d &sender, const std::string &message)>;
    void setLinkErrorHandler(LinkErrorHandler handler) { m_linkErrorHandler = std::move(handler); }
    const std::string &LinkError() const { return m_linkError; }

    // --- mini configuration -----------------------------------------------------
    /// Writes the mini configuration of the local copy to `fileName`, replacing the
    /// file as a whole. The local PCHAN is left as it was and nothing is sent.
    /// Returns an empty text, or the file error to show the operator.
    std::string setPropertyVarSaveMiniConfigToFile(const std::string &fileName);
    /// Starts replaying `fileName` to the device, one line per answer. Returns an
    /// empty text, or why the file could not be read (then nothing is sent).
    std::string setPropertyVarLoadMiniConfigToFile(const std::string &fileName);
    /// Replays lines already read (the file path above ends here).
    void LoadMiniConfigLines(std::vector<std::string> lines);
    /// Load progress, percent of the lines sent (0..100).
    int PropertyVarNroLigneMiniConfigOfFile() const { return m_miniConfig.progress(); }
    /// The register whose report releases the next line.
    std::uint16_t AwaitedVar() const { return m_miniConfig.awaitedVar(); }
    /// True while a load waits for answers; ends after the last answer, or when
    /// the link is lost.
    bool MiniConfigLoading() const { return m_miniConfig.loading(); }

protected:
    /// Called at the end of every StoreVar, after LastVarIndex is set. The base
    /// advances a mini configuration load; an override must call it.
    virtual void afterStore(std::uint16_t index);

    void fire(EventId event);
    void fire(Event event) { fire(eventOf(event)); }
    void fire(Reg reg) { fire(eventOf(reg)); }

private:
    void ParseReceived(std::string_view lines);
    void storeValue(std::uint16_t index, std::uint32_t value);
    void storeOctet(int octet, std::uint32_t value);
    void storePort(std::uint32_t value);
    void storeMask(std::uint32_t hostBits);
    void deviceAnswered(std::uint32_t dev);
    void writeAddress(int selection, std::string_view text);
    void clearDevice();
    void setConnected(bool connected, bool notify);

    std::unique_ptr<SupervisionTimer> m_timer;
    std::array<std::unique_ptr<LinkTransport>, 5> m_transports;

    mutable std::mutex m_handlerMutex;
    std::array<TVRK610NotifyEvent, kEventCount> m_handlers;

    mutable std::mutex m_recMutex;  // guards m_recBuffer against the transfer worker
    std::string m_recBuffer;

    std::array<std::uint32_t, kRegisterCount> m_values{};
    std::array<std::array<std::uint32_t, kChannelCount>, kRegisterCount> m_channelValues{};
    std::array<std::array<std::uint32_t, 4>, 3> m_octets{};  // [local, remote, gateway][octet]
    std::array<std::string, 3> m_addressText;  // empty until an octet is reported
    std::int32_t m_localPort = 0;
    std::int32_t m_remotePort = 0;
    std::string m_netmask;
    std::array<std::uint32_t, kRegisterCount> m_min{};
    std::array<std::uint32_t, kRegisterCount> m_max{};

    std::string m_receivedString;
    std::string m_sentString;
    int m_lastVarIndex = -1;
    int m_tag = 0;

    std::atomic<tConnectionMode> m_conMode{tConnectionMode::MODE_VAR};
    std::atomic<tConnectionType> m_conType{tConnectionType::CON_NONE};
    std::atomic<bool> m_connected{false};
    std::atomic<std::uint8_t> m_linkState{LS_IDLE};
    bool m_forceConn = false;
    bool m_rs232busy = false;

    void sendNextMiniConfigLine();
    MiniConfigLoader m_miniConfig;

    // Link properties and the transports' reports (LinkHost).
    bool linkSelected(const LinkTransport &transport) const override;
    void linkReceived(const LinkTransport &from, std::string_view text) override;
    void linkRestarted(const LinkTransport &from) override;
    void linkReopenLater(const LinkTransport &from) override;
    void linkFailed(const LinkTransport &from, std::string_view message) override;
    int typeOf(const LinkTransport &transport) const;
    void reopenFailedLink();
    void changeRemote();

    std::string m_port;
    std::int32_t m_ipLocalPort = 10000;
    std::int32_t m_ipRemotePort = 10500;
    std::string m_ipRemoteAddress = "192.168.0.10";
    unsigned m_reopenPending = 0;  // bit per connection type
    LinkErrorHandler m_linkErrorHandler;
    std::string m_linkError;
};

}  // namespace varnel
