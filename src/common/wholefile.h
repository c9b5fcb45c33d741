#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

class QIODevice;

// The one way the program replaces a file: the new contents go to a temporary file beside
// it, which takes the old file's place only when every byte reached the disk. Short of room
// (or on any other error) the old file stays byte for byte and the call says why.
//
// QFileDevice keeps what write() is given in a buffer, so a write that the disk refuses
// fails only when the buffer goes out; and QSaveFile::commit() has returned success after
// that failure, renaming a cut-off file over the old one. So the buffer is flushed and its
// error checked before the commit, here and nowhere else.
namespace WholeFile {

// Streams the new contents: `fill` writes them into the device it is given and returns
// false when they did not go out whole (a short write, a failed step of its own). A write
// error of the device counts as a failure whatever `fill` returns. Either way the old file
// stays.
using Filler = std::function<bool(QIODevice &)>;

// Replaces `path` with `bytes`. True when the whole file is in place; false otherwise,
// with the system's reason in `reason` (never empty on a failure).
bool write(const QString &path, QByteArrayView bytes, QString *reason = nullptr);
bool write(const QString &path, const Filler &fill, QString *reason = nullptr);

} // namespace WholeFile
