#pragma once

#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>
#include <QWidget>
#include <functional>

class QButtonGroup;
class QRadioButton;
class QStackedWidget;
class QAbstractButton;

// A framed group of radio buttons in columns with an item index (-1: none selected).
// `clicked` follows every change to a selected item, whether the operator or the
// program made it, so state restored at start runs the same handlers as a click.
class RadioGroup : public QGroupBox {
    Q_OBJECT
    // Set in this order by a form: the columns, then the items, then the selection.
    Q_PROPERTY(int columns READ columns WRITE setColumns)
    Q_PROPERTY(QStringList items READ items WRITE setItems)
    Q_PROPERTY(int itemIndex READ itemIndex WRITE setItemIndex)
public:
    explicit RadioGroup(QWidget *parent = nullptr);
    RadioGroup(const QString &caption, const QStringList &items, int columns, QWidget *parent);

    int columns() const { return m_columns; }
    void setColumns(int columns); // keeps the items, drops the selection
    void setItems(const QStringList &items); // drops the selection
    QStringList items() const { return m_items; }
    int itemIndex() const { return m_index; }
    void setItemIndex(int index);
    QRadioButton *button(int index) const;

signals:
    void clicked();
    // The selection changed, to an item or to none, by whatever means.
    void itemIndexChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void rebuild();
    void updateTabStop();
    QStringList m_items;
    int m_columns;
    int m_index = -1;
    QButtonGroup *m_group;
    QList<QRadioButton *> m_buttons;
};

// A read-only table of text cells addressed by (column, row), with no scroll bars and
// no editing; columns beyond the visible width exist and hold text like the others.
class StringGrid : public QTableWidget {
    Q_OBJECT
    Q_PROPERTY(int columns READ columnCount WRITE setColumns)
    Q_PROPERTY(int rows READ rowCount WRITE setRows)
    Q_PROPERTY(int cellWidth READ cellWidth WRITE setCellWidth)
    Q_PROPERTY(int cellHeight READ cellHeight WRITE setCellHeight)
public:
    static constexpr int GridLineWidth = 1;

    explicit StringGrid(QWidget *parent = nullptr);

    // Cells added by a new count are empty and centred like the others.
    void setColumns(int columns);
    void setRows(int rows);
    int cellWidth() const;
    void setCellWidth(int width);
    int cellHeight() const;
    void setCellHeight(int height);

    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);
    void clearCells();

protected:
    // The operator can neither scroll nor type: a wheel turned over it scrolls nothing.
    void wheelEvent(QWheelEvent *event) override;

private:
    void fillCells();
};

// A tab control whose tabs wrap onto more rows so every caption stays readable.
// Only the operator's choice of a tab emits `changedByOperator`; a page chosen by
// the program changes quietly.
class PageControl : public QWidget {
    Q_OBJECT
public:
    explicit PageControl(QWidget *parent);

    QWidget *addPage(const QString &objectName, const QString &caption);
    void finishTabs(); // lays the tabs out once all pages are added
    int activePageIndex() const;
    QWidget *activePage() const;
    void setActivePage(QWidget *page);
    QWidget *page(int index) const;
    QAbstractButton *tabButton(int index) const;
    int pageCount() const;
    QSize pageClientSize() const;

signals:
    void changedByOperator();

private:
    QList<QAbstractButton *> m_tabs;
    QList<QWidget *> m_pages;
    QStackedWidget *m_stack;
    QButtonGroup *m_tabGroup;
};

// Puts the controls into the keyboard order one after the other; a radio group takes
// its place as one stop.
void setTabChain(const QList<QWidget *> &controls);

// Calls `handler` when `widget` loses the keyboard focus to another control of its
// window; losing it to another window (a message box, a dialog) does not count.
void onExit(QWidget *widget, std::function<void()> handler);

// Colours of the main window: its background (also the normal colour of the form factor),
// and the red and green of the packet counters.
inline const QColor WindowColour(211, 213, 220);
inline const QColor RedColour(255, 0, 0);
inline const QColor GreenColour(0, 128, 0);

void setTextColour(QWidget *widget, const QColor &colour);
void setBackgroundColour(QWidget *widget, const QColor &colour);

// Selects the whole text of an edit, memo or combo box.
void selectAllText(QWidget *widget);

// The text the operator reads in a label, edit, memo or combo box; empty for others.
QString controlText(const QWidget *widget);
// Shows `text` in a label, edit, memo or combo box (as its edit text); others ignore it.
void setControlText(QWidget *widget, const QString &text);
