#pragma once

#include "archivecomparison.h"
#include "archiveexport.h"
#include "archiverecord.h"
#include "protocolarchive.h"

#include <QWidget>
#include <optional>

class ArchiveListModel;
class HistoryWindow;
class QCheckBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class QTableWidget;

// Two records of one transformer side by side; changes beyond 2 % stand out in red.
class ArchiveCompareWindow : public QWidget {
    Q_OBJECT
public:
    // The role of a change cell that tells whether it is marked.
    static constexpr int MarkedRole = Qt::UserRole + 1;
    enum Column { SectionColumn, QuantityColumn, BeforeColumn, AfterColumn, ChangeColumn, NormColumn, ColumnCount };

    explicit ArchiveCompareWindow(QWidget *parent = nullptr);
    void showComparison(const ArchiveRecord &before, const ArchiveRecord &after);

    QLabel *title;
    QTableWidget *table;
    QLabel *legend;
};

// Stores a protocol that has just been printed, saved or written as PDF. Never stops the
// paper: a failure shows one message (the first of a spell of failures) and is otherwise
// quiet. The record carries the field texts of both pages, the two sheets in the sheet
// store's saved form, the results by state key, and the protocol number, type, serial
// number and firm as the main window shows them.
ProtocolArchive::StoreResult recordInArchive(QWidget *owner, ProtocolArchive &archive, const ArchiveRecord &record);

// At the program's close: records that no database took are lost with the program, so
// the operator is told how many and may save them to a file (a cancel lets them go).
void offerToSaveUnsaved(QWidget *owner, ProtocolArchive &archive);

// The window "Архив протоколов": every stored protocol, newest first or in the order of a
// column whose head was clicked, narrowed by a filter as one types and by a span of days;
// rows are read as the list is scrolled to them. A record opens in the preview window
// (openRequested), two of one serial number are compared, and the chosen records (none
// chosen: the whole list as shown) are exported to Excel, CSV or JSON with a progress bar
// that can be cancelled. Every message and file dialog goes through Prompts.
class ArchiveWindow : public QWidget {
    Q_OBJECT
public:
    explicit ArchiveWindow(ProtocolArchive *archive, QWidget *parent = nullptr);

    // Reads the list from the archive again; showing the window does it too.
    void reload();
    // The whole record (sheets included) for the preview window; nullopt when unreadable.
    std::optional<ArchiveRecord> record(qint64 id) const;

    // The ids of the chosen rows, in the list's order.
    QList<qint64> selectedIds() const;
    void selectRows(const QList<int> &rows);

    void openSelected();
    void compareSelected();
    // "Динамика": the history of the chosen record's transformer as charts.
    void showHistorySelected();
    void exportSelected(ArchiveExport::Format format);
    // The file name an export proposes: what goes out, and the date.
    QString proposedExportName(ArchiveExport::Format format, const QList<qint64> &ids) const;
    // Where an export is proposed: the last export's folder, else Documents, else home.
    QString exportFolder() const;

    QLineEdit *filterEdit;
    QCheckBox *periodCheck;
    QDateEdit *fromEdit;
    QDateEdit *toEdit;
    QTableView *table;
    QPushButton *openButton;
    QPushButton *compareButton;
    QPushButton *historyButton;
    // "Оценка": the chosen record's judgement as stored; the check keeps only the records
    // whose judgement has rows that do not conform or need analysis.
    QPushButton *judgementButton;
    QCheckBox *attentionCheck;
    QPushButton *xlsxButton;
    QPushButton *csvButton;
    QPushButton *jsonButton;
    QLabel *statusLabel;
    // "загрузка…" where a server's rows are still coming.
    QLabel *loadingLabel;
    // Which archive is in use and what waits to reach it.
    QLabel *archiveLabel;
    // "Перенести на сервер" (with a file archive "Загрузить из файла"): copies an archive
    // file, or records saved at close, into the archive in use.
    QPushButton *moveButton;
    void moveFileToServer();
    // "Отправить снова": the records the server refused go back in line; shown while there are any.
    QPushButton *retryButton;
    ArchiveListModel *model;
    ArchiveCompareWindow *compareWindow;
    HistoryWindow *historyWindow = nullptr; // made when first asked for

signals:
    void openRequested(qint64 id);
    void judgementRequested(qint64 id);
    // A copy of a file to the server has ended; `summary` is what the operator was told.
    void transferFinished(const QString &summary);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateButtons();
    void updateArchiveStatus();
    void showProblem(const QString &problem);
    void placeLoadingNote();
    void applyPeriod();
    void message(const QString &text, bool error);

    ProtocolArchive *m_archive;
    bool m_problemShown = false; // one box for one spell of failure
    QString m_exportFolder;      // the folder of the last export
    QString m_countText;         // "Записей в архиве: N" as the server last said
    bool m_listFailed = false;   // the status line shows why a server's list is not read
    bool m_countWanted = true;   // the next read of a server's list counts its records too
};
