// The device side of the picture transfer: "6LM" into raw mode, Intel HEX
// records checked and answered ".1"/".0", a picture sent group by group (plain
// and run-length coded components, repeat records) stored pixel for pixel, and
// a stored picture sent back on request. The records are built here, by the
// test's own encoder, not by the simulator's.
#include "hex_record.h"
#include "sim_fixture.h"

#include <cstdio>

using namespace varnel;
using namespace varnel::sim;
using namespace varnel::sim::test;

namespace {

using Bytes = std::vector<std::uint8_t>;

std::string record(std::uint8_t type, std::uint16_t param, const Bytes &data = {})
{
    Bytes all = {static_cast<std::uint8_t>(data.size()), static_cast<std::uint8_t>(param >> 8),
                 static_cast<std::uint8_t>(param), type};
    all.insert(all.end(), data.begin(), data.end());
    int sum = 0;
    std::string text = ":";
    char hex[3];
    for (std::uint8_t b : all) {
        sum += b;
        std::snprintf(hex, sizeof hex, "%02X", b);
        text += hex;
    }
    std::snprintf(hex, sizeof hex, "%02X", (256 - sum % 256) % 256);
    return text + hex;
}

struct Picture {
    int width = 0, frameHeight = 0, frames = 1;
    Bytes rgb;
    int height() const { return frameHeight * frames; }
};

/// A picture whose groups give plain, coded and repeated records.
Picture samplePicture(int width, int frameHeight, int frames)
{
    Picture p{width, frameHeight, frames, {}};
    for (int y = 0; y < p.height(); ++y)
        for (int x = 0; x < width; ++x) {
            const bool flat = y % 4 >= 2;  // two rows in four are one colour
            p.rgb.push_back(static_cast<std::uint8_t>(flat ? 0x80 : x * 7 + y));
            p.rgb.push_back(static_cast<std::uint8_t>(flat ? 0x40 : (x / 5) * 30));
            p.rgb.push_back(static_cast<std::uint8_t>(flat ? 0x20 : 200 - y));
        }
    return p;
}

Bytes component(const Bytes &group, int k)
{
    Bytes out;
    for (std::size_t i = static_cast<std::size_t>(k); i < group.size(); i += 3)
        out.push_back(group[i]);
    return out;
}

std::string componentRecord(const Bytes &bytes, int k)
{
    Bytes coded;
    for (std::size_t i = 0; i < bytes.size();) {
        std::size_t run = 1;
        while (i + run < bytes.size() && bytes[i + run] == bytes[i])
            ++run;
        coded.push_back(static_cast<std::uint8_t>(run));
        coded.push_back(bytes[i]);
        i += run;
    }
    const auto code = static_cast<std::uint16_t>((k + 1) | (k == 2 ? 0x20 : 0));
    if (coded.size() < bytes.size())
        return record(0x00, static_cast<std::uint16_t>(code | 0x10), coded);
    return record(0x00, code, bytes);
}

/// Every record of a transfer after "6LM", in order, the end record last.
std::vector<std::string> encode(std::uint8_t kind, std::uint8_t slot, const Picture &p, int delay = 0,
                                int *repeats = nullptr, int *coded = nullptr)
{
    std::vector<std::string> out;
    out.push_back(record(0x02, 1, {kind, slot}));
    out.push_back(record(0x02, 2,
                         {static_cast<std::uint8_t>(p.width >> 8), static_cast<std::uint8_t>(p.width),
                          static_cast<std::uint8_t>(p.frameHeight >> 8), static_cast<std::uint8_t>(p.frameHeight)}));
    out.push_back(record(0x02, 5, {static_cast<std::uint8_t>(p.frames), static_cast<std::uint8_t>(delay >> 8),
                                   static_cast<std::uint8_t>(delay)}));
    out.push_back(record(0x02, 3));
    Bytes previous;
    int repeat = 0;
    int col = 0, row = 0;
    auto flush = [&] {
        if (repeat > 0) {
            out.push_back(record(0x03, static_cast<std::uint16_t>(repeat)));
            if (repeats)
                ++*repeats;
        }
        repeat = 0;
    };
    while (row < p.height()) {
        Bytes group;
        while (group.size() < 32 * 3 && row < p.height()) {
            const std::size_t at = (std::size_t(row) * p.width + col) * 3;
            group.insert(group.end(), p.rgb.begin() + static_cast<std::ptrdiff_t>(at),
                         p.rgb.begin() + static_cast<std::ptrdiff_t>(at + 3));
            if (++col == p.width) {
                col = 0;
                if (++row % p.frameHeight == 0)
                    break;  // a group never spans two frames
            }
        }
        if (group == previous && repeat < 65535) {
            ++repeat;
            continue;
        }
        flush();
        for (int k = 0; k < 3; ++k) {
            out.push_back(componentRecord(component(group, k), k));
            if (coded && (std::stoi(out.back().substr(3, 4), nullptr, 16) & 0x10))
                ++*coded;
        }
        previous = group;
    }
    flush();
    out.push_back(record(0x01, 0));
    return out;
}

/// Sends the records as the PC does (each with CR LF) and checks every answer.
void sendAll(SimPeer &peer, const std::vector<std::string> &records)
{
    ASSERT_EQ(peer.send("6LM"), ".1\r");
    for (std::size_t i = 0; i + 1 < records.size(); ++i)
        ASSERT_EQ(peer.send(records[i] + "\r\n"), ".1\r") << "record " << i << " " << records[i];
    EXPECT_EQ(peer.send(records.back() + "\r\n"), "");
}

TEST(SimHex, RecordsOfTheProtocol)
{
    EXPECT_EQ(buildRecord(0x02, 0x0001, {0x12, 0x03}), ":020001021203E6");
    EXPECT_EQ(buildRecord(0x02, 0x0001, {0x01, 0x02}), ":020001020102F8");
    EXPECT_EQ(buildRecord(0x02, 0x0002, {0x00, 0x64, 0x00, 0x32}), ":040002020064003262");
    EXPECT_EQ(buildRecord(0x02, 0x0005, {0x01, 0x00, 0x00}), ":03000502010000F5");
    EXPECT_EQ(buildRecord(0x02, 0x0003), ":00000302FB");
    EXPECT_EQ(buildRecord(0x03, 0x0003), ":00000303FA");
    EXPECT_EQ(buildRecord(0x01, 0x0000), ":00000001FF");
    EXPECT_EQ(record(0x00, 0x11, {0x04, 0x0A, 0x01, 0x14}), ":04001100040A0114C8");

    const auto parsed = parseRecord(":04001100040a0114c8");
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->type, 0x00);
    EXPECT_EQ(parsed->param, 0x11);
    EXPECT_EQ(parsed->data, (Bytes{0x04, 0x0A, 0x01, 0x14}));
    for (const char *bad : {":04001100040A0114C9", ":0000000", ":05001100040A0114C8", ":04001100040G0114C8",
                            "04001100040A0114C8", ":04001100040A0114C"})
        EXPECT_FALSE(parseRecord(bad)) << bad;
}

TEST(SimTransfer, StillLogoIsStoredPixelForPixel)
{
    SimPeer peer;
    std::vector<std::pair<MemoryRef, StoredPicture>> received;
    peer.device.onPictureReceived = [&](MemoryRef ref, const StoredPicture &p) { received.emplace_back(ref, p); };
    const Picture pic = samplePicture(45, 12, 1);
    int repeats = 0, coded = 0;
    const auto records = encode(0x12, 3, pic, 0, &repeats, &coded);
    EXPECT_GT(repeats, 0);  // the sample exercises every kind of record
    EXPECT_GT(coded, 0);
    EXPECT_TRUE(peer.session.rawMode() == false);
    ASSERT_NO_FATAL_FAILURE(sendAll(peer, records));

    const auto &stored = peer.device.memory({false, 3});
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->width, 45);
    EXPECT_EQ(stored->frameHeight, 12);
    EXPECT_TRUE(stored->keyed);
    EXPECT_EQ(stored->rgb, pic.rgb);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].first.name(), "logo3");
    EXPECT_EQ(peer.device.value(Reg::LEMPTYL), 511u & ~4u);
    // the new memory bits are reported once the peer is back in register mode
    EXPECT_EQ(peer.after(DeviceModel::kMemoryReportDelayMs), "lE507\r\nlF15\r\n");
    // back in register mode at the normal rate
    EXPECT_FALSE(peer.session.rawMode());
    EXPECT_EQ(peer.session.baudRate(), 9600);
    EXPECT_EQ(peer.send("?"), "DEV41\r\n");
}

TEST(SimTransfer, RawModeRunsAtTransferRateAndIgnoresCommands)
{
    SimPeer peer;
    EXPECT_EQ(peer.session.baudRate(), 9600);
    EXPECT_EQ(peer.send("6LM"), ".1\r");
    EXPECT_TRUE(peer.session.rawMode());
    EXPECT_EQ(peer.session.baudRate(), 115200);
    EXPECT_EQ(peer.send("?3cn"), "");
    EXPECT_EQ(peer.device.value(Reg::ICHNP), 2u);
    EXPECT_EQ(peer.device.value(Reg::LMODE), 0u);  // 6 is no layer mode
    // the abort record ends raw mode without an answer
    EXPECT_EQ(peer.send(":00000004FC\r\n?"), "DEV41\r\n");
    // a peer that vanishes in the middle of a transfer does not leave raw mode on for good
    peer.send("6LM");
    peer.after(DeviceModel::kRawIdleMs - 1);
    EXPECT_TRUE(peer.session.rawMode());
    peer.after(1);
    EXPECT_FALSE(peer.session.rawMode());
}

TEST(SimTransfer, AnimatedLogoFramesAreStacked)
{
    SimPeer peer;
    const Picture pic = samplePicture(10, 3, 4);
    ASSERT_NO_FATAL_FAILURE(sendAll(peer, encode(0x03, 9, pic, 120)));
    const auto &stored = peer.device.memory({false, 9});
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->frames, 4);
    EXPECT_EQ(stored->delayMs, 120);
    EXPECT_EQ(stored->rgb, pic.rgb);
    EXPECT_EQ(peer.device.value(Reg::LEMPTYL), 511u & ~256u);
    const std::string info = peer.send("9LI");
    EXPECT_NE(info.find("lx4\r\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Lx2\r\n"), std::string::npos) << info;
}

TEST(SimTransfer, BadRecordsAreRefusedAndCanBeSentAgain)
{
    SimPeer peer;
    const Picture pic = samplePicture(8, 2, 1);
    const auto records = encode(0x01, 2, pic);
    peer.send("6LM");
    std::string corrupt = records[0];
    corrupt.back() = corrupt.back() == '0' ? '1' : '0';
    EXPECT_EQ(peer.send(corrupt + "\r\n"), ".0\r");
    EXPECT_EQ(peer.send(":0000\r\n"), ".0\r");
    EXPECT_EQ(peer.send(record(0x02, 3) + "\r\n"), ".0\r");  // begin before any header
    // records may arrive in pieces
    EXPECT_EQ(peer.send(records[0].substr(0, 5)), "");
    EXPECT_EQ(peer.send(records[0].substr(5) + "\r"), ".1\r");
    EXPECT_EQ(peer.send("\n"), "");
    for (std::size_t i = 1; i + 1 < records.size(); ++i)
        ASSERT_EQ(peer.send(records[i] + "\r\n"), ".1\r") << i;
    // one group too many: refused, the picture stays as it was
    EXPECT_EQ(peer.send(record(0x03, 1) + "\r\n"), ".0\r");
    peer.send(records.back() + "\r\n");
    ASSERT_TRUE(peer.device.memory({true, 2}));
    EXPECT_EQ(peer.device.memory({true, 2})->rgb, pic.rgb);
    EXPECT_EQ(peer.device.value(Reg::LEMPTYF), 15u & ~2u);
}

TEST(SimTransfer, HeadersForMemoriesTheDeviceLacksAreRefused)
{
    struct Header {
        const char *model;
        std::uint8_t kind, slot;
    };
    const Header refused[] = {{"VRK610", 0x01, 5}, {"VRK610", 0x11, 1},  // no frame 5; frames are never keyed
                              {"VRK610", 0x02, 9}, {"VRK610", 0x03, 3},  // logo 9 is the animated one
                              {"VRK610", 0x05, 1}, {"TRA310", 0x01, 1},  // unknown kind; a model without frames
                              {"VRM610", 0x02, 1}, {"VRM610", 0x03, 9}};
    for (const Header &h : refused) {
        SimPeer peer(h.model);
        peer.send("6LM");
        EXPECT_EQ(peer.send(record(0x02, 1, {h.kind, h.slot}) + "\r\n"), ".0\r")
            << h.model << " " << int(h.kind) << "/" << int(h.slot);
    }
}

TEST(SimTransfer, IncompleteOrAbortedPictureIsNotStored)
{
    SimPeer peer;
    const auto records = encode(0x02, 1, samplePicture(40, 4, 1));
    peer.send("6LM");
    for (std::size_t i = 0; i < 6; ++i)
        ASSERT_EQ(peer.send(records[i] + "\r\n"), ".1\r");
    peer.send(record(0x01, 0) + "\r\n");
    EXPECT_FALSE(peer.device.memory({false, 1}));
    EXPECT_FALSE(peer.session.rawMode());

    peer.send("6LM");
    for (std::size_t i = 0; i + 1 < records.size(); ++i)
        ASSERT_EQ(peer.send(records[i] + "\r\n"), ".1\r");
    EXPECT_EQ(peer.send(":00000004FC\r\n"), "");
    EXPECT_FALSE(peer.device.memory({false, 1}));
    EXPECT_EQ(peer.device.value(Reg::LEMPTYL), 511u);
}

/// Plays the retrieving side: header, request, then ".1" to every record.
Picture retrieve(SimPeer &peer, std::uint8_t kind, std::uint8_t slot, std::string *firstAnswer = nullptr)
{
    Picture p;
    EXPECT_EQ(peer.send("6LM"), ".1\r");
    EXPECT_EQ(peer.send(record(0x02, 1, {kind, slot}) + "\r\n"), ".1\r");
    std::string answer = peer.send(record(0x02, 4) + "\r\n");
    if (firstAnswer)
        *firstAnswer = answer;
    std::array<Bytes, 3> comps;
    for (int guard = 0; guard < 100000 && !answer.empty(); ++guard) {
        EXPECT_EQ(answer.back(), '\r');
        const auto rec = parseRecord(answer.substr(0, answer.size() - 1));
        if (!rec) {
            ADD_FAILURE() << answer;
            break;
        }
        if (rec->type == 0x01)
            break;
        if (rec->type == 0x02 && rec->param == 2) {
            p.width = rec->data[0] << 8 | rec->data[1];
            p.frameHeight = rec->data[2] << 8 | rec->data[3];
            if (p.width == 0) {
                answer = peer.send(".0\r\r\n");
                break;
            }
        } else if (rec->type == 0x02 && rec->param == 5) {
            p.frames = rec->data[0];
        } else if (rec->type == 0x00) {
            comps[(rec->param & 0x0F) - 1] = rec->data;
            if (rec->param & 0x20)
                for (std::size_t i = 0; i < comps[0].size(); ++i)
                    for (int k = 0; k < 3; ++k)
                        p.rgb.push_back(comps[k][i]);
        }
        answer = peer.send(".1\r\r\n");
    }
    return p;
}

TEST(SimTransfer, StoredPictureIsSentBackOnRequest)
{
    SimPeer peer;
    const Picture pic = samplePicture(33, 5, 1);  // groups do not divide the rows
    ASSERT_NO_FATAL_FAILURE(sendAll(peer, encode(0x02, 4, pic)));
    const Picture back = retrieve(peer, 0x02, 4);
    EXPECT_EQ(back.width, 33);
    EXPECT_EQ(back.frameHeight, 5);
    EXPECT_EQ(back.rgb, pic.rgb);
    EXPECT_FALSE(peer.session.rawMode());
    EXPECT_EQ(peer.send("?"), "DEV41\r\n");

    const Picture animated = samplePicture(10, 3, 3);
    ASSERT_NO_FATAL_FAILURE(sendAll(peer, encode(0x03, 9, animated, 80)));
    const Picture animatedBack = retrieve(peer, 0x03, 10);
    EXPECT_EQ(animatedBack.frames, 3);
    EXPECT_EQ(animatedBack.frameHeight, 3);
    EXPECT_EQ(animatedBack.rgb, animated.rgb);
}

TEST(SimTransfer, EmptyMemoryAnswersSizeZero)
{
    SimPeer peer;
    std::string first;
    const Picture back = retrieve(peer, 0x01, 3, &first);
    EXPECT_EQ(first, ":0400020200000000F8\r") << "size 0 x 0";
    EXPECT_EQ(back.width, 0);
    EXPECT_FALSE(peer.session.rawMode());
    EXPECT_EQ(peer.send("?"), "DEV41\r\n");
}

TEST(SimTransfer, RefusalDuringRetrievalEndsIt)
{
    SimPeer peer;
    peer.device.storePicture({false, 2}, StoredPicture{4, 4, 1, 0, false, Bytes(48, 7)});
    peer.send("6LM");
    peer.send(record(0x02, 1, {0x02, 2}) + "\r\n");
    EXPECT_EQ(peer.send(record(0x02, 4) + "\r\n").substr(0, 9), ":04000202");
    EXPECT_EQ(peer.send(".1\r\r\n").substr(0, 9), ":03000502");
    EXPECT_EQ(peer.send(".0\r\r\n"), "");
    EXPECT_FALSE(peer.session.rawMode());
}

}  // namespace
