// Mini configurations: the saved file must replay into a device exactly as the
// register table says (order, per-channel blocks, Boolean as -1), and a replay must
// advance only on the device's answers, stop cleanly, and survive any file.
#include "driver_fixture.h"
#include "mini_config.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace varnel;
using namespace varnel::test;
namespace fs = std::filesystem;

namespace {

/// A fresh folder under the system's temporary folder, removed afterwards.
struct TempDir {
    TempDir()
    {
        std::string tmpl = (fs::temp_directory_path() / "miniconfig.XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~TempDir() { fs::remove_all(path); }
    std::string file(const std::string &name) const { return (path / name).string(); }
    fs::path path;
};

std::string readAll(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeAll(const std::string &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string report(Reg reg, std::uint32_t value)
{
    return std::string(registerInfo(reg).record.RespCode) + std::to_string(value) + "\r\n";
}

class MiniConfigTest : public DriverTest {
protected:
    MiniConfigTest()
    {
        driver.setHandler(Event::OnVarNroLigneMiniConfigOfFile,
                          [this](TVRK_610_d &d, int) { progress.push_back(d.PropertyVarNroLigneMiniConfigOfFile()); });
    }
    std::string load(const std::string &bytes)
    {
        const std::string path = dir.file("load.USR.VRK");
        writeAll(path, bytes);
        return driver.setPropertyVarLoadMiniConfigToFile(path);
    }
    /// Runs the supervision until the link is declared lost (a poll unanswered).
    void loseDevice()
    {
        for (int i = 0; i < 10 && driver.Connected(); ++i)
            driver.TimerTick();
        ASSERT_FALSE(driver.Connected());
    }
    TempDir dir;
    std::vector<int> progress;
};

}  // namespace

TEST_F(MiniConfigTest, SaveWithAllCopiesZero)
{
    const std::string path = dir.file("zero.USR.VRK");
    ASSERT_EQ(driver.setPropertyVarSaveMiniConfigToFile(path), "");
    const std::string text = readAll(path);
    const auto lines = SplitMiniConfigLines(text);
    ASSERT_EQ(lines.size(), 213u);
    EXPECT_EQ(lines.front(), "0CN");
    EXPECT_EQ(lines.back(), "0pv");
    EXPECT_EQ(text.substr(text.size() - 5), "0pv\r\n");  // the last line is ended too
    // Every line ends with CR LF and no other line break occurs.
    std::size_t crlf = 0;
    for (std::size_t p = text.find("\r\n"); p != std::string::npos; p = text.find("\r\n", p + 2))
        ++crlf;
    EXPECT_EQ(crlf, 213u);
    // The PENA block stands right after the OSCREENP line.
    const auto os = std::find(lines.begin(), lines.end(), "0os");
    ASSERT_NE(os, lines.end());
    const std::vector<std::string> pena(os + 1, os + 5);
    EXPECT_EQ(pena, (std::vector<std::string>{"1PC", "0PE", "2PC", "0PE"}));
    EXPECT_TRUE(sent().empty());  // saving sends nothing
}

TEST_F(MiniConfigTest, SaveWritesValuesPerChannelAndKeepsPCHAN)
{
    driver.SetRanges(&VarRanges, false);
    receive(report(Reg::ICHNM, 3));
    receive(report(Reg::PCHAN, 1) + report(Reg::PENA, 1));
    receive(report(Reg::PCHAN, 4) + report(Reg::ALEV, 40));
    receive(report(Reg::PCHAN, 6));  // the device last selected channel 6
    receive(report(Reg::AMXENABLE, 1));
    log.attach(driver);
    const std::string path = dir.file("values.USR.VRK");
    ASSERT_EQ(driver.setPropertyVarSaveMiniConfigToFile(path), "");
    const auto lines = SplitMiniConfigLines(readAll(path));
    ASSERT_EQ(lines.size(), 213u);
    EXPECT_EQ(lines.front(), "3CN");
    const auto pena = std::find(lines.begin(), lines.end(), "1PC");
    ASSERT_NE(pena, lines.end());
    EXPECT_EQ(*(pena + 1), "-1PE");
    EXPECT_EQ(*(pena + 3), "0PE");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "-1AE"), lines.end());  // Boolean true
    const auto alev = std::find(lines.begin(), lines.end(), "0AL");
    ASSERT_NE(alev, lines.end());
    EXPECT_EQ(*(alev + 6), "40AL");  // channel 4 is the fourth "AL" line
    // The local PCHAN is where the device left it; nothing was sent or notified.
    EXPECT_EQ(driver.PCHAN(), 6u);
    EXPECT_TRUE(sent().empty());
    EXPECT_TRUE(log.entries.empty());
    receive(report(Reg::ALEV, 12));
    EXPECT_EQ(driver.ReadChannelVar(Reg::ALEV, 6), 12u);
    EXPECT_EQ(driver.ReadChannelVar(Reg::ALEV, 8), 0u);
}

TEST_F(MiniConfigTest, SaveReplacesTheFileWholeAndReportsFailures)
{
    const std::string path = dir.file("old.USR.VRK");
    writeAll(path, std::string(100000, 'x'));
    fs::permissions(path, fs::perms(0640));
    ASSERT_EQ(driver.setPropertyVarSaveMiniConfigToFile(path), "");
    EXPECT_EQ(SplitMiniConfigLines(readAll(path)).size(), 213u);
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0640));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);  // no temporary left
    // Saving through a symbolic link replaces the file it points to, not the link.
    const std::string link = dir.file("link.USR.VRK");
    fs::create_symlink(path, link);
    writeAll(path, "old");
    ASSERT_EQ(driver.setPropertyVarSaveMiniConfigToFile(link), "");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(SplitMiniConfigLines(readAll(path)).size(), 213u);
    fs::remove(link);
    const std::string missing = dir.file("no/such/folder.USR.VRK");
    const std::string error = driver.setPropertyVarSaveMiniConfigToFile(missing);
    EXPECT_NE(error.find(missing), std::string::npos) << error;
    EXPECT_NE(error.find("No such file"), std::string::npos) << error;
}

TEST_F(MiniConfigTest, SavedFileReplaysLineByLine)
{
    receive(report(Reg::ICHNM, 3));
    const std::string path = dir.file("round.USR.VRK");
    ASSERT_EQ(driver.setPropertyVarSaveMiniConfigToFile(path), "");
    ASSERT_EQ(driver.setPropertyVarLoadMiniConfigToFile(path), "");
    // Answer every line the way the device does ("3CN" -> "CN3"), count what goes out.
    for (int guard = 0; guard < 300 && driver.MiniConfigLoading(); ++guard) {
        const std::string line = sent().back();
        const auto cmd = SplitMiniConfigCommand(line);
        const auto reg = registerByCommand(cmd.code);
        ASSERT_TRUE(reg) << line;
        receive(std::string(registerInfo(*reg).record.RespCode) + (cmd.value == "-1" ? "1" : std::string(cmd.value)) +
                "\r\n");
    }
    EXPECT_FALSE(driver.MiniConfigLoading());
    EXPECT_EQ(sent(), SplitMiniConfigLines(readAll(path)));
    EXPECT_EQ(progress.size(), 214u);  // one per line sent, one when the last answer ends the load
    EXPECT_EQ(progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
}

TEST_F(MiniConfigTest, LoadWaitsForTheAwaitedAnswer)
{
    driver.SetRanges(&VarRanges, false);
    ASSERT_EQ(load("5AC\r\n1PC\r\n-1PE\r\n"), "");
    EXPECT_EQ(sent(), std::vector<std::string>{"5AC"});  // no line end added
    EXPECT_EQ(driver.AwaitedVar(), idx(Reg::ACHANM));
    EXPECT_EQ(progress, std::vector<int>{33});
    receive(report(Reg::ICHNM, 2));  // another register's report releases nothing
    EXPECT_EQ(sent().size(), 1u);
    receive("AC999\r\n");  // out of range: not stored, but it is the answer
    EXPECT_EQ(driver.ACHANM(), 0u);
    EXPECT_EQ(sent(), (std::vector<std::string>{"5AC", "1PC"}));
    EXPECT_EQ(driver.AwaitedVar(), idx(Reg::PCHAN));
    receive(report(Reg::PCHAN, 1));
    EXPECT_EQ(sent().back(), "-1PE");
    EXPECT_EQ(driver.AwaitedVar(), idx(Reg::PENA));
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100}));
    EXPECT_TRUE(driver.MiniConfigLoading());
    receive(report(Reg::PENA, 1));
    EXPECT_FALSE(driver.MiniConfigLoading());
    EXPECT_EQ(sent().size(), 3u);
    receive(report(Reg::PENA, 1));  // later reports send nothing more
    EXPECT_EQ(sent().size(), 3u);
    EXPECT_EQ(progress, (std::vector<int>{33, 66, 100, 100}));
}

TEST_F(MiniConfigTest, LineWithUnknownCodeKeepsTheAwaitedRegister)
{
    ASSERT_EQ(load("5AC\nhello\n3CN\n"), "");
    receive("AC5\r\n");
    EXPECT_EQ(sent().back(), "hello");
    EXPECT_EQ(driver.AwaitedVar(), idx(Reg::ACHANM));
    receive("CN3\r\n");  // not awaited
    EXPECT_EQ(sent().size(), 2u);
    receive("AC1\r\n");  // the previously awaited register reports again
    EXPECT_EQ(sent().back(), "3CN");
}

TEST_F(MiniConfigTest, LostLinkEndsAStalledLoad)
{
    ASSERT_EQ(load("5AC\r\n6AC\r\n7AC\r\n"), "");
    EXPECT_EQ(sent(), std::vector<std::string>{"5AC"});
    loseDevice();
    EXPECT_FALSE(driver.MiniConfigLoading());
    EXPECT_EQ(progress.size(), 2u);  // the end is notified
    tcp->clear();
    // The device comes back and dumps its registers: nothing of the old file goes out.
    receive("DEV41\r\n");
    driver.TimerTick();
    driver.TimerTick();
    EXPECT_TRUE(driver.Connected());
    receive("#1\r\nAC5\r\n#0\r\n");
    for (const std::string &s : sent())
        EXPECT_EQ(s.find("AC", 1), std::string::npos) << s;
    // A load started while the link is down is not ended by the link staying down.
    loseDevice();
    ASSERT_EQ(load("5AC\r\n6AC\r\n"), "");
    driver.TimerTick();
    EXPECT_TRUE(driver.MiniConfigLoading());
}

TEST_F(MiniConfigTest, AnyFileIsSafeToLoad)
{
    struct Row {
        const char *what;
        std::string bytes;
        std::vector<std::string> first;  // what goes out at once
        bool loading;                    // still waiting afterwards
    };
    std::string binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xFF);
    const Row rows[] = {
        {"empty file", "", {}, false},
        {"only line ends", "\r\n\n\r\r\n", {}, false},
        {"no final line end", "5AC", {"5AC"}, true},
        {"CR only", "5AC\r6AC\r", {"5AC"}, true},
        {"blank lines skipped", "\r\n\r\n5AC\r\n", {"5AC"}, true},
        {"long line", std::string(500000, '9') + "AC\r\n", {std::string(500000, '9') + "AC"}, true},
        {"binary", binary, {SplitMiniConfigLines(binary).front()}, true},
        {"NUL inside", std::string("5\0AC\r\n", 6), {std::string("5\0AC", 4)}, true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        tcp->clear();
        progress.clear();
        EXPECT_EQ(load(r.bytes), "");
        EXPECT_EQ(sent(), r.first);
        EXPECT_EQ(driver.MiniConfigLoading(), r.loading);
        ASSERT_EQ(progress.size(), 1u);
        if (!r.loading) {
            EXPECT_EQ(progress.back(), 100);  // an empty file is done at once
        }
        // Feed the file back as if it were the device's answers: must not crash.
        receive(r.bytes);
    }
}

TEST_F(MiniConfigTest, UnreadableFilesSendNothing)
{
    const std::string big = dir.file("big");
    writeAll(big, std::string(kMiniConfigMaxFileSize + 1, '1'));
    const std::string paths[] = {dir.file("missing.USR.VRK"), dir.path.string(), big};
    for (const std::string &p : paths) {
        SCOPED_TRACE(p);
        EXPECT_NE(driver.setPropertyVarLoadMiniConfigToFile(p), "");
        EXPECT_TRUE(sent().empty());
        EXPECT_TRUE(progress.empty());
        EXPECT_FALSE(driver.MiniConfigLoading());
    }
}

TEST(MiniConfigFormat, SplitCommand)
{
    struct Row {
        std::string_view line, value, code;
    };
    const Row rows[] = {
        {"5AC", "5", "AC"},   {"-1PE", "-1", "PE"}, {"12:3x", "12:3", "x"}, {"", "", ""},
        {"AC", "", "AC"},     {"42", "42", ""},     {" 7 CN", " 7 ", "CN"}, {"\xff" "5", "", "\xff" "5"},
        {"0X\r", "0", "X\r"},
    };
    for (const Row &r : rows) {
        const auto c = SplitMiniConfigCommand(r.line);
        EXPECT_EQ(c.value, r.value) << r.line;
        EXPECT_EQ(c.code, r.code) << r.line;
    }
}

TEST_F(MiniConfigTest, RandomFilesAndAnswersNeverBreakAReplay)
{
    // Seeded random files of plausible and implausible commands, answered by
    // random reports: the replay only ever sends lines of the file, in order.
    std::uint32_t seed = 777;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const std::string codes[] = {"AC", "PC", "PE", "CN", "zz", "", "\xff", "ALEV", "pv"};
    for (int round = 0; round < 100; ++round) {
        std::string text;
        const int lines = int(next() % 30);
        for (int i = 0; i < lines; ++i) {
            text += std::to_string(int(next() % 300) - 100) + codes[next() % std::size(codes)];
            text += next() % 4 == 0 ? "\r" : "\r\n";
        }
        tcp->clear();
        ASSERT_EQ(load(text), "");
        const auto file = SplitMiniConfigLines(text);
        for (int a = 0; a < 200; ++a)
            receive(codes[next() % std::size(codes)] + std::to_string(next() % 20) + "\r\n");
        const auto out = sent();
        ASSERT_LE(out.size(), file.size());
        EXPECT_TRUE(std::equal(out.begin(), out.end(), file.begin())) << "round " << round;
        EXPECT_GE(driver.PropertyVarNroLigneMiniConfigOfFile(), 0);
        EXPECT_LE(driver.PropertyVarNroLigneMiniConfigOfFile(), 100);
    }
}
