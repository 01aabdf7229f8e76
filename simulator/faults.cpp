#include "faults.h"

#include <algorithm>

namespace varnel::sim {

std::string garbageLine(std::mt19937 &rng)
{
    // No response code starts with '~', and the body holds neither CR, LF,
    // '.' nor ':', so it can be taken for neither a report nor a transfer reply.
    // At most 10 characters before the line end: a client that trims long runs
    // without a line end from the front never turns one into a report.
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 #?*&%";
    std::uniform_int_distribution<int> length(1, 9);
    std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof(alphabet)) - 2);
    std::string line = "~";
    const int n = length(rng);
    for (int i = 0; i < n; ++i)
        line += alphabet[pick(rng)];
    line += "\r\n";
    return line;
}

FaultShaper::FaultShaper(const FaultConfig &config, std::uint32_t seedOffset)
    : m_config(config), m_rng(config.seed + seedOffset)
{
}

void FaultShaper::reset(std::int64_t nowMs)
{
    m_queue.clear();
    m_lastDue = nowMs;
    m_peerSince = nowMs;
}

void FaultShaper::enqueue(std::string text, std::int64_t due)
{
    due = std::max(due, m_lastDue);  // never reorder output
    m_lastDue = due;
    m_queue.push_back({due, std::move(text), m_destination});
}

void FaultShaper::submit(std::string_view text, bool registerAnswer, std::int64_t nowMs, std::uint32_t destination)
{
    if (text.empty() || silent(nowMs))
        return;
    m_destination = destination;
    std::uniform_real_distribution<double> share(0.0, 1.0);
    if (registerAnswer && m_config.dropShare > 0 && share(m_rng) < m_config.dropShare)
        return;
    std::int64_t due = nowMs + m_config.latencyMs;
    if (registerAnswer && m_config.garbageShare > 0 && share(m_rng) < m_config.garbageShare)
        enqueue(garbageLine(m_rng), due);
    if (!m_config.split || text.size() < 2) {
        enqueue(std::string(text), due);
        return;
    }
    std::uniform_int_distribution<int> pieces(2, static_cast<int>(std::min<std::size_t>(4, text.size())));
    std::uniform_int_distribution<int> gap(3, 15);
    if (!m_queue.empty() && due <= m_lastDue)  // keep it apart from the previous answer's last piece
        due = m_lastDue + gap(m_rng);
    int count = pieces(m_rng);
    std::size_t pos = 0;
    while (count > 1 && pos < text.size()) {
        const std::size_t remaining = text.size() - pos;
        std::uniform_int_distribution<std::size_t> cut(1, remaining - static_cast<std::size_t>(count - 1));
        const std::size_t len = cut(m_rng);
        enqueue(std::string(text.substr(pos, len)), due);
        pos += len;
        due = m_lastDue + gap(m_rng);
        --count;
    }
    enqueue(std::string(text.substr(pos)), due);
}

std::vector<std::string> FaultShaper::takeDue(std::int64_t nowMs, std::vector<std::uint32_t> *destinations)
{
    std::vector<std::string> out;
    std::uint32_t last = 0;
    while (!m_queue.empty() && m_queue.front().due <= nowMs) {
        Piece &piece = m_queue.front();
        // Pieces due by now leave together when they go to the same place;
        // split pieces never do.
        if (!out.empty() && !m_config.split && piece.destination == last) {
            out.back() += piece.text;
        } else {
            out.push_back(std::move(piece.text));
            if (destinations)
                destinations->push_back(piece.destination);
        }
        last = piece.destination;
        m_queue.pop_front();
    }
    return out;
}

bool FaultShaper::silent(std::int64_t nowMs) const
{
    return m_config.silentAfterS >= 0 && nowMs - m_peerSince >= std::int64_t(m_config.silentAfterS) * 1000;
}

bool FaultShaper::closeDue(std::int64_t nowMs) const
{
    return m_config.closeAfterS >= 0 && nowMs - m_peerSince >= std::int64_t(m_config.closeAfterS) * 1000;
}

}  // namespace varnel::sim
