// TConversion: displayed text of device values (rounding halves away from zero),
// device values of entries (out-of-range entries become the middle of the range),
// and the overflow checks of the limits.
#include "conversion.h"

#include <QTest>

#include <climits>
#include <stdexcept>

using varnel::picture::TConversion;

Q_DECLARE_METATYPE(TConversion)

class TestConversion : public QObject {
    Q_OBJECT
private slots:
    void positionDriver_data()
    {
        QTest::addColumn<TConversion>("conversion");
        QTest::addColumn<int>("device");
        QTest::addColumn<QString>("shown");
        const auto c1 = TConversion::Conversion1();
        const auto zoom = TConversion::Conversion_Zoom();
        QTest::newRow("Conversion1 0") << c1 << 0 << "-128";
        QTest::newRow("Conversion1 128") << c1 << 128 << "0";
        QTest::newRow("Conversion1 255") << c1 << 255 << "127";
        QTest::newRow("Zoom 0") << zoom << 0 << "100";
        QTest::newRow("Zoom 10") << zoom << 10 << "105";
        QTest::newRow("Zoom 11 (105.5 rounds up)") << zoom << 11 << "106";
        QTest::newRow("Zoom 13 (106.5 rounds up, not to even)") << zoom << 13 << "107";
        QTest::newRow("Zoom 200") << zoom << 200 << "200";
        QTest::newRow("negative half rounds away from zero") << TConversion(0, 2, -3, -2) << 1 << "-3";
        QTest::newRow("equal device limits") << TConversion(5, 5, -10, 10) << 77 << "0";
        QTest::newRow("device minimum is not subtracted") << TConversion(10, 20, 0, 10) << 10 << "10";
        QTest::newRow("wide range shows its whole integer") << TConversion(0, 1, 0, 5000) << 1 << "5000";
    }
    void positionDriver()
    {
        QFETCH(TConversion, conversion);
        QFETCH(int, device);
        QFETCH(QString, shown);
        QCOMPARE(QString::fromStdString(conversion.PositionDriver(device)), shown);
    }

    void positionAffichage_data()
    {
        QTest::addColumn<TConversion>("conversion");
        QTest::addColumn<int>("entry");
        QTest::addColumn<int>("device");
        const auto c1 = TConversion::Conversion1();
        const auto zoom = TConversion::Conversion_Zoom();
        QTest::newRow("Conversion1 -128") << c1 << -128 << 0;
        QTest::newRow("Conversion1 0") << c1 << 0 << 128;
        QTest::newRow("Conversion1 127") << c1 << 127 << 255;
        QTest::newRow("Conversion1 above: middle -0.5 rounds to -1") << c1 << 128 << 127;
        QTest::newRow("Zoom 100") << zoom << 100 << 0;
        QTest::newRow("Zoom 150") << zoom << 150 << 100;
        QTest::newRow("Zoom 200") << zoom << 200 << 200;
        QTest::newRow("Zoom 90 is outside: middle 150") << zoom << 90 << 100;
        QTest::newRow("Zoom 201 is outside: middle 150") << zoom << 201 << 100;
        QTest::newRow("quotient half rounds up") << TConversion(0, 1, 0, 2) << 1 << 1;
        QTest::newRow("equal displayed limits") << TConversion(0, 255, 7, 7) << 7 << 0;
    }
    void positionAffichage()
    {
        QFETCH(TConversion, conversion);
        QFETCH(int, entry);
        QFETCH(int, device);
        QCOMPARE(conversion.PositionAffichage(entry), device);
    }

    void overflowIsReported()
    {
        const TConversion wideDriver(INT_MIN, INT_MAX, 0, 10);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, wideDriver.PositionDriver(1));
        const TConversion wideDisplay(0, 10, INT_MIN, INT_MAX);
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, wideDisplay.PositionAffichage(0));
        const TConversion bigProduct(0, 100000, 0, 100000);
        QCOMPARE(bigProduct.PositionAffichage(21474), 21474);  // 2147400000 fits 32 bits
        QVERIFY_THROWS_EXCEPTION(std::overflow_error, bigProduct.PositionAffichage(21475));
    }
};

QTEST_APPLESS_MAIN(TestConversion)
#include "tst_conversion.moc"
