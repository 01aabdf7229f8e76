// Parses a full query-all dump (one line per register, the channel-indexed ones
// once per channel after their "PC" line) with the walk over all response codes
// and with the indexed matcher, and prints lines per second of each and the ratio.
// Also times the driver's whole receive path on the same dump.
#include "register_table.h"
#include "response_matcher.h"
#include "vrk_610_d.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

using namespace varnel;

namespace {

std::vector<std::string> queryAllDump()
{
    std::vector<std::string> lines{"#1"};
    for (int i = 0; i < kRegisterCount - 1; ++i) {
        const RegisterInfo &info = registerInfo(std::uint16_t(i));
        const std::string code(info.record.RespCode);
        if (info.storage == Storage::PerChannel) {
            for (int c = 1; c <= kChannelCount; ++c) {
                lines.push_back("PC" + std::to_string(c));
                lines.push_back(code + std::to_string(c % 2));
            }
            lines.push_back("PC0");
        } else {
            lines.push_back(code + std::to_string(info.minimum));
        }
    }
    lines.push_back("#0");
    return lines;
}

template <typename Matcher>
double linesPerSecond(const std::vector<std::string> &lines, Matcher match, long &checksum)
{
    using clock = std::chrono::steady_clock;
    long rounds = 0;
    const auto start = clock::now();
    auto elapsed = clock::duration::zero();
    while (elapsed < std::chrono::milliseconds(700)) {
        for (const auto &line : lines)
            if (auto m = match(line))
                checksum += m->index + long(m->value);
        ++rounds;
        elapsed = clock::now() - start;
    }
    return double(rounds) * double(lines.size()) / std::chrono::duration<double>(elapsed).count();
}

}  // namespace

int main()
{
    const auto lines = queryAllDump();
    long walkSum = 0, indexedSum = 0;
    const double walk = linesPerSecond(lines, matchLineByWalk, walkSum);
    const double indexed = linesPerSecond(lines, matchLine, indexedSum);

    std::string dump;
    for (const auto &line : lines)
        dump += line + "\r\n";
    TVRK_610_d driver;
    const auto start = std::chrono::steady_clock::now();
    int dumps = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(700)) {
        for (std::size_t at = 0; at < dump.size(); at += 64)  // arrivals of 64 bytes
            driver.ReceiveText(std::string_view(dump).substr(at, 64));
        ++dumps;
    }
    const double driverLines =
        double(dumps) * double(lines.size()) /
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

    std::printf("query-all dump: %zu lines\n", lines.size());
    std::printf("walk matcher:    %12.0f lines/s\n", walk);
    std::printf("indexed matcher: %12.0f lines/s\n", indexed);
    std::printf("ratio indexed/walk: %.1f\n", indexed / walk);
    std::printf("driver receive path (64-byte arrivals): %12.0f lines/s\n", driverLines);
    (void)walkSum;
    (void)indexedSum;
    return 0;
}
