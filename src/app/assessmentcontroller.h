#pragma once

#include "assessmentwindow.h"
#include "archiverecord.h"
#include "main.h"

#include <QObject>
#include <QPointer>

class ProtocolArchive;
class RecordsController;
class ResultRecord;

// "Оценка результатов": the window that judges what was measured, made when first asked
// for, against the previous protocol of the same transformer in the archive.
class AssessmentController : public QObject {
    Q_OBJECT
public:
    AssessmentController(const TForm1 &window, const RecordsController &records, ProtocolArchive &archive);
    ~AssessmentController() override;

    AssessmentWindow *assessmentWindow() const { return m_assessmentWindow; }

    void AssessmentButtonClick();
    // What the judgement reads: the state file's texts, the protocol number, and from the
    // record the nameplate and oil texts and the chosen material and phase count in words.
    QHash<QString, QString> assessmentTexts() const;
    PreviousRecord previousRecord(const QString &serial, const QString &protocolNumber) const;

    // The input the window judges `texts` with when nothing is typed in it unsaved: the
    // declared values and the engineer's decisions as stored, the previous protocol.
    AssessmentInput inputFor(const QHash<QString, QString> &texts) const;
    // The judgement of the main window's results as they stand, by the norms in force, in
    // the archive's form: what a protocol produced now is stored with.
    ArchiveJudgement currentJudgement();
    // `rows` made by `norms` on `texts`, in the archive's form; `results` are the record's,
    // which the judgement's own input need not repeat.
    static ArchiveJudgement archiveJudgement(const QList<AssessmentRow> &rows, const NormsInForce &norms,
                                             const QHash<QString, QString> &texts,
                                             const QMap<QString, QString> &results);
    // What a record's judgement reads: its results and the judgement's own input.
    static QHash<QString, QString> textsOfRecord(const ArchiveRecord &record);
    // "Оценка результатов" of an archived record: its judgement as stored, and today's where it differs.
    void showArchived(const ArchiveRecord &record);
    ArchivedJudgementWindow *archivedWindow() const { return m_archivedWindow; }

private:
    // The protocol's newest revision in the archive, and approving or withdrawing it.
    std::optional<ArchiveRecord> storedProtocol(const QString &protocolNumber, const QString &serial) const;
    QString approveStored(qint64 id, const QString &person, const QList<AssessmentRow> &rows);

    const MainForms &ui;
    const RecordsController &m_records;
    const ResultRecord &m_results;
    ProtocolArchive &m_archive;
    QPointer<AssessmentWindow> m_assessmentWindow;
    QPointer<ArchivedJudgementWindow> m_archivedWindow;
    NormsSource m_norms;
};
