#pragma once

#include <memory>

namespace analytics {

class AnalyticsManager;

// Holds the one registered manager. Safe from any thread.
class AnalyticsManagerStorage
{
public:
    static std::shared_ptr<AnalyticsManager> manager();
    // Registers `manager` (or none) and returns the one it replaces, to be released by the caller.
    static std::shared_ptr<AnalyticsManager> exchange(std::shared_ptr<AnalyticsManager> manager);
};

} // namespace analytics
