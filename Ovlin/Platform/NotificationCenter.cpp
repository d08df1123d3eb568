#include "Platform/NotificationCenter.h"

#include "Base/MainThread.h"
#include "Platform/DBusNotificationCenter.h"

#include <QCoreApplication>
#include <QPointer>

namespace ovlin {

namespace {
// Main thread only, like every centre.
QPointer<NotificationCenter> g_installed;
QPointer<NotificationCenter> g_default;
} // namespace

NotificationCenter::NotificationCenter(QObject *parent) : QObject(parent)
{
}

NotificationCenter::~NotificationCenter() = default;

NotificationCenter *NotificationCenter::current()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (g_installed)
        return g_installed;
    if (!g_default)
        g_default = new DBusNotificationCenter(QDBusConnection::sessionBus(), QCoreApplication::instance());
    return g_default;
}

void NotificationCenter::setCurrent(NotificationCenter *center)
{
    OVLIN_ASSERT_MAIN_THREAD();
    g_installed = center;
}

void NotificationCenter::setCategories(const QList<NotificationCategory> &categories)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_categories = categories;
}

std::optional<NotificationCategory> NotificationCenter::category(const QString &identifier) const
{
    if (identifier.isEmpty())
        return std::nullopt;
    for (const NotificationCategory &c : m_categories) {
        if (c.identifier == identifier)
            return c;
    }
    return std::nullopt;
}

void NotificationCenter::setDelegate(NotificationCenterDelegate *delegate)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_delegate = delegate;
}

PresentationOptions NotificationCenter::presentationOptions(const NotificationRequest &request)
{
    return m_delegate ? m_delegate->willPresent(request) : defaultPresentation;
}

bool NotificationCenter::isShown(PresentationOptions options)
{
    return options.testAnyFlags(PresentationOption::Banner | PresentationOption::List);
}

bool NotificationCenter::isForegroundAction(const NotificationRequest &request, const QString &actionIdentifier) const
{
    if (actionIdentifier == NotificationResponse::defaultActionIdentifier)
        return true;
    const std::optional<NotificationCategory> c = category(request.content.categoryIdentifier);
    const NotificationAction *action = c ? c->action(actionIdentifier) : nullptr;
    return action && action->foreground;
}

void NotificationCenter::dispatchResponse(const NotificationResponse &response, const QString &activationToken)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (isForegroundAction(response.request, response.actionIdentifier))
        Q_EMIT activationRequested(activationToken);
    if (m_delegate)
        m_delegate->didReceive(response);
}

} // namespace ovlin
