#pragma once
// One direction of a UART, timed: bytes enter the line at some time and rate
// and follow whatever is still on it; each is through the line 10 bit times
// (8 data bits, start, stop) after the one before. Times are nanoseconds of
// one monotonic clock, and every byte's time comes from the start of its run,
// so rounding never accumulates. The far end takes the bytes once they are
// through, in bursts of at most kBurst like a UART's FIFO, never earlier.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace varnel::sim {

/// Time that `count` bytes take on a line of `baud` bits a second, rounded up
/// to the nanosecond.
std::int64_t lineTimeNs(std::int64_t count, int baud);

class UartLine {
public:
    static constexpr std::size_t kBurst = 16;

    /// Puts `bytes` on the line at `startNs` at `baud`, or once the line has
    /// sent what is already on it.
    void push(std::string_view bytes, std::int64_t startNs, int baud);

    /// The bytes through the line by `nowNs`, in order, taken off the line;
    /// `lastThroughNs` gets the time the last of them was through.
    std::string take(std::int64_t nowNs, std::int64_t *lastThroughNs = nullptr);

    /// When the next burst is through: the next kBurst bytes or the rest of
    /// what entered the line together, whichever ends first. Nothing when the
    /// line is empty.
    std::optional<std::int64_t> nextDue() const;

    /// Bytes on the line not yet taken.
    std::size_t queued() const { return m_queued; }

    /// Forgets the bytes not yet through; the line stays busy until those
    /// already on it would have been.
    void clear();

private:
    struct Run {
        std::string bytes;
        std::int64_t start;  ///< when its first bit went on the line
        int baud;
    };

    /// How many bytes of `run` are through at `nowNs`.
    static std::size_t throughBy(const Run &run, std::int64_t nowNs);

    std::deque<Run> m_runs;
    std::size_t m_offset = 0;  ///< bytes of the first run already taken
    std::size_t m_queued = 0;
    std::int64_t m_free = 0;  ///< when the line has sent everything pushed
};

}  // namespace varnel::sim
