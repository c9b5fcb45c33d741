#include "wholefile.h"

#include <QCoreApplication>
#include <QSaveFile>

#include <cerrno>
#include <cstring>

namespace WholeFile {

namespace {

// A write that the disk takes only in part leaves Qt's bare "Unknown error"; the system's
// own reason (no space, file too large) is still in errno right after it.
QString reasonOf(const QSaveFile &file, int systemError)
{
    const QString text = file.errorString();
    const bool bare = text.isEmpty() || text == QCoreApplication::translate("QIODevice", "Unknown error");
    if (!bare)
        return text;
    if (systemError != 0)
        return QString::fromLocal8Bit(std::strerror(systemError));
    return QStringLiteral("the file could not be written whole");
}

bool failed(QSaveFile &file, QString *reason, const QString &why)
{
    file.cancelWriting();
    if (reason)
        *reason = why;
    return false;
}

} // namespace

bool write(const QString &path, const Filler &fill, QString *reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file, reason, file.errorString());
    errno = 0;
    const bool filled = fill(file);
    const bool flushed = file.flush();
    const int systemError = errno;
    if (!filled || !flushed || file.error() != QFileDevice::NoError)
        return failed(file, reason, reasonOf(file, systemError));
    if (!file.commit()) {
        if (reason)
            *reason = reasonOf(file, errno);
        return false;
    }
    return true;
}

bool write(const QString &path, QByteArrayView bytes, QString *reason)
{
    return write(
        path,
        [bytes](QIODevice &device) {
            return bytes.isEmpty() || device.write(bytes.data(), bytes.size()) == bytes.size();
        },
        reason);
}

} // namespace WholeFile
