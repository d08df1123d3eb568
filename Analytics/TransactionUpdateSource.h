#pragma once

#include "Analytics/Transaction.h"

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace analytics {

// One transaction change as the store reports it; only verified ones are acted on.
struct VerificationResult
{
    Transaction transaction;
    bool verified = true;
};

// One listener's stream of transaction updates: the source yields into it, the listener takes
// them in order with next(). Safe from any thread.
class TransactionUpdateStream
{
public:
    // Source side. Ignored once the stream has ended.
    void yield(const VerificationResult &result);
    // No further updates: next() returns nothing once the queued ones are taken.
    void finish();

    // Listener side: waits for the next update; nothing once finished, or at once after cancel().
    std::optional<VerificationResult> next();
    // Ends the stream for good and wakes a waiting next(), from any thread.
    void cancel();
    bool isCancelled() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<VerificationResult> m_pending;
    bool m_finished = false;
    bool m_cancelled = false;
};

// Where transaction updates come from. This platform has no store, so the application registers
// none and a listener's stream simply ends; tests register a source of their own.
class TransactionUpdateSource
{
public:
    virtual ~TransactionUpdateSource() = default;
    // A new stream of the updates reported from now on, fed until finished or cancelled.
    virtual std::shared_ptr<TransactionUpdateStream> updates() = 0;

    static void setRegistered(std::shared_ptr<TransactionUpdateSource> source);
    static std::shared_ptr<TransactionUpdateSource> registered();
};

} // namespace analytics
