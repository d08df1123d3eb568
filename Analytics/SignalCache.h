#pragma once

#include "Analytics/LogHandler.h"
#include "Analytics/SerialQueue.h"
#include "Analytics/SignalPostBody.h"

#include <QList>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace analytics {

// The records composed but not yet delivered, first in first out, with the cache file as their
// durable copy. The file holds every record that is waiting or in flight; it is rewritten atomically
// whenever that changes (at most about once a second) and at termination, and it is kept, not
// deleted, when read at start. A process killed at any moment thus loses at most the last second of
// records; a record may be sent twice, never lost.
//
// There is one cache per file in the process: a manager that replaces another shares its cache, so
// two caches never overwrite each other's file. Safe from any thread.
class SignalCache
{
public:
    static constexpr int maximumNumberOfSignalsToPopAtOnce = 100;
    // A larger cache file is not read (tens of thousands of records).
    static constexpr qint64 maximumFileBytes = 64 * 1024 * 1024;

    // A popped batch: in flight until finished.
    struct Batch
    {
        quint64 id = 0;
        QList<SignalPostBody> records;
    };

    // The cache of `filePath`, loaded from the file when no cache of it is alive. An empty path keeps
    // records in memory only.
    static std::shared_ptr<SignalCache> open(const std::optional<LogHandler> &logHandler,
                                             const QString &filePath = defaultFilePath());
    // $XDG_CACHE_HOME/Ovlin/analyticssignalcache.
    static QString defaultFilePath();

    ~SignalCache();
    SignalCache(const SignalCache &) = delete;
    SignalCache &operator=(const SignalCache &) = delete;

    void push(const SignalPostBody &record);
    void push(const QList<SignalPostBody> &records);
    // For a record whose loss or repetition matters, kept apart from the usual once-a-second writes:
    // adds it unless a held record (waiting or in flight) is the same by `sameAs`, writes the file at
    // once, and runs `stored` once: when the file holds the record, before any later write (which could
    // drop it once delivered), or when a batch holding it is delivered first, before the record leaves
    // the cache. `stored` runs at once without a file; when the file cannot be written, only a delivery
    // runs it.
    void pushDurably(const SignalPostBody &record, const std::function<bool(const SignalPostBody &)> &sameAs,
                     const std::function<void()> &stored);
    // Removes the oldest waiting records, at most 100, and holds them as in flight.
    Batch pop();
    // A delivered batch is dropped; any other goes back after the records that arrived meanwhile.
    void finish(quint64 batchId, bool delivered);

    // Waiting records (not those in flight).
    int count() const;
    int inFlightCount() const;
    QList<SignalPostBody> waitingRecords() const;

    // Writes the file now (termination).
    void backupCache();

    QString filePath() const { return m_filePath; }
    QString cacheFileURL() const;

private:
    SignalCache(QString filePath, std::optional<LogHandler> logHandler);

    void loadCache();
    // `records` without the values the file cannot hold (each drop logged).
    QList<SignalPostBody> storable(QList<SignalPostBody> records) const;
    void changed();
    // Writes waiting and in-flight records; returns whether the file was written.
    bool writeFile(LogHandler::LogLevel successLevel);
    bool writeFileLocked(LogHandler::LogLevel successLevel); // m_fileMutex held
    QList<SignalPostBody> allRecordsLocked() const;
    std::optional<LogHandler> currentLogHandler() const;

    const QString m_filePath;

    mutable std::mutex m_mutex;
    std::optional<LogHandler> m_logHandler;
    QList<SignalPostBody> m_cachedSignals;
    std::map<quint64, QList<SignalPostBody>> m_inFlight;
    // Durable records waiting for their delivery: from their push until the file holds them, and for
    // good when it cannot.
    struct DeliveryWait
    {
        quint64 id = 0;
        std::function<bool(const SignalPostBody &)> sameAs;
        std::function<void()> delivered;
    };
    std::vector<DeliveryWait> m_deliveryWaits;
    quint64 m_nextBatchId = 1;
    quint64 m_nextWaitId = 1;
    bool m_dirty = false;
    bool m_writeScheduled = false;
    bool m_lastWriteFailed = false;
    std::optional<std::chrono::steady_clock::time_point> m_lastWrite;

    // Held while a snapshot is taken and written, so files land in the order of their snapshots.
    std::mutex m_fileMutex;
    SerialQueue m_writer;
};

} // namespace analytics
