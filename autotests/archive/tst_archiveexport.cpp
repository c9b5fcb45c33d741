#include "archiveexport.h"
#include "archivefixture.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QXmlStreamReader>

#include <clocale>
#include <csignal>
#ifdef Q_OS_LINUX
#include <sys/resource.h>
#endif

namespace {

// A reader of ";"-separated rows with quoted fields, independent of the writer.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && i + 1 < text.size() && text[i + 1] == u'"') {
                field += u'"';
                ++i;
            } else if (c == u'"') {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == u'"') {
            quoted = true;
        } else if (c == u';') {
            row.append(field);
            field.clear();
        } else if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n') {
            row.append(field);
            field.clear();
            rows.append(row);
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty()) {
        row.append(field);
        rows.append(row);
    }
    return rows;
}

QList<ArchiveRecord> twoRecords()
{
    ArchiveRecord first = sampleRecord(QStringLiteral("17"), QStringLiteral("4411"));
    first.revision = 2;
    first.fields.insert(QStringLiteral("QRPnom"), QStringLiteral("630 кВА"));
    first.fields.insert(QStringLiteral("QRUnom"), QStringLiteral("10000 В / 400 В"));
    first.results.insert(QStringLiteral("Pkz12"), QStringLiteral("7 612.25"));
    first.results.insert(QStringLiteral("Group"), QStringLiteral("11"));
    ArchiveRecord second = sampleRecord(QStringLiteral("18;a"), QStringLiteral("\"5\""));
    second.revision = 1;
    second.fields.remove(QStringLiteral("QRConclusion"));
    second.fields.insert(QStringLiteral("QRColor"), QStringLiteral("Цвет светло-жёлтый"));
    second.results[QStringLiteral("Pxx00")] = QStringLiteral("обрыв");
    return {first, second};
}

QStringList heads()
{
    QStringList list;
    for (const ArchiveExport::Column &column : ArchiveExport::columns())
        list.append(column.head);
    return list;
}

// The cells of one sheet of a workbook as the spreadsheet keeps them: reference -> (type, value, style).
struct XlsxCell {
    QString type; // "" for a number, "inlineStr", "s", "str"...
    QString value;
    QString style;
};

QHash<QString, XlsxCell> readSheet(const QByteArray &xml)
{
    QHash<QString, XlsxCell> cells;
    QXmlStreamReader reader(xml);
    QString ref;
    XlsxCell cell;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"c") {
            ref = reader.attributes().value(QStringLiteral("r")).toString();
            cell = {reader.attributes().value(QStringLiteral("t")).toString(), QString(),
                    reader.attributes().value(QStringLiteral("s")).toString()};
        } else if (reader.isStartElement() && (reader.name() == u"v" || reader.name() == u"t") && !ref.isEmpty()) {
            cell.value += reader.readElementText();
        } else if (reader.isEndElement() && reader.name() == u"c") {
            cells.insert(ref, cell);
            ref.clear();
        }
    }
    return cells;
}

QString columnLetters(int column)
{
    QString letters;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        letters.prepend(QChar(u'A' + (c - 1) % 26));
    return letters;
}

// One member of a zip file, through the unzip tool.
QByteArray unzipped(const QString &zip, const QString &member, QString *problem)
{
    QProcess unzip;
    // unzip reads the name as a pattern: "[" opens a set of characters.
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), zip, QString(member).replace(u'[', QStringLiteral("[[]"))});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0) {
        *problem = QStringLiteral("unzip: ") + unzip.errorString() + QString::fromLocal8Bit(unzip.readAllStandardError());
        return {};
    }
    return unzip.readAllStandardOutput();
}

bool writeAll(ArchiveExport::Format format, const QString &path, const QList<ArchiveRecord> &records, QString *error)
{
    ArchiveExport::Writer writer(format);
    const bool ok = writer.write(path, records.size(), [&](qsizetype i) { return std::optional(records[i]); });
    *error = writer.errorString();
    return ok;
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

// The number formats of a book's cell styles, by style index ("" for the general one).
QList<QString> styleFormats(const QByteArray &stylesXml)
{
    QHash<QString, QString> codes;
    QList<QString> formats;
    QXmlStreamReader reader(stylesXml);
    bool inCellStyles = false;
    while (!reader.atEnd()) {
        reader.readNext();
        if (reader.isStartElement() && reader.name() == u"numFmt") {
            codes.insert(reader.attributes().value(QStringLiteral("numFmtId")).toString(),
                         reader.attributes().value(QStringLiteral("formatCode")).toString());
        } else if (reader.isStartElement() && reader.name() == u"cellXfs") {
            inCellStyles = true;
        } else if (reader.isEndElement() && reader.name() == u"cellXfs") {
            inCellStyles = false;
        } else if (inCellStyles && reader.isStartElement() && reader.name() == u"xf") {
            formats.append(codes.value(reader.attributes().value(QStringLiteral("numFmtId")).toString()));
        }
    }
    return formats;
}

// A number of the book's XML in C notation: "14.4", never "14,4".
bool isCNumber(const QString &text)
{
    static const QRegularExpression c(QStringLiteral("^-?[0-9]+(\\.[0-9]+)?([eE][-+]?[0-9]+)?$"));
    return c.match(text).hasMatch();
}

// The C library's locale, the way Qt's application object sets it from the environment, for
// the length of a scope.
class CLibraryLocale {
public:
    explicit CLibraryLocale(const char *name) : m_before(std::setlocale(LC_ALL, nullptr))
    {
        m_ok = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~CLibraryLocale() { std::setlocale(LC_ALL, m_before.constData()); }
    bool isSet() const { return m_ok; }

private:
    QByteArray m_before;
    bool m_ok = false;
};

} // namespace

class tst_ArchiveExport : public QObject {
    Q_OBJECT
private slots:
    void headsAreReadableQuantitiesEachOnce()
    {
        const QStringList list = heads();
        QCOMPARE(QSet<QString>(list.cbegin(), list.cend()).size(), list.size());
        for (const QString &head : list)
            QVERIFY2(!head.startsWith(QStringLiteral("QR")) && !head.contains(QStringLiteral("Grid")), qPrintable(head));
        QVERIFY(list.contains(QStringLiteral("Pхх, Вт")));
        QVERIFY(list.contains(QStringLiteral("Pном, кВА")));
    }

    void csvReadsBackOneRowPerRecordNumbersWithADecimalComma()
    {
        const QList<ArchiveRecord> records = twoRecords();
        const QByteArray bytes = ArchiveExport::toCsv(records);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rows.size(), 3);
        const QStringList header = rows[0];
        QCOMPARE(header, heads());
        for (int r = 1; r < rows.size(); ++r)
            QCOMPARE(rows[r].size(), header.size());
        const auto cell = [&](int row, const QString &head) {
            const int column = header.indexOf(head);
            return column < 0 ? QStringLiteral("(no column %1)").arg(head) : rows[row][column];
        };
        QCOMPARE(cell(1, QStringLiteral("Дата")), records[0].moment.toLocalTime().toString("dd.MM.yyyy HH:mm:ss"));
        QCOMPARE(cell(1, QStringLiteral("Редакция")), QStringLiteral("2"));
        QCOMPARE(cell(1, QStringLiteral("Фирма")), QStringLiteral("ООО \"Трансформер; ремонт\""));
        // Units move to the heads; the numbers keep their digits with a decimal comma.
        QCOMPARE(cell(1, QStringLiteral("Pхх, Вт")), QStringLiteral("1240,5"));
        QCOMPARE(cell(1, QStringLiteral("Iхх, А")), QStringLiteral("0,512"));
        QCOMPARE(cell(1, QStringLiteral("R ВН, ступень I, AB, Ом")), QStringLiteral("1,234"));
        QCOMPARE(cell(1, QStringLiteral("Pкз приведенное к 75 °C, Вт")), QStringLiteral("7612,25"));
        QCOMPARE(cell(1, QStringLiteral("Pном, кВА")), QStringLiteral("630"));
        QCOMPARE(cell(1, QStringLiteral("Uном ВН, В")), QStringLiteral("10000"));
        QCOMPARE(cell(1, QStringLiteral("Uном НН, В")), QStringLiteral("400"));
        QCOMPARE(cell(1, QStringLiteral("Группа соединения")), QStringLiteral("11"));
        QCOMPARE(cell(1, QStringLiteral("Заключение")), QStringLiteral("Годен; к эксплуатации \"без замечаний\""));
        // What is no number stays as typed; an absent value is an empty cell.
        QCOMPARE(cell(2, QStringLiteral("Pхх, Вт")), QStringLiteral("обрыв"));
        QCOMPARE(cell(2, QStringLiteral("Pном, кВА")), QString());
        QCOMPARE(cell(2, QStringLiteral("Заключение")), QString());
        QCOMPARE(cell(2, QStringLiteral("Цвет")), QStringLiteral("светло-жёлтый"));
        QCOMPARE(cell(2, QStringLiteral("Протокол №")), QStringLiteral("18;a"));
        QCOMPARE(cell(2, QStringLiteral("Заводской №")), QStringLiteral("\"5\""));
    }

    void csvCellsThatReadAsFormulasStayText_data()
    {
        QTest::addColumn<QString>("firm");
        QTest::addColumn<QString>("cell");
        QTest::newRow("formula") << "=HYPERLINK(\"x\")" << "'=HYPERLINK(\"x\")";
        QTest::newRow("plus") << "+7 495 1234567" << "'+7 495 1234567";
        QTest::newRow("minus text") << "-ремонт" << "'-ремонт";
        QTest::newRow("at") << "@SUM(A1)" << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1" << "'\t=1";
        QTest::newRow("negative number") << "-0.5" << "-0.5";
        QTest::newRow("signed exponent") << "+1e3" << "+1e3";
        QTest::newRow("lone plus, the usual conclusion") << "+" << "+";
        QTest::newRow("lone equals") << "=" << "'=";
        QTest::newRow("equals later") << "A=B" << "A=B";
        QTest::newRow("empty") << "" << "";
    }

    void csvCellsThatReadAsFormulasStayText()
    {
        QFETCH(QString, firm);
        ArchiveRecord record = sampleRecord(QStringLiteral("17"), QStringLiteral("4411"));
        record.firm = firm;
        record.fields[QStringLiteral("QRConclusion")] = firm;
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(ArchiveExport::toCsv({record}).mid(3)));
        QCOMPARE(rows.size(), 2);
        QTEST(rows[1][rows[0].indexOf(QStringLiteral("Фирма"))], "cell");
        QTEST(rows[1][rows[0].indexOf(QStringLiteral("Заключение"))], "cell");
    }

    void negativeNumbersStayNumbers()
    {
        ArchiveRecord record = sampleRecord();
        record.results[QStringLiteral("Ukz110")] = QStringLiteral("-0.5");
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(ArchiveExport::toCsv({record}).mid(3)));
        QCOMPARE(rows[1][rows[0].indexOf(QStringLiteral("Uкз, %"))], QStringLiteral("-0,5"));
    }

    void jsonCarriesNumbersAsNumbers()
    {
        const QList<ArchiveRecord> records = twoRecords();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(ArchiveExport::toJson(records), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray array = doc.array();
        QCOMPARE(array.size(), 2);
        const QJsonObject first = array[0].toObject();
        QCOMPARE(first.keys().size(), heads().size());
        QCOMPARE(first.value(QStringLiteral("Редакция")), QJsonValue(2));
        QCOMPARE(first.value(QStringLiteral("Заводской №")), QJsonValue(QStringLiteral("4411")));
        QCOMPARE(first.value(QStringLiteral("Pхх, Вт")), QJsonValue(1240.5));
        QCOMPARE(first.value(QStringLiteral("Pкз приведенное к 75 °C, Вт")), QJsonValue(7612.25));
        QCOMPARE(QDateTime::fromString(first.value(QStringLiteral("Дата")).toString(), Qt::ISODateWithMs),
                 records[0].moment);
        const QJsonObject second = array[1].toObject();
        QCOMPARE(second.value(QStringLiteral("Протокол №")), QJsonValue(QStringLiteral("18;a")));
        QCOMPARE(second.value(QStringLiteral("Pхх, Вт")), QJsonValue(QStringLiteral("обрыв")));
        QVERIFY(second.value(QStringLiteral("Заключение")).isNull());
        QCOMPARE(QJsonDocument::fromJson(ArchiveExport::toJson({})).array().size(), 0);
    }

    void xlsxHoldsTypedNumbersAndDates()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("protocols.xlsx"));
        const QList<ArchiveRecord> records = twoRecords();
        QString error;
        QVERIFY2(writeAll(ArchiveExport::Format::Xlsx, path, records, &error), qPrintable(error));
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed (scripts/deps.sh installs it)");
        const QByteArray xml = unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"), &error);
        QVERIFY2(!xml.isEmpty(), qPrintable(error));
        const QHash<QString, XlsxCell> cells = readSheet(xml);
        const auto at = [&](int row, const QString &head) {
            return cells.value(columnLetters(int(heads().indexOf(head))) + QString::number(row));
        };
        QCOMPARE(at(1, QStringLiteral("Pхх, Вт")).value, QStringLiteral("Pхх, Вт"));
        // A number cell carries no type (or "n") and the value in the file's own C notation.
        const XlsxCell losses = at(2, QStringLiteral("Pхх, Вт"));
        QVERIFY2(losses.type.isEmpty() || losses.type == u"n", qPrintable(losses.type));
        QCOMPARE(losses.value.toDouble(), 1240.5);
        QCOMPARE(at(2, QStringLiteral("Редакция")).value, QStringLiteral("2"));
        QCOMPARE(at(2, QStringLiteral("Pкз приведенное к 75 °C, Вт")).value.toDouble(), 7612.25);
        // A date is a day count since 1899-12-30 with a date style.
        const XlsxCell date = at(2, QStringLiteral("Дата"));
        QVERIFY(date.type.isEmpty() && !date.style.isEmpty());
        const QDateTime local = records[0].moment.toLocalTime();
        const double days = QDate(1899, 12, 30).daysTo(local.date()) + local.time().msecsSinceStartOfDay() / 86400000.0;
        QVERIFY2(qAbs(date.value.toDouble() - days) < 1e-6, qPrintable(date.value));
        // Texts are texts, a formula's text included; no number is a text.
        const XlsxCell serial = at(3, QStringLiteral("Заводской №"));
        QVERIFY(!serial.type.isEmpty());
        QCOMPARE(serial.value, QStringLiteral("\"5\""));
        QCOMPARE(at(3, QStringLiteral("Pхх, Вт")).value, QStringLiteral("обрыв"));
        QVERIFY(!at(3, QStringLiteral("Pхх, Вт")).type.isEmpty());
        QVERIFY(!cells.contains(columnLetters(int(heads().indexOf(QStringLiteral("Заключение")))) + u'3'));

        // Under any regional settings every number of the book is in C notation: the values,
        // the dates, the column widths (a spreadsheet refuses "14,4" and "19,71").
        for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
            if (it->type.isEmpty())
                QVERIFY2(isCNumber(it->value), qPrintable(it.key() + u' ' + it->value));
        }
        QVERIFY2(date.value.contains(u'.'), qPrintable(date.value));
        static const QRegularExpression widthAttribute(QStringLiteral("width=\"([^\"]*)\""));
        int widths = 0;
        for (auto m = widthAttribute.globalMatch(QString::fromUtf8(xml)); m.hasNext(); ++widths) {
            const QString width = m.next().captured(1);
            QVERIFY2(isCNumber(width), qPrintable(width));
        }
        QCOMPARE(widths, 2);
        QVERIFY(xml.contains("width=\"19.7109375\""));

        // Every part is well-formed XML and the archive's checksums hold.
        for (const QString &member : {QStringLiteral("[Content_Types].xml"), QStringLiteral("_rels/.rels"),
                                      QStringLiteral("xl/workbook.xml"), QStringLiteral("xl/_rels/workbook.xml.rels"),
                                      QStringLiteral("xl/styles.xml"), QStringLiteral("xl/worksheets/sheet1.xml")}) {
            QXmlStreamReader reader(unzipped(path, member, &error));
            while (!reader.atEnd())
                reader.readNext();
            QVERIFY2(!reader.hasError(), qPrintable(member + QStringLiteral(": ") + reader.errorString() + error));
        }
        QProcess test;
        test.start(QStringLiteral("unzip"), {QStringLiteral("-tq"), path});
        QVERIFY(test.waitForFinished(30000));
        QVERIFY2(test.exitCode() == 0, test.readAllStandardOutput().constData());
    }

    // The value in the book is the number the protocol shows, written with the digits it was
    // shown with; the imbalance "1,98 %" is the number 1.98 shown with its two decimals and "%".
    void xlsxNumbersAreTheShownNumbers_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("format");
        const QString losses = QStringLiteral("Pхх, Вт");
        const QString plain;
        const QString perCent = QStringLiteral("0.00\" %\"");
        QTest::newRow("8.61") << "Pxx00" << losses << "8.61" << "8.61" << plain;
        QTest::newRow("0.1") << "Pxx00" << losses << "0.1" << "0.1" << plain;
        QTest::newRow("trailing zero") << "Pxx00" << losses << "1240.50" << "1240.5" << plain;
        QTest::newRow("grouped") << "Pxx00" << losses << "7 612.25" << "7612.25" << plain;
        QTest::newRow("a million") << "Pxx00" << losses << "1000000" << "1000000" << plain;
        QTest::newRow("negative") << "Ukz110" << "Uкз, %" << "-0.5" << "-0.5" << plain;
        QTest::newRow("regional resistance") << "ResistenceGrid00" << "R ВН, ступень I, AB, Ом" << "1,250" << "1.25" << plain;
        QTest::newRow("imbalance") << "ResistenceGrid03" << "Небаланс R ВН, ступень I, %" << "1,98 %" << "1.98" << perCent;
        QTest::newRow("no imbalance") << "ResistenceGrid03" << "Небаланс R ВН, ступень I, %" << "0,00 %" << "0" << perCent;
        QTest::newRow("LV imbalance") << "ResistenceGrid53" << "Небаланс R НН, %" << "12,34 %" << "12.34" << perCent;
    }
    void xlsxNumbersAreTheShownNumbers()
    {
        QFETCH(QString, key);
        QFETCH(QString, head);
        QFETCH(QString, shown);
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed (scripts/deps.sh installs it)");
        ArchiveRecord record = sampleRecord();
        record.results[key] = shown;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.xlsx"));
        QString error;
        QVERIFY2(writeAll(ArchiveExport::Format::Xlsx, path, {record}, &error), qPrintable(error));
        const QHash<QString, XlsxCell> cells = readSheet(unzipped(path, QStringLiteral("xl/worksheets/sheet1.xml"), &error));
        const XlsxCell cell = cells.value(columnLetters(int(heads().indexOf(head))) + u'2');
        QVERIFY2(cell.type.isEmpty(), qPrintable(cell.type + u' ' + cell.value));
        QTEST(cell.value, "written");
        const QList<QString> formats = styleFormats(unzipped(path, QStringLiteral("xl/styles.xml"), &error));
        QTEST(formats.value(cell.style.toInt()), "format");
    }

    // A workshop PC runs under Russian regional settings: the C library's locale, set from the
    // environment by Qt's application object, must not reach any file the export writes.
    void filesAreTheSameUnderAnyLocale_data() { writerReplacesTheFileWholeOrKeepsTheOld_data(); }
    void filesAreTheSameUnderAnyLocale()
    {
        QFETCH(ArchiveExport::Format, format);
        QList<ArchiveRecord> records = twoRecords();
        records[0].results[QStringLiteral("Pxx00")] = QStringLiteral("14.4");
        records[0].results[QStringLiteral("ResistenceGrid03")] = QStringLiteral("1,98 %");
        QTemporaryDir dir;
        const auto written = [&](const char *locale, QByteArray *bytes) {
            const CLibraryLocale set(locale);
            if (!set.isSet())
                return false;
            const QString path = dir.filePath(QString::fromLatin1(locale) + u'.' + ArchiveExport::extension(format));
            QString error;
            if (!writeAll(format, path, records, &error))
                return false;
            *bytes = contents(path);
            return true;
        };
        QByteArray inC, inRussian;
        QVERIFY(written("C", &inC));
        if (!written("ru_RU.UTF-8", &inRussian))
            QSKIP("the locale ru_RU.UTF-8 is not made here (scripts/deps.sh makes it)");
        QVERIFY(!inC.isEmpty());
        QVERIFY(inC == inRussian);
    }

    void xlsxOpensInLibreOffice()
    {
        const QString office = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        if (office.isEmpty())
            QSKIP("LibreOffice is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("protocols.xlsx"));
        QString error;
        QVERIFY2(writeAll(ArchiveExport::Format::Xlsx, path, twoRecords(), &error), qPrintable(error));
        QProcess convert;
        convert.setWorkingDirectory(dir.path());
        convert.start(office, {QStringLiteral("--headless"), QStringLiteral("-env:UserInstallation=file://") + dir.filePath("profile"),
                               QStringLiteral("--convert-to"), QStringLiteral("csv:Text - txt - csv (StarCalc):59,34,76,1"),
                               QStringLiteral("--outdir"), dir.path(), path});
        QVERIFY(convert.waitForFinished(120000));
        QString text = QString::fromUtf8(contents(dir.filePath(QStringLiteral("protocols.csv"))));
        text.remove(u'\r').replace(u'\n', QStringLiteral("\r\n"));
        const QList<QStringList> rows = parseCsv(text);
        QVERIFY2(rows.size() >= 3, qPrintable(text.left(500)));
        const int losses = int(rows[0].indexOf(QStringLiteral("Pхх, Вт")));
        QVERIFY(losses >= 0);
        // The office shows the number in its own locale's notation.
        QCOMPARE(QString(rows[1][losses]).replace(u',', u'.').toDouble(), 1240.5);
        QCOMPARE(rows[2][losses], QStringLiteral("обрыв"));
    }

    void writerReplacesTheFileWholeOrKeepsTheOld_data()
    {
        QTest::addColumn<ArchiveExport::Format>("format");
        QTest::newRow("csv") << ArchiveExport::Format::Csv;
        QTest::newRow("json") << ArchiveExport::Format::Json;
        QTest::newRow("xlsx") << ArchiveExport::Format::Xlsx;
    }
    void writerReplacesTheFileWholeOrKeepsTheOld()
    {
        QFETCH(ArchiveExport::Format, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.") + ArchiveExport::extension(format));
        QString error;
        QVERIFY(!writeAll(format, dir.filePath(QStringLiteral("no/such/folder/out.csv")), twoRecords(), &error));
        QVERIFY(error.contains(QStringLiteral("out.csv")));

        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old file");
        }
        // Records that stop coming (a cancel, an unreadable record) leave the old file and no error.
        ArchiveExport::Writer stopped(format);
        QVERIFY(!stopped.write(path, 3, [](qsizetype i) {
            return i < 2 ? std::optional(sampleRecord(QString::number(i))) : std::nullopt;
        }));
        QVERIFY(stopped.errorString().isEmpty());
        QCOMPARE(contents(path), QByteArray("old file"));
        QVERIFY2(writeAll(format, path, twoRecords(), &error), qPrintable(error));
        QVERIFY(contents(path).size() > 100);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QFileInfo(path).fileName()});
    }

#ifdef Q_OS_LINUX
    // A full disk, played without root by a limit on the size of the files this process
    // writes: a write past it fails with EFBIG (SIGXFSZ ignored) as on a disk with no room.
    void aFullDiskKeepsTheOldFileAndSaysSo_data() { writerReplacesTheFileWholeOrKeepsTheOld_data(); }
    void aFullDiskKeepsTheOldFileAndSaysSo()
    {
        QFETCH(ArchiveExport::Format, format);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("out.") + ArchiveExport::extension(format));
        {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old file");
        }
        QList<ArchiveRecord> records;
        for (int i = 0; i < 200; ++i)
            records.append(sampleRecord(QString::number(i)));
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit tight = old;
        tight.rlim_cur = 2000; // far below the new file, a compressed workbook included
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &tight);
        QString error;
        const bool written = writeAll(format, path, records, &error);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QVERIFY(!written);
        QVERIFY2(error.contains(QStringLiteral("не записан")), qPrintable(error));
        QCOMPARE(contents(path), QByteArray("old file"));
    }
#endif
};

QTEST_GUILESS_MAIN(tst_ArchiveExport)
#include "tst_archiveexport.moc"
