// The checksum line decides whether a settings file read back is trusted; these
// cases pin the sum (first character twice, end at the first "CheckSum", bytes
// of 128 and above counting 128) and what a check reports.
#include "checksum.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace varnel;
using Lines = std::vector<std::string>;

namespace {

Lines seal(Lines lines)
{
    TCheckSum_NordvikDeveloppement c;
    c.setRead_or_Write(TTypeReadWrite::_Write);
    c.setStringlist_With_CheckSum(std::move(lines));
    return c.Stringlist_With_CheckSum();
}

struct CheckResult {
    bool invalid;
    int events;
    std::vector<std::string> warnings;
};

CheckResult check(Lines lines)
{
    TCheckSum_NordvikDeveloppement c;
    CheckResult r{false, 0, {}};
    c.setOnInvalideFileNotifyChange([&](TCheckSum_NordvikDeveloppement &sender) {
        EXPECT_EQ(&sender, &c);
        EXPECT_TRUE(sender.InvalideFile());  // set before the event fires
        ++r.events;
    });
    c.setWarningHandler([&](std::string_view text) { r.warnings.emplace_back(text); });
    c.setRead_or_Write(TTypeReadWrite::_Read);
    c.setStringlist_With_CheckSum(lines);
    EXPECT_EQ(c.Stringlist_With_CheckSum(), lines);  // reading leaves the list as given
    r.invalid = c.InvalideFile();
    return r;
}

}  // namespace

TEST(CheckSum, SealingAppendsTheSum)
{
    struct Row {
        Lines in;
        Lines out;
    };
    const Row rows[] = {
        {{"abc"}, {"abc", "CheckSum=481"}},  // 97+97+98+99+13+10+67
        {{}, {"CheckSum=134"}},              // "C" twice
        {{"a", "b"}, {"a", "b", "CheckSum=" + std::to_string(97 + 97 + 13 + 10 + 98 + 13 + 10 + 67)}},
        // "CheckSum" inside an earlier line ends the summed text there.
        {{"xCheckSumy", "z"}, {"xCheckSumy", "z", "CheckSum=" + std::to_string(120 + 120 + 67)}},
        // Bytes of 128 and above count 128 each (Windows-1252 "é" is 0xE9).
        {{"\xE9\x80"}, {"\xE9\x80", "CheckSum=" + std::to_string(128 + 128 + 128 + 13 + 10 + 67)}},
        // An earlier line named checksum in another case is the one replaced, while
        // the summed text still ends at the "CheckSum" appended last (the search
        // for the text heeds case, the search for the name does not).
        {{"checksum=7", "q"}, {"CheckSum=1292", "q", "CheckSum=Null"}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.out.back());
        EXPECT_EQ(seal(r.in), r.out);
    }
}

TEST(CheckSum, SealedListsCheckValid)
{
    const Lines lists[] = {{}, {"abc"}, {"VERSION_INI_FILE=V0004", "Port=COM1", "SAVE_NAME_INPUT1=Caméra"},
                           {"a=CheckSum inside", "b"}, {std::string(100000, 'x')}};
    for (const Lines &l : lists) {
        const CheckResult r = check(seal(l));
        EXPECT_FALSE(r.invalid);
        EXPECT_EQ(r.events, 0);
        EXPECT_TRUE(r.warnings.empty());
    }
}

TEST(CheckSum, Checking)
{
    struct Row {
        const char *what;
        Lines lines;
        bool invalid;
    };
    const Row rows[] = {
        {"right sum", {"abc", "CheckSum=481"}, false},
        {"wrong sum", {"abc", "CheckSum=482"}, true},
        {"name in other case", {"abc", "checksum=482"}, true},
        {"hexadecimal value", {"abc", "CheckSum=$1E1"}, false},
        {"a changed line", {"abd", "CheckSum=481"}, true},
        {"lines after the checksum are not covered", {"abc", "CheckSum=481", "more"}, false},
        {"no checksum line", {"abc", "def"}, false},
        {"empty list", {}, false},
        {"empty value", {"abc", "CheckSum="}, false},
        {"value not a number", {"abc", "CheckSum=Null"}, false},
        {"value too large for 64 bits", {"abc", "CheckSum=99999999999999999999"}, false},
        {"CheckSum without =", {"abc", "CheckSum"}, false},
        {"binary garbage", {std::string("\0\xff\x01", 3), "CheckSum=1"}, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        const CheckResult c = check(r.lines);
        EXPECT_EQ(c.invalid, r.invalid);
        EXPECT_EQ(c.events, r.invalid ? 1 : 0);
        EXPECT_EQ(c.warnings, r.invalid ? std::vector<std::string>{"Invalid ini file"} : std::vector<std::string>{});
    }
}

TEST(CheckSum, InvalidMarkStaysForTheRun)
{
    TCheckSum_NordvikDeveloppement c;
    int events = 0;
    c.setOnInvalideFileNotifyChange([&](TCheckSum_NordvikDeveloppement &) { ++events; });
    EXPECT_FALSE(c.InvalideFile());
    c.setStringlist_With_CheckSum({"abc", "CheckSum=1"});
    EXPECT_TRUE(c.InvalideFile());
    c.setStringlist_With_CheckSum({"abc", "CheckSum=481"});  // a good list later
    EXPECT_TRUE(c.InvalideFile());
    c.setRead_or_Write(TTypeReadWrite::_Write);
    c.setStringlist_With_CheckSum({"abc"});
    EXPECT_TRUE(c.InvalideFile());
    EXPECT_EQ(events, 1);
    // Without handlers a failed check only sets the mark.
    TCheckSum_NordvikDeveloppement quiet;
    quiet.setStringlist_With_CheckSum({"abc", "CheckSum=0"});
    EXPECT_TRUE(quiet.InvalideFile());
}
