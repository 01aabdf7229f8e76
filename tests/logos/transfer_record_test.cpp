// The wire pieces of the picture transfer: every record the protocol documents,
// byte for byte, the checks a received record must pass, the precedence of
// replies over records, the coding choice and pixel groups at frame boundaries.
#include "transfer_record.h"

#include <gtest/gtest.h>

#include <vector>

using namespace varnel::logos;

namespace {
std::string rec(std::uint8_t type, std::uint16_t p, std::vector<std::uint8_t> d = {})
{
    return BuildRecord(type, p, d);
}
}  // namespace

TEST(TransferRecord, DocumentedRecordsByteForByte)
{
    struct Case {
        std::string built, expected;
    } cases[] = {
        {rec(2, kCtlHeader, {0x12, 3}), ":020001021203E6"},
        {rec(2, kCtlHeader, {0x01, 2}), ":020001020102F8"},
        {rec(2, kCtlHeader, {0x13, 9}), ":020001021309DF"},
        {rec(2, kCtlHeader, {0x03, 9}), ":020001020309EF"},
        {rec(2, kCtlSize, {0, 100, 0, 50}), ":040002020064003262"},
        {rec(2, kCtlFrames, {1, 0, 0}), ":03000502010000F5"},
        {rec(2, kCtlBegin), ":00000302FB"},
        {rec(2, kCtlRequest), ":00000402FA"},
        {rec(3, 3), ":00000303FA"},
        {rec(1, 0), ":00000001FF"},
        {rec(4, 0), ":00000004FC"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.built, c.expected);
}

TEST(TransferRecord, ComponentCodingOnlyWhenShorter)
{
    struct Case {
        std::vector<std::uint8_t> plain;
        std::string record;
    } cases[] = {
        {{10, 10, 10, 10, 20}, ":04001100040A0114C8"},
        {{10, 10, 10, 20}, ":040001000A0A0A14C9"},
        {{7}, ":0100010007F7"},
        {std::vector<std::uint8_t>(32, 0x80), ":0200110020804D"},
    };
    for (const auto &c : cases) {
        bool coded = false;
        const auto data = CodeComponent(c.plain, coded);
        EXPECT_EQ(BuildRecord(kTypeData, std::uint16_t(kRed | (coded ? kRunLengthCoded : 0)), data), c.record);
        const auto back = coded ? DecodeRunLength(data, 32) : data;
        EXPECT_EQ(back, c.plain);
    }
    // 32 distinct bytes: coding would double them, so they go plain
    std::vector<std::uint8_t> distinct(32);
    for (int i = 0; i < 32; ++i)
        distinct[std::size_t(i)] = std::uint8_t(i);
    bool coded = true;
    EXPECT_EQ(CodeComponent(distinct, coded), distinct);
    EXPECT_FALSE(coded);
}

TEST(TransferRecord, ParseAcceptsEitherCaseAndRejectsBadRecords)
{
    TransferMessage m;
    ASSERT_TRUE(ParseRecord(":04001100040a0114c8", m));
    EXPECT_EQ(m.type, 0);
    EXPECT_EQ(m.parameter, 0x11);
    ASSERT_EQ(m.length, 4);
    EXPECT_EQ(std::vector<std::uint8_t>(m.bytes().begin(), m.bytes().end()),
              (std::vector<std::uint8_t>{4, 10, 1, 20}));

    const char *bad[] = {
        ":00000001F",           // too short
        ":00000001FE",          // checksum
        ":0400110004",          // length says more data than there is
        ":040002020064003263",  // checksum off by one
        "000000001FF",          // no colon
        ":0G000001FF",          // not hex
    };
    for (const char *b : bad) {
        TransferMessage untouched;
        EXPECT_FALSE(ParseRecord(b, untouched)) << b;
        EXPECT_EQ(untouched.kind, MessageKind::None) << b;
    }
}

TEST(TransferRecord, ScanGivesRepliesPrecedenceOverRecords)
{
    TransferMessage m;
    std::string text = ":040002020064003262\r.1\r";
    EXPECT_EQ(ScanMessage(text, m), MessageKind::Ack);
    EXPECT_EQ(text, ":040002020064003262\r");  // the record stays for the next scan
    EXPECT_EQ(ScanMessage(text, m), MessageKind::Record);
    EXPECT_TRUE(m.isRecord(2, kCtlSize));
    EXPECT_EQ(text, "");
    EXPECT_EQ(ScanMessage(text, m), MessageKind::None);

    text = "xx.0\ryy.1\r";
    EXPECT_EQ(ScanMessage(text, m), MessageKind::Nak);
    EXPECT_EQ(text, "xxyy.1\r");
    EXPECT_EQ(ScanMessage(text, m), MessageKind::Ack);

    // incomplete texts give nothing and are kept
    for (std::string partial : {".1", ":0000000", ":00000001FF", ":0000001FF\r"}) {
        const std::string before = partial;
        EXPECT_EQ(ScanMessage(partial, m), MessageKind::None) << before;
        EXPECT_EQ(partial, before);
    }
    // a complete record with a bad checksum is consumed and counts as nothing
    text = "junk:00000001FE\rtail";
    EXPECT_EQ(ScanMessage(text, m), MessageKind::None);
    EXPECT_EQ(text, "");
    // an odd run of digits before a CR is no record; a later one is
    text = ":123\r:00000001ff\r";
    EXPECT_EQ(ScanMessage(text, m), MessageKind::Record);
    EXPECT_TRUE(m.isRecord(1, 0));
}

TEST(TransferRecord, FrameHeightRoundsHalvesToEven)
{
    struct Case {
        int height, frames, expected;
    } cases[] = {{50, 1, 50}, {30, 10, 3}, {7, 2, 4}, {5, 2, 2}, {9, 2, 4}, {11, 2, 6}, {10, 4, 2}, {1, 255, 1}, {0, 1, 1}};
    for (const auto &c : cases)
        EXPECT_EQ(FrameHeightOf(c.height, c.frames), c.expected) << c.height << "/" << c.frames;
}

namespace {
struct Raster {
    int w, h;
    std::vector<std::uint8_t> bytes;
    Raster(int w_, int h_) : w(w_), h(h_), bytes(std::size_t(w_ * h_ * 3)) {}
    PixelView view() { return {bytes.data(), w * 3, w, h}; }
};
}  // namespace

TEST(TransferRecord, GroupsStopAtFrameBoundariesAndPictureEnd)
{
    // 10 wide, frames 3 high, 2 frames: groups of 30, never 32
    Raster r(10, 6);
    for (std::size_t i = 0; i < r.bytes.size(); ++i)
        r.bytes[i] = std::uint8_t(i);
    PixelCursor c;
    std::vector<int> sizes;
    for (auto g = ReadGroup(r.view(), 3, c); g.size; g = ReadGroup(r.view(), 3, c))
        sizes.push_back(g.size);
    EXPECT_EQ(sizes, (std::vector<int>{30, 30}));

    // a still 10 x 7: 32, 32, 6
    Raster s(10, 7);
    c = {};
    sizes.clear();
    for (auto g = ReadGroup(s.view(), 7, c); g.size; g = ReadGroup(s.view(), 7, c))
        sizes.push_back(g.size);
    EXPECT_EQ(sizes, (std::vector<int>{32, 32, 6}));

    // colours are red, green, blue from blue-green-red bytes
    Raster one(1, 1);
    one.bytes = {0x03, 0x02, 0x01};
    c = {};
    const auto g = ReadGroup(one.view(), 1, c);
    ASSERT_EQ(g.size, 1);
    EXPECT_EQ(g.colours[0], 0x010203u);
    EXPECT_EQ(ComponentBytes(g, kRed), std::vector<std::uint8_t>{1});
    EXPECT_EQ(ComponentBytes(g, kBlue), std::vector<std::uint8_t>{3});
}

TEST(TransferRecord, PlacedGroupsRebuildTheRaster)
{
    Raster src(7, 5), dst(7, 5);
    for (std::size_t i = 0; i < src.bytes.size(); ++i)
        src.bytes[i] = std::uint8_t(i * 7 + 1);
    PixelCursor rc, wc;
    int placed = 0;
    for (auto g = ReadGroup(src.view(), 5, rc); g.size; g = ReadGroup(src.view(), 5, rc))
        placed += PlaceGroup(dst.view(), wc, ComponentBytes(g, kRed), ComponentBytes(g, kGreen),
                             ComponentBytes(g, kBlue), g.size);
    EXPECT_EQ(placed, 35);
    EXPECT_EQ(src.bytes, dst.bytes);
    // nothing is written past the end
    const std::vector<std::uint8_t> ones(32, 1);
    EXPECT_EQ(PlaceGroup(dst.view(), wc, ones, ones, ones, 32), 0);
}
