#include "Analytics/TransactionUpdateSource.h"

namespace analytics {

void TransactionUpdateStream::yield(const VerificationResult &result)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_finished || m_cancelled)
            return;
        m_pending.push_back(result);
    }
    m_wake.notify_all();
}

void TransactionUpdateStream::finish()
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
    }
    m_wake.notify_all();
}

std::optional<VerificationResult> TransactionUpdateStream::next()
{
    std::unique_lock lock(m_mutex);
    m_wake.wait(lock, [this] { return m_cancelled || m_finished || !m_pending.empty(); });
    if (m_cancelled || m_pending.empty())
        return std::nullopt;
    VerificationResult result = std::move(m_pending.front());
    m_pending.pop_front();
    return result;
}

void TransactionUpdateStream::cancel()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_pending.clear();
    }
    m_wake.notify_all();
}

bool TransactionUpdateStream::isCancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

namespace {

std::mutex g_sourceMutex;
std::shared_ptr<TransactionUpdateSource> g_source;

} // namespace

void TransactionUpdateSource::setRegistered(std::shared_ptr<TransactionUpdateSource> source)
{
    std::shared_ptr<TransactionUpdateSource> previous;
    std::lock_guard lock(g_sourceMutex);
    previous = std::exchange(g_source, std::move(source));
}

std::shared_ptr<TransactionUpdateSource> TransactionUpdateSource::registered()
{
    std::lock_guard lock(g_sourceMutex);
    return g_source;
}

} // namespace analytics
