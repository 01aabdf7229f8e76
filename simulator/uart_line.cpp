#include "uart_line.h"

#include <algorithm>

namespace varnel::sim {

std::int64_t lineTimeNs(std::int64_t count, int baud)
{
    return (count * 10 * 1'000'000'000LL + baud - 1) / baud;
}

void UartLine::push(std::string_view bytes, std::int64_t startNs, int baud)
{
    if (bytes.empty() || baud <= 0)
        return;
    const std::int64_t start = std::max(startNs, m_free);
    m_runs.push_back({std::string(bytes), start, baud});
    m_free = start + lineTimeNs(std::int64_t(bytes.size()), baud);
    m_queued += bytes.size();
}

std::string UartLine::take(std::int64_t nowNs, std::int64_t *lastThroughNs)
{
    std::string out;
    while (!m_runs.empty()) {
        const Run &run = m_runs.front();
        const std::size_t through = throughBy(run, nowNs);
        if (through > m_offset) {
            out.append(run.bytes, m_offset, through - m_offset);
            m_queued -= through - m_offset;
            m_offset = through;
            if (lastThroughNs)
                *lastThroughNs = run.start + lineTimeNs(std::int64_t(through), run.baud);
        }
        if (m_offset < run.bytes.size())
            break;
        m_runs.pop_front();
        m_offset = 0;
    }
    return out;
}

std::optional<std::int64_t> UartLine::nextDue() const
{
    if (m_runs.empty())
        return std::nullopt;
    const Run &run = m_runs.front();
    return run.start + lineTimeNs(std::int64_t(std::min(m_offset + kBurst, run.bytes.size())), run.baud);
}

void UartLine::clear()
{
    m_runs.clear();
    m_offset = 0;
    m_queued = 0;
}

std::size_t UartLine::throughBy(const Run &run, std::int64_t nowNs)
{
    const std::int64_t elapsed = nowNs - run.start;
    if (elapsed <= 0)
        return 0;
    if (elapsed >= lineTimeNs(std::int64_t(run.bytes.size()), run.baud))
        return run.bytes.size();
    // byte i (from 1) is through once i * 10 bits have passed: i * 1e10 / baud <= elapsed
    return std::size_t(elapsed * run.baud / 10'000'000'000LL);
}

}  // namespace varnel::sim
