#pragma once

#include "Platform/NotificationCenter.h"
#include "Platform/NotificationSchedule.h"

#include <QDBusConnection>
#include <QHash>
#include <QTimer>

namespace ovlin {

// The notification centre of the running program. Pending requests fire from its own timer, which re-reads the
// clock at least every 30 seconds (so a clock change or a suspend is noticed), and due notifications go to the
// desktop's notification server (org.freedesktop.Notifications) on the given bus. Without a server or a bus,
// requests are still kept and deliveries fail quietly.
class DBusNotificationCenter : public NotificationCenter
{
    Q_OBJECT

public:
    static constexpr int maxCheckIntervalMs = 30'000;

    explicit DBusNotificationCenter(const QDBusConnection &bus, QObject *parent = nullptr);
    ~DBusNotificationCenter() override;

    bool add(const NotificationRequest &request) override;
    QList<NotificationRequest> pendingRequests() const override;
    std::optional<QDateTime> nextFireDate(const QString &identifier) const override;
    void removePendingRequests(const QStringList &identifiers) override;
    void removeAllPendingRequests() override;

    // Granted when the notification server answers GetCapabilities.
    void requestAuthorization(std::function<void(bool granted)> completion) override;
    AuthorizationStatus authorizationStatus() const override { return m_authorization; }

    // Fires every request due now and re-arms the timer. The timer calls it; tests call it after moving the clock.
    void checkDueRequests();
    // Milliseconds until the timer checks again, or -1 while nothing is pending.
    int checkInterval() const;
    // Notifications on screen that can still be answered.
    int deliveredCount() const { return int(m_delivered.size()); }

private Q_SLOTS:
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
    void deliver(const NotificationRequest &request, PresentationOptions options, const QDateTime &deliveredAt);
    void notify(const NotificationRequest &request, PresentationOptions options, const QDateTime &deliveredAt,
                const QStringList &capabilities);
    void deliveryFailed(const QString &reason);

    QDBusConnection m_bus;
    NotificationSchedule m_schedule;
    QTimer m_timer;
    QHash<uint, Delivered> m_delivered;
    AuthorizationStatus m_authorization = AuthorizationStatus::NotDetermined;
    bool m_failureLogged = false;
};

} // namespace ovlin
