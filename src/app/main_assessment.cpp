#include "formarchive.h"
#include "formassessment.h"

#include "controls.h"
#include "errorreport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

const QString FlashPrefix = u"Температура вспышки "_s;

} // namespace

void TForm1::setupAssessment()
{
    Assessment = std::make_unique<AssessmentState>();
    connect(AssessmentButton, &QPushButton::clicked, this, [this] { runGuarded([this] { AssessmentButtonClick(); }); });
}

void TForm1::AssessmentButtonClick()
{
    if (!Assessment->window) {
        AssessmentSources sources;
        sources.texts = [this] { return assessmentTexts(); };
        sources.previous = [this](const QString &serial, const QString &protocol) {
            return previousRecord(serial, protocol);
        };
        Assessment->window = new AssessmentWindow(std::move(sources));
    }
    Assessment->window->show();
    Assessment->window->raise();
    Assessment->window->activateWindow();
}

QHash<QString, QString> TForm1::assessmentTexts() const
{
    QHash<QString, QString> texts = stateTexts();
    texts.insert(u"ProtocolNumber"_s, ProtocolNumber->text());
    for (QLineEdit *e : {Unom, Unom2, ElectricStrength, AcidNumber, WaterContent, FlashTemperature})
        texts.insert(e->objectName(), e->text());
    texts.insert(u"Circuit"_s, Circuit->currentText());
    const auto chosen = [](const RadioGroup *g) {
        return g->itemIndex() >= 0 ? g->items().value(g->itemIndex()) : QString();
    };
    texts.insert(u"Material"_s, chosen(Material));
    texts.insert(u"FasNumber"_s, chosen(FasNumber));
    return texts;
}

// The newest record of the serial number other than this protocol, from the archive;
// none when the archive cannot be read.
PreviousRecord TForm1::previousRecord(const QString &serial, const QString &protocolNumber) const
{
    PreviousRecord previous;
    if (!Archive || !Archive->archive)
        return previous;
    const std::optional<QList<ArchiveSummary>> all = Archive->archive->summaries();
    if (!all)
        return previous;
    const ArchiveSummary *newest = nullptr;
    for (const ArchiveSummary &s : *all) {
        if (s.serialNumber.trimmed().compare(serial.trimmed(), Qt::CaseInsensitive) != 0
            || s.protocolNumber.trimmed() == protocolNumber.trimmed())
            continue;
        if (!newest || s.msecs > newest->msecs)
            newest = &s;
    }
    if (!newest)
        return previous;
    const std::optional<ArchiveRecord> record = Archive->archive->record(newest->id);
    if (!record)
        return previous;
    previous.present = true;
    previous.label = u"протокол № "_s + record->protocolNumber + u" от "_s
        + record->moment.toString(u"dd.MM.yyyy"_s);
    for (auto it = record->results.cbegin(); it != record->results.cend(); ++it)
        previous.texts.insert(it.key(), it.value());
    QString flash = record->fields.value(u"QRFlashTemperature"_s);
    if (flash.startsWith(FlashPrefix))
        flash = flash.mid(FlashPrefix.size());
    previous.texts.insert(u"FlashTemperature"_s, flash);
    return previous;
}
