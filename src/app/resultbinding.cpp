#include "resultbinding.h"

#include "controls.h"
#include "main.h"
#include "resultrecord.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

ResultBinding::ResultBinding(ResultRecord &record, const TForm1 &window)
    : QObject(&record), m_record(record)
{
    for (const ResultQuantity &q : Results::quantities()) {
        Target t;
        if (q.grid.isEmpty()) {
            t.control = window.control(q.key);
        } else {
            t.grid = window.grid(q.grid);
            t.column = q.column;
            t.row = q.row;
        }
        Q_ASSERT_X(t.control || t.grid, "ResultBinding", qPrintable(q.key));
        m_targets.append(t);
    }
    for (const ResultQuantity &q : Results::quantities()) {
        take(q.id);
        const ResultId id = q.id;
        QWidget *c = m_targets[qsizetype(id)].control;
        // Entries: what the operator types or chooses, and what the program sets in them.
        if (auto *edit = qobject_cast<QLineEdit *>(c))
            connect(edit, &QLineEdit::textChanged, this, [this, id] { take(id); });
        else if (auto *combo = qobject_cast<QComboBox *>(c))
            connect(combo, &QComboBox::editTextChanged, this, [this, id] { take(id); });
        else if (auto *group = qobject_cast<RadioGroup *>(c))
            connect(group, &RadioGroup::itemIndexChanged, this, [this, id] { take(id); });
    }
    connect(&m_record, &ResultRecord::changed, this, &ResultBinding::show);
}

namespace {

QString chosenItem(const RadioGroup *group)
{
    return group->itemIndex() >= 0 ? group->items().value(group->itemIndex()) : QString();
}

} // namespace

void ResultBinding::take(ResultId id)
{
    const Target &t = m_targets[qsizetype(id)];
    if (t.grid)
        m_record.set(id, t.grid->cell(t.column, t.row));
    else if (auto *group = qobject_cast<RadioGroup *>(t.control))
        m_record.set(id, chosenItem(group));
    else
        m_record.set(id, controlText(t.control));
}

void ResultBinding::show(ResultId id)
{
    const Target &t = m_targets[qsizetype(id)];
    const QString text = m_record.text(id);
    if (t.grid) {
        t.grid->setCell(t.column, t.row, text);
    } else if (auto *group = qobject_cast<RadioGroup *>(t.control)) {
        if (chosenItem(group) != text)
            group->setItemIndex(int(group->items().indexOf(text)));
    } else if (controlText(t.control) != text) {
        setControlText(t.control, text);
    }
}
