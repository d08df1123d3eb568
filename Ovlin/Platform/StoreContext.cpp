#include "Platform/StoreContext.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Platform/StoreTables.h"

#include <QMetaObject>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>

#include <optional>

namespace ovlin {

using detail::StoreTables;

namespace {

std::size_t slot(RecordType type)
{
    return std::size_t(recordTypeIndex(type));
}

// Past this many dead entries a type's list is compacted right away rather than on the next fetch.
constexpr qsizetype compactionThreshold = 4096;
// The journal keeps this many changes; a reader further behind looks at everything.
constexpr std::size_t journalLimit = 8192;

} // namespace

// Prepared statements, made once per connection and reused by every save.
struct StoreContext::Statements
{
    enum Kind { insert, update, remove, kindCount };

    explicit Statements(const QSqlDatabase &connection) : database(connection) {}

    QSqlQuery *get(Kind kind, RecordType type, QString *errorDescription)
    {
        auto &query = cache[std::size_t(kind)][slot(type)];
        if (!query) {
            const QString sql = kind == insert   ? StoreTables::insertSql(type)
                                : kind == update ? StoreTables::updateSql(type)
                                                 : StoreTables::deleteSql(type);
            query = prepare(sql, errorDescription);
        }
        return query.get();
    }

    // The statements that delete the rows left in the file of a deleted owner of `type`.
    const std::vector<std::unique_ptr<QSqlQuery>> *rowsOfOwner(RecordType type, QString *errorDescription)
    {
        auto &queries = ownerRows[slot(type)];
        if (!queries) {
            std::vector<std::unique_ptr<QSqlQuery>> prepared;
            for (const QString &sql : StoreTables::deleteRowsOfOwnerSql(type)) {
                prepared.push_back(prepare(sql, errorDescription));
                if (!prepared.back())
                    return nullptr;
            }
            queries = std::move(prepared);
        }
        return &*queries;
    }

    std::unique_ptr<QSqlQuery> prepare(const QString &sql, QString *errorDescription) const
    {
        auto prepared = std::make_unique<QSqlQuery>(database);
        if (prepared->prepare(sql))
            return prepared;
        *errorDescription = StoreTables::errorText(prepared->lastError());
        return nullptr;
    }

    QSqlDatabase database;
    std::array<std::array<std::unique_ptr<QSqlQuery>, recordTypeCount>, kindCount> cache;
    std::array<std::optional<std::vector<std::unique_ptr<QSqlQuery>>>, recordTypeCount> ownerRows;
};

StoreContext::StoreContext(const QSqlDatabase &database, bool inMemory)
    : m_database(database), m_statements(std::make_unique<Statements>(database)), m_inMemory(inMemory)
{
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &StoreContext::retryFailedSave);
}

StoreContext::~StoreContext()
{
    // Records may outlive the store; they become free objects.
    for (auto &records : m_records) {
        for (const auto &record : records)
            record->m_context = nullptr;
    }
    for (const auto &record : m_pendingDeletes)
        record->m_context = nullptr;
    m_statements.reset();
}

bool StoreContext::load(QString *errorDescription)
{
    const QDateTime recentFrom = Days::addDays(Days::startOfDay(Clock::now()), -recentLogDays);
    const qint64 archiveBefore =
        recentFrom.isValid() ? recentFrom.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
    StoreTables::Loaded loaded;
    if (!StoreTables::load(m_database, loaded, archiveBefore, errorDescription))
        return false;
    for (std::size_t type = 0; type < std::size_t(recordTypeCount); ++type) {
        auto &records = loaded.records[type];
        for (const auto &record : records) {
            record->m_context = this;
            record->m_state = StoreRecord::State::persisted;
        }
        // The newest row may be one left in the file (a log written late for an earlier day).
        m_nextPersistentId[type] = loaded.largestRowKey[type] + 1;
        m_records[type] = std::move(records);
    }
    return true;
}

const std::vector<std::shared_ptr<StoreRecord>> &StoreContext::liveRecords(RecordType type) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto &records = m_records[slot(type)];
    if (m_garbage[slot(type)] > 0) {
        std::erase_if(records, [](const auto &record) { return record->isDeleted(); });
        m_garbage[slot(type)] = 0;
    }
    return records;
}

bool StoreContext::loadArchivedLogs(StoreRecord &owner, qint64 fromMs, qint64 toMs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (owner.context() != this || owner.isDeleted())
        return true;
    std::vector<std::shared_ptr<StoreRecord>> loaded;
    QString error;
    if (!StoreTables::loadKeptRows(m_database, owner, fromMs, toMs, loaded, &error)) {
        qCWarning(lcStore) << "Could not load older logs:" << error;
        return false;
    }
    if (loaded.empty())
        return true;
    RecordTypes types;
    for (const auto &record : loaded)
        types |= record->recordType();
    for (std::size_t type = 0; type < std::size_t(recordTypeCount); ++type) {
        const auto first = std::stable_partition(
            loaded.begin(), loaded.end(), [type](const auto &record) { return slot(record->recordType()) != type; });
        if (first != loaded.end())
            adoptLoaded(m_records[type], first, loaded.end());
        loaded.erase(first, loaded.end());
    }
    // Fetches see more records now: queries fetch afresh, without a change being announced.
    ++m_revision;
    m_journal.push_back(JournalEntry{m_revision, false, {}, Change::updated, types});
    return true;
}

template <class It> void StoreContext::adoptLoaded(std::vector<std::shared_ptr<StoreRecord>> &records, It from, It to)
{
    const auto middle = records.insert(records.end(), from, to);
    for (auto it = middle; it != records.end(); ++it) {
        (*it)->m_context = this;
        (*it)->m_state = StoreRecord::State::persisted;
    }
    // Store order is row-key order (queries rely on it); the loaded rows are older than most.
    std::inplace_merge(records.begin(), middle, records.end(),
                       [](const auto &a, const auto &b) { return a->m_persistentId < b->m_persistentId; });
}

void StoreContext::insert(const std::shared_ptr<StoreRecord> &record)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!record || record->m_context == this)
        return;
    if (record->m_context) {
        qCWarning(lcStore, "Refused to insert a record that belongs to another store");
        return;
    }
    if (record->m_state != StoreRecord::State::free) {
        qCWarning(lcStore, "Refused to insert a deleted record");
        return;
    }
    const RecordType type = record->recordType();
    record->m_context = this;
    record->m_state = StoreRecord::State::pendingInsert;
    record->m_persistentId = m_nextPersistentId[slot(type)]++;
    m_records[slot(type)].push_back(record);
    m_pendingInserts.push_back(record);
    touch(type, record.get(), Change::inserted);
    record->didInsert(*this);
}

void StoreContext::remove(const std::shared_ptr<StoreRecord> &record)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!record || record->isDeleted())
        return;
    if (record->m_context != this) {
        qCWarning(lcStore, "Refused to delete a record that is not in this store");
        return;
    }
    const RecordType type = record->recordType();
    const bool wasPendingInsert = record->m_state == StoreRecord::State::pendingInsert;
    // Flag first, so the cascade and relationship updates see the record as going away.
    record->m_state = StoreRecord::State::pendingDelete;
    const RecordTypes touched = record->willBeDeleted(*this);
    if (wasPendingInsert) {
        // Never written: nothing to delete in the file.
        std::erase(m_pendingInserts, record);
        record->m_state = StoreRecord::State::deleted;
        record->m_context = nullptr;
    } else {
        m_pendingDeletes.push_back(record);
    }
    record->m_dirty = false;
    if (++m_garbage[slot(type)] >= compactionThreshold)
        liveRecords(type);
    touch(touched | type, record.get(), Change::deleted);
}

void StoreContext::recordDidChange(StoreRecord &record, RecordTypes alsoTouched)
{
    if (record.m_state == StoreRecord::State::persisted && !record.m_dirty) {
        record.m_dirty = true;
        m_pendingUpdates.push_back(record.shared_from_this());
    }
    if (record.isDeleted())
        return;
    touch(alsoTouched | record.recordType(), &record, Change::updated);
}

bool StoreContext::hasChanges() const
{
    return !m_pendingInserts.empty() || !m_pendingUpdates.empty() || !m_pendingDeletes.empty();
}

bool StoreContext::save(QString *errorDescription)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QString error;
    if (savePending(&error))
        return true;
    qCWarning(lcStore) << "Save failed:" << error << "- the changes stay pending and are tried again";
    if (errorDescription)
        *errorDescription = error;
    return false;
}

bool StoreContext::retryFailedSave()
{
    OVLIN_ASSERT_MAIN_THREAD();
    QString error;
    if (savePending(&error))
        return true;
    qCDebug(lcStore) << "Saving what waits failed again:" << error;
    return false;
}

void StoreContext::setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest)
{
    // Within what a timer can wait.
    const auto clamp = [](std::chrono::milliseconds delay) {
        return std::clamp(delay, std::chrono::milliseconds(1), std::chrono::milliseconds(std::chrono::hours(24)));
    };
    m_firstRetryDelay = clamp(first);
    m_longestRetryDelay = std::max(m_firstRetryDelay, clamp(longest));
}

void StoreContext::scheduleRetry()
{
    auto delay = m_firstRetryDelay;
    for (int i = 1; i < m_failedSaves && delay < m_longestRetryDelay; ++i)
        delay *= 2;
    m_retryTimer.start(std::min(delay, m_longestRetryDelay));
}

bool StoreContext::savePending(QString *errorDescription)
{
    if (!hasChanges()) {
        // What waited was taken back: nothing is left to retry.
        m_retryTimer.stop();
        m_failedSaves = 0;
        return true;
    }
    if (!writePending(errorDescription)) {
        // The file may be locked by another program for a while; the change stays here (it is shown
        // already) and goes to the file once the lock is gone.
        ++m_failedSaves;
        scheduleRetry();
        return false;
    }
    m_retryTimer.stop();
    if (std::exchange(m_failedSaves, 0) > 0)
        qCInfo(lcStore) << "Saved the changes that waited";

    for (const auto &record : m_pendingInserts) {
        record->m_state = StoreRecord::State::persisted;
        record->m_dirty = false;
    }
    for (const auto &record : m_pendingUpdates)
        record->m_dirty = false;
    for (const auto &record : m_pendingDeletes) {
        record->m_state = StoreRecord::State::deleted;
        record->m_context = nullptr;
    }
    m_pendingInserts.clear();
    m_pendingUpdates.clear();
    m_pendingDeletes.clear();

    ++m_revision;
    m_savedToAnnounce |= m_unsavedTypes;
    m_unsavedTypes = {};
    scheduleNotifications();
    return true;
}

QStringList StoreContext::describeChanges() const
{
    QStringList lines;
    for (const auto &record : m_pendingDeletes)
        lines.append(StoreTables::describe(*record, QStringLiteral("deleted")));
    for (const auto &record : m_pendingInserts)
        lines.append(StoreTables::describe(*record, QStringLiteral("inserted")));
    for (const auto &record : m_pendingUpdates) {
        if (record->m_state == StoreRecord::State::persisted)
            lines.append(StoreTables::describe(*record, QStringLiteral("updated")));
    }
    return lines;
}

bool StoreContext::mayWrite(QString *errorDescription)
{
    const bool lost = m_writeGuard && !m_writeGuard(errorDescription);
    if (lost != m_fileLost) {
        m_fileLost = lost;
        if (lost)
            qCWarning(lcStore).noquote()
                << *errorDescription << "Nothing is written to what is there now; changes wait until the file is back.";
        else
            qCInfo(lcStore) << "The store file is back; saving again";
        QMetaObject::invokeMethod(
            this, [this, lost] { Q_EMIT fileLostChanged(lost); }, Qt::QueuedConnection);
    }
    return !lost;
}

bool StoreContext::writePending(QString *errorDescription)
{
    if (!mayWrite(errorDescription))
        return false;
    QSqlQuery control(m_database);
    if (!control.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        *errorDescription = StoreTables::errorText(control.lastError());
        return false;
    }

    // Each statement binds the row key and the fields in its own placeholder order.
    const auto run = [&](Statements::Kind kind, const StoreRecord &record) {
        QSqlQuery *query = m_statements->get(kind, record.recordType(), errorDescription);
        if (!query)
            return false;
        switch (kind) {
        case Statements::insert:
            query->bindValue(0, record.m_persistentId);
            StoreTables::bindFields(*query, 1, record);
            break;
        case Statements::update:
            query->bindValue(StoreTables::bindFields(*query, 0, record), record.m_persistentId);
            break;
        case Statements::remove:
        case Statements::kindCount: query->bindValue(0, record.m_persistentId); break;
        }
        if (!query->exec()) {
            *errorDescription = StoreTables::errorText(query->lastError());
            return false;
        }
        return true;
    };

    bool ok = true;
    for (std::size_t i = 0; ok && i < m_pendingDeletes.size(); ++i)
        ok = run(Statements::remove, *m_pendingDeletes[i]);
    for (std::size_t i = 0; ok && i < m_pendingInserts.size(); ++i)
        ok = run(Statements::insert, *m_pendingInserts[i]);
    for (std::size_t i = 0; ok && i < m_pendingUpdates.size(); ++i) {
        if (m_pendingUpdates[i]->m_state == StoreRecord::State::persisted)
            ok = run(Statements::update, *m_pendingUpdates[i]);
    }
    // A deleted owner's rows that were never loaded go by its row key; after the updates, so a member
    // that moved to another owner is already written with its new owner.
    for (std::size_t i = 0; ok && i < m_pendingDeletes.size(); ++i) {
        const StoreRecord &owner = *m_pendingDeletes[i];
        const auto *queries = m_statements->rowsOfOwner(owner.recordType(), errorDescription);
        ok = queries != nullptr;
        for (std::size_t q = 0; ok && queries && q < queries->size(); ++q) {
            QSqlQuery &query = *(*queries)[q];
            query.bindValue(0, owner.m_persistentId);
            if (!query.exec()) {
                *errorDescription = StoreTables::errorText(query.lastError());
                ok = false;
            }
        }
    }
    if (ok && !control.exec(QStringLiteral("COMMIT"))) {
        *errorDescription = StoreTables::errorText(control.lastError());
        ok = false;
    }
    if (!ok) {
        QSqlQuery rollback(m_database);
        if (!rollback.exec(QStringLiteral("ROLLBACK")))
            qCDebug(lcStore) << "Rollback after a failed save:" << StoreTables::errorText(rollback.lastError());
    }
    return ok;
}

void StoreContext::touch(RecordTypes types, StoreRecord *record, Change change)
{
    ++m_revision;
    RecordTypes linked = types;
    if (record) {
        m_journal.push_back(JournalEntry{m_revision, true, record->weak_from_this(), change, {}});
        linked &= ~RecordTypes(record->recordType());
    }
    if (linked)
        m_journal.push_back(JournalEntry{m_revision, false, {}, Change::updated, linked});
    if (m_journal.size() > journalLimit) {
        // Drop the older half at once, so trimming stays rare.
        while (m_journal.size() > journalLimit / 2) {
            m_journalFloor = m_journal.front().revision;
            m_journal.pop_front();
        }
    }
    m_unsavedTypes |= types;
    m_changedToAnnounce |= types;
    scheduleNotifications();
}

void StoreContext::scheduleNotifications()
{
    if (m_notificationScheduled)
        return;
    m_notificationScheduled = true;
    QMetaObject::invokeMethod(this, &StoreContext::deliverNotifications, Qt::QueuedConnection);
}

bool StoreContext::changesSince(quint64 revision, std::vector<ChangedRecord> *changes,
                                RecordTypes *relationshipTypes) const
{
    if (revision < m_journalFloor)
        return false;
    // Entries are in revision order: find the first one after `revision` from the back.
    auto it = m_journal.end();
    while (it != m_journal.begin() && std::prev(it)->revision > revision)
        --it;
    for (; it != m_journal.end(); ++it) {
        if (it->hasRecord) {
            if (changes)
                changes->push_back(ChangedRecord{it->record.lock(), it->change});
        } else if (relationshipTypes) {
            *relationshipTypes |= it->types;
        }
    }
    return true;
}

void StoreContext::deliverNotifications()
{
    m_notificationScheduled = false;
    const RecordTypes changed = m_changedToAnnounce;
    const RecordTypes saved = m_savedToAnnounce;
    m_changedToAnnounce = {};
    m_savedToAnnounce = {};
    QList<std::shared_ptr<StoreRecord>> records;
    if (changed) {
        std::vector<ChangedRecord> changes;
        if (changesSince(m_deliveredRevision, &changes, nullptr)) {
            QSet<const StoreRecord *> seen;
            for (const ChangedRecord &change : changes) {
                if (change.record && !seen.contains(change.record.get())) {
                    seen.insert(change.record.get());
                    records.append(change.record);
                }
            }
        }
    }
    m_deliveredRevision = m_revision;
    if (changed) {
        Q_EMIT objectsChanged(changed);
        Q_EMIT recordsChanged(records);
    }
    if (saved)
        Q_EMIT didSave(saved);
}

} // namespace ovlin
