#include "DesignSystem/DesignResources.h"

#include <QtGlobal>

#include <mutex>

static void initDesignResourcesOnce()
{
    Q_INIT_RESOURCE(designsystem);
}

namespace ovlin {
void initDesignResources()
{
    static std::once_flag once;
    std::call_once(once, initDesignResourcesOnce);
}
} // namespace ovlin
