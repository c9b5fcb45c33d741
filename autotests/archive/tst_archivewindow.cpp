#include "archivefixture.h"
#include "archiveoutbox.h"
#include "archivelistmodel.h"
#include "archivewindow.h"
#include "protocolarchive.h"
#include "operatortyping.h"
#include "recordingprompts.h"
#include "recordslocation.h"

#include <QCheckBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QScopeGuard>
#include <QSet>
#include <QSqlQuery>
#include <QTest>

namespace {

// Answers the save dialog with a path chosen by the test (empty: cancel).
class SavePrompts : public RecordingPrompts {
public:
    QString saveFileName(QWidget *, const FileRequest &request) override
    {
        saveCaptions.append(request.title);
        return savePath;
    }
    QString savePath;
    QStringList saveCaptions;
};

ArchiveRecord at(ArchiveRecord record, const QDateTime &moment)
{
    record.moment = moment;
    return record;
}

// Clicks the head of `column` as the operator does.
void clickHead(QTableView *table, int column)
{
    QHeaderView *header = table->horizontalHeader();
    const QPoint centre(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
}

QStringList column(const ArchiveListModel *model, int column)
{
    QStringList texts;
    for (int row = 0; row < model->rowCount(); ++row)
        texts.append(model->index(row, column).data().toString());
    return texts;
}

ArchiveRecord withResults(ArchiveRecord record, const QString &losses, const QString &current, int minute)
{
    record.results[QStringLiteral("Pxx00")] = losses;
    record.results[QStringLiteral("Ixx00")] = current;
    record.moment = QDateTime(QDate(2026, 3, 14), QTime(9, minute), Qt::UTC);
    return record;
}

} // namespace

class tst_ArchiveWindow : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProtocolArchive> m_archive;
    std::unique_ptr<ArchiveWindow> m_window;

    int rowOfId(qint64 id) const
    {
        for (int row = 0; row < m_window->model->rowCount(); ++row) {
            if (m_window->model->idAt(row) == id)
                return row;
        }
        return -1;
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        setRecordsDirectoryForTests(m_dir->path());
        m_archive = std::make_unique<ProtocolArchive>(ArchiveSettings::sqliteDefault());
        m_window = std::make_unique<ArchiveWindow>(m_archive.get());
    }
    void cleanup()
    {
        m_window.reset();
        m_archive.reset();
        setRecordsDirectoryForTests(QString());
    }

    void filterNarrowsAsOneTypes_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("rows");
        QTest::newRow("type, other case") << "тмг" << 2;
        QTest::newRow("serial number") << "4411" << 1;
        QTest::newRow("protocol number") << "17" << 1;
        QTest::newRow("type and size") << "ТМГ-250" << 1;
        QTest::newRow("nothing matches") << "ТМЗ" << 0;
    }
    void filterNarrowsAsOneTypes()
    {
        QFETCH(QString, typed);
        QFETCH(int, rows);
        QVERIFY(m_archive->store(sampleRecord("17", "4411", "ТМ-630/10")).ok());
        QVERIFY(m_archive->store(sampleRecord("21", "5120", "ТМГ-100/10")).ok());
        QVERIFY(m_archive->store(sampleRecord("22", "5188", "ТМГ-250/10")).ok());
        m_window->show();
        QCOMPARE(m_window->model->rowCount(), 3);

        typeText(m_window->filterEdit, typed);
        QCOMPARE(m_window->model->rowCount(), rows);
        for (int row = 0; row < rows; ++row) {
            const ArchiveSummary &shown = m_window->model->summaryAt(row);
            QVERIFY(shown.type.contains(typed, Qt::CaseInsensitive) || shown.serialNumber.contains(typed)
                    || shown.protocolNumber.contains(typed));
        }
        m_window->filterEdit->clear();
        QCOMPARE(m_window->model->rowCount(), 3);
    }

    void compareMarksChangesBeyondTheirNormOlderFirst()
    {
        const auto older = m_archive->store(withResults(sampleRecord("17", "4411"), "1200", "0.500", 10));
        const auto newer = m_archive->store(withResults(sampleRecord("31", "4411"), "1400", "0.505", 40));
        QVERIFY(older.ok() && newer.ok());
        m_window->show();
        m_window->selectRows({rowOfId(newer.id), rowOfId(older.id)});
        QVERIFY(m_window->compareButton->isEnabled());
        QVERIFY(!m_window->openButton->isEnabled());
        QTest::mouseClick(m_window->compareButton, Qt::LeftButton);

        QTableWidget *table = m_window->compareWindow->table;
        QVERIFY(m_window->compareWindow->isVisible());
        QHash<QString, int> rowOf;
        for (int row = 0; row < table->rowCount(); ++row)
            rowOf.insert(table->item(row, ArchiveCompareWindow::QuantityColumn)->text(), row);
        const int losses = rowOf.value(QStringLiteral("Потери холостого хода, Вт"), -1);
        const int current = rowOf.value(QStringLiteral("Ток холостого хода, А"), -1);
        QVERIFY(losses >= 0 && current >= 0);
        QCOMPARE(table->item(losses, ArchiveCompareWindow::BeforeColumn)->text(), QStringLiteral("1200"));
        QCOMPARE(table->item(losses, ArchiveCompareWindow::ChangeColumn)->text(), QStringLiteral("+16.7"));
        QVERIFY(table->item(losses, ArchiveCompareWindow::ChangeColumn)->data(ArchiveCompareWindow::MarkedRole).toBool());
        // +16.7 % of no-load losses is beyond their +15 %: the norm stands beside it.
        QVERIFY(table->item(losses, ArchiveCompareWindow::NormColumn)->text().startsWith(QStringLiteral("рост +16.67 %; не более +15 %")));
        QVERIFY(table->item(current, ArchiveCompareWindow::NormColumn)->text().isEmpty());
        QCOMPARE(table->item(current, ArchiveCompareWindow::ChangeColumn)->text(), QStringLiteral("+1.0"));
        QVERIFY(!table->item(current, ArchiveCompareWindow::ChangeColumn)->data(ArchiveCompareWindow::MarkedRole).toBool());
    }

    void compareOfTwoTransformersIsRefused()
    {
        RecordingPrompts prompts;
        const auto a = m_archive->store(sampleRecord("17", "4411"));
        const auto b = m_archive->store(sampleRecord("18", "4412"));
        m_window->show();
        m_window->selectRows({rowOfId(a.id), rowOfId(b.id)});
        QTest::mouseClick(m_window->compareButton, Qt::LeftButton);
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY(prompts.messages[0].text.contains(QStringLiteral("4412")));
        QVERIFY(!m_window->compareWindow->isVisible());
    }

    void openRequestsTheRecordWithItsSheets()
    {
        const auto stored = m_archive->store(sampleRecord());
        m_window->show();
        QSignalSpy opened(m_window.get(), &ArchiveWindow::openRequested);
        m_window->selectRows({0});
        QTest::mouseClick(m_window->openButton, Qt::LeftButton);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.at(0).at(0).toLongLong(), stored.id);
        QCOMPARE(m_window->record(stored.id)->sheet2, sampleRecord().sheet2);
    }

    void exportWritesTheChosenRecordsOrNothingWhenCancelled()
    {
        SavePrompts prompts;
        m_archive->store(sampleRecord("17", "4411"));
        m_archive->store(sampleRecord("18", "4412"));
        m_window->show();
        m_window->selectRows({1});

        QTest::mouseClick(m_window->csvButton, Qt::LeftButton); // cancelled
        QCOMPARE(prompts.saveCaptions.size(), 1);
        QVERIFY(prompts.messages.isEmpty());

        prompts.savePath = m_dir->filePath(QStringLiteral("out.json"));
        QTest::mouseClick(m_window->jsonButton, Qt::LeftButton);
        QFile file(prompts.savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
        QCOMPARE(array.size(), 1);
        QCOMPARE(array[0].toObject().value(QStringLiteral("Заводской №")).toString(),
                 m_window->model->summaryAt(1).serialNumber);

        prompts.savePath = m_dir->filePath(QStringLiteral("missing/folder/out.csv"));
        QTest::mouseClick(m_window->csvButton, Qt::LeftButton);
        QCOMPARE(prompts.messages.size(), 1);
        QCOMPARE(prompts.messages[0].icon, PromptIcon::Error);
    }

    void aClickOnAHeadSortsByThatColumn()
    {
        const QDateTime day(QDate(2026, 3, 14), QTime(9, 0));
        QVERIFY(m_archive->store(at(sampleRecord("17", "4411", "ТМГ-250/10"), day)).ok());
        QVERIFY(m_archive->store(at(sampleRecord("5", "5120", "ТМ-630/10"), day.addSecs(60))).ok());
        QVERIFY(m_archive->store(at(sampleRecord("9", "3001", "ТМЗ-400/10"), day.addSecs(120))).ok());
        m_window->show();
        QCOMPARE(column(m_window->model, ArchiveListModel::ProtocolColumn), QStringList({"9", "5", "17"}));

        clickHead(m_window->table, ArchiveListModel::TypeColumn);
        const QStringList once = column(m_window->model, ArchiveListModel::TypeColumn);
        clickHead(m_window->table, ArchiveListModel::TypeColumn);
        const QStringList twice = column(m_window->model, ArchiveListModel::TypeColumn);
        QStringList ascending = once;
        std::sort(ascending.begin(), ascending.end());
        QVERIFY(once != twice);
        QVERIFY(once == ascending || twice == ascending);
        QCOMPARE(QStringList(twice.rbegin(), twice.rend()), once);

        clickHead(m_window->table, ArchiveListModel::SerialColumn);
        const QStringList serials = column(m_window->model, ArchiveListModel::SerialColumn);
        QVERIFY(serials == QStringList({"3001", "4411", "5120"}) || serials == QStringList({"5120", "4411", "3001"}));
    }

    // Sorted by a column of few values, every record comes exactly once across the pages.
    void pagesFollowEachOtherWithoutLossOrRepeat()
    {
        const int records = ArchiveListModel::PageSize * 2 + 17;
        for (int i = 0; i < records; ++i) {
            ArchiveRecord record = sampleRecord(QString::number(i), QString::number(7000 + i),
                                                i % 3 ? QStringLiteral("ТМ-630/10") : QStringLiteral("ТМГ-100/10"));
            record.moment = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(60 * (i % 5)); // many alike
            QVERIFY(m_archive->store(record).ok());
        }
        m_window->show();
        for (const int sortColumn : {int(ArchiveListModel::DateColumn), int(ArchiveListModel::TypeColumn)}) {
            m_window->model->sort(sortColumn, Qt::AscendingOrder);
            QCOMPARE(m_window->model->rowCount(), ArchiveListModel::PageSize);
            while (m_window->model->canFetchMore({}))
                m_window->model->fetchMore({});
            QCOMPARE(m_window->model->rowCount(), records);
            QSet<qint64> ids;
            for (int row = 0; row < records; ++row)
                ids.insert(m_window->model->idAt(row));
            QCOMPARE(ids.size(), records);
            const QStringList keys = column(m_window->model, sortColumn);
            QVERIFY(std::is_sorted(keys.begin(), keys.end(), [&](const QString &a, const QString &b) {
                return sortColumn == ArchiveListModel::DateColumn
                    ? QDateTime::fromString(a, "dd.MM.yyyy HH:mm") < QDateTime::fromString(b, "dd.MM.yyyy HH:mm")
                    : a < b;
            }));
        }
    }

    void aSpanOfDaysNarrowsTheList()
    {
        const QTime nine(9, 0);
        QVERIFY(m_archive->store(at(sampleRecord("1", "11"), QDateTime(QDate(2026, 3, 1), QTime(0, 0)))).ok());
        QVERIFY(m_archive->store(at(sampleRecord("2", "12"), QDateTime(QDate(2026, 3, 14), nine))).ok());
        QVERIFY(m_archive->store(at(sampleRecord("3", "13"), QDateTime(QDate(2026, 3, 15), QTime(23, 59)))).ok());
        QVERIFY(m_archive->store(at(sampleRecord("4", "14"), QDateTime(QDate(2026, 3, 16), QTime(0, 0)))).ok());
        m_window->show();
        QCOMPARE(m_window->model->rowCount(), 4);
        m_window->fromEdit->setDate(QDate(2026, 3, 14));
        m_window->toEdit->setDate(QDate(2026, 3, 15));
        QCOMPARE(m_window->model->rowCount(), 4); // not ticked yet
        m_window->periodCheck->setChecked(true);
        QCOMPARE(column(m_window->model, ArchiveListModel::ProtocolColumn), QStringList({"3", "2"}));
        typeText(m_window->filterEdit, "13");
        QCOMPARE(column(m_window->model, ArchiveListModel::ProtocolColumn), QStringList({"3"}));
        m_window->filterEdit->clear();
        m_window->fromEdit->setDate(QDate(2026, 3, 1));
        QCOMPARE(column(m_window->model, ArchiveListModel::ProtocolColumn), QStringList({"3", "2", "1"}));
        m_window->periodCheck->setChecked(false);
        QCOMPARE(m_window->model->rowCount(), 4);
    }

    void exportAsksBeforeReplacingAFile()
    {
        SavePrompts prompts;
        m_archive->store(sampleRecord("17", "4411"));
        m_window->show();
        m_window->selectRows({0});
        prompts.savePath = m_dir->filePath(QStringLiteral("out.csv"));
        {
            QFile old(prompts.savePath);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        prompts.yesNoAnswers = {false};
        QTest::mouseClick(m_window->csvButton, Qt::LeftButton);
        QCOMPARE(prompts.questions.size(), 1);
        QVERIFY(prompts.questions[0].text.contains(QStringLiteral("out.csv")));
        QFile file(prompts.savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("old"));
        file.close();

        prompts.yesNoAnswers = {true};
        QTest::mouseClick(m_window->csvButton, Qt::LeftButton);
        QCOMPARE(prompts.questions.size(), 2);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("4411"));
        file.close();

        prompts.savePath = m_dir->filePath(QStringLiteral("new.csv")); // nothing to replace, nothing asked
        QTest::mouseClick(m_window->csvButton, Qt::LeftButton);
        QCOMPARE(prompts.questions.size(), 2);
        QVERIFY(QFile::exists(prompts.savePath));
    }

    void exportProposesWhatGoesOutInAFolderThatExists()
    {
        RecordingPrompts prompts;
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", QFile::encodeName(home.path())); // a home without a Documents folder
        const auto restore = qScopeGuard([&] { qputenv("HOME", oldHome); });
        m_archive->store(at(sampleRecord("17", "4411"), QDateTime(QDate(2026, 3, 14), QTime(9, 0))));
        m_archive->store(sampleRecord("18", "4412"));
        m_window->show();
        m_window->selectRows({rowOfId(1)});
        QTest::mouseClick(m_window->xlsxButton, Qt::LeftButton);
        QCOMPARE(prompts.fileDialogs.size(), 1);
        const QFileInfo proposed(prompts.fileDialogs[0].request.proposedName);
        QVERIFY2(proposed.absoluteDir().exists(), qPrintable(proposed.absolutePath()));
        // The records' own folder where the program keeps them beside itself, else the home.
        const QString documents = documentsDirectory();
        const QString expected = QFileInfo(documents).isDir() ? documents : home.path();
        QCOMPARE(proposed.absolutePath(), QFileInfo(expected).absoluteFilePath());
        QVERIFY2(proposed.fileName().contains(QStringLiteral("17")) && proposed.fileName().contains(QStringLiteral("4411"))
                     && proposed.fileName().contains(QStringLiteral("14.03.2026")) && proposed.suffix() == u"xlsx",
                 qPrintable(proposed.fileName()));
        m_window->selectRows({});
        QTest::mouseClick(m_window->jsonButton, Qt::LeftButton);
        QCOMPARE(prompts.fileDialogs.size(), 2);
        QVERIFY(QFileInfo(prompts.fileDialogs[1].request.proposedName).fileName().startsWith(QStringLiteral("Архив протоколов")));
    }

    void exportWithNothingChosenWritesTheListAsShown()
    {
        SavePrompts prompts;
        QVERIFY(m_archive->store(sampleRecord("17", "4411", "ТМ-630/10")).ok());
        QVERIFY(m_archive->store(sampleRecord("21", "5120", "ТМГ-100/10")).ok());
        QVERIFY(m_archive->store(sampleRecord("22", "5188", "ТМГ-250/10")).ok());
        m_window->show();
        typeText(m_window->filterEdit, QStringLiteral("тмг"));
        QVERIFY(m_window->jsonButton->isEnabled());
        prompts.savePath = m_dir->filePath(QStringLiteral("list.json"));
        QTest::mouseClick(m_window->jsonButton, Qt::LeftButton);
        QFile file(prompts.savePath);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QJsonArray array = QJsonDocument::fromJson(file.readAll()).array();
        QCOMPARE(array.size(), 2);
        QStringList serials;
        for (const QJsonValue &value : array)
            serials.append(value.toObject().value(QStringLiteral("Заводской №")).toString());
        QCOMPARE(serials, column(m_window->model, ArchiveListModel::SerialColumn));
        QVERIFY(m_window->statusLabel->text().contains(QStringLiteral("2")));
    }

    // With none chosen the whole list as shown goes out, so the export buttons are there
    // as soon as rows are: after the window opens and after a refresh by a new record,
    // without a click on a row (they stayed disabled until one).
    void exportButtonsAreEnabledOnceTheListIsShown()
    {
        QVERIFY(m_archive->store(sampleRecord("17", "4411", "ТМ-630/10")).ok());
        m_window->show();
        QCOMPARE(m_window->model->rowCount(), 1);
        for (QPushButton *button : {m_window->xlsxButton, m_window->csvButton, m_window->jsonButton})
            QVERIFY(button->isEnabled());
        QVERIFY(m_archive->store(sampleRecord("21", "5120", "ТМГ-100/10")).ok()); // the list is read anew
        QCOMPARE(m_window->model->rowCount(), 2);
        for (QPushButton *button : {m_window->xlsxButton, m_window->csvButton, m_window->jsonButton})
            QVERIFY(button->isEnabled());
        // A text that matches nothing leaves nothing to export.
        typeText(m_window->filterEdit, QStringLiteral("нет такого"));
        QTRY_VERIFY(!m_window->model->isSearching());
        QVERIFY(!m_window->xlsxButton->isEnabled());
    }

    void storingAfterPrintReportsOnlyTheFirstFailure()
    {
        RecordingPrompts prompts;
        m_window->show();
        QVERIFY(recordInArchive(m_window.get(), *m_archive, sampleRecord("1")).ok());
        QCOMPARE(m_window->model->rowCount(), 1); // the open window follows

        m_window.reset();
        m_archive.reset();
        {
            QFile file(m_dir->filePath(QStringLiteral("varnek.db")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        m_archive = std::make_unique<ProtocolArchive>(ArchiveSettings::sqliteDefault());
        for (int i = 0; i < 3; ++i)
            QVERIFY(!recordInArchive(nullptr, *m_archive, sampleRecord(QString::number(2 + i))).ok());
        QCOMPARE(prompts.messages.size(), 1);
        QCOMPARE(prompts.messages[0].caption, QStringLiteral("Архив протоколов"));
        QVERIFY(prompts.messages[0].text.contains(QStringLiteral("печатаются")));
    }

    void unreadableArchiveShowsOneMessage()
    {
        RecordingPrompts prompts;
        {
            QFile file(m_dir->filePath(QStringLiteral("varnek.db")));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        }
        m_window->show();
        m_window->reload();
        QCOMPARE(prompts.messages.size(), 1);
        QCOMPARE(prompts.messages[0].caption, QStringLiteral("Архив протоколов"));
        QVERIFY(m_window->statusLabel->text().contains(QStringLiteral("varnek.db")));
        QCOMPARE(m_window->model->rowCount(), 0);
    }

    void statusSaysWhichArchiveAndHowManyWait()
    {
        QVERIFY(m_window->archiveLabel->text().contains(
            QStringLiteral("Архив: файл %1").arg(QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("varnek.db"))))));

        // A server that is not there: every record waits in the outbox, and the window says so.
        ArchiveSettings server;
        server.driver = ArchiveSettings::Driver::PostgreSQL;
        server.host = m_dir->path(); // a socket folder with no server in it
        server.port = 1;
        server.database = QStringLiteral("archive");
        server.user = QStringLiteral("bench");
        m_window.reset();
        m_archive = std::make_unique<ProtocolArchive>(server);
        m_archive->enableOutbox(m_dir->filePath(QStringLiteral("outbox.db")));
        m_window = std::make_unique<ArchiveWindow>(m_archive.get());
        QVERIFY(m_window->archiveLabel->text().contains(QStringLiteral("Архив: сервер bench@")));
        for (int i = 0; i < 3; ++i)
            QCOMPARE(m_archive->store(sampleRecord(QString::number(i))).status, ProtocolArchive::StoreResult::Status::Queued);
        QTRY_VERIFY_WITH_TIMEOUT(m_window->archiveLabel->text().contains(QStringLiteral("Не отправлены: ")), 15000);
        QVERIFY2(m_window->archiveLabel->text().contains(QStringLiteral("Ожидают отправки на сервер: 3")),
                 qPrintable(m_window->archiveLabel->text()));
        m_window.reset();
        m_archive.reset();
        QCOMPARE(ArchiveOutbox(m_dir->filePath(QStringLiteral("outbox.db"))).count().value_or(-1), 3);
    }

    // A file that takes no record keeps them in memory, tries again, and at close offers
    // a file for what is still there.
    void recordsNoFileTakesArePendingRetriedAndSavedAtClose()
    {
        SavePrompts prompts;
        m_archive->enableOutbox(m_dir->filePath(QStringLiteral("outbox.db")));
        QVERIFY(m_archive->store(sampleRecord("1")).ok());
        const QString holder = QStringLiteral("lock-holder");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), holder);
            db.setDatabaseName(m_dir->filePath(QStringLiteral("varnek.db")));
            QVERIFY(db.open());
            QSqlQuery lock(db);
            QVERIFY(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            const auto first = m_archive->store(sampleRecord("2"));
            QVERIFY(!first.ok());
            QVERIFY(first.report);
            QVERIFY(!m_archive->store(sampleRecord("3")).report);
            QCOMPARE(m_archive->unsavedCount(), 2);
            QVERIFY(m_window->archiveLabel->text().contains(QStringLiteral("хранятся в памяти программы: 2")));
            QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
            db.close();
        }
        QSqlDatabase::removeDatabase(holder);
        QTRY_COMPARE_WITH_TIMEOUT(m_archive->unsavedCount(), 0, 15000);
        QCOMPARE(m_archive->summaries()->size(), 3);

        // Not even the file: at close the two left are saved where the operator says.
        m_window.reset();
        m_archive.reset();
        {
            QFile file(m_dir->filePath(QStringLiteral("varnek.db")));
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(QByteArray(4096, 'x'));
        }
        m_archive = std::make_unique<ProtocolArchive>(ArchiveSettings::sqliteDefault());
        m_archive->enableOutbox(m_dir->filePath(QStringLiteral("outbox.db")));
        QVERIFY(!m_archive->store(sampleRecord("4")).ok());
        QVERIFY(!m_archive->store(sampleRecord("5")).ok());
        prompts.messages.clear();
        offerToSaveUnsaved(nullptr, *m_archive); // cancelled: told once, nothing written
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY(prompts.messages[0].text.contains(QStringLiteral("протоколы: 2")));
        QCOMPARE(m_archive->unsavedCount(), 2);
        prompts.savePath = m_dir->filePath(QStringLiteral("kept.db"));
        offerToSaveUnsaved(nullptr, *m_archive);
        QCOMPARE(m_archive->unsavedCount(), 0);
        ArchiveOutbox kept(prompts.savePath);
        QCOMPARE(kept.count().value_or(-1), 2);
        std::optional<ArchiveOutbox::Entry> entry;
        QVERIFY(kept.first(&entry) && entry);
        QCOMPARE(entry->record.protocolNumber, QStringLiteral("4"));
        QCOMPARE(entry->record.sheet2, sampleRecord().sheet2);
    }
};

QTEST_MAIN(tst_ArchiveWindow)
#include "tst_archivewindow.moc"
