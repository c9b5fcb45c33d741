#include "assessmentcontroller.h"
#include "recordscontroller.h"

#include "protocolarchive.h"
#include "protocolfields.h"
#include "resultrecord.h"

#include "controls.h"
#include "errorreport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The oil's flash temperature as the protocol printed it, with its words in front.
const QString FlashPrefix = ProtocolFields::find(ProtocolFields::FlashTemperature)->prefix;

} // namespace

AssessmentController::AssessmentController(const RecordsController &records, const ResultRecord &results,
                                           const Ui::PageMain &main, const Ui::PageProtocol &protocol,
                                           ProtocolArchive &archive)
    : Ui::PageMain(main), Ui::PageProtocol(protocol), m_records(records), m_results(results), m_archive(archive)
{
    connect(AssessmentButton, &QPushButton::clicked, this, [this] { runGuarded([this] { AssessmentButtonClick(); }); });
}

AssessmentController::~AssessmentController()
{
    delete m_assessmentWindow;
}

void AssessmentController::AssessmentButtonClick()
{
    if (!m_assessmentWindow) {
        AssessmentSources sources;
        sources.texts = [this] { return assessmentTexts(); };
        sources.previous = [this](const QString &serial, const QString &protocol) {
            return previousRecord(serial, protocol);
        };
        m_assessmentWindow = new AssessmentWindow(std::move(sources));
    }
    m_assessmentWindow->show();
    m_assessmentWindow->raise();
    m_assessmentWindow->activateWindow();
}

QHash<QString, QString> AssessmentController::assessmentTexts() const
{
    QHash<QString, QString> texts = m_records.stateTexts();
    texts.insert(u"ProtocolNumber"_s, ProtocolNumber->text());
    using enum ResultId;
    for (ResultId id : {Unom, Unom2, Pnom, ElectricStrength, AcidNumber, WaterContent, FlashTemperature, Circuit,
                        Material, FasNumber})
        texts.insert(Results::quantity(id).key, m_results.text(id));
    return texts;
}

// The newest record of the serial number other than this protocol, from the archive;
// none when the archive cannot be read.
PreviousRecord AssessmentController::previousRecord(const QString &serial, const QString &protocolNumber) const
{
    PreviousRecord previous;
    const std::optional<QList<ArchiveSummary>> all = m_archive.summariesOfSerial(serial);
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
    const std::optional<ArchiveRecord> record = m_archive.record(newest->id);
    if (!record)
        return previous;
    previous.present = true;
    previous.label = u"протокол № "_s + record->protocolNumber + u" от "_s
        + record->moment.toString(u"dd.MM.yyyy"_s);
    for (auto it = record->results.cbegin(); it != record->results.cend(); ++it)
        previous.texts.insert(it.key(), it.value());
    QString flash = record->fields.value(ProtocolFields::FlashTemperature);
    if (flash.startsWith(FlashPrefix))
        flash = flash.mid(FlashPrefix.size());
    previous.texts.insert(u"FlashTemperature"_s, flash);
    return previous;
}
