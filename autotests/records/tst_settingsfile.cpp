#include "bencherror.h"
#include "keyvaluefile.h"
#include "recordsfixture.h"
#include "recordslocation.h"
#include "settingsfile.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

namespace {

// Each text with the key the file has always used for it, spelled here on its own so a
// changed key shows.
struct TextField {
    const char *name;
    QString key;
    void write(const QString &text) const { SettingsFile::writeText(QString::fromLatin1(name), text); }
    QString read(const BenchSettings &s) const { return s.texts.value(QString::fromLatin1(name)); }
};

const QList<TextField> &textFields()
{
    static const QList<TextField> fields = {
        {"Chief", QStringLiteral("Начальник ОТК")},
        {"ChiefName", QStringLiteral("Начальник")},
        {"Investigator", QStringLiteral("Испытал")},
        {"Firm", QStringLiteral("Название фирмы")},
        {"OilAnalysis", QStringLiteral("Анализ масла №")},
        {"ElectricStrength", QStringLiteral("Электрическая прочность")},
        {"WaterContent", QStringLiteral("Содержание воды")},
        {"MechanicalImpurities", QStringLiteral("Механические примеси")},
        {"WeightedCoalContent", QStringLiteral("Содержание взвешанного угля")},
        {"Color", QStringLiteral("Цвет")},
        {"AcidNumber", QStringLiteral("Кислотное число КОН")},
        {"ReactionAqueousExtract", QStringLiteral("Реакция водной вытяжки")},
        {"FlashTemperature", QStringLiteral("Температура вспышки")},
    };
    return fields;
}

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_folder;

    QString stored(const QString &key) const
    {
        return KeyValueFile(SettingsFile::path()).readString(SettingsFile::Section, key, QStringLiteral("<missing>"));
    }

private slots:
    void init()
    {
        m_folder = std::make_unique<QTemporaryDir>();
        QVERIFY(m_folder->isValid());
        setRecordsDirectoryForTests(m_folder->path());
    }

    void cleanup() { setRecordsDirectoryForTests(QString()); }

    void theFileLiesInTheRecordsFolder()
    {
        QCOMPARE(SettingsFile::path(), m_folder->filePath(QStringLiteral("varnek.ini")));
    }

    void firstStartWithoutTheFileGivesTheDefaults()
    {
        const BenchSettings s = SettingsFile::read();
        for (const TextField &f : textFields())
            QVERIFY2(f.read(s).isEmpty(), f.name);
        QCOMPARE(s.autoStop, true);
        QCOMPARE(s.portNum, 10);
        QCOMPARE(s.userBaudrate, 1000000);
        const PortSettings port = SettingsFile::readPort();
        QCOMPARE(port.portNum, 10);
        QCOMPARE(port.userBaudrate, 1000000);
        QVERIFY(!QFileInfo::exists(SettingsFile::path()));
    }

    void everyWriterStoresItsOwnKey_data()
    {
        QTest::addColumn<int>("index");
        for (int i = 0; i < textFields().size(); ++i)
            QTest::newRow(textFields()[i].name) << i;
    }

    void everyWriterStoresItsOwnKey()
    {
        QFETCH(int, index);
        const TextField &f = textFields()[index];
        const QString text = QStringLiteral("Иванов И. И. (") + QString::fromLatin1(f.name) + u')';
        f.write(text);
        QCOMPARE(stored(f.key), text);
        const BenchSettings s = SettingsFile::read();
        QCOMPARE(f.read(s), text);
        for (const TextField &other : textFields()) {
            if (&other != &f)
                QVERIFY2(other.read(s).isEmpty(), other.name);
        }
    }

    void allFieldsComeBackAtTheNextStart()
    {
        for (const TextField &f : textFields())
            f.write(QStringLiteral("текст ") + QString::fromLatin1(f.name));
        SettingsFile::writeAutoStop(false);
        SettingsFile::writePort(3, 115200);
        const BenchSettings s = SettingsFile::read();
        for (const TextField &f : textFields())
            QCOMPARE(f.read(s), QStringLiteral("текст ") + QString::fromLatin1(f.name));
        QCOMPARE(s.autoStop, false);
        QCOMPARE(s.portNum, 3);
        QCOMPARE(s.userBaudrate, 115200);
        const PortSettings port = SettingsFile::readPort();
        QCOMPARE(port.portNum, 3);
        QCOMPARE(port.userBaudrate, 115200);
    }

    void numbersInTheFileAreReadWithTheirDefaults_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("autoStop");
        QTest::addColumn<int>("portNum");
        QTest::addColumn<int>("userBaudrate");
        QTest::newRow("port in hexadecimal") << "COM=0x0A" << true << 10 << 1000000;
        QTest::newRow("port written as a word") << "COM=десять" << true << 10 << 1000000;
        QTest::newRow("port 3") << "COM=3" << true << 3 << 1000000;
        QTest::newRow("speed") << "Baud=115200" << true << 10 << 115200;
        QTest::newRow("speed that is no number") << "Baud=12a" << true << 10 << 1000000;
        QTest::newRow("auto-stop 2 is true") << "AutoStop=2" << true << 10 << 1000000;
        QTest::newRow("auto-stop 0 is false") << "AutoStop=0" << false << 10 << 1000000;
        QTest::newRow("empty auto-stop is the default") << "AutoStop=" << true << 10 << 1000000;
        QTest::newRow("keys in another letter case") << "autostop=0" << false << 10 << 1000000;
    }

    void numbersInTheFileAreReadWithTheirDefaults()
    {
        QFETCH(QString, line);
        QFETCH(bool, autoStop);
        QFETCH(int, portNum);
        QFETCH(int, userBaudrate);
        QVERIFY(writeRaw(SettingsFile::path(), cp1251(QStringLiteral("[STEND]\r\n") + line + QStringLiteral("\r\n"))));
        const BenchSettings s = SettingsFile::read();
        QCOMPARE(s.autoStop, autoStop);
        QCOMPARE(s.portNum, portNum);
        QCOMPARE(s.userBaudrate, userBaudrate);
        QCOMPARE(SettingsFile::readPort().portNum, portNum);
    }

    void theTickIsStoredAsOneOrZero()
    {
        SettingsFile::writeAutoStop(false);
        QCOMPARE(stored(SettingsFile::AutoStopKey), QStringLiteral("0"));
        SettingsFile::writeAutoStop(true);
        QCOMPARE(stored(SettingsFile::AutoStopKey), QStringLiteral("1"));
        SettingsFile::writePort(-1, 9600);
        QCOMPARE(stored(SettingsFile::ComKey), QStringLiteral("-1"));
        QCOMPARE(stored(SettingsFile::BaudKey), QStringLiteral("9600"));
    }

    void aFirmNameOnSeveralLinesIsStoredAsOneLine_data()
    {
        QTest::addColumn<QString>("memo");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two lines are joined by one blank") << "ООО \"Энергия\"\nг. Самара" << "ООО \"Энергия\" г. Самара";
        QTest::newRow("carriage return and line feed") << "ООО\r\nЭнергия" << "ООО Энергия";
        QTest::newRow("blanks at the line ends") << "ООО   \n   Энергия" << "ООО Энергия";
        QTest::newRow("empty lines are left out") << "ООО\n\n\nЭнергия\n" << "ООО Энергия";
        QTest::newRow("a paragraph separator") << QStringLiteral("ООО\u2029Энергия") << "ООО Энергия";
        QTest::newRow("one line stays") << "ООО Энергия" << "ООО Энергия";
        QTest::newRow("empty") << "" << "";
    }

    void aFirmNameOnSeveralLinesIsStoredAsOneLine()
    {
        QFETCH(QString, memo);
        QFETCH(QString, expected);
        SettingsFile::writeText(QStringLiteral("Firm"), memo);
        QCOMPARE(SettingsFile::read().texts.value(QStringLiteral("Firm")), expected);
    }

    void aQuotedValueComesBackWithoutQuotes()
    {
        QVERIFY(writeRaw(SettingsFile::path(), cp1251(QStringLiteral("[Stend]\r\nИспытал=\"Петров П. П.\"\r\n"))));
        QCOMPARE(SettingsFile::read().texts.value(QStringLiteral("Investigator")), QStringLiteral("Петров П. П."));
    }

    void anUnchangedTextIsWrittenAgain()
    {
        SettingsFile::writeText(QStringLiteral("Chief"), QStringLiteral("Сидоров"));
        // Changed behind the program's back: leaving the field stores its text again.
        KeyValueFile(SettingsFile::path()).writeString(SettingsFile::Section, QStringLiteral("Начальник ОТК"), QStringLiteral("x"));
        SettingsFile::writeText(QStringLiteral("Chief"), QStringLiteral("Сидоров"));
        QCOMPARE(stored(QStringLiteral("Начальник ОТК")), QStringLiteral("Сидоров"));
    }

    void writingKeepsTheOtherKeysInPlace()
    {
        SettingsFile::writeText(QStringLiteral("Chief"), QStringLiteral("А"));
        SettingsFile::writePort(5, 19200);
        SettingsFile::writeText(QStringLiteral("Chief"), QStringLiteral("Б"));
        QCOMPARE(readRaw(SettingsFile::path()),
                 cp1251(QStringLiteral("[Stend]\r\nНачальник ОТК=Б\r\nCOM=5\r\nBaud=19200\r\n")));
    }

    void aFileThatCannotBeWrittenGivesTheErrorText()
    {
        const QString notAFolder = m_folder->filePath(QStringLiteral("file"));
        QVERIFY(writeRaw(notAFolder, "x"));
        setRecordsDirectoryForTests(notAFolder);
        QString error;
        try {
            SettingsFile::writeText(QStringLiteral("Color"), QStringLiteral("жёлтый"));
        } catch (const BenchError &e) {
            error = e.text();
        }
        QCOMPARE(error, QStringLiteral("Unable to write to ") + QDir::toNativeSeparators(notAFolder + QStringLiteral("/varnek.ini")));
    }
};

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
