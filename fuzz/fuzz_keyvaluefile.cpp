// A value written into an arbitrary file reads back as it would from any file, and the
// write touches no line but its own.
#include "codepage1251.h"
#include "fuzzinput.h"
#include "keyvaluefile.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <unistd.h>

namespace {

// Names the program could write under: letters of both alphabets, digits, blanks.
QString nameFrom(FuzzInput &input)
{
    static const QString alphabet = QStringLiteral("aBzZ09 _.ТтМмЁё№");
    QString name;
    const int length = input.byte() % 6;
    for (int i = 0; i < length; ++i)
        name.append(alphabet.at(input.byte() % alphabet.size()));
    return name;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // In memory where there is such a folder: every write syncs the file to the disk.
    static const QString folder = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    static const QString path = QDir(folder).filePath(QStringLiteral("fuzz-keyvalue-%1.ini").arg(getpid()));
    FuzzInput input(data, size);
    const QString section = nameFrom(input);
    const QString key = nameFrom(input);
    std::size_t valueSize = 0;
    const std::uint8_t *valueBytes = input.take(input.byte() % 24, valueSize);
    const QString value = decodeWindows1251(QByteArrayView(valueBytes, qsizetype(valueSize)));
    std::size_t fileSize = 0;
    const std::uint8_t *fileBytes = input.rest(fileSize);
    const QByteArray before(reinterpret_cast<const char *>(fileBytes), qsizetype(fileSize));
    {
        QFile file(path);
        FUZZ_ASSERT(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_ASSERT(file.write(before) == before.size());
    }

    KeyValueFile file(path);
    (void)file.sectionNames();
    const QString other = file.readString(key, section, QStringLiteral("-"));
    if (!KeyValueFile::isFitSectionName(section))
        return 0;
    file.writeString(section, key, value);
    const QByteArray after = readAll(path);
    FUZZ_ASSERT(file.readString(section, key, QStringLiteral("<none>")) == KeyValueFile::valueAsReadBack(value));
    FUZZ_ASSERT(file.sectionNames().size() >= 1);

    // Old and new differ in one stretch; in the old file it lies within one line.
    qsizetype prefix = 0;
    while (prefix < before.size() && prefix < after.size() && before[prefix] == after[prefix])
        ++prefix;
    qsizetype suffix = 0;
    while (suffix < before.size() - prefix && suffix < after.size() - prefix
           && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
        ++suffix;
    const QByteArray removed = before.mid(prefix, before.size() - prefix - suffix);
    FUZZ_ASSERT(!removed.contains('\n') && !removed.contains('\r'));
    // The entry of the swapped names is another one, unless the two names are the same.
    if (section.trimmed().compare(key.trimmed(), Qt::CaseInsensitive) != 0)
        FUZZ_ASSERT(file.readString(key, section, QStringLiteral("-")) == other);
    return 0;
}
