#include "formarchive.h"

#include "Unit4.h"
#include "archiveoutbox.h"
#include "errorreport.h"
#include "prompts.h"
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

QByteArray serializedSheet(const SheetView *view)
{
    const std::shared_ptr<SheetStore> store = view->store();
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

void TForm1::setupArchive()
{
    Archive = std::make_unique<ArchiveState>();
    // The records folder is known by now: the program's own, or a test's.
    Archive->archive = std::make_unique<ProtocolArchive>(ArchiveSettings::fromSettingsFile());
    // A printed protocol is never lost to a server that does not answer: it waits beside the records.
    Archive->archive->enableOutbox(ArchiveOutbox::defaultPath());
    connect(this, &TForm1::closed, this, [this] {
        runGuarded([this] {
            offerToSaveUnsaved(this, *Archive->archive);
            Archive->archive->stopSender(1000);
        });
    });

    connect(ArchiveButton, &QPushButton::clicked, this, [this] { runGuarded([this] { ArchiveButtonClick(); }); });

    // The preview is handed over after the window exists; by the time "Протокол" fills it,
    // its protocols are recorded here.
    connect(Previw, &QPushButton::clicked, this, [this] {
        Archive->filled = mainWindowPartOfRecord();
        if (Archive->preview == Form4)
            return;
        disconnect(Archive->produced);
        Archive->preview = Form4;
        if (Form4)
            Archive->produced = connect(Form4, &TForm4::protocolProduced, this,
                                        [this] { runGuarded([this] { recordProducedProtocol(); }); });
    });
}

void TForm1::recordProducedProtocol()
{
    if (!Form3 || !Form4 || !Form4->showsDocumentPages())
        return;
    ArchiveRecord record = Archive->filled;
    record.moment = QDateTime::currentDateTime();
    addFields(record.fields, Form3->StendReport);
    addFields(record.fields, Form3->StendReport2);
    record.sheet1 = serializedSheet(Form4->QRPreview1);
    record.sheet2 = serializedSheet(Form4->QRPreview2);
    // The paper is out already; a failure only shows its one message.
    recordInArchive(Form4, *Archive->archive, record);
}

ArchiveRecord TForm1::mainWindowPartOfRecord() const
{
    ArchiveRecord record;
    record.protocolNumber = ProtocolNumber->text();
    record.type = Name->currentText();
    record.serialNumber = RepairNumber->text();
    record.firm = Firm->toPlainText();
    const QHash<QString, QString> results = stateTexts();
    for (auto it = results.cbegin(); it != results.cend(); ++it)
        record.results.insert(it.key(), it.value());
    return record;
}

void TForm1::ArchiveButtonClick()
{
    if (!Archive->window) {
        Archive->window = new ArchiveWindow(Archive->archive.get());
        // The window follows the archive's new records by itself.
        connect(Archive->window, &ArchiveWindow::openRequested, this,
                [this](qint64 id) { runGuarded([this, id] { openArchivedRecord(id); }); });
    }
    Archive->window->show();
    Archive->window->raise();
    Archive->window->activateWindow();
}

void TForm1::openArchivedRecord(qint64 id)
{
    if (!Form4)
        return;
    QWidget *owner = Archive->window ? static_cast<QWidget *>(Archive->window) : this;
    const std::optional<ArchiveRecord> record = Archive->archive->record(id);
    QString error = record ? QString() : Archive->archive->lastError();
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
    const QString caption = u"%1 — архивная копия, редакция %2 от %3"_s.arg(
        record->fields.value(u"QRProtocolNumber"_s), QString::number(record->revision),
        record->moment.toLocalTime().toString(u"dd.MM.yyyy HH:mm"_s));
    Form4->showSheets(page1, page2, caption);
}
