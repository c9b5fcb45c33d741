#include "assessmentcontroller.h"
#include "recordscontroller.h"

#include "declaredstore.h"
#include "protocolarchive.h"
#include "protocolfields.h"
#include "resultrecord.h"

#include "declaredstore.h"
#include "programversion.h"

#include "controls.h"
#include "errorreport.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

// The oil's flash temperature as the protocol printed it, with its words in front.
const QString FlashPrefix = ProtocolFields::find(ProtocolFields::FlashTemperature)->prefix;

} // namespace

AssessmentController::AssessmentController(const TForm1 &window, const RecordsController &records,
                                           ProtocolArchive &archive)
    : ui(window.forms()), m_records(records),
      m_results(window.results()), m_archive(archive)
{
    connect(ui.AssessmentButton, &QPushButton::clicked, this, [this] { runGuarded([this] { AssessmentButtonClick(); }); });
}

AssessmentController::~AssessmentController()
{
    delete m_assessmentWindow;
    delete m_archivedWindow;
}

void AssessmentController::AssessmentButtonClick()
{
    if (!m_assessmentWindow) {
        AssessmentSources sources;
        sources.texts = [this] { return assessmentTexts(); };
        sources.previous = [this](const QString &serial, const QString &protocol) {
            return previousRecord(serial, protocol);
        };
        sources.stored = [this](const QString &protocol, const QString &serial) {
            return storedProtocol(protocol, serial);
        };
        sources.approve = [this](qint64 id, const QString &person, const QList<AssessmentRow> &rows) {
            return approveStored(id, person, rows);
        };
        sources.withdraw = [this](qint64 id, const QString &person, const QString &reason) {
            return m_archive.withdrawApproval(id, person, reason, QDateTime::currentMSecsSinceEpoch());
        };
        m_assessmentWindow = new AssessmentWindow(std::move(sources));
        // A protocol printed while the window is open can be approved at once.
        connect(&m_archive, &ProtocolArchive::recordStored, m_assessmentWindow, [this] {
            if (m_assessmentWindow->isVisible())
                runGuarded([this] { m_assessmentWindow->readStored(); });
        });
    }
    m_assessmentWindow->show();
    m_assessmentWindow->raise();
    m_assessmentWindow->activateWindow();
}

QHash<QString, QString> AssessmentController::assessmentTexts() const
{
    QHash<QString, QString> texts = m_records.stateTexts();
    texts.insert(u"ProtocolNumber"_s, ui.ProtocolNumber->text());
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
    // Its R60 is reduced from the temperature kept with that test's inputs.
    previous.insulationTemperature =
        DeclaredStore::loadTest(record->serialNumber, record->protocolNumber).declared.insulationTemperature;
    return previous;
}

AssessmentInput AssessmentController::inputFor(const QHash<QString, QString> &texts) const
{
    // Read as the window reads them (AssessmentWindow::loadDeclared).
    const QString type = texts.value(u"Name"_s).trimmed();
    const QString serial = texts.value(u"RepairNumber"_s).trimmed();
    const QString protocol = texts.value(u"ProtocolNumber"_s).trimmed();
    AssessmentInput input;
    input.texts = texts;
    input.type = DeclaredStore::loadType(type);
    input.serial = DeclaredStore::loadSerial(serial);
    const DeclaredStore::TestRecord test = DeclaredStore::loadTest(serial, protocol);
    input.test = test.declared;
    input.overrides = test.overrides;
    if (!serial.isEmpty())
        input.previous = previousRecord(serial, protocol);
    return input;
}

ArchiveJudgement AssessmentController::currentJudgement()
{
    m_norms.refresh();
    const QHash<QString, QString> texts = assessmentTexts();
    const QHash<QString, QString> state = m_records.stateTexts();
    QMap<QString, QString> results;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        results.insert(it.key(), it.value());
    return archiveJudgement(assess(inputFor(texts), m_norms.norms().table), m_norms.norms(), texts, results);
}

namespace {

StoredVerdict storedVerdict(Verdict verdict)
{
    switch (verdict) {
    case Verdict::Complies: return StoredVerdict::Complies;
    case Verdict::Fails: return StoredVerdict::Fails;
    case Verdict::NeedsAnalysis: return StoredVerdict::NeedsAnalysis;
    case Verdict::NotAssessed: break;
    }
    return StoredVerdict::NotAssessed;
}

} // namespace

ArchiveJudgement AssessmentController::archiveJudgement(const QList<AssessmentRow> &rows, const NormsInForce &norms,
                                                        const QHash<QString, QString> &texts,
                                                        const QMap<QString, QString> &results)
{
    ArchiveJudgement judgement;
    judgement.judged = true;
    for (const AssessmentRow &row : rows) {
        JudgedCheck check;
        check.id = row.id;
        check.check = row.quantity;
        check.measured = row.measured;
        check.reference = row.reference;
        check.limit = row.limit;
        check.deviation = row.deviation;
        check.verdict = storedVerdict(row.verdict);
        check.verdictLine = row.verdictLine();
        check.decided = row.manual;
        check.reason = row.reason;
        check.note = row.note;
        check.source = row.source;
        judgement.rows.append(check);
    }
    judgement.normsOrigin = norms.origin;
    // The text as it lies now: the file the table was read from, or the program's own.
    QFile file(norms.origin.isEmpty() ? ShippedNormsPath : norms.origin);
    if (file.open(QIODevice::ReadOnly))
        judgement.normsDigest = QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
    judgement.programVersion = programVersion();
    judgement.judgedMsecs = QDateTime::currentMSecsSinceEpoch();
    for (auto it = texts.cbegin(); it != texts.cend(); ++it) {
        const auto result = results.constFind(it.key());
        if (result == results.cend() || *result != it.value())
            judgement.input.insert(it.key(), it.value());
    }
    return judgement;
}

QHash<QString, QString> AssessmentController::textsOfRecord(const ArchiveRecord &record)
{
    QHash<QString, QString> texts;
    for (auto it = record.results.cbegin(); it != record.results.cend(); ++it)
        texts.insert(it.key(), it.value());
    for (auto it = record.judgement.input.cbegin(); it != record.judgement.input.cend(); ++it)
        texts.insert(it.key(), it.value());
    if (!texts.contains(u"ProtocolNumber"_s))
        texts.insert(u"ProtocolNumber"_s, record.protocolNumber);
    return texts;
}

void AssessmentController::showArchived(const ArchiveRecord &record)
{
    if (!m_archivedWindow)
        m_archivedWindow = new ArchivedJudgementWindow;
    m_norms.refresh();
    // Today's judgement of the same texts, by today's norms and declared values.
    const QHash<QString, QString> texts = textsOfRecord(record);
    const ArchiveJudgement today =
        archiveJudgement(assess(inputFor(texts), m_norms.norms().table), m_norms.norms(), texts, record.results);
    m_archivedWindow->showJudgements(record, today);
    m_archivedWindow->show();
    m_archivedWindow->raise();
    m_archivedWindow->activateWindow();
}

std::optional<ArchiveRecord> AssessmentController::storedProtocol(const QString &protocolNumber,
                                                                  const QString &serial) const
{
    if (protocolNumber.isEmpty() || serial.isEmpty())
        return std::nullopt;
    const std::optional<qint64> id = m_archive.latestRevisionId(protocolNumber, serial);
    if (!id || *id == 0)
        return std::nullopt;
    return m_archive.record(*id);
}

// Approved with the window's judgement when the stored results are the ones it judged (the
// engineer's decisions made since the printing go with it), else with the stored one.
QString AssessmentController::approveStored(qint64 id, const QString &person, const QList<AssessmentRow> &rows)
{
    const std::optional<ArchiveRecord> record = m_archive.record(id);
    if (!record)
        return u"Протокол не прочитан из архива: "_s + m_archive.lastError();
    const QHash<QString, QString> state = m_records.stateTexts();
    QMap<QString, QString> results;
    for (auto it = state.cbegin(); it != state.cend(); ++it)
        results.insert(it.key(), it.value());
    std::optional<ArchiveJudgement> judgement;
    if (results == record->results) {
        m_norms.refresh();
        judgement = archiveJudgement(rows, m_norms.norms(), assessmentTexts(), results);
    }
    return m_archive.approve(id, person, QDateTime::currentMSecsSinceEpoch(), judgement ? &*judgement : nullptr);
}
