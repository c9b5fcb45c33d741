#include "bencherror.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>
#include <thread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/resource.h>
#endif

class TestKeyValueFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    QString m_path;

    QString inFolder(const QString &name) const { return m_folder->filePath(name); }

    // A file of `text` in Windows-1251, or no file for a null text.
    void givenFile(const QString &text)
    {
        QFile::remove(m_path);
        if (!text.isNull())
            QVERIFY(writeRaw(m_path, cp1251(text)));
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        m_path = inFolder(QStringLiteral("test.ini"));
    }

    void readFindsTheValueOfTheFirstMatch_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");

        QTest::newRow("plain") << "[Stend]\r\nCOM=5\r\n" << "Stend" << "COM" << "5";
        QTest::newRow("section and key ignore letter case") << "[Stend]\r\nCOM=5\r\n" << "sTEND" << "com" << "5";
        QTest::newRow("Cyrillic names ignore letter case")
            << "[Тип ТМ-100/10]\r\nНапряжение=400\r\n" << "тИП тм-100/10" << "НАПРЯЖЕНИЕ" << "400";
        QTest::newRow("Ё and ё are one letter") << "[Ёлка]\r\nЁж=1\r\n" << "ёЛКА" << "ёж" << "1";
        QTest::newRow("blanks around the value are stripped") << "[s]\r\nk= \t abc d \t\r\n" << "s" << "k" << "abc d";
        QTest::newRow("blanks around names are ignored") << "  [ s ]  \r\n  k \t= v\r\n" << "s" << "k" << "v";
        QTest::newRow("double quotes are stripped") << "[s]\r\nk=\" a b \"\r\n" << "s" << "k" << " a b ";
        QTest::newRow("single quotes are stripped") << "[s]\r\nk='x'\r\n" << "s" << "k" << "x";
        QTest::newRow("quotes inside blanks are stripped") << "[s]\r\nk=  \"x\"  \r\n" << "s" << "k" << "x";
        QTest::newRow("only one pair of quotes is stripped") << "[s]\r\nk=\"\"x\"\"\r\n" << "s" << "k" << "\"x\"";
        QTest::newRow("unlike quotes stay") << "[s]\r\nk=\"x'\r\n" << "s" << "k" << "\"x'";
        QTest::newRow("a lone quote stays") << "[s]\r\nk=\"\r\n" << "s" << "k" << "\"";
        QTest::newRow("an equals sign belongs to the value") << "[s]\r\nk=a=b\r\n" << "s" << "k" << "a=b";
        QTest::newRow("an empty value is a value") << "[s]\r\nk=\r\n" << "s" << "k" << "";
        QTest::newRow("the first of twin keys counts") << "[s]\r\nk=1\r\nK=2\r\n" << "s" << "k" << "1";
        QTest::newRow("the first of twin sections counts") << "[s]\r\nk=1\r\n[S]\r\nk=2\r\n" << "s" << "k" << "1";
        QTest::newRow("a key of a later twin section is not found")
            << "[s]\r\na=1\r\n[S]\r\nk=2\r\n" << "s" << "k" << "default";
        QTest::newRow("a key of another section is not found") << "[a]\r\nk=1\r\n[b]\r\n" << "b" << "k" << "default";
        QTest::newRow("a key above every section is not found") << "k=1\r\n[s]\r\n" << "s" << "k" << "default";
        QTest::newRow("a missing section gives the default") << "[a]\r\nk=1\r\n" << "b" << "k" << "default";
        QTest::newRow("an empty file gives the default") << "" << "s" << "k" << "default";
        QTest::newRow("line feeds alone end lines") << "[s]\nk=v\n" << "s" << "k" << "v";
        QTest::newRow("carriage returns alone end lines") << "[s]\rk=v\r" << "s" << "k" << "v";
        QTest::newRow("no line break at the end") << "[s]\r\nk=v" << "s" << "k" << "v";
        QTest::newRow("text after the closing bracket is ignored") << "[s] ; note\r\nk=v\r\n" << "s" << "k" << "v";
        QTest::newRow("a hand-edited file with odd lines")
            << "; written by hand\r\n\r\njust words\r\n[s\r\n=orphan\r\n[s]\r\n  \r\nnot a key\r\n[broken\r\nk = v \r\n"
            << "s" << "k" << "v";
        QTest::newRow("a key that only starts like the wanted one") << "[s]\r\nkey2=1\r\nkey=2\r\n" << "s" << "key" << "2";
    }

    void readFindsTheValueOfTheFirstMatch()
    {
        QFETCH(QString, file);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        givenFile(file);
        QCOMPARE(KeyValueFile(m_path).readString(section, key, QStringLiteral("default")), expected);
    }

    void everyLetterOfTheCodePageMatchesInEitherCase()
    {
        QByteArray bytes;
        for (int b = 0x41; b < 0x100; ++b)
            bytes.append(char(b));
        QString letters;
        // Letters whose other case the code page has (not µ, whose capital is Greek).
        for (const QChar c : decodeWindows1251(bytes)) {
            if (c.isLetter() && isWindows1251Text(QString(c).toUpper()) && isWindows1251Text(QString(c).toLower()))
                letters += c;
        }
        QCOMPARE(letters.size(), 26 * 2 + 33 * 2 + 14 * 2); // Latin, Russian, other Cyrillic
        givenFile(u'[' + letters.toUpper() + QStringLiteral("]\r\n") + letters.toLower() + QStringLiteral("=1\r\n"));
        const KeyValueFile file(m_path);
        QCOMPARE(file.readString(letters.toLower(), letters.toUpper()), QStringLiteral("1"));
        QCOMPARE(file.readString(letters, letters), QStringLiteral("1"));
        // Signs that are not letters stay apart.
        givenFile(QStringLiteral("[a-1]\r\nk@=1\r\n"));
        QCOMPARE(file.readString(QStringLiteral("a_1"), QStringLiteral("k@"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(file.readString(QStringLiteral("A-1"), QStringLiteral("K`"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(file.readString(QStringLiteral("A-1"), QStringLiteral("K@")), QStringLiteral("1"));
    }

    void readCutsValuesAt2047Characters_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("expected");
        const QString limit(2047, u'я');
        QTest::newRow("exactly the limit") << limit << limit;
        QTest::newRow("one beyond the limit") << limit + u'x' << limit;
        QTest::newRow("far beyond the limit") << QString(100000, u'я') << limit;
        QTest::newRow("quotes are stripped before the cut") << u'"' + limit + u'"' << limit;
    }

    void readCutsValuesAt2047Characters()
    {
        QFETCH(QString, stored);
        QFETCH(QString, expected);
        givenFile(QStringLiteral("[s]\r\nk=") + stored + QStringLiteral("\r\n"));
        QCOMPARE(KeyValueFile(m_path).readString(QStringLiteral("s"), QStringLiteral("k")), expected);
    }

    void integersReadDecimalOrHexadecimal_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("expected");
        QTest::newRow("decimal") << "10" << 10;
        QTest::newRow("minus") << "-5" << -5;
        QTest::newRow("plus") << "+7" << 7;
        QTest::newRow("hexadecimal 0x") << "0x0A" << 10;
        QTest::newRow("hexadecimal 0X, small letters") << "0X1f" << 31;
        QTest::newRow("hexadecimal $") << "$0A" << 10;
        QTest::newRow("blanks and quotes around") << "  \"12\"  " << 12;
        QTest::newRow("largest") << "2147483647" << 2147483647;
        QTest::newRow("smallest") << "-2147483648" << int(-2147483647 - 1);
        QTest::newRow("largest hexadecimal") << "0x7FFFFFFF" << 2147483647;
        QTest::newRow("beyond 32 bits") << "2147483648" << -99;
        QTest::newRow("hexadecimal beyond 31 bits") << "0x80000000" << -99;
        QTest::newRow("a word") << "ten" << -99;
        QTest::newRow("empty") << "" << -99;
        QTest::newRow("digits then letters") << "12abc" << -99;
        QTest::newRow("prefix without digits") << "0x" << -99;
        QTest::newRow("dollar without digits") << "$" << -99;
        QTest::newRow("sign alone") << "-" << -99;
        QTest::newRow("sign before hexadecimal") << "-0x5" << -99;
        QTest::newRow("hexadecimal letters without prefix") << "A" << -99;
        QTest::newRow("decimal fraction") << "1.5" << -99;
        QTest::newRow("blank inside") << "1 2" << -99;
        QTest::newRow("Arabic-Indic digits") << QString::fromUtf8("\u0661") << -99;
    }

    void integersReadDecimalOrHexadecimal()
    {
        QFETCH(QString, stored);
        QFETCH(int, expected);
        givenFile(QStringLiteral("[s]\r\nk=") + stored + QStringLiteral("\r\n"));
        QCOMPARE(KeyValueFile(m_path).readInteger(QStringLiteral("s"), QStringLiteral("k"), -99), expected);
    }

    void booleansReadAsIntegers_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("defaultValue");
        QTest::addColumn<bool>("expected");
        QTest::newRow("one") << "[s]\r\nk=1\r\n" << false << true;
        QTest::newRow("zero") << "[s]\r\nk=0\r\n" << true << false;
        QTest::newRow("two is true") << "[s]\r\nk=2\r\n" << false << true;
        QTest::newRow("hexadecimal zero") << "[s]\r\nk=$0\r\n" << true << false;
        QTest::newRow("empty gives the default") << "[s]\r\nk=\r\n" << true << true;
        QTest::newRow("a word gives the default") << "[s]\r\nk=yes\r\n" << false << false;
        QTest::newRow("missing gives the default") << "[s]\r\n" << true << true;
    }

    void booleansReadAsIntegers()
    {
        QFETCH(QString, file);
        QFETCH(bool, defaultValue);
        QFETCH(bool, expected);
        givenFile(file);
        QCOMPARE(KeyValueFile(m_path).readBool(QStringLiteral("s"), QStringLiteral("k"), defaultValue), expected);
    }

    void readingNeverCreatesTheFile()
    {
        const KeyValueFile file(m_path);
        QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(file.readInteger(QStringLiteral("s"), QStringLiteral("k"), 10), 10);
        QVERIFY(file.readValues(QStringLiteral("s"), {QStringLiteral("k")}).isEmpty());
        QVERIFY(file.sectionNames().isEmpty());
        QVERIFY(!QFileInfo::exists(m_path));
    }

    void readValuesTakesManyKeysInOnePass()
    {
        givenFile(QStringLiteral("[s]\r\nB=2\r\na=1\r\nb=3\r\n[t]\r\nc=4\r\n"));
        const QHash<QString, QString> values =
            KeyValueFile(m_path).readValues(QStringLiteral("S"), {QStringLiteral("a"), QStringLiteral("b"),
                                                                 QStringLiteral("c"), QStringLiteral("A")});
        QCOMPARE(values.value(QStringLiteral("a")), QStringLiteral("1"));
        QCOMPARE(values.value(QStringLiteral("A")), QStringLiteral("1"));
        QCOMPARE(values.value(QStringLiteral("b")), QStringLiteral("2"));
        QVERIFY(!values.contains(QStringLiteral("c")));
    }

    void writeChangesTheFileAsExpected_data()
    {
        QTest::addColumn<QString>("before"); // null: no file
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("after");

        QTest::newRow("the first write creates the file") << QString() << "s" << "k" << "v" << "[s]\r\nk=v\r\n";
        QTest::newRow("a value is replaced in place")
            << "[a]\r\nx=1\r\n; note\r\n[b]\r\ny=2\r\n" << "a" << "x" << "9" << "[a]\r\nx=9\r\n; note\r\n[b]\r\ny=2\r\n";
        QTest::newRow("the key keeps its spelling when replaced")
            << "[A]\r\n KEY = \"old\" \r\n" << "a" << "key" << "new" << "[A]\r\n KEY =new\r\n";
        QTest::newRow("only the first of twin keys is replaced")
            << "[a]\r\nk=1\r\nk=2\r\n" << "a" << "k" << "9" << "[a]\r\nk=9\r\nk=2\r\n";
        QTest::newRow("only the first of twin sections is written")
            << "[a]\r\n[A]\r\nk=2\r\n" << "a" << "k" << "9" << "[a]\r\nk=9\r\n[A]\r\nk=2\r\n";
        QTest::newRow("a new key goes to the end of its section")
            << "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n" << "a" << "z" << "3" << "[a]\r\nx=1\r\nz=3\r\n\r\n[b]\r\ny=2\r\n";
        QTest::newRow("a new key goes after odd lines of its section")
            << "[a]\r\nx=1\r\nremark\r\n[b]\r\n" << "a" << "z" << "3" << "[a]\r\nx=1\r\nremark\r\nz=3\r\n[b]\r\n";
        QTest::newRow("a new key in an empty section")
            << "[a]\r\n[b]\r\n" << "a" << "z" << "3" << "[a]\r\nz=3\r\n[b]\r\n";
        QTest::newRow("a new key after a last line without line break")
            << "[a]\r\nx=1" << "a" << "z" << "3" << "[a]\r\nx=1\r\nz=3\r\n";
        QTest::newRow("a new section goes to the end of the file")
            << "[a]\r\nx=1\r\n" << "b" << "y" << "2" << "[a]\r\nx=1\r\n[b]\r\ny=2\r\n";
        QTest::newRow("a new section after a last line without line break")
            << "[a]\r\nx=1" << "b" << "y" << "2" << "[a]\r\nx=1\r\n[b]\r\ny=2\r\n";
        QTest::newRow("a new section in an empty file") << "" << "b" << "y" << "2" << "[b]\r\ny=2\r\n";
        QTest::newRow("a Cyrillic section is found whatever the letter case")
            << "[ТМ-100/10]\r\nВес=1\r\n" << "тм-100/10" << "вЕС" << "2" << "[ТМ-100/10]\r\nВес=2\r\n";
        QTest::newRow("a section with blanks around its name is found")
            << "[ s ]\r\nk=1\r\n" << "s" << "k" << "2" << "[ s ]\r\nk=2\r\n";
        QTest::newRow("line feed line ends stay")
            << "[a]\nx=1\n[b]\n" << "a" << "x" << "2" << "[a]\nx=2\n[b]\n";
        QTest::newRow("a value keeps only its first line")
            << "[a]\r\n" << "a" << "k" << "first\r\n[x]\r\ny=1" << "[a]\r\nk=first\r\n";
        QTest::newRow("a value with a lone line feed keeps its first line")
            << "[a]\r\n" << "a" << "k" << "first\nsecond" << "[a]\r\nk=first\r\n";
        QTest::newRow("an empty value") << "[a]\r\nk=1\r\n" << "a" << "k" << "" << "[a]\r\nk=\r\n";
    }

    void writeChangesTheFileAsExpected()
    {
        QFETCH(QString, before);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QFETCH(QString, after);
        givenFile(before);
        KeyValueFile(m_path).writeString(section, key, value);
        QCOMPARE(readRaw(m_path), cp1251(after));
    }

    void writeKeepsBytesItDoesNotChange()
    {
        const QByteArray head = QByteArray("\x00\x01\xff\x98 junk\r\n", 11) + cp1251(QStringLiteral("[Тип]\r\n"));
        const QByteArray tail = QByteArray("\r\n\x98\x00=\x80\r", 7);
        QVERIFY(writeRaw(m_path, head + "k=1" + tail));
        KeyValueFile(m_path).writeString(QStringLiteral("тип"), QStringLiteral("k"), QStringLiteral("2"));
        QCOMPARE(readRaw(m_path), head + "k=2" + tail);
    }

    void writeValuesWritesAGroupInOneGo()
    {
        givenFile(QStringLiteral("[s]\r\nb=old\r\n[t]\r\n"));
        KeyValueFile(m_path).writeValues(QStringLiteral("s"), {{QStringLiteral("c"), QStringLiteral("3")},
                                                               {QStringLiteral("B"), QStringLiteral("2")},
                                                               {QStringLiteral("a"), QStringLiteral("1")},
                                                               {QStringLiteral("c"), QStringLiteral("4")}});
        QCOMPARE(readRaw(m_path), QByteArray("[s]\r\nb=2\r\nc=4\r\na=1\r\n[t]\r\n"));
    }

    void integersAndBooleansAreWrittenAsDecimalText()
    {
        KeyValueFile file(m_path);
        file.writeInteger(QStringLiteral("s"), QStringLiteral("n"), -12);
        file.writeBool(QStringLiteral("s"), QStringLiteral("t"), true);
        file.writeBool(QStringLiteral("s"), QStringLiteral("f"), false);
        QCOMPARE(readRaw(m_path), QByteArray("[s]\r\nn=-12\r\nt=1\r\nf=0\r\n"));
    }

    void textIsStoredInWindows1251()
    {
        KeyValueFile(m_path).writeString(QStringLiteral("Раздел"), QStringLiteral("Ключ №"), QStringLiteral("Ёё 5 °C ™"));
        QCOMPARE(readRaw(m_path), QByteArray("[\xd0\xe0\xe7\xe4\xe5\xeb]\r\n\xca\xeb\xfe\xf7 \xb9=\xa8\xb8 5 \xb0" "C \x99\r\n"));
        QCOMPARE(KeyValueFile(m_path).readString(QStringLiteral("раздел"), QStringLiteral("ключ №")),
                 QStringLiteral("Ёё 5 °C ™"));
    }

    void eraseSectionRemovesItWithItsLines_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("after");
        const QString three = QStringLiteral("[a]\r\nx=1\r\n[b]\r\ny=2\r\nremark\r\n\r\n[c]\r\nz=3\r\n");
        QTest::newRow("a middle section") << three << "b" << "[a]\r\nx=1\r\n[c]\r\nz=3\r\n";
        QTest::newRow("the first section") << three << "A" << "[b]\r\ny=2\r\nremark\r\n\r\n[c]\r\nz=3\r\n";
        QTest::newRow("the last section") << three << "c" << "[a]\r\nx=1\r\n[b]\r\ny=2\r\nremark\r\n\r\n";
        QTest::newRow("a Cyrillic section whatever the letter case")
            << "[Тип Б]\r\nВес=1\r\n[ТМ]\r\n" << "тИП б" << "[ТМ]\r\n";
        QTest::newRow("twin sections all go") << "[a]\r\nx=1\r\n[b]\r\n[A]\r\nx=2\r\n" << "a" << "[b]\r\n";
        QTest::newRow("lines above every section stay") << "top\r\n[a]\r\nx=1\r\n" << "a" << "top\r\n";
        QTest::newRow("a missing section changes nothing") << three << "d" << three;
    }

    void eraseSectionRemovesItWithItsLines()
    {
        QFETCH(QString, before);
        QFETCH(QString, section);
        QFETCH(QString, after);
        givenFile(before);
        KeyValueFile(m_path).eraseSection(section);
        QCOMPARE(readRaw(m_path), cp1251(after));
    }

    void erasingFromAMissingFileCreatesNothing()
    {
        KeyValueFile(m_path).eraseSection(QStringLiteral("a"));
        QVERIFY(!QFileInfo::exists(m_path));
    }

    void sectionNamesComeInFileOrderOnce()
    {
        givenFile(QStringLiteral("k=0\r\n[Второй]\r\n[первый]\r\n[ВТОРОЙ]\r\nk=1\r\n[ c ]\r\n[broken\r\n[]\r\n"));
        QCOMPARE(KeyValueFile(m_path).sectionNames(),
                 QStringList({QStringLiteral("Второй"), QStringLiteral("первый"), QStringLiteral("c"), QString()}));
    }

    // Each name takes its length plus one terminating byte of the 16384-byte buffer.
    void sectionNamesStopAtTheFirstThatDoesNotFit_data()
    {
        QTest::addColumn<int>("lastLength");
        QTest::addColumn<int>("listed");
        // Fifteen names of 1023 letters take 15360 bytes; 1024 remain.
        QTest::newRow("the last name fills the buffer exactly") << 1023 << 17;
        QTest::newRow("the last name is one byte too long") << 1024 << 15;
    }

    void sectionNamesStopAtTheFirstThatDoesNotFit()
    {
        QFETCH(int, lastLength);
        QFETCH(int, listed);
        QString text;
        for (int i = 0; i < 15; ++i)
            text += u'[' + QString(1022, u'ж') + QString(QChar(u'a' + i)) + QStringLiteral("]\r\n");
        text += u'[' + QString(lastLength, u'я') + QStringLiteral("]\r\n");
        // A short name after the one that does not fit is left out as well.
        text += QStringLiteral("[z]\r\n");
        givenFile(text);
        const QStringList names = KeyValueFile(m_path).sectionNames();
        QCOMPARE(names.size(), listed - (listed > 16 ? 1 : 0));
        if (listed > 16)
            QCOMPARE(names.last(), QString(lastLength, u'я'));
        QVERIFY(!names.contains(QStringLiteral("z")));
    }

    void aHugeBinaryFileIsReadAndWrittenWithoutHarm()
    {
        QByteArray noise(24 * 1024 * 1024, Qt::Uninitialized);
        QRandomGenerator generator(1251);
        generator.fillRange(reinterpret_cast<quint32 *>(noise.data()), noise.size() / 4);
        // Line after line of brackets and equals signs, with a long line of no breaks.
        noise += QByteArray(4 * 1024 * 1024, '[') + QByteArray(4 * 1024 * 1024, '=');
        const QByteArray tail("\r\n[wanted]\r\nk=found\r\n");
        QVERIFY(writeRaw(m_path, noise + tail));

        KeyValueFile file(m_path);
        QCOMPARE(file.readString(QStringLiteral("wanted"), QStringLiteral("k")), QStringLiteral("found"));
        // The noise holds far more bracketed names than the list takes.
        qsizetype listed = 0;
        for (const QString &name : file.sectionNames())
            listed += name.size() + 1;
        QVERIFY(listed <= KeyValueFile::SectionNameBuffer);
        file.writeString(QStringLiteral("wanted"), QStringLiteral("k"), QStringLiteral("new"));
        const QByteArray after = readRaw(m_path);
        QCOMPARE(after.size(), noise.size() + tail.size() - 2);
        QVERIFY(after.startsWith(noise));
        QVERIFY(after.endsWith("k=new\r\n"));
    }

    // Another program (an editor, a synchronisation tool) cuts the file short and fills it
    // again while it is read: the read gives some version of it, never a crash.
    void aFileShortenedDuringTheReadGivesNoCrash()
    {
        const QByteArray full = "[s]\r\nk=v\r\n" + QByteArray(8 * 1024 * 1024, 'x');
        QVERIFY(writeRaw(m_path, full));
        std::atomic<bool> done = false;
        std::thread other([&] {
            for (int round = 0; round < 30; ++round) {
                QFile file(m_path);
                if (file.open(QIODevice::ReadWrite)) {
                    file.resize(0);
                    file.write(full);
                }
            }
            done = true;
        });
        // A key that is missing makes every read go through the whole file.
        KeyValueFile file(m_path);
        const QStringList keys{QStringLiteral("k"), QStringLiteral("missing")};
        int reads = 0;
        while (!done) {
            file.readValues(QStringLiteral("s"), keys);
            ++reads;
        }
        other.join();
        QVERIFY(reads > 0);
        QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k")), QStringLiteral("v"));
    }

    void aFileWithoutLineBreaksIsOneLine()
    {
        QVERIFY(writeRaw(m_path, "[s]k=v" + QByteArray(8 * 1024 * 1024, 'x')));
        KeyValueFile file(m_path);
        QCOMPARE(file.readString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("d")), QStringLiteral("d"));
        QCOMPARE(file.sectionNames(), QStringList(QStringLiteral("s")));
        file.writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
        QVERIFY(readRaw(m_path).endsWith(QByteArray("xxx\r\nk=v\r\n")));
    }

    void anUnwritablePlaceGivesTheErrorWithTheFullPath()
    {
        // A folder that is a file: nothing can be created in it, whoever runs the test.
        const QString notAFolder = inFolder(QStringLiteral("plain-file"));
        QVERIFY(writeRaw(notAFolder, "x"));
        const QString path = notAFolder + QStringLiteral("/test.ini");
        try {
            KeyValueFile(path).writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("v"));
            QFAIL("the write did not fail");
        } catch (const BenchError &error) {
            QCOMPARE(error.text(), QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(path));
        }
        QCOMPARE(readRaw(notAFolder), QByteArray("x"));
    }

    void aReadOnlyPlaceIsNotWritten_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("read-only folder") << true;
        QTest::newRow("read-only file") << false;
    }

    void aReadOnlyPlaceIsNotWritten()
    {
        QFETCH(bool, readOnlyFolder);
        const QByteArray before("[s]\r\nk=old\r\n");
        QVERIFY(writeRaw(m_path, before));
        const QString target = readOnlyFolder ? m_folder->path() : m_path;
        const QFile::Permissions permissions = QFile::permissions(target);
        QFile::setPermissions(target, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther | QFile::ExeOwner);
        const bool enforced = readOnlyFolder ? permissionsAreEnforced(m_folder->path()) : !QFileInfo(m_path).isWritable();
        QString error;
        if (enforced) {
            try {
                KeyValueFile(m_path).writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("new"));
            } catch (const BenchError &e) {
                error = e.text();
            }
        }
        QFile::setPermissions(target, permissions);
        if (!enforced)
            QSKIP("this user may write anywhere");
        QCOMPARE(error, KeyValueFile::writeErrorText(m_path));
        QCOMPARE(readRaw(m_path), before);
    }

    // A full disk, played by a file size limit: the write stops half-way.
    void aWriteThatCannotCompleteLeavesTheOldFile()
    {
#ifdef Q_OS_LINUX
        QByteArray before = "[s]\r\nk=old\r\n" + QByteArray(256 * 1024, 'x');
        QVERIFY(writeRaw(m_path, before));
        rlimit old{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        rlimit tight = old;
        tight.rlim_cur = 64 * 1024;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        QString error;
        try {
            KeyValueFile(m_path).writeString(QStringLiteral("s"), QStringLiteral("k"), QStringLiteral("new"));
        } catch (const BenchError &e) {
            error = e.text();
        }
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(error, KeyValueFile::writeErrorText(m_path));
        QCOMPARE(readRaw(m_path), before);
        QCOMPARE(QDir(m_folder->path()).entryList(QDir::Files), QStringList(QStringLiteral("test.ini")));
#else
        QSKIP("needs a file size limit");
#endif
    }

    void sectionNamesThatCannotBeWrittenAreUnfit_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fit");
        QTest::newRow("plain") << "ТМ-100/10" << true;
        QTest::newRow("an opening bracket inside") << "ТМ[1" << true;
        QTest::newRow("quotes and equals") << "\"a\"=b" << true;
        QTest::newRow("a closing bracket") << "ТМ]1" << false;
        QTest::newRow("an opening bracket first") << "[ТМ" << false;
        QTest::newRow("an opening bracket after blanks") << "  [ТМ" << false;
        QTest::newRow("a line feed") << "ТМ\n100" << false;
        QTest::newRow("a carriage return") << "ТМ\r100" << false;
        QTest::newRow("a character outside the code page") << "ТМ≤100" << false;
    }

    void sectionNamesThatCannotBeWrittenAreUnfit()
    {
        QFETCH(QString, name);
        QFETCH(bool, fit);
        QCOMPARE(KeyValueFile::isFitSectionName(name), fit);
    }

    void everyByteSurvivesTheCodePage()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(char(b));
        const QString text = decodeWindows1251(all);
        QCOMPARE(text.size(), 256);
        QCOMPARE(encodeWindows1251(text), all);
        QVERIFY(isWindows1251Text(text));
        QCOMPARE(encodeWindows1251(QStringLiteral("a≤😀b")), QByteArray("a??b"));
    }
};

QTEST_GUILESS_MAIN(TestKeyValueFile)
#include "tst_keyvaluefile.moc"
