#pragma once

#include "main.h"

#include <QHash>
#include <functional>

// State of the records kept by the main window.
struct TForm1::RecordsState {
    // The writer of each settings field: run when the field is left, and at close for
    // the field still being edited.
    QHash<QWidget *, std::function<void()>> settingWriters;
    // The type name whose data the page shows: loaded, or typed and loaded key by key.
    QString loadedName;
};

// Letter case and blanks around a name do not tell two types apart.
inline bool sameTypeName(const QString &a, const QString &b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}
