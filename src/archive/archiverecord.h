#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>

// A check's verdict as the archive keeps it; the judgement's own words travel beside it.
enum class StoredVerdict { Complies, Fails, NeedsAnalysis, NotAssessed };

// One row of the judgement kept with a record, as the window showed it.
struct JudgedCheck {
    QString id;        // the check's stable name ("resistance.phases.0")
    QString check;     // what was judged
    QString measured;
    QString reference;
    QString limit;
    QString deviation;
    StoredVerdict verdict = StoredVerdict::NotAssessed;
    QString verdictLine; // the verdict in words, the engineer's decision included
    bool decided = false; // the verdict is the engineer's
    QString reason;       // the engineer's reason
    QString note;
    QString source;

    bool operator==(const JudgedCheck &) const = default;
};

// The judgement of a record's results when its protocol was produced, with what it was
// made by: the norms in force and the program's version. Kept apart from the protocol's
// texts, so neither counts as a change of the protocol.
struct ArchiveJudgement {
    bool judged = false;   // false: a record of before the judgement, or made without it
    QList<JudgedCheck> rows;
    QString normsOrigin;   // the workshop file's path, empty for the norms shipped with the program
    QString normsDigest;   // SHA-256 of the norms' text, hex
    QString programVersion;
    qint64 judgedMsecs = 0; // when it was made, UTC milliseconds
    // What it read beyond the record's results (the nameplate, the oil, the material in
    // words, the protocol number): a later judgement of the same record reads the same.
    QMap<QString, QString> input;

    int count(StoredVerdict verdict) const
    {
        int n = 0;
        for (const JudgedCheck &row : rows)
            n += row.verdict == verdict ? 1 : 0;
        return n;
    }
    // What the list and the approval compare: the rows and the norms, not when or by what.
    bool sameVerdicts(const ArchiveJudgement &other) const
    {
        return judged == other.judged && rows == other.rows && normsDigest == other.normsDigest;
    }
};

// An approval given to a revision, or withdrawn from it, as the archive logs it.
struct ApprovalEvent {
    bool approved = true; // false: the approval before it was withdrawn
    QString person;       // who approved or withdrew
    qint64 msecs = 0;     // when, UTC milliseconds
    QString reason;       // a withdrawal's reason

    bool operator==(const ApprovalEvent &) const = default;
};

// The approval in force after `events` (oldest first): the last one, when it approves.
inline std::optional<ApprovalEvent> approvalInForce(const QList<ApprovalEvent> &events)
{
    if (events.isEmpty() || !events.last().approved)
        return std::nullopt;
    return events.last();
}

// One printed, saved or exported protocol as the archive keeps it.
struct ArchiveRecord {
    qint64 id = 0;          // given by the archive; 0 for a record not stored yet
    int revision = 0;       // 1 for the first of its protocol number and serial number
    QDateTime moment;       // when it was produced; the archive stamps "now" when invalid
    QString protocolNumber;
    QString type;
    QString serialNumber;
    QString firm;
    // Every field of both pages by its name; a rich text's lines joined by "\n".
    QMap<QString, QString> fields;
    // The two sheets in the sheet store's own saved form, kept as they came.
    QByteArray sheet1;
    QByteArray sheet2;
    // The main window's results by their state-file keys.
    QMap<QString, QString> results;
    // The judgement of `results` when the protocol was produced.
    ArchiveJudgement judgement;
    // Approvals given and withdrawn, oldest first (a record copied from another archive
    // brings its own).
    QList<ApprovalEvent> approvals;
};

// What the list of the archive shows of a record.
struct ArchiveSummary {
    qint64 id = 0;
    int revision = 0;
    qint64 msecs = 0; // the moment in milliseconds since the epoch, UTC; cheap for 100 000 rows
    QString protocolNumber;
    QString type;
    QString serialNumber;
    QString firm;
    // Rows of the stored judgement that do not conform and that need analysis; -1: not judged.
    int failing = -1;
    int analysis = 0;
    QString approvedBy = {}; // empty while not approved
    qint64 approvedMsecs = 0;

    bool judged() const { return failing >= 0; }
    // "соответствует", "не соответствует: 2", "требует анализа: 1", "не оценивалось".
    QString verdictText() const
    {
        if (!judged())
            return QStringLiteral("не оценивалось");
        if (failing == 0 && analysis == 0)
            return QStringLiteral("соответствует");
        QStringList parts;
        if (failing > 0)
            parts.append(QStringLiteral("не соответствует: %1").arg(failing));
        if (analysis > 0)
            parts.append(QStringLiteral("требует анализа: %1").arg(analysis));
        return parts.join(QStringLiteral(", "));
    }
};
