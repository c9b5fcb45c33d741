#pragma once

#include "archivefixture.h"
#include "protocolarchive.h"

#include <QObject>
#include <QSignalSpy>
#include <QTest>
#include <memory>
#include <tuple>

// Store and read-back behaviour that every kind of database must show. A subclass
// says where a fresh, empty archive lives.
class StoreTests : public QObject {
    Q_OBJECT
protected:
    virtual ArchiveSettings freshArchive() = 0;

    // A fresh archive ready for use (a server archive has passed its connection check).
    virtual std::unique_ptr<ProtocolArchive> openFresh()
    {
        return std::make_unique<ProtocolArchive>(freshArchive());
    }

private slots:
    void storedRecordReadsBackExactly()
    {
        auto archive = openFresh();
        const ArchiveRecord record = sampleRecord();
        const ProtocolArchive::StoreResult stored = archive->store(record);
        QVERIFY2(stored.ok(), qPrintable(stored.message));
        QCOMPARE(stored.status, ProtocolArchive::StoreResult::Status::Stored);
        QCOMPARE(stored.revision, 1);

        const std::optional<ArchiveRecord> back = archive->record(stored.id);
        QVERIFY(back);
        QCOMPARE(back->moment, record.moment);
        QCOMPARE(back->protocolNumber, record.protocolNumber);
        QCOMPARE(back->type, record.type);
        QCOMPARE(back->serialNumber, record.serialNumber);
        QCOMPARE(back->firm, record.firm);
        QCOMPARE(back->fields, record.fields);
        QCOMPARE(back->results, record.results);
        QCOMPARE(back->sheet1, record.sheet1);
        QCOMPARE(back->sheet2, record.sheet2);
        QCOMPARE(back->revision, 1);
    }

    void sameProtocolAgainIsNotStoredTwice()
    {
        auto archive = openFresh();
        const ArchiveRecord record = sampleRecord();
        const auto first = archive->store(record);
        ArchiveRecord printedAgain = record;
        printedAgain.moment = record.moment.addDays(1);
        printedAgain.sheet1 += "drawn on another day";
        const auto second = archive->store(printedAgain);
        QCOMPARE(second.status, ProtocolArchive::StoreResult::Status::Unchanged);
        QCOMPARE(second.id, first.id);
        QCOMPARE(archive->summaries()->size(), 1);
    }

    void changedProtocolBecomesNextRevision()
    {
        auto archive = openFresh();
        ArchiveRecord record = sampleRecord();
        const auto first = archive->store(record);
        record.results[QStringLiteral("Pxx00")] = QStringLiteral("1300.0");
        record.moment = record.moment.addSecs(60);
        const auto second = archive->store(record);
        QCOMPARE(second.status, ProtocolArchive::StoreResult::Status::Stored);
        QCOMPARE(second.revision, 2);
        QVERIFY(second.id != first.id);
        // Another transformer under the same protocol number starts its own revisions.
        const auto other = archive->store(sampleRecord(QStringLiteral("17"), QStringLiteral("9000")));
        QCOMPARE(other.revision, 1);
        // Back to the first texts is a change against the latest revision, so it is kept.
        record.results[QStringLiteral("Pxx00")] = QStringLiteral("1240.5");
        QCOMPARE(archive->store(record).revision, 3);

        const auto list = archive->summaries();
        QVERIFY(list);
        QCOMPARE(list->size(), 4);
        QCOMPARE(list->at(0).revision, 3); // newest first
        QCOMPARE(archive->record(first.id)->results.value(QStringLiteral("Pxx00")), QStringLiteral("1240.5"));
        QCOMPARE(archive->record(second.id)->results.value(QStringLiteral("Pxx00")), QStringLiteral("1300.0"));
    }

    void listIsNewestFirstWhateverTheStoreOrder()
    {
        auto archive = openFresh();
        const QDateTime base = sampleRecord().moment;
        const int offsets[] = {0, 3600, -7200, 60, 0};
        QList<qint64> ids;
        for (int i = 0; i < 5; ++i) {
            ArchiveRecord record = sampleRecord(QString::number(100 + i));
            record.moment = base.addSecs(offsets[i]);
            ids.append(archive->store(record).id);
        }
        const std::optional<QList<ArchiveSummary>> list = archive->summaries();
        QVERIFY(list);
        QList<qint64> listed;
        for (const ArchiveSummary &row : *list)
            listed.append(row.id);
        // Equal moments: the later stored first.
        QCOMPARE(listed, (QList<qint64>{ids[1], ids[3], ids[4], ids[0], ids[2]}));
    }

    void judgementAndApprovalsReadBackExactly()
    {
        auto archive = openFresh();
        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement();
        const auto stored = archive->store(record);
        QVERIFY2(stored.ok(), qPrintable(stored.message));
        QCOMPARE(archive->approve(stored.id, QStringLiteral("Петров П.П."), 1773490000000), QString());

        const std::optional<ArchiveRecord> back = archive->record(stored.id);
        QVERIFY(back);
        QVERIFY(back->judgement.judged);
        QCOMPARE(back->judgement.rows, record.judgement.rows);
        QCOMPARE(back->judgement.normsOrigin, record.judgement.normsOrigin);
        QCOMPARE(back->judgement.normsDigest, record.judgement.normsDigest);
        QCOMPARE(back->judgement.programVersion, record.judgement.programVersion);
        QCOMPARE(back->judgement.judgedMsecs, record.judgement.judgedMsecs);
        QCOMPARE(back->judgement.input, record.judgement.input);
        QCOMPARE(back->approvals, (QList<ApprovalEvent>{{true, QStringLiteral("Петров П.П."), 1773490000000, QString()}}));

        const std::optional<QList<ArchiveSummary>> list = archive->summaries();
        QVERIFY(list);
        QCOMPARE(list->size(), 1);
        QCOMPARE(list->first().failing, 1);
        QCOMPARE(list->first().analysis, 1);
        QCOMPARE(list->first().verdictText(), QStringLiteral("не соответствует: 1, требует анализа: 1"));
        QCOMPARE(list->first().approvedBy, QStringLiteral("Петров П.П."));
        QCOMPARE(list->first().approvedMsecs, 1773490000000);
    }

    // A record produced without a judgement lists as not judged, never as conforming.
    void recordWithoutJudgementIsNotJudged()
    {
        auto archive = openFresh();
        const auto stored = archive->store(sampleRecord());
        QVERIFY(stored.ok());
        QVERIFY(!archive->record(stored.id)->judgement.judged);
        QCOMPARE(archive->summaries()->first().verdictText(), QStringLiteral("не оценивалось"));
    }

    // The program's version and the judgement are not the protocol: printed again after an
    // upgrade, it stays the revision it was, its judgement brought up to date until approved.
    void reprintAfterAnUpgradeIsNoNewRevision()
    {
        auto archive = openFresh();
        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement(QStringLiteral("1.4.0"));
        const auto first = archive->store(record);
        record.judgement = sampleJudgement(QStringLiteral("1.5.0"));
        record.judgement.rows[1].verdict = StoredVerdict::Complies;
        record.judgement.rows[1].verdictLine = QStringLiteral("соответствует (вручную: перемерено)");
        const auto again = archive->store(record);
        QCOMPARE(again.status, ProtocolArchive::StoreResult::Status::Unchanged);
        QCOMPARE(again.id, first.id);
        QCOMPARE(archive->record(first.id)->judgement.programVersion, QStringLiteral("1.5.0"));
        QCOMPARE(archive->summaries()->first().verdictText(), QStringLiteral("требует анализа: 1"));
        // Printed again without a judgement (an older outbox's record), it keeps the one it has.
        ArchiveRecord unjudged = record;
        unjudged.judgement = {};
        QCOMPARE(archive->store(unjudged).status, ProtocolArchive::StoreResult::Status::Unchanged);
        QCOMPARE(archive->record(first.id)->judgement.programVersion, QStringLiteral("1.5.0"));
    }

    // Every way a record is written, tried on an approved revision: none changes it.
    void approvedRevisionIsNeverChanged_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("changedTexts");
        QTest::addColumn<int>("newRevision"); // 0: none made
        QTest::newRow("printed again, new judgement") << QStringLiteral("store") << false << 0;
        QTest::newRow("sent again from an outbox") << QStringLiteral("key") << false << 0;
        QTest::newRow("copied from a file archive") << QStringLiteral("repeat") << false << 2;
        QTest::newRow("changed and printed") << QStringLiteral("store") << true << 2;
        QTest::newRow("changed, from an outbox") << QStringLiteral("key") << true << 2;
        QTest::newRow("approved twice") << QStringLiteral("approve") << false << 0;
    }

    void approvedRevisionIsNeverChanged()
    {
        QFETCH(QString, path);
        QFETCH(bool, changedTexts);
        QFETCH(int, newRevision);
        auto archive = openFresh();
        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement();
        const auto first = archive->store(record);
        QVERIFY(first.ok());
        QCOMPARE(archive->approve(first.id, QStringLiteral("Петров П.П."), 1000), QString());
        const std::optional<ArchiveRecord> before = archive->record(first.id);
        QVERIFY(before);

        ArchiveRecord again = record;
        again.judgement = sampleJudgement(QStringLiteral("9.9.9"));
        again.judgement.rows[1].verdict = StoredVerdict::Complies;
        again.moment = record.moment.addDays(1);
        if (changedTexts)
            again.results[QStringLiteral("Pxx00")] = QStringLiteral("1300.0");
        ProtocolArchive::StoreResult result;
        if (path == QStringLiteral("store"))
            result = archive->store(again);
        else if (path == QStringLiteral("key"))
            result = archive->storeOnce(again, QStringLiteral("outbox-key-1"));
        else if (path == QStringLiteral("repeat"))
            result = archive->storeOnce(again, QStringLiteral("file-key-1"), /*keepRepeats=*/true);
        else
            QVERIFY(!archive->approve(first.id, QStringLiteral("Иванов И.И."), 2000, &again.judgement).isEmpty());
        if (path != QStringLiteral("approve"))
            QVERIFY2(result.ok(), qPrintable(result.message));

        const std::optional<ArchiveRecord> after = archive->record(first.id);
        QVERIFY(after);
        QCOMPARE(after->judgement.rows, before->judgement.rows);
        QCOMPARE(after->judgement.programVersion, before->judgement.programVersion);
        QCOMPARE(after->results, before->results);
        QCOMPARE(after->fields, before->fields);
        QCOMPARE(after->approvals, before->approvals);
        QCOMPARE(after->revision, 1);
        if (newRevision == 0) {
            QVERIFY(result.id == 0 || result.id == first.id);
        } else {
            QCOMPARE(result.revision, newRevision);
            const std::optional<ArchiveRecord> made = archive->record(result.id);
            QVERIFY(made);
            // A new revision is not approved, whatever the one before it was.
            QVERIFY(made->approvals.isEmpty());
            QCOMPARE(made->judgement.programVersion, QStringLiteral("9.9.9"));
        }
        const std::optional<QList<ArchiveSummary>> list = archive->summaries();
        QVERIFY(list);
        for (const ArchiveSummary &row : *list)
            QCOMPARE(row.approvedBy, row.id == first.id ? QStringLiteral("Петров П.П.") : QString());
    }

    void approvalIsGivenAndWithdrawnWithItsReasons()
    {
        auto archive = openFresh();
        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement();
        const qint64 id = archive->store(record).id;
        QVERIFY(!archive->approve(id, QStringLiteral("  "), 1000).isEmpty());
        QVERIFY(!archive->withdrawApproval(id, QStringLiteral("Петров П.П."), QStringLiteral("ошибка"), 1500).isEmpty());
        QVERIFY(!archive->approve(987654, QStringLiteral("Петров П.П."), 1000).isEmpty());
        QCOMPARE(archive->approve(id, QStringLiteral("Петров П.П."), 2000), QString());
        QVERIFY(!archive->withdrawApproval(id, QStringLiteral("Петров П.П."), QStringLiteral(" "), 3000).isEmpty());
        QCOMPARE(archive->withdrawApproval(id, QStringLiteral("Петров П.П."), QStringLiteral("не тот паспорт"), 3000),
                 QString());
        QCOMPARE(archive->summaries()->first().approvedBy, QString());
        // Unapproved again, the judgement may be brought up to date and approved anew.
        ArchiveJudgement later = sampleJudgement(QStringLiteral("1.5.0"));
        QCOMPARE(archive->approve(id, QStringLiteral("Сидоров С.С."), 4000, &later), QString());
        const std::optional<ArchiveRecord> back = archive->record(id);
        QVERIFY(back);
        QCOMPARE(back->judgement.programVersion, QStringLiteral("1.5.0"));
        const QList<ApprovalEvent> expected = {
            {true, QStringLiteral("Петров П.П."), 2000, QString()},
            {false, QStringLiteral("Петров П.П."), 3000, QStringLiteral("не тот паспорт")},
            {true, QStringLiteral("Сидоров С.С."), 4000, QString()},
        };
        QCOMPARE(back->approvals, expected);
        QCOMPARE(approvalInForce(back->approvals)->person, QStringLiteral("Сидоров С.С."));
    }

    // The records of one serial number come by a query of their own: spaces around and
    // letter case do not count (Cyrillic too, which a file database does not fold), each
    // revision is there, newest first; a number nothing holds gives an empty list.
    void theRecordsOfOneSerialNumberComeByThemselves_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QStringList>("protocols");
        QTest::newRow("digits") << "1001" << QStringList{"1", "2", "1"};
        QTest::newRow("spaces around") << " 1001 " << QStringList{"1", "2", "1"};
        QTest::newRow("Cyrillic, lower case") << "аб-12" << QStringList{"6", "5", "4"};
        QTest::newRow("Cyrillic, upper case") << "АБ-12" << QStringList{"6", "5", "4"};
        QTest::newRow("Latin") << "Ab-12" << QStringList{"8", "7"};
        QTest::newRow("many letters of two cases") << "ЖЖЖЖЖЖЖ" << QStringList{"10", "9"};
        QTest::newRow("nothing holds it") << "нет такого" << QStringList{};
    }
    void theRecordsOfOneSerialNumberComeByThemselves()
    {
        QFETCH(QString, asked);
        QFETCH(QStringList, protocols);
        auto archive = openFresh();
        const QDateTime base = sampleRecord().moment;
        const QList<std::tuple<const char *, const char *, int>> stored = {
            {"1", "1001", 0},   {"2", " 1001 ", 5}, {"3", "10011", 6}, {"4", "АБ-12", 1},    {"5", "аб-12", 2},
            {"6", "Аб-12 ", 3}, {"7", "AB-12", 4},  {"8", "ab-12", 7}, {"9", "ЖЖЖЖЖЖЖ", 8}, {"10", "жжжжжжж", 9},
        };
        for (const auto &[protocol, serial, minute] : stored) {
            ArchiveRecord record = sampleRecord(QString::fromUtf8(protocol), QString::fromUtf8(serial));
            record.moment = base.addSecs(60 * minute);
            QVERIFY(archive->store(record).ok());
        }
        ArchiveRecord revised = sampleRecord(QStringLiteral("1"), QStringLiteral("1001"));
        revised.moment = base.addSecs(600);
        revised.firm = QStringLiteral("ООО \"Другая\"");
        QCOMPARE(archive->store(revised).revision, 2);

        const std::optional<QList<ArchiveSummary>> found = archive->summariesOfSerial(asked);
        QVERIFY2(found, qPrintable(archive->lastError()));
        QStringList listed;
        for (const ArchiveSummary &row : *found)
            listed << row.protocolNumber;
        QCOMPARE(listed, protocols);
    }

    void absentRecordIsNothing()
    {
        auto archive = openFresh();
        QVERIFY(archive->open());
        QVERIFY(!archive->record(987654));
        QVERIFY(archive->lastError().isEmpty());
    }
};
