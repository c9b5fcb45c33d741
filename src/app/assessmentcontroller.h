#pragma once

#include "assessmentwindow.h"
#include "main.h"

#include <QObject>
#include <QPointer>

class ProtocolArchive;
class RecordsController;
class ResultRecord;

// "Оценка результатов": the window that judges what was measured, made when first asked
// for, against the previous protocol of the same transformer in the archive.
class AssessmentController : public QObject, private Ui::PageMain, private Ui::PageProtocol {
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

private:
    const RecordsController &m_records;
    const ResultRecord &m_results;
    ProtocolArchive &m_archive;
    QPointer<AssessmentWindow> m_assessmentWindow;
};
