#include "archivecontroller.h"
#include "recordscontroller.h"

#include "Unit4.h"
#include "archiveoutbox.h"
#include "assessmentwindow.h"
#include "errorreport.h"
#include "prompts.h"
#include "protocolfields.h"
#include "report.h"
#include "sheetstore.h"
#include "sheetview.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// Every named text of a page as it was last filled: a label's caption, a rich text's
// lines joined by "\n". Fixed texts come along; they cost little and show the layout used.
void addFields(QMap<QString, QString> &fields, const PageDocument &page)
{
    for (const ReportElement &e : page.elements()) {
        if (e.name.isEmpty())
            continue;
        if (e.kind == ElementKind::Label)
            fields.insert(e.name, e.caption);
        else if (e.kind == ElementKind::RichText)
            fields.insert(e.name, e.lines.join(u'\n'));
    }
}

QByteArray serializedSheet(const std::shared_ptr<SheetStore> &store)
{
    return store && store->sheet() ? SheetStore::serialize(*store->sheet()) : QByteArray();
}

std::shared_ptr<SheetStore> storeOf(const QByteArray &data, QString *error)
{
    std::optional<Sheet> sheet = SheetStore::deserialize(data, error);
    if (!sheet)
        return nullptr;
    auto store = std::make_shared<SheetStore>();
    store->setSheet(*sheet);
    return store;
}

} // namespace

ArchiveController::ArchiveController(TForm1 &window, const RecordsController &records, TForm3 &document,
                                     TForm4 &preview)
    : ui(window.forms()), m_window(window), m_records(records), Form3(&document), Form4(&preview),
      // The records folder is known by now: the program's own, or a test's.
      m_archive(std::make_unique<ProtocolArchive>(ArchiveSettings::fromSettingsFile()))
{
    // A printed protocol is never lost to a server that does not answer: it waits beside the records.
    m_archive->enableOutbox(ArchiveOutbox::defaultPath());
    // The record went to the outbox's writer after the paper: a failure there is told when it comes.
    connect(m_archive.get(), &ProtocolArchive::storeFailed, this, [this](const QString &message) {
        Prompts::current().showMessage(Form4, ProtocolArchive::Caption, message, PromptIcon::Warning);
    });
    connect(&window, &TForm1::closed, this, [this] {
        runGuarded([this] {
            m_archive->finishWrites(ProtocolArchive::WriteWaitAtCloseMs);
            offerToSaveUnsaved(&m_window, *m_archive);
            m_archive->stopSender(1000);
        });
    });
    connect(ui.ArchiveButton, &QPushButton::clicked, this, [this] { runGuarded([this] { ArchiveButtonClick(); }); });
    // After the filling has run: what it filled is what the paper will show.
    connect(ui.Previw, &QPushButton::clicked, this, [this] {
        m_filled = mainWindowPartOfRecord();
        // The judgement of the same results, made now: a protocol is kept judged as it was filled.
        if (m_judge)
            runGuarded([this] { m_filled.judgement = m_judge(); });
    });
    connect(Form4, &TForm4::protocolProduced, this, [this] { runGuarded([this] { recordProducedProtocol(); }); });
}

// The window reads the archive until it goes, so it goes first.
ArchiveController::~ArchiveController()
{
    delete m_archiveWindow;
}

void ArchiveController::recordProducedProtocol()
{
    if (!Form4->showsDocumentPages())
        return;
    ArchiveRecord record = m_filled;
    record.moment = QDateTime::currentDateTime();
    addFields(record.fields, Form3->StendReport);
    addFields(record.fields, Form3->StendReport2);
    record.sheet1 = serializedSheet(Form4->pageStore(1));
    record.sheet2 = serializedSheet(Form4->pageStore(2));
    // The paper is out already; a failure only shows its one message.
    recordInArchive(Form4, *m_archive, record);
}

ArchiveRecord ArchiveController::mainWindowPartOfRecord() const
{
    ArchiveRecord record;
    record.protocolNumber = ui.ProtocolNumber->text();
    record.type = ui.Name->currentText();
    record.serialNumber = ui.RepairNumber->text();
    record.firm = ui.Firm->toPlainText();
    const QHash<QString, QString> results = m_records.stateTexts();
    for (auto it = results.cbegin(); it != results.cend(); ++it)
        record.results.insert(it.key(), it.value());
    return record;
}

void ArchiveController::ArchiveButtonClick()
{
    if (!m_archiveWindow) {
        m_archiveWindow = new ArchiveWindow(m_archive.get());
        // The window follows the archive's new records by itself.
        connect(m_archiveWindow, &ArchiveWindow::openRequested, this,
                [this](qint64 id) { runGuarded([this, id] { openArchivedRecord(id); }); });
        connect(m_archiveWindow, &ArchiveWindow::judgementRequested, this,
                [this](qint64 id) { runGuarded([this, id] { showArchivedJudgement(id); }); });
    }
    m_archiveWindow->show();
    m_archiveWindow->raise();
    m_archiveWindow->activateWindow();
}

void ArchiveController::openArchivedRecord(qint64 id)
{
    QWidget *owner = m_archiveWindow ? static_cast<QWidget *>(m_archiveWindow) : &m_window;
    const std::optional<ArchiveRecord> record = m_archive->record(id);
    QString error = record ? QString() : m_archive->lastError();
    std::shared_ptr<SheetStore> page1, page2;
    if (record) {
        page1 = storeOf(record->sheet1, &error);
        if (page1)
            page2 = storeOf(record->sheet2, &error);
    }
    if (!page1 || !page2) {
        Prompts::current().showMessage(owner, ProtocolArchive::Caption,
                                       u"Протокол не открыт из архива"_s
                                           + (error.isEmpty() ? QString() : u": "_s + error),
                                       PromptIcon::Warning);
        return;
    }
    // The caption tells a stored copy from a protocol just made, and which revision it is.
    QString caption = u"%1 — архивная копия, редакция %2 от %3"_s.arg(
        record->fields.value(ProtocolFields::ProtocolNumber), QString::number(record->revision),
        record->moment.toLocalTime().toString(u"dd.MM.yyyy HH:mm"_s));
    const QString approval = approvalLine(record->approvals);
    if (!approval.isEmpty())
        caption += u". "_s + approval;
    Form4->showSheets(page1, page2, caption);
}

void ArchiveController::showArchivedJudgement(qint64 id)
{
    QWidget *owner = m_archiveWindow ? static_cast<QWidget *>(m_archiveWindow) : &m_window;
    const std::optional<ArchiveRecord> record = m_archive->record(id);
    if (!record) {
        const QString error = m_archive->lastError();
        Prompts::current().showMessage(owner, ProtocolArchive::Caption,
                                       u"Запись не прочитана из архива"_s + (error.isEmpty() ? QString() : u": "_s + error),
                                       PromptIcon::Warning);
        return;
    }
    if (m_viewer)
        m_viewer(*record);
}
