#include "bencherror.h"
#include "cataloguefile.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"
#include "recordslocation.h"
#include "transformertypes.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// The fields as the page shows them after "Очистить".
TransformerType clearedPage()
{
    TransformerType t;
    t.freq2 = QStringLiteral("50");
    t.material = 0;
    t.fasNumber = 1;
    return t;
}

} // namespace

class TestCatalogueFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    static void compareTypes(const TransformerType &actual, const TransformerType &expected)
    {
        QCOMPARE(actual.unom, expected.unom);
        QCOMPARE(actual.unom2, expected.unom2);
        QCOMPARE(actual.inom, expected.inom);
        QCOMPARE(actual.inom2, expected.inom2);
        QCOMPARE(actual.pnom, expected.pnom);
        QCOMPARE(actual.freq2, expected.freq2);
        QCOMPARE(actual.material, expected.material);
        QCOMPARE(actual.fasNumber, expected.fasNumber);
        QCOMPARE(actual.transformerWeight, expected.transformerWeight);
        QCOMPARE(actual.circuit, expected.circuit);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        setRecordsDirectoryForTests(m_folder->path());
    }

    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void aSavedTypeIsListedAndLoadedBack()
    {
        TransformerType second = tm100();
        second.pnom = QStringLiteral("250");
        second.material = 0;
        second.fasNumber = 0;
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ-100/10"), tm100()), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМГ-250"), second), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ОМ-1"), TransformerType()), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::typeNames(),
                 QStringList({QStringLiteral("ТМ-100/10"), QStringLiteral("ТМГ-250"), QStringLiteral("ОМ-1")}));

        TransformerType loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМГ-250"), loaded));
        compareTypes(loaded, second);
        loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("тм-100/10"), loaded));
        compareTypes(loaded, tm100());
        // Empty texts come back empty, no selection as none.
        loaded = tm100();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ОМ-1"), loaded));
        compareTypes(loaded, TransformerType());
    }

    void theSectionHoldsTheTenKeysInOrder()
    {
        CatalogueFile::saveType(QStringLiteral("ТМ-100/10"), tm100());
        QCOMPARE(readRaw(CatalogueFile::path()),
                 cp1251(QStringLiteral("[ТМ-100/10]\r\nНапряжение=400\r\nНапряжение2=10000\r\nТок=144,3\r\nТок2=5.77\r\n"
                                       "Мощность=100\r\nЧастота=50\r\nМатериал=1\r\nЧисло фаз=1\r\nВес=640\r\n"
                                       "Схема=Y/Yн-0\r\n")));
    }

    void savingANameInAnotherLetterCaseOverwritesTheType()
    {
        CatalogueFile::saveType(QStringLiteral("ТМ-100/10"), tm100());
        TransformerType changed = tm100();
        changed.transformerWeight = QStringLiteral("700");
        changed.material = -1;
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("тм-100/10"), changed), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::typeNames(), QStringList(QStringLiteral("ТМ-100/10")));
        TransformerType loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМ-100/10"), loaded));
        compareTypes(loaded, changed);
    }

    void noSelectionIsStoredAsMinusOne()
    {
        TransformerType t = tm100();
        t.material = -1;
        CatalogueFile::saveType(QStringLiteral("Т"), t);
        QCOMPARE(KeyValueFile(CatalogueFile::path()).readString(QStringLiteral("Т"), CatalogueFile::MaterialKey),
                 QStringLiteral("-1"));
        TransformerType loaded = clearedPage();
        CatalogueFile::loadType(QStringLiteral("Т"), loaded);
        QCOMPARE(loaded.material, -1);
    }

    void storedSelectionsAreBroughtIntoTheirRange_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("none") << "-1" << -1;
        QTest::newRow("first") << "0" << 0;
        QTest::newRow("last") << "1" << 1;
        QTest::newRow("below none") << "-5" << -1;
        QTest::newRow("beyond the last") << "7" << 1;
        QTest::newRow("hexadecimal") << "$1" << 1;
        QTest::newRow("no number keeps the page's") << "медь" << 0;
        QTest::newRow("empty keeps the page's") << "" << 0;
    }

    void storedSelectionsAreBroughtIntoTheirRange()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        QVERIFY(writeRaw(CatalogueFile::path(),
                         cp1251(QStringLiteral("[Т]\r\nМатериал=") + stored + QStringLiteral("\r\nЧисло фаз=")
                                + stored + QStringLiteral("\r\n"))));
        TransformerType loaded;
        loaded.material = 0;
        loaded.fasNumber = 0;
        CatalogueFile::loadType(QStringLiteral("Т"), loaded);
        QCOMPARE(loaded.material, expected);
        QCOMPARE(loaded.fasNumber, expected);
    }

    void missingKeysLeaveThePageAsItWas()
    {
        QVERIFY(writeRaw(CatalogueFile::path(), cp1251(QStringLiteral("[Т]\r\nнапряжение=380\r\n"))));
        TransformerType loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("т"), loaded));
        TransformerType expected = clearedPage();
        expected.unom = QStringLiteral("380");
        compareTypes(loaded, expected);
    }

    void anUnknownOrEmptyNameLoadsNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << "ТМ-999";
        QTest::newRow("empty") << "";
    }

    void anUnknownOrEmptyNameLoadsNothing()
    {
        CatalogueFile::saveType(QStringLiteral("ТМ-100/10"), tm100());
        QFETCH(QString, name);
        TransformerType loaded = clearedPage();
        QVERIFY(!CatalogueFile::loadType(name, loaded));
        compareTypes(loaded, clearedPage());
    }

    void aNameThatCannotBeASectionIsRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("closing bracket") << "ТМ]100";
        QTest::newRow("opening bracket first") << "[ТМ-100";
        QTest::newRow("line feed") << "ТМ-100\nновый";
        QTest::newRow("carriage return") << "ТМ-100\r";
        QTest::newRow("character outside the code page") << "ТМ≥100";
    }

    void aNameThatCannotBeASectionIsRefused()
    {
        QFETCH(QString, name);
        CatalogueFile::saveType(QStringLiteral("ТМ-100/10"), tm100());
        const QByteArray before = readRaw(CatalogueFile::path());
        QVERIFY(!CatalogueFile::isFitTypeName(name));
        QCOMPARE(CatalogueFile::saveType(name, tm100()), CatalogueFile::SaveResult::UnfitName);
        QCOMPARE(readRaw(CatalogueFile::path()), before);
    }

    void aBlankNameSavesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks") << "  \t";
    }

    void aBlankNameSavesNothing()
    {
        QFETCH(QString, name);
        QCOMPARE(CatalogueFile::saveType(name, tm100()), CatalogueFile::SaveResult::NoName);
        QVERIFY(!QFileInfo::exists(CatalogueFile::path()));
    }

    void anOpeningBracketInsideANameIsKept()
    {
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ [исп. 2"), tm100()), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::typeNames(), QStringList(QStringLiteral("ТМ [исп. 2")));
        TransformerType loaded;
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМ [исп. 2"), loaded));
        compareTypes(loaded, tm100());
    }

    void deletingATypeRemovesOnlyIt()
    {
        CatalogueFile::saveType(QStringLiteral("А"), tm100());
        CatalogueFile::saveType(QStringLiteral("Б"), tm100());
        CatalogueFile::saveType(QStringLiteral("В"), tm100());
        CatalogueFile::deleteType(QStringLiteral("б"));
        QCOMPARE(CatalogueFile::typeNames(), QStringList({QStringLiteral("А"), QStringLiteral("В")}));
        TransformerType loaded = clearedPage();
        QVERIFY(!CatalogueFile::loadType(QStringLiteral("Б"), loaded));
        QVERIFY(CatalogueFile::loadType(QStringLiteral("В"), loaded));
    }

    void deletingAnUnknownNameChangesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("unknown") << "Г";
        QTest::newRow("empty") << "";
        QTest::newRow("unfit") << "А]";
    }

    void deletingAnUnknownNameChangesNothing()
    {
        QFETCH(QString, name);
        CatalogueFile::deleteType(name);
        QVERIFY(!QFileInfo::exists(CatalogueFile::path()));
        CatalogueFile::saveType(QStringLiteral("А"), tm100());
        const QByteArray before = readRaw(CatalogueFile::path());
        CatalogueFile::deleteType(name);
        QCOMPARE(readRaw(CatalogueFile::path()), before);
    }

    void typesBeyondTheListBufferCanStillBeLoaded()
    {
        // 300 names of 60 letters: 61 bytes each, 268 fit into 16384 bytes.
        QByteArray text;
        for (int i = 0; i < 300; ++i)
            text += cp1251(QStringLiteral("[Тип %1]\r\nВес=%2\r\n").arg(i, 56, 10, QLatin1Char('0')).arg(i));
        QVERIFY(writeRaw(CatalogueFile::path(), text));
        const QStringList names = CatalogueFile::typeNames();
        QCOMPARE(names.size(), 268);
        QCOMPARE(names.last(), QStringLiteral("Тип %1").arg(267, 56, 10, QLatin1Char('0')));
        TransformerType loaded;
        QVERIFY(CatalogueFile::loadType(QStringLiteral("Тип %1").arg(299, 56, 10, QLatin1Char('0')), loaded));
        QCOMPARE(loaded.transformerWeight, QStringLiteral("299"));
    }

    // A catalogue written before the declared values: it loads as it did, has none of them,
    // and gets them added without a change to its other bytes.
    void anOldCatalogueTakesDeclaredValuesBesideItsKeys()
    {
        const QByteArray old = cp1251(QStringLiteral(
            "[ТМ-100/10]\r\nНапряжение=400\r\nНапряжение2=10000\r\nТок=144,3\r\nТок2=5.77\r\n"
            "Мощность=100\r\nЧастота=50\r\nМатериал=1\r\nЧисло фаз=1\r\nВес=640\r\nСхема=Y/Yн-0\r\n"
            "[ОМ-1]\r\nМощность=1\r\n"));
        QVERIFY(writeRaw(CatalogueFile::path(), old));
        TransformerType loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМ-100/10"), loaded));
        compareTypes(loaded, tm100());
        QVERIFY(CatalogueFile::loadDeclared(QStringLiteral("ТМ-100/10")).isEmpty());
        QCOMPARE(readRaw(CatalogueFile::path()), old);

        QVERIFY(CatalogueFile::saveDeclared(QStringLiteral("тм-100/10"), {{CatalogueFile::DeclaredP0Key, QStringLiteral("365")},
                                                                         {CatalogueFile::DeclaredUkKey, QStringLiteral("4.5")}}));
        const QHash<QString, QString> declared = CatalogueFile::loadDeclared(QStringLiteral("ТМ-100/10"));
        QCOMPARE(declared.value(CatalogueFile::DeclaredP0Key), QStringLiteral("365"));
        QCOMPARE(declared.value(CatalogueFile::DeclaredUkKey), QStringLiteral("4.5"));
        QCOMPARE(declared.value(CatalogueFile::DeclaredPkKey), QString());
        loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМ-100/10"), loaded));
        compareTypes(loaded, tm100());
        QVERIFY(readRaw(CatalogueFile::path()).endsWith(cp1251(QStringLiteral("[ОМ-1]\r\nМощность=1\r\n"))));
        QCOMPARE(CatalogueFile::typeNames(), QStringList({QStringLiteral("ТМ-100/10"), QStringLiteral("ОМ-1")}));
    }

    void savingATypeKeepsItsDeclaredValues()
    {
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ-40"), tm40()), CatalogueFile::SaveResult::Saved);
        QVERIFY(CatalogueFile::saveDeclared(QStringLiteral("ТМ-40"), {{CatalogueFile::DeclaredTapStepKey, QStringLiteral("2.5")}}));
        TransformerType changed = tm40();
        changed.pnom = QStringLiteral("41");
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ-40"), changed), CatalogueFile::SaveResult::Saved);
        QCOMPARE(CatalogueFile::loadDeclared(QStringLiteral("ТМ-40")).value(CatalogueFile::DeclaredTapStepKey),
                 QStringLiteral("2.5"));
        TransformerType loaded = clearedPage();
        QVERIFY(CatalogueFile::loadType(QStringLiteral("ТМ-40"), loaded));
        compareTypes(loaded, changed);
    }

    void declaredValuesNeedATypeInTheCatalogue_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("not in the catalogue") << QStringLiteral("ТМ-25");
        QTest::newRow("empty") << QString();
        QTest::newRow("cannot be a section") << QStringLiteral("ТМ]1");
    }
    void declaredValuesNeedATypeInTheCatalogue()
    {
        QFETCH(QString, name);
        QCOMPARE(CatalogueFile::saveType(QStringLiteral("ТМ-40"), tm40()), CatalogueFile::SaveResult::Saved);
        const QByteArray before = readRaw(CatalogueFile::path());
        QVERIFY(!CatalogueFile::saveDeclared(name, {{CatalogueFile::DeclaredP0Key, QStringLiteral("1")}}));
        QCOMPARE(readRaw(CatalogueFile::path()), before);
    }

    void aCatalogueThatCannotBeWrittenGivesTheErrorText()
    {
        const QString notAFolder = m_folder->filePath(QStringLiteral("file"));
        QVERIFY(writeRaw(notAFolder, "x"));
        setRecordsDirectoryForTests(notAFolder);
        QString error;
        try {
            CatalogueFile::saveType(QStringLiteral("ТМ"), tm100());
        } catch (const BenchError &e) {
            error = e.text();
        }
        QCOMPARE(error, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(notAFolder + QStringLiteral("/varnek.dat")));
    }
};

QTEST_GUILESS_MAIN(TestCatalogueFile)
#include "tst_cataloguefile.moc"
