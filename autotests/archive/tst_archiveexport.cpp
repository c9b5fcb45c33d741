#include "archiveexport.h"
#include "archivefixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

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
    ArchiveRecord second = sampleRecord(QStringLiteral("18;a"), QStringLiteral("\"5\""));
    second.revision = 1;
    second.fields.remove(QStringLiteral("QRConclusion"));
    second.fields.insert(QStringLiteral("QRColor"), QStringLiteral("Цвет светло-жёлтый"));
    return {first, second};
}

} // namespace

class tst_ArchiveExport : public QObject {
    Q_OBJECT
private slots:
    void csvReadsBackOneRowPerRecordOneColumnPerField()
    {
        const QList<ArchiveRecord> records = twoRecords();
        const QByteArray bytes = ArchiveExport::toCsv(records);
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(bytes.mid(3)));
        QCOMPARE(rows.size(), 3);
        const QStringList header = rows[0];
        QCOMPARE(header, ArchiveExport::columns(records));
        QCOMPARE(header.count(QStringLiteral("QRConclusion")), 1);
        for (int r = 0; r < records.size(); ++r) {
            QCOMPARE(rows[r + 1].size(), header.size());
            for (int c = 0; c < header.size(); ++c)
                QCOMPARE(rows[r + 1][c], ArchiveExport::value(records[r], header[c]));
        }
        const int firm = header.indexOf(QStringLiteral("Фирма"));
        QCOMPARE(rows[1][firm], QStringLiteral("ООО \"Трансформер; ремонт\""));
        // Rich texts keep their lines; numbers keep the decimal point the protocol shows.
        QCOMPARE(rows[1][header.indexOf(QStringLiteral("QRKI"))], QStringLiteral("25.01\n25.02\n24.99"));
        QCOMPARE(rows[1][header.indexOf(QStringLiteral("ResistenceGrid00"))], QStringLiteral("1,234"));
        QCOMPARE(rows[2][header.indexOf(QStringLiteral("QRConclusion"))], QString());
        QCOMPARE(rows[2][header.indexOf(QStringLiteral("Протокол №"))], QStringLiteral("18;a"));
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
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(ArchiveExport::toCsv({record}).mid(3)));
        QCOMPARE(rows.size(), 2);
        QTEST(rows[1][rows[0].indexOf(QStringLiteral("Фирма"))], "cell");
    }

    void jsonParsesBackOneObjectPerRecord()
    {
        const QList<ArchiveRecord> records = twoRecords();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(ArchiveExport::toJson(records), &error);
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QJsonArray array = doc.array();
        QCOMPARE(array.size(), 2);
        const QJsonObject first = array[0].toObject();
        QCOMPARE(first.value(QStringLiteral("Редакция")).toInt(), 2);
        QCOMPARE(first.value(QStringLiteral("Заводской №")).toString(), QStringLiteral("4411"));
        QCOMPARE(first.value(QStringLiteral("QRKI")).toString(), QStringLiteral("25.01\n25.02\n24.99"));
        QCOMPARE(first.value(QStringLiteral("Pxx00")).toString(), QStringLiteral("1240.5"));
        QCOMPARE(QDateTime::fromString(first.value(QStringLiteral("Дата")).toString(), Qt::ISODateWithMs),
                 records[0].moment);
        QCOMPARE(array[1].toObject().value(QStringLiteral("Протокол №")).toString(), QStringLiteral("18;a"));
    }

    void unwritableTargetIsAFailureWithItsReason()
    {
        QTemporaryDir dir;
        QString error;
        QVERIFY(!ArchiveExport::writeFile(dir.filePath(QStringLiteral("no/such/folder/out.csv")), "x", &error));
        QVERIFY(error.contains(QStringLiteral("out.csv")));
        QVERIFY(ArchiveExport::writeFile(dir.filePath(QStringLiteral("out.csv")), "x", &error));
    }
};

QTEST_GUILESS_MAIN(tst_ArchiveExport)
#include "tst_archiveexport.moc"
