#include "Analytics/ApplicationEvents.h"

#include <QCoreApplication>

#include <atomic>

namespace analytics {

namespace {

std::atomic<bool> g_active{true};

} // namespace

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
    // Set before the signal, so a listener that connects meanwhile reads the new state.
    g_active = false;
    Q_EMIT instance()->didResignActive();
}

void ApplicationEvents::notifyWillBecomeActive()
{
    g_active = true;
    Q_EMIT instance()->willBecomeActive();
}

bool ApplicationEvents::isActive()
{
    return g_active;
}

void ApplicationEvents::resetForTesting()
{
    g_active = true;
}

} // namespace analytics
