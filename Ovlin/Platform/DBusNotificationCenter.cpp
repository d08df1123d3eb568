#include "Platform/DBusNotificationCenter.h"

#include "Platform/Clock.h"
#include "Platform/Log.h"
#include "Platform/MainThread.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

#include <algorithm>

namespace ovlin {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString defaultActionTitle = QStringLiteral("Open");

QDBusMessage methodCall(const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

} // namespace

DBusNotificationCenter::DBusNotificationCenter(const QDBusConnection &bus, QObject *parent)
    : NotificationCenter(parent), m_bus(bus)
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DBusNotificationCenter::checkDueRequests);

    if (!m_bus.isConnected())
        return;
    // Only the current owner of the name is listened to, so other senders of the same signals are ignored.
    m_bus.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("ActivationToken"), this,
                  SLOT(onActivationToken(uint, QString)));
    m_bus.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
    // A restarted server numbers its notifications afresh: the old ids mean nothing any more.
    auto *watcher = new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, [this] { m_delivered.clear(); });
}

DBusNotificationCenter::~DBusNotificationCenter() = default;

bool DBusNotificationCenter::add(const NotificationRequest &request)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_schedule.add(request, Clock::now())) {
        qCDebug(lcNotify) << "Rejected invalid notification request" << request.identifier;
        return false;
    }
    arm();
    return true;
}

QList<NotificationRequest> DBusNotificationCenter::pendingRequests() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_schedule.requests();
}

std::optional<QDateTime> DBusNotificationCenter::nextFireDate(const QString &identifier) const
{
    return m_schedule.nextFireDate(identifier);
}

void DBusNotificationCenter::removePendingRequests(const QStringList &identifiers)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_schedule.remove(identifiers);
    arm();
}

void DBusNotificationCenter::removeAllPendingRequests()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_schedule.clear();
    arm();
}

void DBusNotificationCenter::requestAuthorization(std::function<void(bool granted)> completion)
{
    OVLIN_ASSERT_MAIN_THREAD();
    auto answer = [this, completion = std::move(completion)](bool granted) {
        m_authorization = granted ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied;
        if (completion)
            completion(granted);
    };
    if (!m_bus.isConnected()) {
        QMetaObject::invokeMethod(
            this, [answer] { answer(false); }, Qt::QueuedConnection);
        return;
    }
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(methodCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [answer](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        answer(!reply.isError());
    });
}

void DBusNotificationCenter::checkDueRequests()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDateTime now = Clock::now();
    const QList<NotificationRequest> due = m_schedule.takeDue(now);
    // The wall clock may have jumped or the time zone changed since the triggers were computed.
    m_schedule.recomputeCalendarTriggers(now);
    arm();
    for (const NotificationRequest &request : due) {
        const PresentationOptions options = presentationOptions(request);
        if (isShown(options))
            deliver(request, options, now);
    }
}

int DBusNotificationCenter::checkInterval() const
{
    return m_timer.isActive() ? m_timer.interval() : -1;
}

void DBusNotificationCenter::arm()
{
    const std::optional<QDateTime> earliest = m_schedule.earliestFireDate();
    if (!earliest) {
        m_timer.stop();
        return;
    }
    const qint64 wait = std::clamp<qint64>(earliest->toMSecsSinceEpoch() - Clock::nowMSecs(), 0, maxCheckIntervalMs);
    m_timer.start(int(wait));
}

void DBusNotificationCenter::deliver(const NotificationRequest &request, PresentationOptions options,
                                     const QDateTime &deliveredAt)
{
    if (!m_bus.isConnected()) {
        deliveryFailed(QStringLiteral("no session bus"));
        return;
    }
    // The server's capabilities decide about actions and markup; asking each time follows a server that changed.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(methodCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request, options, deliveredAt](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    deliveryFailed(reply.error().message());
                    return;
                }
                notify(request, options, deliveredAt, reply.value());
            });
}

void DBusNotificationCenter::notify(const NotificationRequest &request, PresentationOptions options,
                                    const QDateTime &deliveredAt, const QStringList &capabilities)
{
    const NotificationContent &content = request.content;
    const QString body =
        capabilities.contains(QStringLiteral("body-markup")) ? content.body.toHtmlEscaped() : content.body;

    QStringList actions; // key, title, key, title ...
    QStringList actionKeys;
    const std::optional<NotificationCategory> c = category(content.categoryIdentifier);
    if (c && capabilities.contains(QStringLiteral("actions"))) {
        actions << NotificationResponse::defaultActionIdentifier << defaultActionTitle;
        actionKeys << NotificationResponse::defaultActionIdentifier;
        for (const NotificationAction &action : c->actions) {
            actions << action.identifier << action.title;
            actionKeys << action.identifier;
        }
    }

    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral(OVLIN_APP_ID));
    if (content.sound && !content.sound->name.isEmpty() && options.testFlag(PresentationOption::Sound))
        hints.insert(QStringLiteral("sound-name"), content.sound->name);
    else
        hints.insert(QStringLiteral("suppress-sound"), true);

    QDBusMessage call = methodCall(QStringLiteral("Notify"));
    call << QStringLiteral("Ovlin") << uint(0) << QStringLiteral(OVLIN_APP_ID) << content.title << body << actions
         << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request, deliveredAt, actionKeys](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    deliveryFailed(reply.error().message());
                    return;
                }
                m_failureLogged = false;
                m_delivered.insert(reply.value(), Delivered{request, deliveredAt, actionKeys, {}});
            });
}

void DBusNotificationCenter::deliveryFailed(const QString &reason)
{
    // One line per outage, not one per notification.
    if (m_failureLogged)
        return;
    m_failureLogged = true;
    qCWarning(lcNotify).noquote() << "Notifications cannot be shown:" << reason;
}

void DBusNotificationCenter::onActionInvoked(uint id, const QString &actionKey)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const auto it = m_delivered.constFind(id);
    if (it == m_delivered.constEnd())
        return;
    if (!it->actionKeys.contains(actionKey)) {
        qCDebug(lcNotify) << "Ignored an action that was not offered:" << actionKey;
        return;
    }
    // One answer per notification.
    const Delivered delivered = *it;
    m_delivered.erase(it);
    dispatchResponse(NotificationResponse{actionKey, delivered.request, delivered.deliveryDate},
                     delivered.activationToken);
}

void DBusNotificationCenter::onActivationToken(uint id, const QString &token)
{
    const auto it = m_delivered.find(id);
    if (it != m_delivered.end())
        it->activationToken = token;
}

void DBusNotificationCenter::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason)
    m_delivered.remove(id);
}

} // namespace ovlin
