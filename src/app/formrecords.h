#pragma once

#include "main.h"

#include <QHash>
#include <functional>

// State of the records kept by the main window.
struct TForm1::RecordsState {
    // The writer of each settings field: run when the field is left, and at close for
    // the field still being edited.
    QHash<QWidget *, std::function<void()>> settingWriters;
};
