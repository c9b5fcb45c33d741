#pragma once

#include "inputerrors.h"
#include "resultrecord.h"

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
class QFrame;
class RadioGroup;
class StringGrid;
class PageControl;
struct TransformerType;
enum class EntryField;

// The main window's forms together: every control of the window by its layout name.
struct MainForms : Ui::Form1,
                   Ui::PageMain,
                   Ui::PageIdle,
                   Ui::PageChort,
                   Ui::PageTransformations,
                   Ui::PageResistence,
                   Ui::PageProtocol {
};

// The main window: live readouts on the left, the six pages of the tests and the
// protocol entries on the right. Controls keep their layout names; handlers are named
// after the control and its event.
class TForm1 : public QWidget,
               // The forms' controls, reached by their layout names in the handlers.
               private MainForms {
    Q_OBJECT
public:
    explicit TForm1(QWidget *parent = nullptr);
    ~TForm1() override;

    // ---- shell ----
    void FormCreate();
    void sBitBtn2Click();
    void sPanel1Click();

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

    // The results the window shows, as data: the tests write them here, one binding table
    // (resultbinding.h) shows them in the controls, and the records, the protocol, the
    // archive and the judgement read them here.
    ResultRecord &results() { return m_results; }
    const ResultRecord &results() const { return m_results; }

    // The one door to the controls for whoever works on the window: the controllers take
    // what they need from here.
    const MainForms &forms() const { return *this; }
    // The one place a refused entry is reported and its field given the focus back.
    InputErrors &inputErrors() { return *m_inputErrors; }

    // The tab pages in their order, for code that needs them by index.
    enum PageIndex { PageMain, PageIdle, PageChort, PageTransformations, PageResistence, PageProtocol };

signals:
    // The window is about to show for the first time, before its start-up reading.
    void starting();
    // The window is closing: what it holds is to be kept.
    void closing();
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
    // The service controls an operator never needs, each shown or hidden in turn.
    enum class Diagnostic { Labels3And4 = 1, Label8 = 2, Gauge = 4 };
    Q_DECLARE_FLAGS(Diagnostics, Diagnostic)
    void toggleDiagnostics(Diagnostics which);

    QHash<QString, QWidget *> m_controls;
    ResultRecord m_results;
    bool m_shown = false;
    std::unique_ptr<InputErrors> m_inputErrors;
};
