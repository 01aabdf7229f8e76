// The settings file carries the operator's link, names and presets from run to
// run; these tests hold the written layout to the 155 lines of the format, and
// the reader to its rules: version, checksum, serial ports, ranges, bad input.
#include "settings_file.h"
#include "windows1252.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace varnel;
using namespace varnel::app;

namespace {

/// LinkAccess that keeps the five values and logs each write in order.
class FakeLink : public LinkAccess {
public:
    LinkParameters read() const override { return values; }
    void setConType(tConnectionType t) override
    {
        values.type = t;
        log << QStringLiteral("type=%1").arg(conTypeName(t));
    }
    void setPort(const QString &p) override
    {
        values.port = p;
        log << "port=" + p;
    }
    void setIpLocalPort(int p) override
    {
        values.localPort = p;
        log << QStringLiteral("local=%1").arg(p);
    }
    void setIpRemotePort(int p) override
    {
        values.remotePort = p;
        log << QStringLiteral("remote=%1").arg(p);
    }
    void setIpRemoteAddress(const QString &a) override
    {
        values.remoteAddress = a;
        log << "address=" + a;
    }
    LinkParameters values;
    QStringList log;
};

std::vector<std::string> expectedKeys()
{
    std::vector<std::string> keys{"VERSION_INI_FILE", "Port", "IpLocalPort", "IpRemotePort", "IpRemoteAddress", "ConType"};
    const std::pair<const char *, int> names[] = {{"SAVE_NAME_INPUT", 12}, {"SAVE_NAME_FRAME", 4}, {"SAVE_NAME_LOGO", 9},
                                                  {"SAVE_NAME_AUDIO", 12}, {"SAVE_NAME_OUTPUT", 2}};
    for (const auto &[stem, count] : names)
        for (int i = 1; i <= count; ++i)
            keys.push_back(stem + std::to_string(i));
    const char *stems[] = {"EFFECT", "EFFDUR", "EFFPA", "EFFPB", "EFFPC", "EFFPD", "EFFPE", "EFFPF", "EFFPG",
                           "EFFPH", "EFFPI", "EFFPJ", "EFFOPT", "EFFOPEN", "EFFOPNDUR", "EFFCLOSE", "EFFCLSDUR", "EFFNOSCAL"};
    for (int n = 7; n <= 12; ++n)
        for (const char *s : stems)
            keys.push_back(s + std::to_string(n));
    keys.push_back("LumaKeyColor");
    keys.push_back("CheckSum");
    return keys;
}

class SettingsFileTest : public ::testing::Test {
protected:
    SettingsFileTest()
    {
        checksum.setWarningHandler([this](std::string_view w) { warnings << QString::fromLatin1(w.data(), w.size()); });
    }
    QString path(const QString &name = QStringLiteral("VarnelSerie.ini")) const { return dir.filePath(name); }
    void writeBytes(const QByteArray &bytes, const QString &name = QStringLiteral("VarnelSerie.ini")) const
    {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    /// A sealed file of the current format with some entries replaced (key=value
    /// lines in `changes` override the line of the same key, or are appended).
    QByteArray file(const AppSettings &s, const LinkParameters &l, const std::vector<std::string> &changes = {},
                    bool seal = true)
    {
        TCheckSum_NordvikDeveloppement c;
        SettingsFile writer(c);
        std::vector<std::string> lines = writer.lines(s, l);
        lines.pop_back();  // CheckSum
        for (const std::string &change : changes) {
            const std::string k = change.substr(0, change.find('='));
            auto it = std::find_if(lines.begin(), lines.end(), [&](const std::string &x) { return x.starts_with(k + "="); });
            if (it != lines.end())
                *it = change;
            else
                lines.push_back(change);
        }
        if (seal) {
            c.setRead_or_Write(TTypeReadWrite::_Write);
            c.setStringlist_With_CheckSum(lines);
            lines = c.Stringlist_With_CheckSum();
        }
        QByteArray bytes;
        for (const std::string &line : lines)
            bytes += QByteArray::fromStdString(line) + "\r\n";
        return bytes;
    }
    SettingsReadResult read(const QStringList &ports = {QStringLiteral("ttyUSB0")})
    {
        return reader.read(path(), settings, link, ports);
    }

    QTemporaryDir dir;
    TCheckSum_NordvikDeveloppement checksum;
    SettingsFile reader{checksum};
    AppSettings settings;
    FakeLink link;
    QStringList warnings;
};

AppSettings sample()
{
    AppSettings s;
    s.names.inputs[0] = QStringLiteral("Caméra €");
    s.names.inputs[11] = QStringLiteral("Source 12");
    s.names.frames[3] = QString();
    s.names.logos[8] = QStringLiteral("Anim ©");
    s.names.audio[9] = QStringLiteral("Mic 10");
    s.names.outputs[1] = QStringLiteral("Écran");
    s.effectKeys[0].EFFECT = 3;
    s.effectKeys[0].EFFP[2] = 30;
    s.effectKeys[5].EFFDUR = 255;
    s.effectKeys[5].EFFNOSCAL = true;
    s.effectKeys[2].EFFCLSDUR = 0;
    s.lumaKeyColor = 0x00FF8000;
    return s;
}

LinkParameters tcpLink()
{
    return {tConnectionType::CON_TCP, QStringLiteral("ttyS1"), 10001, 10502, QStringLiteral("127.0.0.1")};
}

}  // namespace

TEST_F(SettingsFileTest, WritesTheLinesInOrder)
{
    const auto lines = reader.lines(AppSettings{}, tcpLink());
    ASSERT_EQ(lines.size(), 155u);
    const auto keys = expectedKeys();
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].substr(0, lines[i].find('=')), keys[i]) << "line " << i + 1;
    EXPECT_EQ(lines[0], "VERSION_INI_FILE=V0004");
    EXPECT_EQ(lines[1], "Port=ttyS1");
    EXPECT_EQ(lines[2], "IpLocalPort=10001");
    EXPECT_EQ(lines[4], "IpRemoteAddress=127.0.0.1");
    EXPECT_EQ(lines[5], "ConType=CON_TCP");
    EXPECT_EQ(lines[6], "SAVE_NAME_INPUT1=Input 1");
    EXPECT_EQ(lines[14], "SAVE_NAME_INPUT9=");  // sources 9..12 empty
    EXPECT_EQ(lines[30], "SAVE_NAME_LOGO9=Animated Logo");
    EXPECT_EQ(lines[44], "SAVE_NAME_OUTPUT2=Output 2");
    // The first effect block, key 7, with the presets' starting values.
    const std::vector<std::string> block(lines.begin() + 45, lines.begin() + 63);
    EXPECT_EQ(block, (std::vector<std::string>{"EFFECT7=0", "EFFDUR7=20", "EFFPA7=128", "EFFPB7=128", "EFFPC7=128",
                                               "EFFPD7=128", "EFFPE7=128", "EFFPF7=128", "EFFPG7=255", "EFFPH7=255",
                                               "EFFPI7=0", "EFFPJ7=0", "EFFOPT7=0", "EFFOPEN7=0", "EFFOPNDUR7=10",
                                               "EFFCLOSE7=0", "EFFCLSDUR7=10", "EFFNOSCAL7=False"}));
    EXPECT_EQ(lines[153], "LumaKeyColor=16777215");
    // The last line seals the others.
    TCheckSum_NordvikDeveloppement check;
    check.setStringlist_With_CheckSum(lines);
    EXPECT_FALSE(check.InvalideFile());
    EXPECT_TRUE(lines[154].starts_with("CheckSum=")) << lines[154];
}

TEST_F(SettingsFileTest, WriteThenReadRestoresEverything)
{
    const AppSettings written = sample();
    ASSERT_EQ(reader.write(path(), written, tcpLink()), "");
    const QByteArray bytes = [&] {
        QFile f(path());
        EXPECT_TRUE(f.open(QIODevice::ReadOnly));
        return f.readAll();
    }();
    EXPECT_TRUE(bytes.contains("SAVE_NAME_INPUT1=Cam\xE9ra \x80\r\n"));  // Windows-1252 on disk
    EXPECT_TRUE(bytes.endsWith("\r\n"));
    EXPECT_EQ(bytes.count("\r\n"), 155);

    const auto r = read();
    EXPECT_TRUE(r.fileFound);
    EXPECT_TRUE(r.read);
    EXPECT_TRUE(r.rejectedKeys.isEmpty()) << r.rejectedKeys.join(',').toStdString();
    EXPECT_EQ(settings, written);
    EXPECT_EQ(link.values, tcpLink());
    // The link goes in this order, the type last (it starts the connection).
    EXPECT_EQ(link.log, (QStringList{"port=ttyS1", "local=10001", "remote=10502", "address=127.0.0.1", "type=CON_TCP"}));
    EXPECT_TRUE(warnings.isEmpty());
    EXPECT_FALSE(reader.needsConfirmation());
    // Read and written again, the file is the same to the byte (names keep their
    // single-byte form, so the checksum of an existing installation holds).
    ASSERT_EQ(reader.write(path(), settings, link.values), "");
    QFile again(path());
    ASSERT_TRUE(again.open(QIODevice::ReadOnly));
    EXPECT_EQ(again.readAll(), bytes);
}

TEST_F(SettingsFileTest, ReadingRules)
{
    const LinkParameters fileLink{tConnectionType::CON_RS232, QStringLiteral("ttyUSB3"), 10001, 10502,
                                  QStringLiteral("127.0.0.1")};
    struct Row {
        const char *what;
        std::vector<std::string> changes;
        bool seal;
        QStringList ports;
        bool read;
        bool invalid;
        QStringList linkWrites;
    };
    const QStringList usb{QStringLiteral("ttyUSB0")};
    const QStringList allLink{"port=ttyUSB3", "local=10001", "remote=10502", "address=127.0.0.1", "type=CON_RS232"};
    const QStringList noSerial{"local=10001", "remote=10502", "address=127.0.0.1"};
    const Row rows[] = {
        {"good file", {}, true, usb, true, false, allLink},
        {"older version", {"VERSION_INI_FILE=V0003"}, true, usb, false, false, {}},
        {"version in other case", {"VERSION_INI_FILE=v0004"}, true, usb, false, false, {}},
        {"version with a blank", {"VERSION_INI_FILE=V0004 "}, true, usb, false, false, {}},
        {"wrong checksum, right version", {"CheckSum=1"}, false, usb, true, true, allLink},
        {"wrong checksum, old version", {"VERSION_INI_FILE=V0001", "CheckSum=1"}, false, usb, false, true, {}},
        {"no checksum line", {}, false, usb, true, false, allLink},
        {"checksum not a number", {"CheckSum=abc"}, false, usb, true, false, allLink},
        {"RS-232 without serial ports", {}, true, {}, true, false, noSerial},
        {"unknown type", {"ConType=CON_SERIAL"}, true, usb, true, false, allLink.mid(0, 4)},
        {"type CON_AMX is not applied", {"ConType=CON_AMX"}, true, usb, true, false, allLink.mid(0, 4)},
        {"type CON_NONE", {"ConType=CON_NONE"}, true, usb, true, false, allLink.mid(0, 4) << "type=CON_NONE"},
        {"ports out of range", {"IpLocalPort=65536", "IpRemotePort=-1"}, true, usb, true, false,
         QStringList{"port=ttyUSB3", "address=127.0.0.1", "type=CON_RS232"}},
        {"port not a number", {"IpLocalPort=10x", "IpRemotePort="}, true, usb, true, false,
         QStringList{"port=ttyUSB3", "address=127.0.0.1", "type=CON_RS232"}},
        {"empty port and address", {"Port=", "IpRemoteAddress="}, true, usb, true, false,
         QStringList{"local=10001", "remote=10502", "type=CON_RS232"}},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        TCheckSum_NordvikDeveloppement c;
        QStringList shown;
        c.setWarningHandler([&](std::string_view w) { shown << QString::fromLatin1(w.data(), w.size()); });
        SettingsFile sf(c);
        AppSettings s;
        s.names.inputs[0] = QStringLiteral("before");
        AppSettings fileSettings = sample();
        writeBytes(file(fileSettings, fileLink, r.changes, r.seal));
        FakeLink l;
        const auto res = sf.read(path(), s, l, r.ports);
        EXPECT_TRUE(res.fileFound);
        EXPECT_EQ(res.read, r.read);
        EXPECT_EQ(c.InvalideFile(), r.invalid);
        EXPECT_EQ(sf.needsConfirmation(), r.invalid);
        EXPECT_EQ(shown, r.invalid ? QStringList{"Invalid ini file"} : QStringList{});
        EXPECT_EQ(l.log, r.linkWrites);
        // Read: the file's names; not read: the default names.
        EXPECT_EQ(s.names, r.read ? fileSettings.names : OperatorNames::defaults());
        if (r.read) {
            EXPECT_EQ(s.effectKeys, fileSettings.effectKeys);
        }
    }
}

TEST_F(SettingsFileTest, MissingFile)
{
    auto r = read({QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")});
    EXPECT_FALSE(r.fileFound);
    EXPECT_FALSE(r.read);
    EXPECT_EQ(link.log, (QStringList{"type=CON_RS232", "port=ttyS0"}));
    EXPECT_EQ(settings.names, OperatorNames::defaults());
    link.log.clear();
    r = read({});
    EXPECT_TRUE(link.log.isEmpty());
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_TRUE(warnings.isEmpty());
}

TEST_F(SettingsFileTest, KeysIgnoreCaseOrderAndUnknownLines)
{
    QByteArray bytes = "Junk line without equals\r\n"
                       "lumakeycolor=255\r\n"
                       "save_name_input2=Second\r\n"
                       "SAVE_NAME_INPUT2=Ignored, the first one wins\r\n"
                       "SAVE_NAME_INPUT3=\r\n"
                       "UNKNOWN=1\r\n"
                       "=\r\n"
                       "\r\n"
                       "effect9=2\r\n"
                       "EFFNOSCAL9=true\r\n"
                       "EFFNOSCAL10=-1\r\n"
                       "EFFDUR8=$10\r\n"
                       "conTYPE=CON_UDP\r\n"
                       "version_ini_file=V0004\r\n";
    writeBytes(bytes);
    const auto r = read();
    EXPECT_TRUE(r.read);
    EXPECT_EQ(settings.lumaKeyColor, 255);
    EXPECT_EQ(settings.names.inputs[1], "Second");
    EXPECT_EQ(settings.names.inputs[2], "");  // an empty value is an empty name
    EXPECT_EQ(settings.names.inputs[0], "Input 1");  // missing: kept
    EXPECT_EQ(settings.effectKeys[2].EFFECT, 2);
    EXPECT_TRUE(settings.effectKeys[2].EFFNOSCAL);
    EXPECT_TRUE(settings.effectKeys[3].EFFNOSCAL);
    EXPECT_EQ(settings.effectKeys[1].EFFDUR, 16);
    EXPECT_EQ(link.log, QStringList{"type=CON_UDP"});
    EXPECT_TRUE(r.rejectedKeys.contains("SAVE_NAME_INPUT1"));
    EXPECT_TRUE(r.rejectedKeys.contains("IpLocalPort"));
    // The empty name is written back as the key and "=".
    const auto lines = reader.lines(settings, link.values);
    EXPECT_EQ(lines[8], "SAVE_NAME_INPUT3=");
}

TEST_F(SettingsFileTest, OutOfRangeValuesKeepTheirDefaults)
{
    struct Row {
        std::string line;
        std::function<int(const AppSettings &)> get;
        int expected;  // the default
    };
    const Row rows[] = {
        {"EFFECT7=4", [](const AppSettings &s) { return s.effectKeys[0].EFFECT; }, 0},
        {"EFFECT8=-1", [](const AppSettings &s) { return s.effectKeys[1].EFFECT; }, 0},
        {"EFFDUR9=4", [](const AppSettings &s) { return s.effectKeys[2].EFFDUR; }, 20},
        {"EFFDUR10=256", [](const AppSettings &s) { return s.effectKeys[3].EFFDUR; }, 20},
        {"EFFPC11=29", [](const AppSettings &s) { return s.effectKeys[4].EFFP[2]; }, 128},
        {"EFFOPT12=4", [](const AppSettings &s) { return s.effectKeys[5].EFFOPT; }, 0},
        {"EFFOPEN7=2", [](const AppSettings &s) { return s.effectKeys[0].EFFOPEN; }, 0},
        {"EFFNOSCAL7=maybe", [](const AppSettings &s) { return int(s.effectKeys[0].EFFNOSCAL); }, 0},
        {"LumaKeyColor=16777216", [](const AppSettings &s) { return s.lumaKeyColor; }, 0xFFFFFF},
        {"LumaKeyColor=-16777201", [](const AppSettings &s) { return s.lumaKeyColor; }, 0xFFFFFF},
        {"EFFPA7=99999999999999999999", [](const AppSettings &s) { return s.effectKeys[0].EFFP[0]; }, 128},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.line);
        writeBytes(file(AppSettings{}, tcpLink(), {r.line}));
        AppSettings s;
        FakeLink l;
        const auto res = reader.read(path(), s, l, {});
        EXPECT_TRUE(res.read);
        EXPECT_EQ(r.get(s), r.expected);
        EXPECT_EQ(res.rejectedKeys, QStringList{QString::fromStdString(r.line.substr(0, r.line.find('=')))});
    }
}

TEST_F(SettingsFileTest, SerialSetUpThatCouldNotBeAppliedIsWrittenBack)
{
    const LinkParameters fileLink{tConnectionType::CON_RS232, QStringLiteral("ttyUSB3"), 10001, 10502,
                                  QStringLiteral("127.0.0.1")};
    writeBytes(file(AppSettings{}, fileLink));
    read({});  // the adapter is unplugged this run
    EXPECT_EQ(link.values.type, tConnectionType::CON_NONE);
    EXPECT_EQ(link.values.port, "");
    auto lines = reader.lines(settings, link.values);
    EXPECT_EQ(lines[1], "Port=ttyUSB3");
    EXPECT_EQ(lines[5], "ConType=CON_RS232");
    EXPECT_EQ(lines[2], "IpLocalPort=10001");
    // Once the operator chooses another link, the choice is what is written.
    link.setConType(tConnectionType::CON_UDP);
    lines = reader.lines(settings, link.values);
    EXPECT_EQ(lines[1], "Port=");
    EXPECT_EQ(lines[5], "ConType=CON_UDP");
    // A later read that applies everything forgets the kept values.
    writeBytes(file(AppSettings{}, tcpLink()));
    read({});
    lines = reader.lines(settings, link.values);
    EXPECT_EQ(lines[5], "ConType=CON_TCP");
    EXPECT_EQ(lines[1], "Port=ttyS1");  // a port that was not applied is still kept
}

TEST_F(SettingsFileTest, BadFilesNeverBreakTheRead)
{
    QByteArray binary;
    for (int i = 0; i < 20000; ++i)
        binary += char((i * 31 + 7) & 0xFF);
    QByteArray longName = file(AppSettings{}, tcpLink(), {"SAVE_NAME_INPUT1=" + std::string(200000, 'n')});
    struct Row {
        const char *what;
        QByteArray bytes;
        bool read;
    };
    const Row rows[] = {
        {"empty", "", false},
        {"binary", binary, false},
        {"NUL bytes", QByteArray("VERSION_INI_FILE=V0004\0\r\nPort=\0x\r\n", 34), false},
        {"only line ends", "\r\n\n\r", false},
        {"very long name", longName, true},
        {"version line alone", "VERSION_INI_FILE=V0004", true},
        {"too large", QByteArray(2 << 20, 'x'), false},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        writeBytes(r.bytes);
        AppSettings s;
        FakeLink l;
        const auto res = reader.read(path(), s, l, {});
        EXPECT_EQ(res.read, r.read);
        EXPECT_EQ(s.names.inputs[0].size() <= 256, true);
        EXPECT_EQ(reader.lines(s, l.values).size(), 155u);
    }
    writeBytes(longName);
    AppSettings s;
    reader.read(path(), s, link, {});
    EXPECT_EQ(s.names.inputs[0], QString(256, 'n'));
}

TEST_F(SettingsFileTest, NamesCannotBreakTheFileApart)
{
    AppSettings s;
    s.names.inputs[0] = QStringLiteral("two\r\nConType=CON_TCP");
    s.names.inputs[1] = QStringLiteral("Ω and \U0001F600");  // not in the code page
    const auto lines = reader.lines(s, LinkParameters{});
    ASSERT_EQ(lines.size(), 155u);
    EXPECT_EQ(lines[6], "SAVE_NAME_INPUT1=two  ConType=CON_TCP");
    EXPECT_EQ(lines[7], "SAVE_NAME_INPUT2=? and ?");
}

TEST_F(SettingsFileTest, WriteReplacesTheFileAndReportsFailure)
{
    writeBytes("old content that is longer than nothing");
    ASSERT_EQ(reader.write(path(), AppSettings{}, tcpLink()), "");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"VarnelSerie.ini"});  // no temporary left
    EXPECT_TRUE(read().read);
    // A settings file kept as a link to another file stays a link.
    const QString linked = dir.filePath(QStringLiteral("linked.ini"));
    ASSERT_TRUE(QFile::link(path(), linked));
    ASSERT_EQ(reader.write(linked, sample(), tcpLink()), "");
    EXPECT_TRUE(QFileInfo(linked).isSymLink());
    EXPECT_TRUE(QFile(path()).size() > 0);
    AppSettings back;
    FakeLink l;
    reader.read(path(), back, l, {});
    EXPECT_EQ(back.names, sample().names);
    QFile::remove(linked);
    // A folder that does not exist yet is made (the user's configuration folder).
    const QString nested = dir.filePath(QStringLiteral("config/VarnelSerie/VarnelSerie.ini"));
    EXPECT_EQ(reader.write(nested, AppSettings{}, tcpLink()), "");
    EXPECT_TRUE(QFile::exists(nested));
    // A path that cannot be a file gives an error text, and nothing is thrown.
    EXPECT_NE(reader.write(dir.path(), AppSettings{}, tcpLink()), "");
    const QString blocked = dir.filePath(QStringLiteral("VarnelSerie.ini/sub.ini"));
    EXPECT_NE(reader.write(blocked, AppSettings{}, tcpLink()), "");
}

TEST(SettingsLocation, NextToTheProgramOnlyWhenWritable)
{
    EXPECT_EQ(settingsFilePath("/opt/varnel/bin", true, "/home/op/.config/Veltrane/VarnelSerie"),
              "/opt/varnel/bin/VarnelSerie.ini");
    EXPECT_EQ(settingsFilePath("/opt/varnel/bin", false, "/home/op/.config/Veltrane/VarnelSerie"),
              "/home/op/.config/Veltrane/VarnelSerie/VarnelSerie.ini");
    EXPECT_EQ(settingsFileName(), "VarnelSerie.ini");
}

TEST(Windows1252, EveryByteSurvivesAndTheHighHalfMaps)
{
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    EXPECT_EQ(toWindows1252(fromWindows1252(all)), all);
    struct Row {
        const char *bytes;
        char16_t unicode;
    };
    const Row rows[] = {{"\x80", 0x20AC}, {"\x8A", 0x0160}, {"\x99", 0x2122}, {"\x9F", 0x0178},
                        {"\xA0", 0x00A0}, {"\xE9", 0x00E9}, {"\x81", 0x0081}, {"A", u'A'}};
    for (const Row &r : rows) {
        EXPECT_EQ(fromWindows1252(r.bytes), QString(QChar(r.unicode))) << int(r.unicode);
        EXPECT_EQ(toWindows1252(QString(QChar(r.unicode))), r.bytes);
    }
    EXPECT_EQ(toWindows1252(QStringLiteral("\u0100\u4E2D")), "??");
}

TEST_F(SettingsFileTest, DamagedCopiesOfAGoodFileAreReadSafely)
{
    // Seeded damage to a real file: bytes changed, line ends and "=" inserted,
    // pieces cut out. Every read must finish, keep names within bounds, and the
    // values it took must lie in their ranges.
    const QByteArray good = file(sample(), tcpLink());
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    const char inserts[] = {'\r', '\n', '=', '\0', '-', '9', char(0x80), char(0xFF)};
    for (int round = 0; round < 300; ++round) {
        QByteArray bytes = good;
        const int edits = 1 + int(next() % 12);
        for (int e = 0; e < edits && !bytes.isEmpty(); ++e) {
            const qsizetype at = qsizetype(next() % std::uint32_t(bytes.size()));
            switch (next() % 3) {
            case 0:
                bytes[at] = char(next());
                break;
            case 1:
                bytes.insert(at, inserts[next() % sizeof inserts]);
                break;
            default:
                bytes.remove(at, qsizetype(next() % 40));
            }
        }
        writeBytes(bytes);
        AppSettings s;
        FakeLink l;
        reader.read(path(), s, l, {QStringLiteral("ttyUSB0")});
        for (const EffectPreset &p : s.effectKeys) {
            EXPECT_GE(p.EFFECT, 0);
            EXPECT_LE(p.EFFECT, 3);
            EXPECT_GE(p.EFFDUR, 5);
            EXPECT_LE(p.EFFDUR, 255);
        }
        EXPECT_GE(l.values.localPort, 0);
        EXPECT_LE(l.values.localPort, 65535);
        EXPECT_LE(s.lumaKeyColor, 0xFFFFFF);
        EXPECT_GE(s.lumaKeyColor, 0);
        const auto lines = reader.lines(s, l.values);
        ASSERT_EQ(lines.size(), 155u) << "round " << round;
        for (const std::string &line : lines)
            ASSERT_EQ(line.find_first_of("\r\n"), std::string::npos) << "round " << round;
    }
}
