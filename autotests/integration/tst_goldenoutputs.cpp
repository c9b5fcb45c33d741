// What the operator keeps of a whole run must not change when the code behind it does: the
// state file, the filled protocol (its fields and both sheets), the archive record, the
// judgement's input, the history's charts of that record and the main window's six pages
// after a restart are compared with the copies in golden/, made by the program as it was.
//
// To make the copies anew (only after a change meant to alter what is kept):
//   GOLDEN_OUTPUTS_WRITE=1 LC_ALL=C.UTF-8 build/autotests/integration/tst_goldenoutputs
//   GOLDEN_OUTPUTS_WRITE=1 LC_ALL=ru_RU.UTF-8 build/autotests/integration/tst_goldenoutputs
#include "historyseries.h"
#include "namedchild.h"
#include "protocolarchive.h"
#include "protocolsession.h"
#include "sheetstore.h"
#include "sheetview.h"

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

// One set per regional setting: the resistance table writes the region's decimal separator.
const QString Region = qEnvironmentVariable("LC_ALL", u"C"_s).section(u'.', 0, 0);
const QString GoldenFolder = QStringLiteral(GOLDEN_DIR) + u'/' + Region;

bool writing()
{
    return qEnvironmentVariableIsSet("GOLDEN_OUTPUTS_WRITE");
}

// The date printed on the paper is the day of the run; the copies hold a mark in its place.
const QString TodayMark = u"<today>"_s;

QString withoutToday(QString text)
{
    return text.replace(QDate::currentDate().toString(u"dd.MM.yyyy"_s), TodayMark);
}

QByteArray sheetWithoutToday(const QByteArray &stored)
{
    std::optional<Sheet> sheet = SheetStore::deserialize(stored);
    if (!sheet)
        return QByteArray("<no sheet>");
    for (SheetTextOp &op : sheet->texts)
        for (QString &line : op.lines)
            line = withoutToday(line);
    return SheetStore::serialize(*sheet);
}

QByteArray lines(const QMap<QString, QString> &map)
{
    QByteArray out;
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        QString value = it.value();
        value.replace(u'\\', u"\\\\"_s).replace(u'\n', u"\\n"_s).replace(u'\r', u"\\r"_s);
        out += (it.key() + u'=' + withoutToday(value) + u'\n').toUtf8();
    }
    return out;
}

QByteArray documentFields(const PageDocument &page)
{
    QMap<QString, QString> fields;
    for (const ReportElement &e : page.elements()) {
        if (e.name.isEmpty())
            continue;
        if (e.kind == ElementKind::Label)
            fields.insert(e.name, e.caption + u" |w"_s + QString::number(e.geometryMm.width(), 'g', 17));
        else if (e.kind == ElementKind::RichText)
            fields.insert(e.name, e.lines.join(u'\n'));
    }
    return lines(fields);
}

QByteArray historyOf(const ArchiveRecord &record)
{
    QByteArray out;
    for (const HistorySeries::Quantity &q : HistorySeries::quantities()) {
        const HistorySeries::Chart chart = HistorySeries::build(q.id, {record}, record.serialNumber);
        out += (q.id + u" | "_s + chart.title + u" | "_s + chart.axisTitle + u'\n').toUtf8();
        for (const HistorySeries::Line &line : chart.lines) {
            QStringList values;
            for (const std::optional<double> &v : line.values)
                values << (v ? QString::number(*v, 'g', 17) : u"-"_s);
            out += (u"  "_s + line.name + u' ' + line.normId + u' ' + QString::number(line.tap) + u' '
                    + QString::number(line.row) + u": "_s + values.join(u' ') + u'\n')
                       .toUtf8();
        }
    }
    return out;
}

// Compared with its copy, or written as the copy.
void holdsBytes(const QString &name, const QByteArray &actual)
{
    QFile file(GoldenFolder + u'/' + name);
    if (writing()) {
        QVERIFY(QDir().mkpath(GoldenFolder));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(actual);
        return;
    }
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(u"no copy "_s + file.fileName()));
    const QByteArray expected = file.readAll();
    if (actual != expected) {
        QFile out(QDir::temp().filePath(u"golden-actual-"_s + name));
        if (out.open(QIODevice::WriteOnly))
            out.write(actual);
        QFAIL(qPrintable(name + u" differs from its copy; what it is now: "_s + out.fileName()));
    }
}

void holdsImage(const QString &name, const QImage &actual)
{
    const QString path = GoldenFolder + u'/' + name;
    if (writing()) {
        QVERIFY(actual.save(path));
        return;
    }
    const QImage expected(path);
    QVERIFY2(!expected.isNull(), qPrintable(u"no copy "_s + path));
    const QImage shown = actual.convertToFormat(expected.format());
    if (shown != expected) {
        const QString out = QDir::temp().filePath(u"golden-actual-"_s + name);
        actual.save(out);
        QFAIL(qPrintable(name + u" differs from its copy; what it is now: "_s + out));
    }
}

} // namespace

class TstGoldenOutputs : public QObject {
    Q_OBJECT
private slots:
    void wholeRunKeepsEveryOutputAsBefore();
};

void TstGoldenOutputs::wholeRunKeepsEveryOutputAsBefore()
{
    // A cursor caught blinking would differ from grab to grab.
    QApplication::setCursorFlashTime(0);
    WindowFixture fixture;
    QVERIFY(fixture.isValid());
    {
        ProtocolSession s(fixture, QStringLiteral(BENCH_EMULATOR));
        const auto done = qScopeGuard([&s] { s.closeWindows(); });
        QVERIFY2(s.startWindow(), qPrintable(s.error));
        QVERIFY2(s.loadType(), qPrintable(s.error));
        QVERIFY2(s.runNoLoad(), qPrintable(s.error));
        QVERIFY2(s.runShortCircuit(), qPrintable(s.error));
        QVERIFY2(s.runRatio(), qPrintable(s.error));
        QVERIFY2(s.runResistance(true), qPrintable(s.error));
        s.typeEntries();
        QVERIFY2(s.pressProtocol(), qPrintable(s.error));
        QVERIFY(fixture.prompts.messages.isEmpty());

        holdsBytes(u"protocol-fields1.txt"_s, documentFields(s.form3->StendReport));
        holdsBytes(u"protocol-fields2.txt"_s, documentFields(s.form3->StendReport2));
        holdsBytes(u"sheet1.bin"_s, sheetWithoutToday(SheetStore::serialize(*s.form4->pageStore(1)->sheet())));
        holdsBytes(u"sheet2.bin"_s, sheetWithoutToday(SheetStore::serialize(*s.form4->pageStore(2)->sheet())));

        QMap<QString, QString> judged;
        const QHash<QString, QString> texts = fixture.windows->assessment.assessmentTexts();
        for (auto it = texts.cbegin(); it != texts.cend(); ++it)
            judged.insert(it.key(), it.value());
        holdsBytes(u"assessment-input.txt"_s, lines(judged));

        // Saved as a pair: the archive keeps it.
        QTemporaryDir dir;
        fixture.prompts.fileAnswers = {dir.filePath(u"protocol.qrp"_s)};
        QTest::mouseClick(namedChild<QToolButton>(s.form4, u"QRSave"_s), Qt::LeftButton);
        QVERIFY(fixture.prompts.messages.isEmpty());
        ProtocolArchive reader(ArchiveSettings::sqliteDefault());
        const QList<ArchiveSummary> list = reader.summaries().value_or(QList<ArchiveSummary>{});
        QCOMPARE(list.size(), 1);
        const std::optional<ArchiveRecord> record = reader.record(list[0].id);
        QVERIFY(record);
        QMap<QString, QString> head{{u"protocolNumber"_s, record->protocolNumber},
                                    {u"type"_s, record->type},
                                    {u"serialNumber"_s, record->serialNumber},
                                    {u"firm"_s, record->firm},
                                    {u"revision"_s, QString::number(record->revision)}};
        holdsBytes(u"archive-head.txt"_s, lines(head));
        holdsBytes(u"archive-fields.txt"_s, lines(record->fields));
        holdsBytes(u"archive-results.txt"_s, lines(record->results));
        holdsBytes(u"archive-sheet1.bin"_s, sheetWithoutToday(record->sheet1));
        holdsBytes(u"archive-sheet2.bin"_s, sheetWithoutToday(record->sheet2));
        holdsBytes(u"history.txt"_s, historyOf(*record));

        // The state file is written as the window closes.
        QVERIFY(fixture.form->close());
    }
    QFile state(fixture.filePath(u"varnek.tmp"_s));
    QVERIFY(state.open(QIODevice::ReadOnly));
    holdsBytes(u"varnek.tmp"_s, state.readAll());
    fixture.deleteWindow();

    // The next start shows it all again; each page as the operator sees it.
    QVERIFY(fixture.startWindow());
    QVERIFY2(fixture.prompts.messages.isEmpty(), qPrintable(fixture.prompts.messages.value(0).text));
    TForm1 *form = fixture.form;
    // The year of the repair starts as this year; the copies hold the run's.
    form->control<QLineEdit>("YearOfRepair")->setText(u"2026"_s);
    form->setFocus();
    // The pictures once: under other regional settings only the table's texts differ.
    if (Region != u"C"_s)
        return;
    auto *pages = form->control<PageControl>("PageControl1");
    for (int i = 0; i < pages->pageCount(); ++i) {
        pages->setActivePage(pages->page(i));
        QCoreApplication::processEvents();
        holdsImage(u"page%1.png"_s.arg(i), form->grab().toImage());
    }
}

QTEST_MAIN(TstGoldenOutputs)
#include "tst_goldenoutputs.moc"
