#pragma once

#include "Analytics/SerialQueue.h"
#include "Analytics/TransactionUpdateSource.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace analytics {

// Remembers the last free trial reported through Analytics::reportPurchase and listens to the
// store's transaction updates: when a later transaction of that subscription is no longer a free
// trial it sends "Analytics.Purchase.convertedFromTrial" once; when the subscription is revoked,
// expires or is upgraded first it forgets the trial silently. Either way it then stops listening.
// The trial survives restarts as "lastTrial" in the analytics defaults suite.
//
// Listening runs on a thread of its own that ends when its task is cancelled; "lastTrial" is
// written on a serial worker in the order requested. Safe from any thread.
class TrialConversionTracker
{
public:
    struct StoredTrial
    {
        QString productID;
        quint64 originalTransactionID = 0;
        bool operator==(const StoredTrial &other) const
        {
            return productID == other.productID && originalTransactionID == other.originalTransactionID;
        }
    };

    // Created on first use (loading the remembered trial) and kept for the life of the process.
    static TrialConversionTracker &shared();
    // Stops and drops the shared instance, so the next use creates it again (tests).
    static void resetSharedForTesting();

    // Starts listening at once when a trial is remembered.
    TrialConversionTracker();
    // Cancels listening and waits for its threads and the queued writes.
    ~TrialConversionTracker();

    TrialConversionTracker(const TrialConversionTracker &) = delete;
    TrialConversionTracker &operator=(const TrialConversionTracker &) = delete;

    // Remembers the trial (or forgets it, with nothing) on the persistence worker; returns at once.
    void storeTrial(const std::optional<StoredTrial> &trial);
    // Writes now: the trial under "lastTrial", or removes the key. Nothing before initialisation.
    static void persistTrial(const std::optional<StoredTrial> &trial);
    // The remembered trial; nothing before initialisation, without one, or when it does not decode.
    static std::optional<StoredTrial> loadStoredTrial();

    // Cancels the running listening task, if any, and starts a new one.
    void startListening();
    bool isListening() const;
    // Blocks until every queued write of "lastTrial" is done.
    void waitForPendingWrites();

    // {"productID":"…","originalTransactionID":123}, the identifier exact over its whole range.
    static QByteArray encodeTrial(const StoredTrial &trial);
    // Needs both members with their types; other members are ignored.
    static std::optional<StoredTrial> decodeTrial(const QByteArray &data);

private:
    struct Task;

    void updateLoop(const std::shared_ptr<Task> &task);
    void handle(const VerificationResult &update, const std::shared_ptr<Task> &task);
    // Forgets the trial only while it is still the one handled, so a newer trial stays.
    void forgetTrial(const StoredTrial &handled);
    void stop(const std::shared_ptr<Task> &task);
    // Takes the threads of cancelled tasks that can be joined from here.
    std::vector<std::shared_ptr<Task>> takeRetiredLocked();

    SerialQueue m_persistenceQueue;

    mutable std::mutex m_taskMutex;
    std::shared_ptr<Task> m_transactionUpdateTask;
    // Cancelled tasks whose threads are still to be joined.
    std::vector<std::shared_ptr<Task>> m_retired;
};

} // namespace analytics
