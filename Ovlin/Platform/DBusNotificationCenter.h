#pragma once

#include "Platform/NotificationCenter.h"
#include "Platform/NotificationSchedule.h"

#include <QDBusConnection>
#include <QHash>

#include <memory>

namespace ovlin {

class SystemClockEvents;
class WallClockTimer;

// The notification centre of the running program. Pending requests fire from a wall-clock timer armed for the
// earliest of them (no polling); when the clock is set or the machine resumes, what fell due meanwhile is
// delivered at once. Due notifications go to the desktop's notification server (org.freedesktop.Notifications)
// on the given bus. Without a server or a bus, requests are still kept and deliveries fail quietly.
class DBusNotificationCenter : public NotificationCenter
{
    Q_OBJECT

public:
    // The program's timer and the shared system clock events.
    explicit DBusNotificationCenter(const QDBusConnection &bus, QObject *parent = nullptr);
    // Wakes from `timer` (owned) and follows `events` (not owned; it must outlive the centre).
    DBusNotificationCenter(const QDBusConnection &bus, std::unique_ptr<WallClockTimer> timer, SystemClockEvents *events,
                           QObject *parent = nullptr);
    ~DBusNotificationCenter() override;

    bool add(const NotificationRequest &request) override;
    QList<NotificationRequest> pendingRequests() const override;
    QStringList pendingRequestIdentifiers(const QString &prefix) const override;
    std::optional<QDateTime> nextFireDate(const QString &identifier) const override;
    void removePendingRequests(const QStringList &identifiers) override;
    void removeAllPendingRequests() override;

    // Granted when the notification server answers GetCapabilities.
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    AuthorizationStatus authorizationStatus() const override { return m_authorization; }

    // Fires every request due now and re-arms the timer. The timer calls it; tests call it after moving the clock.
    void checkDueRequests();
    // Notifications on screen that can still be answered.
    int deliveredCount() const { return int(m_delivered.size()); }

    // Longest action key written to the log: the key comes from another process.
    static constexpr int maxLoggedActionKeyLength = 80;
    // A longer summary or body reaches the server as its first this many characters and an ellipsis.
    static constexpr int maxShownTextLength = 1000;

private Q_SLOTS:
    // The clock was set or the machine woke: deliver what fell due and follow the new clock.
    void onTimeMoved();
    void onActionInvoked(uint id, const QString &actionKey);
    void onActivationToken(uint id, const QString &token);
    void onNotificationClosed(uint id, uint reason);

private:
    struct Delivered
    {
        NotificationRequest request;
        QDateTime deliveryDate;
        QStringList actionKeys;
        QString activationToken;
    };

    void arm();
    void deliverDue(const QList<NotificationSchedule::Due> &due);
    void deliver(const NotificationRequest &request, PresentationOptions options, const QDateTime &firedAt);
    void notify(const NotificationRequest &request, PresentationOptions options, const QDateTime &firedAt,
                const QStringList &capabilities);
    void deliveryFailed(const QString &reason);

    QDBusConnection m_bus;
    NotificationSchedule m_schedule;
    std::unique_ptr<WallClockTimer> m_timer;
    QHash<uint, Delivered> m_delivered;
    AuthorizationStatus m_authorization = AuthorizationStatus::NotDetermined;
    bool m_failureLogged = false;
};

} // namespace ovlin
