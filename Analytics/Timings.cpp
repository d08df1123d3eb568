#include "Analytics/Timings.h"

#include <mutex>

namespace analytics {

namespace {
std::mutex &timingsMutex()
{
    static auto *mutex = new std::mutex;
    return *mutex;
}
Timings &storedTimings()
{
    static auto *timings = new Timings;
    return *timings;
}
} // namespace

Timings Timings::current()
{
    std::lock_guard lock(timingsMutex());
    return storedTimings();
}

void Timings::setCurrent(const Timings &timings)
{
    std::lock_guard lock(timingsMutex());
    storedTimings() = timings;
}

} // namespace analytics
