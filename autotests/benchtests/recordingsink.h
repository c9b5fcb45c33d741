#pragma once

#include "fieldsink.h"
#include "resultrecord.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Stands in for the record: keeps what each quantity shows now, and the order in which
// they were written, by the names the window shows them under. Cells are keyed
// "Grid[column,row]".
class RecordingSink : public FieldSink {
public:
    static QString cellKey(const QString &grid, int column, int row)
    {
        return QStringLiteral("%1[%2,%3]").arg(grid).arg(column).arg(row);
    }

    void set(ResultId id, const QString &text) override
    {
        const ResultQuantity &q = Results::quantity(id);
        write(q.grid.isEmpty() ? q.key : cellKey(q.grid, q.column, q.row), text);
    }

    // What the operator would see in `key` before the test runs.
    void preset(const QStringList &keys, const QString &text)
    {
        for (const QString &key : keys)
            shown[key] = text;
    }

    QString text(const QString &key) const { return shown.value(key); }
    QString cell(const QString &grid, int column, int row) const
    {
        return shown.value(cellKey(grid, column, row));
    }

    QMap<QString, QString> shown;
    QStringList written;

private:
    void write(const QString &key, const QString &text)
    {
        shown[key] = text;
        written << key;
    }
};
