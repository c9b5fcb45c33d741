#include "resultrecord.h"
#include "statefile.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ResultId)

// The record of results: one id per quantity, its text as written and the number that text
// reads as; the names it keeps are the state file's keys.
class TstResultRecord : public QObject {
    Q_OBJECT
private slots:
    void valueIsTheNumberTheTextShows_data();
    void valueIsTheNumberTheTextShows();
    void resistanceReadsTheRegionsSeparator();
    void changeIsToldOnlyWhenTheTextChanges();
    void everyResultKeyOfTheStateFileIsAQuantity();
    void tablesAreReachedByTapAndPhase();
    void quantitiesStandInTheOrderOfTheirIds();
};

void TstResultRecord::valueIsTheNumberTheTextShows_data()
{
    QTest::addColumn<ResultId>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("value");

    using enum ResultId;
    QTest::newRow("padded result") << Pxx00 << u"  0"_s << true << 0.0;
    QTest::newRow("rounded result keeps the shown figure") << Ixx01 << u"2.47"_s << true << 2.47;
    QTest::newRow("negative power") << Pkz10 << u"-12.34"_s << true << -12.34;
    QTest::newRow("empty result") << Uab00 << QString() << false << 0.0;
    QTest::newRow("typed text that is no number") << RHigh15 << u"1,5"_s << false << 0.0;
    QTest::newRow("ratio cell") << Results::ratio(2, 1) << u"25.00"_s << true << 25.0;
    QTest::newRow("oil text with its unit") << ElectricStrength << u"52 кВ"_s << true << 52.0;
    QTest::newRow("oil text with a decimal comma") << AcidNumber << u"0,02 мг"_s << true << 0.02;
    QTest::newRow("oil words") << Color << u"светло-желтый"_s << false << 0.0;
    QTest::newRow("copper") << Material << u"медь"_s << true << 235.0;
    QTest::newRow("aluminium") << Material << u"алюминий"_s << true << 225.0;
    QTest::newRow("three phases") << FasNumber << u"Три"_s << true << 3.0;
    QTest::newRow("scheme") << Circuit << u"U / D - 11"_s << false << 0.0;
}

void TstResultRecord::valueIsTheNumberTheTextShows()
{
    QFETCH(ResultId, id);
    QFETCH(QString, text);
    QFETCH(bool, hasValue);
    QFETCH(double, value);
    ResultRecord record;
    record.set(id, text);
    QCOMPARE(record.text(id), text);
    QCOMPARE(record.value(id).has_value(), hasValue);
    if (hasValue)
        QCOMPARE(*record.value(id), value);
}

// The resistance table is written with the region's separator; its value reads it back.
void TstResultRecord::resistanceReadsTheRegionsSeparator()
{
    const bool comma = QLocale::system().decimalPoint() == u","_s;
    ResultRecord record;
    record.set(Results::resistance(2, 0), comma ? u"5,921"_s : u"5.921"_s);
    record.set(Results::imbalance(2), comma ? u"0,55 %"_s : u"0.55 %"_s);
    QVERIFY(record.value(Results::resistance(2, 0)));
    QCOMPARE(*record.value(Results::resistance(2, 0)), 5.921);
    QVERIFY(record.value(Results::imbalance(2)));
    QCOMPARE(*record.value(Results::imbalance(2)), 0.55);
    // The other region's separator is foreign here, as it is to the imbalance.
    record.set(Results::resistance(2, 1), comma ? u"5.954"_s : u"5,954"_s);
    QVERIFY(!record.value(Results::resistance(2, 1)));
}

void TstResultRecord::changeIsToldOnlyWhenTheTextChanges()
{
    ResultRecord record;
    QSignalSpy changed(&record, &ResultRecord::changed);
    record.set(ResultId::Pxx00, u"1240"_s);
    record.set(ResultId::Pxx00, u"1240"_s);
    record.clear(ResultId::Uab00);
    QCOMPARE(changed.size(), 1);
    QCOMPARE(changed[0][0].value<ResultId>(), ResultId::Pxx00);
}

// The state file keeps every result under the name the record gives it; its other keys
// (the type's name, the serial number, the conclusion, the ranges) are no results.
void TstResultRecord::everyResultKeyOfTheStateFileIsAQuantity()
{
    const QStringList others = {u"Name"_s, u"CurrentInd"_s, u"VoltageInd"_s, u"RepairNumber"_s,
                                StateFile::ConclusionKey};
    int results = 0;
    for (const StateKey &k : StateFile::keys()) {
        const std::optional<ResultId> id = Results::byKey(k.key);
        QCOMPARE(id.has_value(), !others.contains(k.key));
        if (!id)
            continue;
        ++results;
        const ResultQuantity &q = Results::quantity(*id);
        QCOMPARE(q.key, k.key);
        if (k.kind == StateKey::Kind::GridCell)
            QCOMPARE((std::tuple{q.grid, q.column, q.row}), (std::tuple{k.control, k.column, k.row}));
        else
            QCOMPARE(q.key, k.control);
    }
    QCOMPARE(results, StateFile::keys().size() - others.size());
}

void TstResultRecord::tablesAreReachedByTapAndPhase()
{
    QCOMPARE(Results::quantity(Results::ratio(2, 1)).key, u"TransformGrid51"_s);
    QCOMPARE(Results::quantity(Results::ratioVoltage(4, 2)).key, u"TransformGrid82"_s);
    QCOMPARE(Results::quantity(Results::ratedVoltage(0)).key, u"TransformGrid100"_s);
    QCOMPARE(Results::quantity(Results::resistance(5, 1)).key, u"ResistenceGrid51"_s);
    QCOMPARE(Results::quantity(Results::imbalance(0)).key, u"ResistenceGrid03"_s);
    QCOMPARE(Results::quantity(Results::measureCell(2, 0)).key, u"TransformGrid1[2,0]"_s);
    QCOMPARE(Results::cell(u"ResistenceGrid"_s, 5, 1), std::optional(Results::resistance(5, 1)));
    QCOMPARE(Results::cell(u"ResistenceGrid"_s, -1, 1), std::nullopt);
    QCOMPARE(Results::cell(u"ResistenceGrid"_s, 0, ResistenceGridRows), std::nullopt);
    QCOMPARE(Results::quantity(Results::resistance(0, 0)).unit, u"Ом"_s);
    QCOMPARE(Results::quantity(Results::imbalance(0)).unit, u"%"_s);
    QCOMPARE(Results::quantity(ResultId::Pxx00).unit, u"Вт"_s);
}

void TstResultRecord::quantitiesStandInTheOrderOfTheirIds()
{
    const QList<ResultQuantity> &all = Results::quantities();
    QCOMPARE(all.size(), qsizetype(ResultId::Count));
    QSet<QString> keys;
    for (qsizetype i = 0; i < all.size(); ++i) {
        QCOMPARE(qsizetype(all[i].id), i);
        QVERIFY2(!keys.contains(all[i].key), qPrintable(all[i].key));
        keys.insert(all[i].key);
        QCOMPARE(Results::byKey(all[i].key), std::optional(all[i].id));
    }
}

QTEST_MAIN(TstResultRecord)
#include "tst_resultrecord.moc"
