#include "Unit4.h"
#include "namedchild.h"
#include "resultrecord.h"
#include "archivewindow.h"
#include "historywindow.h"
#include "report.h"
#include "sheetstore.h"
#include "sheetview.h"
#include "windowfixture.h"

#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QSignalSpy>
#include <QTableView>
#include <QToolButton>

#include <memory>

using namespace Qt::StringLiterals;

namespace {
enum class Way { Print, Save, Pdf };

QString allText(const SheetStore *store)
{
    QStringList all;
    if (store && store->sheet())
        for (const SheetTextOp &op : store->sheet()->texts)
            all += op.lines;
    return all.join(u'\n');
}

QWidget *nextTabStop(QWidget *from)
{
    QWidget *w = from->nextInFocusChain();
    while (w != from && !(w->focusPolicy() & Qt::TabFocus))
        w = w->nextInFocusChain();
    return w;
}

QMap<QString, QString> asMap(const QHash<QString, QString> &hash)
{
    QMap<QString, QString> map;
    for (auto it = hash.cbegin(); it != hash.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}
} // namespace

// Each protocol that leaves the preview as paper, a saved pair or a PDF is kept in the
// archive; the archive's records open again in the preview.
class TstProtocolArchiving : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void producedProtocolIsKeptOnceAndRevisedWhenChanged_data();
    void producedProtocolIsKeptOnceAndRevisedWhenChanged();
    void entriesChangedAfterTheFillingDoNotReachTheRecord();
    void pairOpenedFromFilesIsNotKept();
    void unusableArchiveStillPrintsWithOneMessage_data();
    void unusableArchiveStillPrintsWithOneMessage();
    void archivedRecordOpensInThePreviewAndIsNotKeptAgain();
    void openListIsReadOnceForEachStoredProtocol();
    void historyPointOpensItsProtocolInThePreview();

private:
    void fillAndPress(const QString &conclusion = u"Годен"_s);
    void produce(Way way);
    QList<ArchiveSummary> summaries();

    std::unique_ptr<WindowFixture> f;
    TForm3 *form3 = nullptr;
    TForm4 *form4 = nullptr;
    int pagesPrinted = 0;
    int files = 0;
};

void TstProtocolArchiving::init()
{
    f = std::make_unique<WindowFixture>();
    QVERIFY(f->isValid());
    QVERIFY(f->startWindow());
    form3 = f->form3;
    form4 = f->form4;
    form4->printer().setOutputFormat(QPrinter::PdfFormat);
    form4->printer().setOutputFileName(f->filePath(u"printer.pdf"_s));
    pagesPrinted = 0;
    files = 0;
    connect(form4, &TForm4::pagePrinted, this, [this] { ++pagesPrinted; });
}

void TstProtocolArchiving::cleanup()
{
    f.reset();
    form3 = nullptr;
    form4 = nullptr;
}

void TstProtocolArchiving::fillAndPress(const QString &conclusion)
{
    TForm1 *w = f->form;
    w->control<QLineEdit>("ProtocolNumber")->setText(u"12"_s);
    w->control<QComboBox>("Name")->setEditText(u"ТМ-250/10"_s);
    w->control<QLineEdit>("RepairNumber")->setText(u"4711"_s);
    w->control<QPlainTextEdit>("Firm")->setPlainText(u"ООО Ромашка"_s);
    w->results().set(ResultId::Pxx00, u"1240"_s);
    w->control<QPlainTextEdit>("Conclusion")->setPlainText(conclusion);
    f->click(w->control<QPushButton>("Previw"));
    // Page 1 is laid out in a step of its own after the click.
    QCoreApplication::processEvents();
    QVERIFY(form4->isVisible());
}

void TstProtocolArchiving::produce(Way way)
{
    const QString name = f->filePath(u"out%1"_s.arg(++files));
    switch (way) {
    case Way::Print: QTest::mouseClick(namedChild<QToolButton>(form4, u"QRPrint"_s), Qt::LeftButton); break;
    case Way::Save:
        f->prompts.fileAnswers = {name + u".qrp"_s};
        QTest::mouseClick(namedChild<QToolButton>(form4, u"QRSave"_s), Qt::LeftButton);
        QVERIFY(QFile::exists(name + u".qrp"_s) && QFile::exists(name));
        break;
    case Way::Pdf:
        f->prompts.fileAnswers = {name + u".pdf"_s};
        QTest::mouseClick(namedChild<QToolButton>(form4, u"QRSavePdf"_s), Qt::LeftButton);
        QVERIFY(QFile::exists(name + u".pdf"_s));
        break;
    }
}

// A reader of its own on the same file, as a second bench would see it.
QList<ArchiveSummary> TstProtocolArchiving::summaries()
{
    ProtocolArchive reader(ArchiveSettings::sqliteDefault());
    return reader.summaries().value_or(QList<ArchiveSummary>{});
}

void TstProtocolArchiving::producedProtocolIsKeptOnceAndRevisedWhenChanged_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("printed") << Way::Print;
    QTest::newRow("saved") << Way::Save;
    QTest::newRow("PDF") << Way::Pdf;
}

void TstProtocolArchiving::producedProtocolIsKeptOnceAndRevisedWhenChanged()
{
    QFETCH(Way, way);
    fillAndPress();
    produce(way);
    QList<ArchiveSummary> list = summaries();
    QCOMPARE(list.size(), 1);

    ProtocolArchive reader(ArchiveSettings::sqliteDefault());
    const std::optional<ArchiveRecord> record = reader.record(list[0].id);
    QVERIFY(record);
    QCOMPARE(record->revision, 1);
    QCOMPARE(record->protocolNumber, u"12"_s);
    QCOMPARE(record->type, u"ТМ-250/10"_s);
    QCOMPARE(record->serialNumber, u"4711"_s);
    QCOMPARE(record->firm, u"ООО Ромашка"_s);
    QCOMPARE(record->fields.value(u"QRProtocolNumber"_s), u"Протокол №12 испытания трансформатора ТМ-250/10"_s);
    QCOMPARE(record->fields.value(u"QRConclusion"_s), u"Годен"_s);
    QCOMPARE(record->results, asMap(f->windows->records.stateTexts()));
    QVERIFY(record->results.values().contains(u"1240"_s));
    for (const auto &[data, view] : {std::pair{record->sheet1, namedChild<SheetView>(form4, u"QRPreview1"_s)},
                                     std::pair{record->sheet2, namedChild<SheetView>(form4, u"QRPreview2"_s)}}) {
        const std::optional<Sheet> sheet = SheetStore::deserialize(data);
        QVERIFY(sheet);
        QCOMPARE(SheetStore::serialize(*sheet), SheetStore::serialize(*view->store()->sheet()));
    }

    // The same protocol asked for and produced again is the same record.
    fillAndPress();
    produce(way);
    QCOMPARE(summaries().size(), 1);

    fillAndPress(u"Годен к работе"_s);
    produce(way);
    list = summaries();
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].revision, 2);
    QCOMPARE(list[0].protocolNumber, u"12"_s);
    QVERIFY(f->prompts.messages.isEmpty());
}

// The record describes the paper: what the operator types while the preview is open
// belongs to the next protocol, not to the one being printed.
void TstProtocolArchiving::entriesChangedAfterTheFillingDoNotReachTheRecord()
{
    fillAndPress();
    f->form->control<QLineEdit>("RepairNumber")->setText(u"9999"_s);
    f->form->control<QComboBox>("Name")->setEditText(u"ТМ-400/10"_s);
    f->form->results().set(ResultId::Pxx00, u"2000"_s);
    produce(Way::Print);
    const QList<ArchiveSummary> list = summaries();
    QCOMPARE(list.size(), 1);
    ProtocolArchive reader(ArchiveSettings::sqliteDefault());
    const std::optional<ArchiveRecord> record = reader.record(list[0].id);
    QVERIFY(record);
    QCOMPARE(record->serialNumber, u"4711"_s);
    QCOMPARE(record->type, u"ТМ-250/10"_s);
    QVERIFY(record->results.values().contains(u"1240"_s));
    QVERIFY(!record->results.values().contains(u"2000"_s));
}

void TstProtocolArchiving::pairOpenedFromFilesIsNotKept()
{
    fillAndPress();
    produce(Way::Save);
    QCOMPARE(summaries().size(), 1);

    // A pair of another protocol, so a record would be new if one were written.
    fillAndPress(u"Не годен"_s);
    const QString pair = f->filePath(u"other.qrp"_s);
    f->prompts.fileAnswers = {pair};
    QTest::mouseClick(namedChild<QToolButton>(form4, u"QRSave"_s), Qt::LeftButton);
    QCOMPARE(summaries().size(), 2);

    f->prompts.fileAnswers = {f->filePath(u"out1.qrp"_s)};
    QTest::mouseClick(namedChild<QToolButton>(form4, u"QROpen"_s), Qt::LeftButton);
    QVERIFY(!form4->showsDocumentPages());
    produce(Way::Print);
    produce(Way::Pdf);
    produce(Way::Save);
    QCOMPARE(pagesPrinted, 2);
    QCOMPARE(summaries().size(), 2);
    QVERIFY(f->prompts.messages.isEmpty());

    // "Протокол" brings the document's pages back, and with them the recording.
    fillAndPress(u"Годен после ремонта"_s);
    produce(Way::Print);
    QCOMPARE(summaries().size(), 3);
}

void TstProtocolArchiving::unusableArchiveStillPrintsWithOneMessage_data()
{
    QTest::addColumn<bool>("directory");
    QTest::newRow("varnek.db is a folder") << true;
    QTest::newRow("varnek.db is not a database") << false;
}

void TstProtocolArchiving::unusableArchiveStillPrintsWithOneMessage()
{
    QFETCH(bool, directory);
    const QString db = f->filePath(u"varnek.db"_s);
    if (directory) {
        QVERIFY(QDir().mkpath(db));
    } else {
        QFile garbage(db);
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(8192, 'x'));
    }
    fillAndPress();
    produce(Way::Print);
    produce(Way::Print);
    QCOMPARE(pagesPrinted, 4);
    QVERIFY(QFile::exists(f->filePath(u"printer.pdf"_s)));
    QCOMPARE(f->prompts.messages.size(), 1);
    QCOMPARE(f->prompts.messages[0].caption, ProtocolArchive::Caption);
    if (!directory) {
        QFile kept(db);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray(8192, 'x'));
    }
}

void TstProtocolArchiving::archivedRecordOpensInThePreviewAndIsNotKeptAgain()
{
    fillAndPress();
    const QString page1 = allText(form4->pageStore(1).get());
    const QString page2 = allText(form4->pageStore(2).get());
    produce(Way::Print);
    fillAndPress(u"Не годен"_s);
    QVERIFY(allText(form4->pageStore(2).get()) != page2);

    QCOMPARE(f->form->control<QPushButton>("ArchiveButton")->text(), u"Архив протоколов"_s);
    QCOMPARE(nextTabStop(f->form->control<QPushButton>("Previw")), f->form->control<QPushButton>("ArchiveButton"));
    f->click(f->form->control<QPushButton>("ArchiveButton"));
    ArchiveWindow *window = f->windows->archive.archiveWindow();
    QVERIFY(window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->table->model()->rowCount(), 1);
    f->click(f->form->control<QPushButton>("ArchiveButton"));
    int windows = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows += qobject_cast<ArchiveWindow *>(w) != nullptr;
    QCOMPARE(windows, 1);

    window->selectRows({0});
    window->openSelected();
    QVERIFY(!form4->showsDocumentPages());
    QCOMPARE(allText(form4->pageStore(1).get()), page1);
    QCOMPARE(allText(form4->pageStore(2).get()), page2);
    QVERIFY2(form4->windowTitle().startsWith(u"Протокол №12 испытания трансформатора ТМ-250/10 — архивная копия, редакция 1 от "_s),
             qPrintable(form4->windowTitle()));
    QCOMPARE(form4->proposedFileName(), u"Протокол №12"_s);

    // Shown again, the window keeps the record's sheets.
    form4->hide();
    form4->show();
    QCOMPARE(allText(form4->pageStore(2).get()), page2);

    produce(Way::Print);
    produce(Way::Pdf);
    QCOMPARE(pagesPrinted, 4);
    QCOMPARE(summaries().size(), 1);
    QVERIFY(f->prompts.messages.isEmpty());
}

// Each read of the list is a scan of every record: one stored protocol, one read.
void TstProtocolArchiving::openListIsReadOnceForEachStoredProtocol()
{
    f->click(f->form->control<QPushButton>("ArchiveButton"));
    ArchiveWindow *window = f->windows->archive.archiveWindow();
    QVERIFY(window && window->isVisible());
    QSignalSpy reads(window->table->model(), &QAbstractItemModel::modelReset);
    fillAndPress();
    produce(Way::Print);
    QCOMPARE(window->table->model()->rowCount(), 1);
    QCOMPARE(reads.size(), 1);
}

// "Динамика" of the program's own archive: a click on a point opens that protocol as "Открыть" does.
void TstProtocolArchiving::historyPointOpensItsProtocolInThePreview()
{
    fillAndPress();
    produce(Way::Print);
    f->form->control<QLineEdit>("ProtocolNumber")->setText(u"13"_s);
    f->form->results().set(ResultId::Pxx00, u"1300"_s);
    f->click(f->form->control<QPushButton>("Previw"));
    QCoreApplication::processEvents();
    produce(Way::Print);

    f->click(f->form->control<QPushButton>("ArchiveButton"));
    ArchiveWindow *window = f->windows->archive.archiveWindow();
    QVERIFY(window && window->isVisible());
    QCOMPARE(window->table->model()->rowCount(), 2);
    window->selectRows({0});
    QTest::mouseClick(window->historyButton, Qt::LeftButton);
    HistoryWindow *history = window->historyWindow;
    QVERIFY(history && history->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(history));
    QVERIFY(history->showQuantity(u"p0"_s));
    QCOMPARE(history->chart().records.size(), 2);
    QCOMPARE(history->chart().lines.first().values,
             (QList<std::optional<double>>{1240.0, 1300.0}));

    QTest::mouseClick(namedChild<QChartView>(history, u"HistoryChart"_s)->viewport(), Qt::LeftButton, {}, history->viewportPosition(0, 0));
    QVERIFY2(form4->windowTitle().startsWith(u"Протокол №12 испытания трансформатора ТМ-250/10 — архивная копия"_s),
             qPrintable(form4->windowTitle()));
    QTest::mouseClick(namedChild<QChartView>(history, u"HistoryChart"_s)->viewport(), Qt::LeftButton, {}, history->viewportPosition(0, 1));
    QVERIFY2(form4->windowTitle().startsWith(u"Протокол №13 испытания трансформатора ТМ-250/10 — архивная копия"_s),
             qPrintable(form4->windowTitle()));
    QVERIFY(f->prompts.messages.isEmpty());
}

QTEST_MAIN(TstProtocolArchiving)
#include "tst_protocolarchiving.moc"
