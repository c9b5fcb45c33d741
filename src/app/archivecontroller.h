#pragma once

#include "archivewindow.h"
#include "main.h"
#include "protocolarchive.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

class RecordsController;
class TForm3;
class TForm4;

// "Архив протоколов": the one archive for the program's life, the protocols the preview
// produces recorded in it, its window once asked for, and a record opened from there.
class ArchiveController : public QObject {
    Q_OBJECT
public:
    ArchiveController(TForm1 &window, const RecordsController &records, TForm3 &document, TForm4 &preview);
    ~ArchiveController() override;

    ProtocolArchive &archive() { return *m_archive; }
    ArchiveWindow *archiveWindow() const { return m_archiveWindow; }

    void ArchiveButtonClick();
    void recordProducedProtocol();
    ArchiveRecord mainWindowPartOfRecord() const;
    void openArchivedRecord(qint64 id);
    // Where the judgement of the results comes from when "Протокол" fills the document,
    // and where an archived record's judgement is shown.
    void setJudge(std::function<ArchiveJudgement()> judge) { m_judge = std::move(judge); }
    void setJudgementViewer(std::function<void(const ArchiveRecord &)> viewer) { m_viewer = std::move(viewer); }
    void showArchivedJudgement(qint64 id);

private:
    const MainForms &ui;
    TForm1 &m_window;
    const RecordsController &m_records;
    TForm3 *const Form3;
    TForm4 *const Form4;
    std::unique_ptr<ProtocolArchive> m_archive;
    QPointer<ArchiveWindow> m_archiveWindow;
    // What the main window held when "Протокол" filled the document: the record must
    // describe the paper, not entries changed while the preview was open.
    ArchiveRecord m_filled;
    std::function<ArchiveJudgement()> m_judge;
    std::function<void(const ArchiveRecord &)> m_viewer;
};
