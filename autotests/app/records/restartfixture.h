#pragma once

#include "controls.h"
#include "main.h"
#include "recordingprompts.h"
#include "recordslocation.h"
#include "serialchannel.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

// Windows started and closed on a records folder of their own, with an empty device
// folder so that no real serial device is ever touched. A restart is what the operator
// does: close the window, start a new one on the same folder.
class RestartFixture {
public:
    RestartFixture()
    {
        SerialChannel::setDeviceFolder(m_devices.path());
        setRecordsDirectoryForTests(m_records.path());
    }
    ~RestartFixture()
    {
        delete form;
        setRecordsDirectoryForTests(QString());
    }

    bool isValid() const { return m_records.isValid() && m_devices.isValid(); }
    QString filePath(const QString &name) const { return m_records.filePath(name); }
    QStringList files() const
    {
        return QDir(m_records.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    // Shown and active, so start-up has run and focus changes count as leaving a field.
    bool start()
    {
        form = new TForm1;
        form->show();
        form->activateWindow();
        return QTest::qWaitForWindowActive(form);
    }

    // True when the window accepted the close.
    bool close()
    {
        const bool closed = form->close();
        delete form;
        form = nullptr;
        return closed;
    }

    bool restart() { return close() && start(); }

    // The text the operator reads in the control of that name.
    QString shown(const QString &name) const
    {
        QWidget *w = form->findChild<QWidget *>(name);
        if (auto *l = qobject_cast<QLabel *>(w))
            return l->text();
        if (auto *e = qobject_cast<QLineEdit *>(w))
            return e->text();
        if (auto *m = qobject_cast<QPlainTextEdit *>(w))
            return m->toPlainText();
        if (auto *c = qobject_cast<QComboBox *>(w))
            return c->currentText();
        return QStringLiteral("<no control %1>").arg(name);
    }

    // Brought to the front by the program, so no page change runs.
    void showPageOf(QWidget *control)
    {
        for (int i = 0; i < form->PageControl1->pageCount(); ++i)
            if (form->PageControl1->page(i)->isAncestorOf(control))
                form->PageControl1->setActivePage(form->PageControl1->page(i));
    }

    // Typed over the field's text, and the field then left for `next`.
    void typeInto(QWidget *field, const QString &text, QWidget *next)
    {
        showPageOf(field);
        field->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        typeKeys(field, text);
        showPageOf(next);
        next->setFocus(Qt::MouseFocusReason);
    }

    static void typeKeys(QWidget *widget, const QString &text)
    {
        for (const QChar c : text) {
            if (c == u'\n')
                QTest::keyClick(widget, Qt::Key_Return);
            else if (c.unicode() < 0x80)
                QTest::keyClick(widget, char(c.unicode()));
            else
                QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
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

    // Picked from the open list with the mouse.
    bool choose(QComboBox *combo, const QString &item)
    {
        const int index = combo->findText(item);
        if (index < 0)
            return false;
        showPageOf(combo);
        combo->showPopup();
        QAbstractItemView *view = combo->view();
        if (!QTest::qWaitForWindowExposed(view->window()))
            return false;
        const QRect r = view->visualRect(combo->model()->index(index, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
        return !view->window()->isVisible();
    }

    // The texts of the boxes shown so far, so a failing comparison tells what was said.
    QString messageTexts() const
    {
        QStringList texts;
        for (const RecordingPrompts::Message &m : prompts.messages)
            texts << m.caption + QStringLiteral(": ") + m.text;
        return texts.join(u'\n');
    }

    RecordingPrompts prompts;
    TForm1 *form = nullptr;

private:
    QTemporaryDir m_records;
    QTemporaryDir m_devices;
};
