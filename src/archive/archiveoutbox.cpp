#include "archiveoutbox.h"

#include "archivetexts.h"
#include "recordslocation.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>
#include <QUuid>
#include <QVariant>
#include <atomic>

namespace {

QString nextOutboxConnection()
{
    static std::atomic<int> counter{0};
    return QStringLiteral("bench-outbox-%1").arg(++counter);
}

QString queryError(const QSqlQuery &query)
{
    const QSqlError error = query.lastError();
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

const QString OutboxTable = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS outbox (seq INTEGER PRIMARY KEY AUTOINCREMENT, entry_key TEXT NOT NULL UNIQUE, "
    "stored_at BIGINT NOT NULL, protocol_number TEXT NOT NULL, serial_number TEXT NOT NULL, type TEXT NOT NULL, "
    "firm TEXT NOT NULL, fields TEXT NOT NULL, results TEXT NOT NULL, sheet1 BLOB NOT NULL, sheet2 BLOB NOT NULL, "
    "problem TEXT NOT NULL DEFAULT '', aside INTEGER NOT NULL DEFAULT 0, judgement TEXT NOT NULL DEFAULT '')");

const QString EntryColumns = QStringLiteral("seq, entry_key, stored_at, protocol_number, serial_number, type, firm, "
                                            "fields, results, sheet1, sheet2, problem");

QString nonNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

ArchiveOutbox::Entry entryOf(const QSqlQuery &query)
{
    ArchiveOutbox::Entry found;
    found.seq = query.value(0).toLongLong();
    found.key = query.value(1).toString();
    found.record.moment = QDateTime::fromMSecsSinceEpoch(query.value(2).toLongLong(), Qt::UTC);
    found.record.protocolNumber = query.value(3).toString();
    found.record.serialNumber = query.value(4).toString();
    found.record.type = query.value(5).toString();
    found.record.firm = query.value(6).toString();
    found.record.fields = ArchiveTexts::fromJson(query.value(7).toString());
    found.record.results = ArchiveTexts::fromJson(query.value(8).toString());
    found.record.sheet1 = query.value(9).toByteArray();
    found.record.sheet2 = query.value(10).toByteArray();
    found.problem = query.value(11).toString();
    // An entry queued before judgements travelled has none: it goes as "не оценивалось".
    found.record.judgement = ArchiveTexts::judgementFromJson(query.value(12).toString());
    return found;
}

} // namespace

ArchiveOutbox::ArchiveOutbox(const QString &path, Access access, int busyTimeoutMs)
    : m_path(path), m_access(access), m_busyTimeoutMs(busyTimeoutMs), m_connectionName(nextOutboxConnection())
{
}

ArchiveOutbox::~ArchiveOutbox()
{
    release();
}

QString ArchiveOutbox::defaultPath()
{
    return recordFilePath(QStringLiteral("varnek-outbox.db"));
}

// After a failure, while its statement may still be about: the next use opens afresh.
void ArchiveOutbox::close()
{
    if (QSqlDatabase::contains(m_connectionName))
        QSqlDatabase::database(m_connectionName, false).close();
    m_open = false;
}

void ArchiveOutbox::release()
{
    close();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool ArchiveOutbox::open()
{
    if (m_open)
        return true;
    release();
    const bool readOnly = m_access == Access::ReadOnly;
    const QString place = QStringLiteral("Очередь отправки на сервер %1").arg(QDir::toNativeSeparators(m_path));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    db.setDatabaseName(m_path);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(m_busyTimeoutMs)
                         + (readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    if (!db.open()) {
        m_lastError = place + QStringLiteral(" не открывается: ") + db.lastError().text().trimmed();
        close();
        return false;
    }
    QSqlQuery query(db);
    // Only a file that is empty or holds the outbox's own table is written to.
    if (!query.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'"))) {
        m_lastError = place + QStringLiteral(" не читается: ") + queryError(query);
        close();
        return false;
    }
    QStringList tables;
    while (query.next())
        tables.append(query.value(0).toString());
    tables.removeAll(QStringLiteral("sqlite_sequence"));
    if (tables != QStringList{QStringLiteral("outbox")} && (readOnly || !tables.isEmpty())) {
        m_lastError = place + QStringLiteral(" не является очередью архива этой программы.");
        close();
        return false;
    }
    if (readOnly) {
        // A file saved by an older version has no judgements: its records read as not judged.
        QSqlQuery columns(db);
        m_hasJudgement = false;
        if (columns.exec(QStringLiteral("PRAGMA table_info(outbox)")))
            while (columns.next())
                m_hasJudgement = m_hasJudgement || columns.value(1).toString() == QStringLiteral("judgement");
        m_open = true;
        return true;
    }
    // A record in the outbox is the only copy of a printed protocol: every commit reaches the disk.
    if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.exec(QStringLiteral("PRAGMA synchronous=FULL"))
        || !query.exec(OutboxTable)) {
        m_lastError = place + QStringLiteral(" не открывается: ") + queryError(query);
        close();
        return false;
    }
    if (!addAsideColumn()) {
        close();
        return false;
    }
    m_open = true;
    return true;
}

// An outbox of an earlier version has no place for the mark of a record set aside, nor
// for the judgement.
bool ArchiveOutbox::addAsideColumn()
{
    QSqlDatabase db = QSqlDatabase::database(m_connectionName, false);
    const auto hasColumn = [&db](const QString &name) {
        QSqlQuery columns(db);
        if (!columns.exec(QStringLiteral("PRAGMA table_info(outbox)")))
            return false;
        while (columns.next())
            if (columns.value(1).toString() == name)
                return true;
        return false;
    };
    QSqlQuery query(db);
    // Another program on the same folder may have added one meanwhile.
    const auto added = [&](const QString &name, const QString &definition) {
        return hasColumn(name) || query.exec(QStringLiteral("ALTER TABLE outbox ADD COLUMN %1 %2").arg(name, definition))
            || hasColumn(name);
    };
    if (added(QStringLiteral("aside"), QStringLiteral("INTEGER NOT NULL DEFAULT 0"))
        && added(QStringLiteral("judgement"), QStringLiteral("TEXT NOT NULL DEFAULT ''")))
        return true;
    m_lastError = QStringLiteral("Очередь отправки на сервер %1 не открывается: %2")
                      .arg(QDir::toNativeSeparators(m_path), queryError(query));
    return false;
}

QString ArchiveOutbox::entryColumns() const
{
    return EntryColumns + (m_hasJudgement ? QStringLiteral(", judgement") : QStringLiteral(", '' AS judgement"));
}

QString ArchiveOutbox::newKey()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

bool ArchiveOutbox::add(const ArchiveRecord &record, QString *key)
{
    const QString entryKey = newKey();
    if (!addWithKey(record, entryKey))
        return false;
    if (key)
        *key = entryKey;
    return true;
}

bool ArchiveOutbox::addWithKey(const ArchiveRecord &record, const QString &entryKey)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(QStringLiteral("INSERT INTO outbox (entry_key, stored_at, protocol_number, serial_number, type, firm, "
                                 "fields, results, sheet1, sheet2, judgement) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                                 // A record given again under its key is there already.
                                 "ON CONFLICT (entry_key) DO NOTHING"));
    query.addBindValue(entryKey);
    query.addBindValue(record.moment.isValid() ? record.moment.toMSecsSinceEpoch()
                                               : QDateTime::currentMSecsSinceEpoch());
    query.addBindValue(nonNull(record.protocolNumber));
    query.addBindValue(nonNull(record.serialNumber));
    query.addBindValue(nonNull(record.type));
    query.addBindValue(nonNull(record.firm));
    query.addBindValue(ArchiveTexts::toJson(record.fields));
    query.addBindValue(ArchiveTexts::toJson(record.results));
    query.addBindValue(record.sheet1.isNull() ? QByteArray("") : record.sheet1);
    query.addBindValue(record.sheet2.isNull() ? QByteArray("") : record.sheet2);
    query.addBindValue(nonNull(ArchiveTexts::judgementToJson(record.judgement)));
    // One statement is one transaction.
    if (!query.exec()) {
        m_lastError = QStringLiteral("Протокол не записан в очередь отправки на сервер %1: %2")
                          .arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return false;
    }
    return true;
}

bool ArchiveOutbox::first(std::optional<Entry> *entry)
{
    entry->reset();
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM outbox WHERE aside = 0 ORDER BY seq LIMIT 1").arg(entryColumns()))) {
        m_lastError = QStringLiteral("Очередь отправки на сервер %1 не читается: %2")
                          .arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return false;
    }
    if (query.next())
        *entry = entryOf(query);
    return true;
}

bool ArchiveOutbox::next(qint64 seq, std::optional<Entry> *entry)
{
    entry->reset();
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT %1 FROM outbox WHERE seq > ? ORDER BY seq LIMIT 1").arg(entryColumns()));
    query.addBindValue(seq);
    if (!query.exec()) {
        m_lastError = QStringLiteral("Файл %1 не читается: %2").arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return false;
    }
    if (query.next())
        *entry = entryOf(query);
    return true;
}

bool ArchiveOutbox::change(const QString &statement, const QVariantList &values)
{
    if (!open())
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.prepare(statement);
    for (const QVariant &value : values)
        query.addBindValue(value);
    if (!query.exec()) {
        m_lastError = QStringLiteral("Очередь отправки на сервер %1 не изменяется: %2")
                          .arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return false;
    }
    return true;
}

bool ArchiveOutbox::remove(const QString &key)
{
    return change(QStringLiteral("DELETE FROM outbox WHERE entry_key = ?"), {key});
}

bool ArchiveOutbox::setProblem(const QString &key, const QString &problem)
{
    return change(QStringLiteral("UPDATE outbox SET problem = ? WHERE entry_key = ?"), {nonNull(problem), key});
}

bool ArchiveOutbox::setAside(const QString &key, const QString &problem)
{
    return change(QStringLiteral("UPDATE outbox SET problem = ?, aside = 1 WHERE entry_key = ?"), {nonNull(problem), key});
}

bool ArchiveOutbox::retrySetAside()
{
    return change(QStringLiteral("UPDATE outbox SET problem = '', aside = 0 WHERE aside <> 0"), {});
}

std::optional<QList<OutboxSetAside>> ArchiveOutbox::setAsideEntries()
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT entry_key, stored_at, protocol_number, serial_number, type, problem "
                                   "FROM outbox WHERE aside <> 0 ORDER BY seq"))) {
        m_lastError = QStringLiteral("Очередь отправки на сервер %1 не читается: %2")
                          .arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return std::nullopt;
    }
    QList<OutboxSetAside> list;
    while (query.next()) {
        OutboxSetAside aside;
        aside.key = query.value(0).toString();
        aside.moment = QDateTime::fromMSecsSinceEpoch(query.value(1).toLongLong(), Qt::UTC);
        aside.protocolNumber = query.value(2).toString();
        aside.serialNumber = query.value(3).toString();
        aside.type = query.value(4).toString();
        aside.problem = query.value(5).toString();
        list.append(std::move(aside));
    }
    return list;
}

std::optional<int> ArchiveOutbox::countWhere(const QString &condition)
{
    if (!open())
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("SELECT count(*) FROM outbox") + condition) || !query.next()) {
        m_lastError = QStringLiteral("Очередь отправки на сервер %1 не читается: %2")
                          .arg(QDir::toNativeSeparators(m_path), queryError(query));
        close();
        return std::nullopt;
    }
    return query.value(0).toInt();
}

std::optional<int> ArchiveOutbox::count()
{
    return countWhere(QStringLiteral(" WHERE aside = 0"));
}

std::optional<int> ArchiveOutbox::countAll()
{
    return countWhere(QString());
}

// ---- ArchiveSender ----

ArchiveSender::ArchiveSender(TargetMaker makeTarget, const QString &outboxPath, QObject *parent)
    : QObject(parent), m_makeTarget(std::move(makeTarget)), m_outboxPath(outboxPath), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, &ArchiveSender::send);
}

ArchiveSender::~ArchiveSender() = default;

void ArchiveSender::poke()
{
    if (m_poked.exchange(true))
        return;
    QMetaObject::invokeMethod(this, [this] {
        m_poked = false;
        send();
    }, Qt::QueuedConnection);
}

void ArchiveSender::report(const QString &problem)
{
    const std::optional<int> count = m_outbox->count();
    emit waiting(count.value_or(-1), problem);
}

int ArchiveSender::send()
{
    // Made here, so the connections belong to the thread that sends.
    if (!m_server)
        m_server = m_makeTarget();
    if (!m_outbox)
        m_outbox = std::make_unique<ArchiveOutbox>(m_outboxPath, ArchiveOutbox::Access::ReadWrite, ArchiveOutbox::WorkerBusyTimeoutMs);
    m_retry->stop();
    int sentCount = 0;
    while (!m_stop) {
        std::optional<ArchiveOutbox::Entry> entry;
        if (!m_outbox->first(&entry)) {
            emit waiting(-1, m_outbox->lastError());
            m_retry->start();
            return sentCount;
        }
        if (!entry) {
            emit waiting(0, QString());
            return sentCount;
        }
        const OutboxTarget::Answer answer = m_server->take(entry->record, entry->key);
        if (!answer.ok) {
            // Refused for what it holds, the record waits aside and the others go on.
            if (answer.refusedRecord) {
                if (!m_outbox->setAside(entry->key, answer.problem)) {
                    emit waiting(-1, m_outbox->lastError());
                    m_retry->start();
                    return sentCount;
                }
                report(QString());
                continue;
            }
            // A server that refuses the record for good keeps it waiting, with the reason at the record.
            if (answer.refusedForGood)
                m_outbox->setProblem(entry->key, answer.problem);
            report(answer.problem);
            m_retry->start();
            return sentCount;
        }
        // Cut short here, the record stays queued and its key tells the server it has it.
        if (!m_outbox->remove(entry->key)) {
            emit waiting(-1, m_outbox->lastError());
            m_retry->start();
            return sentCount;
        }
        ++sentCount;
        emit sent(answer.id, answer.stored);
        report(QString());
    }
    return sentCount;
}

// ---- OutboxWriter ----

OutboxWriter::OutboxWriter(const QString &outboxPath, QObject *parent)
    : QObject(parent), m_outboxPath(outboxPath), m_retry(new QTimer(this))
{
    m_retry->setSingleShot(true);
    m_retry->setInterval(RetryMs);
    connect(m_retry, &QTimer::timeout, this, &OutboxWriter::work);
}

OutboxWriter::~OutboxWriter() = default;

void OutboxWriter::add(OutboxRecord record)
{
    {
        std::lock_guard lock(m_shared.mutex);
        if (m_shared.finished)
            return;
        m_shared.queue.push_back(std::move(record));
        // A write that failed is tried again by its timer, not by every new record.
        if (m_shared.scheduled || m_shared.failing)
            return;
        m_shared.scheduled = true;
    }
    QMetaObject::invokeMethod(this, &OutboxWriter::work, Qt::QueuedConnection);
}

int OutboxWriter::pendingCount() const
{
    std::lock_guard lock(m_shared.mutex);
    return int(m_shared.queue.size());
}

bool OutboxWriter::isFailing() const
{
    std::lock_guard lock(m_shared.mutex);
    return m_shared.failing;
}

void OutboxWriter::work()
{
    if (!m_outbox)
        m_outbox = std::make_unique<ArchiveOutbox>(m_outboxPath, ArchiveOutbox::Access::ReadWrite, ArchiveOutbox::WorkerBusyTimeoutMs);
    for (;;) {
        OutboxRecord next;
        {
            std::lock_guard lock(m_shared.mutex);
            if (m_shared.finished || m_shared.queue.empty()) {
                m_shared.scheduled = false;
                return;
            }
            next = m_shared.queue.front();
            m_shared.writing = true;
        }
        const bool ok = m_outbox->addWithKey(next.record, next.key);
        {
            std::lock_guard lock(m_shared.mutex);
            m_shared.writing = false;
            m_shared.failing = !ok;
            // finish() may have taken the queue meanwhile.
            if (ok && !m_shared.queue.empty() && m_shared.queue.front().key == next.key)
                m_shared.queue.pop_front();
            if (!ok)
                m_shared.scheduled = false;
        }
        m_shared.done.notify_all();
        if (!ok) {
            emit failed(m_outbox->lastError());
            m_retry->start();
            return;
        }
        {
            // Once finish() has returned, the sender may be gone: it is woken only before, and
            // finish() waits for a wake under way.
            std::lock_guard lock(m_shared.mutex);
            if (m_shared.finished)
                return;
            if (m_onWritten)
                m_onWritten();
        }
        emit written();
    }
}

QList<OutboxRecord> OutboxWriter::finish(int msecs)
{
    std::unique_lock lock(m_shared.mutex);
    m_shared.done.wait_for(lock, std::chrono::milliseconds(msecs),
                           [this] { return m_shared.queue.empty() || (m_shared.failing && !m_shared.writing); });
    m_shared.finished = true;
    QList<OutboxRecord> left(m_shared.queue.begin(), m_shared.queue.end());
    m_shared.queue.clear();
    return left;
}
