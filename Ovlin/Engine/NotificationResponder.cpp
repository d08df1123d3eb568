#include "Engine/NotificationResponder.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/Uuid.h"
#include "Engine/SchedulerService.h"
#include "Platform/StoreContext.h"

#include <QMetaObject>
#include <QMetaType>

namespace ovlin {

NotificationResponder::NotificationResponder(StoreContext *context, QObject *parent)
    : QObject(parent), m_context(context)
{
}

NotificationResponder::~NotificationResponder()
{
    detach();
}

void NotificationResponder::setAppActiveQuery(ActiveQuery query)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_isAppActive = std::move(query);
}

void NotificationResponder::attach(NotificationCenter *center)
{
    OVLIN_ASSERT_MAIN_THREAD();
    detach();
    m_center = center;
    if (m_center)
        m_center->setDelegate(this);
}

void NotificationResponder::detach()
{
    // The centre keeps a plain pointer: it must not outlive this object's turn as its delegate.
    if (m_center && m_center->delegate() == this)
        m_center->setDelegate(nullptr);
    m_center = nullptr;
}

PresentationOptions NotificationResponder::willPresent(const NotificationRequest &request)
{
    Q_UNUSED(request)
    if (m_isAppActive && m_isAppActive())
        return {};
    return NotificationCenter::defaultPresentation;
}

void NotificationResponder::didReceive(const NotificationResponse &response)
{
    const std::optional<QUuid> reminderId = reminderIdentifier(response.request.content.userInfo);
    if (!reminderId)
        return;
    // The store work runs as its own main-thread task, after the centre has finished with the answer.
    QMetaObject::invokeMethod(
        this,
        [this, reminderId = *reminderId, action = response.actionIdentifier, date = response.deliveryDate] {
            OVLIN_ASSERT_MAIN_THREAD();
            if (!m_context) {
                qCDebug(lcNotify) << "No store for a notification answer; dropped";
                return;
            }
            SchedulerService::shared().handleNotificationResponse(reminderId, action, date, *m_context);
        },
        Qt::QueuedConnection);
}

std::optional<QUuid> NotificationResponder::reminderIdentifier(const QVariantMap &userInfo)
{
    const auto it = userInfo.constFind(QStringLiteral("reminderID"));
    if (it == userInfo.constEnd() || it->metaType().id() != QMetaType::QString)
        return std::nullopt;
    return parseUuid(it->toString());
}

} // namespace ovlin
