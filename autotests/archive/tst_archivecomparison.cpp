#include "archivecomparison.h"
#include "statefile.h"

#include <QTest>

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
        QCOMPARE(rows[0].marked, false); // +1 %
        QCOMPARE(rows[1].marked, true);  // +8.3 %
        QCOMPARE(rows[1].section, QStringLiteral("Холостой ход"));
        QCOMPARE(rows[3].marked, true);  // the imbalance doubled
        QCOMPARE(rows[3].before, QStringLiteral("1,50"));
    }
};

QTEST_GUILESS_MAIN(tst_ArchiveComparison)
#include "tst_archivecomparison.moc"
