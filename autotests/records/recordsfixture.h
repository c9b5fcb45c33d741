#pragma once

#include "codepage1251.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

// Raw bytes of the key/value files, so tests see exactly what lies on disk.
inline QByteArray cp1251(const QString &text)
{
    return encodeWindows1251(text);
}

inline bool writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readRaw(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Whether this process may create files in a folder without write permission (root may).
inline bool permissionsAreEnforced(const QString &readOnlyDirectory)
{
    QFile probe(QDir(readOnlyDirectory).filePath(QStringLiteral("probe")));
    if (probe.open(QIODevice::WriteOnly)) {
        probe.close();
        probe.remove();
        return false;
    }
    return true;
}
