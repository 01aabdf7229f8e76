// Input selection against the simulated device, in real time over TCP on
// 127.0.0.1: after the link is up and the register dump is in, pressing a source
// button asks for it on preview ("cn"), the button turns green when the device
// reports it there; TAKE (1TK) runs the effect and the device swaps main and
// preview, and the highlight follows: the new main source red, the old one green.
// About 10 s, most of it the link's own probing.
// The simulator's headers come first: its device model has a member named emit.
#include "sim_host.h"
#include "sim_models.h"

#include "input_selection.h"
#include "main_window.h"
#include "qt_link.h"

#include <QPushButton>
#include <QtTest>

using namespace varnel;
using namespace varnel::app;

class TestInputsEndToEnd : public QObject {
    Q_OBJECT
private slots:
    void chooseAndTakeFollowTheDevice();
};

void TestInputsEndToEnd::chooseAndTakeFollowTheDevice()
{
    sim::SimHost::Options options;
    options.tcp = true;
    options.tcpPort = 0;
    sim::SimHost device(*sim::findModel("VRK610"), options);
    QString error;
    if (!device.start(&error))
        QSKIP(qPrintable(QStringLiteral("cannot start the simulated device: ") + error));

    TForm_Main_VarnelOrla window(makeQtDriver());
    window.initialise();
    window.show();
    TVRK_610_d &d = window.VRK_610_d1();
    d.setIpRemoteAddress("127.0.0.1");
    d.setIpRemotePort(device.tcpPort());
    d.setConType(tConnectionType::CON_TCP);

    QTRY_VERIFY_WITH_TIMEOUT(!window.notConnected(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(window.queryDone() || d.queryall() == 0, 6000);
    QTRY_VERIFY_WITH_TIMEOUT(window.findChild<QWidget *>(QStringLiteral("panelPleaseWait"))->isHidden(), 6000);

    const int oldMain = int(d.ICHM());
    int chosen = 1;
    while (chosen == oldMain || chosen == int(d.ICHP()))
        ++chosen;
    auto *button = window.findChild<QPushButton *>(QStringLiteral("buttonInput%1").arg(chosen));
    QVERIFY(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);

    // Requested, then on preview: bold green.
    QTRY_COMPARE_WITH_TIMEOUT(int(d.ICHP()), chosen, 3000);
    TInputSelection &inputs = window.inputSelection();
    QTRY_COMPARE_WITH_TIMEOUT(inputs.shownLook(chosen).colour, SourceLook::Green, 2000);
    QVERIFY(inputs.shownLook(chosen).bold);
    QCOMPARE(inputs.shownLook(oldMain).colour, SourceLook::Red);

    // TAKE: the device runs the effect and swaps the outputs.
    d.setTAKE(1 - d.TAKE());
    QTRY_COMPARE_WITH_TIMEOUT(int(d.ICHM()), chosen, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(int(d.ICHP()), oldMain, 3000);
    QTRY_VERIFY_WITH_TIMEOUT(inputs.shownLook(chosen).colour == SourceLook::Red && button->isChecked(), 2000);
    QTRY_COMPARE_WITH_TIMEOUT(inputs.shownLook(oldMain).colour, SourceLook::Green, 2000);
}

QTEST_MAIN(TestInputsEndToEnd)
#include "tst_inputs_end_to_end.moc"
