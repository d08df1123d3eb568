#include "Analytics/AnalyticsManagerStorage.h"

#include "Analytics/AnalyticsManager.h"

#include <shared_mutex>

namespace analytics {

namespace {
struct Storage
{
    std::shared_mutex mutex;
    std::shared_ptr<AnalyticsManager> manager;
};

// Never destroyed: managers are dropped by the application's exit routine, not by static destruction.
Storage &storage()
{
    static auto *instance = new Storage;
    return *instance;
}
} // namespace

std::shared_ptr<AnalyticsManager> AnalyticsManagerStorage::manager()
{
    std::shared_lock lock(storage().mutex);
    return storage().manager;
}

std::shared_ptr<AnalyticsManager> AnalyticsManagerStorage::exchange(std::shared_ptr<AnalyticsManager> manager)
{
    std::unique_lock lock(storage().mutex);
    std::swap(storage().manager, manager);
    return manager;
}

} // namespace analytics
