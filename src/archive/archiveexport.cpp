#include "archiveexport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include "numbersyntax.h"
#include "wholefile.h"

namespace ArchiveExport {

namespace {

const QString DateColumn = QStringLiteral("Дата");
const QString ProtocolColumn = QStringLiteral("Протокол №");
const QString RevisionColumn = QStringLiteral("Редакция");
const QString TypeColumn = QStringLiteral("Тип трансформатора");
const QString SerialColumn = QStringLiteral("Заводской №");
const QString FirmColumn = QStringLiteral("Фирма");

const QStringList &ownColumns()
{
    static const QStringList list = {DateColumn, ProtocolColumn, RevisionColumn, TypeColumn, SerialColumn, FirmColumn};
    return list;
}

// A spreadsheet runs a cell that starts like a formula: a firm typed as "=HYPERLINK(...)"
// would act when the file is opened. Such a cell keeps its text behind an apostrophe, the
// spreadsheets' own mark for text. Numbers such as "-0.5" stay numbers, and a lone sign
// (the conclusion "+") is no formula.
bool readsAsFormula(const QString &text)
{
    if (text.size() < 2 || isPlainNumber(text))
        return text.size() == 1 && QStringLiteral("=@\t\r").contains(text.front());
    return QStringLiteral("=+-@\t\r").contains(text.front());
}

QString csvField(QString text)
{
    if (readsAsFormula(text))
        text.prepend(u'\'');
    if (!text.contains(u';') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QStringList columns(const QList<ArchiveRecord> &records)
{
    QStringList list = ownColumns();
    QMap<QString, bool> fields;
    QMap<QString, bool> results;
    for (const ArchiveRecord &record : records) {
        for (auto it = record.fields.cbegin(); it != record.fields.cend(); ++it)
            fields.insert(it.key(), true);
        for (auto it = record.results.cbegin(); it != record.results.cend(); ++it)
            results.insert(it.key(), true);
    }
    const QSet<QString> taken(list.cbegin(), list.cend());
    for (const QString &name : fields.keys()) {
        if (!taken.contains(name))
            list.append(name);
    }
    // A result key that is also a field name would be a second column of one name.
    for (const QString &name : results.keys()) {
        if (!taken.contains(name) && !fields.contains(name))
            list.append(name);
    }
    return list;
}

QString value(const ArchiveRecord &record, const QString &column)
{
    if (column == DateColumn)
        return record.moment.toLocalTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    if (column == ProtocolColumn)
        return record.protocolNumber;
    if (column == RevisionColumn)
        return QString::number(record.revision);
    if (column == TypeColumn)
        return record.type;
    if (column == SerialColumn)
        return record.serialNumber;
    if (column == FirmColumn)
        return record.firm;
    auto field = record.fields.constFind(column);
    if (field != record.fields.cend())
        return field.value();
    return record.results.value(column);
}

QByteArray toCsv(const QList<ArchiveRecord> &records)
{
    const QStringList names = columns(records);
    QString text;
    QStringList cells;
    for (const QString &name : names)
        cells.append(csvField(name));
    text += cells.join(u';') + QStringLiteral("\r\n");
    for (const ArchiveRecord &record : records) {
        cells.clear();
        for (const QString &name : names)
            cells.append(csvField(value(record, name)));
        text += cells.join(u';') + QStringLiteral("\r\n");
    }
    return QByteArray("\xEF\xBB\xBF") + text.toUtf8();
}

QByteArray toJson(const QList<ArchiveRecord> &records)
{
    const QStringList names = columns(records);
    QJsonArray array;
    for (const ArchiveRecord &record : records) {
        QJsonObject object;
        for (const QString &name : names) {
            if (name == DateColumn)
                object.insert(name, record.moment.toOffsetFromUtc(record.moment.toLocalTime().offsetFromUtc())
                                        .toString(Qt::ISODateWithMs));
            else if (name == RevisionColumn)
                object.insert(name, record.revision);
            else
                object.insert(name, value(record, name));
        }
        array.append(object);
    }
    return QJsonDocument(array).toJson(QJsonDocument::Indented);
}

bool writeFile(const QString &path, const QByteArray &bytes, QString *error)
{
    QString reason;
    if (!WholeFile::write(path, bytes, &reason)) {
        if (error)
            *error = QStringLiteral("Файл %1 не записан: %2").arg(QDir::toNativeSeparators(path), reason);
        return false;
    }
    return true;
}

} // namespace ArchiveExport
