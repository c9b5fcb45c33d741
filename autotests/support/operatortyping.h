#pragma once

#include <QString>
#include <QTest>
#include <QWidget>

// QTest::keyClicks takes Latin-1 only; the operator types Cyrillic too, and a line
// break is the Return key.
inline void typeText(QWidget *widget, const QString &text)
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
