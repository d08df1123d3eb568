#pragma once

#include "Base/Clock.h"
#include "Base/Uuid.h"
#include "Engine/SchedulerService.h"
#include "Support/EngineTestSupport.h"
#include "Support/FakeNotificationCenter.h"

#include <QStringList>

#include <memory>

// Shared helpers of the scheduler tests (TZ=Europe/Berlin). The clock is pinned and every test gets a fresh
// fake centre that the shared scheduler uses.
namespace schedulertest {

using namespace enginetest;

// 2026-06-10 is a Wednesday.
inline const QDate wednesday(2026, 6, 10);

class SchedulerFixture
{
public:
    void setUp(const QDateTime &now)
    {
        Clock::setNow(now);
        resetSettings();
        center = std::make_unique<FakeNotificationCenter>();
        NotificationCenter::setCurrent(center.get());
        SchedulerService::shared().setNotificationCenter(center.get());
        store = openStore();
    }

    void tearDown()
    {
        SchedulerService::shared().setNotificationCenter(nullptr);
        NotificationCenter::setCurrent(nullptr);
        store.reset();
        center.reset();
        Clock::useSystemTime();
    }

    StoreContext &context() const { return *store->mainContext(); }

    QStringList pendingIdentifiers() const
    {
        return SchedulerService::notificationRequestIdentifiers(center->pendingRequests());
    }

    // The pending identifiers of one reminder with its "ovlin-<UUID>" prefix taken off.
    QStringList suffixes(const Reminder &reminder) const
    {
        const QString prefix = SchedulerService::notificationPrefix(reminder);
        QStringList result;
        for (const QString &id : SchedulerService::identifiersWithPrefix(pendingIdentifiers(), prefix))
            result.append(id.mid(prefix.size()));
        return result;
    }

    std::unique_ptr<FakeNotificationCenter> center;
    std::unique_ptr<StoreContainer> store;
};

inline NotificationRequest plainRequest(const QString &identifier, double seconds = 3600)
{
    NotificationRequest request;
    request.identifier = identifier;
    request.content.title = QStringLiteral("Other");
    request.trigger = TimeIntervalTrigger{seconds};
    return request;
}

} // namespace schedulertest
