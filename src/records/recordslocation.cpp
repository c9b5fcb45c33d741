#include "recordslocation.h"

#include "cataloguefile.h"
#include "settingsfile.h"
#include "statefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
QString &overriddenDirectory()
{
    static QString directory;
    return directory;
}

QString &overriddenNotice()
{
    static QString notice;
    return notice;
}

bool &overriddenUsable()
{
    static bool usable = true;
    return usable;
}

// What stands in the place of `folder` or of the first of its parents that exists, when
// it is no folder; empty when nothing is in the way.
QString obstacleAt(const QString &folder)
{
    const QFileInfo info(folder);
    if (info.isSymLink() && !info.exists())
        return QStringLiteral("на её месте ссылка на несуществующую папку");
    if (info.exists())
        return info.isDir() ? QString() : QStringLiteral("на её месте файл");
    for (QFileInfo parent(info.absolutePath()); !parent.isRoot(); parent = QFileInfo(parent.absolutePath())) {
        if (parent.isSymLink() && !parent.exists())
            return QStringLiteral("на месте папки %1 ссылка на несуществующую папку")
                .arg(QDir::toNativeSeparators(parent.absoluteFilePath()));
        if (parent.exists())
            return parent.isDir() ? QString()
                                  : QStringLiteral("на месте папки %1 файл")
                                        .arg(QDir::toNativeSeparators(parent.absoluteFilePath()));
    }
    return QString();
}
} // namespace

QString makeRecordsFolder(const QString &folder)
{
    if (folder.isEmpty())
        return QStringLiteral("папка пользователя не известна");
    const QString obstacle = obstacleAt(folder);
    if (!obstacle.isEmpty())
        return obstacle;
    // Without HOME the user's folder lies below the root, where a user may not write.
    const QString noHome = qEnvironmentVariableIsEmpty("HOME") ? QStringLiteral(", не задана переменная HOME")
                                                               : QString();
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        return QStringLiteral("она не создаётся") + noHome;
    if (!QFileInfo(folder).isWritable())
        return QStringLiteral("в неё нельзя писать") + noHome;
    return QString();
}

QString unusableFolderNotice(const QString &folder, const QString &reason)
{
    return QStringLiteral("Настройки и результаты не сохраняются: папка записей %1 недоступна (%2).")
        .arg(QDir::toNativeSeparators(folder), reason);
}

RecordsFolderChoice chooseRecordsFolder(const QString &programFolder, const QString &userFolder,
                                        const std::function<bool(const QString &path)> &mayWrite)
{
    const QDir program(programFolder);
    const QStringList names{SettingsFile::FileName, CatalogueFile::FileName, StateFile::FileName,
                            QStringLiteral("varnek.db")};
    QStringList closed;
    for (const QString &name : names) {
        const QString path = program.absoluteFilePath(name);
        if (QFileInfo::exists(path) && !mayWrite(path))
            closed.append(name);
    }
    if (closed.isEmpty() && mayWrite(programFolder))
        return {programFolder, true, QString()};

    RecordsFolderChoice choice{userFolder, false, QString()};
    // Files the operator may have kept beside the program would otherwise seem lost.
    QStringList present;
    for (const QString &name : names)
        if (QFileInfo::exists(program.absoluteFilePath(name)))
            present.append(name);
    if (!present.isEmpty())
        choice.notice = QStringLiteral("Записи ведутся в папке %1: в папке программы %2 нельзя писать (%3).")
                            .arg(QDir::toNativeSeparators(userFolder), QDir::toNativeSeparators(programFolder),
                                 present.join(QStringLiteral(", ")));
    return choice;
}

const RecordsFolderChoice &recordsFolderChoice()
{
    static const RecordsFolderChoice choice = [] {
        const QString user = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
        RecordsFolderChoice made = chooseRecordsFolder(
            QCoreApplication::applicationDirPath(), user,
            [](const QString &path) { return QFileInfo(path).isWritable(); });
        if (!made.programFolder) {
            const QString problem = makeRecordsFolder(made.folder);
            if (!problem.isEmpty()) {
                made.usable = false;
                made.notice = unusableFolderNotice(made.folder, problem);
            }
        }
        return made;
    }();
    return choice;
}

QString recordsDirectory()
{
    const QString &overridden = overriddenDirectory();
    return overridden.isEmpty() ? recordsFolderChoice().folder : overridden;
}

QString recordsNotice()
{
    return overriddenDirectory().isEmpty() ? recordsFolderChoice().notice : overriddenNotice();
}

bool recordsFolderUsable()
{
    return overriddenDirectory().isEmpty() ? recordsFolderChoice().usable : overriddenUsable();
}

QString documentsDirectory()
{
    if (!overriddenDirectory().isEmpty() || recordsFolderChoice().programFolder)
        return recordsDirectory();
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return documents.isEmpty() ? QDir::homePath() : documents;
}

QString recordFilePath(const QString &fileName)
{
    return QDir(recordsDirectory()).absoluteFilePath(fileName);
}

void setRecordsDirectoryForTests(const QString &directory, const QString &notice)
{
    overriddenDirectory() = directory;
    const QString obstacle = directory.isEmpty() ? QString() : obstacleAt(directory);
    overriddenUsable() = obstacle.isEmpty();
    overriddenNotice() = directory.isEmpty()                    ? QString()
                         : !notice.isEmpty() || obstacle.isEmpty() ? notice
                                                                 : unusableFolderNotice(directory, obstacle);
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
