#pragma once

#include "archiverecord.h"

#include <QList>
#include <QMap>
#include <QString>

// The texts of a record (fields, results) as the archive and its outbox keep them: one
// JSON object of texts by key; the judgement's rows as one JSON array, and the whole
// judgement as the outbox carries it (empty for none).
namespace ArchiveTexts {
QString toJson(const QMap<QString, QString> &texts);
QMap<QString, QString> fromJson(const QString &json);
QString checksToJson(const QList<JudgedCheck> &checks);
QList<JudgedCheck> checksFromJson(const QString &json);
QString judgementToJson(const ArchiveJudgement &judgement);
ArchiveJudgement judgementFromJson(const QString &json);
} // namespace ArchiveTexts
