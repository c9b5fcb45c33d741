#include "Unit4.h"
#include "programversion.h"
#include "namedchild.h"
#include "recordingprompts.h"
#include "report.h"
#include "sheetstore.h"
#include "sheetview.h"
#include "viewzoom.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QScopeGuard>
#include <QTimer>
#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#endif

using namespace Qt::StringLiterals;

namespace {
const QString Title12 = u"Протокол №12 испытания трансформатора ТМ-250/10"_s;

QString sheetText(const SheetStore *store)
{
    if (!store || !store->sheet())
        return QString();
    QStringList all;
    for (const SheetTextOp &op : store->sheet()->texts)
        all += op.lines;
    return all.join(u'\n');
}

QString pdfText(const QString &path)
{
    QProcess p;
    p.start(u"pdftotext"_s, {u"-layout"_s, path, u"-"_s});
    if (!p.waitForFinished(20000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString pdfInfo(const QString &path)
{
    QProcess p;
    p.start(u"pdfinfo"_s, {u"-f"_s, u"1"_s, u"-l"_s, u"99"_s, path});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString &path)
{
    QProcess p;
    p.start(u"pdfinfo"_s, {path});
    p.waitForFinished(20000);
    for (const QString &line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n'))
        if (line.startsWith(u"Pages:"_s))
            return line.mid(6).trimmed().toInt();
    return -1;
}
} // namespace

// The preview window on a real document holder; dialogs answered by the test.
class TstPreviewWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void proposedNameIsTheTitleCutBeforeIsp_data();
    void proposedNameIsTheTitleCutBeforeIsp();
    void secondPageNameDropsTheLastFourCharacters_data();
    void secondPageNameDropsTheLastFourCharacters();

    void firstRequestOpensMaximisedOnPage1WithPage2Ready();
    void reopeningKeepsPage2InViewAndPreparesItAfresh();
    void requestWhileOpenRefreshesBothPagesAndTheNames();
    void zoomButtonsActOnBothViews();

    void saveWritesThePairUnderTheChosenName_data();
    void saveWritesThePairUnderTheChosenName();
    void saveIntoAnUnwritableFolderIsReported();
    void openedPairShowsTheSavedSheets();
    void openWithoutPage2ReportsThePartnerAndEmptiesPage2();
    void openOfANameThatDoesNotExistEmptiesPage1Only();
    void openOfADeviceOrAFifoFailsAtOnce();

    void printSendsPage1ThenPage2ToTheChosenPrinter();
    void printJobThatFailsDoesNotSpoilTheNext();
    void printWithoutAPrinterSaysWhy();
    void pdfButtonWritesBothPagesAsOneDocument();
    void pdfNameSaysWhichProtocol_data();
    void pdfNameSaysWhichProtocol();
    void pdfDialogOffersAnExistingFolderAndAsksBeforeReplacing();
    void pdfAsksBeforeReplacing();

private:
    void request(const QString &title = Title12, const QString &conclusion = u"Годен"_s);
    SheetView *view(int page) const { return namedChild<SheetView>(form4.get(), u"QRPreview%1"_s.arg(page)); }
    QToolButton *button(const QString &name) const { return namedChild<QToolButton>(form4.get(), name); }

    std::unique_ptr<RecordingPrompts> prompts;
    std::unique_ptr<TForm3> form3;
    std::unique_ptr<TForm4> form4;
    std::unique_ptr<QTemporaryDir> dir;
};

// As the program's start puts it on the application, where the PDFs' creator reads it.
void TstPreviewWindow::initTestCase()
{
    QCoreApplication::setApplicationVersion(programVersion());
}

void TstPreviewWindow::init()
{
    prompts = std::make_unique<RecordingPrompts>();
    form3 = std::make_unique<TForm3>();
    form4 = std::make_unique<TForm4>();
    form4->setDocument(form3.get());
    dir = std::make_unique<QTemporaryDir>();
    QVERIFY(dir->isValid());
}

void TstPreviewWindow::cleanup()
{
    form4.reset();
    form3.reset();
    prompts.reset();
    dir.reset();
}

void TstPreviewWindow::request(const QString &title, const QString &conclusion)
{
    QVERIFY(form3->setCaption(u"QRProtocolNumber"_s, title));
    QVERIFY(form3->setCaption(u"QRConclusion"_s, conclusion));
    form3->previewStendReport();
}

void TstPreviewWindow::proposedNameIsTheTitleCutBeforeIsp_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("proposed");
    QTest::newRow("number 12") << Title12 << u"Протокол №12"_s;
    QTest::newRow("empty number") << u"Протокол № испытания трансформатора ТМ"_s << u"Протокол №"_s;
    QTest::newRow("number holding isp") << u"Протокол №3исп испытания трансформатора"_s << u"Протокол №3"_s;
    QTest::newRow("blank then isp in the number") << u"Протокол №5 исп7 испытания"_s << u"Протокол №5"_s;
    QTest::newRow("only the one blank goes") << u"Протокол №5  испытания"_s << u"Протокол №5 "_s;
    QTest::newRow("no isp at all") << u"Протокол"_s << u"Протокол"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TstPreviewWindow::proposedNameIsTheTitleCutBeforeIsp()
{
    QFETCH(QString, title);
    QFETCH(QString, proposed);
    QCOMPARE(ProtocolFiles::proposedName(title), proposed);
}

void TstPreviewWindow::secondPageNameDropsTheLastFourCharacters_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("qrp") << u"/d/Протокол №12.qrp"_s << u"/d/Протокол №12"_s;
    QTest::newRow("other extension") << u"/d/p.txt"_s << u"/d/p"_s;
    QTest::newRow("no extension") << u"/d/protocol"_s << u"/d/prot"_s;
    QTest::newRow("five characters") << u"a.qrp"_s << u"a"_s;
    QTest::newRow("four characters") << u".qrp"_s << QString();
    QTest::newRow("shorter") << u"ab"_s << QString();
}

void TstPreviewWindow::secondPageNameDropsTheLastFourCharacters()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QCOMPARE(ProtocolFiles::secondPageName(first), second);
}

void TstPreviewWindow::firstRequestOpensMaximisedOnPage1WithPage2Ready()
{
    QCOMPARE(form4->windowTitle(), u"Протокол"_s);
    QVERIFY(!form4->isVisible());
    request();

    QVERIFY(form4->isVisible());
    QVERIFY(form4->isMaximized());
    QCOMPARE(form4->windowTitle(), Title12);
    QCOMPARE(form4->proposedFileName(), u"Протокол №12"_s);
    QVERIFY(view(1)->isVisible());
    QVERIFY(!view(2)->isVisible());
    QVERIFY(!button(u"Previous"_s)->isEnabled());
    QVERIFY(button(u"Next"_s)->isEnabled());
    QCOMPARE(form4->pageStore(1), form3->stendReportStore());
    QVERIFY(sheetText(form4->pageStore(1).get()).contains(Title12));
    QVERIFY(sheetText(form4->pageStore(2).get()).contains(u"Годен"_s));
    // Page 1 arrives fitted to the width of the view as it stands on the maximised window.
    QTest::qWait(50);
    QCOMPARE(view(1)->zoom(),
             ViewZoom::fitToWidth({210.0, 297.0}, view(1)->viewport()->width(),
                                  view(1)->logicalDpiX()));
    QCOMPARE(view(2)->zoom(), 100);
    QVERIFY(form4->windowFlags() & Qt::WindowCloseButtonHint);
    QVERIFY(!(form4->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    // A fixed border: the window manager may neither resize it nor offer to minimise it.
    QCOMPARE(form4->windowType(), Qt::Dialog);
    QVERIFY(form4->windowFlags() & Qt::MSWindowsFixedSizeDialogHint);
    QCOMPARE(form4->maximumSize(), form4->minimumSize());
    QCOMPARE(form4->size(), form4->minimumSize());
    QVERIFY(form4->frameGeometry().size().boundedTo(form4->screen()->availableGeometry().size())
            == form4->frameGeometry().size());

    // The toolbar in its order, every button with its hint, picture and size.
    const QStringList hints = {u"Открыть"_s, u"Сохранить"_s, u"Печать"_s, u"Принтер"_s, u"100 %"_s,
                               u"По ширине"_s, u"Весь лист"_s, u"Лист 1"_s, u"Лист 2"_s,
                               u"Сохранить в PDF"_s};
    const QList<QToolButton *> buttons = {button(u"QROpen"_s), button(u"QRSave"_s), button(u"QRPrint"_s), button(u"QRSetup"_s),
                                          button(u"QRFitToText"_s), button(u"FitToWidth"_s), button(u"FitToPage"_s),
                                          button(u"Previous"_s), button(u"Next"_s), button(u"QRSavePdf"_s)};
    int lastX = -1;
    for (int i = 0; i < buttons.size(); ++i) {
        QCOMPARE(buttons[i]->toolTip(), hints[i]);
        QCOMPARE(buttons[i]->size(), QSize(30, 30));
        QVERIFY(!buttons[i]->icon().isNull());
        QVERIFY(buttons[i]->x() > lastX);
        lastX = buttons[i]->x();
    }
}

void TstPreviewWindow::reopeningKeepsPage2InViewAndPreparesItAfresh()
{
    request();
    QTest::mouseClick(button(u"Next"_s), Qt::LeftButton);
    QVERIFY(view(2)->isVisible());
    QVERIFY(!view(1)->isVisible());
    QVERIFY(button(u"Previous"_s)->isEnabled());
    QVERIFY(!button(u"Next"_s)->isEnabled());
    const SheetStore *oldPage2 = form4->pageStore(2).get();
    form4->close();
    QVERIFY(!form4->isVisible());

    request(u"Протокол №13 испытания трансформатора ТМ"_s, u"Не годен"_s);
    QVERIFY(form4->isVisible());
    QVERIFY(view(2)->isVisible());
    QVERIFY(!view(1)->isVisible());
    QVERIFY(form4->pageStore(2).get() != oldPage2);
    QVERIFY(sheetText(form4->pageStore(2).get()).contains(u"Не годен"_s));
    QCOMPARE(form4->windowTitle(), u"Протокол №13 испытания трансформатора ТМ"_s);

    QTest::mouseClick(button(u"Previous"_s), Qt::LeftButton);
    QVERIFY(view(1)->isVisible());
    QVERIFY(!view(2)->isVisible());
}

void TstPreviewWindow::requestWhileOpenRefreshesBothPagesAndTheNames()
{
    request();
    QTest::mouseClick(button(u"Next"_s), Qt::LeftButton);
    request(u"Протокол №14 испытания трансформатора ТМ"_s, u"Годен к эксплуатации"_s);
    QCOMPARE(form4->windowTitle(), u"Протокол №14 испытания трансформатора ТМ"_s);
    QCOMPARE(form4->proposedFileName(), u"Протокол №14"_s);
    QVERIFY(sheetText(form4->pageStore(1).get()).contains(u"Протокол №14"_s));
    QVERIFY(sheetText(form4->pageStore(2).get()).contains(u"Годен к эксплуатации"_s));
    QVERIFY(view(2)->isVisible());
}

void TstPreviewWindow::zoomButtonsActOnBothViews()
{
    request();
    QTest::mouseClick(button(u"FitToPage"_s), Qt::LeftButton);
    const int page1Zoom = view(1)->zoom();
    QTest::mouseClick(button(u"QRFitToText"_s), Qt::LeftButton);
    QCOMPARE(view(1)->zoom(), 100);
    QCOMPARE(view(2)->zoom(), 100);
    QTest::mouseClick(button(u"FitToWidth"_s), Qt::LeftButton);
    QVERIFY(view(1)->zoom() != 100 || page1Zoom != 100);
    QCOMPARE(view(2)->zoom(), view(1)->zoom());
}

void TstPreviewWindow::saveWritesThePairUnderTheChosenName_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("partner");
    QTest::newRow("proposed name") << u"Протокол №12.qrp"_s << u"Протокол №12"_s;
    QTest::newRow("another extension") << u"p.txt"_s << u"p"_s;
}

void TstPreviewWindow::saveWritesThePairUnderTheChosenName()
{
    QFETCH(QString, name);
    QFETCH(QString, partner);
    request();
    // An existing partner is replaced without a question.
    QFile old(dir->filePath(partner));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();

    prompts->fileAnswers = {dir->filePath(name)};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs.size(), 1);
    const FileRequest &asked = prompts->fileDialogs[0].request;
    QCOMPARE(prompts->fileDialogs[0].kind, RecordingPrompts::FileDialogKind::Save);
    QCOMPARE(asked.title, u"Сохранение протокола"_s);
    QCOMPARE(asked.defaultExtension, u"qrp"_s);
    QCOMPARE(asked.filters, (QStringList{u"Файлы протокола (*.qrp)"_s, u"Все файлы (*.*)"_s}));
    QCOMPARE(asked.proposedName, u"Протокол №12"_s);
    QVERIFY(prompts->messages.isEmpty());

    SheetStore page1, page2;
    QVERIFY(page1.load(dir->filePath(name)));
    QVERIFY(page2.load(dir->filePath(partner)));
    QCOMPARE(*page1.sheet(), *form4->pageStore(1)->sheet());
    QCOMPARE(*page2.sheet(), *form4->pageStore(2)->sheet());

    // A cancelled dialog writes nothing.
    QVERIFY(QFile::remove(dir->filePath(name)));
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QVERIFY(!QFile::exists(dir->filePath(name)));
}

void TstPreviewWindow::saveIntoAnUnwritableFolderIsReported()
{
    request();
    const QString name = dir->filePath(u"missing/folder/p.qrp"_s);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, u"Ошибка сохранения протокола"_s);
    QCOMPARE(prompts->messages[0].text, u"Невозможно сохранить файл '"_s + name + u"'"_s);
    QCOMPARE(prompts->messages[0].icon, PromptIcon::Error);
}

void TstPreviewWindow::openedPairShowsTheSavedSheets()
{
    request();
    const Sheet saved1 = *form4->pageStore(1)->sheet();
    const Sheet saved2 = *form4->pageStore(2)->sheet();
    const QString name = dir->filePath(u"p.qrp"_s);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);

    request(u"Протокол №99 испытания трансформатора X"_s, u"другое"_s);
    view(1)->setZoom(55);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs.last().kind, RecordingPrompts::FileDialogKind::Open);
    QCOMPARE(prompts->fileDialogs.last().request.proposedName, QString());
    QCOMPARE(prompts->fileDialogs.last().request.defaultExtension, u"qrp"_s);
    QVERIFY(prompts->messages.isEmpty());
    QCOMPARE(*form4->pageStore(1)->sheet(), saved1);
    QCOMPARE(*form4->pageStore(2)->sheet(), saved2);
    QCOMPARE(form4->windowTitle(), name);
    QCOMPARE(form4->proposedFileName(), name);
    QCOMPARE(view(1)->zoom(), 55);

    // Saving again writes the loaded sheets.
    const QString again = dir->filePath(u"again.qrp"_s);
    prompts->fileAnswers = {again};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    SheetStore reread;
    QVERIFY(reread.load(dir->filePath(u"again"_s)));
    QCOMPARE(*reread.sheet(), saved2);
}

void TstPreviewWindow::openWithoutPage2ReportsThePartnerAndEmptiesPage2()
{
    request();
    const Sheet saved1 = *form4->pageStore(1)->sheet();
    const QString name = dir->filePath(u"p.qrp"_s);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QVERIFY(QFile::remove(dir->filePath(u"p"_s)));

    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, u"Ошибка открытия протокола"_s);
    QCOMPARE(prompts->messages[0].text, u"Невозможно открыть файл '"_s + dir->filePath(u"p"_s) + u"'"_s);
    QCOMPARE(prompts->messages[0].icon, PromptIcon::Error);
    QCOMPARE(*form4->pageStore(1)->sheet(), saved1);
    QVERIFY(!form4->pageStore(2)->hasSheet());
    QCOMPARE(form4->windowTitle(), name);

    // The emptied page 2 is skipped by a save; page 1 is still written.
    const QString copy = dir->filePath(u"copy.qrp"_s);
    prompts->fileAnswers = {copy};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QVERIFY(QFile::exists(copy));
    QVERIFY(!QFile::exists(dir->filePath(u"copy"_s)));
    QCOMPARE(prompts->messages.size(), 1);
}

void TstPreviewWindow::openOfANameThatDoesNotExistEmptiesPage1Only()
{
    request();
    const auto page2 = form4->pageStore(2);
    const Sheet sheet2 = *page2->sheet();
    const QString name = dir->filePath(u"nothing.qrp"_s);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].text, u"Невозможно открыть файл '"_s + name + u"'"_s);
    QVERIFY(!form4->pageStore(1)->hasSheet());
    QCOMPARE(form4->pageStore(2), page2);
    QCOMPARE(*form4->pageStore(2)->sheet(), sheet2);
    QCOMPARE(form4->proposedFileName(), name);

    // A file that is not a store is a failed load too.
    QFile junk(dir->filePath(u"junk.qrp"_s));
    QVERIFY(junk.open(QIODevice::WriteOnly));
    junk.write("not a protocol at all");
    junk.close();
    prompts->fileAnswers = {junk.fileName()};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 2);
    QCOMPARE(prompts->messages[1].text, u"Невозможно открыть файл '"_s + junk.fileName() + u"'"_s);

    // A cancelled dialog changes nothing.
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 2);
    QCOMPARE(form4->proposedFileName(), junk.fileName());
}

// A name that leads to an endless device read it until memory ran out; a FIFO as the partner
// froze the window. Both are failed loads, reported at once.
void TstPreviewWindow::openOfADeviceOrAFifoFailsAtOnce()
{
#ifndef Q_OS_UNIX
    QSKIP("devices and FIFOs are a Unix matter");
#else
    request();
    const auto page2 = form4->pageStore(2);
    const QString zero = dir->filePath(u"zero.qrp"_s);
    QVERIFY(QFile::link(u"/dev/zero"_s, zero));
    prompts->fileAnswers = {zero};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].text, u"Невозможно открыть файл '"_s + zero + u"'"_s);
    QVERIFY(!form4->pageStore(1)->hasSheet());
    QCOMPARE(form4->pageStore(2), page2);

    // A saved page 1 whose partner's name is a FIFO: page 1 comes in, page 2 is emptied.
    const QString name = dir->filePath(u"p.qrp"_s);
    request();
    const Sheet saved1 = *form4->pageStore(1)->sheet();
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QVERIFY(QFile::remove(dir->filePath(u"p"_s)));
    QVERIFY(mkfifo(QFile::encodeName(dir->filePath(u"p"_s)).constData(), 0600) == 0);
    prompts->fileAnswers = {name};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 2);
    QCOMPARE(prompts->messages[1].text, u"Невозможно открыть файл '"_s + dir->filePath(u"p"_s) + u"'"_s);
    QCOMPARE(*form4->pageStore(1)->sheet(), saved1);
    QVERIFY(!form4->pageStore(2)->hasSheet());
#endif
}

void TstPreviewWindow::printSendsPage1ThenPage2ToTheChosenPrinter()
{
    if (QStandardPaths::findExecutable(u"pdftotext"_s).isEmpty())
        QSKIP("pdftotext is not installed");
    request();
    const QString out = dir->filePath(u"printer.pdf"_s);
    // The operator picks a file, on Letter paper, printed on both sides.
    prompts->onPrinterSetUp = [&out](QPrinter *printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(out);
        printer->setPageSize(QPageSize(QPageSize::Letter));
        printer->setDuplex(QPrinter::DuplexLongSide);
        return true;
    };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QCOMPARE(prompts->printSetups, 1);

    QList<int> printed;
    connect(form4.get(), &TForm4::pagePrinted, this, [&](int page) { printed.append(page); });
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(printed, (QList<int>{1, 2}));
    QVERIFY(prompts->messages.isEmpty());
    // Both pages in the one file, in order, each on A4.
    QCOMPARE(pdfPages(out), 2);
    const QStringList pages = pdfText(out).split(u'\f');
    QVERIFY(pages[0].contains(u"Паспортные данные"_s));
    QVERIFY(!pages[0].contains(u"Заключение"_s));
    QVERIFY(pages[1].contains(u"Заключение"_s));
    const QString info = pdfInfo(out);
    QVERIFY2(info.contains(QRegularExpression(u"Page +1 size: +595 x 842 pts"_s))
                 && info.contains(QRegularExpression(u"Page +2 size: +595 x 842 pts"_s)), qPrintable(info));
    // A PDF says what it is and what made it, in which version.
    QVERIFY2(info.contains(QRegularExpression(u"Title: +Протокол №12\n"_s)), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(u"Creator: +Transformer bench "_s
                                              + QRegularExpression::escape(programVersion()) + u"\n"_s)),
             qPrintable(info));

    // The dialog's page range picks among the two pages of the file.
    prompts->onPrinterSetUp = [](QPrinter *printer) {
        printer->setPrintRange(QPrinter::PageRange);
        printer->setFromTo(2, 2);
        return true;
    };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(pdfPages(out), 1);
    QVERIFY(pdfText(out).contains(u"Заключение"_s));

    // A cancelled set-up keeps the chosen printer.
    prompts->onPrinterSetUp = [](QPrinter *) { return false; };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QCOMPARE(form4->printer().outputFileName(), out);
}

void TstPreviewWindow::printJobThatFailsDoesNotSpoilTheNext()
{
    if (QStandardPaths::findExecutable(u"pdfinfo"_s).isEmpty())
        QSKIP("pdfinfo is not installed");
    request();
    // A printer that cannot start the job, as on a computer without one.
    const QString nowhere = dir->filePath(u"no/such/folder/p.pdf"_s);
    prompts->onPrinterSetUp = [&nowhere](QPrinter *printer) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(nowhere);
        return true;
    };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(prompts->messages[0].caption, u"Ошибка печати протокола"_s);
    // The first line as ever, then why.
    QCOMPARE(prompts->messages[0].text, u"Невозможно напечатать лист 1\nПапки «"_s
                                            + QDir::toNativeSeparators(QFileInfo(nowhere).absolutePath()) + u"» нет."_s);

    // The next choice is taken, and the same settings print again as soon as they can.
    const QString out = dir->filePath(u"second.pdf"_s);
    prompts->onPrinterSetUp = [&out](QPrinter *printer) {
        printer->setOutputFileName(out);
        return true;
    };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(pdfPages(out), 2);
    QVERIFY(QDir().mkpath(QFileInfo(nowhere).path()));
    prompts->onPrinterSetUp = [&nowhere](QPrinter *printer) {
        printer->setOutputFileName(nowhere);
        return true;
    };
    QTest::mouseClick(button(u"QRSetup"_s), Qt::LeftButton);
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    QCOMPARE(pdfPages(nowhere), 2);
}

// The default printer, with none in the system: the message says that there is none, or that
// the print service does not answer, below its usual first line.
void TstPreviewWindow::printWithoutAPrinterSaysWhy()
{
    if (!QPrinterInfo::availablePrinterNames().isEmpty())
        QSKIP("this computer has a printer: the job would print");
    request();
    QTest::mouseClick(button(u"QRPrint"_s), Qt::LeftButton);
    QCOMPARE(prompts->messages.size(), 1);
    const QStringList lines = prompts->messages[0].text.split(u'\n');
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], u"Невозможно напечатать лист 1"_s);
    QVERIFY2(lines[1] == u"В системе не установлен ни один принтер."_s
                 || lines[1] == u"Служба печати (CUPS) не отвечает: принтеры недоступны."_s,
             qPrintable(lines[1]));
}

void TstPreviewWindow::pdfButtonWritesBothPagesAsOneDocument()
{
    if (QStandardPaths::findExecutable(u"pdfinfo"_s).isEmpty())
        QSKIP("poppler's tools are not installed");
    request();
    const QString pdf = dir->filePath(u"p.pdf"_s);
    prompts->fileAnswers = {pdf};
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs.size(), 1);
    QCOMPARE(prompts->fileDialogs[0].request.filters, QStringList{u"PDF (*.pdf)"_s});
    QCOMPARE(prompts->fileDialogs[0].request.defaultExtension, u"pdf"_s);
    QCOMPARE(pdfPages(pdf), 2);
    const QString text = pdfText(pdf);
    QVERIFY(text.indexOf(u"Паспортные данные"_s) >= 0);
    QVERIFY(text.indexOf(u"Заключение"_s) > text.indexOf(u"Паспортные данные"_s));
    QVERIFY(prompts->messages.isEmpty());
    // Titled as the printed one, and its creator names the version.
    const QString info = pdfInfo(pdf);
    QVERIFY2(info.contains(QRegularExpression(u"Title: +Протокол №12\n"_s)), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression(u"Creator: +Transformer bench "_s
                                              + QRegularExpression::escape(programVersion()) + u"\n"_s)),
             qPrintable(info));
}

void TstPreviewWindow::pdfNameSaysWhichProtocol_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    const QDate day(2026, 12, 10);
    QTest::newRow("all three") << Title12 << u"345"_s << day << u"Протокол №12 зав. №345 10.12.2026.pdf"_s;
    QTest::newRow("no serial number") << Title12 << u"  "_s << day << u"Протокол №12 10.12.2026.pdf"_s;
    QTest::newRow("no date") << Title12 << u"345"_s << QDate() << u"Протокол №12 зав. №345.pdf"_s;
    QTest::newRow("slashes") << u"Протокол №12/3 испытания"_s << u"345/7\\8"_s << day
                             << u"Протокол №12-3 зав. №345-7-8 10.12.2026.pdf"_s;
    QTest::newRow("characters Windows refuses") << u"Протокол №<1>:2 испытания"_s << u"\"3\"*?|"_s << day
                                                << u"Протокол №_1__2 зав. №_3____ 10.12.2026.pdf"_s;
    QTest::newRow("line breaks and tabs") << u"Протокол №1\n2 испытания"_s << u"34\t5"_s << day
                                          << u"Протокол №1_2 зав. №34_5 10.12.2026.pdf"_s;
    QTest::newRow("nothing known") << QString() << QString() << QDate() << u"Протокол.pdf"_s;
    QTest::newRow("dots at the end") << u"Протокол №12..."_s << QString() << QDate() << u"Протокол №12.pdf"_s;
    QTest::newRow("very long") << u"Протокол №"_s + QString(300, u'9') << QString() << day
                               << u"Протокол №"_s + QString(90, u'9') + u".pdf"_s;
}

void TstPreviewWindow::pdfNameSaysWhichProtocol()
{
    QFETCH(QString, title);
    QFETCH(QString, serial);
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(ProtocolFiles::pdfName(title, serial, date), name);
}

// With no Documents folder the home folder is offered, never a path that does not exist;
// the PDF asks before it replaces a file, the pair of "Сохранить" still does not.
void TstPreviewWindow::pdfDialogOffersAnExistingFolderAndAsksBeforeReplacing()
{
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    const auto restore = qScopeGuard([&] {
        qputenv("HOME", oldHome);
        oldConfig.isNull() ? qunsetenv("XDG_CONFIG_HOME") : qputenv("XDG_CONFIG_HOME", oldConfig);
    });
    const QString home = dir->filePath(u"home"_s);
    QVERIFY(QDir().mkpath(home));
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + u"/.config"_s));

    QVERIFY(form3->setCaption(u"QRRepairNumber"_s, u"345"_s));
    request();
    const QString name = u"Протокол №12 зав. №345 "_s + QDate::currentDate().toString(u"dd.MM.yyyy"_s) + u".pdf"_s;
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs.size(), 1);
    QCOMPARE(prompts->fileDialogs[0].request.proposedName, QDir(home).filePath(name));

    QVERIFY(QDir(home).mkdir(u"Documents"_s));
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs[1].request.proposedName, QDir(home).filePath(u"Documents/"_s + name));

    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs[2].request.proposedName, u"Протокол №12"_s);

    // An opened pair is offered as a PDF beside itself.
    const QString pair = dir->filePath(u"pair.qrp"_s);
    prompts->fileAnswers = {pair};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    prompts->fileAnswers = {pair};
    QTest::mouseClick(button(u"QROpen"_s), Qt::LeftButton);
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->fileDialogs.last().request.proposedName, dir->filePath(u"pair.pdf"_s));
    QVERIFY(prompts->messages.isEmpty());
}

// A PDF that exists is replaced only after "Да"; "Нет" leaves it byte for byte. The pair of
// "Сохранить" replaces its files without a question.
void TstPreviewWindow::pdfAsksBeforeReplacing()
{
    request();
    const QString existing = dir->filePath(u"Протокол №12.pdf"_s);
    QFile file(existing);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("old");
    file.close();

    prompts->fileAnswers = {existing};
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->questions.size(), 1);
    QCOMPARE(prompts->questions[0].caption, u"Сохранение протокола в PDF"_s);
    QVERIFY(prompts->questions[0].text.contains(QDir::toNativeSeparators(existing)));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("old"));
    file.close();

    prompts->fileAnswers = {existing};
    prompts->yesNoAnswers = {true};
    QTest::mouseClick(button(u"QRSavePdf"_s), Qt::LeftButton);
    QCOMPARE(prompts->questions.size(), 2);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");
    file.close();

    const QString pair = dir->filePath(u"pair.qrp"_s);
    prompts->fileAnswers = {pair};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    prompts->fileAnswers = {pair};
    QTest::mouseClick(button(u"QRSave"_s), Qt::LeftButton);
    QCOMPARE(prompts->questions.size(), 2);
    QVERIFY(prompts->messages.isEmpty());
}

QTEST_MAIN(TstPreviewWindow)
#include "tst_previewwindow.moc"
#include "namedchild.h"
