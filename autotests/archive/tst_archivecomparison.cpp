#include "archivecomparison.h"
#include "cataloguefile.h"
#include "codepage1251.h"
#include "declaredstore.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// "Temperature=20; Ukz112=4.6" as results.
QMap<QString, QString> resultsOf(const QString &text)
{
    QMap<QString, QString> results;
    for (const QString &pair : text.split(u';', Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(u'=');
        results.insert(pair.left(eq).trimmed(), pair.mid(eq + 1).trimmed());
    }
    return results;
}

std::optional<double> optionalOf(double v)
{
    return qIsNaN(v) ? std::nullopt : std::optional<double>(v);
}

// The shipped norms with one text replaced, as a workshop would edit its copy.
NormsTable editedNorms(const QString &from, const QString &to, const QString &folder)
{
    QFile shipped(ShippedNormsPath);
    if (!shipped.open(QIODevice::ReadOnly))
        return {};
    QString text = decodeWindows1251(shipped.readAll());
    if (!text.contains(from))
        qFatal("the shipped norms lack the text to edit");
    text.replace(from, to);
    QFile copy(folder + u"/edited-norms.ini"_s);
    if (!copy.open(QIODevice::WriteOnly) || copy.write(encodeWindows1251(text)) < 0)
        return {};
    copy.close();
    QString error;
    NormsTable table = NormsTable::fromFile(copy.fileName(), &error);
    if (!error.isEmpty())
        qFatal("%s", qPrintable(error));
    return table;
}

} // namespace

class tst_ArchiveComparison : public QObject {
    Q_OBJECT
private slots:
    void changeIsPercentOfTheEarlierValue_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<double>("change"); // NaN: no percentage
        QTest::addColumn<bool>("marked");
        const double none = qQNaN();
        QTest::newRow("unchanged") << "1240.5" << "1240.5" << 0.0 << false;
        QTest::newRow("exactly 2 % up") << "100" << "102" << 2.0 << false;
        QTest::newRow("exactly 2 % down") << "50.0" << "49.0" << -2.0 << false;
        QTest::newRow("just beyond 2 %") << "100" << "102.01" << 2.01 << true;
        QTest::newRow("losses fell 10 %") << "1500" << "1350" << -10.0 << true;
        QTest::newRow("negative earlier value") << "-4.0" << "-3.0" << 25.0 << true;
        QTest::newRow("regional comma") << "1,250" << "1,275" << 2.0 << false;
        QTest::newRow("digit groups") << "1 234,5" << "1234.5" << 0.0 << false;
        QTest::newRow("padding of results") << "  0.512" << "0.512  " << 0.0 << false;
        QTest::newRow("zero before") << "0" << "0.3" << none << true;
        QTest::newRow("zero both") << "0.000" << "0" << none << false;
        QTest::newRow("not measured before") << "" << "1.2" << none << false;
        QTest::newRow("no number") << "обрыв" << "1.2" << none << false;
    }
    void changeIsPercentOfTheEarlierValue()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(double, change);
        QFETCH(bool, marked);
        const std::optional<double> actual = ArchiveComparison::changePercent(before, after);
        if (qIsNaN(change)) {
            QVERIFY(!actual);
        } else {
            QVERIFY(actual);
            QVERIFY2(qAbs(*actual - change) < 1e-9, qPrintable(QString::number(*actual, 'g', 17)));
        }
        QCOMPARE(ArchiveComparison::isMarked(before, after), marked);
    }

    void changeTextHasSignAndOneDecimal_data()
    {
        QTest::addColumn<double>("change");
        QTest::addColumn<QString>("text");
        QTest::newRow("up") << 2.04 << "+2.0";
        QTest::newRow("down") << -10.0 << "-10.0";
        QTest::newRow("tiny down is zero") << -0.01 << "0.0";
        QTest::newRow("none") << qQNaN() << "—";
    }
    void changeTextHasSignAndOneDecimal()
    {
        QFETCH(double, change);
        QFETCH(QString, text);
        const std::optional<double> value = qIsNaN(change) ? std::nullopt : std::optional<double>(change);
        QCOMPARE(ArchiveComparison::changeText(value), text);
    }

    void rowsFollowTheProtocolAndSkipWhatNeitherHolds()
    {
        ArchiveRecord before;
        ArchiveRecord after;
        before.results = {{"Ixx00", "0.500"}, {"Pxx00", "1200"},
                          {StateFile::gridKey(StateFile::TransformGrid, 3, 1), "25.00"},
                          {StateFile::gridKey(StateFile::ResistenceGrid, 1, 3), "1,50"},
                          {StateFile::gridKey(StateFile::ResistenceGrid, 5, 0), "0,0021"},
                          {"KabsHL", "1.35"}};
        after.results = {{"Ixx00", "0.505"}, {"Pxx00", "1300"},
                         {StateFile::gridKey(StateFile::TransformGrid, 3, 1), "25.10"},
                         {StateFile::gridKey(StateFile::ResistenceGrid, 1, 3), "3,10"},
                         {StateFile::gridKey(StateFile::ResistenceGrid, 5, 0), "0,0021"},
                         {"KabsHL", "1.35"}};
        after.fields = {{"QRCircuit", "U / D - 11"}};
        const QList<ArchiveComparison::Row> rows = ArchiveComparison::compare(before, after);
        QStringList quantities;
        for (const auto &row : rows)
            quantities.append(row.quantity);
        QCOMPARE(quantities, (QStringList{"Ток холостого хода, А", "Потери холостого хода, Вт",
                                          "K, II ступень, Ubc", "Небаланс, II ступень, %",
                                          "R обмоток НН, ab, Ом", "Кабс 60/15 ВН - НН"}));
        const ArchiveComparison::Context norms;
        const QList<ArchiveComparison::Row> judged = ArchiveComparison::compare(before, after, norms);
        QCOMPARE(judged.size(), rows.size());
        QCOMPARE(judged[0].marked, false); // +1 %
        QCOMPARE(judged[1].marked, false); // +8.3 %, within the +15 % of no-load losses
        QCOMPARE(judged[1].section, QStringLiteral("Холостой ход"));
        QCOMPARE(judged[3].marked, true);  // the imbalance 3.1 % beyond 2 %
        QCOMPARE(judged[3].before, QStringLiteral("1,50"));
    }

    // Each quantity by its own norm; the norm named beside a marked change, the reason
    // beside one the norm cannot judge.
    void eachQuantityIsHeldToItsOwnNorm_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("resultsBefore"); // "Temperature=20; Ukz112=4.6"
        QTest::addColumn<QString>("resultsAfter");
        QTest::addColumn<double>("material");       // NaN: not known
        QTest::addColumn<double>("insulationBefore");
        QTest::addColumn<double>("insulationAfter");
        QTest::addColumn<bool>("marked");
        QTest::addColumn<QString>("norm");          // the row's text begins so; "" = empty
        const double none = qQNaN();
        const QString k = StateFile::gridKey(StateFile::TransformGrid, 3, 1);
        const QString r = StateFile::gridKey(StateFile::ResistenceGrid, 2, 0);
        const QString lv = StateFile::gridKey(StateFile::ResistenceGrid, 5, 1);
        const QString imbalance = StateFile::gridKey(StateFile::ResistenceGrid, 2, 3);
        const QString at20 = u"Temperature=20"_s;
        const QString ratioNorm = u"; отличается не более чем на 2 % от предыдущего значения (РД 34.45-51.300-97 §6; СТО РЖД 12.003-2011 §7.10)"_s;
        const QString resistanceNorm = u"; отличается не более чем на 2 % от предыдущего значения (РД 34.45-51.300-97 §6; СТО РЖД 12.003-2011 §7.9)"_s;

        QTest::newRow("ratio +2 % exactly") << k << "25.00" << "25.50" << "" << "" << none << none << none << false << "";
        QTest::newRow("ratio +2.04 %") << k << "25.00" << "25.51" << "" << "" << none << none << none << true
                                       << u"изменение +2.04 %"_s + ratioNorm;
        QTest::newRow("ratio fell 2.4 %") << k << "25,00" << "24,40" << "" << "" << none << none << none << true
                                          << "изменение -2.40 %";
        QTest::newRow("ratio after an earlier 0") << k << "0" << "25.0" << "" << "" << none << none << none << true
                                                  << u"ранее 0"_s + ratioNorm;

        QTest::newRow("R at one temperature, +1.86 %") << r << "5.92" << "6.03" << at20 << at20 << none << none << none
                                                       << false << "";
        QTest::newRow("R at one temperature, +2.7 %") << r << "5.92" << "6.08" << at20 << at20 << none << none << none
                                                      << true << u"изменение +2.70 % при одной температуре 20 °C"_s + resistanceNorm;
        // +3.4 % as read, +0.25 % once the earlier value is brought to 28 °C.
        QTest::newRow("R warmer now, copper") << r << "0.500" << "0.517" << at20 << "Temperature=28" << 235.0 << none
                                              << none << false << "";
        // Unchanged as read, +3.92 % at one temperature: the winding was 10 °C warmer before.
        QTest::newRow("R colder now, copper") << r << "0.500" << "0.500" << "Temperature=30" << at20 << 235.0 << none
                                              << none << true
                                              << u"ранее приведено от 30 °C к 20 °C (T = 235): 0.4811 Ом, изменение +3.92 %"_s
                                                     + resistanceNorm;
        QTest::newRow("R 40 °C apart, copper") << lv << "0.500" << "0.4385" << "Temperature=60" << at20 << 235.0 << none
                                               << none << false << "";
        QTest::newRow("R 40 °C apart, aluminium") << lv << "0.500" << "0.4385" << "Temperature=60" << at20 << 225.0
                                                  << none << none << true << "ранее приведено от 60 °C к 20 °C (T = 225)";
        QTest::newRow("R, no earlier temperature") << r << "0.500" << "0.600" << "" << at20 << 235.0 << none << none
                                                   << false << "не сравнивается: нет температуры обмотки в протоколе «Ранее»";
        QTest::newRow("R, no later temperature") << r << "0.500" << "0.600" << at20 << "Temperature=" << 235.0 << none
                                                 << none << false << "не сравнивается: нет температуры обмотки в протоколе «Теперь»";
        QTest::newRow("R, a temperature typed wrong") << r << "0.500" << "0.600" << "Temperature=-300" << at20 << 235.0
                                                      << none << none << false << "не сравнивается: нет температуры обмотки в протоколе «Ранее»";
        QTest::newRow("R, material unknown") << r << "0.500" << "0.600" << "Temperature=25" << at20 << none << none
                                             << none << false << "не сравнивается: не известен материал обмоток";

        QTest::newRow("imbalance beyond 2 %") << imbalance << "0.50 %" << "2.40 %" << "" << "" << none << none << none
                                              << true << "теперь 2.4 %; не более 2 % между фазами";
        QTest::newRow("imbalance grew, within 2 %") << imbalance << "0.50 %" << "1.95 %" << "" << "" << none << none
                                                    << none << false << "";

        QTest::newRow("P0 +15 %") << "Pxx00" << "1000" << "1150" << "" << "" << none << none << none << false << "";
        QTest::newRow("P0 +15.1 %") << "Pxx00" << "1000" << "1151" << "" << "" << none << none << none << true
                                    << "рост +15.10 %; не более +15 %";
        QTest::newRow("P0 fell 30 %") << "Pxx00" << "1000" << "700" << "" << "" << none << none << none << false << "";
        QTest::newRow("Pk at 75 °C +16 %") << "Pkz12" << "3000" << "3480" << "" << "" << none << none << none << true
                                           << "рост +16.00 %";
        QTest::newRow("I0 +25 %") << "Ixx01" << "2.00" << "2.50" << "" << "" << none << none << none << false << "";
        QTest::newRow("I0 +31 %") << "Ixx00" << "7.00" << "9.17" << "" << "" << none << none << none << true
                                  << "рост +31.00 %; не более +30 % от паспортного";

        QTest::newRow("uk 4.6 %, +9 %") << "Ukz111" << "4.60" << "5.014" << "Ukz112=4.6" << "" << none << none << none
                                        << false << "";
        QTest::newRow("uk 4.6 %, +11 %") << "Ukz111" << "4.60" << "5.106" << "Ukz112=4.6" << "" << none << none << none
                                         << true << "изменение +11.00 %, допуск ±10 % (uk 4.6 %)";
        QTest::newRow("uk 10.5 %, +9 %") << "Ukz102" << "400" << "436" << "Ukz112=10.5" << "" << none << none << none
                                         << true << "изменение +9.00 %, допуск ±7.5 % (uk 10.5 %)";
        QTest::newRow("uk not known, -8 %") << "Ukz101" << "400" << "368" << "" << "" << none << none << none << true
                                            << "изменение -8.00 %, допуск ±7.5 % (uk не известно)";

        QTest::newRow("R60 halved and more, same temperature") << "RHigh60" << "4000" << "1990" << "" << "" << none
                                                              << 20.0 << 20.0 << true
                                                              << "ранее приведено от 20 °C к 20 °C (K2 = 1): 4000 МОм, изменение -50.25 %";
        QTest::newRow("R60 -47.5 %, 10 °C warmer now") << "RLow60" << "4000" << "2100" << "" << "" << none << 20.0
                                                      << 30.0 << false << "";
        QTest::newRow("R60 -47.5 %, 10 °C colder now") << "RHL60" << "4000" << "2100" << "" << "" << none << 30.0
                                                      << 20.0 << true << "ранее приведено от 30 °C к 20 °C (K2 = 1.5): 6000 МОм";
        QTest::newRow("R60, no earlier insulation temperature") << "RHigh60" << "4000" << "100" << "" << "" << none
                                                               << none << 20.0 << false
                                                               << "не сравнивается: нет температуры измерения изоляции в протоколе «Ранее»";
        QTest::newRow("R60, temperatures beyond K2") << "RHigh60" << "4000" << "100" << "" << "" << none << 10.0 << 90.0
                                                    << false << "не сравнивается: разность температур 80 °C вне таблицы K2";
        QTest::newRow("R15 has no norm") << "RHigh15" << "4000" << "100" << "" << "" << none << 20.0 << 20.0 << false << "";
        QTest::newRow("Kabs below 1.3") << "KabsHigh" << "1.60" << "1.25" << "" << "" << none << none << none << true
                                        << "теперь 1.25; не менее 1,3";
        QTest::newRow("Kabs fell, still 1.3") << "KabsHigh" << "1.60" << "1.30" << "" << "" << none << none << 20.0
                                              << false << "";
        QTest::newRow("Kabs measured at 40 °C") << "KabsLow" << "1.60" << "1.10" << "" << "" << none << none << 40.0
                                                << false << "не сравнивается: изоляция измерена при 40 °C, норма - при 10-30 °C";
    }
    void eachQuantityIsHeldToItsOwnNorm()
    {
        QFETCH(QString, key);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, resultsBefore);
        QFETCH(QString, resultsAfter);
        QFETCH(double, material);
        QFETCH(double, insulationBefore);
        QFETCH(double, insulationAfter);
        QFETCH(bool, marked);
        QFETCH(QString, norm);
        ArchiveRecord earlier, later;
        earlier.results = resultsOf(resultsBefore);
        later.results = resultsOf(resultsAfter);
        earlier.results.insert(key, before);
        later.results.insert(key, after);
        ArchiveComparison::Context context;
        context.materialConstant = optionalOf(material);
        context.insulationTemperatureBefore = optionalOf(insulationBefore);
        context.insulationTemperatureAfter = optionalOf(insulationAfter);
        const QList<ArchiveComparison::Row> rows = ArchiveComparison::compare(earlier, later, context);
        QCOMPARE(rows.size(), 1);
        const ArchiveComparison::Row *row = &rows[0];
        QVERIFY2(norm.isEmpty() ? row->norm.isEmpty() : row->norm.startsWith(norm), qPrintable(row->norm));
        QCOMPARE(row->marked, marked);
    }

    // A zero allowance: a workshop holding R60 to 100 % of the previous value marks any fall,
    // and the norm of a workshop's copy is the one named.
    void aWorkshopsNormIsTheOneApplied_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<bool>("marked");
        QTest::newRow("R60 to 100 %, any fall") << "Значения=50\r\n\r\n[oil.breakdown]" << "Значения=100\r\n\r\n[oil.breakdown]"
                                              << "RHigh60" << "4000" << "3999" << true;
        QTest::newRow("R60 to 100 %, no change") << "Значения=50\r\n\r\n[oil.breakdown]" << "Значения=100\r\n\r\n[oil.breakdown]"
                                               << "RHigh60" << "4000" << "4000" << false;
        QTest::newRow("ratio to 3 %") << "Значения=2\r\n\r\n[ratio.declared]" << "Значения=3\r\n\r\n[ratio.declared]"
                                      << StateFile::gridKey(StateFile::TransformGrid, 1, 0) << "25.00" << "25.70" << false;
    }
    void aWorkshopsNormIsTheOneApplied()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, key);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(bool, marked);
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        ArchiveComparison::Context context;
        context.norms = editedNorms(from, to, folder.path());
        context.insulationTemperatureBefore = 20;
        context.insulationTemperatureAfter = 20;
        ArchiveRecord earlier, later;
        earlier.results.insert(key, before);
        later.results.insert(key, after);
        const QList<ArchiveComparison::Row> rows = ArchiveComparison::compare(earlier, later, context);
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].marked, marked);
    }

    // What the archive window compares with: the workshop's norms, the material of the
    // type, the insulation temperatures kept with each test.
    void theContextIsTakenFromWhereTheProgramKeepsIt()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        setRecordsDirectoryForTests(folder.path());
        TransformerType type;
        type.material = 1;
        QCOMPARE(CatalogueFile::saveType(u"ТМ-250/10"_s, type), CatalogueFile::SaveResult::Saved);
        DeclaredStore::TestRecord test;
        test.declared.insulationTemperature = 30;
        DeclaredStore::saveTest(u"104587"_s, u"17"_s, test);
        test.declared.insulationTemperature = 20;
        DeclaredStore::saveTest(u"104587"_s, u"31"_s, test);
        ArchiveRecord earlier, later;
        earlier.type = later.type = u"ТМ-250/10"_s;
        earlier.serialNumber = later.serialNumber = u"104587"_s;
        earlier.protocolNumber = u"17"_s;
        later.protocolNumber = u"31"_s;

        ArchiveComparison::Context context = ArchiveComparison::contextInForce(earlier, later);
        QCOMPARE(context.materialConstant, std::optional<double>(225));
        QCOMPARE(context.insulationTemperatureBefore, std::optional<double>(30));
        QCOMPARE(context.insulationTemperatureAfter, std::optional<double>(20));
        QCOMPARE(context.norms.value(u"ratio.previous"_s, 0), 2.0);

        // The record's own material wins over its type's; a workshop copy of the norms applies.
        later.results.insert(u"Material"_s, u"медь"_s);
        QVERIFY(writeWorkshopNormsCopy());
        QFile copy(workshopNormsPath());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QString text = decodeWindows1251(copy.readAll());
        copy.close();
        text.replace(u"Значения=2\r\n\r\n[ratio.declared]"_s, u"Значения=4\r\n\r\n[ratio.declared]"_s);
        QVERIFY(copy.open(QIODevice::WriteOnly | QIODevice::Truncate));
        copy.write(encodeWindows1251(text));
        copy.close();
        context = ArchiveComparison::contextInForce(earlier, later);
        QCOMPARE(context.materialConstant, std::optional<double>(235));
        QCOMPARE(context.norms.value(u"ratio.previous"_s, 0), 4.0);
        setRecordsDirectoryForTests(QString());
    }
};

QTEST_GUILESS_MAIN(tst_ArchiveComparison)
#include "tst_archivecomparison.moc"
