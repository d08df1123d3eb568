#include "Base/Clock.h"

#include <atomic>

namespace ovlin {

namespace {
std::atomic<bool> g_fake{false};
std::atomic<qint64> g_fakeMSecs{0};
} // namespace

qint64 Clock::nowMSecs()
{
    if (g_fake.load(std::memory_order_acquire))
        return g_fakeMSecs.load(std::memory_order_acquire);
    return QDateTime::currentMSecsSinceEpoch();
}

QDateTime Clock::now()
{
    return QDateTime::fromMSecsSinceEpoch(nowMSecs());
}

void Clock::setNow(const QDateTime &moment)
{
    g_fakeMSecs.store(moment.toMSecsSinceEpoch(), std::memory_order_release);
    g_fake.store(true, std::memory_order_release);
}

void Clock::advance(qint64 seconds)
{
    advanceMSecs(seconds * 1000);
}

void Clock::advanceMSecs(qint64 msecs)
{
    if (!g_fake.load(std::memory_order_acquire))
        setNow(QDateTime::currentDateTime());
    g_fakeMSecs.fetch_add(msecs, std::memory_order_acq_rel);
}

void Clock::useSystemTime()
{
    g_fake.store(false, std::memory_order_release);
}

bool Clock::isFake()
{
    return g_fake.load(std::memory_order_acquire);
}

} // namespace ovlin
