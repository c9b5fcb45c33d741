#include "controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QEvent>
#include <QFocusEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QWheelEvent>

// ---- RadioGroup ----

RadioGroup::RadioGroup(QWidget *parent)
    : QGroupBox(parent), m_columns(1), m_group(new QButtonGroup(this))
{
    m_group->setExclusive(false); // "none selected" must be representable
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(6, 2, 6, 2);
    grid->setVerticalSpacing(0);
    connect(m_group, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == m_index) {
            m_buttons[id]->setChecked(true);
            return;
        }
        setItemIndex(id);
    });
}

RadioGroup::RadioGroup(const QString &caption, const QStringList &items, int columns, QWidget *parent)
    : RadioGroup(parent)
{
    setTitle(caption);
    m_columns = qMax(1, columns);
    setItems(items);
}

void RadioGroup::setColumns(int columns)
{
    m_columns = qMax(1, columns);
    rebuild();
}

void RadioGroup::rebuild()
{
    auto *grid = static_cast<QGridLayout *>(layout());
    // New items take the place of the old ones in the keyboard order, not its end.
    QWidget *before = m_buttons.isEmpty() ? nullptr : m_buttons.first()->previousInFocusChain();
    if (m_buttons.contains(before))
        before = nullptr;
    for (QRadioButton *b : std::as_const(m_buttons)) {
        m_group->removeButton(b);
        delete b;
    }
    m_buttons.clear();
    const int rows = (int(m_items.size()) + m_columns - 1) / m_columns;
    for (int i = 0; i < m_items.size(); ++i) {
        auto *b = new QRadioButton(m_items[i], this);
        b->setAutoExclusive(false);
        m_group->addButton(b, i);
        // Items run down the first column, then the next, as in a classic radio group.
        grid->addWidget(b, rows ? i % rows : 0, rows ? i / rows : 0);
        b->installEventFilter(this);
        if (before)
            QWidget::setTabOrder(before, b);
        before = b;
        m_buttons.append(b);
    }
    const bool changed = m_index != -1;
    m_index = -1;
    updateTabStop();
    if (changed)
        emit itemIndexChanged();
}

// The group is one stop of the keyboard order: its selected item, or the first when
// none is selected. The other items are reached with the arrow keys.
void RadioGroup::updateTabStop()
{
    const int stop = m_index >= 0 ? m_index : 0;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setFocusPolicy(i == stop ? Qt::StrongFocus : Qt::ClickFocus);
}

// An arrow key moves to the neighbouring item and selects it, round the ends, as a
// click on it would.
bool RadioGroup::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QGroupBox::eventFilter(watched, event);
    const int from = int(m_buttons.indexOf(static_cast<QRadioButton *>(watched)));
    int step = 0;
    switch (static_cast<QKeyEvent *>(event)->key()) {
    case Qt::Key_Left:
    case Qt::Key_Up:
        step = -1;
        break;
    case Qt::Key_Right:
    case Qt::Key_Down:
        step = 1;
        break;
    default:
        return QGroupBox::eventFilter(watched, event);
    }
    const int n = int(m_buttons.size());
    if (from < 0 || n == 0)
        return false;
    for (int k = 1; k <= n; ++k) {
        const int to = ((from + step * k) % n + n) % n;
        QRadioButton *b = m_buttons[to];
        if (!b->isEnabled() || b->isHidden())
            continue;
        b->setFocus(Qt::TabFocusReason);
        setItemIndex(to);
        break;
    }
    return true;
}

void RadioGroup::setItems(const QStringList &items)
{
    m_items = items;
    rebuild();
}

void RadioGroup::setItemIndex(int index)
{
    if (index < -1 || index >= m_buttons.size())
        index = -1;
    const bool changed = index != m_index;
    m_index = index;
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(i == index);
    updateTabStop();
    if (changed)
        emit itemIndexChanged();
    if (changed && index >= 0)
        emit clicked();
}

QRadioButton *RadioGroup::button(int index) const
{
    return index >= 0 && index < m_buttons.size() ? m_buttons[index] : nullptr;
}

// ---- StringGrid ----

StringGrid::StringGrid(QWidget *parent) : QTableWidget(parent)
{
    horizontalHeader()->hide();
    verticalHeader()->hide();
    horizontalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setMinimumSectionSize(1);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setFrameShape(QFrame::Box);
    setFrameShadow(QFrame::Plain);
    setLineWidth(GridLineWidth);
    setAutoScroll(false);
    setShowGrid(true);
    // Cells must stay under their headings: whatever tries to scroll, the view stays put.
    for (QScrollBar *bar : {horizontalScrollBar(), verticalScrollBar()})
        connect(bar, &QScrollBar::valueChanged, bar, [bar] { bar->setValue(0); });
}

void StringGrid::setColumns(int columns)
{
    setColumnCount(columns);
    fillCells();
}

void StringGrid::setRows(int rows)
{
    setRowCount(rows);
    fillCells();
}

void StringGrid::fillCells()
{
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c) {
            if (item(r, c))
                continue;
            auto *it = new QTableWidgetItem;
            it->setTextAlignment(Qt::AlignCenter);
            it->setFlags(Qt::ItemIsEnabled);
            setItem(r, c, it);
        }
}

// A cell is its width plus the one-pixel line drawn inside its section, so the cells
// repeat every width + 1 pixels, the pitch of the heads above them.
int StringGrid::cellWidth() const
{
    return horizontalHeader()->defaultSectionSize() - GridLineWidth;
}

void StringGrid::setCellWidth(int width)
{
    horizontalHeader()->setDefaultSectionSize(width + GridLineWidth);
}

int StringGrid::cellHeight() const
{
    return verticalHeader()->defaultSectionSize() - GridLineWidth;
}

void StringGrid::setCellHeight(int height)
{
    verticalHeader()->setDefaultSectionSize(height + GridLineWidth);
}

QString StringGrid::cell(int column, int row) const
{
    const QTableWidgetItem *it = item(row, column);
    return it ? it->text() : QString();
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    if (QTableWidgetItem *it = item(row, column))
        it->setText(text);
}

void StringGrid::clearCells()
{
    for (int r = 0; r < rowCount(); ++r)
        for (int c = 0; c < columnCount(); ++c)
            setCell(c, r, QString());
}

void StringGrid::wheelEvent(QWheelEvent *event)
{
    event->ignore();
}

// ---- PageControl ----

namespace {
constexpr int TabHeight = 20;
}

PageControl::PageControl(QWidget *parent)
    : QWidget(parent), m_stack(new QStackedWidget(this)), m_tabGroup(new QButtonGroup(this))
{
    m_stack->setFrameShape(QFrame::Panel);
    m_stack->setFrameShadow(QFrame::Raised);
    m_stack->setLineWidth(2);
    m_tabGroup->setExclusive(true);
    // The chosen tab joins its page: lighter, without the bottom edge.
    setStyleSheet(QStringLiteral(
        "QPushButton[pageTab=\"true\"] { border: 1px solid #8a8c94; border-radius: 0;"
        " background: #c4c6ce; padding: 0 4px; }"
        "QPushButton[pageTab=\"true\"]:checked { background: #eceef3; border-bottom: none; }"));
    connect(m_tabGroup, &QButtonGroup::idClicked, this, [this](int id) {
        if (id == m_stack->currentIndex())
            return;
        m_stack->setCurrentIndex(id);
        emit changedByOperator();
    });
}

QWidget *PageControl::addPage(const QString &objectName, const QString &caption)
{
    auto *page = new QWidget;
    page->setObjectName(objectName);
    m_stack->addWidget(page);
    auto *tab = new QPushButton(caption, this);
    tab->setObjectName(objectName + QStringLiteral("Tab"));
    tab->setCheckable(true);
    tab->setFocusPolicy(Qt::TabFocus);
    tab->setProperty("pageTab", true);
    m_tabGroup->addButton(tab, int(m_tabs.size()));
    m_tabs.append(tab);
    m_pages.append(page);
    if (m_pages.size() == 1)
        tab->setChecked(true);
    return page;
}

void PageControl::finishTabs()
{
    // Greedy rows: as many tabs as fit the width, each row stretched to the full width.
    const int width = this->width();
    QList<QList<int>> rows;
    QList<int> row;
    int used = 0;
    for (int i = 0; i < m_tabs.size(); ++i) {
        const int w = m_tabs[i]->fontMetrics().horizontalAdvance(m_tabs[i]->text()) + 20;
        if (!row.isEmpty() && used + w > width) {
            rows.append(row);
            row.clear();
            used = 0;
        }
        row.append(i);
        used += w;
    }
    if (!row.isEmpty())
        rows.append(row);
    for (int r = 0; r < rows.size(); ++r) {
        int natural = 0;
        for (int i : rows[r])
            natural += m_tabs[i]->fontMetrics().horizontalAdvance(m_tabs[i]->text()) + 20;
        int x = 0;
        for (int k = 0; k < rows[r].size(); ++k) {
            const int i = rows[r][k];
            const int w0 = m_tabs[i]->fontMetrics().horizontalAdvance(m_tabs[i]->text()) + 20;
            const int w = (k == rows[r].size() - 1) ? width - x : w0 * width / qMax(1, natural);
            m_tabs[i]->setGeometry(x, r * TabHeight, w, TabHeight);
            x += w;
        }
    }
    const int top = int(rows.size()) * TabHeight;
    m_stack->setGeometry(0, top, width, height() - top);
}

int PageControl::activePageIndex() const { return m_stack->currentIndex(); }
QWidget *PageControl::activePage() const { return m_stack->currentWidget(); }
QWidget *PageControl::page(int index) const { return m_pages.value(index); }
QAbstractButton *PageControl::tabButton(int index) const { return m_tabs.value(index); }
int PageControl::pageCount() const { return int(m_pages.size()); }
QSize PageControl::pageClientSize() const { return m_stack->contentsRect().size(); }

void PageControl::setActivePage(QWidget *page)
{
    const int index = int(m_pages.indexOf(page));
    if (index < 0)
        return;
    m_stack->setCurrentIndex(index);
    m_tabs[index]->setChecked(true);
}

// ---- helpers ----

namespace {
class ExitFilter : public QObject {
public:
    ExitFilter(QObject *parent, std::function<void()> handler)
        : QObject(parent), m_handler(std::move(handler)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason
                && reason != Qt::MenuBarFocusReason)
                m_handler();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_handler;
};
} // namespace

void onExit(QWidget *widget, std::function<void()> handler)
{
    widget->installEventFilter(new ExitFilter(widget, std::move(handler)));
}

void setTabChain(const QList<QWidget *> &controls)
{
    QList<QWidget *> stops;
    for (QWidget *w : controls) {
        if (auto *group = qobject_cast<RadioGroup *>(w)) {
            for (int i = 0; group->button(i); ++i)
                stops.append(group->button(i));
        } else {
            stops.append(w);
        }
    }
    for (qsizetype i = 1; i < stops.size(); ++i)
        QWidget::setTabOrder(stops[i - 1], stops[i]);
}

void setTextColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::WindowText, colour);
    widget->setPalette(p);
}

void setBackgroundColour(QWidget *widget, const QColor &colour)
{
    QPalette p = widget->palette();
    p.setColor(QPalette::Window, colour);
    widget->setPalette(p);
    widget->setAutoFillBackground(true);
}

void selectAllText(QWidget *widget)
{
    if (auto *e = qobject_cast<QLineEdit *>(widget))
        e->selectAll();
    else if (auto *m = qobject_cast<QPlainTextEdit *>(widget))
        m->selectAll();
    else if (auto *c = qobject_cast<QComboBox *>(widget); c && c->lineEdit())
        c->lineEdit()->selectAll();
}

QString controlText(const QWidget *widget)
{
    if (auto *l = qobject_cast<const QLabel *>(widget))
        return l->text();
    if (auto *e = qobject_cast<const QLineEdit *>(widget))
        return e->text();
    if (auto *m = qobject_cast<const QPlainTextEdit *>(widget))
        return m->toPlainText();
    if (auto *c = qobject_cast<const QComboBox *>(widget))
        return c->currentText();
    return QString();
}

void setControlText(QWidget *widget, const QString &text)
{
    if (auto *l = qobject_cast<QLabel *>(widget))
        l->setText(text);
    else if (auto *e = qobject_cast<QLineEdit *>(widget))
        e->setText(text);
    else if (auto *m = qobject_cast<QPlainTextEdit *>(widget))
        m->setPlainText(text);
    else if (auto *c = qobject_cast<QComboBox *>(widget))
        c->setEditText(text);
}
