#include "Analytics/TrialConversionTracker.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"

#include "Base/Clock.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <cmath>
#include <thread>

#include <pthread.h>

namespace analytics {

namespace {

const QString kLastTrialKey = QStringLiteral("lastTrial");

std::mutex g_sharedMutex;
TrialConversionTracker *g_shared = nullptr;

// Qt keeps JSON integers exactly only within the signed 64-bit range; above it only a double
// remains, so the digits themselves are read.
std::optional<quint64> exactIdentifier(const QJsonValue &value, const QByteArray &data)
{
    if (!value.isDouble())
        return std::nullopt;
    const double number = value.toDouble();
    if (!(number >= 0) || number != std::floor(number))
        return std::nullopt;
    if (number < 9223372036854775808.0) {
        const qint64 integer = value.toInteger(-1);
        return integer < 0 ? std::nullopt : std::optional<quint64>(quint64(integer));
    }
    static const QRegularExpression digits(QStringLiteral(R"("originalTransactionID"\s*:\s*(\d+)\s*[,}])"));
    std::optional<quint64> found;
    auto matches = digits.globalMatch(QString::fromUtf8(data));
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        bool ok = false;
        const quint64 candidate = match.captured(1).toULongLong(&ok);
        // Two candidates (a nested member of the same name) cannot be told apart.
        if (!ok || found)
            return std::nullopt;
        found = candidate;
    }
    if (found && double(*found) != number)
        return std::nullopt;
    return found;
}

} // namespace

struct TrialConversionTracker::Task
{
    // Nothing when no source is registered: the loop then ends at once.
    std::shared_ptr<TransactionUpdateStream> stream;
    std::thread thread;

    void cancel()
    {
        if (stream)
            stream->cancel();
    }
};

TrialConversionTracker &TrialConversionTracker::shared()
{
    std::lock_guard lock(g_sharedMutex);
    if (!g_shared)
        g_shared = new TrialConversionTracker;
    return *g_shared;
}

void TrialConversionTracker::resetSharedForTesting()
{
    TrialConversionTracker *tracker = nullptr;
    {
        std::lock_guard lock(g_sharedMutex);
        tracker = std::exchange(g_shared, nullptr);
    }
    delete tracker;
}

TrialConversionTracker::TrialConversionTracker()
    : m_persistenceQueue(std::string(kReverseDomainPrefix) + ".trialtracker.persistence")
{
    if (loadStoredTrial())
        startListening();
}

TrialConversionTracker::~TrialConversionTracker()
{
    std::vector<std::shared_ptr<Task>> tasks;
    {
        std::lock_guard lock(m_taskMutex);
        if (m_transactionUpdateTask) {
            m_transactionUpdateTask->cancel();
            m_retired.push_back(std::exchange(m_transactionUpdateTask, nullptr));
        }
        tasks.swap(m_retired);
    }
    for (const auto &task : tasks) {
        if (!task->thread.joinable())
            continue;
        if (task->thread.get_id() == std::this_thread::get_id())
            task->thread.detach();
        else
            task->thread.join();
    }
    // The persistence queue goes last and writes what is still queued.
}

void TrialConversionTracker::storeTrial(const std::optional<StoredTrial> &trial)
{
    m_persistenceQueue.async([trial] { persistTrial(trial); });
}

void TrialConversionTracker::persistTrial(const std::optional<StoredTrial> &trial)
{
    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    if (!suite)
        return;
    if (trial)
        suite->setBytes(kLastTrialKey, encodeTrial(*trial));
    else
        suite->remove(kLastTrialKey);
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::loadStoredTrial()
{
    const std::shared_ptr<ovlin::Defaults> suite = analyticsDefaults();
    if (!suite)
        return std::nullopt;
    const std::optional<QByteArray> data = suite->bytesValue(kLastTrialKey);
    if (!data)
        return std::nullopt;
    return decodeTrial(*data);
}

void TrialConversionTracker::startListening()
{
    std::vector<std::shared_ptr<Task>> finished;
    {
        std::lock_guard lock(m_taskMutex);
        if (m_transactionUpdateTask) {
            m_transactionUpdateTask->cancel();
            m_retired.push_back(std::exchange(m_transactionUpdateTask, nullptr));
        }
        auto task = std::make_shared<Task>();
        // Subscribed before the thread starts, so no update reported from now on is missed.
        if (const auto source = TransactionUpdateSource::registered())
            task->stream = source->updates();
        task->thread = std::thread([this, task] { updateLoop(task); });
        // Named from here, so the thread carries its name from the moment listening has started.
        pthread_setname_np(task->thread.native_handle(), "trialupdates");
        m_transactionUpdateTask = std::move(task);
        finished = takeRetiredLocked();
    }
    // A cancelled loop ends after the update in hand, if any.
    for (const auto &task : finished)
        task->thread.join();
}

bool TrialConversionTracker::isListening() const
{
    std::lock_guard lock(m_taskMutex);
    return m_transactionUpdateTask != nullptr;
}

void TrialConversionTracker::waitForPendingWrites()
{
    m_persistenceQueue.sync([] {});
}

std::vector<std::shared_ptr<TrialConversionTracker::Task>> TrialConversionTracker::takeRetiredLocked()
{
    std::vector<std::shared_ptr<Task>> joinable;
    std::vector<std::shared_ptr<Task>> kept;
    for (auto &task : m_retired) {
        if (task->thread.joinable() && task->thread.get_id() != std::this_thread::get_id())
            joinable.push_back(std::move(task));
        else if (task->thread.joinable())
            kept.push_back(std::move(task));
    }
    m_retired.swap(kept);
    return joinable;
}

void TrialConversionTracker::updateLoop(const std::shared_ptr<Task> &task)
{
    if (!task->stream)
        return;
    // The stream ends once the task is cancelled.
    while (const std::optional<VerificationResult> update = task->stream->next())
        handle(*update, task);
}

void TrialConversionTracker::handle(const VerificationResult &update, const std::shared_ptr<Task> &task)
{
    if (!update.verified)
        return;
    // Read afresh for every update: the trial may have been replaced meanwhile.
    const std::optional<StoredTrial> trial = loadStoredTrial();
    if (!trial)
        return;
    const Transaction &transaction = update.transaction;
    if (transaction.productID != trial->productID || transaction.originalID != trial->originalTransactionID)
        return;
    const bool expired = transaction.expirationDate && transaction.expirationDate->isValid() &&
                         *transaction.expirationDate < ovlin::Clock::now();
    if (transaction.revocationDate || expired || transaction.isUpgraded) {
        forgetTrial(*trial);
        stop(task);
        return;
    }
    if (transaction.isFreeTrial())
        return;
    Analytics::sendInternal(QStringLiteral("Analytics.Purchase.convertedFromTrial"), transaction.purchaseParameters(),
                            transaction.usdPrice(), std::nullopt);
    forgetTrial(*trial);
    stop(task);
}

void TrialConversionTracker::forgetTrial(const StoredTrial &handled)
{
    m_persistenceQueue.async([handled] {
        const std::optional<StoredTrial> current = loadStoredTrial();
        if (!current || *current == handled)
            persistTrial(std::nullopt);
    });
}

void TrialConversionTracker::stop(const std::shared_ptr<Task> &task)
{
    std::lock_guard lock(m_taskMutex);
    task->cancel();
    // A loop that was replaced meanwhile leaves the newer task running.
    if (m_transactionUpdateTask == task)
        m_retired.push_back(std::exchange(m_transactionUpdateTask, nullptr));
}

QByteArray TrialConversionTracker::encodeTrial(const StoredTrial &trial)
{
    // Written by hand: a JSON number through QJsonValue would round identifiers above 2^53.
    const QByteArray quoted = QJsonDocument(QJsonArray{trial.productID}).toJson(QJsonDocument::Compact);
    return QByteArrayLiteral("{\"productID\":") + quoted.mid(1, quoted.size() - 2) +
           QByteArrayLiteral(",\"originalTransactionID\":") + QByteArray::number(trial.originalTransactionID) + '}';
}

std::optional<TrialConversionTracker::StoredTrial> TrialConversionTracker::decodeTrial(const QByteArray &data)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject object = document.object();
    const QJsonValue productID = object.value(QStringLiteral("productID"));
    if (!productID.isString())
        return std::nullopt;
    const std::optional<quint64> identifier =
        exactIdentifier(object.value(QStringLiteral("originalTransactionID")), data);
    if (!identifier)
        return std::nullopt;
    return StoredTrial{productID.toString(), *identifier};
}

} // namespace analytics
