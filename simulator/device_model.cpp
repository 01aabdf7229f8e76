#include "device_model.h"

#include <algorithm>
#include <cmath>

namespace varnel::sim {

namespace {

struct SignalInfo {
    std::uint32_t lineDur, lineSync, frameDur, frameSync, present, hpol, vpol, sync, interlaced, family;
};

// What the device measures on a source: computer signals on inputs 1..4, video
// on 5..8, the frame memories 9..12 play like a clean computer signal.
SignalInfo signalOf(std::uint32_t source, int inputs)
{
    if (source >= 9)
        return {559, 37, 806, 6, 1, 0, 0, 0, 0, 12};
    if (static_cast<int>(source) > inputs || source == 0)
        return {0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (source <= 4)
        return {559, 37, 806, 6, 1, 0, 0, 0, 0, 12};
    return {1728, 127, 625, 5, 1, 0, 0, 1, 1, 2};
}

struct OutputFormat {
    std::uint32_t width, height;
};
constexpr std::array<OutputFormat, 16> kFormats = {{{640, 480},
                                                    {800, 600},
                                                    {1024, 768},
                                                    {1280, 1024},
                                                    {1366, 768},
                                                    {1280, 720},
                                                    {1920, 1080},
                                                    {1400, 1050},
                                                    {1600, 1200},
                                                    {1280, 768},
                                                    {1280, 800},
                                                    {1440, 900},
                                                    {1680, 1050},
                                                    {1920, 1200},
                                                    {720, 576},
                                                    {720, 480}}};

// Registers that are one-shot commands rather than settings.
bool isAction(std::uint16_t i)
{
    switch (static_cast<Reg>(i)) {
    case Reg::PRESETM:
    case Reg::PRESETP:
    case Reg::AUTOCADM:
    case Reg::AUTOCADP:
    case Reg::FRESET:
    case Reg::ERAPOS:
    case Reg::AUTOSET:
    case Reg::EDIDSTORE:
    case Reg::LANRESET:
    case Reg::LANSTORE:
    case Reg::TAKE:
    case Reg::TBARPO:
    case Reg::LSTORE:
    case Reg::LABORT:
    case Reg::UPDATER:
    case Reg::PCHAN:
    case Reg::PADIP:
    case Reg::LINFINDEX:
    case Reg::MESSCTRL:
    case Reg::queryall:
        return true;
    default:
        return i <= idx(Reg::XCR);  // debug and marker registers
    }
}

}  // namespace

std::string MemoryRef::name() const
{
    if (frame)
        return "frame" + std::to_string(slot);
    if (slot == 9)
        return "animated";
    return "logo" + std::to_string(slot);
}

DeviceModel::DeviceModel(ModelProfile profile) : m_profile(std::move(profile)) { setDefaults(); }

DeviceModel::~DeviceModel() = default;

void DeviceModel::setDefaults()
{
    for (int i = 0; i < kRegisterCount; ++i) {
        const auto &info = registerInfo(static_cast<std::uint16_t>(i));
        m_reg[i] = static_cast<std::uint32_t>(std::max<std::int32_t>(info.minimum, 0));
    }
    const ModelProfile &m = m_profile;
    set(Reg::DEV, m.dev);
    set(Reg::Ready, 1);
    set(Reg::UNITy, 2700);
    set(Reg::VERI1, 0x5641);
    set(Reg::VERI2, 0x524E);
    set(Reg::VERI3, m.dev);
    set(Reg::VERI4, 1042);
    set(Reg::VERK, 0xA5C3);
    set(Reg::VERA, 27);
    set(Reg::VERB, 5);
    set(Reg::VERC, 4);
    set(Reg::VERD, 0x3C1F);
    set(Reg::VERV, 13);
    set(Reg::VERUPD, m.firmware);
    set(Reg::REV, 3);
    set(Reg::OPT, m.options);
    set(Reg::DOLLARS, m.family);

    set(Reg::ICHM, 1);
    set(Reg::ICHNM, 1);
    const std::uint32_t second = m.inputs >= 2 ? 2 : 1;
    set(Reg::ICHP, second);
    set(Reg::ICHNP, second);
    for (int side = 0; side < 2; ++side) {
        const SignalInfo s = signalOf(side == 0 ? 1 : second, m.inputs);
        const int base = side == 0 ? idx(Reg::ILDM) : idx(Reg::ILDP);
        const std::uint32_t values[] = {s.lineDur, s.lineSync, s.frameDur, s.frameSync, s.present,   s.hpol,
                                        s.vpol,    s.sync,     s.interlaced, 0,          s.family};
        for (int k = 0; k < 11; ++k)
            m_reg[base + k] = values[k];
    }
    // picture settings of both outputs: centred, neutral
    for (int base : {idx(Reg::HPOSM), idx(Reg::HPOSP)}) {
        for (int k = 0; k < 8; ++k)
            m_reg[base + k] = 128;  // positions, sizes, brightness, contrast, colour, hue
        m_reg[base + 8] = 3;        // sharpness
        m_reg[base + 11] = 100;     // zoom sizes
        m_reg[base + 12] = 100;
        m_reg[base + 13] = 128;  // zoom position
        m_reg[base + 14] = 128;
        m_reg[base + 15] = 128;  // red, green, blue levels
        m_reg[base + 16] = 128;
        m_reg[base + 17] = 128;
        m_reg[base + 18] = 1344;  // total pixels per line
        m_reg[base + 19] = 16;    // phase
    }
    set(Reg::OFMTM, 2);
    set(Reg::OFMTP, 2);
    set(Reg::ORATEM, 1);
    set(Reg::ORATEP, 1);
    set(Reg::REFFAMM, 12);
    set(Reg::REFFRQM, 6000);
    updateOutputSize(false);

    for (int ch = 0; ch < kChannelCount; ++ch) {
        const bool present = ch < m.inputs;
        m_channel[idx(Reg::PENA)][ch] = present ? 1 : 0;
        m_channel[idx(Reg::PRGBI)][ch] = ch < 4 ? 1 : 4;  // computer on 1..4, video on 5..8
        m_channel[idx(Reg::LHPOS1M)][ch] = 10;
        m_channel[idx(Reg::LVPOS1M)][ch] = 10;
        m_channel[idx(Reg::LHPOS2M)][ch] = 200;
        m_channel[idx(Reg::LVPOS2M)][ch] = 10;
        m_channel[idx(Reg::LHPOS1P)][ch] = 10;
        m_channel[idx(Reg::LVPOS1P)][ch] = 10;
        m_channel[idx(Reg::LHPOS2P)][ch] = 200;
        m_channel[idx(Reg::LVPOS2P)][ch] = 10;
        m_channel[idx(Reg::ALEV)][ch] = 48;
        m_channel[idx(Reg::ABAL)][ch] = 32;
    }

    // network: the device at 192.168.0.10:10500, its peer, its gateway, a /24
    m_octets = {{{192, 168, 0, 10}, {192, 168, 0, 100}, {192, 168, 0, 1}}};
    m_ports = {10500, 10000, 0};
    set(Reg::NETMASK, 8);
    set(Reg::LANENABLE, 1);
    set(Reg::TCPIP, 1);

    // logos and frames: every memory empty
    set(Reg::LFRAMEDUR, 10);
    set(Reg::LLOGODUR, 50);
    set(Reg::LHPCAP, 64);
    set(Reg::LVPCAP, 64);
    set(Reg::LHSCAP, 64);
    set(Reg::LVSCAP, 64);
    for (Reg r : {Reg::LHSIZ1M, Reg::LVSIZ1M, Reg::LHSIZ2M, Reg::LVSIZ2M, Reg::LHSIZ1P, Reg::LVSIZ1P, Reg::LHSIZ2P,
                  Reg::LVSIZ2P})
        set(r, 40);
    set(Reg::LLEVEL, 16);
    set(Reg::LNFRAMESCAP, 10);
    set(Reg::LREFRESHCAP, 40);
    set(Reg::LFMAXCAP, 64);
    set(Reg::LTIMECAP, 30);
    for (Reg r : {Reg::LREFRESH1M, Reg::LREFRESH2M, Reg::LREFRESH1P, Reg::LREFRESH2P, Reg::LINFREFRESH})
        set(r, 40);
    updateCaptureSize(false);
    updateMemoryBits();

    // audio
    set(Reg::ACHANM, 1);
    set(Reg::ACHANP, second);
    set(Reg::AMASTM, 200);
    set(Reg::AMASTP, 200);

    // effects
    const bool anyEffect = m.cut || m.fade || m.title || m.pip;
    set(Reg::EFFENABLE, (m.cut ? 1u : 0u) | (m.fade ? 2u : 0u) | (m.title ? 4u : 0u) | (m.pip ? 8u : 0u));
    set(Reg::TAKEEVA, m.preview && anyEffect ? 1 : 0);
    set(Reg::EFFECT, m.fade ? 1 : 0);
    set(Reg::EFFDUR, 10);
    set(Reg::EFFPA, 64);
    set(Reg::EFFPB, 64);
    set(Reg::EFFPC, 128);
    set(Reg::EFFPD, 128);
    set(Reg::EFFPE, 64);
    set(Reg::EFFPF, 64);
    set(Reg::EFFPG, 128);
    set(Reg::EFFPH, 128);
    set(Reg::EFFOPNDUR, 10);
    set(Reg::EFFCLSDUR, 10);
    set(Reg::PIPIMGHSIZ, 512);
    set(Reg::PIPIMGVSIZ, 384);
    set(Reg::FAMLISTM, 0x0FFF);
    set(Reg::FAMLISTP, 0x0FFF);
}

// --- time -------------------------------------------------------------------

void DeviceModel::schedule(std::int64_t delayMs, std::function<void()> action)
{
    m_pending.push_back({m_now + std::max<std::int64_t>(delayMs, 0), m_seq++, std::move(action)});
}

void DeviceModel::advance(std::int64_t ms)
{
    const std::int64_t target = m_now + std::max<std::int64_t>(ms, 0);
    for (;;) {
        auto next = std::min_element(m_pending.begin(), m_pending.end(), [](const Pending &a, const Pending &b) {
            return a.due != b.due ? a.due < b.due : a.seq < b.seq;
        });
        if (next == m_pending.end() || next->due > target)
            break;
        m_now = next->due;
        std::function<void()> action = std::move(next->action);
        m_pending.erase(next);
        action();
    }
    m_now = target;
    for (SimSession *s : std::vector<SimSession *>(m_sessions))
        s->tick(m_now);
}

// --- registers ----------------------------------------------------------------

std::uint32_t DeviceModel::channelValue(std::uint16_t index, int channel) const
{
    if (channel < 1 || channel > kChannelCount)
        channel = 1;
    return m_channel[index][channel - 1];
}

std::uint32_t DeviceModel::value(std::uint16_t index) const
{
    const auto &info = registerInfo(index);
    const std::uint32_t padip = m_reg[idx(Reg::PADIP)];
    const int address = padip >= 1 && padip <= 3 ? static_cast<int>(padip) : 1;
    switch (info.storage) {
    case Storage::PerChannel:
        return channelValue(index, static_cast<int>(m_reg[idx(Reg::PCHAN)]));
    case Storage::Octet:
        return octet(address, std::clamp(index - idx(Reg::IP4), 0, 3));  // clamp: only IP4..IP1 get here
    case Storage::Port:
        return port(address);
    default:
        return m_reg[index];
    }
}

std::string DeviceModel::report(std::uint16_t index, std::uint32_t v) const
{
    return std::string(registerInfo(index).record.RespCode) + std::to_string(v) + "\r\n";
}

std::string DeviceModel::report(std::uint16_t index) const { return report(index, value(index)); }

bool DeviceModel::validSource(std::uint32_t source) const
{
    if (source >= 1 && static_cast<int>(source) <= m_profile.inputs)
        return true;
    return source >= 9 && static_cast<int>(source) <= 8 + m_profile.frames;
}

bool DeviceModel::accepts(std::uint16_t index, std::uint32_t v) const
{
    const auto &info = registerInfo(index);
    if (!info.writable)
        return false;
    if (static_cast<Reg>(index) == Reg::MESSCTRL)
        return v <= 6;  // beyond the table's 0..4: 5 and 6 clear the ON and OFF messages
    if (v < static_cast<std::uint32_t>(std::max(info.minimum, 0)) || v > static_cast<std::uint32_t>(info.maximum))
        return false;
    switch (static_cast<Reg>(index)) {
    case Reg::ICHNM:
        return validSource(v);
    case Reg::ICHNP:
        return m_profile.preview && validSource(v);
    case Reg::SYNCLOSS:
        return v == 0 || validSource(v);
    default:
        return true;
    }
}

bool DeviceModel::store(std::uint16_t index, std::uint32_t v)
{
    const auto &info = registerInfo(index);
    bool changed = false;
    auto put = [&](std::uint32_t &slot) {
        changed = changed || slot != v;
        slot = v;
    };
    const std::uint32_t padip = m_reg[idx(Reg::PADIP)];
    switch (info.storage) {
    case Storage::PerChannel: {
        const std::uint32_t ch = m_reg[idx(Reg::PCHAN)];
        if (ch == 0)
            for (auto &c : m_channel[index])
                put(c);
        else if (ch <= kChannelCount)
            put(m_channel[index][ch - 1]);
        break;
    }
    case Storage::Octet:
        for (int a = 1; a <= 3; ++a)
            if (padip == 0 || padip == static_cast<std::uint32_t>(a))
                put(m_octets[a - 1][index - idx(Reg::IP4)]);
        break;
    case Storage::Port:
        for (int a = 1; a <= 3; ++a)
            if (padip == 0 || padip == static_cast<std::uint32_t>(a))
                put(m_ports[a - 1]);
        break;
    default:
        put(m_reg[index]);
        break;
    }
    return changed;
}

void DeviceModel::command(SimSession &from, std::optional<std::uint32_t> v, std::uint16_t index)
{
    const Reg r = static_cast<Reg>(index);
    if (r == Reg::AMX || r == Reg::XCR) {  // markers of a remote controller: no answer
        if (v)
            m_reg[index] = *v;
        return;
    }
    if (r == Reg::queryall) {
        if (v && *v == 1) {
            for (const std::string &line : dumpLines())
                from.emit(line);
        } else {
            from.emit(report(index));
        }
        return;
    }
    if (!v) {  // a code alone asks for the current value
        from.emit(report(index));
        if (r == Reg::LINFINDEX)
            reportPictureInfo();
        return;
    }
    // The effect in progress cannot be taken back; a new TAKE waits for its end.
    const bool refusedTake = r == Reg::TAKE && (m_effectRunning || (*v == 1 && value(Reg::TAKEEVA) == 0));
    const bool refusedStore = r == Reg::LSTORE && *v == 1 && !m_storeRunning &&
                              (m_reg[idx(Reg::LMODE)] < 1 || m_reg[idx(Reg::LMODE)] > 5);
    if (!accepts(index, *v) || refusedTake || refusedStore) {
        from.emit(report(index));  // refused: the device tells what it keeps
        return;
    }
    std::uint32_t taken = *v;
    if (r == Reg::TBARPO)
        taken = std::min<std::uint32_t>(taken, 100);
    const bool changed = store(index, taken);
    from.emit(report(index, taken));
    afterWrite(index, taken, changed);
}

void DeviceModel::setAndBroadcast(Reg r, std::uint32_t v)
{
    m_reg[idx(r)] = v;
    broadcast(report(idx(r)));
}

void DeviceModel::afterWrite(std::uint16_t index, std::uint32_t v, bool changed)
{
    const Reg r = static_cast<Reg>(index);
    switch (r) {
    case Reg::ICHNM:
    case Reg::ICHNP: {
        const bool main = r == Reg::ICHNM;
        schedule(kSwitchDelayMs, [this, main, v] {
            // a later selection overrides this one
            if (m_reg[idx(main ? Reg::ICHNM : Reg::ICHNP)] != v)
                return;
            setAndBroadcast(main ? Reg::ICHM : Reg::ICHP, v);
            const SignalInfo s = signalOf(v, m_profile.inputs);
            const int base = main ? idx(Reg::ILDM) : idx(Reg::ILDP);
            const std::uint32_t values[] = {s.lineDur, s.lineSync, s.frameDur, s.frameSync, s.present,   s.hpol,
                                            s.vpol,    s.sync,     s.interlaced, 0,          s.family};
            for (int k = 0; k < 11; ++k) {
                m_reg[base + k] = values[k];
                broadcast(report(static_cast<std::uint16_t>(base + k)));
            }
        });
        break;
    }
    case Reg::TAKE:
        if (v == 1)
            startTake();
        return;
    case Reg::TBARPO:
        moveTbar(v);
        return;
    case Reg::PRESETM:
    case Reg::PRESETP:
        if (v == 1)
            selfReset(r, 300, [this, r] {
                DeviceModel fresh(m_profile);
                const int base = r == Reg::PRESETM ? idx(Reg::HPOSM) : idx(Reg::HPOSP);
                for (int k = 0; k < 20; ++k) {
                    m_reg[base + k] = fresh.m_reg[base + k];
                    broadcast(report(static_cast<std::uint16_t>(base + k)));
                }
            });
        return;
    case Reg::AUTOSET:
        if (v == 1)
            selfReset(r, 1500);
        return;
    case Reg::EDIDSTORE:
        if (v == 1)
            selfReset(r, 1000);
        return;
    case Reg::AUTOCADM:
    case Reg::AUTOCADP:
    case Reg::LANSTORE:
    case Reg::LANRESET:
    case Reg::ERAPOS:
        if (v == 1)
            selfReset(r, 800);
        return;
    case Reg::FRESET:
        if (v == 1)
            selfReset(r, 2000, [this] { factoryReset(); });
        return;
    case Reg::LSTORE:
        if (v == 1 && !m_storeRunning)
            startStore();
        return;
    case Reg::LABORT:
        if (v == 1) {
            if (m_storeRunning) {
                m_storeRunning = false;
                ++m_storeGeneration;
                setAndBroadcast(Reg::LSTORE, 0);
            }
            selfReset(r, 100);
        }
        return;
    case Reg::LINFINDEX:
        reportPictureInfo();
        return;
    case Reg::OFMTM:
        m_reg[idx(Reg::OFMTP)] = v;
        updateOutputSize(true);
        broadcast(report(idx(Reg::OFMTP)));
        break;
    case Reg::LHSCAP:
    case Reg::LVSCAP:
    case Reg::LMODE:
        updateCaptureSize(true);
        break;
    case Reg::MESSON:
    case Reg::MESSOFF:
        messageWritten(r == Reg::MESSON ? 0 : 1, v);
        break;
    case Reg::MESSCTRL:
        messageControl(v);
        return;
    case Reg::STBDBG:
        setAndBroadcast(Reg::DATADBG, (m_reg[idx(Reg::DATADBG)] | v) & 0xFFFF);
        return;
    case Reg::RSBDBG:
        setAndBroadcast(Reg::DATADBG, m_reg[idx(Reg::DATADBG)] & ~v & 0xFFFF);
        return;
    case Reg::NTBDBG:
        setAndBroadcast(Reg::DATADBG, (m_reg[idx(Reg::DATADBG)] ^ v) & 0xFFFF);
        return;
    default:
        break;
    }
    if (changed && !isAction(index))
        settingChanged();
}

void DeviceModel::selfReset(Reg r, int delayMs, std::function<void()> effect)
{
    schedule(delayMs, [this, r, effect = std::move(effect)] {
        if (effect)
            effect();
        setAndBroadcast(r, 0);
    });
}

void DeviceModel::settingChanged()
{
    const std::uint64_t generation = ++m_storeFlagGeneration;
    schedule(kStoreFlagDelayMs, [this, generation] {
        if (generation == m_storeFlagGeneration && m_reg[idx(Reg::STORE)] == 0)
            setAndBroadcast(Reg::STORE, 1);
    });
    schedule(kStoreFlagDelayMs + kStoreFlagMs, [this, generation] {
        if (generation == m_storeFlagGeneration && m_reg[idx(Reg::STORE)] == 1)
            setAndBroadcast(Reg::STORE, 0);
    });
}

// --- factory settings ----------------------------------------------------------------------

void DeviceModel::factoryReset()
{
    // Every setting goes back to its factory value and is reported; the
    // framings (picture position and size), the network settings, the
    // selections and the picture memories are kept.
    const DeviceModel factory(m_profile);
    auto kept = [](int i) {
        return (i >= idx(Reg::HPOSM) && i <= idx(Reg::VSIZM)) || (i >= idx(Reg::HPOSP) && i <= idx(Reg::VSIZP)) ||
               (i >= idx(Reg::LANENABLE) && i <= idx(Reg::TCPIP)) || isAction(static_cast<std::uint16_t>(i));
    };
    for (int i = 0; i < kRegisterCount; ++i) {
        const auto index = static_cast<std::uint16_t>(i);
        const RegisterInfo &info = registerInfo(index);
        if (!info.writable || kept(i) || info.storage != Storage::Plain || m_reg[i] == factory.m_reg[i])
            continue;
        m_reg[i] = factory.m_reg[i];
        broadcast(report(index));
    }
    const std::uint32_t pchan = m_reg[idx(Reg::PCHAN)];
    bool anySelected = false;
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        bool selected = false;
        for (int i = 0; i < kRegisterCount; ++i) {
            const auto index = static_cast<std::uint16_t>(i);
            if (registerInfo(index).storage != Storage::PerChannel ||
                m_channel[i][ch - 1] == factory.m_channel[i][ch - 1])
                continue;
            if (!selected) {
                broadcast(report(idx(Reg::PCHAN), static_cast<std::uint32_t>(ch)));
                selected = anySelected = true;
            }
            m_channel[i][ch - 1] = factory.m_channel[i][ch - 1];
            broadcast(report(index, m_channel[i][ch - 1]));
        }
    }
    if (anySelected)  // clients keep the device's own selection
        broadcast(report(idx(Reg::PCHAN), pchan));
    updateOutputSize(true);
}

// --- projector messages -----------------------------------------------------------------

void DeviceModel::messageWritten(int which, std::uint32_t byte)
{
    // One byte per write at the current position; the terminating 0 ends the
    // message and returns the position to the start for the next one.
    const Reg position = which == 0 ? Reg::IMESSON : Reg::IMESSOFF;
    const std::uint32_t at = m_reg[idx(position)];
    m_messages[which][at] = static_cast<std::uint8_t>(byte);
    setAndBroadcast(position, byte == 0 ? 0 : std::min<std::uint32_t>(at + 1, 50));
}

void DeviceModel::messageControl(std::uint32_t control)
{
    switch (control) {
    case 1:
    case 2:
        setAndBroadcast(control == 1 ? Reg::IMESSON : Reg::IMESSOFF, 0);
        return;
    case 3:
    case 4: {  // read back: each byte after its position, up to the terminating 0
        const int which = control == 3 ? 0 : 1;
        const Reg position = which == 0 ? Reg::IMESSON : Reg::IMESSOFF;
        const Reg data = which == 0 ? Reg::MESSON : Reg::MESSOFF;
        for (std::uint32_t i = 0; i <= 50; ++i) {
            const std::uint8_t byte = i == 50 ? 0 : m_messages[which][i];
            setAndBroadcast(position, i);
            setAndBroadcast(data, byte);
            if (byte == 0)
                break;
        }
        setAndBroadcast(position, 0);
        return;
    }
    case 5:
    case 6:
        m_messages[control - 5].fill(0);
        setAndBroadcast(control == 5 ? Reg::IMESSON : Reg::IMESSOFF, 0);
        setAndBroadcast(Reg::MESSCTRL, 0);  // a clear is done at once; 0 is what clients know
        return;
    default:
        return;
    }
}

// --- transitions ------------------------------------------------------------------

void DeviceModel::startTake()
{
    m_effectRunning = true;
    const std::uint64_t generation = ++m_effectGeneration;
    const std::int64_t duration = std::int64_t(m_reg[idx(Reg::EFFDUR)]) * 100;
    setAndBroadcast(Reg::EFFON, 1);
    setAndBroadcast(Reg::TBAR, 0);
    for (std::int64_t t = kTbarStepMs; t <= duration; t += kTbarStepMs) {
        const auto percent = static_cast<std::uint32_t>(t * 100 / duration);
        schedule(t, [this, generation, percent] {
            if (generation == m_effectGeneration)
                setAndBroadcast(Reg::TBAR, percent);
        });
    }
    schedule(duration, [this, generation] {
        if (generation != m_effectGeneration)
            return;
        if (m_reg[idx(Reg::TBAR)] != 100)
            setAndBroadcast(Reg::TBAR, 100);
        finishTransition();
        m_effectRunning = false;
        setAndBroadcast(Reg::TAKE, 0);
    });
}

void DeviceModel::finishTransition()
{
    const std::uint32_t main = m_reg[idx(Reg::ICHM)];
    const std::uint32_t preview = m_reg[idx(Reg::ICHP)];
    m_reg[idx(Reg::ICHNM)] = preview;
    m_reg[idx(Reg::ICHNP)] = main;
    setAndBroadcast(Reg::ICHM, preview);
    setAndBroadcast(Reg::ICHP, main);
    broadcast(report(idx(Reg::ICHNM)));
    broadcast(report(idx(Reg::ICHNP)));
    for (int k = 0; k < 11; ++k)
        std::swap(m_reg[idx(Reg::ILDM) + k], m_reg[idx(Reg::ILDP) + k]);
    setAndBroadcast(Reg::EFFON, 0);
}

void DeviceModel::moveTbar(std::uint32_t position)
{
    // The T-bar runs the transition by hand: it completes when the bar reaches
    // the end opposite to where it started.
    if (m_effectRunning && m_reg[idx(Reg::TAKE)] == 1)
        return;  // an automatic effect is in charge
    const std::uint32_t target = m_tbarStart <= 50 ? 100 : 0;
    const std::uint32_t progress = target == 100 ? position : 100 - position;
    if (progress == 0) {
        if (m_effectRunning) {  // moved back to the start: nothing happened
            m_effectRunning = false;
            setAndBroadcast(Reg::TBAR, 0);
            setAndBroadcast(Reg::EFFON, 0);
        }
        return;
    }
    if (!m_effectRunning) {
        m_effectRunning = true;
        ++m_effectGeneration;
        setAndBroadcast(Reg::EFFON, 1);
    }
    setAndBroadcast(Reg::TBAR, progress);
    if (progress >= 100) {
        finishTransition();
        m_effectRunning = false;
        m_tbarStart = position;
    }
}

// --- logo and frame memories -----------------------------------------------------------

void DeviceModel::updateOutputSize(bool announce)
{
    const OutputFormat f = kFormats[std::min<std::uint32_t>(m_reg[idx(Reg::OFMTM)], 15)];
    const std::pair<Reg, std::uint32_t> values[] = {{Reg::OHSIZM, f.width},
                                                     {Reg::OVSIZM, f.height},
                                                     {Reg::OHSIZP, f.width},
                                                     {Reg::OVSIZP, f.height},
                                                     {Reg::LPIXELSIZFM, f.width},
                                                     {Reg::LLINESIZFM, f.height},
                                                     {Reg::LPIXELSIZFP, f.width},
                                                     {Reg::LLINESIZFP, f.height}};
    for (const auto &[reg, v] : values) {
        m_reg[idx(reg)] = v;
        if (announce)
            broadcast(report(idx(reg)));
    }
    updateCaptureSize(announce);
}

void DeviceModel::updateCaptureSize(bool announce)
{
    std::uint32_t w = m_reg[idx(Reg::OHSIZM)];
    std::uint32_t h = m_reg[idx(Reg::OVSIZM)];
    const std::uint32_t mode = m_reg[idx(Reg::LMODE)];
    if (mode != 3) {  // logos capture the window set by LHSCAP/LVSCAP (255 = whole output)
        w = static_cast<std::uint32_t>(std::lround(double(m_reg[idx(Reg::LHSCAP)]) * w / 255.0));
        h = static_cast<std::uint32_t>(std::lround(double(m_reg[idx(Reg::LVSCAP)]) * h / 255.0));
    }
    const bool changed = m_reg[idx(Reg::LPIXELSIZCAP)] != w || m_reg[idx(Reg::LLINESIZCAP)] != h;
    m_reg[idx(Reg::LPIXELSIZCAP)] = w;
    m_reg[idx(Reg::LLINESIZCAP)] = h;
    if (announce && changed) {
        broadcast(report(idx(Reg::LPIXELSIZCAP)));
        broadcast(report(idx(Reg::LLINESIZCAP)));
    }
}

const std::optional<StoredPicture> &DeviceModel::memory(MemoryRef ref) const
{
    static const std::optional<StoredPicture> none;
    if (!memoryExists(ref))
        return none;
    return ref.frame ? m_frames[ref.slot] : m_logos[ref.slot];
}

bool DeviceModel::memoryExists(MemoryRef ref) const
{
    if (ref.frame)
        return ref.slot >= 1 && ref.slot <= m_profile.frames;
    if (ref.slot == 9)
        return m_profile.animated > 0;
    return ref.slot >= 1 && ref.slot <= m_profile.logos;
}

void DeviceModel::storePicture(MemoryRef ref, StoredPicture picture)
{
    if (!memoryExists(ref))
        return;
    (ref.frame ? m_frames[ref.slot] : m_logos[ref.slot]) = std::move(picture);
    updateMemoryBits();
    const bool infoShown = static_cast<int>(m_reg[idx(Reg::LINFINDEX)]) == (ref.frame ? 100 + ref.slot : ref.slot);
    schedule(kMemoryReportDelayMs, [this, infoShown] {
        broadcast(report(idx(Reg::LEMPTYL)));
        broadcast(report(idx(Reg::LEMPTYF)));
        if (infoShown)
            reportPictureInfo();
    });
}

void DeviceModel::announceMemoryBits()
{
    if (updateMemoryBits()) {
        broadcast(report(idx(Reg::LEMPTYL)));
        broadcast(report(idx(Reg::LEMPTYF)));
    }
}

bool DeviceModel::updateMemoryBits()
{
    // A set bit marks an empty memory; memories the model lacks count as empty.
    std::uint32_t logos = 0;
    for (int k = 1; k <= 9; ++k)
        if (!m_logos[k])
            logos |= 1u << (k - 1);
    std::uint32_t frames = 0;
    for (int k = 1; k <= 4; ++k)
        if (!m_frames[k])
            frames |= 1u << (k - 1);
    const bool changed = logos != m_reg[idx(Reg::LEMPTYL)] || frames != m_reg[idx(Reg::LEMPTYF)];
    m_reg[idx(Reg::LEMPTYL)] = logos;
    m_reg[idx(Reg::LEMPTYF)] = frames;
    return changed;
}

void DeviceModel::reportPictureInfo()
{
    const std::uint32_t n = m_reg[idx(Reg::LINFINDEX)];
    MemoryRef ref;
    if (n >= 101 && n <= 104)
        ref = {true, static_cast<int>(n - 100)};
    else if (n >= 1 && n <= 9)
        ref = {false, static_cast<int>(n)};
    else
        return;
    const auto &pic = memory(ref);
    // style: 0 empty or plain, 1 keyed, 2 animated
    m_reg[idx(Reg::LINFSTYLE)] = !pic ? 0 : (pic->frames > 1 ? 2 : (pic->keyed ? 1 : 0));
    m_reg[idx(Reg::LINFPIXELSIZ)] = pic ? static_cast<std::uint32_t>(pic->width) : 0;
    m_reg[idx(Reg::LINFLINESIZ)] = pic ? static_cast<std::uint32_t>(pic->frameHeight) : 0;
    m_reg[idx(Reg::LINFNFRAMES)] = pic ? static_cast<std::uint32_t>(std::clamp(pic->frames, 1, 255)) : 1;
    m_reg[idx(Reg::LINFREFRESH)] = pic && pic->delayMs > 0 ? static_cast<std::uint32_t>(pic->delayMs) : 40;
    for (Reg r : {Reg::LINFSTYLE, Reg::LINFPIXELSIZ, Reg::LINFLINESIZ, Reg::LINFNFRAMES, Reg::LINFREFRESH,
                  Reg::LINFTRANS})
        broadcast(report(idx(r)));
}

void DeviceModel::startStore()
{
    m_storeMode = m_reg[idx(Reg::LMODE)];
    m_storeSlot = m_reg[idx(Reg::LCURRENT)];
    m_storeRunning = true;
    const std::uint64_t generation = ++m_storeGeneration;
    // The device writes its flash at about 65536 bytes per 2.4 s (still logos and
    // frames) or per 655 s (animated logos, which store every captured frame);
    // an erase takes a second.
    std::int64_t durationMs = 1000;
    const std::uint64_t pixels = std::uint64_t(m_reg[idx(Reg::LPIXELSIZCAP)]) * m_reg[idx(Reg::LLINESIZCAP)];
    if (m_storeMode == 1 || m_storeMode == 3)
        durationMs += static_cast<std::int64_t>(pixels * 3 * 2400 / 65536);
    else if (m_storeMode == 2)
        durationMs += static_cast<std::int64_t>((pixels + 383) / 384 * 384 * m_reg[idx(Reg::LNFRAMESCAP)] * 3 *
                                                655350 / 65536);
    schedule(durationMs, [this, generation] { finishStore(generation); });
}

void DeviceModel::finishStore(std::uint64_t generation)
{
    if (generation != m_storeGeneration || !m_storeRunning)
        return;
    m_storeRunning = false;
    const int slot = static_cast<int>(m_storeSlot);
    auto captured = [&](int frames) {
        StoredPicture pic;
        pic.width = static_cast<int>(std::max<std::uint32_t>(m_reg[idx(Reg::LPIXELSIZCAP)], 1));
        pic.frameHeight = static_cast<int>(std::max<std::uint32_t>(m_reg[idx(Reg::LLINESIZCAP)], 1));
        pic.frames = frames;
        pic.delayMs = static_cast<int>(m_reg[idx(Reg::LREFRESHCAP)]);
        pic.rgb.resize(std::size_t(pic.width) * pic.height() * 3);
        for (int y = 0; y < pic.height(); ++y)  // a colour ramp stands for the live picture
            for (int x = 0; x < pic.width; ++x) {
                std::uint8_t *p = &pic.rgb[(std::size_t(y) * pic.width + x) * 3];
                p[0] = static_cast<std::uint8_t>(x * 255 / std::max(pic.width - 1, 1));
                p[1] = static_cast<std::uint8_t>(y * 255 / std::max(pic.height() - 1, 1));
                p[2] = 128;
            }
        return pic;
    };
    switch (m_storeMode) {
    case 1:
        if (slot >= 1 && slot <= m_profile.logos)
            m_logos[slot] = captured(1);
        break;
    case 2:
        if (slot == 9 && m_profile.animated > 0)
            m_logos[9] = captured(static_cast<int>(m_reg[idx(Reg::LNFRAMESCAP)]));
        break;
    case 3:
        if (slot >= 1 && slot <= m_profile.frames)
            m_frames[slot] = captured(1);
        break;
    case 4:
        for (int k = 1; k <= 9; ++k)
            if (slot == 0 || slot == k)
                m_logos[k].reset();
        break;
    case 5:
        for (int k = 1; k <= 4; ++k)
            if (slot == 0 || slot == k)
                m_frames[k].reset();
        break;
    default:
        break;
    }
    announceMemoryBits();
    setAndBroadcast(Reg::LSTORE, 0);
}

// --- dump ---------------------------------------------------------------------------

std::vector<std::string> DeviceModel::dumpLines() const
{
    std::vector<std::string> lines;
    lines.push_back(report(idx(Reg::queryall), 1));
    for (int i = 0; i < idx(Reg::queryall); ++i) {
        const auto index = static_cast<std::uint16_t>(i);
        const auto &info = registerInfo(index);
        if (i == idx(Reg::AMX) || i == idx(Reg::XCR) || info.storage == Storage::PerChannel)
            continue;
        if (info.storage == Storage::Port)
            continue;  // reported with the octets
        if (info.storage == Storage::Octet) {
            if (i != idx(Reg::IP4))
                continue;
            // each address after its selection, then the selection the device keeps
            for (int a = 1; a <= 3; ++a) {
                lines.push_back(report(idx(Reg::PADIP), static_cast<std::uint32_t>(a)));
                for (int k = 0; k < 4; ++k)
                    lines.push_back(report(static_cast<std::uint16_t>(idx(Reg::IP4) + k), octet(a, k)));
                lines.push_back(report(idx(Reg::IPPORT), port(a)));
            }
            lines.push_back(report(idx(Reg::PADIP)));
            continue;
        }
        lines.push_back(report(index));
    }
    // channel-indexed registers: one block per channel, after its selection
    for (int ch = 1; ch <= kChannelCount; ++ch) {
        lines.push_back(report(idx(Reg::PCHAN), static_cast<std::uint32_t>(ch)));
        for (int i = 0; i < kRegisterCount; ++i)
            if (registerInfo(static_cast<std::uint16_t>(i)).storage == Storage::PerChannel)
                lines.push_back(report(static_cast<std::uint16_t>(i), channelValue(static_cast<std::uint16_t>(i), ch)));
    }
    lines.push_back(report(idx(Reg::PCHAN)));
    lines.push_back(report(idx(Reg::queryall), 0));
    return lines;
}

// --- sessions -------------------------------------------------------------------------

void DeviceModel::attach(SimSession *session) { m_sessions.push_back(session); }

void DeviceModel::detach(SimSession *session) { std::erase(m_sessions, session); }

void DeviceModel::broadcast(const std::string &line)
{
    for (SimSession *s : m_sessions)
        if (s->hasPeer() && !s->rawMode())
            s->emit(line);
}

}  // namespace varnel::sim
