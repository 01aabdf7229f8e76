#include "vrk_610_d.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <utility>

#include "response_matcher.h"
#include "value_syntax.h"

namespace varnel {

namespace {

constexpr std::uint16_t kPCHAN = idx(Reg::PCHAN);
constexpr std::uint16_t kPADIP = idx(Reg::PADIP);
constexpr std::uint16_t kDEV = idx(Reg::DEV);
constexpr std::uint16_t kFirstOctet = idx(Reg::IP4);
constexpr std::uint16_t kPortRegister = idx(Reg::IPPORT);
constexpr std::uint16_t kMaskRegister = idx(Reg::NETMASK);
constexpr std::string_view kLineEnd = "\r\n";

std::string decimal(std::uint64_t v) { return std::to_string(v); }

}  // namespace

bool isKnownDeviceCode(std::uint32_t dev)
{
    return (dev >= 41 && dev <= 50) || dev == 66 || dev == 70 || dev == 88 || dev == 89;
}

TVRK_610_d::TVRK_610_d(std::unique_ptr<SupervisionTimer> timer) : m_timer(std::move(timer))
{
    m_timer->setEnabled(false);
    SetRanges(nullptr, true);
}

TVRK_610_d::~TVRK_610_d()
{
    for (auto &t : m_transports)
        if (t)
            t->close();
    for (auto &t : m_transports)
        if (t)
            t->attach(nullptr);  // no report reaches a half-destroyed driver
}

// --- notifications -----------------------------------------------------------

void TVRK_610_d::setHandler(EventId event, TVRK610NotifyEvent handler)
{
    std::lock_guard lock(m_handlerMutex);
    m_handlers.at(event) = std::move(handler);
}

TVRK610NotifyEvent TVRK_610_d::handler(EventId event) const
{
    std::lock_guard lock(m_handlerMutex);
    return m_handlers.at(event);
}

void TVRK_610_d::fire(EventId event)
{
    TVRK610NotifyEvent h;
    {
        std::lock_guard lock(m_handlerMutex);
        h = m_handlers[event];
    }
    if (h)
        h(*this, m_tag);  // called unlocked: a handler may reassign handlers
}

// --- transports ----------------------------------------------------------------

void TVRK_610_d::setTransport(tConnectionType type, std::unique_ptr<LinkTransport> transport)
{
    m_transports.at(std::size_t(type)) = std::move(transport);
    if (LinkTransport *t = m_transports[std::size_t(type)].get()) {
        t->attach(this);
        t->setPortName(m_port);
        t->setLocalPort(m_ipLocalPort);
        t->setRemote(m_ipRemoteAddress, m_ipRemotePort);
    }
}

LinkTransport *TVRK_610_d::transport(tConnectionType type) const
{
    return m_transports.at(std::size_t(type)).get();
}

// --- receiving -----------------------------------------------------------------

void TVRK_610_d::ReceiveText(std::string_view text)
{
    std::string complete;  // the whole lines of this arrival, CR LF included
    bool raw = false;
    {
        std::lock_guard lock(m_recMutex);
        m_recBuffer.append(text);
        raw = m_conMode.load() == tConnectionMode::MODE_RAW;
        if (!raw) {
            const std::size_t lastEnd = m_recBuffer.rfind(kLineEnd);
            if (lastEnd != std::string::npos) {
                complete.assign(m_recBuffer, 0, lastEnd + kLineEnd.size());
                m_recBuffer.erase(0, lastEnd + kLineEnd.size());
            }
            // A run without a line end is cut from the front to its last characters.
            if (m_recBuffer.size() > std::size_t(kRecBufferKeep))
                m_recBuffer.erase(0, m_recBuffer.size() - kRecBufferKeep);
        }
    }
    if (raw)
        fire(Event::OnRecString);  // its handler takes the text with TakeRawString
    else
        ParseReceived(complete);
}

void TVRK_610_d::ParseReceived(std::string_view lines)
{
    const auto state = m_linkState.load();
    if (state == LS_PROBE || state == LS_QUERY || state == LS_SETTLE || state == LS_POLL || state == LS_WAIT)
        RestartTimer(kPeriodMs);  // received text postpones the next probe or poll

    while (!lines.empty()) {
        const std::size_t end = lines.find(kLineEnd);
        const std::string_view line = lines.substr(0, end);
        lines.remove_prefix(end + kLineEnd.size());
        if (const auto match = matchLine(line)) {
            m_receivedString.assign(line);
            fire(Event::OnRecString);
            StoreVar(match->index, match->value);
        }
    }
}

std::string TVRK_610_d::RecBuffer() const
{
    std::lock_guard lock(m_recMutex);
    return m_recBuffer;
}

std::string TVRK_610_d::TakeRawString()
{
    std::lock_guard lock(m_recMutex);
    if (m_conMode.load() != tConnectionMode::MODE_RAW)
        return {};
    std::string taken;
    taken.swap(m_recBuffer);
    return taken;
}

// --- storing -------------------------------------------------------------------

void TVRK_610_d::StoreVar(std::uint16_t index, std::uint32_t value)
{
    if (value >= m_min[index] && value <= m_max[index]) {
        storeValue(index, value);
        const RegisterInfo &info = registerInfo(index);
        switch (info.storage) {
        case Storage::Octet:
            fire(Event::OnLOCAL_IPchange);
            fire(Event::OnREMOTE_IPchange);
            fire(Event::OnGATEWAY_IPchange);
            break;
        case Storage::Port:
            fire(Event::OnLOCAL_PORTchange);
            fire(Event::OnREMOTE_PORTchange);
            break;
        default:
            fire(index);
            if (index == kDEV && (m_lastVarIndex == kDEV || m_rs232busy))
                fire(Event::ONRS232busy);
        }
    }
    m_lastVarIndex = index;
    afterStore(index);
}

void TVRK_610_d::storeValue(std::uint16_t index, std::uint32_t value)
{
    const RegisterInfo &info = registerInfo(index);
    if (info.type == VarType::Boolean)
        value &= 0xFFu;
    switch (info.storage) {
    case Storage::Plain:
        if (index == kDEV)
            deviceAnswered(value);
        m_values[index] = value;
        break;
    case Storage::PerChannel: {
        const std::uint32_t channel = m_values[kPCHAN];
        if (channel == 0)
            m_channelValues[index].fill(value);
        else if (channel <= std::uint32_t(kChannelCount))
            m_channelValues[index][channel - 1] = value;
        break;
    }
    case Storage::Octet:
        storeOctet(index - kFirstOctet, value);
        break;
    case Storage::Port:
        storePort(value);
        break;
    case Storage::Mask:
        m_values[index] = value;
        storeMask(value);
        break;
    }
}

void TVRK_610_d::storeOctet(int octet, std::uint32_t value)
{
    const std::uint32_t selection = m_values[kPADIP];
    for (std::uint32_t address = 1; address <= 3; ++address)
        if (selection == 0 || selection == address)
            m_octets[address - 1][std::size_t(octet)] = value;
    for (std::size_t a = 0; a < 3; ++a)
        m_addressText[a] = decimal(m_octets[a][0]) + '.' + decimal(m_octets[a][1]) + '.' +
                           decimal(m_octets[a][2]) + '.' + decimal(m_octets[a][3]);
}

void TVRK_610_d::storePort(std::uint32_t value)
{
    const std::uint32_t selection = m_values[kPADIP];
    if (selection == 0 || selection == 1)
        m_localPort = std::int32_t(value);
    if (selection == 0 || selection == 2)
        m_remotePort = std::int32_t(value);
}

void TVRK_610_d::storeMask(std::uint32_t hostBits)
{
    // 2^32 - 2^h; h of 32 or more (possible before the ranges are loaded) leaves no bit set.
    const std::uint64_t mask = hostBits >= 32 ? 0 : (std::uint64_t(1) << 32) - (std::uint64_t(1) << hostBits);
    m_netmask = decimal((mask >> 24) & 0xFF) + '.' + decimal((mask >> 16) & 0xFF) + '.' +
                decimal((mask >> 8) & 0xFF) + '.' + decimal(mask & 0xFF);
}

void TVRK_610_d::deviceAnswered(std::uint32_t dev)
{
    if (!isKnownDeviceCode(dev) && !m_forceConn)
        return;
    if (m_linkState == LS_PROBE) {
        m_linkState = LS_FOUND;
        RestartTimer(1);
    } else if (m_linkState == LS_WAIT) {
        m_linkState = LS_POLL;
    }
}

// --- reading -------------------------------------------------------------------

std::uint32_t TVRK_610_d::ReadVar(std::uint16_t index) const
{
    const RegisterInfo &info = registerInfo(index);
    switch (info.storage) {
    case Storage::PerChannel:
        return ReadChannelVar(index, int(m_values[kPCHAN]));
    case Storage::Octet: {
        const std::uint32_t selection = m_values[kPADIP];
        return m_octets[selection >= 1 && selection <= 3 ? selection - 1 : 0][index - kFirstOctet];
    }
    case Storage::Port:
        return std::uint32_t(m_values[kPADIP] == 2 ? m_remotePort : m_localPort);
    default:
        return m_values[index];
    }
}

std::uint32_t TVRK_610_d::ReadChannelVar(std::uint16_t index, int channel) const
{
    if (channel < 1 || channel > kChannelCount)
        channel = 1;
    return m_channelValues[index][std::size_t(channel - 1)];
}

// --- sending -------------------------------------------------------------------

void TVRK_610_d::WriteVar(std::uint16_t index, std::uint32_t value)
{
    if (registerInfo(index).writable)
        SendVar(index, value);
}

void TVRK_610_d::SendVar(std::uint16_t index, std::uint32_t value)
{
    if (!m_connected || m_conMode.load() == tConnectionMode::MODE_RAW)
        return;
    std::string text = decimal(value);
    text.append(VarTable[index].CmdCode);
    SendString(text);
    m_sentString = std::move(text);
    fire(Event::OnSentString);
}

void TVRK_610_d::SendCode(std::uint16_t index)
{
    if (m_conMode.load() == tConnectionMode::MODE_RAW)
        return;
    SendString(VarTable[index].CmdCode);
    m_sentString.assign(VarTable[index].CmdCode);
    fire(Event::OnSentString);
}

void TVRK_610_d::SendString(std::string_view text)
{
    const tConnectionType type = m_conType.load();
    if (type == tConnectionType::CON_NONE || type == tConnectionType::CON_AMX)
        return;
    if (LinkTransport *t = transport(type))
        t->write(text);
}

void TVRK_610_d::SendRaw(std::string_view text)
{
    if (m_conMode.load() == tConnectionMode::MODE_RAW)
        SendString(text);
}

void TVRK_610_d::SendQueryAll() { SendString("1#\r\n"); }

void TVRK_610_d::SetRanges(const std::array<VarRange, kRegisterCount> *pairs, bool reset)
{
    for (std::size_t i = 0; i < std::size_t(kRegisterCount); ++i) {
        if (reset || !pairs) {
            m_min[i] = 0;
            m_max[i] = std::numeric_limits<std::uint32_t>::max();
        } else {
            m_min[i] = std::uint32_t((*pairs)[i].minimum);
            m_max[i] = std::uint32_t((*pairs)[i].maximum);
        }
    }
}

// --- address, port and mask writes -----------------------------------------------

bool TVRK_610_d::ParseIpAddress(std::string_view text, std::array<std::uint8_t, 4> &octets)
{
    for (std::size_t part = 0; part < 4; ++part) {
        const std::size_t dot = part < 3 ? text.find('.') : std::string_view::npos;
        if (part < 3 && dot == std::string_view::npos)
            return false;
        const auto value = parseValue(text.substr(0, dot));
        if (!value || *value < 0 || *value > 255)
            return false;
        octets[part] = std::uint8_t(*value);
        if (part < 3)
            text.remove_prefix(dot + 1);
    }
    return true;
}

void TVRK_610_d::writeAddress(int selection, std::string_view text)
{
    std::array<std::uint8_t, 4> octets{};
    if (!ParseIpAddress(text, octets))
        return;
    SendVar(kPADIP, std::uint32_t(selection));
    for (int i = 0; i < 4; ++i)
        SendVar(std::uint16_t(kFirstOctet + i), octets[std::size_t(i)]);
}

void TVRK_610_d::setLOCAL_PORT(std::int32_t port)
{
    SendVar(kPADIP, 1);
    SendVar(kPortRegister, std::uint32_t(port));
}

void TVRK_610_d::setREMOTE_PORT(std::int32_t port)
{
    SendVar(kPADIP, 2);
    SendVar(kPortRegister, std::uint32_t(port));
}

void TVRK_610_d::setNETMASK(std::string_view text)
{
    std::array<std::uint8_t, 4> o{};
    if (!ParseIpAddress(text, o))
        return;
    const std::uint32_t m = (std::uint32_t(o[0]) << 24) | (std::uint32_t(o[1]) << 16) | (std::uint32_t(o[2]) << 8) | o[3];
    std::uint32_t hostPart = std::numeric_limits<std::uint32_t>::max() - m;
    std::uint32_t bits = 0;
    for (; hostPart != 0; hostPart >>= 1)
        ++bits;
    SendVar(kMaskRegister, bits);
}

// --- link supervision ------------------------------------------------------------

void TVRK_610_d::setConnected(bool connected, bool notify)
{
    const bool was = m_connected.exchange(connected);
    if (was && !connected && m_miniConfig.loading()) {
        // A load stalled by the lost device must not resume with the next dump.
        m_miniConfig.end();
        fire(Event::OnVarNroLigneMiniConfigOfFile);
    }
    if (was != connected && notify)
        fire(Event::OnConnected);
}

void TVRK_610_d::clearDevice()
{
    if (m_values[kDEV] != 0) {
        m_values[kDEV] = 0;
        fire(Reg::DEV);
    }
}

void TVRK_610_d::TimerTick()
{
    reopenFailedLink();
    switch (m_linkState.load()) {
    case LS_IDLE:
        if (m_forceConn) {
            RestartTimer(kPeriodMs);
            RestartTimer(1);
            m_linkState = LS_FOUND;
        } else {
            if (m_conMode.load() == tConnectionMode::MODE_VAR)
                clearDevice();
            setConnected(false, true);
            RestartTimer(kPeriodMs);
            m_linkState = LS_PROBE;
        }
        break;
    case LS_PROBE:
        RestartTimer(kPeriodMs);
        SendCode(kDEV);
        break;
    case LS_FOUND:
        setConnected(true, true);
        RestartTimer(kPeriodMs);
        m_linkState = LS_QUERY;
        break;
    case LS_QUERY:
        SendQueryAll();
        RestartTimer(kPeriodMs);
        m_linkState = LS_SETTLE;
        break;
    case LS_SETTLE:
        RestartTimer(1);
        m_linkState = LS_POLL;
        break;
    case LS_POLL:
        SendCode(kDEV);
        RestartTimer(kPeriodMs);
        m_linkState = LS_WAIT;
        break;
    case LS_WAIT:
        RestartTimer(1);
        m_linkState = m_forceConn ? LS_POLL : LS_IDLE;
        break;
    default:
        m_linkState = LS_IDLE;
    }
}

void TVRK_610_d::setForceConn(bool force)
{
    if (force == m_forceConn)
        return;
    m_forceConn = force;
    if (force) {
        m_linkState = LS_FOUND;
        RestartTimer(1);
    } else {
        RestartTimer(1);
        m_linkState = LS_IDLE;
    }
}

void TVRK_610_d::setQuenor_s_plug_and_play(bool restart)
{
    if (restart)
        m_linkState = LS_IDLE;
}

void TVRK_610_d::setConMode(tConnectionMode mode)
{
    // Lock so that an arrival never sees half a switch (its text is either parsed
    // before the switch or handed over raw after it).
    std::lock_guard lock(m_recMutex);
    m_conMode = mode;
    m_connected = true;  // without OnConnected
    m_linkState = LS_POLL;
}

void TVRK_610_d::setConType(tConnectionType type)
{
    const tConnectionType old = m_conType.load();
    if (type != old) {
        auto closeIfLink = [this](tConnectionType t) {
            if (t == tConnectionType::CON_RS232 || t == tConnectionType::CON_UDP || t == tConnectionType::CON_TCP)
                if (LinkTransport *tr = transport(t))
                    tr->close();
        };
        closeIfLink(old);
        m_conType = type;
        if (type == tConnectionType::CON_NONE) {
            closeIfLink(tConnectionType::CON_RS232);
            closeIfLink(tConnectionType::CON_UDP);
            closeIfLink(tConnectionType::CON_TCP);
        } else if (type != tConnectionType::CON_AMX) {
            if (LinkTransport *tr = transport(type))
                tr->open();
        }
        m_timer->setEnabled(type != tConnectionType::CON_NONE);
        if (!m_forceConn) {
            m_linkState = LS_IDLE;
            clearDevice();
            setConnected(false, true);
        }
    }
    fire(Event::OnConTypechange);
}

// --- link properties ---------------------------------------------------------------

void TVRK_610_d::setPort(std::string_view name)
{
    LinkTransport *serial = transport(tConnectionType::CON_RS232);
    if (serial && serial->isOpen())
        serial->close();
    m_port.assign(name);
    if (serial && !serial->setPortName(m_port)) {
        m_port.clear();
        serial->setPortName({});
    }
    if (serial && m_conType.load() == tConnectionType::CON_RS232)
        serial->open();
}

void TVRK_610_d::setBaudRate(std::uint32_t rate)
{
    LinkTransport *serial = transport(tConnectionType::CON_RS232);
    if (!serial)
        return;
    const bool wasOpen = serial->isOpen();
    serial->setBaudRate(rate);  // an open port writes out its queue, then changes at once
    if (wasOpen)
        m_linkState = LS_IDLE;  // as closing and reopening the port would
    else if (m_conType.load() == tConnectionType::CON_RS232)
        serial->open();
}

void TVRK_610_d::setIpLocalPort(std::int32_t port)
{
    // Rebinding an active socket to the port it already has would only drop the
    // device for a few seconds, so that is skipped.
    LinkTransport *udp = transport(tConnectionType::CON_UDP);
    if (udp && (port != m_ipLocalPort || !udp->isOpen())) {
        const bool selected = m_conType.load() == tConnectionType::CON_UDP;
        if (selected)
            udp->close();
        udp->setLocalPort(port);
        if (selected)
            udp->open();
    }
    m_ipLocalPort = port;
    fire(Event::OnIpLocalPortchange);
}

void TVRK_610_d::setIpRemotePort(std::int32_t port)
{
    if (port != m_ipRemotePort) {
        m_ipRemotePort = port;
        changeRemote();
    }
    fire(Event::OnIpRemotePortchange);
}

void TVRK_610_d::setIpRemoteAddress(std::string_view address)
{
    if (address != m_ipRemoteAddress) {
        m_ipRemoteAddress.assign(address);
        changeRemote();
    }
    fire(Event::OnIpRemoteAddresschange);
}

void TVRK_610_d::changeRemote()
{
    LinkTransport *udp = transport(tConnectionType::CON_UDP);
    LinkTransport *tcp = transport(tConnectionType::CON_TCP);
    const tConnectionType type = m_conType.load();
    LinkTransport *active = type == tConnectionType::CON_UDP ? udp : type == tConnectionType::CON_TCP ? tcp : nullptr;
    if (active)
        active->close();
    for (LinkTransport *t : {udp, tcp})
        if (t)
            t->setRemote(m_ipRemoteAddress, m_ipRemotePort);
    if (active)
        active->open();
}

bool TVRK_610_d::TcpOpening() const
{
    const LinkTransport *tcp = transport(tConnectionType::CON_TCP);
    return tcp && tcp->isOpening();
}

// --- what the transports report ----------------------------------------------------

int TVRK_610_d::typeOf(const LinkTransport &transport) const
{
    for (std::size_t i = 0; i < m_transports.size(); ++i)
        if (m_transports[i].get() == &transport)
            return int(i);
    return -1;
}

bool TVRK_610_d::linkSelected(const LinkTransport &transport) const
{
    return typeOf(transport) == int(m_conType.load());
}

void TVRK_610_d::linkReceived(const LinkTransport &from, std::string_view text)
{
    if (linkSelected(from))  // a late arrival of a deselected transport is dropped
        ReceiveText(text);
}

void TVRK_610_d::linkRestarted(const LinkTransport & /*from*/) { m_linkState = LS_IDLE; }

void TVRK_610_d::linkReopenLater(const LinkTransport &from)
{
    // Reopening at once would spin while the device refuses connections; the
    // next supervision tick (at most one period away) reopens instead.
    const int type = typeOf(from);
    if (type >= 0)
        m_reopenPending |= 1u << unsigned(type);
}

void TVRK_610_d::reopenFailedLink()
{
    const unsigned pending = std::exchange(m_reopenPending, 0u);
    const tConnectionType type = m_conType.load();
    if (pending & (1u << unsigned(type)))
        if (LinkTransport *t = transport(type))
            t->open();
}

void TVRK_610_d::linkFailed(const LinkTransport & /*from*/, std::string_view message)
{
    m_linkError.assign(message);
    if (m_linkErrorHandler)
        m_linkErrorHandler(*this, m_linkError);
}

// --- mini configuration ------------------------------------------------------------

std::string TVRK_610_d::setPropertyVarSaveMiniConfigToFile(const std::string &fileName)
{
    // Each channel is read directly, so PCHAN keeps its value (later per-channel
    // reports still land in the channel the device last selected).
    const auto lines = BuildMiniConfig([this](std::uint16_t index, int channel) {
        return channel == 0 ? ReadVar(index) : ReadChannelVar(index, channel);
    });
    return WriteFileReplacing(fileName, MiniConfigText(lines));
}

std::string TVRK_610_d::setPropertyVarLoadMiniConfigToFile(const std::string &fileName)
{
    m_miniConfig.end();
    std::string error;
    auto text = ReadSmallFile(fileName, kMiniConfigMaxFileSize, error);
    if (!text)
        return error;
    LoadMiniConfigLines(SplitMiniConfigLines(*text));
    return {};
}

void TVRK_610_d::LoadMiniConfigLines(std::vector<std::string> lines)
{
    m_miniConfig.begin(std::move(lines));
    sendNextMiniConfigLine();
}

void TVRK_610_d::sendNextMiniConfigLine()
{
    // Sent whatever Connected says; nothing goes out with CON_NONE.
    if (const auto line = m_miniConfig.step())
        SendString(*line);
    fire(Event::OnVarNroLigneMiniConfigOfFile);
}

void TVRK_610_d::afterStore(std::uint16_t index)
{
    if (m_miniConfig.releasedBy(index))
        sendNextMiniConfigLine();
}

}  // namespace varnel
