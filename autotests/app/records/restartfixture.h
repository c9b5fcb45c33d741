#pragma once

#include "controls.h"

#include "operatortyping.h"
#include "windowfixture.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>

// Windows started and closed on the fixture's folders. A restart is what the operator
// does: close the window, start a new one on the same folder.
class RestartFixture : public WindowFixture {
public:
    QStringList files() const
    {
        return QDir(recordsFolder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot, QDir::Name);
    }

    bool start() { return startWindow(); }

    // True when the window accepted the close.
    bool close()
    {
        const bool closed = form->close();
        deleteWindow();
        return closed;
    }

    bool restart() { return close() && start(); }

    // The text the operator reads in the control of that name.
    QString shown(const QString &name) const
    {
        const QWidget *w = form->findChild<QWidget *>(name);
        return w ? controlText(w) : QStringLiteral("<no control %1>").arg(name);
    }

    // Typed over the field's text, and the field then left for `next`.
    void typeInto(QWidget *field, const QString &text, QWidget *next)
    {
        showPageOf(field);
        field->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        typeText(field, text);
        showPageOf(next);
        next->setFocus(Qt::MouseFocusReason);
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
};
