#include "Platform/DBusNotificationCenter.h"

#include "Base/Clock.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Platform/SystemClockEvents.h"
#include "Platform/WallClockTimer.h"

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
// A category without its own label for a click.
const QString defaultActionTitle = QStringLiteral("Open");

QDBusMessage methodCall(const QString &method)
{
    return QDBusMessage::createMethodCall(service, path, interface, method);
}

// Text for the server without control characters: a NUL ends the summary there, and the others garble it.
// A body keeps its line breaks (the protocol allows several lines), a summary is one line; tabs and line breaks
// become spaces where they cannot stay.
QString displayText(const QString &text, bool multiLine)
{
    // A stored habit name can be megabytes long; a server would lay all of it out.
    qsizetype length = std::min<qsizetype>(text.size(), DBusNotificationCenter::maxShownTextLength);
    if (length > 0 && length < text.size() && text.at(length - 1).isHighSurrogate())
        --length;
    QString result;
    result.reserve(length + 1);
    for (qsizetype i = 0; i < length; ++i) {
        const QChar c = text.at(i);
        if (c.category() != QChar::Other_Control) {
            result.append(c);
        } else if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < text.size() && text.at(i + 1) == u'\n')
                continue; // CR LF is one break
            result.append(multiLine ? QChar(u'\n') : QChar(u' '));
        } else if (c == u'\t' || c == u'\v' || c == u'\f') {
            result.append(u' ');
        }
    }
    if (length < text.size())
        result.append(QChar(0x2026));
    return result;
}

// An action key from another process, cut to a length and to printable characters for the log.
QString loggableActionKey(const QString &key)
{
    QString shown = displayText(key, false);
    qsizetype length = std::min<qsizetype>(shown.size(), DBusNotificationCenter::maxLoggedActionKeyLength);
    // Never split a surrogate pair.
    if (length > 0 && length < shown.size() && shown.at(length - 1).isHighSurrogate())
        --length;
    return shown.left(length);
}

} // namespace

DBusNotificationCenter::DBusNotificationCenter(const QDBusConnection &bus, QObject *parent)
    : DBusNotificationCenter(bus, WallClockTimer::create(), &SystemClockEvents::shared(), parent)
{
}

DBusNotificationCenter::DBusNotificationCenter(const QDBusConnection &bus, std::unique_ptr<WallClockTimer> timer,
                                               SystemClockEvents *events, QObject *parent)
    : NotificationCenter(parent), m_bus(bus), m_timer(std::move(timer))
{
    if (!m_timer)
        m_timer = WallClockTimer::create();
    connect(m_timer.get(), &WallClockTimer::timeout, this, &DBusNotificationCenter::checkDueRequests);
    connect(m_timer.get(), &WallClockTimer::clockChanged, this, &DBusNotificationCenter::onTimeMoved);
    if (events) {
        connect(events, &SystemClockEvents::clockChanged, this, &DBusNotificationCenter::onTimeMoved);
        connect(events, &SystemClockEvents::resumed, this, &DBusNotificationCenter::onTimeMoved);
    }

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

QStringList DBusNotificationCenter::pendingRequestIdentifiers(const QString &prefix) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_schedule.identifiers(prefix);
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
    deliverDue(m_schedule.takeDue(Clock::now()));
}

void DBusNotificationCenter::onTimeMoved()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDateTime now = Clock::now();
    const QList<NotificationSchedule::Due> due = m_schedule.takeDue(now);
    m_schedule.recomputeCalendarTriggers(now);
    deliverDue(due);
}

void DBusNotificationCenter::deliverDue(const QList<NotificationSchedule::Due> &due)
{
    arm();
    for (const NotificationSchedule::Due &d : due) {
        const PresentationOptions options = presentationOptions(d.request);
        if (isShown(options))
            deliver(d.request, options, d.fireDate);
    }
}

void DBusNotificationCenter::arm()
{
    const std::optional<QDateTime> earliest = m_schedule.earliestFireDate();
    if (!earliest) {
        if (m_timer->isActive())
            m_timer->stop();
        return;
    }
    // Most adds and removals leave the earliest request alone: the timer is then left as it is.
    if (m_timer->deadline() != earliest)
        m_timer->start(*earliest);
}

void DBusNotificationCenter::deliver(const NotificationRequest &request, PresentationOptions options,
                                     const QDateTime &firedAt)
{
    if (!m_bus.isConnected()) {
        deliveryFailed(QStringLiteral("no session bus"));
        return;
    }
    // The server's capabilities decide about actions and markup; asking each time follows a server that changed.
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(methodCall(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request, options, firedAt](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<QStringList> reply = *w;
                if (reply.isError()) {
                    deliveryFailed(reply.error().message());
                    return;
                }
                notify(request, options, firedAt, reply.value());
            });
}

void DBusNotificationCenter::notify(const NotificationRequest &request, PresentationOptions options,
                                    const QDateTime &firedAt, const QStringList &capabilities)
{
    const NotificationContent &content = request.content;
    const QString plainBody = displayText(content.body, true);
    const QString body = capabilities.contains(QStringLiteral("body-markup")) ? plainBody.toHtmlEscaped() : plainBody;

    QStringList actions; // key, title, key, title ...
    QStringList actionKeys;
    const std::optional<NotificationCategory> c = category(content.categoryIdentifier);
    if (c && capabilities.contains(QStringLiteral("actions"))) {
        actions << NotificationResponse::defaultActionIdentifier
                << (c->defaultActionTitle.isEmpty() ? defaultActionTitle : c->defaultActionTitle);
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
    call << QStringLiteral("Ovlin") << uint(0) << QStringLiteral(OVLIN_APP_ID) << displayText(content.title, false)
         << body << actions << hints << int(-1);
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, request, firedAt, actionKeys](QDBusPendingCallWatcher *w) {
                w->deleteLater();
                const QDBusPendingReply<uint> reply = *w;
                if (reply.isError()) {
                    deliveryFailed(reply.error().message());
                    return;
                }
                m_failureLogged = false;
                // Answers are dated by the firing itself, however late it was shown.
                m_delivered.insert(reply.value(), Delivered{request, firedAt, actionKeys, {}});
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
        qCDebug(lcNotify) << "Ignored an action that was not offered:" << loggableActionKey(actionKey);
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
