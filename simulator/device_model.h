#pragma once
// The simulated device: its registers (with the per-channel and per-address
// copies), its picture memories and the behaviours an operator sees (switching
// delays, the TAKE effect, the T-bar, self-resetting commands, stores).
//
// Plain C++ without an event loop: time moves only when the owner calls
// advance(ms), so tests run a five-second effect in microseconds. Every link
// (TCP, UDP, serial) talks to the device through its own SimSession.

#include "sim_models.h"

#include <register_table.h>

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::sim {

class SimSession;

/// A picture held in one of the device's memories (24-bit, frames stacked).
struct StoredPicture {
    int width = 0;
    int frameHeight = 0;
    int frames = 1;
    int delayMs = 0;
    bool keyed = false;
    std::vector<std::uint8_t> rgb;  ///< width × frameHeight × frames pixels, R G B each

    int height() const { return frameHeight * frames; }
};

/// Which memory: a logo (1..8 still, 9 animated) or a frame (1..4).
struct MemoryRef {
    bool frame = false;
    int slot = 0;
    std::string name() const;  ///< "logo3", "animated", "frame2"
};

class DeviceModel {
public:
    static constexpr int kSwitchDelayMs = 300;     ///< new source → current source
    static constexpr int kStoreFlagDelayMs = 200;  ///< a setting changes → STORE 1
    static constexpr int kStoreFlagMs = 1000;      ///< STORE stays 1 this long after the last change
    static constexpr int kTbarStepMs = 100;        ///< TBAR is reported every 100 ms during an effect
    static constexpr int kRawIdleMs = 10000;       ///< raw mode ends after this much silence
    /// New memory bits are reported this long after a picture arrives, when the
    /// peer has left raw mode again.
    static constexpr int kMemoryReportDelayMs = 200;

    explicit DeviceModel(ModelProfile profile);
    ~DeviceModel();
    DeviceModel(const DeviceModel &) = delete;
    DeviceModel &operator=(const DeviceModel &) = delete;

    const ModelProfile &profile() const { return m_profile; }

    // --- time ----------------------------------------------------------------
    std::int64_t now() const { return m_now; }
    /// Moves the device's clock on, running every behaviour that falls due.
    void advance(std::int64_t ms);
    /// Runs `action` `delayMs` from now (actions due at the same time run in order).
    void schedule(std::int64_t delayMs, std::function<void()> action);

    // --- registers -------------------------------------------------------------
    /// The value the device reports for a register now (channel-indexed ones for
    /// PCHAN, or channel 1 when PCHAN is 0; octets and ports for PADIP, or the
    /// local address when PADIP is 0).
    std::uint32_t value(std::uint16_t index) const;
    std::uint32_t value(Reg r) const { return value(idx(r)); }
    std::uint32_t channelValue(std::uint16_t index, int channel) const;
    std::uint32_t octet(int address, int which) const { return m_octets[address - 1][which]; }
    std::uint32_t port(int address) const { return m_ports[address - 1]; }
    /// The report line of a register ("CN3" CR LF).
    std::string report(std::uint16_t index) const;
    std::string report(std::uint16_t index, std::uint32_t value) const;

    /// A command received by a session: a value and a code, or a code alone.
    void command(SimSession &from, std::optional<std::uint32_t> value, std::uint16_t index);
    /// The whole register dump that answers "1#".
    std::vector<std::string> dumpLines() const;

    // --- picture memories ---------------------------------------------------
    const std::optional<StoredPicture> &memory(MemoryRef ref) const;
    bool memoryExists(MemoryRef ref) const;
    /// Puts a picture into a memory; the new memory bits are reported a moment later.
    void storePicture(MemoryRef ref, StoredPicture picture);
    /// Called for every picture received over a link (the CLI writes it to disk).
    std::function<void(MemoryRef, const StoredPicture &)> onPictureReceived;

    // --- sessions ---------------------------------------------------------
    void attach(SimSession *session);
    void detach(SimSession *session);
    /// Sends a line to every session that has a peer and is in register mode.
    void broadcast(const std::string &line);

private:
    struct Pending {
        std::int64_t due;
        std::uint64_t seq;
        std::function<void()> action;
    };

    void setDefaults();
    bool accepts(std::uint16_t index, std::uint32_t value) const;
    /// Stores an accepted value, returns true when a stored value changed.
    bool store(std::uint16_t index, std::uint32_t value);
    void set(Reg r, std::uint32_t v) { m_reg[idx(r)] = v; }
    void setAndBroadcast(Reg r, std::uint32_t v);
    void afterWrite(std::uint16_t index, std::uint32_t value, bool changed);
    void settingChanged();
    void startTake();
    void moveTbar(std::uint32_t position);
    void finishTransition();
    void selfReset(Reg r, int delayMs, std::function<void()> effect = {});
    void startStore();
    void finishStore(std::uint64_t generation);
    void updateCaptureSize(bool announce);
    void reportPictureInfo();
    void updateOutputSize(bool announce);
    /// Recomputes LEMPTYL/LEMPTYF; true when they changed.
    bool updateMemoryBits();
    void announceMemoryBits();
    void factoryReset();
    void messageWritten(int which, std::uint32_t byte);
    void messageControl(std::uint32_t control);
    bool validSource(std::uint32_t source) const;

    ModelProfile m_profile;
    std::int64_t m_now = 0;
    std::uint64_t m_seq = 0;
    std::vector<Pending> m_pending;
    std::vector<SimSession *> m_sessions;

    std::array<std::uint32_t, kRegisterCount> m_reg{};
    std::array<std::array<std::uint32_t, kChannelCount>, kRegisterCount> m_channel{};
    std::array<std::array<std::uint32_t, 4>, 3> m_octets{};  ///< local, remote, gateway
    std::array<std::uint32_t, 3> m_ports{};

    /// The projector ON and OFF messages, one byte per position 0..50.
    std::array<std::array<std::uint8_t, 51>, 2> m_messages{};

    std::array<std::optional<StoredPicture>, 10> m_logos;   ///< index 1..9
    std::array<std::optional<StoredPicture>, 5> m_frames;   ///< index 1..4

    // behaviour state
    std::uint64_t m_storeFlagGeneration = 0;
    bool m_effectRunning = false;
    std::uint64_t m_effectGeneration = 0;
    std::uint32_t m_tbarStart = 0;  ///< T-bar position where the manual transition began
    bool m_storeRunning = false;
    std::uint64_t m_storeGeneration = 0;
    std::uint32_t m_storeMode = 0;
    std::uint32_t m_storeSlot = 0;
};

/// One link's conversation with the device: the command parser of register
/// mode and the device side of the picture transfer in raw mode.
class SimSession {
public:
    using Sink = std::function<void(std::string_view text, bool registerAnswer)>;

    SimSession(DeviceModel &device, Sink sink, double nakShare = 0.0, std::uint32_t seed = 1);
    ~SimSession();
    SimSession(const SimSession &) = delete;
    SimSession &operator=(const SimSession &) = delete;

    /// Text from the peer, in whatever pieces it arrives.
    void receive(std::string_view text);
    /// A new peer on this link: back to register mode, buffers cleared.
    void reset();
    /// Whether unsolicited reports go to this session (it has heard a peer).
    bool hasPeer() const { return m_hasPeer; }
    void setHasPeer(bool on) { m_hasPeer = on; }

    bool rawMode() const { return m_raw; }
    /// The line rate the device uses now: 115200 during a transfer, else 9600.
    int baudRate() const { return m_raw ? 115200 : 9600; }

    /// Output of the device to this link's peer.
    void emit(std::string_view text, bool registerAnswer = true) { m_sink(text, registerAnswer); }
    /// Driven by the device's clock.
    void tick(std::int64_t nowMs);

private:
    void parseCommands();
    void parseRaw();
    void enterRaw();
    void leaveRaw();
    void handleRecord(std::string_view text);
    void handleReply(bool ack);
    void ack() { emit(".1\r", false); }
    void nak() { emit(".0\r", false); }
    void sendRetrievalGroup();

    DeviceModel &m_device;
    Sink m_sink;
    double m_nakShare;
    std::uint32_t m_rngState;
    bool m_hasPeer = false;
    std::string m_buffer;

    // raw mode (picture transfer)
    bool m_raw = false;
    std::int64_t m_lastRawInput = 0;
    enum class Step { Header, Size, Frames, Begin, Data, RetrSize, RetrFrames, RetrData, Done };
    Step m_step = Step::Header;
    MemoryRef m_target;
    bool m_keyed = false;
    StoredPicture m_picture;
    std::size_t m_cursor = 0;  ///< pixels placed so far
    std::array<std::vector<std::uint8_t>, 3> m_component;
    std::array<bool, 3> m_haveComponent{};
    std::vector<std::uint8_t> m_previousGroup;  ///< R G B per pixel
    int m_retrComponent = 0;                    ///< next component of the current retrieval group

    bool nakByFault();
};

}  // namespace varnel::sim
