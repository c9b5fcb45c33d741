#include "archivefixture.h"
#include "archiveoutbox.h"
#include "archivetransfer.h"
#include "protocolarchive.h"
#include "recordslocation.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <atomic>
#include <map>
#include <thread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

ArchiveRecord markedRecord(int mark)
{
    ArchiveRecord record = sampleRecord(QStringLiteral("7"), QStringLiteral("7007"));
    record.fields.insert(QStringLiteral("QRMark"), QString::number(mark));
    record.moment = record.moment.addSecs(mark);
    return record;
}

QStringList marksOf(ProtocolArchive &archive)
{
    QStringList marks;
    const std::optional<QList<ArchiveSummary>> list = archive.summaries();
    if (!list)
        return {QStringLiteral("unreadable: ") + archive.lastError()};
    for (const ArchiveSummary &row : *list)
        if (const std::optional<ArchiveRecord> record = archive.record(row.id))
            marks.prepend(record->fields.value(QStringLiteral("QRMark")));
    return marks;
}

// The marks and keys of an outbox's records, in its order.
QList<QPair<QString, QString>> entriesOf(const QString &path)
{
    ArchiveOutbox outbox(path, ArchiveOutbox::Access::ReadOnly);
    QList<QPair<QString, QString>> entries;
    std::optional<ArchiveOutbox::Entry> entry;
    for (qint64 seq = 0; outbox.next(seq, &entry) && entry; seq = entry->seq)
        entries.append({entry->record.fields.value(QStringLiteral("QRMark")), entry->key});
    return entries;
}

// Holds the write lock of an SQLite file, as another program writing it does.
class FileLock {
public:
    explicit FileLock(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        m_held = db.open() && QSqlQuery(db).exec(QStringLiteral("BEGIN EXCLUSIVE"));
    }
    ~FileLock() { release(); }
    bool held() const { return m_held; }
    void release()
    {
        if (!QSqlDatabase::contains(m_name))
            return;
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            QSqlQuery(db).exec(QStringLiteral("ROLLBACK"));
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
        m_held = false;
    }

private:
    QString m_name = QStringLiteral("file-lock");
    bool m_held = false;
};

// A PostgreSQL server on a local socket that lets every client log in and then never
// answers a single statement, as a server stopped in its tracks or a broken proxy does.
class SilentServer {
public:
    ~SilentServer()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const auto &[fd, client] : m_clients)
            ::close(fd);
        if (m_listener >= 0)
            ::close(m_listener);
        if (!m_path.isEmpty())
            ::unlink(QFile::encodeName(m_path).constData());
    }

    // libpq looks for "<host folder>/.s.PGSQL.<port>".
    bool listen(const QString &folder, int port)
    {
        m_path = QDir(folder).filePath(QStringLiteral(".s.PGSQL.%1").arg(port));
        const QByteArray path = QFile::encodeName(m_path);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(path.size()) >= sizeof address.sun_path)
            return false;
        memcpy(address.sun_path, path.constData(), size_t(path.size()));
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0
            || ::listen(m_listener, 16) != 0)
            return false;
        m_thread = std::thread([this] { run(); });
        return true;
    }

    int logins() const { return m_logins; }

private:
    struct Client {
        QByteArray pending;
        bool loggedIn = false;
    };

    static QByteArray message(char type, const QByteArray &body)
    {
        QByteArray out(1, type);
        const quint32 length = quint32(body.size() + 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            out.append(char((length >> shift) & 0xff));
        return out + body;
    }

    static quint32 number(const QByteArray &bytes, int at)
    {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value = (value << 8) | quint8(bytes[at + i]);
        return value;
    }

    static void send(int fd, const QByteArray &bytes) { (void)!::write(fd, bytes.constData(), size_t(bytes.size())); }

    void serve(int fd, Client &client)
    {
        while (!client.loggedIn && client.pending.size() >= 8) {
            const quint32 length = number(client.pending, 0);
            if (quint32(client.pending.size()) < length)
                return;
            const quint32 code = number(client.pending, 4);
            client.pending.remove(0, qsizetype(length));
            if (code == 80877103 || code == 80877104) { // encryption asked for: none here
                send(fd, QByteArray("N"));
                continue;
            }
            QByteArray reply = message('R', QByteArray("\0\0\0\0", 4));
            for (const auto &[name, value] : {std::pair{"server_version", "16.0"}, {"client_encoding", "UTF8"},
                                              {"server_encoding", "UTF8"}, {"standard_conforming_strings", "on"},
                                              {"integer_datetimes", "on"}, {"DateStyle", "ISO, MDY"}})
                reply += message('S', QByteArray(name) + '\0' + QByteArray(value) + '\0');
            reply += message('K', QByteArray("\0\0\0\1\0\0\0\2", 8));
            reply += message('Z', QByteArray("I"));
            send(fd, reply);
            client.loggedIn = true;
            ++m_logins;
        }
        if (client.loggedIn)
            client.pending.clear(); // heard, never answered
    }

    void run()
    {
        while (!m_stop) {
            std::vector<pollfd> watched{{m_listener, POLLIN, 0}};
            for (const auto &[fd, client] : m_clients)
                watched.push_back({fd, POLLIN, 0});
            if (::poll(watched.data(), watched.size(), 50) <= 0)
                continue;
            if (watched[0].revents & POLLIN) {
                const int fd = ::accept(m_listener, nullptr, nullptr);
                if (fd >= 0)
                    m_clients[fd] = Client();
            }
            for (size_t i = 1; i < watched.size(); ++i) {
                if (!(watched[i].revents & (POLLIN | POLLHUP)))
                    continue;
                char buffer[4096];
                const ssize_t got = ::read(watched[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    ::close(watched[i].fd);
                    m_clients.erase(watched[i].fd);
                    continue;
                }
                Client &client = m_clients[watched[i].fd];
                client.pending.append(buffer, got);
                serve(watched[i].fd, client);
            }
        }
    }

    QString m_path;
    int m_listener = -1;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_logins{0};
    std::map<int, Client> m_clients;
};

ArchiveSettings silentServerSettings(const QString &folder, int port)
{
    ArchiveSettings settings;
    settings.driver = ArchiveSettings::Driver::PostgreSQL;
    settings.host = folder;
    settings.port = port;
    settings.database = QStringLiteral("bench_archive");
    settings.user = QStringLiteral("bench");
    settings.passwordFile = QDir(folder).filePath(QStringLiteral("no-password-file"));
    return settings;
}

// Run as "--close-on folder port outbox": the program's archive on that server, closed as
// the main window closes it once every thread of it waits on the server.
int closeOnServer(const QString &folder, int port, const QString &outbox)
{
    auto archive = std::make_unique<ProtocolArchive>(silentServerSettings(folder, port));
    archive->enableOutbox(outbox);
    archive->store(markedRecord(1));
    archive->summaries();
    QEventLoop loop;
    QTimer::singleShot(1500, &loop, &QEventLoop::quit);
    loop.exec();
    archive->stopSender(1000);
    archive.reset();
    return 0;
}

} // namespace

class tst_ArchiveOutbox : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { setRecordsDirectoryForTests(QString()); }

    // A record set aside leaves the line: the next goes first, the count leaves it out,
    // and asked for again it takes its old place.
    void aRecordSetAsideLeavesTheLineUntilAskedFor()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        ArchiveOutbox outbox(dir.filePath(QStringLiteral("outbox.db")));
        QStringList keys;
        for (int mark = 1; mark <= 3; ++mark) {
            QString key;
            QVERIFY2(outbox.add(markedRecord(mark), &key), qPrintable(outbox.lastError()));
            keys << key;
        }
        QVERIFY(outbox.setAside(keys[0], QStringLiteral("value too long")));
        std::optional<ArchiveOutbox::Entry> entry;
        QVERIFY(outbox.first(&entry));
        QVERIFY(entry);
        QCOMPARE(entry->key, keys[1]);
        QCOMPARE(outbox.count(), std::optional<int>(2));
        QCOMPARE(outbox.countAll(), std::optional<int>(3));
        const std::optional<QList<OutboxSetAside>> aside = outbox.setAsideEntries();
        QVERIFY(aside);
        QCOMPARE(aside->size(), 1);
        QCOMPARE(aside->first().key, keys[0]);
        QCOMPARE(aside->first().problem, QStringLiteral("value too long"));
        QCOMPARE(aside->first().protocolNumber, QStringLiteral("7"));

        QVERIFY(outbox.retrySetAside());
        QVERIFY(outbox.first(&entry));
        QCOMPARE(entry->key, keys[0]);
        QVERIFY(entry->problem.isEmpty());
        QCOMPARE(outbox.count(), std::optional<int>(3));
        QVERIFY(outbox.setAsideEntries()->isEmpty());
    }

    // An outbox left by the previous version, records waiting in it, is used as it is.
    void anOutboxOfTheEarlierFormKeepsItsRecords()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("outbox.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("earlier"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral(
                "CREATE TABLE outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, entry_key TEXT NOT NULL UNIQUE, "
                "stored_at BIGINT NOT NULL, protocol_number TEXT NOT NULL, serial_number TEXT NOT NULL, type TEXT NOT NULL, "
                "firm TEXT NOT NULL, fields TEXT NOT NULL, results TEXT NOT NULL, sheet1 BLOB NOT NULL, sheet2 BLOB NOT NULL, "
                "problem TEXT NOT NULL DEFAULT '')")));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO outbox (entry_key, stored_at, protocol_number, serial_number, "
                                              "type, firm, fields, results, sheet1, sheet2) VALUES ('old-key', 0, '5', "
                                              "'55', 'ТМ', 'Фирма', '{}', '{}', x'00', x'00')")));
            query = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("earlier"));
        ArchiveOutbox outbox(path);
        std::optional<ArchiveOutbox::Entry> entry;
        QVERIFY2(outbox.first(&entry), qPrintable(outbox.lastError()));
        QVERIFY(entry);
        QCOMPARE(entry->key, QStringLiteral("old-key"));
        // Queued before judgements travelled: it goes as not judged.
        QVERIFY(!entry->record.judgement.judged);
        QVERIFY(outbox.setAside(QStringLiteral("old-key"), QStringLiteral("refused")));
        QCOMPARE(outbox.count(), std::optional<int>(0));
        // The same file takes new records with their judgement.
        ArchiveRecord record = sampleRecord();
        record.judgement = sampleJudgement();
        QString key;
        QVERIFY(outbox.add(record, &key));
        QVERIFY(outbox.first(&entry));
        QVERIFY(entry);
        QCOMPARE(entry->key, key);
        QCOMPARE(entry->record.judgement.rows, record.judgement.rows);
        QCOMPARE(entry->record.judgement.input, record.judgement.input);
        QCOMPARE(entry->record.judgement.normsDigest, record.judgement.normsDigest);
    }

    // A file of records saved at close by an older version is read without writing to it.
    void aSavedFileOfTheEarlierFormIsReadAsItIs()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("saved.db"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("earlier-saved"));
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec(QStringLiteral(
                "CREATE TABLE outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, entry_key TEXT NOT NULL UNIQUE, "
                "stored_at BIGINT NOT NULL, protocol_number TEXT NOT NULL, serial_number TEXT NOT NULL, type TEXT NOT NULL, "
                "firm TEXT NOT NULL, fields TEXT NOT NULL, results TEXT NOT NULL, sheet1 BLOB NOT NULL, sheet2 BLOB NOT NULL, "
                "problem TEXT NOT NULL DEFAULT '', aside INTEGER NOT NULL DEFAULT 0)")));
            QVERIFY(query.exec(QStringLiteral("INSERT INTO outbox (entry_key, stored_at, protocol_number, serial_number, "
                                              "type, firm, fields, results, sheet1, sheet2) VALUES ('saved-key', 0, '5', "
                                              "'55', 'ТМ', 'Фирма', '{}', '{\"Pxx00\":\"1.5\"}', x'00', x'00')")));
            query = QSqlQuery();
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("earlier-saved"));
        const QByteArray before = [&] {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        {
            ArchiveOutbox saved(path, ArchiveOutbox::Access::ReadOnly);
            std::optional<ArchiveOutbox::Entry> entry;
            QVERIFY2(saved.next(0, &entry), qPrintable(saved.lastError()));
            QVERIFY(entry);
            QCOMPARE(entry->record.results.value(QStringLiteral("Pxx00")), QStringLiteral("1.5"));
            QVERIFY(!entry->record.judgement.judged);
        }
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    void storedTextsAreBoundedAndWithoutNul_data()
    {
        QTest::addColumn<QString>("firm");
        QTest::addColumn<QString>("kept");
        const int limit = ProtocolArchive::FirmLimit;
        QTest::newRow("short") << QStringLiteral("ООО «Ом»") << QStringLiteral("ООО «Ом»");
        QTest::newRow("at the limit") << QString(limit, u'Ф') << QString(limit, u'Ф');
        QTest::newRow("one over") << QString(limit + 1, u'Ф') << QString(limit - 1, u'Ф') + u'…';
        QTest::newRow("NUL") << QStringLiteral("А") + QChar(u'\0') + QStringLiteral("Б") << QStringLiteral("АБ");
        // A character of two UTF-16 units is kept whole or left out, never split.
        const QString pair = QStringLiteral("𝛀");
        QTest::newRow("pair at the cut") << QString(limit - 2, u'Ф') + pair + QStringLiteral("ФФ")
                                         << QString(limit - 2, u'Ф') + u'…';
    }

    void storedTextsAreBoundedAndWithoutNul()
    {
        QFETCH(QString, firm);
        QFETCH(QString, kept);
        ArchiveRecord record = sampleRecord();
        record.firm = firm;
        record.fields.insert(QStringLiteral("QRFirm"), firm);
        const ArchiveRecord stored = ProtocolArchive::storable(record);
        QCOMPARE(stored.firm, kept);
        QVERIFY(!stored.fields.value(QStringLiteral("QRFirm")).contains(QChar(u'\0')));
        QCOMPARE(stored.fields.value(QStringLiteral("QRFirm")).size(), firm.size() - firm.count(QChar(u'\0')));
    }

    // Records no archive took at the last run were saved to a file at close; loaded into
    // the file archive they are stored once, however often loaded.
    void recordsSavedAtCloseLoadIntoAFileArchiveOnce()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        setRecordsDirectoryForTests(dir.path());
        const QString saved = dir.filePath(QStringLiteral("протоколы-не-в-архиве.db"));
        {
            // An archive file that cannot be made: each record stays in memory.
            QVERIFY(QDir(dir.path()).mkdir(ArchiveSettings::DefaultFileName));
            ProtocolArchive archive(ArchiveSettings::sqliteDefault());
            archive.enableOutbox(ArchiveOutbox::defaultPath());
            QVERIFY(!archive.store(markedRecord(1)).ok());
            QVERIFY(!archive.store(markedRecord(2)).ok());
            QCOMPARE(archive.unsavedCount(), 2);
            QString error;
            QVERIFY2(archive.saveUnsaved(saved, &error), qPrintable(error));
            QVERIFY(QDir(dir.path()).rmdir(ArchiveSettings::DefaultFileName));
        }
        const ArchiveSettings target = ArchiveSettings::sqliteDefault();
        const ArchiveTransferSummary first = copyArchiveFile(saved, target);
        QVERIFY2(first.problem.isEmpty(), qPrintable(first.text()));
        QCOMPARE(first.total, 2);
        QCOMPARE(first.copied, 2);
        QVERIFY2(first.text().contains(QStringLiteral("Записано в архив: 2")), qPrintable(first.text()));
        const ArchiveTransferSummary second = copyArchiveFile(saved, target);
        QCOMPARE(second.copied, 0);
        QCOMPARE(second.present, 2);
        ProtocolArchive archive(target);
        QCOMPARE(marksOf(archive), (QStringList{"1", "2"}));
        QCOMPARE(archive.record(archive.summaries()->first().id)->sheet1, markedRecord(2).sheet1);
    }

    // A file that is not for loading is refused by name, and not told to be continued;
    // the archive itself never loads into itself.
    void aFileNotForLoadingIsRefusedAndLeftAsItWas_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("said");
        QTest::newRow("empty file") << "empty" << "не является архивом протоколов этой программы";
        QTest::newRow("another program's database") << "foreign" << "не является архивом протоколов этой программы";
        QTest::newRow("not a database") << "text" << "не читается";
        QTest::newRow("the archive itself") << "itself" << "и есть архив";
    }

    void aFileNotForLoadingIsRefusedAndLeftAsItWas()
    {
        QFETCH(QString, kind);
        QFETCH(QString, said);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        setRecordsDirectoryForTests(dir.path());
        const ArchiveSettings target = ArchiveSettings::sqliteDefault();
        {
            ProtocolArchive archive(target);
            QVERIFY(archive.store(markedRecord(1)).ok());
        }
        QString file = dir.filePath(QStringLiteral("loaded.db"));
        if (kind == QStringLiteral("empty")) {
            QFile empty(file);
            QVERIFY(empty.open(QIODevice::WriteOnly));
        } else if (kind == QStringLiteral("foreign")) {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("CREATE TABLE people (name TEXT)"));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
        } else if (kind == QStringLiteral("text")) {
            QFile text(file);
            QVERIFY(text.open(QIODevice::WriteOnly));
            text.write(QByteArray(4096, 'x'));
        } else {
            file = target.database;
        }
        const QByteArray before = [&] {
            QFile f(file);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();
        const ArchiveTransferSummary summary = copyArchiveFile(file, target);
        QVERIFY2(summary.problem.contains(said), qPrintable(summary.problem));
        QVERIFY2(!summary.text().contains(QStringLiteral("продолжит")), qPrintable(summary.text()));
        QCOMPARE(summary.copied, 0);
        if (kind != QStringLiteral("itself")) {
            QFile after(file);
            QVERIFY(after.open(QIODevice::ReadOnly));
            QCOMPARE(after.readAll(), before);
        }
        ProtocolArchive archive(target);
        QCOMPARE(marksOf(archive), QStringList{"1"});
    }

    // A store hands the record to the outbox's writer and returns: a file held by another
    // writer (a disk that makes writes wait) neither holds the caller nor loses the
    // record. The writer tries again, in the order of the stores, and tells of its
    // failure once. Before, the store waited for the file on the caller's thread and
    // failed.
    void aStoreDoesNotWaitForTheOutboxFileAndKeepsTheOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("outbox.db"));
        ProtocolArchive archive(silentServerSettings(dir.path(), 5997));
        archive.enableOutbox(path);
        QSignalSpy told(&archive, &ProtocolArchive::storeFailed);
        FileLock lock(path);
        QVERIFY(lock.held());
        const ProtocolArchive::StoreResult first = archive.store(markedRecord(1));
        QCOMPARE(first.status, ProtocolArchive::StoreResult::Status::Queued);
        QVERIFY(!first.report);
        archive.store(markedRecord(2));
        archive.store(markedRecord(3));
        QTRY_COMPARE_WITH_TIMEOUT(archive.unsavedCount(), 3, 10000);
        QCOMPARE(archive.waitingCount(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 10000);
        QVERIFY(told.first().first().toString().contains(QStringLiteral("в памяти")));

        lock.release();
        QTRY_COMPARE_WITH_TIMEOUT(archive.waitingCount(), 3, 10000);
        QCOMPARE(archive.unsavedCount(), 0);
        archive.store(markedRecord(4));
        QTRY_COMPARE_WITH_TIMEOUT(entriesOf(path).size(), 4, 10000);
        archive.stopSender(1000);
        QStringList marks;
        for (const auto &[mark, key] : entriesOf(path))
            marks << mark;
        QCOMPARE(marks, (QStringList{"1", "2", "3", "4"}));
        QCOMPARE(told.size(), 1);
    }

    // At the program's end what the writer could not write in time stays in memory, in
    // order, and is saved where the operator says under the keys it was given, so a copy
    // written late as well is stored once.
    void whatTheWriterHasNotWrittenAtTheEndIsKeptForTheOperator()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("outbox.db"));
        ProtocolArchive archive(silentServerSettings(dir.path(), 5996));
        archive.enableOutbox(path);
        FileLock lock(path);
        QVERIFY(lock.held());
        for (int mark = 1; mark <= 3; ++mark)
            archive.store(markedRecord(mark));
        archive.finishWrites(300);
        QCOMPARE(archive.unsavedCount(), 3);
        QCOMPARE(archive.waitingCount(), 0);
        const QString saved = dir.filePath(QStringLiteral("saved.db"));
        QString error;
        QVERIFY2(archive.saveUnsaved(saved, &error), qPrintable(error));
        QCOMPARE(archive.unsavedCount(), 0);
        const auto kept = entriesOf(saved);
        QCOMPARE(kept.size(), 3);
        QCOMPARE(kept[0].first, QStringLiteral("1"));
        QCOMPARE(kept[2].first, QStringLiteral("3"));
        lock.release();
        // Given again under its key, a record the outbox has already stays once.
        ArchiveOutbox outbox(path);
        QVERIFY(outbox.addWithKey(markedRecord(1), kept[0].second));
        QVERIFY(outbox.addWithKey(markedRecord(1), kept[0].second));
        QCOMPARE(outbox.countAll(), std::optional<int>(1));
    }

    // A server that lets the program log in and then never answers holds threads of the
    // archive for ever; the program's close still ends, in bounded time.
    void closingEndsWhenTheServerLetsInAndNeverAnswers()
    {
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            QSKIP("The Qt SQL driver QPSQL is not installed: scripts/deps.sh installs it");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        SilentServer server;
        constexpr int Port = 5999;
        QVERIFY(server.listen(dir.path(), Port));
        QProcess program;
        program.setProcessChannelMode(QProcess::ForwardedChannels);
        program.start(QCoreApplication::applicationFilePath(),
                      {QStringLiteral("--close-on"), dir.path(), QString::number(Port), dir.filePath(QStringLiteral("outbox.db"))});
        QVERIFY(program.waitForStarted());
        // Far beyond what the close waits for: only a close that waits without end fails.
        const bool ended = program.waitForFinished(60000);
        if (!ended) {
            program.kill();
            program.waitForFinished();
        }
        QVERIFY2(server.logins() > 0, "the program never reached the server");
        QVERIFY2(ended, "the program did not end after its close");
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), 0);
        // What was printed waits in the outbox for the next start.
        QCOMPARE(ArchiveOutbox(dir.filePath(QStringLiteral("outbox.db"))).count(), std::optional<int>(1));
    }
};

int main(int argc, char *argv[])
{
    if (argc == 5 && qstrcmp(argv[1], "--close-on") == 0) {
        QCoreApplication app(argc, argv);
        return closeOnServer(QString::fromLocal8Bit(argv[2]), QByteArray(argv[3]).toInt(), QString::fromLocal8Bit(argv[4]));
    }
    QCoreApplication app(argc, argv);
    tst_ArchiveOutbox test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_archiveoutbox.moc"
