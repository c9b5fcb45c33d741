#pragma once

#include <QObject>
#include <QPointer>

class PageControl;
class QWidget;

// A typed text that is refused: its message, then the focus handed back to the field,
// on its own page if the operator had left it for another. Shared by the window's areas
// so that two fields holding bad texts never pull the focus from each other.
class InputErrors : public QObject {
    Q_OBJECT
public:
    InputErrors(QWidget &window, PageControl &pages);

    // Shows `message` and gives the focus back to `field` with its text selected.
    void report(QWidget *field, const QString &message);
    // While the focus is on its way back, the field it leaves is not left by the operator.
    bool givingFocusBack() const { return m_givingFocusBack; }

signals:
    // The field's page was brought back to the front.
    void pageChangedByProgram();

private:
    QWidget &m_window;
    PageControl &m_pages;
    QPointer<QWidget> m_returningTo;
    bool m_givingFocusBack = false;
};
