#include "Analytics/SignalCache.h"

#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/Parameters.h"
#include "Analytics/Timings.h"

#include "Base/UserFiles.h"
#include "Base/UserFolders.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QUrl>

#include <algorithm>
#include <cmath>

namespace analytics {

namespace {

struct Registry
{
    std::mutex mutex;
    QHash<QString, std::weak_ptr<SignalCache>> caches;
};

Registry &registry()
{
    static auto *instance = new Registry;
    return *instance;
}

} // namespace

QString SignalCache::defaultFilePath()
{
    return ovlin::userFolder(ovlin::UserFolder::cache) + QStringLiteral("/Ovlin/analyticssignalcache");
}

std::shared_ptr<SignalCache> SignalCache::open(const std::optional<LogHandler> &logHandler, const QString &filePath)
{
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    if (!filePath.isEmpty()) {
        if (std::shared_ptr<SignalCache> live = reg.caches.value(filePath).lock()) {
            std::lock_guard cacheLock(live->m_mutex);
            live->m_logHandler = logHandler;
            return live;
        }
    }
    std::shared_ptr<SignalCache> cache(new SignalCache(filePath, logHandler));
    cache->loadCache();
    if (!filePath.isEmpty())
        reg.caches.insert(filePath, cache);
    return cache;
}

SignalCache::SignalCache(QString filePath, std::optional<LogHandler> logHandler)
    : m_filePath(std::move(filePath)), m_logHandler(std::move(logHandler)),
      m_writer(std::string(kReverseDomainPrefix) + ".SignalCache")
{
}

SignalCache::~SignalCache()
{
    m_writer.shutdown();
    if (m_filePath.isEmpty())
        return;
    QList<SignalPostBody> remaining;
    bool dirty = false;
    {
        std::lock_guard lock(m_mutex);
        remaining = allRecordsLocked();
        dirty = m_dirty;
    }
    // Released after the registry's lock, in case it is the last reference.
    std::shared_ptr<SignalCache> successor;
    Registry &reg = registry();
    std::lock_guard lock(reg.mutex);
    // Another cache of this file was opened while this one was going away: it read the file before
    // this one's last changes, so hand them over (a record may then be sent twice, never lost).
    successor = reg.caches.value(m_filePath).lock();
    if (successor) {
        if (dirty)
            successor->push(remaining);
        return;
    }
    reg.caches.remove(m_filePath);
    if (dirty)
        writeFile(LogHandler::LogLevel::debug);
}

QString SignalCache::cacheFileURL() const
{
    return QUrl::fromLocalFile(m_filePath).toString();
}

std::optional<LogHandler> SignalCache::currentLogHandler() const
{
    std::lock_guard lock(m_mutex);
    return m_logHandler;
}

void SignalCache::loadCache()
{
    if (m_filePath.isEmpty())
        return;
    const std::optional<LogHandler> handler = currentLogHandler();
    logTo(handler, LogHandler::LogLevel::info, QStringLiteral("Loading Analytics cache from: ") + cacheFileURL());
    const ovlin::FileRead file = ovlin::readRegularFile(m_filePath, maximumFileBytes);
    switch (file.status) {
    case ovlin::FileRead::Status::ok: break;
    case ovlin::FileRead::Status::notRegularFile:
        // Not ours to remove or replace: writes refuse it too.
        logTo(handler, LogHandler::LogLevel::error,
              QStringLiteral("Not loading Analytics cache: %1; it is left as it is").arg(file.error));
        return;
    case ovlin::FileRead::Status::tooLarge:
        logTo(handler, LogHandler::LogLevel::error, QStringLiteral("Not loading Analytics cache: %1").arg(file.error));
        return;
    case ovlin::FileRead::Status::absent:
    case ovlin::FileRead::Status::failed: return;
    }
    const auto records = SignalEncoder(SignalPostBody::DateForm::cache).decode(file.bytes);
    if (!records) {
        // Unreadable content is of no use to a later run either.
        QFile::remove(m_filePath);
        return;
    }
    logTo(handler, LogHandler::LogLevel::info, QStringLiteral("Loaded %1 signals").arg(records->size()));
    std::lock_guard lock(m_mutex);
    // The file stays: it is the only copy until the next write replaces it.
    m_cachedSignals = *records;
}

void SignalCache::push(const SignalPostBody &record)
{
    push(QList<SignalPostBody>{record});
}

void SignalCache::push(const QList<SignalPostBody> &records)
{
    if (records.isEmpty())
        return;
    const QList<SignalPostBody> accepted = storable(records);
    std::lock_guard lock(m_mutex);
    m_cachedSignals.append(accepted);
    changed();
}

QList<SignalPostBody> SignalCache::storable(QList<SignalPostBody> records) const
{
    std::optional<LogHandler> handler;
    for (SignalPostBody &record : records) {
        // A value JSON cannot carry would make the whole file unwritable.
        if (record.floatValue && !std::isfinite(*record.floatValue)) {
            if (!handler)
                handler = currentLogHandler();
            logTo(handler, LogHandler::LogLevel::error,
                  QStringLiteral("Dropping float value %1 of signal %2: JSON cannot carry it")
                      .arg(decimalText(*record.floatValue), record.type));
            record.floatValue.reset();
        }
    }
    return records;
}

void SignalCache::pushDurably(const SignalPostBody &record, const std::function<bool(const SignalPostBody &)> &sameAs,
                              const std::function<void()> &stored)
{
    std::lock_guard fileLock(m_fileMutex);
    const QList<SignalPostBody> accepted = storable({record});
    quint64 waitId = 0;
    {
        std::lock_guard lock(m_mutex);
        const QList<SignalPostBody> records = allRecordsLocked();
        if (std::none_of(records.cbegin(), records.cend(), sameAs)) {
            m_cachedSignals.append(accepted);
            changed();
        }
        // Waiting for the delivery from the moment the record can be sent: a batch accepted before the
        // file is written (or found unwritable) still ends the wait.
        if (stored) {
            waitId = m_nextWaitId++;
            m_deliveryWaits.push_back({waitId, sameAs, stored});
        }
    }
    const bool onDisk = m_filePath.isEmpty() || writeFileLocked(LogHandler::LogLevel::debug);
    if (!stored || !onDisk)
        return;
    // On disk: the wait is over, unless a delivery ended it (and ran `stored`) meanwhile.
    bool waiting = false;
    {
        std::lock_guard lock(m_mutex);
        waiting = std::erase_if(m_deliveryWaits, [waitId](const DeliveryWait &wait) { return wait.id == waitId; }) > 0;
    }
    if (waiting)
        stored();
}

SignalCache::Batch SignalCache::pop()
{
    std::lock_guard lock(m_mutex);
    Batch batch;
    const qsizetype n = std::min<qsizetype>(m_cachedSignals.size(), maximumNumberOfSignalsToPopAtOnce);
    if (n == 0)
        return batch;
    batch.id = m_nextBatchId++;
    batch.records = m_cachedSignals.mid(0, n);
    m_cachedSignals.remove(0, n);
    m_inFlight.emplace(batch.id, batch.records);
    return batch;
}

void SignalCache::finish(quint64 batchId, bool delivered)
{
    if (delivered) {
        // Run outside the lock, while the batch is still held: whoever waits learns of the delivery
        // before the records leave the cache.
        std::vector<std::function<void()>> notify;
        {
            std::lock_guard lock(m_mutex);
            const auto batch = m_inFlight.find(batchId);
            if (batch != m_inFlight.end()) {
                std::erase_if(m_deliveryWaits, [&](const DeliveryWait &wait) {
                    if (std::none_of(batch->second.cbegin(), batch->second.cend(), wait.sameAs))
                        return false;
                    notify.push_back(wait.delivered);
                    return true;
                });
            }
        }
        for (const auto &callback : notify)
            callback();
    }
    std::lock_guard lock(m_mutex);
    auto it = m_inFlight.find(batchId);
    if (it == m_inFlight.end())
        return;
    if (!delivered)
        m_cachedSignals.append(it->second);
    m_inFlight.erase(it);
    changed();
}

int SignalCache::count() const
{
    std::lock_guard lock(m_mutex);
    return int(m_cachedSignals.size());
}

int SignalCache::inFlightCount() const
{
    std::lock_guard lock(m_mutex);
    qsizetype total = 0;
    for (const auto &entry : m_inFlight)
        total += entry.second.size();
    return int(total);
}

QList<SignalPostBody> SignalCache::waitingRecords() const
{
    std::lock_guard lock(m_mutex);
    return m_cachedSignals;
}

void SignalCache::backupCache()
{
    writeFile(LogHandler::LogLevel::info);
}

QList<SignalPostBody> SignalCache::allRecordsLocked() const
{
    QList<SignalPostBody> records;
    for (const auto &entry : m_inFlight)
        records.append(entry.second);
    records.append(m_cachedSignals);
    return records;
}

// Called with m_mutex held.
void SignalCache::changed()
{
    m_dirty = true;
    if (m_writeScheduled || m_filePath.isEmpty())
        return;
    m_writeScheduled = true;
    std::chrono::milliseconds delay(0);
    if (m_lastWrite) {
        const auto due = *m_lastWrite + Timings::current().cacheWriteInterval;
        const auto now = std::chrono::steady_clock::now();
        if (due > now)
            delay = std::chrono::duration_cast<std::chrono::milliseconds>(due - now) + std::chrono::milliseconds(1);
    }
    m_writer.asyncAfter(delay, [this] {
        {
            std::lock_guard lock(m_mutex);
            m_writeScheduled = false;
            if (!m_dirty)
                return;
        }
        writeFile(LogHandler::LogLevel::debug);
    });
}

bool SignalCache::writeFile(LogHandler::LogLevel successLevel)
{
    if (m_filePath.isEmpty())
        return false;
    std::lock_guard fileLock(m_fileMutex);
    return writeFileLocked(successLevel);
}

bool SignalCache::writeFileLocked(LogHandler::LogLevel successLevel)
{
    QList<SignalPostBody> records;
    std::optional<LogHandler> handler;
    bool reportFailure = true;
    {
        std::lock_guard lock(m_mutex);
        records = allRecordsLocked();
        handler = m_logHandler;
        m_dirty = false;
        m_lastWrite = std::chrono::steady_clock::now();
        reportFailure = successLevel == LogHandler::LogLevel::info || !m_lastWriteFailed;
    }
    const auto data = SignalEncoder(SignalPostBody::DateForm::cache).encode(records);
    bool written = false;
    QString error = QStringLiteral("the records cannot be encoded");
    if (data) {
        const QFileInfo info(m_filePath);
        written =
            ovlin::makePrivateFolder(info.absolutePath(), &error) &&
            ovlin::saveFileAtomically(m_filePath, *data, QFileDevice::ReadOwner | QFileDevice::WriteOwner, &error);
    }
    {
        std::lock_guard lock(m_mutex);
        m_lastWriteFailed = !written;
        if (!written)
            changed(); // try again at the next interval
    }
    if (!written) {
        if (reportFailure)
            logTo(handler, LogHandler::LogLevel::error, QStringLiteral("Error saving Analytics cache: ") + error);
        return false;
    }
    logTo(handler, successLevel,
          QStringLiteral("Saved Analytics cache %1 bytes of %2 signals").arg(data->size()).arg(records.size()));
    return true;
}

} // namespace analytics
