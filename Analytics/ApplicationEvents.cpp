#include "Analytics/ApplicationEvents.h"

#include <QCoreApplication>

namespace analytics {

ApplicationEvents *ApplicationEvents::instance()
{
    static ApplicationEvents *events = [] {
        auto *created = new ApplicationEvents;
        if (QCoreApplication *app = QCoreApplication::instance())
            created->moveToThread(app->thread());
        return created;
    }();
    return events;
}

void ApplicationEvents::notifyDidResignActive()
{
    Q_EMIT instance()->didResignActive();
}

void ApplicationEvents::notifyWillBecomeActive()
{
    Q_EMIT instance()->willBecomeActive();
}

} // namespace analytics
