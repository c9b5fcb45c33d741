#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "ratedvalues.h"

#include <QHash>
#include <QLineEdit>
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTimer;
struct LinkContext;
struct LinkUpdate;
class QFrame;
class RadioGroup;
class StringGrid;
class PageControl;
class SerialChannel;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
struct TransformerType;
struct ArchiveRecord;
struct PreviousRecord;
enum class EntryField;

// The main window: live readouts on the left, the six pages of the tests and the
// protocol entries on the right. Controls keep their layout names; handlers are named
// after the control and its event.
class TForm1 : public QWidget {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // The other windows, set by the program entry once they exist.
    TForm2 *Form2 = nullptr;
    TForm3 *Form3 = nullptr;
    TForm4 *Form4 = nullptr;
    TForm5 *Form5 = nullptr;

    // ---- left column ----
    QLabel *sLabelFX3, *StaticText148, *StaticText149, *StaticText150;
    QLabel *StaticText151, *Uab, *StaticText152, *Ia, *StaticText153, *U_AB;
    QLabel *StaticText157, *Ubc, *StaticText159, *Ib, *StaticText161, *U_BC;
    QLabel *StaticText163, *Uca, *StaticText165, *Ic, *StaticText167, *U_CA;
    QLabel *StaticText19, *Uab2, *StaticText2, *Kf, *StaticText169, *Freq;
    QFrame *sBevel1, *sBevel2, *sPanel1;
    QLabel *sLabelFX4, *lbITN, *lbITT, *sLabel1, *sLabel2;
    QComboBox *cbVoltage, *cbCurrent;
    QLineEdit *Temperature;
    QPushButton *sBitBtn2, *Gauge, *sBitBtn3;
    QLabel *Label5, *lbCRC, *Label2, *Label6, *Label8, *Label7;
    QCheckBox *VoltageTransformer;
    RadioGroup *Current;

    PageControl *PageControl1;
    QWidget *Main, *Idle, *Chort, *Transformations, *Resistence, *sTabSheet6;
    QLabel *StatusBarMain;

    // ---- page "Трансформатор" ----
    QLabel *sLabel3;
    QComboBox *Name;
    QPushButton *sButton6, *sButton7;
    RadioGroup *FasNumber;
    QLabel *sLabel4, *sLabel5, *sLabel6, *sLabel7, *sLabel10, *sLabel11;
    QLineEdit *TransformerWeight, *Pnom;
    QLabel *sLabel12, *sLabel8, *sLabel14, *sLabel13, *sLabel9, *sLabel15;
    QLineEdit *Unom2, *Unom, *Inom2, *Inom;
    QLabel *sLabel16, *sLabel17, *sLabel18;
    QLineEdit *Freq2;
    QComboBox *Circuit;
    RadioGroup *Material;

    // ---- page "Холостой ход" ----
    QLabel *Uab00, *Ubc00, *Uca00, *Ia00, *Ib00, *Ic00, *Ixx00, *Ixx01, *Pxx00;
    QPushButton *IdleState;
    QLabel *Label3, *Label4;

    // ---- page "Короткое замыкание" ----
    QLabel *Uab10, *Ubc10, *Uca10, *Ukz100, *Ukz110, *Ia10, *Ib10, *Ic10, *Ikz10, *Pkz10;
    QLabel *Ukz101, *Ukz111, *Pkz11, *Ukz102, *Ukz112, *Pkz12;
    QLabel *StaticText111, *StaticText112;
    QPushButton *ShortState;

    // ---- page "Коэффициент трансформации" ----
    RadioGroup *RadioGroup1;
    StringGrid *TransformGrid, *TransformGrid1;
    QLabel *Group;
    QPushButton *Transform;

    // ---- page "Омическое сопротивление" ----
    RadioGroup *RadioGroup2, *RadioGroup3, *RadioGroup4, *ResistenceRange1;
    StringGrid *ResistenceGrid;
    QPushButton *sButton1, *Resist, *ResistStop, *Button1, *Button2;
    QCheckBox *cbAutoStop;
    QLabel *Label1;

    // ---- page "Протокол" ----
    QFrame *sPanel4, *sPanel5, *sBevel3, *sBevel4;
    QPlainTextEdit *Firm, *Conclusion;
    QLabel *sLabel30, *sLabel28, *sLabel29, *sLabel33, *sLabel31;
    QLineEdit *Rem, *RepairNumber, *YearOfRepair;
    QCheckBox *IsolationCheckBox;
    QLineEdit *OilAnalysis, *ElectricStrength, *WaterContent, *MechanicalImpurities,
        *WeightedCoalContent, *Color, *AcidNumber, *ReactionAqueousExtract, *FlashTemperature;
    QLabel *sLabelFX1, *sLabelFX2;
    QLineEdit *RHigh15, *RHigh60, *KabsHigh, *Uhigh, *Thigh;
    QLineEdit *RLow15, *RLow60, *KabsLow, *Ulow, *Tlow;
    QLineEdit *RHL15, *RHL60, *KabsHL, *UHL, *THL;
    QLineEdit *ProtocolNumber, *Investigator, *ChiefName, *Chief;
    QPushButton *Previw, *ArchiveButton;
    QPushButton *AssessmentButton = nullptr;

    // ---- timers and the serial channel ----
    QTimer *Timer1; // link supervision, 5000 ms
    QTimer *Timer2; // resistance auto-stop, 30000 ms
    SerialChannel *VaComm1 = nullptr;

    // ---- values the tests compute with ----
    BenchReadings Readings;
    RatedValues Rated;
    // CurrentRatio, CurrentDigits, VoltageRatio, VoltageDigits of the two range lists.
    InstrumentScaling Scaling;
    long double Resistance = 0;
    // While set, complete resistance packets are thrown away unread (between the stop
    // of a resistance measurement and the next start).
    bool resistancePaused() const;
    void setResistancePaused(bool paused);

    // State of each area beside the controls, each defined with its handlers
    // (formlink.h, formtests.h, formrecords.h).
    struct LinkState;
    struct TestsState;
    struct RecordsState;
    struct ArchiveState;
    struct AssessmentState;
    std::unique_ptr<LinkState> Link;
    std::unique_ptr<TestsState> Tests;
    std::unique_ptr<RecordsState> Records;
    std::unique_ptr<ArchiveState> Archive;
    std::unique_ptr<AssessmentState> Assessment;

    // ---- shell ----
    void FormCreate();
    void sBitBtn2Click();
    void sPanel1Click();
    void FormShow();
    void FormClose();

    // ---- link ----
    void VaComm1RxChar(int count);
    void cbCurrentChange();
    void cbVoltageChange();
    void VoltageTransformerClick();
    void CurrentClick();
    void PageControl1Change();
    void Timer1Timer();
    void sBitBtn3Click();
    void GaugeClick();
    // The test controls made available by a good signal packet, blocked by a page change
    // and by the loss of the link.
    void setTestControlsEnabled(bool enabled);
    void clearReadouts(bool withFormFactor);
    QString portText(const char *suffix) const; // "COM" + n + suffix
    LinkContext linkContext() const;
    void takeLinkUpdate(const LinkUpdate &update);
    void writeLinkScreen();
    void dropPendingReadouts();
    void lineQuiet();

    // ---- tests ----
    void showPendingReadouts();
    void IdleStateClick();
    void ShortStateClick();
    void TransformClick();
    void TransformGridDblClick();
    void ResistClick();
    void ResistStopClick();
    void Timer2Timer();
    void RadioGroup3Click();
    void RadioGroup4Click();
    void sButton1Click();
    void Button1Click();
    void Button2Click();
    void RIEnter();

    // ---- rated values ----
    void PnomExit();
    void UnomExit();
    void InomExit();
    void Unom2Exit();
    void Inom2Exit();
    // `sender` is the control whose exit raised it; the window itself at start-up.
    void TemperatureExit(QObject *sender = nullptr);
    void MaterialClick();
    void TEditExit(QLineEdit *sender);
    void UlowExit(QLineEdit *sender);

    // ---- records ----
    void cbAutoStopClick();
    void NameChange();
    void sButton6Click();
    void sButton7Click();
    void PreviwClick();
    // Loads the type named in `Name`; at start-up without emptying the entries first.
    void loadType(bool clearFirst);
    void refillTypeList();
    void restoreState();
    void writeState();
    QHash<QString, QString> stateTexts() const;
    TransformerType typeOnPage() const;

    // ---- archive of protocols (formarchive.h) ----
    void ArchiveButtonClick();
    void recordProducedProtocol();
    ArchiveRecord mainWindowPartOfRecord() const;
    void openArchivedRecord(qint64 id);

    // ---- assessment of the results (formassessment.h) ----
    void AssessmentButtonClick();
    // What the judgement reads of the window: the state file's texts, the protocol number,
    // the nameplate and oil texts, and the chosen material and phase count in words.
    QHash<QString, QString> assessmentTexts() const;
    PreviousRecord previousRecord(const QString &serial, const QString &protocolNumber) const;
    // Under the insulation table, level with "Архив протоколов": the page has no room
    // beside that button itself, and no control moves for this one.
    static inline const QRect AssessmentButtonGeometry{40, 509, 258, 18};
    // Every named control of the window, bound once when the window is built. The state
    // file's keys, the calculations' fields and the filling reach controls only through
    // it, so a test can prove that each of their names still stands for a control.
    QWidget *control(const QString &name) const;
    StringGrid *grid(const QString &name) const;

    // The tab pages in their order, for code that needs them by index.
    enum PageIndex { PageMain, PageIdle, PageChort, PageTransformations, PageResistence, PageProtocol };

signals:
    // The window has closed; the program ends with it, whatever other windows are open.
    void closed();

protected:
    void showEvent(QShowEvent *event) override;

    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildLeftColumn();
    void buildPageMain();
    void buildPageIdle();
    void buildPageChort();
    void buildPageTransformations();
    void buildPageResistence();
    void buildPageProtocol();
    void connectShell();
    // Wiring of the other areas, each defined beside its handlers.
    void setupLink();
    void setupTests();
    void setupRecords();
    void setupDialogs();
    void setupRated();
    void setupArchive();
    void setupAssessment();
    // Reads one rated text into `Rated`; false after reporting a text that is not a number.
    bool enterRated(QLineEdit *field, int entryField);
    // Reads the rated texts in their page-change order into `Rated` and the material's
    // constant after them; stops, reporting it, at the field `stopAt`.
    bool enterRatedFields(std::optional<EntryField> stopAt);
    // Shows an input error and gives the focus back to `field` with its text selected.
    void reportInputError(QWidget *field, const QString &message);
    // True after refusing a text of `field` that the files cannot hold.
    bool refuseUnstorableText(QWidget *field);
    // Enter in `Name` whose text is the type already loaded: nothing to do.
    bool isIdleNameEnter(QObject *watched, QEvent *event) const;
    // The service controls an operator never needs, each shown or hidden in turn.
    enum class Diagnostic { Labels3And4 = 1, Label8 = 2, Gauge = 4 };
    Q_DECLARE_FLAGS(Diagnostics, Diagnostic)
    void toggleDiagnostics(Diagnostics which);

    QHash<QString, QWidget *> m_controls;
    bool m_shown = false;
    // The field whose focus is on its way back after its message, and whether it is
    // being given back right now.
    QPointer<QWidget> m_returningTo;
    bool m_givingFocusBack = false;
};
