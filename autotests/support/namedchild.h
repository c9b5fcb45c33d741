#pragma once

#include <QObject>
#include <QString>

// A window's control reached by its object name, as a test or a benchmark sees the window
// from outside; a name the window does not hold stops the run at once with that name.
template <typename T>
T *namedChild(const QObject *window, const QString &name)
{
    T *found = window->findChild<T *>(name);
    if (!found)
        qFatal("%s holds no %s named %s", qPrintable(window->objectName()), T::staticMetaObject.className(),
               qPrintable(name));
    return found;
}
