#include "inputerrors.h"

#include "controls.h"
#include "prompts.h"
#include "ratedentry.h"

#include <QTimer>
#include <QWidget>

InputErrors::InputErrors(QWidget &window, PageControl &pages) : m_window(window), m_pages(pages) {}

void InputErrors::report(QWidget *field, const QString &message)
{
    // A click on a tab leaves the field and changes the page at once, and both check it:
    // one box for the one click.
    if (m_returningTo == field)
        return;
    Prompts::current().showMessage(&m_window, InputErrorCaption, message, PromptIcon::Error);
    m_returningTo = field;
    // The focus is still on its way to the next control; take it back once it has arrived.
    QTimer::singleShot(0, field, [this, field] {
        m_returningTo = nullptr;
        m_givingFocusBack = true;
        // Left by a click on another tab, the field lies on a page no longer shown, where
        // the focus would take the operator's keys unseen: back to its page, with the link
        // as that page wants it.
        if (m_window.isVisible() && !field->isVisible()) {
            for (int i = 0; i < m_pages.pageCount(); ++i) {
                QWidget *page = m_pages.page(i);
                if (page->isAncestorOf(field) && page != m_pages.activePage()) {
                    m_pages.setActivePage(page);
                    emit pageChangedByProgram();
                }
            }
        }
        field->setFocus(Qt::OtherFocusReason);
        m_givingFocusBack = false;
        selectAllText(field);
    });
}

