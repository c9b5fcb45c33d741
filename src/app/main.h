#pragma once

#include "benchreadings.h"
#include "instrumentranges.h"
#include "ratedvalues.h"

#include "ui_form1.h"
#include "ui_page_chort.h"
#include "ui_page_idle.h"
#include "ui_page_main.h"
#include "ui_page_protocol.h"
#include "ui_page_resistence.h"
#include "ui_page_transformations.h"

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
struct TransformerType;
enum class EntryField;

// The main window: live readouts on the left, the six pages of the tests and the
// protocol entries on the right. Controls keep their layout names; handlers are named
// after the control and its event.
class TForm1 : public QWidget,
               // The forms' controls, reached by their layout names in the handlers.
               private Ui::Form1,
               private Ui::PageMain,
               private Ui::PageIdle,
               private Ui::PageChort,
               private Ui::PageTransformations,
               private Ui::PageResistence,
               private Ui::PageProtocol {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- timers and the serial channel ----
    QTimer *Timer1; // link supervision, 5000 ms
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
    // (formlink.h, formrecords.h).
    struct LinkState;
    struct RecordsState;
    std::unique_ptr<LinkState> Link;
    std::unique_ptr<RecordsState> Records;

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
    void PageControl1Change();
    void Timer1Timer();
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

    // Writes the readouts still waiting for the screen timer, before a test computes.
    void showPendingReadouts();

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
    // Loads the type named in `Name`; at start-up without emptying the entries first.
    void loadType(bool clearFirst);
    void refillTypeList();
    void restoreState();
    void writeState();
    QHash<QString, QString> stateTexts() const;
    TransformerType typeOnPage() const;

    // Every named control of the window, bound once when the window is built. The state
    // file's keys, the calculations' fields and the filling reach controls only through
    // it, so a test can prove that each of their names still stands for a control.
    QWidget *control(const QString &name) const;
    template <class Control>
    Control *control(const QString &name) const
    {
        return qobject_cast<Control *>(control(name));
    }
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
    // What the forms cannot say: the range lists kept in the bench's tables, a
    // pixel-sized font, the radio groups' place in the keyboard order, the panel's clicks.
    void finishForms();
    void connectShell();

    // The six tab pages, each filled by its form.
    QWidget *Main, *Idle, *Chort, *Transformations, *Resistence, *sTabSheet6;
    // Wiring of the other areas, each defined beside its handlers.
    void setupLink();
    void setupRecords();
    void setupRated();
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

    // The controllers are handed the forms they work on by the composition root.
    friend struct ProgramWindows;
    template <class Form>
    const Form &form() const
    {
        return *this;
    }

    QHash<QString, QWidget *> m_controls;
    bool m_shown = false;
    // The field whose focus is on its way back after its message, and whether it is
    // being given back right now.
    QPointer<QWidget> m_returningTo;
    bool m_givingFocusBack = false;
};
