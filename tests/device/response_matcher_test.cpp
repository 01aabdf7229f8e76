// The indexed matcher must give exactly what the walk over all 289 codes gives:
// same register, same value, table order and the "NULL" tie included.
#include "register_table.h"
#include "response_matcher.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace varnel;

TEST(ResponseMatcher, Examples)
{
    struct Case {
        const char *line;
        std::optional<LineMatch> match;
    };
    const Case cases[] = {
        {"DEV", LineMatch{idx(Reg::DEV), 0}},
        {"DEV41", LineMatch{idx(Reg::DEV), 41}},
        {"NULL", LineMatch{idx(Reg::AMX), 0}},
        {"NULL7", LineMatch{idx(Reg::AMX), 7}},
        {"cn 3", LineMatch{idx(Reg::ICHNP), 3}},
        {"CN3x", std::nullopt},
        {"ADBG7", LineMatch{idx(Reg::ADDRDBG), 7}},
        {"#1", LineMatch{idx(Reg::queryall), 1}},
        {"-5", LineMatch{idx(Reg::RSBDBG), 5}},
        {"--5", std::nullopt},  // "-" then "-5": negative, matches nothing
        {"CN-1", std::nullopt},
        {"CN4294967296", std::nullopt},
        {"CN$C", LineMatch{idx(Reg::ICHNM), 12}},
        {"", std::nullopt},
        {"Q", std::nullopt},
        {"zz9", std::nullopt},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(matchLine(c.line), c.match) << '"' << c.line << '"';
        EXPECT_EQ(matchLineByWalk(c.line), c.match) << '"' << c.line << '"';
    }
}

TEST(ResponseMatcher, IndexedMatcherAgreesWithTheWalk)
{
    const std::vector<std::string> values = {
        "", "0", "7", " 12", "\t3", "+9", "-1", "-0", "$ff", "x1A", "X1a", "0x10", "0Xg", "4294967295", "4294967296",
        "18446744073709551616", "99999999999999999999", "  ", "1 ", "3x", "$", "0x", "1.0", "--2", "+-3"};
    std::mt19937 rng(1234);
    long compared = 0;
    for (int i = 0; i < kRegisterCount; ++i) {
        const std::string code(VarTable[i].RespCode);
        std::vector<std::string> lines;
        for (const auto &v : values)
            lines.push_back(code + v);
        // mutations: drop, change or add one character anywhere
        for (int m = 0; m < 40; ++m) {
            std::string line = code + values[rng() % values.size()];
            const std::size_t pos = line.empty() ? 0 : rng() % line.size();
            switch (rng() % 3) {
            case 0:
                if (!line.empty())
                    line.erase(pos, 1);
                break;
            case 1:
                if (!line.empty())
                    line[pos] = char(rng() % 256);
                break;
            default:
                line.insert(pos, 1, char(rng() % 256));
            }
            lines.push_back(line);
        }
        for (const auto &line : lines) {
            ASSERT_EQ(matchLine(line), matchLineByWalk(line)) << "line \"" << line << '"';
            ++compared;
        }
    }
    // Every single byte and every pair of bytes as a whole line.
    for (int a = 0; a < 256; ++a) {
        const std::string one(1, char(a));
        ASSERT_EQ(matchLine(one), matchLineByWalk(one));
        for (int b = 0; b < 256; ++b) {
            const std::string two{char(a), char(b)};
            ASSERT_EQ(matchLine(two), matchLineByWalk(two));
        }
    }
    EXPECT_GT(compared, kRegisterCount * 60);
}
