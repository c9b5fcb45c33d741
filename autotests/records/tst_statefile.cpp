#include "bencherror.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"
#include "recordslocation.h"
#include "statefile.h"

#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestStateFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    // A distinct text for every key, the list indexes within their lists.
    static QHash<QString, QString> fullState()
    {
        QHash<QString, QString> texts;
        for (const StateKey &k : StateFile::keys())
            texts.insert(k.key, k.key + QStringLiteral(" = знач."));
        texts[QStringLiteral("CurrentInd")] = QStringLiteral("9");
        texts[QStringLiteral("VoltageInd")] = QStringLiteral("2");
        return texts;
    }

    static QString textOf(const StateEntries &entries, const QString &key)
    {
        for (const auto &entry : entries) {
            if (entry.first == key)
                return entry.second;
        }
        return QStringLiteral("<absent>");
    }

    static QString storedConclusion()
    {
        return KeyValueFile(StateFile::path()).readString(StateFile::Section, StateFile::ConclusionKey);
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        setRecordsDirectoryForTests(m_folder->path());
    }

    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void keysStandInTheirFixedPlaces_data()
    {
        QTest::addColumn<int>("place"); // counted from 1
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::newRow("1") << 1 << "Name" << "Name" << -1 << -1;
        QTest::newRow("2") << 2 << "CurrentInd" << "cbCurrent" << -1 << -1;
        QTest::newRow("3") << 3 << "VoltageInd" << "cbVoltage" << -1 << -1;
        QTest::newRow("4") << 4 << "Temperature" << "Temperature" << -1 << -1;
        QTest::newRow("5") << 5 << "Uab00" << "Uab00" << -1 << -1;
        QTest::newRow("9") << 9 << "Ic00" << "Ic00" << -1 << -1;
        QTest::newRow("10") << 10 << "Ib00" << "Ib00" << -1 << -1;
        QTest::newRow("13") << 13 << "Pxx00" << "Pxx00" << -1 << -1;
        QTest::newRow("14") << 14 << "Uab10" << "Uab10" << -1 << -1;
        QTest::newRow("22") << 22 << "Ukz112" << "Ukz112" << -1 << -1;
        QTest::newRow("29") << 29 << "Pkz12" << "Pkz12" << -1 << -1;
        QTest::newRow("30") << 30 << "TransformGrid00" << "TransformGrid" << 0 << 0;
        QTest::newRow("32") << 32 << "TransformGrid02" << "TransformGrid" << 0 << 2;
        QTest::newRow("33") << 33 << "TransformGrid10" << "TransformGrid" << 1 << 0;
        QTest::newRow("60") << 60 << "TransformGrid100" << "TransformGrid" << 10 << 0;
        QTest::newRow("65") << 65 << "TransformGrid112" << "TransformGrid" << 11 << 2;
        QTest::newRow("66") << 66 << "Group" << "Group" << -1 << -1;
        QTest::newRow("67") << 67 << "ResistenceGrid00" << "ResistenceGrid" << 0 << 0;
        QTest::newRow("70") << 70 << "ResistenceGrid03" << "ResistenceGrid" << 0 << 3;
        QTest::newRow("71") << 71 << "ResistenceGrid10" << "ResistenceGrid" << 1 << 0;
        QTest::newRow("94") << 94 << "ResistenceGrid63" << "ResistenceGrid" << 6 << 3;
        QTest::newRow("95") << 95 << "RepairNumber" << "RepairNumber" << -1 << -1;
        QTest::newRow("96") << 96 << "Conclusion" << "Conclusion" << -1 << -1;
        QTest::newRow("97") << 97 << "RHigh15" << "RHigh15" << -1 << -1;
        QTest::newRow("104") << 104 << "Tlow" << "Tlow" << -1 << -1;
        QTest::newRow("105") << 105 << "RHL15" << "RHL15" << -1 << -1;
        QTest::newRow("108") << 108 << "THL" << "THL" << -1 << -1;
        QTest::newRow("109") << 109 << "KabsHigh" << "KabsHigh" << -1 << -1;
        QTest::newRow("111") << 111 << "KabsHL" << "KabsHL" << -1 << -1;
    }

    void keysStandInTheirFixedPlaces()
    {
        QFETCH(int, place);
        QFETCH(QString, key);
        QFETCH(QString, control);
        QFETCH(int, column);
        QFETCH(int, row);
        QCOMPARE(StateFile::keys().size(), 111);
        const StateKey &k = StateFile::keys().at(place - 1);
        QCOMPARE(k.key, key);
        QCOMPARE(k.control, control);
        QCOMPARE(k.column, column);
        QCOMPARE(k.row, row);
    }

    void keysDifferEvenWithoutLetterCase()
    {
        QSet<QString> seen;
        for (const StateKey &k : StateFile::keys())
            seen.insert(k.key.toCaseFolded());
        seen.insert(StateFile::ConclusionPartsKey.toCaseFolded());
        QCOMPARE(seen.size(), StateFile::keys().size() + 1);
    }

    void listIndexKeysKnowTheirLists()
    {
        QCOMPARE(StateFile::keys().at(1).kind, StateKey::Kind::ListIndex);
        QCOMPARE(StateFile::keys().at(1).itemCount, 10);
        QCOMPARE(StateFile::keys().at(2).kind, StateKey::Kind::ListIndex);
        QCOMPARE(StateFile::keys().at(2).itemCount, 3);
    }

    void everyKeyComesBackAfterARestart()
    {
        const QHash<QString, QString> texts = fullState();
        StateFile::write(texts);
        const StateEntries restored = StateFile::read({});
        QCOMPARE(restored.size(), StateFile::keys().size());
        for (int i = 0; i < restored.size(); ++i) {
            QCOMPARE(restored[i].first, StateFile::keys()[i].key);
            QCOMPARE(restored[i].second, texts.value(restored[i].first));
        }
    }

    void theFileHoldsTheKeysInTheirOrder()
    {
        StateEntries shuffled;
        const QHash<QString, QString> texts = fullState();
        for (auto it = StateFile::keys().crbegin(); it != StateFile::keys().crend(); ++it)
            shuffled.append({it->key, texts.value(it->key)});
        StateFile::write(shuffled);

        QStringList expected{QStringLiteral("[1]")};
        for (const StateKey &k : StateFile::keys()) {
            expected.append(k.key + u'=' + texts.value(k.key));
            if (k.key == StateFile::ConclusionKey)
                expected.append(StateFile::ConclusionPartsKey + QStringLiteral("=0"));
        }
        QCOMPARE(readRaw(StateFile::path()), cp1251(expected.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")));
    }

    void writingAgainReplacesTheValuesInPlace()
    {
        QHash<QString, QString> texts = fullState();
        texts[QStringLiteral("Conclusion")] = QStringLiteral("раз\nдва");
        StateFile::write(texts);
        texts[QStringLiteral("Uab00")] = QStringLiteral("220.5");
        texts[QStringLiteral("Conclusion")] = QStringLiteral("три\nчетыре");
        StateFile::write(texts);
        const QByteArray twice = readRaw(StateFile::path());
        QVERIFY(QFile::remove(StateFile::path()));
        StateFile::write(texts);
        QCOMPARE(twice, readRaw(StateFile::path()));
    }

    void keysTheWindowLeavesOutAreWrittenEmpty()
    {
        StateFile::write(QHash<QString, QString>{{QStringLiteral("Name"), QStringLiteral("ТМ-100")},
                                                 {QStringLiteral("Unknown"), QStringLiteral("x")}});
        const StateEntries restored = StateFile::read({{QStringLiteral("Uab00"), QStringLiteral("layout")}});
        QCOMPARE(textOf(restored, QStringLiteral("Name")), QStringLiteral("ТМ-100"));
        QCOMPARE(textOf(restored, QStringLiteral("Uab00")), QString());
        QCOMPARE(KeyValueFile(StateFile::path()).readString(StateFile::Section, QStringLiteral("Unknown"), QStringLiteral("none")),
                 QStringLiteral("none"));
    }

    void withoutTheFileTheWindowKeepsItsTexts()
    {
        const QHash<QString, QString> layout{{QStringLiteral("Temperature"), QStringLiteral("25")},
                                             {QStringLiteral("Conclusion"), QStringLiteral("+")},
                                             {QStringLiteral("CurrentInd"), QStringLiteral("0")}};
        const StateEntries restored = StateFile::read(layout);
        QCOMPARE(restored.size(), StateFile::keys().size());
        QCOMPARE(textOf(restored, QStringLiteral("Temperature")), QStringLiteral("25"));
        QCOMPARE(textOf(restored, QStringLiteral("Conclusion")), QStringLiteral("+"));
        QCOMPARE(textOf(restored, QStringLiteral("CurrentInd")), QStringLiteral("0"));
        QCOMPARE(textOf(restored, QStringLiteral("Uab00")), QString());
        QVERIFY(!QFileInfo::exists(StateFile::path()));
    }

    void emptyResultsComeBackEmpty()
    {
        QHash<QString, QString> texts = fullState();
        texts[QStringLiteral("Ubc00")] = QString();
        texts[QStringLiteral("TransformGrid11")] = QString();
        StateFile::write(texts);
        const StateEntries restored = StateFile::read({{QStringLiteral("Ubc00"), QStringLiteral("layout")}});
        QCOMPARE(textOf(restored, QStringLiteral("Ubc00")), QString());
        QCOMPARE(textOf(restored, QStringLiteral("TransformGrid11")), QString());
    }

    void listIndexesAreRestoredWithinTheirLists_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("stored"); // null: not in the file
        QTest::addColumn<QString>("current");
        QTest::addColumn<QString>("expected");
        QTest::newRow("current range") << "CurrentInd" << "4" << "0" << "4";
        QTest::newRow("last current range") << "CurrentInd" << "9" << "0" << "9";
        QTest::newRow("current range beyond the list") << "CurrentInd" << "10" << "3" << "0";
        QTest::newRow("no current range selected") << "CurrentInd" << "-1" << "3" << "0";
        QTest::newRow("current range in hexadecimal") << "CurrentInd" << "0x5" << "0" << "5";
        QTest::newRow("current range that is no number") << "CurrentInd" << "ИТТ" << "2" << "2";
        QTest::newRow("current range missing") << "CurrentInd" << QString() << "2" << "2";
        QTest::newRow("voltage range") << "VoltageInd" << "2" << "0" << "2";
        QTest::newRow("voltage range beyond the list") << "VoltageInd" << "3" << "1" << "0";
        QTest::newRow("voltage range missing") << "VoltageInd" << QString() << "0" << "0";
        QTest::newRow("voltage range missing, window without selection") << "VoltageInd" << QString() << "-1" << "0";
    }

    void listIndexesAreRestoredWithinTheirLists()
    {
        QFETCH(QString, key);
        QFETCH(QString, stored);
        QFETCH(QString, current);
        QFETCH(QString, expected);
        QString file = QStringLiteral("[1]\r\n");
        if (!stored.isNull())
            file += key + u'=' + stored + QStringLiteral("\r\n");
        QVERIFY(writeRaw(StateFile::path(), cp1251(file)));
        QCOMPARE(textOf(StateFile::read({{key, current}}), key), expected);
    }

    void listIndexOrFirstKeepsOnlyItemsOfTheList()
    {
        QCOMPARE(StateFile::listIndexOrFirst(0, 3), 0);
        QCOMPARE(StateFile::listIndexOrFirst(2, 3), 2);
        QCOMPARE(StateFile::listIndexOrFirst(3, 3), 0);
        QCOMPARE(StateFile::listIndexOrFirst(-1, 3), 0);
    }

    void aConclusionComesBackWhole_data()
    {
        QTest::addColumn<QString>("conclusion");
        QTest::addColumn<QString>("firstLineAsStored");
        QTest::newRow("one line") << "Трансформатор годен к эксплуатации" << "Трансформатор годен к эксплуатации";
        QTest::newRow("two lines") << "Трансформатор годен\nк эксплуатации" << "Трансформатор годен";
        QTest::newRow("carriage returns") << "А\r\nБ\rВ" << "А";
        QTest::newRow("empty lines and blanks")
            << "  Годен  \n\n\t отступ\n\n" << "Годен";
        QTest::newRow("quotes") << "\"Годен\"\n'к эксплуатации'" << "Годен";
        QTest::newRow("brackets and equals signs") << "Годен\n[1]\nName=ТМ" << "Годен";
        QTest::newRow("backslashes") << "C:\\n\\\\x\n\\" << "C:\\n\\\\x";
        QTest::newRow("characters outside the code page") << "Rиз ≥ 300 МОм\n✓ годен 😀" << "Rиз ? 300 МОм";
        QTest::newRow("a line feed first") << "\nГоден" << "";
        QTest::newRow("blanks only") << "   " << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("a long first line") << QString(3000, u'д') + QStringLiteral("\nи ещё") << QString(2047, u'д');
        QTest::newRow("many long lines")
            << (QString(2500, u'а') + u'\n').repeated(5) << QString(2047, u'а');
    }

    void aConclusionComesBackWhole()
    {
        QFETCH(QString, conclusion);
        QFETCH(QString, firstLineAsStored);
        QHash<QString, QString> texts = fullState();
        texts[QStringLiteral("Conclusion")] = conclusion;
        StateFile::write(texts);
        const StateEntries restored = StateFile::read({{QStringLiteral("Conclusion"), QStringLiteral("+")}});
        QCOMPARE(textOf(restored, QStringLiteral("Conclusion")), conclusion);
        // A reader of the one key sees the first line.
        QCOMPARE(storedConclusion(), firstLineAsStored);
        // The keys after it are untouched by the pieces.
        QCOMPARE(textOf(restored, QStringLiteral("RHigh15")), texts.value(QStringLiteral("RHigh15")));
    }

    void aShorterConclusionReplacesALongerOne()
    {
        QHash<QString, QString> texts = fullState();
        const QStringList conclusions = {QStringLiteral("раз\nдва\nтри"), QStringLiteral("раз"),
                                         QStringLiteral("раз\nчетыре"), QStringLiteral("раз\nдва\nтри")};
        for (const QString &conclusion : conclusions) {
            texts[QStringLiteral("Conclusion")] = conclusion;
            StateFile::write(texts);
            QCOMPARE(textOf(StateFile::read({}), QStringLiteral("Conclusion")), conclusion);
        }
    }

    void piecesOfAnotherConclusionAreIgnored()
    {
        QHash<QString, QString> texts = fullState();
        texts[QStringLiteral("Conclusion")] = QStringLiteral("Годен\nс замечаниями");
        StateFile::write(texts);
        // An older program writes the one key and knows nothing of the pieces.
        KeyValueFile(StateFile::path()).writeString(StateFile::Section, StateFile::ConclusionKey, QStringLiteral("Не годен"));
        QCOMPARE(textOf(StateFile::read({}), QStringLiteral("Conclusion")), QStringLiteral("Не годен"));
    }

    void brokenPiecesFallBackToTheFirstLine_data()
    {
        QTest::addColumn<QString>("pieces");
        QTest::newRow("a piece missing") << "Conclusion.Parts=2\r\nConclusion.1=\"А\\nБ\"\r\n";
        QTest::newRow("an unknown escape") << "Conclusion.Parts=1\r\nConclusion.1=\"А\\qБ\"\r\n";
        QTest::newRow("a cut escape") << "Conclusion.Parts=1\r\nConclusion.1=\"А\\u04\"\r\n";
        QTest::newRow("a backslash at the end") << "Conclusion.Parts=1\r\nConclusion.1=\"А\\\"\r\n";
        QTest::newRow("an absurd count") << "Conclusion.Parts=2000000000\r\nConclusion.1=\"А\\nБ\"\r\n";
        QTest::newRow("a count that is no number") << "Conclusion.Parts=много\r\nConclusion.1=\"А\\nБ\"\r\n";
    }

    void brokenPiecesFallBackToTheFirstLine()
    {
        QFETCH(QString, pieces);
        QVERIFY(writeRaw(StateFile::path(), cp1251(QStringLiteral("[1]\r\nConclusion=А\r\n") + pieces)));
        QCOMPARE(textOf(StateFile::read({}), QStringLiteral("Conclusion")), QStringLiteral("А"));
    }

    void aFileOfTheOlderProgramIsRead()
    {
        // Its multi-line conclusion left the other lines as odd lines of the section.
        QVERIFY(writeRaw(StateFile::path(), cp1251(QStringLiteral("[1]\r\nName=ТМ-100\r\nCurrentInd=3\r\n"
                                                                  "Conclusion=Годен\r\nк эксплуатации\r\n"
                                                                  "TransformGrid112=x\r\n"))));
        const StateEntries restored = StateFile::read({});
        QCOMPARE(textOf(restored, QStringLiteral("Name")), QStringLiteral("ТМ-100"));
        QCOMPARE(textOf(restored, QStringLiteral("CurrentInd")), QStringLiteral("3"));
        QCOMPARE(textOf(restored, QStringLiteral("Conclusion")), QStringLiteral("Годен"));
        QCOMPARE(textOf(restored, QStringLiteral("TransformGrid112")), QStringLiteral("x"));
    }

    void aStateThatCannotBeWrittenGivesTheErrorText()
    {
        const QString notAFolder = m_folder->filePath(QStringLiteral("file"));
        QVERIFY(writeRaw(notAFolder, "x"));
        setRecordsDirectoryForTests(notAFolder);
        QString error;
        try {
            StateFile::write(fullState());
        } catch (const BenchError &e) {
            error = e.text();
        }
        QCOMPARE(error, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(notAFolder + QStringLiteral("/varnek.tmp")));
    }
};

QTEST_GUILESS_MAIN(TestStateFile)
#include "tst_statefile.moc"
