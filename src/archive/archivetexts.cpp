#include "archivetexts.h"

#include <QJsonDocument>
#include <QJsonObject>

QString ArchiveTexts::toJson(const QMap<QString, QString> &texts)
{
    QJsonObject object;
    for (auto it = texts.cbegin(); it != texts.cend(); ++it)
        object.insert(it.key(), it.value());
    return QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QMap<QString, QString> ArchiveTexts::fromJson(const QString &json)
{
    QMap<QString, QString> texts;
    const QJsonObject object = QJsonDocument::fromJson(json.toUtf8()).object();
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        texts.insert(it.key(), it.value().toString());
    return texts;
}
