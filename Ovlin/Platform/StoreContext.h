#pragma once

#include "Platform/StoreRecord.h"

#include <QList>
#include <QObject>
#include <QSqlDatabase>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <array>
#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <vector>

class QSqlQuery;

namespace ovlin {

// The store's one working context (main thread only). Everything stored is loaded when the container
// opens and kept here, one shared object per row (an identity map); fetches run in memory and return
// those same objects. A table may leave its rows dated before the last `recentLogDays` days in the file,
// listed compactly in their owner, to become objects only when asked for (loadArchivedLogs()), so memory
// does not grow with the length of the history; fetches see the rows held as objects. Inserts, deletes and field
// changes stay pending until save(), which writes exactly the changed rows in one transaction.
//
// Notifications are queued and coalesced: objectsChanged() follows in-memory changes, didSave() a
// successful save; each fires at most once per turn of the event loop, after the current action has
// finished, never from inside the call that caused it.
class StoreContext : public QObject
{
    Q_OBJECT

public:
    template <class T> using Predicate = std::function<bool(const T &)>;
    template <class T> using LessThan = std::function<bool(const T &, const T &)>;

    ~StoreContext() override;

    // Adds a free record (and the free records related to it). Inserting a record that is already
    // here does nothing; records of another context or deleted ones are refused with a warning.
    void insert(const std::shared_ptr<StoreRecord> &record);
    // Deletes a record: an owner takes the members of its cascading relationships along; a member only
    // leaves its owner's list. The record is flagged deleted at once and stays valid for whoever holds it.
    void remove(const std::shared_ptr<StoreRecord> &record);
    // Writes every pending change in one transaction. On failure nothing is written, the changes stay
    // pending and the error text goes to `errorDescription`; they are tried again by the next save and,
    // while they wait, by the retry timer.
    bool save(QString *errorDescription = nullptr);
    bool hasChanges() const;

    // Runs only while changes wait after a failed save: first after `firstRetryDelay`, then at doubling
    // intervals up to `longestRetryDelay`.
    const QTimer &saveRetryTimer() const { return m_retryTimer; }
    // The retry timer's handler: saves what waits (logging a failure only at debug level). True when
    // nothing waits any more; the timer is started again otherwise.
    bool retryFailedSave();
    static constexpr std::chrono::milliseconds firstRetryDelay{1000};
    static constexpr std::chrono::milliseconds longestRetryDelay{30000};
    void setRetryDelays(std::chrono::milliseconds first, std::chrono::milliseconds longest);

    // Whether the last save found that the store's file is no longer the one opened (another program
    // removed, renamed or replaced it): nothing is written then, and the changes wait as for a lock,
    // until the file is back or the store closes.
    bool isFileLost() const { return m_fileLost; }

    // One line per pending change, naming the record and the values it would be written with, for the
    // log ("<table> 12 inserted: <column>='…', …").
    QStringList describeChanges() const;

    // Grows on every insert, delete, field change and save; caches can key on it.
    quint64 revision() const { return m_revision; }

    // How a record changed.
    enum class Change : quint8 { inserted, updated, deleted };
    struct ChangedRecord
    {
        std::shared_ptr<StoreRecord> record; // null when nothing holds the record any more
        Change change = Change::updated;
    };
    // Every change made after `revision`, oldest first (a record appears once per change), and the record
    // types whose relationships changed without a record of theirs changing (the other end of a link).
    // False when the context no longer remembers that far back: then anything may have changed.
    bool changesSince(quint64 revision, std::vector<ChangedRecord> *changes, RecordTypes *relationshipTypes) const;

    // The live records of type T (pending inserts included, deleted ones left out) that satisfy
    // `predicate`, in store order, or stably sorted by `lessThan`.
    template <class T>
    QList<std::shared_ptr<T>> fetch(const Predicate<T> &predicate = {}, const LessThan<T> &lessThan = {}) const
    {
        const auto &all = liveRecords(T::staticRecordType);
        QList<std::shared_ptr<T>> result;
        if (!predicate)
            result.reserve(qsizetype(all.size()));
        for (const auto &record : all) {
            if (record->isDeleted())
                continue;
            const T &typed = static_cast<const T &>(*record);
            if (!predicate || predicate(typed))
                result.append(std::static_pointer_cast<T>(record));
        }
        if (lessThan) {
            std::stable_sort(result.begin(), result.end(),
                             [&lessThan](const auto &a, const auto &b) { return lessThan(*a, *b); });
        }
        return result;
    }

    template <class T> qsizetype fetchCount(const Predicate<T> &predicate = {}) const
    {
        qsizetype count = 0;
        for (const auto &record : liveRecords(T::staticRecordType)) {
            if (!record->isDeleted() && (!predicate || predicate(static_cast<const T &>(*record))))
                ++count;
        }
        return count;
    }

    bool isInMemory() const { return m_inMemory; }

    // Logs scheduled on this many calendar days before today (and later) are loaded when the store opens:
    // the grace bookkeeping's week, so that under a steady clock only taking back an older skip reads the
    // file again. The engine's answers never depend on it (its index covers archived logs too).
    static constexpr int recentLogDays = 8;
    // Turns the rows of `owner` left in the file and dated in [fromMs, toMs) into objects (one per row, as
    // if they had been loaded at open) and adds them to its members in store order. Nothing stored changes
    // and nothing is announced. False (with a warning) when the file cannot be read.
    bool loadArchivedLogs(StoreRecord &owner, qint64 fromMs = std::numeric_limits<qint64>::min(),
                          qint64 toMs = std::numeric_limits<qint64>::max());

Q_SIGNALS:
    void objectsChanged(ovlin::RecordTypes types);
    // Right after objectsChanged: the records inserted, changed or deleted since the previous
    // notification, each once. Empty when there were too many to remember (then look at everything).
    void recordsChanged(const QList<std::shared_ptr<ovlin::StoreRecord>> &records);
    void didSave(ovlin::RecordTypes types);
    // isFileLost() changed (queued, like the others).
    void fileLostChanged(bool lost);

private:
    friend class StoreContainer;
    friend class StoreRecord;
    struct Statements;

    StoreContext(const QSqlDatabase &database, bool inMemory);
    bool load(QString *errorDescription);
    void recordDidChange(StoreRecord &record, RecordTypes alsoTouched);
    void adopt(const std::shared_ptr<StoreRecord> &record, StoreRecord::State state, qint64 persistentId);
    const std::vector<std::shared_ptr<StoreRecord>> &liveRecords(RecordType type) const;
    // Adds records read later from the file to `records`, keeping store order.
    template <class It> void adoptLoaded(std::vector<std::shared_ptr<StoreRecord>> &records, It from, It to);
    // Asked before each write: whether the file may be written, and if not, why.
    void setWriteGuard(std::function<bool(QString *errorDescription)> guard) { m_writeGuard = std::move(guard); }
    bool mayWrite(QString *errorDescription);
    bool writePending(QString *errorDescription);
    // Writes the pending changes and, on success, marks them saved and announces the save. Logs nothing.
    bool savePending(QString *errorDescription);
    void scheduleRetry();
    void touch(RecordTypes types, StoreRecord *record = nullptr, Change change = Change::updated);
    void scheduleNotifications();
    void deliverNotifications();

    QSqlDatabase m_database;
    std::unique_ptr<Statements> m_statements;
    bool m_inMemory = false;

    // Every record of each type in store order; deleted ones are dropped lazily.
    mutable std::array<std::vector<std::shared_ptr<StoreRecord>>, recordTypeCount> m_records;
    mutable std::array<qsizetype, recordTypeCount> m_garbage{};
    std::array<qint64, recordTypeCount> m_nextPersistentId = [] {
        std::array<qint64, recordTypeCount> first{};
        first.fill(1);
        return first;
    }();

    std::vector<std::shared_ptr<StoreRecord>> m_pendingInserts;
    std::vector<std::shared_ptr<StoreRecord>> m_pendingUpdates;
    std::vector<std::shared_ptr<StoreRecord>> m_pendingDeletes;
    RecordTypes m_unsavedTypes;

    QTimer m_retryTimer;
    std::chrono::milliseconds m_firstRetryDelay = firstRetryDelay;
    std::chrono::milliseconds m_longestRetryDelay = longestRetryDelay;
    // Failed attempts since the last successful save.
    int m_failedSaves = 0;
    std::function<bool(QString *)> m_writeGuard;
    bool m_fileLost = false;

    quint64 m_revision = 0;

    struct JournalEntry
    {
        quint64 revision = 0;
        bool hasRecord = false;
        std::weak_ptr<StoreRecord> record; // empty: only `types` had a relationship change
        Change change = Change::updated;
        RecordTypes types;
    };
    std::deque<JournalEntry> m_journal;
    // Changes up to this revision are forgotten.
    quint64 m_journalFloor = 0;
    quint64 m_deliveredRevision = 0;
    RecordTypes m_changedToAnnounce;
    RecordTypes m_savedToAnnounce;
    bool m_notificationScheduled = false;
};

} // namespace ovlin
