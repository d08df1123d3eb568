#pragma once

#include "Platform/NotificationCenter.h"

#include <QObject>
#include <QPointer>
#include <QUuid>
#include <QVariantMap>

#include <functional>
#include <optional>

namespace ovlin {

class StoreContext;

// The notification centre's delegate of the running program, owned by the application delegate. It keeps the
// desktop from showing Ovlin's notifications while Ovlin is the active application, and hands each answer to a
// reminder notification to SchedulerService on the main thread, after the centre's callback has returned.
class NotificationResponder : public QObject, public NotificationCenterDelegate
{
    Q_OBJECT

public:
    using ActiveQuery = std::function<bool()>;

    // `context` is the store the answers are recorded in (not owned; answers arriving after it is gone are
    // dropped).
    explicit NotificationResponder(StoreContext *context, QObject *parent = nullptr);
    ~NotificationResponder() override;

    // Whether Ovlin is the active application. Without a query it never counts as active.
    void setAppActiveQuery(ActiveQuery query);
    // Becomes `center`'s delegate, and stops being it when destroyed.
    void attach(NotificationCenter *center);
    void detach();

    // Nothing while Ovlin is active, else the centre's usual presentation.
    PresentationOptions willPresent(const NotificationRequest &request) override;
    // Answers without a "reminderID" text that reads as a UUID are dropped silently.
    void didReceive(const NotificationResponse &response) override;

    // The "reminderID" user-info entry as a UUID; nothing when it is missing, not text, or not a UUID.
    static std::optional<QUuid> reminderIdentifier(const QVariantMap &userInfo);

private:
    QPointer<StoreContext> m_context;
    QPointer<NotificationCenter> m_center;
    ActiveQuery m_isAppActive;
};

} // namespace ovlin
