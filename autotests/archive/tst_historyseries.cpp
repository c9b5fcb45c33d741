#include "historyseries.h"
#include "typednumber.h"

#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ArchiveRecord)

namespace {

constexpr double Gap = std::numeric_limits<double>::quiet_NaN();

// A record of `serial` on day `day` of 2024 with the given results ("key=text;key=text")
// and protocol fields in the same form.
ArchiveRecord record(qint64 id, int day, const QString &serial, const QString &results,
                     const QString &fields = QString(), const QString &protocol = QString(), int revision = 1)
{
    ArchiveRecord r;
    r.id = id;
    r.revision = revision;
    r.moment = QDateTime(QDate(2024, 1, 1).addDays(day), QTime(10, 0), Qt::UTC);
    r.protocolNumber = protocol.isEmpty() ? QString::number(id) : protocol;
    r.serialNumber = serial;
    r.type = QStringLiteral("ТМ-630/10");
    const auto parse = [](const QString &text, QMap<QString, QString> &into) {
        for (const QString &pair : text.split(u';', Qt::SkipEmptyParts)) {
            const qsizetype eq = pair.indexOf(u'=');
            into.insert(pair.left(eq), pair.mid(eq + 1));
        }
    };
    parse(results, r.results);
    parse(fields, r.fields);
    return r;
}

QList<double> valuesOf(const HistorySeries::Line &line)
{
    QList<double> out;
    for (const std::optional<double> &v : line.values)
        out.append(v ? *v : Gap);
    return out;
}

bool sameValues(const QList<double> &a, const QList<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) != std::isnan(b[i]))
            return false;
        if (!std::isnan(a[i]) && std::fabs(a[i] - b[i]) > 1e-9 * std::max(1.0, std::fabs(b[i])))
            return false;
    }
    return true;
}

} // namespace

class tst_HistorySeries : public QObject {
    Q_OBJECT
private slots:
    void linesFollowTheRecordsInDateOrder_data()
    {
        QTest::addColumn<QList<ArchiveRecord>>("records");
        QTest::addColumn<QString>("serial");
        QTest::addColumn<QString>("quantity");
        QTest::addColumn<std::optional<double>>("material");
        QTest::addColumn<QStringList>("protocols"); // the chart's records, in order
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QList<QList<double>>>("values"); // per line, NaN for a gap
        QTest::addColumn<QString>("axisTitle");

        const QString s = QStringLiteral("4411");
        const std::optional<double> copper;
        QTest::newRow("dates in order, a record without the quantity leaves a gap")
            << QList<ArchiveRecord>{record(1, 300, s, "Pxx00=1100"), record(2, 10, s, "Pxx00=1000"),
                                    record(3, 100, s, "Ixx00=0.5")}
            << s << "p0" << copper << QStringList{"2", "3", "1"} << QStringList{"Потери холостого хода"}
            << QList<QList<double>>{{1000, Gap, 1100}} << "P0, Вт";
        QTest::newRow("other transformers left out, serial matched without blanks and case")
            << QList<ArchiveRecord>{record(1, 1, "ab-7", "Ixx01=2.5"), record(2, 2, "5500", "Ixx01=9"),
                                    record(3, 3, " AB-7 ", "Ixx01=2,6")}
            << "Ab-7" << "i0.percent" << copper << QStringList{"1", "3"} << QStringList{"Ток холостого хода, %"}
            << QList<QList<double>>{{2.5, 2.6}} << "I0, %";
        QTest::newRow("the latest revision of a protocol replaces the earlier")
            << QList<ArchiveRecord>{record(1, 1, s, "Pkz12=7000", {}, "17", 1), record(2, 5, s, "Pkz12=7100", {}, "17", 2),
                                    record(3, 3, s, "Pkz12=6900", {}, "18", 1)}
            << s << "pk75" << copper << QStringList{"18", "17"} << QStringList{"Потери короткого замыкания при 75 °C"}
            << QList<QList<double>>{{6900, 7100}} << "Pк, Вт";
        QTest::newRow("ratio: three phases of one tap")
            << QList<ArchiveRecord>{record(1, 1, s, "TransformGrid50=25.01;TransformGrid51=25.02;TransformGrid52=24.99"),
                                    record(2, 2, s, "TransformGrid50=25.1;TransformGrid52=25")}
            << s << "ratio.2" << copper << QStringList{"1", "2"} << QStringList{"AB", "BC", "CA"}
            << QList<QList<double>>{{25.01, 25.1}, {25.02, Gap}, {24.99, 25}} << "K";
        QTest::newRow("resistance reduced to 20 °C; no winding temperature, no point")
            << QList<ArchiveRecord>{record(1, 1, s, "ResistenceGrid20=1.1;ResistenceGrid21=1,1;Temperature=40"),
                                    record(2, 2, s, "ResistenceGrid20=1.0"),
                                    record(3, 3, s, "ResistenceGrid20=1.0;ResistenceGrid22=2;Temperature=20")}
            << s << "resistance.2" << copper << QStringList{"1", "2", "3"} << QStringList{"AB", "CA", "BC"}
            << QList<QList<double>>{{1.1 * 255 / 275, Gap, 1.0}, {1.1 * 255 / 275, Gap, Gap}, {Gap, Gap, 2.0}}
            << "R, Ом, приведено к 20 °C (медь)";
        QTest::newRow("aluminium winding")
            << QList<ArchiveRecord>{record(1, 1, s, "ResistenceGrid00=1.0;Temperature=45")} << s << "resistance.0"
            << std::optional<double>(225.0) << QStringList{"1"} << QStringList{"AB", "CA", "BC"}
            << QList<QList<double>>{{1.0 * 245 / 270}, {Gap}, {Gap}} << "R, Ом, приведено к 20 °C (алюминий)";
        QTest::newRow("LV winding of a delta reads ab, ca, bc")
            << QList<ArchiveRecord>{record(1, 1, s, "ResistenceGrid51=0.002;Temperature=20", "QRCircuit=U / D - 11")}
            << s << "resistance.5" << copper << QStringList{"1"} << QStringList{"ab", "ca", "bc"}
            << QList<QList<double>>{{Gap}, {0.002}, {Gap}} << "R, Ом, приведено к 20 °C (медь)";
        QTest::newRow("insulation: R15 and R60 of one winding pair")
            << QList<ArchiveRecord>{record(1, 1, s, "RLow15=900;RLow60=1500"), record(2, 2, s, "RLow60=1400")}
            << s << "insulation.1" << copper << QStringList{"1", "2"} << QStringList{"R15", "R60"}
            << QList<QList<double>>{{900, Gap}, {1500, 1400}} << "R, МОм";
        QTest::newRow("Kabs as recorded, else R60 / R15")
            << QList<ArchiveRecord>{record(1, 1, s, "KabsHigh=1.6;RHL15=1000;RHL60=1500"), record(2, 2, s, "RHL15=0;RHL60=5")}
            << s << "kabs" << copper << QStringList{"1", "2"} << QStringList{"ВН - К", "НН - К", "ВН - НН"}
            << QList<QList<double>>{{1.6, Gap}, {Gap, Gap}, {1.5, Gap}} << "Кабс";
        QTest::newRow("oil: the number after the protocol's caption")
            << QList<ArchiveRecord>{record(1, 1, s, {}, "QRElectricStrength=Электрическая прочность 52 кВ"),
                                    record(2, 2, s, {}, "QRElectricStrength=Электрическая прочность "),
                                    record(3, 3, s, {}, "QRElectricStrength=Электрическая прочность 48,5")}
            << s << "oil.breakdown" << copper << QStringList{"1", "2", "3"} << QStringList{"Пробивное напряжение масла"}
            << QList<QList<double>>{{52, Gap, 48.5}} << "Пробивное напряжение масла, кВ";
        QTest::newRow("a text that is no number is a gap, never a zero")
            << QList<ArchiveRecord>{record(1, 1, s, "Pxx00=—"), record(2, 2, s, "Pxx00=abc"), record(3, 3, s, "Pxx00=0")}
            << s << "p0" << copper << QStringList{"1", "2", "3"} << QStringList{"Потери холостого хода"}
            << QList<QList<double>>{{Gap, Gap, 0}} << "P0, Вт";
    }
    void linesFollowTheRecordsInDateOrder()
    {
        QFETCH(QList<ArchiveRecord>, records);
        QFETCH(QString, serial);
        QFETCH(QString, quantity);
        QFETCH(std::optional<double>, material);
        QFETCH(QStringList, protocols);
        QFETCH(QStringList, lines);
        QFETCH(QList<QList<double>>, values);
        QFETCH(QString, axisTitle);

        HistorySeries::Options options;
        options.materialConstant = material;
        const HistorySeries::Chart chart = HistorySeries::build(quantity, records, serial, options);
        QStringList shownProtocols;
        for (const HistorySeries::RecordMark &m : chart.records)
            shownProtocols.append(m.protocolNumber);
        QCOMPARE(shownProtocols, protocols);
        for (qsizetype i = 1; i < chart.records.size(); ++i)
            QVERIFY(chart.records[i - 1].moment <= chart.records[i].moment);
        QStringList names;
        for (const HistorySeries::Line &l : chart.lines)
            names.append(l.name);
        QCOMPARE(names, lines);
        const auto text = [](const QList<double> &v) {
            QStringList t;
            for (double d : v)
                t.append(std::isnan(d) ? QStringLiteral("gap") : QString::number(d, 'g', 10));
            return t.join(u' ');
        };
        for (qsizetype i = 0; i < chart.lines.size(); ++i) {
            const QList<double> got = valuesOf(chart.lines[i]);
            QVERIFY2(sameValues(got, values[i]),
                     qPrintable(chart.lines[i].name + u": "_s + text(got) + u" != "_s + text(values[i])));
        }
        QCOMPARE(chart.axisTitle, axisTitle);
    }

    void baselineIsTheFirstValueOfTheLine()
    {
        const QString s = QStringLiteral("4411");
        const HistorySeries::Chart chart = HistorySeries::build(
            QStringLiteral("ratio.0"),
            {record(1, 5, s, "TransformGrid11=25.2"), record(2, 1, s, "TransformGrid10=25.0"),
             record(3, 9, s, "TransformGrid10=25.3;TransformGrid11=25.4")},
            s);
        QCOMPARE(chart.lines[0].baseline(), std::optional<double>(25.0));
        QCOMPARE(chart.lines[1].baseline(), std::optional<double>(25.2));
        QCOMPARE(chart.lines[2].baseline(), std::nullopt);
        QCOMPARE(chart.valueRange(), (std::optional<std::pair<double, double>>{{25.0, 25.4}}));
    }

    void chooserListsOnlyQuantitiesWithValues()
    {
        const QString s = QStringLiteral("4411");
        const QList<ArchiveRecord> records = {record(1, 1, s, "Pxx00=1000;RHigh60=500;Temperature=20"),
                                              record(2, 2, "9", "Pkz12=7000")};
        QStringList ids;
        for (const HistorySeries::Quantity &q : HistorySeries::quantitiesWithData(records, s))
            ids.append(q.id);
        QCOMPARE(ids, (QStringList{"p0", "insulation.0"}));
        QCOMPARE(HistorySeries::sheetQuantities(records, s), (QStringList{"p0", "insulation.0"}));
        for (const HistorySeries::Quantity &q : HistorySeries::quantities())
            QVERIFY2(!HistorySeries::build(q.id, {}, s).lines.isEmpty(), qPrintable(q.id));
        QVERIFY(HistorySeries::build(QStringLiteral("resistance.6"), records, s).lines.isEmpty());
    }

    void summariesChooseTheSameRecordsAsRecords()
    {
        const QString s = QStringLiteral("4411");
        const QList<ArchiveRecord> records = {record(4, 9, s, {}, {}, "20", 1), record(1, 1, s, {}, {}, "17", 1),
                                              record(2, 2, s, {}, {}, "17", 2), record(3, 3, "5500", {})};
        QList<ArchiveSummary> summaries;
        for (const ArchiveRecord &r : records)
            summaries.append({r.id, r.revision, r.moment.toMSecsSinceEpoch(), r.protocolNumber, r.type, r.serialNumber, {}});
        QList<qint64> fromRecords, fromSummaries;
        for (const ArchiveRecord &r : HistorySeries::recordsOf(records, s))
            fromRecords.append(r.id);
        for (const ArchiveSummary &r : HistorySeries::summariesOf(summaries, s))
            fromSummaries.append(r.id);
        QCOMPARE(fromRecords, (QList<qint64>{2, 4}));
        QCOMPARE(fromSummaries, fromRecords);
    }

    void leadingValueReadsProtocolTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<double>("value"); // NaN: none
        QTest::newRow("plain") << "1240.5" << 1240.5;
        QTest::newRow("decimal comma") << "0,02" << 0.02;
        QTest::newRow("digit groups and a unit") << "1 234,5 Вт" << 1234.5;
        QTest::newRow("rating pair takes the first") << "10000 В / 400 В" << 10000.0;
        QTest::newRow("empty") << "" << Gap;
        QTest::newRow("a word") << "нет" << Gap;
        // Read as 1.5 where the judgement read 0.015.
        QTest::newRow("comma and exponent") << "1,5e-2 мг КОН/г" << 0.015;
        QTest::newRow("beyond a double") << "1e400 кВ" << Gap;
        QTest::newRow("a broken digit group") << "1 2345 г/т" << Gap;
        QTest::newRow("two numbers") << "20 30" << Gap;
    }
    void leadingValueReadsProtocolTexts()
    {
        QFETCH(QString, text);
        QFETCH(double, value);
        const std::optional<double> got = HistorySeries::leadingValue(text);
        QCOMPARE(got.has_value(), !std::isnan(value));
        if (got)
            QCOMPARE(*got, value);
        QCOMPARE(got, readLeadingTypedNumber(text).value);
    }
};

QTEST_GUILESS_MAIN(tst_HistorySeries)
#include "tst_historyseries.moc"
