#include "response_matcher.h"

#include "register_table.h"
#include "value_syntax.h"

#include <vector>

namespace varnel {

namespace {

std::optional<LineMatch> tryRegister(std::uint16_t index, std::string_view line)
{
    const std::string_view code = VarTable[index].RespCode;
    if (!line.starts_with(code))
        return std::nullopt;
    const std::string_view rest = line.substr(code.size());
    if (rest.empty())
        return LineMatch{index, 0};
    if (const auto value = parseRegisterValue(rest))
        return LineMatch{index, *value};
    return std::nullopt;
}

/// Candidate registers per first two bytes of a line, each list in table order.
/// A one-character code is a candidate under every second byte (and for lines of
/// one character, filed under second byte 0).
class CandidateIndex {
public:
    CandidateIndex()
    {
        std::vector<std::vector<std::uint16_t>> buckets(kKeys);
        for (std::uint16_t i = 0; i < kRegisterCount; ++i) {
            const std::string_view code = VarTable[i].RespCode;
            const auto first = static_cast<unsigned char>(code[0]);
            if (code.size() == 1) {
                for (unsigned second = 0; second < 256; ++second)
                    buckets[key(first, second)].push_back(i);
            } else {
                buckets[key(first, static_cast<unsigned char>(code[1]))].push_back(i);
            }
        }
        m_offsets.reserve(kKeys + 1);
        for (const auto &bucket : buckets) {
            m_offsets.push_back(static_cast<std::uint32_t>(m_indexes.size()));
            m_indexes.insert(m_indexes.end(), bucket.begin(), bucket.end());
        }
        m_offsets.push_back(static_cast<std::uint32_t>(m_indexes.size()));
    }

    std::optional<LineMatch> match(std::string_view line) const
    {
        if (line.empty())
            return std::nullopt;
        const unsigned second = line.size() > 1 ? static_cast<unsigned char>(line[1]) : 0;
        const unsigned k = key(static_cast<unsigned char>(line[0]), second);
        for (std::uint32_t i = m_offsets[k]; i < m_offsets[k + 1]; ++i)
            if (auto m = tryRegister(m_indexes[i], line))
                return m;
        return std::nullopt;
    }

private:
    static constexpr unsigned kKeys = 256 * 256;
    static constexpr unsigned key(unsigned first, unsigned second) { return first * 256 + second; }

    std::vector<std::uint32_t> m_offsets;
    std::vector<std::uint16_t> m_indexes;
};

}  // namespace

std::optional<LineMatch> matchLine(std::string_view line)
{
    static const CandidateIndex index;
    return index.match(line);
}

std::optional<LineMatch> matchLineByWalk(std::string_view line)
{
    for (std::uint16_t i = 0; i < kRegisterCount; ++i)
        if (auto m = tryRegister(i, line))
            return m;
    return std::nullopt;
}

}  // namespace varnel
