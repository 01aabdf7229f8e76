// Seeded random mutations with a fixed small budget: the record scan and
// parser, the retriever fed random records, and the three picture decoders
// (followed by the preparation of whatever they accept). Under the sanitizers
// a crash, overflow or oversized allocation fails the test; the properties
// checked besides are that the scan always makes progress, that an accepted
// record is exactly what it frames, and that accepted pictures stay in bounds.
#include "picture_fixtures.h"
#include "picture_preparation.h"
#include "script_driver.h"

#include <gtest/gtest.h>

#include <random>

using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

constexpr std::uint32_t kSeed = 20261211;

std::string upper(std::string s)
{
    for (char &c : s)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string mutate(const std::string &in, std::mt19937 &rng)
{
    std::string out = in;
    std::uniform_int_distribution<int> kind(0, 5);
    const int edits = 1 + int(rng() % 4);
    for (int e = 0; e < edits; ++e) {
        if (out.size() == 0) {
            out.push_back(char(rng()));
            continue;
        }
        const std::size_t at = rng() % std::size_t(out.size());
        switch (kind(rng)) {
        case 0:
            out[at] = char(out[at] ^ char(1 << (rng() % 8)));
            break;
        case 1:
            out[at] = char(rng());
            break;
        case 2:
            out.resize(at);
            break;
        case 3:
            out.insert(at, 1, char(rng()));
            break;
        case 4:
            out[at] = char(0xFF);
            break;
        default:
            if (at + 1 < std::size_t(out.size()))
                std::swap(out[at], out[at + 1]);
        }
    }
    return out;
}

QByteArray mutate(const QByteArray &in, std::mt19937 &rng)
{
    return QByteArray::fromStdString(mutate(in.toStdString(), rng));
}

}  // namespace

TEST(Fuzz, RecordScanAlwaysProgressesAndAcceptsOnlyWhatItFrames)
{
    std::mt19937 rng(kSeed);
    const std::vector<std::string> seeds = {
        ":040002020064003262\r", ":00000001FF\r", ".1\r", ".0\r", ":04001100040a0114c8\r",
        ":0200110020804D\r.1\r", "xx:00000303FA\r.0\r",
    };
    int accepted = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int parts = 1 + int(rng() % 3);
        for (int p = 0; p < parts; ++p)
            text += mutate(seeds[rng() % seeds.size()], rng);
        TransferMessage m;
        for (int guard = 0;; ++guard) {
            ASSERT_LT(guard, 1000);
            const std::size_t before = text.size();
            const MessageKind k = ScanMessage(text, m);
            if (k == MessageKind::None && text.size() == before)
                break;
            ASSERT_LT(text.size(), before) << "a scan that finds something consumes text";
        }
        // direct parse: an accepted record rebuilds to its own (upper-case) text
        std::string rec = mutate(seeds[rng() % 3], rng);
        if (!rec.empty() && rec.back() == '\r')
            rec.pop_back();
        TransferMessage r;
        if (ParseRecord(rec, r)) {
            ++accepted;
            const std::string rebuilt = BuildRecord(r.type, r.parameter, r.bytes());
            ASSERT_EQ(rebuilt, upper(rec.substr(0, rebuilt.size()))) << rec;
        }
    }
    EXPECT_GT(accepted, 0);
}

TEST(Fuzz, RetrieverSurvivesRandomRecords)
{
    std::mt19937 rng(kSeed + 1);
    for (int run = 0; run < 300; ++run) {
        ScriptDriver driver;
        WorkPicture picture;
        TThreadFrameReceive worker;
        worker.setDriver(&driver);
        worker.setWorkPicture(&picture);
        worker.setKindCode(kKindFrame);
        worker.setSlotIndex(1);
        worker.PrepareTransfer();
        worker.StartTransfer();
        std::int64_t now = 0;
        settle(worker, now);
        driver.receiver(".1\r");
        settle(worker, now += 100);
        for (int i = 0; i < 200 && driver.receiver; ++i) {
            std::vector<std::uint8_t> data(rng() % 40);
            for (auto &b : data)
                b = std::uint8_t(rng() % 4 == 0 ? 0 : rng());
            const std::uint8_t type = std::uint8_t(rng() % 5);
            const std::uint16_t param = std::uint16_t(rng() % 3 == 0 ? rng() : rng() % 0x40);
            driver.receiver(rng() % 7 == 0 ? std::string(".1\r") : BuildRecord(type, param, data) + "\r");
            settle(worker, now += 1);
        }
        std::lock_guard lock(picture.mutex);
        ASSERT_LE(std::int64_t(picture.image.sizeInBytes()), 2 * kLargestMemoryBytes);
    }
}

TEST(Fuzz, DecodersRefuseOrBoundEveryMutation)
{
    std::mt19937 rng(kSeed + 2);
    QImage src(23, 17, QImage::Format_RGB32);
    for (int y = 0; y < 17; ++y)
        for (int x = 0; x < 23; ++x)
            src.setPixel(x, y, qRgb(x * 11, y * 15, (x ^ y) * 8));
    GifFrameSpec f1{0, 0, 6, 5, std::vector<std::uint8_t>(30, 1), {}, GifFrameSpec::Control{1, 5, 2}, false};
    GifFrameSpec f2{2, 1, 4, 4, std::vector<std::uint8_t>(16, 2), {qRgb(1, 1, 1), qRgb(5, 5, 5), qRgb(9, 9, 9)}, {}, true};
    const std::vector<std::pair<QByteArray, const char *>> seeds = {
        {makeBmp(src), "f.bmp"},
        {makeBmp(src.convertToFormat(QImage::Format_Indexed8)), "f.bmp"},
        {makeJpeg(src), "f.jpg"},
        {makeGif(8, 6, {qRgb(0, 0, 0), qRgb(200, 0, 0), qRgb(0, 0, 200), qRgb(9, 9, 9)}, 1, {f1, f2}), "f.gif"},
    };
    int ok = 0;
    for (int i = 0; i < 1200; ++i) {
        const auto &seed = seeds[std::size_t(i) % seeds.size()];
        const QByteArray bytes = mutate(seed.first, rng);
        const LoadedPicture p = LoadPictureBytes(bytes, seed.second);
        if (!p.ok) {
            ASSERT_FALSE(p.error.empty());
            continue;
        }
        ++ok;
        WorkPicture work;
        TPicturePreparation prep(work);
        prep.LLEVEL = 60;
        if (p.kind == SourceKind::Still) {
            ASSERT_LE(p.still.width(), kMaxSide);
            ASSERT_LE(std::int64_t(p.still.width()) * p.still.height() * 3, kLargestMemoryBytes);
            prep.PrepareStill(p.still);
        } else {
            if (prep.PrepareAnimation(p.animation)) {
                std::lock_guard lock(work.mutex);
                ASSERT_LT(std::int64_t(work.image.width()) * work.image.height() * 3, kLargestMemoryBytes);
            }
        }
    }
    EXPECT_GT(ok, 0);
}
