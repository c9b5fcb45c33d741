#pragma once

#include "controls.h"
#include "programwindows.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "report.h"
#include "sets.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

// A control of a window by its object name (the dialogs keep their forms to themselves);
// a missing one fails the test where it is used.
template <class T>
T *child(QWidget *window, const char *name)
{
    T *found = window->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no control %s in %s", name, qPrintable(window->objectName()));
    return found;
}

// The main window on folders of its own: the key/value files in a temporary folder, and
// an empty device folder where only what a test links there can be opened, so no real
// record or serial device is ever touched. Message boxes are recorded, not shown.
class WindowFixture {
public:
    WindowFixture()
    {
        setRecordsDirectoryForTests(m_records.path());
        m_linkClock.start();
    }

    // The windows go before the prompts they may still use and before the folders they
    // may still read.
    ~WindowFixture()
    {
        deleteWindow();
        setRecordsDirectoryForTests(QString());
    }

    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    bool isValid() const { return m_records.isValid() && m_devices.isValid(); }
    QString recordsFolder() const { return m_records.path(); }
    QString filePath(const QString &name) const { return m_records.filePath(name); }
    QString deviceFolder() const { return m_devices.path(); }

    // The program's windows as the program makes them; the main window not shown yet, so
    // nothing of its start-up has run.
    void createWindow()
    {
        windows = std::make_unique<ProgramWindows>(context());
        form = &windows->form1;
        form2 = &windows->form2;
        form3 = &windows->form3;
        form4 = &windows->form4;
        form5 = &windows->form5;
    }

    // Shown and active, so start-up has run and focus changes count as leaving a field.
    bool startWindow()
    {
        createWindow();
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form);
    }

    void deleteWindow()
    {
        windows.reset();
        form = nullptr;
        form2 = nullptr;
        form3 = nullptr;
        form4 = nullptr;
        form5 = nullptr;
    }

    // Brought to the front by the program, so no page change runs.
    void showPageOf(QWidget *control)
    {
        for (int i = 0; i < form->control<PageControl>("PageControl1")->pageCount(); ++i)
            if (form->control<PageControl>("PageControl1")->page(i)->isAncestorOf(control))
                form->control<PageControl>("PageControl1")->setActivePage(form->control<PageControl>("PageControl1")->page(i));
    }

    // On the round mark itself: a radio button takes clicks only on its mark and caption.
    void click(RadioGroup *group, int item)
    {
        showPageOf(group);
        QRadioButton *b = group->button(item);
        QStyleOptionButton option;
        option.initFrom(b);
        const QRect mark = b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &option, b);
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, mark.center());
    }

    void click(QCheckBox *box)
    {
        showPageOf(box);
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect mark = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, Qt::NoModifier, mark.center());
    }

    void click(QPushButton *button)
    {
        showPageOf(button);
        QTest::mouseClick(button, Qt::LeftButton);
    }

    // What the windows are made with: the device folder, and the calibration dialog and
    // the link's clock reaching the test's own while it has set one.
    ProgramContext context()
    {
        ProgramContext c;
        c.deviceFolder = m_devices.path();
        c.modalRunner = [this](TForm5 &dialog) {
            if (calibrationRunner)
                calibrationRunner(dialog);
            else
                dialog.exec();
        };
        c.linkClock = [this] { return linkClock ? linkClock() : m_linkClock.elapsed(); };
        return c;
    }

    // How the calibration dialog is run while set (see TForm5::ModalRunner).
    TForm5::ModalRunner calibrationRunner;
    // The link's monotonic milliseconds while set.
    std::function<qint64()> linkClock;

    RecordingPrompts prompts;
    std::unique_ptr<ProgramWindows> windows;
    TForm1 *form = nullptr;
    TForm2 *form2 = nullptr;
    TForm3 *form3 = nullptr;
    TForm4 *form4 = nullptr;
    TForm5 *form5 = nullptr;

private:
    QTemporaryDir m_records;
    QTemporaryDir m_devices;
    QElapsedTimer m_linkClock;
};
