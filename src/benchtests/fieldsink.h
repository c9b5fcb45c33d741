#pragma once

#include <QString>

enum class ResultId : int;

// Where a test writes its result texts, one at a time in the order of its steps: the
// record of results (resultrecord.h), or a test's recorder.
// A step that fails throws BenchError; every text handed over before it stays written,
// which is why results are not returned as one bundle at the end.
class FieldSink {
public:
    virtual ~FieldSink() = default;

    virtual void set(ResultId id, const QString &text) = 0;
};
