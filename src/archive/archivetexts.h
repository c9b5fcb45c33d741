#pragma once

#include <QMap>
#include <QString>

// The texts of a record (fields, results) as the archive and its outbox keep them: one
// JSON object of texts by key.
namespace ArchiveTexts {
QString toJson(const QMap<QString, QString> &texts);
QMap<QString, QString> fromJson(const QString &json);
} // namespace ArchiveTexts
