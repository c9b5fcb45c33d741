#include "archivetexts.h"

#include <QJsonArray>
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

namespace {

const char *verdictCode(StoredVerdict verdict)
{
    switch (verdict) {
    case StoredVerdict::Complies: return "complies";
    case StoredVerdict::Fails: return "fails";
    case StoredVerdict::NeedsAnalysis: return "analysis";
    case StoredVerdict::NotAssessed: break;
    }
    return "none";
}

StoredVerdict verdictOfCode(const QString &code)
{
    for (StoredVerdict v : {StoredVerdict::Complies, StoredVerdict::Fails, StoredVerdict::NeedsAnalysis})
        if (code == QLatin1String(verdictCode(v)))
            return v;
    return StoredVerdict::NotAssessed;
}

} // namespace

QString ArchiveTexts::checksToJson(const QList<JudgedCheck> &checks)
{
    QJsonArray array;
    for (const JudgedCheck &c : checks) {
        QJsonObject o;
        o.insert(QStringLiteral("id"), c.id);
        o.insert(QStringLiteral("check"), c.check);
        o.insert(QStringLiteral("measured"), c.measured);
        o.insert(QStringLiteral("reference"), c.reference);
        o.insert(QStringLiteral("limit"), c.limit);
        o.insert(QStringLiteral("deviation"), c.deviation);
        o.insert(QStringLiteral("verdict"), QLatin1String(verdictCode(c.verdict)));
        o.insert(QStringLiteral("verdictLine"), c.verdictLine);
        o.insert(QStringLiteral("decided"), c.decided);
        o.insert(QStringLiteral("reason"), c.reason);
        o.insert(QStringLiteral("note"), c.note);
        o.insert(QStringLiteral("source"), c.source);
        array.append(o);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

QList<JudgedCheck> ArchiveTexts::checksFromJson(const QString &json)
{
    QList<JudgedCheck> checks;
    const QJsonArray array = QJsonDocument::fromJson(json.toUtf8()).array();
    for (const QJsonValue &value : array) {
        const QJsonObject o = value.toObject();
        JudgedCheck c;
        c.id = o.value(QStringLiteral("id")).toString();
        c.check = o.value(QStringLiteral("check")).toString();
        c.measured = o.value(QStringLiteral("measured")).toString();
        c.reference = o.value(QStringLiteral("reference")).toString();
        c.limit = o.value(QStringLiteral("limit")).toString();
        c.deviation = o.value(QStringLiteral("deviation")).toString();
        c.verdict = verdictOfCode(o.value(QStringLiteral("verdict")).toString());
        c.verdictLine = o.value(QStringLiteral("verdictLine")).toString();
        c.decided = o.value(QStringLiteral("decided")).toBool();
        c.reason = o.value(QStringLiteral("reason")).toString();
        c.note = o.value(QStringLiteral("note")).toString();
        c.source = o.value(QStringLiteral("source")).toString();
        checks.append(std::move(c));
    }
    return checks;
}

QString ArchiveTexts::judgementToJson(const ArchiveJudgement &judgement)
{
    if (!judgement.judged)
        return QString();
    QJsonObject o;
    o.insert(QStringLiteral("checks"), QJsonDocument::fromJson(checksToJson(judgement.rows).toUtf8()).array());
    o.insert(QStringLiteral("normsOrigin"), judgement.normsOrigin);
    o.insert(QStringLiteral("normsDigest"), judgement.normsDigest);
    o.insert(QStringLiteral("programVersion"), judgement.programVersion);
    o.insert(QStringLiteral("judgedAt"), QString::number(judgement.judgedMsecs));
    o.insert(QStringLiteral("input"), QJsonDocument::fromJson(toJson(judgement.input).toUtf8()).object());
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

ArchiveJudgement ArchiveTexts::judgementFromJson(const QString &json)
{
    ArchiveJudgement judgement;
    const QJsonDocument document = QJsonDocument::fromJson(json.toUtf8());
    if (!document.isObject())
        return judgement;
    const QJsonObject o = document.object();
    judgement.judged = true;
    judgement.rows = checksFromJson(QString::fromUtf8(
        QJsonDocument(o.value(QStringLiteral("checks")).toArray()).toJson(QJsonDocument::Compact)));
    judgement.normsOrigin = o.value(QStringLiteral("normsOrigin")).toString();
    judgement.normsDigest = o.value(QStringLiteral("normsDigest")).toString();
    judgement.programVersion = o.value(QStringLiteral("programVersion")).toString();
    judgement.judgedMsecs = o.value(QStringLiteral("judgedAt")).toString().toLongLong();
    judgement.input = fromJson(
        QString::fromUtf8(QJsonDocument(o.value(QStringLiteral("input")).toObject()).toJson(QJsonDocument::Compact)));
    return judgement;
}
