#pragma once

#include "fieldsink.h"

#include <QMap>
#include <QString>
#include <QStringList>

// Stands in for the window: keeps what each field and cell shows now, and the order in
// which they were written. Cells are keyed "Grid[column,row]".
class RecordingSink : public FieldSink {
public:
    static QString cellKey(const QString &grid, int column, int row)
    {
        return QStringLiteral("%1[%2,%3]").arg(grid).arg(column).arg(row);
    }

    void setText(const QString &field, const QString &text) override { write(field, text); }
    void setCell(const QString &grid, int column, int row, const QString &text) override
    {
        write(cellKey(grid, column, row), text);
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
