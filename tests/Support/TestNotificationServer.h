#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// A notification server of our own for tests: owns org.freedesktop.Notifications on its own connection,
// records every Notify call and announces the capabilities it is given.
class TestNotificationServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Call
    {
        QString appName;
        uint replacesId = 0;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int expireTimeout = 0;
        uint id = 0;
    };

    explicit TestNotificationServer(QDBusConnection bus, QStringList capabilities)
        : m_bus(std::move(bus)), m_capabilities(std::move(capabilities))
    {
    }

    bool start()
    {
        return m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                    QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals) &&
               m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
    }

    void stop()
    {
        m_bus.unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        m_bus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
    }

    void setCapabilities(const QStringList &capabilities) { m_capabilities = capabilities; }
    QList<Call> calls() const { return m_calls; }
    int capabilityQueries() const { return m_capabilityQueries; }

public Q_SLOTS:
    QStringList GetCapabilities()
    {
        ++m_capabilityQueries;
        return m_capabilities;
    }

    uint Notify(const QString &appName, uint replacesId, const QString &appIcon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints, int expireTimeout)
    {
        const uint id = ++m_lastId;
        m_calls.append(Call{appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout, id});
        return id;
    }

    void CloseNotification(uint id) { Q_EMIT NotificationClosed(id, 3); }

    QString GetServerInformation(QString &vendor, QString &version, QString &specVersion)
    {
        vendor = QStringLiteral("Ovlin tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("test-server");
    }

Q_SIGNALS:
    void NotificationClosed(uint id, uint reason);
    void ActionInvoked(uint id, const QString &actionKey);
    void ActivationToken(uint id, const QString &activationToken);

private:
    QDBusConnection m_bus;
    QStringList m_capabilities;
    QList<Call> m_calls;
    int m_capabilityQueries = 0;
    uint m_lastId = 0;
};

// Sees the notification signals on a connection, whoever sends them, and remembers the senders.
class SignalProbe : public QObject, protected QDBusContext
{
    Q_OBJECT

public:
    explicit SignalProbe(QDBusConnection bus)
    {
        bus.connect(QString(), QStringLiteral("/org/freedesktop/Notifications"),
                    QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("ActionInvoked"), this,
                    SLOT(onActionInvoked(uint, QString)));
    }

    QStringList senders;

public Q_SLOTS:
    void onActionInvoked(uint, const QString &) { senders.append(message().service()); }
};
