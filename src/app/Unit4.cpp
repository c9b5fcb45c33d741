#include "Unit4.h"

#include "prompts.h"
#include "report.h"
#include "sheetoutput.h"
#include "sheetprinting.h"
#include "sheetstore.h"
#include "protocolfields.h"
#include "sheetview.h"
#include "viewzoom.h"

#include "ui_form4.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPainterPath>
#include <QPrinter>
#include <QScreen>
#include <QShortcut>
#include <QResizeEvent>
#include <QShowEvent>
#include <QStandardPaths>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QString OpenErrorCaption = u"Ошибка открытия протокола"_s;
const QString SaveErrorCaption = u"Ошибка сохранения протокола"_s;
const QString PrintErrorCaption = u"Ошибка печати протокола"_s;
const QStringList ProtocolFilters = {u"Файлы протокола (*.qrp)"_s, u"Все файлы (*.*)"_s};

enum class Picture { Open, Save, Print, Setup, Actual, Width, Page, Sheet1, Sheet2, Pdf };

// A sheet of paper with a folded corner, the base of several pictures.
void drawPaper(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.right() - 5, r.top());
    path.lineTo(r.right(), r.top() + 5);
    path.lineTo(r.bottomRight());
    path.lineTo(r.bottomLeft());
    path.closeSubpath();
    p.setBrush(Qt::white);
    p.drawPath(path);
    p.drawLine(QPointF(r.right() - 5, r.top()), QPointF(r.right() - 5, r.top() + 5));
    p.drawLine(QPointF(r.right() - 5, r.top() + 5), QPointF(r.right(), r.top() + 5));
}

void drawPrinter(QPainter &p)
{
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 3, 10, 7));
    p.setBrush(QColor(150, 150, 160));
    p.drawRoundedRect(QRectF(3, 10, 18, 8), 2, 2);
    p.setBrush(Qt::white);
    p.drawRect(QRectF(7, 15, 10, 6));
}

void drawArrow(QPainter &p, QPointF from, QPointF to)
{
    p.drawLine(from, to);
    const QPointF d = (to - from) / std::hypot(to.x() - from.x(), to.y() - from.y());
    const QPointF n(-d.y(), d.x());
    QPolygonF head{to, to - 3.5 * d + 2.5 * n, to - 3.5 * d - 2.5 * n};
    p.setBrush(p.pen().color());
    p.drawPolygon(head);
}

QIcon pictureIcon(Picture picture)
{
    QPixmap pixmap(24, 24);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 60), 1.2));
    QFont font(u"Liberation Sans"_s);
    font.setBold(true);
    switch (picture) {
    case Picture::Open:
        p.setBrush(QColor(230, 190, 80));
        p.drawPolygon(QPolygonF{{2, 6}, {9, 6}, {11, 8}, {21, 8}, {21, 19}, {2, 19}});
        p.setBrush(QColor(250, 215, 110));
        p.drawPolygon(QPolygonF{{5, 11}, {23, 11}, {20, 19}, {2, 19}});
        break;
    case Picture::Save:
        p.setBrush(QColor(60, 90, 160));
        p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(6, 3, 12, 7));
        p.setBrush(QColor(200, 200, 210));
        p.drawRect(QRectF(7, 14, 10, 7));
        break;
    case Picture::Print:
        drawPrinter(p);
        break;
    case Picture::Setup:
        drawPrinter(p);
        p.setBrush(QColor(220, 160, 40));
        p.drawEllipse(QPointF(18, 18), 4.5, 4.5);
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(18, 18), 1.6, 1.6);
        break;
    case Picture::Actual:
        drawPaper(p, QRectF(4, 2, 16, 20));
        font.setPixelSize(8);
        p.setFont(font);
        p.drawText(QRectF(4, 6, 16, 12), Qt::AlignCenter, u"1:1"_s);
        break;
    case Picture::Width:
        drawPaper(p, QRectF(5, 2, 14, 20));
        p.setPen(QPen(QColor(30, 90, 180), 1.4));
        drawArrow(p, {12, 12}, {1.5, 12});
        drawArrow(p, {12, 12}, {22.5, 12});
        break;
    case Picture::Page:
        drawPaper(p, QRectF(5, 2, 14, 20));
        p.setPen(QPen(QColor(30, 90, 180), 1.4));
        drawArrow(p, {12, 12}, {12, 3.5});
        drawArrow(p, {12, 12}, {12, 20.5});
        break;
    case Picture::Sheet1:
    case Picture::Sheet2:
        drawPaper(p, QRectF(4, 2, 16, 20));
        font.setPixelSize(12);
        p.setFont(font);
        p.drawText(QRectF(4, 5, 16, 16), Qt::AlignCenter,
                   picture == Picture::Sheet1 ? u"1"_s : u"2"_s);
        break;
    case Picture::Pdf:
        drawPaper(p, QRectF(4, 2, 16, 20));
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(200, 30, 30));
        p.drawRect(QRectF(1, 12, 20, 8));
        p.setPen(Qt::white);
        font.setPixelSize(7);
        p.setFont(font);
        p.drawText(QRectF(1, 12, 20, 8), Qt::AlignCenter, u"PDF"_s);
        break;
    }
    p.end();
    return QIcon(pixmap);
}

QSizeF paperOf(const SheetView *view)
{
    const Sheet *sheet = view->store() ? view->store()->sheet() : nullptr;
    return sheet ? sheet->orientedPaperMm() : QSizeF(210.0, 297.0);
}

} // namespace

QString ProtocolFiles::proposedName(const QString &title)
{
    const qsizetype at = title.indexOf(u"исп"_s);
    if (at < 0)
        return title;
    const qsizetype end = at > 0 && title.at(at - 1) == u' ' ? at - 1 : at;
    return title.left(end);
}

QString ProtocolFiles::secondPageName(const QString &firstPage)
{
    return firstPage.size() > 4 ? firstPage.left(firstPage.size() - 4) : QString();
}

QString ProtocolFiles::fileSystemSafe(const QString &text)
{
    // A type or serial number such as "ТМ-400/10" keeps its look with a hyphen.
    QString safe;
    safe.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'/' || c == u'\\')
            safe += u'-';
        else if (c.unicode() < 0x20 || c == QChar(0x7F) || QStringView(u":*?\"<>|").contains(c))
            safe += u'_';
        else
            safe += c;
    }
    safe = safe.simplified();
    // Two bytes a letter in UTF-8 keep a name well within 255 bytes.
    constexpr qsizetype Longest = 100;
    if (safe.size() > Longest)
        safe.truncate(Longest);
    while (!safe.isEmpty() && (safe.back() == u'.' || safe.back() == u' '))
        safe.chop(1);
    return safe;
}

QString ProtocolFiles::pdfName(const QString &title, const QString &serialNumber, const QDate &date)
{
    QStringList parts;
    const QString protocol = proposedName(title).trimmed();
    if (!protocol.isEmpty())
        parts << protocol;
    if (!serialNumber.trimmed().isEmpty())
        parts << u"зав. №"_s + serialNumber.trimmed();
    if (date.isValid())
        parts << date.toString(u"dd.MM.yyyy"_s);
    QString name = fileSystemSafe(parts.join(u' '));
    if (name.isEmpty())
        name = u"Протокол"_s;
    return name + u".pdf"_s;
}

QString ProtocolFiles::proposedFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && QFileInfo(documents).isDir() ? documents : QDir::homePath();
}

TForm4::TForm4(QWidget *parent)
    // A fixed frame with the close button only: a dialog's type keeps window managers from
    // offering to minimise or maximise it, the fixed size from resizing it.
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      ui(std::make_unique<Ui::Form4>())
{
    ui->setupUi(this);
    setWindowState(Qt::WindowMaximized);

    // The buttons' pictures are drawn, not shipped.
    const struct {
        QToolButton *button;
        Picture picture;
        void (TForm4::*handler)();
    } buttons[] = {
        {ui->QROpen, Picture::Open, &TForm4::QROpenClick},
        {ui->QRSave, Picture::Save, &TForm4::QRSaveClick},
        {ui->QRPrint, Picture::Print, &TForm4::QRPrintClick},
        {ui->QRSetup, Picture::Setup, &TForm4::QRSetupClick},
        {ui->QRFitToText, Picture::Actual, &TForm4::QRFitToTextClick},
        {ui->FitToWidth, Picture::Width, &TForm4::FitToWidthClick},
        {ui->FitToPage, Picture::Page, &TForm4::FitToPageClick},
        {ui->Previous, Picture::Sheet1, &TForm4::PreviousClick},
        {ui->Next, Picture::Sheet2, &TForm4::NextClick},
        {ui->QRSavePdf, Picture::Pdf, &TForm4::QRSavePdfClick},
    };
    for (const auto &b : buttons) {
        m_toolBarPictures.append({b.button, int(b.picture)});
        connect(b.button, &QToolButton::clicked, this, b.handler);
    }

    // Every handler can count on a store, even before the first request.
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        view->setStore(std::make_shared<SheetStore>());
    ui->QRPreview2->hide();
    // The keys of every desktop program: through the buttons, so a key does nothing
    // while its button is unavailable.
    const auto key = [this](const QKeySequence &keys, QToolButton *button) {
        connect(new QShortcut(keys, this), &QShortcut::activated, button, &QToolButton::click);
    };
    key(QKeySequence(Qt::CTRL | Qt::Key_P), ui->QRPrint);
    key(QKeySequence(Qt::CTRL | Qt::Key_S), ui->QRSavePdf);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
}

QPrinter &TForm4::printer()
{
    if (!m_printer)
        m_printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *m_printer;
}

TForm4::~TForm4()
{
    if (m_document)
        m_document->StendReportPreview = nullptr;
}

std::shared_ptr<SheetStore> TForm4::pageStore(int page) const
{
    return (page == 2 ? ui->QRPreview2 : ui->QRPreview1)->store();
}

void TForm4::setDocument(TForm3 *form3)
{
    if (m_document)
        m_document->StendReportPreview = nullptr;
    m_document = form3;
    if (m_document)
        m_document->StendReportPreview = [this](const std::shared_ptr<SheetStore> &store) {
            StendReportPreview(store);
        };
}

void TForm4::StendReportPreview(const std::shared_ptr<SheetStore> &store)
{
    m_documentPages = true;
    m_pagesDate = QDate::currentDate();
    ui->QRPreview1->setStore(store);
    // A request while the window is open would otherwise leave page 2, the caption and
    // the proposed name from the earlier fill beside a new page 1.
    if (isVisible())
        refreshFromDocument();
    showInFront();
}

void TForm4::showInFront()
{
    if (!isVisible()) {
        // Page 1 is fitted to the view's width as soon as it is generated, which is before
        // the window manager's maximising arrives: lay the window out at the screen's size now.
        if (QScreen *s = screen()) {
            setFixedSize(s->availableGeometry().size());
            setGeometry(s->availableGeometry());
        }
        showMaximized();
    }
    // In front of the main window that asked for it, with or without a window manager.
    raise();
    activateWindow();
}

void TForm4::showEvent(QShowEvent *event)
{
    // The pictures are drawn when the window is first seen, not at the program's start.
    for (const auto &[button, picture] : std::exchange(m_toolBarPictures, {}))
        button->setIcon(pictureIcon(Picture(picture)));
    QWidget::showEvent(event);
    // Sheets opened or handed in stay as they are; only the document's pages are refreshed.
    if (!event->spontaneous() && m_documentPages)
        FormShow();
}

void TForm4::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Maximising fits the window and its frame into the screen; that size then stays fixed.
    if (isMaximized() && minimumSize() != event->size())
        setFixedSize(event->size());
}

void TForm4::FormShow()
{
    refreshFromDocument();
}

void TForm4::refreshFromDocument()
{
    if (!m_document)
        return;
    const ReportElement *title = m_document->element(ProtocolFields::ProtocolNumber);
    showTitle(title ? title->caption : QString());
    ui->QRPreview2->setStore(m_document->prepareStendReport2());
}

void TForm4::showTitle(const QString &title)
{
    setWindowTitle(title);
    m_proposedName = ProtocolFiles::proposedName(title);
}

void TForm4::showSheets(const std::shared_ptr<SheetStore> &page1, const std::shared_ptr<SheetStore> &page2,
                        const QString &title)
{
    m_documentPages = false;
    ui->QRPreview1->setStore(page1 ? page1 : std::make_shared<SheetStore>());
    ui->QRPreview2->setStore(page2 ? page2 : std::make_shared<SheetStore>());
    showTitle(title);
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        view->viewport()->update();
    showInFront();
}

bool TForm4::bothPagesReady() const
{
    for (const SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        if (!view->store() || !view->store()->hasSheet() || !view->store()->isComplete())
            return false;
    return true;
}

void TForm4::PreviousClick()
{
    ui->QRPreview2->hide();
    ui->QRPreview1->show();
    ui->Previous->setEnabled(false);
    ui->Next->setEnabled(true);
}

void TForm4::NextClick()
{
    ui->QRPreview1->hide();
    ui->QRPreview2->show();
    ui->Previous->setEnabled(true);
    ui->Next->setEnabled(false);
}

void TForm4::QRFitToTextClick()
{
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        view->setZoom(100);
}

// The hidden view has not been laid out since it was hidden (or ever), so both views fit
// to the shown view's area, which is the place the hidden one will take.
void TForm4::FitToWidthClick()
{
    SheetView *shown = ui->QRPreview1->isVisible() ? ui->QRPreview1 : ui->QRPreview2;
    const QSize area = shown->viewport()->size();
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        view->setZoom(ViewZoom::fitToWidth(paperOf(view), area.width(), view->logicalDpiX()));
}

void TForm4::FitToPageClick()
{
    SheetView *shown = ui->QRPreview1->isVisible() ? ui->QRPreview1 : ui->QRPreview2;
    const QSize area = shown->viewport()->size();
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        view->setZoom(ViewZoom::fitToPage(paperOf(view), QSizeF(area), view->logicalDpiX(),
                                          view->logicalDpiY()));
}

void TForm4::QRPrintClick()
{
    QList<int> pages;
    QList<Sheet> sheets;
    int page = 0;
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2}) {
        ++page;
        // An emptied store has nothing to print, as it has nothing to save.
        if (!view->store() || !view->store()->hasSheet() || !view->store()->isComplete())
            continue;
        pages.append(page);
        sheets.append(*view->store()->sheet());
    }
    if (sheets.isEmpty())
        return;
    const QString document = printedDocumentName();
    // Two jobs into one file would leave only the second page in it.
    if (!printer().outputFileName().isEmpty()) {
        if (!printJob(sheets, document, pages.first()))
            return;
        for (int printed : pages)
            emit pagePrinted(printed);
    } else {
        for (qsizetype i = 0; i < sheets.size(); ++i) {
            if (!printJob({sheets[i]}, document + u", лист "_s + QString::number(pages[i]), pages[i]))
                return;
            emit pagePrinted(pages[i]);
        }
    }
    if (m_documentPages && bothPagesReady())
        emit protocolProduced();
}

// Each job gets a printer of its own made from the chosen settings, so nothing a failed job
// left in its printer reaches the next job or the next choice of printer.
bool TForm4::printJob(const QList<Sheet> &sheets, const QString &name, int page)
{
    const QPrinter &chosen = printer();
    // Without a file or a printer of the operator's choice the job goes to the system's default
    // printer as it is now: one installed after the program started is found.
    QPrinter job(QPrinter::HighResolution);
    if (!chosen.outputFileName().isEmpty()) {
        job.setOutputFormat(chosen.outputFormat());
        job.setOutputFileName(chosen.outputFileName());
    } else if (chosen.outputFormat() == QPrinter::NativeFormat && !chosen.printerName().isEmpty()) {
        job.setPrinterName(chosen.printerName());
    }
    job.setCopyCount(chosen.copyCount());
    job.setCollateCopies(chosen.collateCopies());
    job.setPrintRange(chosen.printRange());
    job.setPageRanges(chosen.pageRanges());
    job.setColorMode(chosen.colorMode());
    // The name in the print queue, and the title of a PDF.
    job.setDocName(name);
    job.setCreator(SheetOutput::pdfCreator());
    QString error;
    if (SheetPrinting::print(sheets, job, &error))
        return true;
    // The first line as it always was; below it what the print system said.
    Prompts::current().showMessage(this, PrintErrorCaption,
                                   u"Невозможно напечатать лист "_s + QString::number(page) + u'\n' + error,
                                   PromptIcon::Error);
    return false;
}

// "Протокол №12" for the document's pages, the file's name for an opened pair.
QString TForm4::printedDocumentName() const
{
    const QString name = m_proposedName.contains(u'/') || m_proposedName.contains(u'\\')
        ? QFileInfo(m_proposedName).completeBaseName()
        : m_proposedName;
    return name.isEmpty() ? u"Протокол"_s : name;
}

void TForm4::QRSetupClick()
{
    Prompts::current().setUpPrinter(this, &printer());
}

void TForm4::QRSaveClick()
{
    const QString first = Prompts::current().saveFileName(
        this, {u"Сохранение протокола"_s, ProtocolFilters, u"qrp"_s, m_proposedName});
    if (first.isEmpty())
        return;
    const QString second = ProtocolFiles::secondPageName(first);
    if (!saveStore(ui->QRPreview1, first)) {
        reportSaveFailure(first);
        return;
    }
    if (!saveStore(ui->QRPreview2, second)) {
        reportSaveFailure(second);
        return;
    }
    if (m_documentPages && bothPagesReady())
        emit protocolProduced();
}

// A store without a finished sheet (emptied by a failed load) is skipped, not an error.
bool TForm4::saveStore(const SheetView *view, const QString &path)
{
    const std::shared_ptr<SheetStore> store = view->store();
    if (!store || !store->hasSheet() || !store->isComplete())
        return true;
    if (path.isEmpty())
        return false;
    return store->save(path);
}

void TForm4::reportSaveFailure(const QString &path)
{
    Prompts::current().showMessage(this, SaveErrorCaption,
                                   u"Невозможно сохранить файл '"_s + path + u"'"_s,
                                   PromptIcon::Error);
}

void TForm4::QROpenClick()
{
    // The dialog starts without a name.
    const QString first = Prompts::current().openFileName(this, {QString(), ProtocolFilters, u"qrp"_s, QString()});
    if (first.isEmpty())
        return;
    m_documentPages = false;
    m_proposedName = first;
    setWindowTitle(first);
    if (!loadInto(ui->QRPreview1, first))
        return;
    loadInto(ui->QRPreview2, ProtocolFiles::secondPageName(first));
}

bool TForm4::loadInto(SheetView *view, const QString &path)
{
    // A fresh store keeps the one still held by the document untouched; a failed load
    // leaves the view with an empty store.
    auto store = std::make_shared<SheetStore>();
    const bool loaded = !path.isEmpty() && store->load(path);
    if (!loaded)
        store->clear();
    view->setStore(store);
    view->viewport()->update();
    if (!loaded)
        Prompts::current().showMessage(this, OpenErrorCaption,
                                       u"Невозможно открыть файл '"_s + path + u"'"_s,
                                       PromptIcon::Error);
    return loaded;
}

QString TForm4::pdfProposedPath() const
{
    // An opened pair: its PDF beside it, under its name.
    const QFileInfo opened(m_proposedName);
    if (!m_documentPages && opened.isAbsolute())
        return opened.dir().filePath(ProtocolFiles::fileSystemSafe(opened.completeBaseName()) + u".pdf"_s);
    QString name;
    if (m_documentPages && m_document) {
        const ReportElement *title = m_document->element(ProtocolFields::ProtocolNumber);
        const ReportElement *serial = m_document->element(ProtocolFields::RepairNumber);
        name = ProtocolFiles::pdfName(title ? title->caption : QString(), serial ? serial->caption : QString(),
                                      m_pagesDate);
    } else {
        name = ProtocolFiles::pdfName(m_proposedName, QString(), QDate());
    }
    return QDir(ProtocolFiles::proposedFolder()).filePath(name);
}

void TForm4::QRSavePdfClick()
{
    QList<Sheet> sheets;
    for (SheetView *view : {ui->QRPreview1, ui->QRPreview2})
        if (view->store() && view->store()->hasSheet() && view->store()->isComplete())
            sheets.append(*view->store()->sheet());
    if (sheets.isEmpty())
        return;
    const FileRequest request{u"Сохранение протокола в PDF"_s, {u"PDF (*.pdf)"_s}, u"pdf"_s, pdfProposedPath()};
    // Unlike the pair of "Сохранить", a PDF is not written over an existing file unasked.
    const QString path = askSaveFileName(this, request, request.title);
    if (path.isEmpty())
        return;
    if (!SheetOutput::writePdf(sheets, path, nullptr, printedDocumentName())) {
        reportSaveFailure(path);
        return;
    }
    if (m_documentPages && bothPagesReady())
        emit protocolProduced();
}
