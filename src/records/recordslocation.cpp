#include "recordslocation.h"

#include "cataloguefile.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

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

int removeLeftOverTemporaries()
{
    // QSaveFile names its temporary file after the file and six random ASCII letters.
    // Only mixed case is taken, and not as a capitalised word, so that the operator's own
    // copies ("varnek.ini.backup", "varnek.tmp.Backup") stay; the one leftover in twenty
    // that this misses costs nothing but its room.
    const QStringList names{SettingsFile::FileName, CatalogueFile::FileName, StateFile::FileName};
    QStringList escaped;
    for (const QString &name : names)
        escaped.append(QRegularExpression::escape(name));
    static const QRegularExpression pattern(
        QStringLiteral("\\A(?:%1)\\.(?=[A-Za-z]*[a-z])(?=[A-Za-z]*[A-Z])(?![A-Z][a-z]{5}\\z)[A-Za-z]{6}\\z").arg(escaped.join(u'|')));

    int removed = 0;
    const QDir folder(recordsDirectory());
    const QFileInfoList entries = folder.entryInfoList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.isSymLink() || !entry.isFile() || !pattern.match(entry.fileName()).hasMatch())
            continue;
        if (QFile::remove(entry.absoluteFilePath()))
            ++removed;
    }
    return removed;
}
