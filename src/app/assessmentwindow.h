#pragma once

#include "archiverecord.h"
#include "judgement.h"
#include "norms.h"
#include "sheet.h"

#include <QHash>
#include <QWidget>

#include <functional>

class QComboBox;
class SheetView;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTabWidget;
class QTimer;

// Where the window takes what it judges from.
struct AssessmentSources {
    // The main window's texts (AssessmentInput::texts), with "Name", "RepairNumber" and
    // "ProtocolNumber" naming the type, the transformer and the test.
    std::function<QHash<QString, QString>()> texts;
    // The previous protocol of the serial number other than this protocol number.
    std::function<PreviousRecord(const QString &serial, const QString &protocolNumber)> previous;
    // The protocol's newest revision in the archive; none before it is stored.
    std::function<std::optional<ArchiveRecord>(const QString &protocolNumber, const QString &serial)> stored;
    // Approves the revision `id` in the name of `person` (with the rows judged now, when
    // they judge its results), or withdraws its approval; empty on success, else why not.
    std::function<QString(qint64 id, const QString &person, const QList<AssessmentRow> &rows)> approve;
    std::function<QString(qint64 id, const QString &person, const QString &reason)> withdraw;
};

// "Утверждено: Петров П.П., 11.12.2026 10:15", or empty while not approved.
QString approvalLine(const QList<ApprovalEvent> &events);

// The window "Оценка результатов": one row per check with its verdict in words and in
// colour, the declared values it needs, and the engineer's own verdict with a reason.
// It follows the main window's results while it is shown. Messages go through Prompts.
class AssessmentWindow : public QWidget {
    Q_OBJECT
public:
    enum Column {
        CheckColumn, MeasuredColumn, ReferenceColumn, LimitColumn, DeviationColumn,
        VerdictColumn, NoteColumn, SourceColumn, MarkColumn, ColumnCount
    };
    // The role of a row's first cell holding the check's id.
    static constexpr int IdRole = Qt::UserRole + 1;

    explicit AssessmentWindow(AssessmentSources sources, QWidget *parent = nullptr);

    // Reads the main window again and judges; a change of type, serial number or protocol
    // number loads that one's declared values.
    void refresh();
    const QList<AssessmentRow> &rows() const { return m_rows; }

    // Saves the declared values: the type's into the catalogue, the transformer's and the
    // test's beside the records.
    void saveDeclared();
    // The engineer's verdict on the chosen row; Снять gives the program's back.
    void applyOverride();
    void removeOverride();
    void makeNormsCopy();
    // "Утвердить": the protocol's newest stored revision, in the name typed (the protocol's
    // chief to begin with); "Снять утверждение" with a reason.
    void approveStored();
    void withdrawApproval();
    // Reads the newest stored revision of this protocol again (a protocol was stored).
    void readStored();
    // The newest stored revision of this protocol, as last read.
    const std::optional<ArchiveRecord> &storedRevision() const { return m_stored; }

    // The sheet "Оценка результатов испытаний к протоколу №…", a document of its own: its
    // pages as the rows stand now, shown in a preview, printed as one job, written as a PDF.
    QList<Sheet> sheets() const;
    void previewSheets();
    void printSheets();
    void writeSheetsPdf();

    static QColor verdictColour(Verdict verdict);

    QLabel *title;
    QLabel *normsLine;
    QPushButton *normsCopyButton;
    QTableWidget *table;
    QLabel *summary;
    QComboBox *overrideVerdict;
    QLineEdit *overrideReason;
    QPushButton *overrideButton;
    QPushButton *removeOverrideButton;
    QTabWidget *declaredTabs;
    // Type: P0, Pk, I0 %, uk %, tap step.
    QLineEdit *p0Edit, *pkEdit, *i0Edit, *ukEdit, *tapStepEdit;
    // Transformer: factory resistances [tap][row of ResistenceGrid], ratios [tap][AB BC CA], R60.
    QTableWidget *resistanceTable;
    QLineEdit *resistanceTemperatureEdit;
    QTableWidget *ratioTable;
    QLineEdit *r60Edits[InsulationGaps];
    QLineEdit *r60TemperatureEdit;
    // Test.
    QLineEdit *insulationTemperatureEdit;
    QComboBox *oilCombo;
    // The oil's protection: the type's (Паспорт типа) and this unit's when it differs.
    QComboBox *oilProtectionCombo;
    QComboBox *testProtectionCombo;
    // The norms in force, row by row, with their conditions and marks.
    QTableWidget *normsTable;
    QPushButton *saveButton;
    QPushButton *previewButton, *printButton, *pdfButton;
    // The preview of the sheet, made when first asked for.
    QWidget *sheetPreview = nullptr;
    SheetView *sheetView = nullptr;
    QLabel *sheetPageLabel = nullptr;
    QLabel *inputProblems;
    // The protocol in the archive and its approval.
    QLabel *approvalLabel;
    QLineEdit *approverEdit;
    QPushButton *approveButton;
    QLineEdit *withdrawReasonEdit;
    QPushButton *withdrawButton;

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void loadDeclared(bool keepUnstoredTest);
    void judge();
    void fillTable();
    AssessmentInput input() const;
    TypeDeclared typeDeclared() const;
    SerialDeclared serialDeclared() const;
    TestDeclared testDeclared() const;
    void saveTest();
    QString selectedId() const;
    void updateOverrideButtons();
    void showNorms();
    void refreshNorms();
    QStringList temperaturesOutside() const;
    void keepDecisionsWithTheirValues();
    void showApproval();

    AssessmentSources m_sources;
    NormsSource m_normsSource;
    NormsInForce m_norms;
    bool m_refusalShown = false;
    QHash<QString, QString> m_texts;
    QString m_type, m_serial, m_protocol;
    PreviousRecord m_previous;
    QHash<QString, VerdictOverride> m_overrides;
    // Decisions dropped since this test was loaded, their values having changed.
    QHash<QString, VerdictOverride> m_dropped;
    QList<AssessmentRow> m_rows;
    QTimer *m_follow;
    bool m_loading = false;
    std::optional<ArchiveRecord> m_stored;
    QList<Sheet> m_previewSheets;
    int m_previewPage = 0;
    void showPreviewPage(int page);
};

// "Оценка результатов" of an archived record, read only: each check as it was stored with
// the protocol, and beside it the verdict by today's norms where that differs.
class ArchivedJudgementWindow : public QWidget {
    Q_OBJECT
public:
    enum Column {
        CheckColumn, MeasuredColumn, ReferenceColumn, LimitColumn, DeviationColumn, VerdictColumn, TodayColumn,
        SourceColumn, ColumnCount
    };

    explicit ArchivedJudgementWindow(QWidget *parent = nullptr);
    void showJudgements(const ArchiveRecord &record, const ArchiveJudgement &today);

    QLabel *title;
    QLabel *madeBy;   // the norms and the program it was made by
    QLabel *approval; // the approvals given and withdrawn
    QTableWidget *table;
    QLabel *summary;
};
