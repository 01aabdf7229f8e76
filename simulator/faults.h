#pragma once
// Faults the simulator can be told to show, for the reliability tests: added
// latency, answers cut into pieces, dropped answers, garbage lines, refused
// transfer records, a device that goes silent or hangs up after a while.
// All randomness comes from a seeded generator, so a run can be repeated.

#include <cstdint>
#include <deque>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace varnel::sim {

struct FaultConfig {
    int latencyMs = 0;          ///< every answer leaves this much later
    bool split = false;         ///< answers leave in random pieces, a few ms apart
    double dropShare = 0.0;     ///< share of register answers (lines) never sent
    double garbageShare = 0.0;  ///< share of register answers preceded by a garbage line
    double nakShare = 0.0;      ///< share of valid transfer records answered ".0"
    int silentAfterS = -1;      ///< the link stops answering this long after a peer appears
    int closeAfterS = -1;       ///< the link hangs up this long after a peer appears
    std::uint32_t seed = 1;

    bool any() const
    {
        return latencyMs > 0 || split || dropShare > 0 || garbageShare > 0 || nakShare > 0 || silentAfterS >= 0 ||
               closeAfterS >= 0;
    }
};

/// A garbage line: text no register answers with, ended by CR LF.
std::string garbageLine(std::mt19937 &rng);

/// Shapes the output of one link according to the fault configuration. The
/// link submits each answer line (or raw reply) as it is produced and writes
/// the pieces `takeDue` hands back; time is whatever clock the caller uses.
class FaultShaper {
public:
    FaultShaper(const FaultConfig &config, std::uint32_t seedOffset);

    /// A new peer: forgets queued output and restarts the silent/close clocks.
    void reset(std::int64_t nowMs);
    /// `registerAnswer` is false for transfer replies and records, which are
    /// never dropped nor mixed with garbage. `destination` is the link's own
    /// tag for where the text goes (the UDP link's peer). Nothing is taken
    /// once the link has gone silent.
    void submit(std::string_view text, bool registerAnswer, std::int64_t nowMs, std::uint32_t destination = 0);
    /// The pieces due by now, in order; each is meant as one write. With
    /// `destinations`, the destination of each piece is appended to it.
    std::vector<std::string> takeDue(std::int64_t nowMs, std::vector<std::uint32_t> *destinations = nullptr);
    bool pending() const { return !m_queue.empty(); }

    bool silent(std::int64_t nowMs) const;
    bool closeDue(std::int64_t nowMs) const;

    std::mt19937 &rng() { return m_rng; }

private:
    struct Piece {
        std::int64_t due;
        std::string text;
        std::uint32_t destination;
    };
    void enqueue(std::string text, std::int64_t due);
    std::uint32_t m_destination = 0;  ///< of the text being submitted

    FaultConfig m_config;
    std::mt19937 m_rng;
    std::deque<Piece> m_queue;
    std::int64_t m_lastDue = 0;
    std::int64_t m_peerSince = 0;
};

}  // namespace varnel::sim
