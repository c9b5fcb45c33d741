#include "historybands.h"

#include <QTest>
#include <cmath>

Q_DECLARE_METATYPE(BandInputs)

namespace {

constexpr double Open = std::numeric_limits<double>::quiet_NaN();

double orOpen(const std::optional<double> &v)
{
    return v ? *v : Open;
}

bool same(double a, double b)
{
    return std::isnan(a) ? std::isnan(b) : !std::isnan(b) && std::fabs(a - b) < 1e-9 * std::max(1.0, std::fabs(b));
}

} // namespace

class tst_HistoryBands : public QObject {
    Q_OBJECT
private slots:
    void bandFollowsTheNorm_data()
    {
        QTest::addColumn<QString>("normId");
        QTest::addColumn<int>("tap");
        QTest::addColumn<int>("row");
        QTest::addColumn<BandInputs>("inputs");
        QTest::addColumn<bool>("present");
        QTest::addColumn<double>("lower"); // NaN: open
        QTest::addColumn<double>("upper");

        BandInputs none;
        BandInputs passport;
        passport.type.p0 = 1000;
        passport.type.pk = 7000;
        passport.type.i0 = 2.0;
        passport.type.uk = 5.5;
        BandInputs highUk;
        highUk.type.uk = 12;
        BandInputs factory;
        factory.serial.ratio[2][1] = 25.0;
        factory.serial.resistance[0][2] = 1.1;
        factory.serial.resistanceTemperature = 40;
        BandInputs noTemperature = factory;
        noTemperature.serial.resistanceTemperature.reset();
        BandInputs tenKv;
        tenKv.highVoltage = 10000;
        BandInputs thirtyFiveKv;
        thirtyFiveKv.highVoltage = 35000;
        BandInputs hundredKv;
        hundredKv.highVoltage = 110000;

        QTest::newRow("P0: +15 % of the passport") << "losses.p0" << -1 << -1 << passport << true << Open << 1150.0;
        QTest::newRow("Pk: +15 % of the passport") << "losses.pk" << -1 << -1 << passport << true << Open << 8050.0;
        QTest::newRow("I0: +30 % of the passport") << "noload.current" << -1 << -1 << passport << true << Open << 2.6;
        QTest::newRow("P0 without a passport value") << "losses.p0" << -1 << -1 << none << false << Open << Open;
        QTest::newRow("uk below 10 %: ±10 %") << "uk" << -1 << -1 << passport << true << 4.95 << 6.05;
        QTest::newRow("uk from 10 %: ±7.5 %") << "uk" << -1 << -1 << highUk << true << 11.1 << 12.9;
        QTest::newRow("ratio: ±2 % of the factory's phase") << "ratio.factory" << 2 << 1 << factory << true << 24.5 << 25.5;
        QTest::newRow("ratio: another phase has no factory value") << "ratio.factory" << 2 << 0 << factory << false << Open << Open;
        QTest::newRow("resistance: factory value reduced to 20 °C, ±2 %")
            << "resistance.factory" << 0 << 2 << factory << true << 1.1 * 255 / 275 * 0.98 << 1.1 * 255 / 275 * 1.02;
        QTest::newRow("resistance: factory value without its temperature")
            << "resistance.factory" << 0 << 2 << noTemperature << false << Open << Open;
        QTest::newRow("Kabs: at least 1.3") << "insulation.kabs" << 0 << -1 << none << true << 1.3 << Open;
        QTest::newRow("R60 hangs on a temperature the history lacks") << "insulation.r60" << 0 << -1 << none << false << Open << Open;
        QTest::newRow("oil breakdown, class to 15 kV") << "oil.breakdown" << -1 << -1 << tenKv << true << 20.0 << Open;
        QTest::newRow("oil breakdown, class to 35 kV") << "oil.breakdown" << -1 << -1 << thirtyFiveKv << true << 25.0 << Open;
        QTest::newRow("oil breakdown, class beyond the norm") << "oil.breakdown" << -1 << -1 << hundredKv << false << Open << Open;
        QTest::newRow("oil breakdown without a rating") << "oil.breakdown" << -1 << -1 << none << false << Open << Open;
        QTest::newRow("acid number in service") << "oil.acid" << -1 << -1 << none << true << Open << 0.1;
        QTest::newRow("water in service") << "oil.water" << -1 << -1 << none << true << Open << 30.0;
        QTest::newRow("flash point judges a change, not a value") << "oil.flash" << -1 << -1 << none << false << Open << Open;
        QTest::newRow("no norm") << "" << -1 << -1 << passport << false << Open << Open;
    }
    void bandFollowsTheNorm()
    {
        QFETCH(QString, normId);
        QFETCH(int, tap);
        QFETCH(int, row);
        QFETCH(BandInputs, inputs);
        QFETCH(bool, present);
        QFETCH(double, lower);
        QFETCH(double, upper);
        const std::optional<NormBand> band = normBand(normId, tap, row, NormsTable::shipped(), inputs);
        QCOMPARE(band.has_value(), present);
        if (!band)
            return;
        QVERIFY2(same(orOpen(band->lower), lower), qPrintable(QString::number(orOpen(band->lower), 'g', 12)));
        QVERIFY2(same(orOpen(band->upper), upper), qPrintable(QString::number(orOpen(band->upper), 'g', 12)));
        QVERIFY(!band->text.isEmpty());
        QVERIFY(!band->source.isEmpty());
    }
};

QTEST_GUILESS_MAIN(tst_HistoryBands)
#include "tst_historybands.moc"
