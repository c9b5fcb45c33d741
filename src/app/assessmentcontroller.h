#pragma once

#include "assessmentwindow.h"
#include "main.h"

#include <QObject>
#include <QPointer>

class ProtocolArchive;
class RecordsController;

// "Оценка результатов": the window that judges what was measured, made when first asked
// for, against the previous protocol of the same transformer in the archive.
class AssessmentController : public QObject, private Ui::PageMain, private Ui::PageProtocol {
    Q_OBJECT
public:
    AssessmentController(const RecordsController &records, const Ui::PageMain &main,
                         const Ui::PageProtocol &protocol, ProtocolArchive &archive);
    ~AssessmentController() override;

    AssessmentWindow *assessmentWindow() const { return m_assessmentWindow; }

    void AssessmentButtonClick();
    // What the judgement reads of the window: the state file's texts, the protocol number,
    // the nameplate and oil texts, and the chosen material and phase count in words.
    QHash<QString, QString> assessmentTexts() const;
    PreviousRecord previousRecord(const QString &serial, const QString &protocolNumber) const;

private:
    const RecordsController &m_records;
    ProtocolArchive &m_archive;
    QPointer<AssessmentWindow> m_assessmentWindow;
};
