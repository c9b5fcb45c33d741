#include "archivelistmodel.h"

#include <QSignalSpy>
#include <QTest>

namespace {

// `count` rows, newest first; the ones in `marked` carry the type "ТМЗ-МЕТКА".
QList<ArchiveSummary> rows(int count, const QList<int> &marked)
{
    QList<ArchiveSummary> list;
    for (int i = count - 1; i >= 0; --i) {
        ArchiveSummary row;
        row.id = i + 1;
        row.revision = 1;
        row.msecs = 1700000000000 + qint64(i) * 60000;
        row.protocolNumber = QString::number(i);
        row.serialNumber = QString::number(500000 + i);
        row.type = marked.contains(i) ? QStringLiteral("ТМЗ-МЕТКА") : QStringLiteral("ТМ-630/10");
        row.firm = QStringLiteral("ООО");
        list.append(row);
    }
    return list;
}

QList<qint64> shownIds(const ArchiveListModel &model)
{
    QList<qint64> ids;
    for (int row = 0; row < model.rowCount(); ++row)
        ids.append(model.idAt(row));
    return ids;
}

// A server the test answers by hand: each ask is kept with its ticket.
class HandAnsweredSource : public AsyncArchiveListSource {
public:
    struct Ask {
        quint64 ticket;
        ArchiveListQuery query;
        std::optional<ArchiveSummary> after;
    };
    quint64 ask(const ArchiveListQuery &query, const std::optional<ArchiveSummary> &after, int) override
    {
        asks.append({++m_ticket, query, after});
        return m_ticket;
    }
    void askCount() override {}
    std::optional<QList<qint64>> allIds(const ArchiveListQuery &, QString *) override { return QList<qint64>{}; }
    void answer(const Ask &ask, const QList<ArchiveSummary> &rows) { emit rowsRead(ask.ticket, rows, true, {}); }
    void fail(const Ask &ask) { emit rowsRead(ask.ticket, {}, false, QStringLiteral("canceling statement")); }
    QList<Ask> asks;

private:
    quint64 m_ticket = 0;
};

} // namespace

class tst_ArchiveListModel : public QObject {
    Q_OBJECT
private slots:
    // A text found only far down is found in the end, whatever a turn of the search reads.
    void aSearchGoesOnUntilItHasReadEverything()
    {
        const int count = ArchiveListModel::SliceRows * 3 + 5;
        ArchiveListModel model;
        model.setRecords(rows(count, {3, 7}));
        QSignalSpy finished(&model, &ArchiveListModel::searchFinished);
        model.setFilterText(QStringLiteral("тмз-м"));
        QTRY_VERIFY(!model.isSearching());
        QCOMPARE(shownIds(model), QList<qint64>({8, 4}));
        QVERIFY(!model.canFetchMore({}));
    }

    // A new text while a search goes on: only the new text's rows, each once.
    void aNewKeystrokeStartsTheSearchAfresh()
    {
        const int count = ArchiveListModel::SliceRows * 3;
        ArchiveListModel model;
        model.setRecords(rows(count, {1, count - 2}));
        model.setFilterText(QStringLiteral("ТМЗ"));
        model.setFilterText(QStringLiteral("50000"));
        QTRY_VERIFY(!model.isSearching());
        while (model.canFetchMore({}))
            model.fetchMore({});
        QTRY_VERIFY(!model.isSearching());
        const QList<qint64> ids = shownIds(model);
        QCOMPARE(ids.size(), 10); // 500000 … 500009
        for (qint64 id : ids)
            QVERIFY(model.summaryAt(int(ids.indexOf(id))).serialNumber.startsWith(QStringLiteral("50000")));
        QCOMPARE(model.allIds(), std::optional(ids));
    }

    // Pages of a filtered list follow each other without a gap or a repeat.
    void filteredPagesFollowEachOther()
    {
        QList<int> marked;
        for (int i = 0; i < ArchiveListModel::SliceRows * 6; i += 7)
            marked.append(i);
        ArchiveListModel model;
        model.setRecords(rows(ArchiveListModel::SliceRows * 6, marked));
        model.setFilterText(QStringLiteral("метка"));
        QTRY_VERIFY(!model.isSearching());
        QVERIFY(model.rowCount() >= ArchiveListModel::PageSize && model.rowCount() < marked.size());
        while (model.canFetchMore({}) || model.isSearching()) {
            model.fetchMore({});
            QTRY_VERIFY(!model.isSearching());
        }
        QCOMPARE(model.rowCount(), marked.size());
        QList<qint64> expected;
        for (auto it = marked.crbegin(); it != marked.crend(); ++it)
            expected.append(*it + 1);
        QCOMPARE(shownIds(model), expected);
    }

    void aServersListIsNeverLeftEmptyByAReadThatFails();
};

// A server's answers: only the newest ask's rows are shown, the rows shown stay while a
// newer list is read or when its read fails, and a failed read is asked again.
void tst_ArchiveListModel::aServersListIsNeverLeftEmptyByAReadThatFails()
{
    ArchiveListModel model;
    auto owned = std::make_unique<HandAnsweredSource>();
    HandAnsweredSource *server = owned.get();
    model.setAsyncSource(std::move(owned));
    QCOMPARE(server->asks.size(), 1);
    QVERIFY(model.isLoading());
    const QList<ArchiveSummary> all = rows(ArchiveListModel::PageSize + 50, {});
    server->answer(server->asks[0], all.mid(0, ArchiveListModel::PageSize));
    QCOMPARE(model.rowCount(), ArchiveListModel::PageSize);
    QVERIFY(!model.isLoading());

    model.setFilterText(QStringLiteral("50001"));
    model.setFilterText(QStringLiteral("500012"));
    QCOMPARE(server->asks.size(), 3);
    QCOMPARE(server->asks[2].query.filter, QStringLiteral("500012"));
    QCOMPARE(model.rowCount(), ArchiveListModel::PageSize); // the old rows stay meanwhile
    server->fail(server->asks[1]); // the older one, cancelled: nothing changes
    QCOMPARE(model.rowCount(), ArchiveListModel::PageSize);
    QVERIFY(model.isLoading());
    QSignalSpy problems(&model, &ArchiveListModel::problem);
    server->fail(server->asks[2]); // the newest failed: still the old rows, asked again later
    QCOMPARE(problems.size(), 1);
    QCOMPARE(model.rowCount(), ArchiveListModel::PageSize);
    QTRY_COMPARE_WITH_TIMEOUT(server->asks.size(), 4, ArchiveListModel::RetryMs + 2000);
    QCOMPARE(server->asks[3].query.filter, QStringLiteral("500012"));
    QVERIFY(!server->asks[3].after);
    server->answer(server->asks[3], {all[10]});
    QCOMPARE(shownIds(model), QList<qint64>{all[10].id});
    QVERIFY(!model.canFetchMore({}));

    // The next page starts after the last row shown.
    model.setFilterText(QString());
    server->answer(server->asks[4], all.mid(0, ArchiveListModel::PageSize));
    QVERIFY(model.canFetchMore({}));
    model.fetchMore({});
    QCOMPARE(server->asks[5].after->id, all[ArchiveListModel::PageSize - 1].id);
    server->answer(server->asks[5], all.mid(ArchiveListModel::PageSize));
    QCOMPARE(model.rowCount(), all.size());
    QVERIFY(!model.canFetchMore({}));
}

QTEST_GUILESS_MAIN(tst_ArchiveListModel)
#include "tst_archivelistmodel.moc"
