#include "bencherror.h"
#include "cataloguefile.h"
#include "codepage1251.h"
#include "declaredstore.h"
#include "recordslocation.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestDeclaredStore : public QObject {
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

    void aTypesDeclaredValuesComeBackFromTheCatalogue()
    {
        TransformerType type;
        type.pnom = QStringLiteral("250");
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМГ-250"), type), CatalogueFile::SaveResult::Saved);
        const TypeDeclared declared{610.0, 3700.0, 1.9, 4.5, 2.5, OilProtection::Sealed};
        QVERIFY(DeclaredStore::saveType(QStringLiteral("ТМГ-250"), declared));
        QCOMPARE(DeclaredStore::loadType(QStringLiteral("тмг-250")), declared);
        // Emptied values are emptied in the file.
        QVERIFY(DeclaredStore::saveType(QStringLiteral("ТМГ-250"), TypeDeclared{610.0, {}, {}, {}, {}}));
        QCOMPARE(DeclaredStore::loadType(QStringLiteral("ТМГ-250")), (TypeDeclared{610.0, {}, {}, {}, {}}));
        QVERIFY(!DeclaredStore::saveType(QStringLiteral("ТМГ-400"), declared));
    }

    void aTransformersFactoryValuesComeBackByItsSerialNumber()
    {
        SerialDeclared d;
        d.resistance[0][0] = 1.234;
        d.resistance[5][2] = 0.00456;
        d.resistanceTemperature = 18;
        d.ratio[2][1] = 25.05;
        d.r60[2] = 1500;
        d.r60Temperature = 21.5;
        DeclaredStore::saveSerial(QStringLiteral("12345"), d);
        DeclaredStore::saveSerial(QStringLiteral("678"), SerialDeclared());
        QCOMPARE(DeclaredStore::loadSerial(QStringLiteral(" 12345 ")), d);
        QCOMPARE(DeclaredStore::loadSerial(QStringLiteral("678")), SerialDeclared());
        QCOMPARE(DeclaredStore::loadSerial(QStringLiteral("999")), SerialDeclared());
    }

    void aTestsValuesAndOverridesComeBackByItsProtocol()
    {
        DeclaredStore::TestRecord record;
        record.declared = {22.0, OilState::InService, OilProtection::Open};
        record.overrides.insert(QStringLiteral("losses.p0"), {Verdict::Complies, QStringLiteral("по согласованию | с заказчиком"),
                                                              QStringLiteral("3f2a9c0d11e4b7a8")});
        record.overrides.insert(QStringLiteral("group"), {Verdict::NeedsAnalysis, QStringLiteral("две строки\nв одну")});
        DeclaredStore::saveTest(QStringLiteral("12345"), QStringLiteral("7"), record);
        DeclaredStore::TestRecord back = DeclaredStore::loadTest(QStringLiteral("12345"), QStringLiteral("7"));
        QCOMPARE(back.declared, record.declared);
        QCOMPARE(back.overrides.size(), 2);
        QCOMPARE(back.overrides.value(QStringLiteral("losses.p0")), record.overrides.value(QStringLiteral("losses.p0")));
        QCOMPARE(back.overrides.value(QStringLiteral("group")).verdict, Verdict::NeedsAnalysis);
        QCOMPARE(back.overrides.value(QStringLiteral("group")).reason, QStringLiteral("две строки в одну"));

        // An override taken back is gone; another protocol of the serial number is another test.
        record.overrides.remove(QStringLiteral("group"));
        DeclaredStore::saveTest(QStringLiteral("12345"), QStringLiteral("7"), record);
        back = DeclaredStore::loadTest(QStringLiteral("12345"), QStringLiteral("7"));
        QCOMPARE(back.overrides.keys(), QStringList({QStringLiteral("losses.p0")}));
        QCOMPARE(DeclaredStore::loadTest(QStringLiteral("12345"), QStringLiteral("8")).declared, TestDeclared());
    }

    void aSerialNumberThatCannotNameASectionStoresNothing_data()
    {
        QTest::addColumn<QString>("serial");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << QStringLiteral("  ");
        QTest::newRow("closing bracket") << QStringLiteral("12]3");
        QTest::newRow("outside the code page") << QStringLiteral("№ 1 ✓");
    }
    void aSerialNumberThatCannotNameASectionStoresNothing()
    {
        QFETCH(QString, serial);
        SerialDeclared d;
        d.r60[0] = 100;
        QVERIFY(!DeclaredStore::canStore(serial));
        DeclaredStore::saveSerial(serial, d);
        DeclaredStore::saveTest(serial, QStringLiteral("1"), {});
        QVERIFY(!QFile::exists(DeclaredStore::path()));
        QCOMPARE(DeclaredStore::loadSerial(serial), SerialDeclared());
    }

    void aHandEditedFileGivesWhatItCan()
    {
        QFile file(DeclaredStore::path());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(encodeWindows1251(QStringLiteral("[Испытание 5 / протокол 1]\r\nМасло=как-то\r\nРешений=99999999\r\n"
                                  "Решение.1=group|неизвестно|x\r\nРешение.2=|соответствует|x\r\nРешение.3=uk|соответствует|\r\n"
                                  "[Заводской № 5]\r\nR I AB=abc\r\nR II AB=1,5\r\n")));
        file.close();
        const DeclaredStore::TestRecord back = DeclaredStore::loadTest(QStringLiteral("5"), QStringLiteral("1"));
        QCOMPARE(back.declared.oil, OilState::Unknown);
        QCOMPARE(back.overrides.keys(), QStringList({QStringLiteral("uk")}));
        const SerialDeclared s = DeclaredStore::loadSerial(QStringLiteral("5"));
        QVERIFY(!s.resistance[0][0]);
        QCOMPARE(*s.resistance[1][0], 1.5);
    }

    void anUnwritableFileGivesTheErrorText()
    {
        QVERIFY(QDir(m_folder->path()).mkdir(DeclaredStore::FileName));
        QVERIFY_THROWS_EXCEPTION(BenchError, DeclaredStore::saveSerial(QStringLiteral("1"), SerialDeclared()));
    }
};

QTEST_GUILESS_MAIN(TestDeclaredStore)
#include "tst_declaredstore.moc"
