#include "recordslocation.h"

#include <QCoreApplication>
#include <QDir>

namespace {
QString &overriddenDirectory()
{
    static QString directory;
    return directory;
}
} // namespace

QString recordsDirectory()
{
    const QString &overridden = overriddenDirectory();
    return overridden.isEmpty() ? QCoreApplication::applicationDirPath() : overridden;
}

QString recordFilePath(const QString &fileName)
{
    return QDir(recordsDirectory()).absoluteFilePath(fileName);
}

void setRecordsDirectoryForTests(const QString &directory)
{
    overriddenDirectory() = directory;
}
