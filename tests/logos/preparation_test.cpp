// Picture preparation: the luma key of stills and its preview, the memory
// capacities and their messages, GIF frames with offsets, disposal, delay and
// transparency stacked into bands with black reserved, and the loaders' choice
// by extension (any letter case) and refusal of what does not decode.
#include "picture_fixtures.h"
#include "picture_preparation.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

QRgb at(const QImage &img, int x, int y)
{
    return img.pixel(x, y) & 0xFFFFFF;
}

struct PreparationTest : ::testing::Test {
    WorkPicture work;
    TPicturePreparation prep{work};
    std::vector<std::string> messages;
    void SetUp() override
    {
        prep.onMessage = [this](const std::string &m) { messages.push_back(m); };
    }
    QImage workImage()
    {
        std::lock_guard lock(work.mutex);
        return work.image;
    }
};

}  // namespace

TEST(Luminance, RoundsHalvesToEven)
{
    EXPECT_EQ(Luminance(127, 127, 127), 127);
    EXPECT_EQ(Luminance(255, 255, 255), 255);
    EXPECT_EQ(Luminance(255, 0, 0), 76);   // 76.245
    EXPECT_EQ(Luminance(0, 255, 0), 150);  // 149.685
    EXPECT_EQ(Luminance(0, 0, 255), 29);   // 29.07
    EXPECT_EQ(Luminance(5, 0, 5), 2);      // 2.065
    EXPECT_EQ(Luminance(10, 0, 25), 6);   // 5.84
    EXPECT_EQ(Luminance(0, 0, 250), 28);  // 28.5: halves go to even
    EXPECT_EQ(Luminance(0, 4, 168), 22);  // 21.5
}

TEST_F(PreparationTest, LumaKeyBlackensKeyedPixelsAndColoursThePreview)
{
    QImage src(4, 1, QImage::Format_RGB32);
    src.setPixel(0, 0, qRgb(127, 127, 127));
    src.setPixel(1, 0, qRgb(128, 128, 128));
    src.setPixel(2, 0, qRgb(200, 200, 200));
    src.setPixel(3, 0, qRgb(100, 100, 100));
    struct Case {
        int level, type;
        std::vector<bool> keyed;
    } cases[] = {
        {0, 0, {false, false, false, false}},
        {0, 1, {false, false, false, false}},
        {128, 0, {true, false, false, true}},
        {128, 1, {false, true, true, false}},  // 255 - 128 = 127 < 128
        {256, 0, {true, true, true, true}},
    };
    prep.LumaKeyColor = QColor(0, 255, 0);
    for (const auto &c : cases) {
        prep.LLEVEL = c.level;
        prep.LLUMTYPE = c.type;
        ASSERT_TRUE(prep.PrepareStill(src));
        const QImage w = workImage();
        ASSERT_EQ(w.size(), src.size());
        for (int x = 0; x < 4; ++x) {
            const QRgb original = src.pixel(x, 0) & 0xFFFFFF;
            EXPECT_EQ(at(w, x, 0), c.keyed[std::size_t(x)] ? 0u : original) << c.level << "/" << c.type << " x" << x;
            EXPECT_EQ(at(prep.Preview(), x, 0), c.keyed[std::size_t(x)] ? 0x00FF00u : original);
        }
    }
}

TEST_F(PreparationTest, TransparentStillAreasBecomeBlack)
{
    QImage src(2, 1, QImage::Format_ARGB32);
    src.setPixel(0, 0, qRgba(200, 100, 50, 0));
    src.setPixel(1, 0, qRgba(200, 100, 50, 255));
    ASSERT_TRUE(prep.PrepareStill(src));
    EXPECT_EQ(at(workImage(), 0, 0), 0u);
    EXPECT_EQ(at(workImage(), 1, 0), qRgb(200, 100, 50) & 0xFFFFFF);
}

TEST_F(PreparationTest, StillAndFrameCapacities)
{
    struct Case {
        int w, h;
        MemoryKind kind;
        const char *message;  // null: fits
    } cases[] = {
        {512, 512, MemoryKind::StillLogo, kTextExceedLogo},
        {512, 511, MemoryKind::StillLogo, nullptr},
        {1920, 1080, MemoryKind::Frame, nullptr},
        {1920, 1081, MemoryKind::Frame, kTextExceedFrame},
        {1, 1, MemoryKind::StillLogo, nullptr},
    };
    for (const auto &c : cases) {
        QImage src(c.w, c.h, QImage::Format_RGB32);
        src.fill(Qt::white);
        ASSERT_TRUE(prep.PrepareStill(src));
        messages.clear();
        EXPECT_EQ(prep.CheckCapacity(c.kind), c.message == nullptr) << c.w << "x" << c.h;
        EXPECT_EQ(messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    }
    // an empty work picture fails without a message
    WorkPicture empty;
    TPicturePreparation none(empty);
    none.onMessage = [this](const std::string &m) { messages.push_back(m); };
    messages.clear();
    EXPECT_FALSE(none.CheckCapacity(MemoryKind::Frame));
    EXPECT_TRUE(messages.empty());
}

namespace {
Animation uniformAnimation(int frames, int w, int h)
{
    Animation a;
    a.screenWidth = w;
    a.screenHeight = h;
    for (int i = 0; i < frames; ++i) {
        GifFrame f;
        f.width = w;
        f.height = h;
        f.indices.assign(std::size_t(w * h), 1);
        f.palette = {qRgb(0, 0, 0), qRgb(10, 20, 30)};
        a.frames.push_back(f);
    }
    return a;
}
}  // namespace

TEST_F(PreparationTest, AnimatedCapacities)
{
    auto r = prep.PrepareAnimation(uniformAnimation(255, 100, 50));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->frameCount, 255);
    EXPECT_TRUE(messages.empty()) << "14 units per frame, room for 520";
    EXPECT_TRUE(prep.CheckCapacity(MemoryKind::AnimatedLogo));

    r = prep.PrepareAnimation(uniformAnimation(256, 100, 50));
    ASSERT_TRUE(r);
    EXPECT_EQ(messages, std::vector<std::string>{kTextExceedFrames});

    // 385-pixel frames take 2 units: room for 3640 of them
    messages.clear();
    r = prep.PrepareAnimation(uniformAnimation(3641, 385, 1));
    ASSERT_TRUE(r);
    EXPECT_EQ(messages, std::vector<std::string>{kTextExceedAnimated});
    EXPECT_FALSE(prep.CheckCapacity(MemoryKind::AnimatedLogo));

    // 64 frames of 640 x 480 (800 units each, room for 9) are refused before the
    // stack is even allocated
    std::string error;
    EXPECT_FALSE(prep.PrepareAnimation(uniformAnimation(64, 640, 480), &error));
    EXPECT_EQ(error, kTextExceedAnimated);
}

TEST_F(PreparationTest, EmptyFramesAreLeftOutAndBlackIsReserved)
{
    Animation a = uniformAnimation(10, 3, 2);
    a.frames[4].indices.clear();
    a.frames[4].width = 0;
    a.frames[7].indices.assign(6, 0);  // opaque black
    auto r = prep.PrepareAnimation(a);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->frameCount, 9);
    EXPECT_FALSE(r->keyed);
    const QImage w = workImage();
    EXPECT_EQ(w.size(), QSize(3, 18));
    EXPECT_EQ(at(w, 0, 0), qRgb(10, 20, 30) & 0xFFFFFF);
    EXPECT_EQ(at(w, 2, 6 * 2 + 1), 0x010101u) << "frame 8 (band 6) is opaque black";
}

TEST_F(PreparationTest, GifFramesWithOffsetsDisposalAndTransparency)
{
    const std::vector<QRgb> global = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255)};
    GifFrameSpec f1;
    f1.width = 4;
    f1.height = 3;
    f1.indices = {1, 1, 1, 1, 1, 0, 0, 1, 1, 1, 1, 1};  // red with two black pixels
    f1.control = GifFrameSpec::Control{1, 7, -1};
    GifFrameSpec f2;  // green square at (3, 2), larger than the screen allows
    f2.left = 3;
    f2.top = 2;
    f2.width = 2;
    f2.height = 2;
    f2.indices = {2, 3, 3, 2};
    f2.control = GifFrameSpec::Control{1, 9, 3};  // blue is transparent: frame 1 shows through
    GifFrameSpec f3;  // without a graphic control extension, local table, interlaced
    f3.width = 1;
    f3.height = 4;
    f3.indices = {0, 1, 0, 1};
    f3.localColours = {qRgb(9, 9, 9), qRgb(1, 2, 3)};
    f3.interlace = true;
    GifFrameSpec f4;  // transparent index beyond its table: ignored
    f4.width = 1;
    f4.height = 1;
    f4.indices = {2};
    f4.control = GifFrameSpec::Control{0, 0, 200};
    f4.localColours = {qRgb(7, 7, 7), qRgb(8, 8, 8), qRgb(4, 5, 6)};

    const QByteArray bytes = makeGif(4, 3, global, 0, {f1, f2, f3, f4});
    const LoadedPicture loaded = LoadPictureBytes(bytes, "anim.GIF");
    ASSERT_TRUE(loaded.ok) << loaded.error;
    ASSERT_EQ(loaded.kind, SourceKind::Animation);
    ASSERT_EQ(loaded.animation.frames.size(), 4u);
    EXPECT_EQ(loaded.animation.frames[2].disposal, 0);
    EXPECT_EQ(loaded.animation.frames[2].transparentIndex, -1);
    EXPECT_EQ(loaded.animation.frames[3].transparentIndex, -1);
    EXPECT_EQ(loaded.animation.frames[2].indices, (std::vector<std::uint8_t>{0, 1, 0, 1}));

    auto r = prep.PrepareAnimation(loaded.animation);
    ASSERT_TRUE(r);
    EXPECT_EQ(r->frameCount, 4);
    EXPECT_EQ(r->delayMs, 70);
    EXPECT_TRUE(r->keyed);
    const QImage w = workImage();
    // bands sized by the largest left + width (5) and top + height (4)
    ASSERT_EQ(w.size(), QSize(5, 16));
    // band 0: frame 1, its black kept apart from transparency
    EXPECT_EQ(at(w, 0, 0), 0xFF0000u);
    EXPECT_EQ(at(w, 1, 1), 0x010101u);
    EXPECT_EQ(at(w, 4, 3), 0u) << "outside every frame";
    // band 1: frame 1 copied, frame 2 drawn over it at its offset, clipped to the band
    EXPECT_EQ(at(w, 0, 4), 0xFF0000u);
    EXPECT_EQ(at(w, 3, 4 + 2), 0x00FF00u);
    EXPECT_EQ(at(w, 3, 4 + 3), 0u) << "transparent over uncovered area: black";
    EXPECT_EQ(at(w, 4, 4 + 2), 0u) << "transparent, nothing below";
    EXPECT_EQ(at(w, 4, 4 + 3), 0x00FF00u);
    // band 2: frame 3 with its local table, de-interlaced
    EXPECT_EQ(at(w, 0, 8), 0x090909u);
    EXPECT_EQ(at(w, 0, 9), 0x010203u);
    EXPECT_EQ(at(w, 0, 11), 0x010203u);
    // band 3: frame 4's colour, its bogus transparency ignored
    EXPECT_EQ(at(w, 0, 12), 0x040506u);
}

TEST(PictureLoader, ExtensionsChooseTheDecoderWithoutRegardToCase)
{
    QImage src(8, 6, QImage::Format_RGB32);
    src.fill(qRgb(40, 160, 220));
    const QByteArray jpeg = makeJpeg(src);
    const QByteArray bmp = makeBmp(src);
    for (const char *name : {"photo.jpg", "photo.JPG", "photo.Jpeg"}) {
        const auto p = LoadPictureBytes(jpeg, name);
        ASSERT_TRUE(p.ok) << name;
        EXPECT_EQ(p.still.size(), QSize(8, 6));
        const QRgb c = p.still.pixel(3, 3);
        EXPECT_NEAR(qRed(c), 40, 6);
        EXPECT_NEAR(qGreen(c), 160, 6);
        EXPECT_NEAR(qBlue(c), 220, 6);
    }
    for (const char *name : {"logo.bmp", "logo.BMP", "logo.dib", "noextension"}) {
        const auto p = LoadPictureBytes(bmp, name);
        ASSERT_TRUE(p.ok) << name;
        EXPECT_EQ(p.still.convertToFormat(QImage::Format_RGB32), src);
    }
}

TEST(PictureLoader, WhatDoesNotDecodeIsAnInvalidPicture)
{
    QImage src(16, 16, QImage::Format_RGB32);
    src.fill(qRgb(1, 2, 3));
    const QByteArray jpeg = makeJpeg(src);
    const QByteArray bmp = makeBmp(src);
    const QByteArray gif = makeGif(2, 2, {qRgb(0, 0, 0), qRgb(9, 9, 9)}, 0, {GifFrameSpec{0, 0, 2, 2, {0, 1, 1, 0}, {}, {}, false}});
    ASSERT_TRUE(LoadPictureBytes(gif, "a.gif").ok);
    struct Case {
        QByteArray bytes;
        const char *name;
    } cases[] = {
        {jpeg, "a.bmp"},                    // not what the extension says
        {bmp, "a.jpg"},
        {bmp, "a.gif"},
        {jpeg.left(jpeg.size() / 2), "a.jpg"},  // truncated
        {bmp.left(bmp.size() - 10), "a.bmp"},
        {gif.left(gif.size() - 6), "a.gif"},
        {QByteArray(), "a.jpg"},
        {QByteArray(), "a.gif"},
        {QByteArray(), "a.bmp"},
    };
    for (const auto &c : cases) {
        const auto p = LoadPictureBytes(c.bytes, c.name);
        EXPECT_FALSE(p.ok) << c.name << " " << c.bytes.size();
        EXPECT_EQ(p.error, kTextInvalidPicture) << c.name;
    }
}

TEST(PictureLoader, AbsurdSizesAreRefusedBeforeAllocating)
{
    // A BMP header claiming 60000 x 60000 pixels, a GIF frame of 65535 x 65535
    // and a JPEG of 20000 x 20000: refused from their headers.
    QImage small(4, 4, QImage::Format_RGB888);
    small.fill(Qt::red);
    QByteArray bmp = makeBmp(small);
    const qint32 big = 60000;
    std::memcpy(bmp.data() + 18, &big, 4);
    std::memcpy(bmp.data() + 22, &big, 4);
    auto p = LoadPictureBytes(bmp, "huge.bmp");
    EXPECT_FALSE(p.ok);
    EXPECT_FALSE(p.error.empty());

    QByteArray gif = makeGif(2, 2, {qRgb(0, 0, 0), qRgb(9, 9, 9)}, 0, {GifFrameSpec{0, 0, 2, 2, {0, 1, 1, 0}, {}, {}, false}});
    const int desc = gif.indexOf(',');  // image descriptor: left, top, width, height (little-endian)
    ASSERT_GT(desc, 0);
    gif[desc + 5] = char(0xFF);
    gif[desc + 6] = char(0xFF);
    gif[desc + 7] = char(0xFF);
    gif[desc + 8] = char(0xFF);
    p = LoadPictureBytes(gif, "huge.gif");
    EXPECT_FALSE(p.ok);

    QByteArray jpeg = makeJpeg(small);
    const int sof = jpeg.indexOf(QByteArray("\xFF\xC0", 2));
    ASSERT_GT(sof, 0);
    jpeg[sof + 5] = char(0x4E);  // height 20000
    jpeg[sof + 6] = char(0x20);
    jpeg[sof + 7] = char(0x4E);  // width 20000
    jpeg[sof + 8] = char(0x20);
    p = LoadPictureBytes(jpeg, "huge.jpg");
    EXPECT_FALSE(p.ok);
    EXPECT_EQ(p.error, kTextExceedFrame);
}
