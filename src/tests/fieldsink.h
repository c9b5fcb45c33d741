#pragma once

#include <QString>

// Where a test writes its result texts, one at a time in the order of its steps.
// A step that fails throws BenchError; every text handed over before it stays written,
// which is why results are not returned as one bundle at the end.
// Fields and grids are named by their control names ("Uab00", "TransformGrid").
class FieldSink {
public:
    virtual ~FieldSink() = default;

    virtual void setText(const QString &field, const QString &text) = 0;
    virtual void setCell(const QString &grid, int column, int row, const QString &text) = 0;
};
