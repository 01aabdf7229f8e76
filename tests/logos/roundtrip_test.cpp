// End to end against the simulator (varnel-sim, started for the test) over a
// loopback TCP connection and over a pseudo-terminal: a luma-keyed still logo, a
// frame with large uniform areas and an animated GIF are prepared, sent, stored
// by the simulator and retrieved again pixel for pixel, with the same engine and
// Qt driver the application uses. The command-line tool is run once each way.
#include "picture_fixtures.h"
#include "picture_preparation.h"
#include "picture_session.h"
#include "qt_link.h"
#include "test_app.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace varnel;
using namespace varnel::logos;
using namespace varnel::logos::test;

namespace {

/// varnel-sim on a free loopback port and a pseudo-terminal.
struct Simulator {
    QProcess process;
    quint16 tcpPort = 0;
    QString serialPath;

    bool start(QString *why)
    {
        process.setProgram(QStringLiteral(VARNEL_SIM_PATH));
        process.setArguments({"--tcp", "--tcp-port", "0", "--serial", "--address", "127.0.0.1"});
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start();
        if (!process.waitForStarted(5000)) {
            *why = process.errorString();
            return false;
        }
        QString out;
        for (int i = 0; i < 100 && (tcpPort == 0 || serialPath.isEmpty()); ++i) {
            process.waitForReadyRead(100);
            out += QString::fromLocal8Bit(process.readAllStandardOutput());
            const auto tcp = QRegularExpression(QStringLiteral("tcp 127\\.0\\.0\\.1:(\\d+)")).match(out);
            if (tcp.hasMatch())
                tcpPort = quint16(tcp.captured(1).toUInt());
            const auto serial = QRegularExpression(QStringLiteral("serial (\\S+)")).match(out);
            if (serial.hasMatch())
                serialPath = serial.captured(1);
        }
        *why = out;
        return tcpPort != 0 && !serialPath.isEmpty();
    }
    ~Simulator()
    {
        process.terminate();
        if (!process.waitForFinished(3000))
            process.kill();
        process.waitForFinished(1000);
    }
};

QImage stillLogo()
{
    QImage img(48, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 48; ++x)
            img.setPixel(x, y, qRgb(x * 5, y * 7, (x * y) % 256));
    return img;
}

QImage uniformFrame()
{
    QImage img(160, 100, QImage::Format_RGB32);
    img.fill(qRgb(10, 60, 200));
    for (int y = 40; y < 70; ++y)
        for (int x = 0; x < 160; ++x)
            img.setPixel(x, y, x < 80 ? qRgb(250, 250, 250) : qRgb(x, 0, y));
    return img;
}

QByteArray animatedGif()
{
    const std::vector<QRgb> colours = {qRgb(0, 0, 0), qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(30, 40, 50)};
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < 3; ++i) {
        GifFrameSpec f;
        f.left = i * 2;
        f.top = i;
        f.width = 14;
        f.height = 9;
        f.indices.resize(14 * 9);
        for (std::size_t k = 0; k < f.indices.size(); ++k)
            f.indices[k] = std::uint8_t((k / 7 + std::size_t(i)) % 4);
        f.control = GifFrameSpec::Control{1, 12, 3};
        frames.push_back(f);
    }
    return makeGif(20, 12, colours, 0, frames);
}

struct RoundTripTest : ::testing::TestWithParam<tConnectionType> {
    static inline std::unique_ptr<Simulator> sim;

    static void SetUpTestSuite()
    {
        app();
        sim = std::make_unique<Simulator>();
        QString why;
        if (!sim->start(&why)) {
            sim.reset();
            GTEST_LOG_(WARNING) << "simulator did not start: " << why.toStdString();
        }
    }
    static void TearDownTestSuite() { sim.reset(); }

    std::unique_ptr<TVRK_610_d> connect()
    {
        auto driver = makeQtDriver();
        driver->SetRanges(&VarRanges, false);
        if (GetParam() == tConnectionType::CON_TCP) {
            driver->setIpRemoteAddress("127.0.0.1");
            driver->setIpRemotePort(sim->tcpPort);
        } else {
            driver->setPort(sim->serialPath.toStdString());
        }
        driver->setConType(GetParam());
        return driver;
    }

    /// Sends the prepared picture, retrieves the memory again and compares.
    void roundTrip(TVRK_610_d &driver, WorkPicture &sent, TransferJob job, std::uint8_t retrieveSlot)
    {
        ASSERT_EQ(RunTransfer(driver, sent, job), "");
        TransferJob back{false, std::uint8_t(job.kindCode & 0x0F), retrieveSlot};
        WorkPicture got;
        ASSERT_EQ(RunTransfer(driver, got, back), "");
        EXPECT_EQ(back.frameCount, job.frameCount);
        EXPECT_EQ(back.frameDelay, job.frameDelay);
        std::lock_guard a(sent.mutex), b(got.mutex);
        EXPECT_EQ(got.image, sent.image);
        EXPECT_EQ(driver.ConMode(), tConnectionMode::MODE_VAR);
    }
};

}  // namespace

TEST_P(RoundTripTest, StillFrameAndAnimationComeBackUnchanged)
{
    if (!sim)
        GTEST_SKIP() << "simulator not available";
    auto driver = connect();
    ASSERT_TRUE(WaitForDevice(*driver, 20000)) << "device not found";

    WorkPicture picture;
    TPicturePreparation prep(picture);
    prep.LLEVEL = 40;  // some dark pixels keyed to black
    ASSERT_TRUE(prep.PrepareStill(stillLogo()));
    ASSERT_TRUE(prep.CheckCapacity(MemoryKind::StillLogo));
    roundTrip(*driver, picture, {true, kKindStillLogo | kKindKeyed, 5, 1, 0}, 5);

    prep.LLEVEL = 0;
    ASSERT_TRUE(prep.PrepareStill(uniformFrame()));
    ASSERT_TRUE(prep.CheckCapacity(MemoryKind::Frame));
    roundTrip(*driver, picture, {true, kKindFrame, 2, 1, 0}, 2);

    const LoadedPicture gif = LoadPictureBytes(animatedGif(), "anim.gif");
    ASSERT_TRUE(gif.ok) << gif.error;
    const auto r = prep.PrepareAnimation(gif.animation);
    ASSERT_TRUE(r);
    ASSERT_EQ(r->frameCount, 3);
    ASSERT_TRUE(r->keyed);
    roundTrip(*driver, picture, {true, kKindAnimatedLogo | kKindKeyed, 9, 3, std::uint16_t(r->delayMs)}, 10);
}

INSTANTIATE_TEST_SUITE_P(Links, RoundTripTest, ::testing::Values(tConnectionType::CON_TCP, tConnectionType::CON_RS232),
                         [](const auto &info) { return info.param == tConnectionType::CON_TCP ? "Tcp" : "PseudoTerminal"; });

TEST(PictureTool, SendsAndGetsOverTcpAndRefusesWhatDoesNotFit)
{
    app();
    Simulator sim;
    QString why;
    if (!sim.start(&why))
        GTEST_SKIP() << "simulator not available: " << why.toStdString();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString in = dir.filePath("logo.BMP"), out = dir.filePath("back.bmp"), big = dir.filePath("big.bmp");
    ASSERT_TRUE(stillLogo().save(in, "BMP"));
    QImage(600, 600, QImage::Format_RGB32).save(big, "BMP");
    auto run = [&](QStringList args, QString *stderrText = nullptr) {
        QProcess p;
        p.setProgram(QStringLiteral(VARNEL_PICTURE_PATH));
        p.setArguments(QStringList{"--address", "127.0.0.1", "--port", QString::number(sim.tcpPort), "--quiet"} + args);
        p.start();
        p.waitForFinished(120000);
        if (stderrText)
            *stderrText = QString::fromLocal8Bit(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    EXPECT_EQ(run({"send", in, "--logo", "4"}), 0);
    EXPECT_EQ(run({"get", "--logo", "4", out}), 0);
    QImage back(out);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.convertToFormat(QImage::Format_RGB32), stillLogo());
    QString err;
    EXPECT_EQ(run({"send", big, "--logo", "1"}, &err), 2);
    EXPECT_TRUE(err.contains("Picture exceed logo size")) << err.toStdString();
    EXPECT_EQ(run({"send", in, "--frame", "1", "--keyed"}, &err), 2);
}
