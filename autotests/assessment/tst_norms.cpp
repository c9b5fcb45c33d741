#include "codepage1251.h"
#include "judgement.h"
#include "norms.h"
#include "recordslocation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(Verdict)

namespace {

QByteArray shippedBytes()
{
    QFile file(ShippedNormsPath);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The shipped norms with one line replaced, as a workshop would edit them.
QByteArray editedNorms(const QString &from, const QString &to)
{
    QString text = decodeWindows1251(shippedBytes());
    Q_ASSERT(text.contains(from));
    text.replace(from, to);
    return encodeWindows1251(text);
}

bool writeWorkshopCopy(const QByteArray &bytes)
{
    QFile file(workshopNormsPath());
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

class TestNorms : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        setRecordsDirectoryForTests(m_folder->path());
    }
    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void theShippedNormsHoldEveryNormWithItsSourceAndMark()
    {
        const NormsTable table = NormsTable::shipped();
        QCOMPARE(table.rows().size(), NormsTable::ids().size());
        for (const NormRow &row : table.rows())
            QVERIFY2(!row.quantity.isEmpty() && !row.limit.isEmpty() && !row.source.isEmpty(), qPrintable(row.id));
        QCOMPARE(table.norm(QStringLiteral("insulation.r60")).values,
                 QList<double>({10, 450, 20, 300, 30, 200, 40, 130, 50, 90, 60, 60, 70, 40}));
        QCOMPARE(table.norm(QStringLiteral("oil.breakdown")).values, QList<double>({15, 30, 20, 35, 35, 25}));
        QVERIFY(table.norm(QStringLiteral("resistance.phases")).confirmed);
        QVERIFY(!table.norm(QStringLiteral("insulation.r60")).confirmed);
        QCOMPARE(table.norm(QStringLiteral("resistance.phases")).source,
                 QStringLiteral("РД 34.45-51.300-97 §6; СТО РЖД 12.003-2011 §7.9"));
    }

    void withoutAWorkshopCopyTheShippedNormsApply()
    {
        const NormsInForce norms = loadNorms();
        QVERIFY(norms.origin.isEmpty());
        QVERIFY(norms.refusal.isEmpty());
        QCOMPARE(norms.table.rows().size(), NormsTable::ids().size());
    }

    void anEditedWorkshopCopyChangesTheVerdict()
    {
        AssessmentInput in;
        in.texts = {{QStringLiteral("ResistenceGrid00"), QStringLiteral("1.000")},
                    {QStringLiteral("ResistenceGrid01"), QStringLiteral("0.975")},
                    {QStringLiteral("ResistenceGrid02"), QStringLiteral("0.990")}};
        const auto verdict = [&](const NormsTable &table) {
            for (const AssessmentRow &row : assess(in, table)) {
                if (row.id == QStringLiteral("resistance.phases.0"))
                    return row.verdict;
            }
            return Verdict::NotAssessed;
        };
        QCOMPARE(verdict(NormsTable::shipped()), Verdict::Fails);

        QVERIFY(writeWorkshopCopy(editedNorms(QStringLiteral("Отметка=подтверждено\r\nЗначения=2\r\n\r\n[resistance.factory]"),
                                              QStringLiteral("Отметка=подтверждено\r\nЗначения=3\r\n\r\n[resistance.factory]"))));
        const NormsInForce norms = loadNorms();
        QVERIFY2(norms.refusal.isEmpty(), qPrintable(norms.refusal));
        QCOMPARE(norms.origin, workshopNormsPath());
        QCOMPARE(norms.table.value(QStringLiteral("resistance.phases"), 0), 3.0);
        QCOMPARE(verdict(norms.table), Verdict::Complies);
    }

    void aBrokenWorkshopCopyIsRefusedAndTheShippedNormsApply_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("said");
        QTest::newRow("section missing") << "[oil.flash]" << "[oil.flesh]" << "раздел [oil.flash]: раздела нет";
        QTest::newRow("not a number") << "Значения=0.02; 0.1; 0.25" << "Значения=0.02; 0,1,; 0.25"
                                      << "раздел [oil.acid]: ключ «Значения»: «0,1,» не является положительным числом";
        QTest::newRow("too few numbers") << "Значения=0.5; 10" << "Значения=0.5"
                                         << "раздел [ratio.declared]: ключ «Значения»: нужно чисел: 2, указано: 1";
        QTest::newRow("negative") << "Значения=30\r\n" << "Значения=-30\r\n" << "раздел [noload.current]";
        QTest::newRow("temperatures out of order") << "20:300; 30:200" << "30:300; 20:200"
                                                   << "раздел [insulation.r60]: ключ «Значения»: температуры должны возрастать";
        QTest::newRow("a pair without its value") << "40:130;" << "40;" << "раздел [insulation.r60]";
        QTest::newRow("mark unknown") << "Отметка=уточнить\r\nЗначения=1.3" << "Отметка=видели\r\nЗначения=1.3"
                                      << "раздел [insulation.kabs]: ключ «Отметка»";
        QTest::newRow("no source") << "Источник=IEC 60076-1, таблица 1; ГОСТ 11677-85\r\n" << "Источник=\r\n"
                                   << "раздел [noload.current]: ключ «Источник» пуст";
        QTest::newRow("not a norms file") << "" << "" << "раздел [resistance.phases]: раздела нет";
        QTest::newRow("Kabs range 30..10") << "Значения=1.3; 10; 30" << "Значения=1.3; 30; 10"
                                           << "раздел [insulation.kabs]: ключ «Значения»: диапазон температур 30..10 °C";
        QTest::newRow("K2 of 0.5") << "K2=1:1.04; 5:1.22" << "K2=1:1.04; 5:0.5"
                                   << "раздел [insulation.factory]: ключ «K2»: K2 = 0.5 при 5 °C";
        QTest::newRow("K2 falling among the points to confirm") << "15:1.84" << "15:1.4"
                                                                << "раздел [insulation.factory]: ключ «K2»: K2 = 1.4 при 15 °C";
        QTest::newRow("R60 rising with temperature") << "20:300; 30:200" << "20:300; 30:350"
                                                     << "раздел [insulation.r60]: ключ «Значения»: наименьшее R60 должно убывать";
        QTest::newRow("K2 as a factor per 10 °C") << "Значения=50\r\n" << "Значения=50; 1.5\r\n"
                                                  << "раздел [insulation.factory]: ключ «Значения»: нужно чисел: 1, указано: 2";
        const QString share = u"Доля допуска=0.75"_s;
        const QString refusedShare = u"раздел [near.limit]: ключ «Доля допуска»: «"_s;
        QTest::newRow("share above 1") << share << "Доля допуска=1.5" << refusedShare + u"1.5» - не доля допуска"_s;
        QTest::newRow("share 0") << share << "Доля допуска=0" << refusedShare + u"0»"_s;
        QTest::newRow("share negative") << share << "Доля допуска=-0.75" << refusedShare + u"-0.75»"_s;
        QTest::newRow("share in words") << share << "Доля допуска=три четверти" << refusedShare + u"три четверти»"_s;
        QTest::newRow("share in per cent") << share << "Доля допуска=75 %" << refusedShare + u"75 %»"_s;
        QTest::newRow("share empty") << share << "Доля допуска=" << refusedShare + u"»"_s;
        QTest::newRow("R60 to more than 100 % of the previous") << "Значения=50\r\n\r\n[oil.breakdown]"
                                                                << "Значения=150\r\n\r\n[oil.breakdown]"
                                                                << "раздел [insulation.previous]: ключ «Значения»: доля прежнего значения 150 % больше 100 %";
        QTest::newRow("acid limits out of order") << "Значения=0.02; 0.1; 0.25" << "Значения=0.02; 0.3; 0.25"
                                                  << "раздел [oil.acid]: ключ «Значения»";
    }
    void aBrokenWorkshopCopyIsRefusedAndTheShippedNormsApply()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, said);
        QVERIFY(writeWorkshopCopy(from.isEmpty() ? QByteArray("\x00\xff garbage\r\n[x]\r\n", 17) : editedNorms(from, to)));
        const NormsInForce norms = loadNorms();
        QVERIFY(norms.origin.isEmpty());
        QVERIFY2(norms.refusal.contains(said), qPrintable(norms.refusal));
        QVERIFY(norms.refusal.startsWith(QStringLiteral("Файл норм «") + workshopNormsPath() + QStringLiteral("» не принят: ")));
        QVERIFY(norms.refusal.endsWith(QStringLiteral("Оценка ведётся по нормам, поставляемым с программой.")));
        QCOMPARE(norms.table.value(QStringLiteral("resistance.phases"), 0), 2.0);
        QCOMPARE(norms.table.rows().size(), NormsTable::ids().size());
    }

    // A copy written before the previous test's ratio and R60 had norms, and before the share
    // near the limit was a setting, is taken whole: the shipped ones stand for what it lacks.
    void anOlderCopyIsTakenWithTheShippedNormsItLacks()
    {
        QString text = decodeWindows1251(shippedBytes());
        for (const QString &section : {u"[ratio.previous]"_s, u"[insulation.previous]"_s, u"[near.limit]"_s}) {
            const qsizetype from = text.indexOf(section);
            const qsizetype to = text.indexOf(u"\r\n["_s, from);
            QVERIFY(from >= 0);
            text.remove(from, to < 0 ? text.size() - from : to + 2 - from);
        }
        text.replace(u"Значения=2\r\n\r\n[resistance.factory]"_s, u"Значения=3\r\n\r\n[resistance.factory]"_s);
        QVERIFY(!text.contains(u"[ratio.previous]"_s) && !text.contains(u"[near.limit]"_s));
        QVERIFY(writeWorkshopCopy(encodeWindows1251(text)));
        const NormsInForce norms = loadNorms();
        QVERIFY2(norms.refusal.isEmpty(), qPrintable(norms.refusal));
        QCOMPARE(norms.origin, workshopNormsPath());
        QCOMPARE(norms.table.value(u"resistance.phases"_s, 0), 3.0);
        QCOMPARE(norms.table.rows().size(), NormsTable::ids().size());
        QCOMPARE(norms.table.value(u"ratio.previous"_s, 0), 2.0);
        QCOMPARE(norms.table.value(u"insulation.previous"_s, 0), 50.0);
        QCOMPARE(norms.table.nearLimitShare(), DefaultNearLimitShare);
        // The original sections do not come from the shipped norms when they are missing.
        QVERIFY(writeWorkshopCopy(encodeWindows1251(QString(text).replace(u"[ratio.factory]"_s, u"[ratio.factori]"_s))));
        QVERIFY(loadNorms().refusal.contains(u"раздел [ratio.factory]: раздела нет"_s));
    }

    // The workshop's share of an allowance decides the note "близко к пределу"; a zero
    // allowance notes nothing and marks any fall.
    void theShareNearTheLimitIsTheWorkshops_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("ratio");    // now, against 25.00 before
        QTest::addColumn<QString>("r60");      // now, against 4000 MΩ before, both at 20 °C
        QTest::addColumn<Verdict>("r60Verdict");
        QTest::addColumn<bool>("ratioNoted");
        QTest::addColumn<bool>("r60Noted");
        QTest::newRow("shipped: three quarters") << "" << "" << "24.60" << "2400" << Verdict::Complies << true << true;
        QTest::newRow("nine tenths") << "Доля допуска=0.75" << "Доля допуска=0.9" << "24.60" << "2400"
                                     << Verdict::Complies << false << false;
        QTest::newRow("nine tenths, comma") << "Доля допуска=0.75" << "Доля допуска=0,9" << "24.54" << "2100"
                                            << Verdict::Complies << true << true;
        QTest::newRow("1: never") << "Доля допуска=0.75" << "Доля допуска=1" << "24.51" << "2001"
                                  << Verdict::Complies << false << false;
        QTest::newRow("R60 held to 100 %: a fall fails") << "Значения=50\r\n\r\n[oil.breakdown]"
                                                         << "Значения=100\r\n\r\n[oil.breakdown]" << "25.00" << "3999"
                                                         << Verdict::Fails << false << false;
        QTest::newRow("R60 held to 100 %: unchanged") << "Значения=50\r\n\r\n[oil.breakdown]"
                                                      << "Значения=100\r\n\r\n[oil.breakdown]" << "25.00" << "4000"
                                                      << Verdict::Complies << false << false;
    }
    void theShareNearTheLimitIsTheWorkshops()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, ratio);
        QFETCH(QString, r60);
        QFETCH(Verdict, r60Verdict);
        QFETCH(bool, ratioNoted);
        QFETCH(bool, r60Noted);
        if (!from.isEmpty())
            QVERIFY(writeWorkshopCopy(editedNorms(from, to)));
        const NormsInForce norms = loadNorms();
        QVERIFY2(norms.refusal.isEmpty(), qPrintable(norms.refusal));
        AssessmentInput in;
        in.texts = {{u"TransformGrid10"_s, ratio}, {u"RHigh60"_s, r60}};
        in.test.insulationTemperature = 20;
        in.previous.present = true;
        in.previous.texts = {{u"TransformGrid10"_s, u"25.00"_s}, {u"RHigh60"_s, u"4000"_s}};
        in.previous.insulationTemperature = 20;
        const QList<AssessmentRow> rows = assess(in, norms.table);
        const auto rowOf = [&](const QString &id) {
            return *std::find_if(rows.cbegin(), rows.cend(), [&](const AssessmentRow &r) { return r.id == id; });
        };
        QCOMPARE(rowOf(u"ratio.previous.0"_s).verdict, Verdict::Complies);
        QCOMPARE(!rowOf(u"ratio.previous.0"_s).nearLimit.isEmpty(), ratioNoted);
        QCOMPARE(rowOf(u"insulation.previous.0"_s).verdict, r60Verdict);
        QCOMPARE(!rowOf(u"insulation.previous.0"_s).nearLimit.isEmpty(), r60Noted);
    }

    void aCopyInAnotherFormIsRefusedSayingWhy_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("said");
        const QString text = decodeWindows1251(shippedBytes());
        // Every section is there, in UTF-8: "раздела нет" said nothing of the cause.
        QTest::newRow("UTF-8") << text.toUtf8() << "файл не в ожидаемой кодировке: он в UTF-8, а файл норм пишется в Windows-1251";
        QTest::newRow("UTF-8 with its mark") << QByteArray("\xEF\xBB\xBF") + text.toUtf8() << "не в ожидаемой кодировке";
        const auto lineOf = [](const QString &all, const QString &what) {
            return QString::number(all.left(all.indexOf(what)).count(u'\n') + 1);
        };
        // A second [oil.flash] was ignored, the first one winning.
        const QString twice = text + u"\r\n[OIL.FLASH]\r\nЗначения=50\r\n"_s;
        QTest::newRow("a section twice") << encodeWindows1251(twice)
                                         << "раздел [oil.flash] повторяется: строки " + lineOf(twice, u"[oil.flash]"_s) + " и "
                                                + lineOf(twice, u"[OIL.FLASH]"_s);
        const QString keyTwice = QString(text).replace(u"Значения=5\r\n"_s, u"Значения=5\r\nзначения=50\r\n"_s);
        QTest::newRow("a key twice") << encodeWindows1251(keyTwice)
                                     << "раздел [oil.flash]: ключ «значения» повторяется: строки " + lineOf(keyTwice, u"Значения=5\r"_s)
                                            + " и " + lineOf(keyTwice, u"значения=50"_s);
        const QString shareTwice = text + u"\r\n[Near.Limit]\r\nДоля допуска=0.5\r\n"_s;
        QTest::newRow("the share's section twice") << encodeWindows1251(shareTwice) << "раздел [near.limit] повторяется";
        // A norms file is a few kilobytes: 204 MB took 11-18 s and 208 MB on the window's thread.
        QTest::newRow("far too large") << shippedBytes() + QByteArray(70 * 1024, ';') << "файл норм - несколько килобайт";
    }
    void aCopyInAnotherFormIsRefusedSayingWhy()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, said);
        QVERIFY(writeWorkshopCopy(bytes));
        const NormsInForce norms = loadNorms();
        QVERIFY(norms.origin.isEmpty());
        QVERIFY2(norms.refusal.contains(said), qPrintable(norms.refusal));
        QCOMPARE(norms.table.rows().size(), NormsTable::ids().size());
    }

    void theNormsAreReadAgainOnlyWhenTheCopyChanges()
    {
        NormsSource source;
        QVERIFY(source.refresh());
        QVERIFY(source.norms().origin.isEmpty());
        QVERIFY(!source.refresh());
        QVERIFY(writeWorkshopCopy(editedNorms(QStringLiteral("Значения=30\r\n"), QStringLiteral("Значения=25\r\n"))));
        QVERIFY(source.refresh());
        QCOMPARE(source.norms().table.value(QStringLiteral("noload.current"), 0), 25.0);
        QVERIFY(!source.refresh());
        QVERIFY(QFile::remove(workshopNormsPath()));
        QVERIFY(source.refresh());
        QCOMPARE(source.norms().table.value(QStringLiteral("noload.current"), 0), 30.0);
    }

    void theShippedK2TableMarksItsPointsToConfirm()
    {
        const NormsTable shipped = NormsTable::shipped();
        const NormRow &norm = shipped.norm(QStringLiteral("insulation.factory"));
        QCOMPARE(norm.values, QList<double>{50});
        QCOMPARE(norm.factors.mid(0, 10), QList<double>({1, 1.04, 2, 1.08, 3, 1.13, 4, 1.17, 5, 1.22}));
        QCOMPARE(norm.factors.mid(norm.factors.size() - 2), QList<double>({70, 17.0}));
        for (double seen : {1, 5, 10, 20, 30})
            QVERIFY(!norm.factorsToConfirm.contains(seen));
        for (double toConfirm : {2, 3, 4, 15, 25, 35, 70})
            QVERIFY(norm.factorsToConfirm.contains(toConfirm));
    }

    void theWorkshopGetsACopyOnceAndItIsKept()
    {
        QVERIFY(writeWorkshopNormsCopy());
        QFile copy(workshopNormsPath());
        QVERIFY(copy.open(QIODevice::ReadOnly));
        QCOMPARE(copy.readAll(), shippedBytes());
        copy.close();
        QVERIFY(writeWorkshopCopy(editedNorms(QStringLiteral("Значения=30\r\n"), QStringLiteral("Значения=25\r\n"))));
        QVERIFY(!writeWorkshopNormsCopy());
        QCOMPARE(loadNorms().table.value(QStringLiteral("noload.current"), 0), 25.0);
    }
};

QTEST_GUILESS_MAIN(TestNorms)
#include "tst_norms.moc"
