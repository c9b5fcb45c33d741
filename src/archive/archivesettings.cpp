#include "archivesettings.h"

#include "keyvaluefile.h"
#include "recordslocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifndef Q_OS_WIN
#include <fcntl.h>
#include <sys/stat.h>
#include <cerrno>
#include <unistd.h>
#endif

QString ArchiveSettings::description() const
{
    if (!isServer())
        return QDir::toNativeSeparators(database);
    return QStringLiteral("%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

ArchiveSettings ArchiveSettings::sqliteDefault()
{
    ArchiveSettings settings;
    settings.database = recordFilePath(DefaultFileName);
    return settings;
}

ArchiveSettings ArchiveSettings::fromSettingsFile()
{
    const KeyValueFile ini(recordFilePath(QStringLiteral("varnek.ini")));
    const QStringList keys = {QStringLiteral("Driver"), QStringLiteral("Host"), QStringLiteral("Port"),
                              QStringLiteral("Database"), QStringLiteral("User"),
                              QStringLiteral("PasswordFile")};
    const QHash<QString, QString> values = ini.readValues(Section, keys);
    if (values.isEmpty())
        return sqliteDefault();

    ArchiveSettings settings;
    const QString driver = values.value(QStringLiteral("Driver")).trimmed().toLower();
    const auto fromRecords = [](const QString &name) {
        return QDir(recordsDirectory()).absoluteFilePath(name);
    };
    if (driver.isEmpty() || driver == u"sqlite" || driver == u"qsqlite") {
        const QString file = values.value(QStringLiteral("Database")).trimmed();
        settings.database = fromRecords(file.isEmpty() ? DefaultFileName : file);
        return settings;
    }
    if (driver != u"postgresql" && driver != u"postgres" && driver != u"qpsql") {
        settings = sqliteDefault();
        settings.problem = QStringLiteral("Неизвестный драйвер архива \"%1\" в разделе [Archive] файла varnek.ini.")
                               .arg(values.value(QStringLiteral("Driver")));
        return settings;
    }
    settings.driver = Driver::PostgreSQL;
    settings.host = values.value(QStringLiteral("Host")).trimmed();
    if (settings.host.isEmpty())
        settings.host = QStringLiteral("localhost");
    const QString port = values.value(QStringLiteral("Port")).trimmed();
    if (!port.isEmpty()) {
        const std::optional<int> number = KeyValueFile::parseInteger(port);
        if (!number || *number <= 0 || *number > 65535)
            settings.problem = QStringLiteral("Неверный порт сервера архива \"%1\" в разделе [Archive] файла varnek.ini.").arg(port);
        else
            settings.port = *number;
    }
    settings.database = values.value(QStringLiteral("Database")).trimmed();
    settings.user = values.value(QStringLiteral("User")).trimmed();
    const QString passwordFile = values.value(QStringLiteral("PasswordFile")).trimmed();
    settings.passwordFile = fromRecords(passwordFile.isEmpty() ? DefaultPasswordFileName : passwordFile);
    if (settings.problem.isEmpty() && settings.database.isEmpty())
        settings.problem = QStringLiteral("В разделе [Archive] файла varnek.ini не указана база данных (Database).");
    return settings;
}

PasswordFileResult readPasswordFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {};
    const QFileDevice::Permissions open = QFileDevice::ReadGroup | QFileDevice::WriteGroup
        | QFileDevice::ReadOther | QFileDevice::WriteOther;
    // Unix permission bits mean nothing on Windows, where the folder's ACL guards the file.
#ifndef Q_OS_WIN
    if (info.permissions() & open) {
        return {QString(), QStringLiteral("Файл пароля архива %1 доступен не только владельцу: "
                                          "пароль из него не используется. Оставьте права только "
                                          "владельцу (chmod 600).")
                               .arg(QDir::toNativeSeparators(path))};
    }
#endif
    QFile file(path);
#ifndef Q_OS_WIN
    // A FIFO or a device named here would block the read for ever: opened without
    // waiting, and read only when it is a regular file.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {QString(), QStringLiteral("Файл пароля архива %1 не читается: %2")
                               .arg(QDir::toNativeSeparators(path), qt_error_string(errno))};
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return {QString(), QStringLiteral("Файл пароля архива %1 не является обычным файлом: "
                                          "пароль из него не используется.")
                               .arg(QDir::toNativeSeparators(path))};
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        ::close(fd);
#else
    if (!info.isFile())
        return {QString(), QStringLiteral("Файл пароля архива %1 не является обычным файлом: "
                                          "пароль из него не используется.")
                               .arg(QDir::toNativeSeparators(path))};
    file.open(QIODevice::ReadOnly);
#endif
    if (!file.isOpen())
        return {QString(), QStringLiteral("Файл пароля архива %1 не читается: %2")
                               .arg(QDir::toNativeSeparators(path), file.errorString())};
    QByteArray line = file.read(4096);
    const qsizetype end = line.indexOf('\n');
    if (end >= 0)
        line.truncate(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return {QString::fromUtf8(line), QString()};
}
