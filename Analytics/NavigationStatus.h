#pragma once

#include <QString>

#include <optional>

namespace analytics {

// A navigation position a host may keep for itself. The navigation signals do not use one: they keep
// the process-wide previous path on their own.
class NavigationStatus
{
public:
    std::optional<QString> previousNavigationPath;
};

} // namespace analytics
