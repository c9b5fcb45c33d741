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
};

QTEST_GUILESS_MAIN(tst_ArchiveListModel)
#include "tst_archivelistmodel.moc"
