#include "Platform/Clock.h"
#include "Platform/DBusNotificationCenter.h"
#include "RecordingDelegate.h"
#include "TestNotificationServer.h"

#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

using namespace ovlin;

// Runs under dbus-run-session with a notification server of our own on a second connection of this process.
namespace {

const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
const QStringList allCapabilities{QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("body-markup"),
                                  QStringLiteral("sound")};

NotificationCategory reminderCategory()
{
    return NotificationCategory{QStringLiteral("TAMSI_REMINDER"),
                                {NotificationAction{QStringLiteral("COMPLETE"), QStringLiteral("Done!"), true},
                                 NotificationAction{QStringLiteral("SNOOZE"), QStringLiteral("Snooze 10 min"), false}}};
}

NotificationRequest reminderRequest(const QString &identifier = QStringLiteral("ovlin-A-interval-0"))
{
    NotificationRequest r;
    r.identifier = identifier;
    r.content.title = QStringLiteral("Water");
    r.content.body = QStringLiteral("Drink a glass.");
    r.content.sound = NotificationSound::defaultSound();
    r.content.categoryIdentifier = QStringLiteral("TAMSI_REMINDER");
    r.content.userInfo = {{QStringLiteral("reminderID"), QStringLiteral("A")},
                          {QStringLiteral("category"), QStringLiteral("water")}};
    r.trigger = TimeIntervalTrigger{1.0};
    return r;
}

// Counts the warnings of the notification centre.
int g_notifyWarnings = 0;
QtMessageHandler g_previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtWarningMsg && context.category && qstrcmp(context.category, "ovlin.notify") == 0)
        ++g_notifyWarnings;
    g_previousHandler(type, context, message);
}

} // namespace

class TestDBusNotificationCenter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestNotificationServer> m_server;
    std::unique_ptr<DBusNotificationCenter> m_center;
    RecordingDelegate m_delegate;

    QDBusConnection serverBus() const
    {
        return QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server"));
    }

    // Adds `request` with a one-second trigger, lets it fall due and waits for the server to see it.
    uint deliver(NotificationRequest r)
    {
        const qsizetype before = m_server->calls().size();
        r.trigger = TimeIntervalTrigger{1.0};
        if (!m_center->add(r))
            return 0;
        Clock::advance(1);
        m_center->checkDueRequests();
        if (!QTest::qWaitFor([&] { return m_server->calls().size() > before; }, 2000))
            return 0;
        const uint id = m_server->calls().last().id;
        // The centre maps the id once it has the server's reply.
        if (!QTest::qWaitFor([&] { return m_center->deliveredCount() > 0; }, 2000))
            return 0;
        return id;
    }

    // Lets queued D-Bus traffic arrive: the server answers a call only after the signals emitted before it.
    void roundTrip()
    {
        const qsizetype before = m_server->calls().size();
        NotificationRequest probe = reminderRequest(QStringLiteral("probe"));
        probe.content.categoryIdentifier.clear();
        m_center->add(probe);
        Clock::advance(1);
        m_center->checkDueRequests();
        QTRY_VERIFY_WITH_TIMEOUT(m_server->calls().size() > before, 2000);
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus (dbus-run-session)");
        g_previousHandler = qInstallMessageHandler(countingHandler);
    }

    void cleanupTestCase()
    {
        qInstallMessageHandler(g_previousHandler);
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    void init()
    {
        Clock::setNow(QDateTime(QDate(2026, 12, 2), QTime(10, 0)));
        m_server = std::make_unique<TestNotificationServer>(serverBus(), allCapabilities);
        QVERIFY(m_server->start());
        m_center = std::make_unique<DBusNotificationCenter>(QDBusConnection::sessionBus());
        m_center->setCategories({reminderCategory()});
        m_delegate = RecordingDelegate{};
        m_center->setDelegate(&m_delegate);
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName), 2000);
    }

    void cleanup()
    {
        m_center.reset();
        m_server->stop();
        m_server.reset();
        Clock::useSystemTime();
    }

    void notifyCarriesActionsAndHints_data()
    {
        QTest::addColumn<QStringList>("capabilities");
        QTest::addColumn<QString>("category");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QStringList>("actions");
        QTest::addColumn<QString>("body");

        const QStringList reminderActions{QStringLiteral("default"),  QStringLiteral("Open"),
                                          QStringLiteral("COMPLETE"), QStringLiteral("Done!"),
                                          QStringLiteral("SNOOZE"),   QStringLiteral("Snooze 10 min")};
        const QString escaped = QStringLiteral("Tea &amp; &lt;biscuits&gt;");
        QTest::newRow("reminder") << allCapabilities << "TAMSI_REMINDER" << true << reminderActions << escaped;
        QTest::newRow("server without actions") << QStringList{QStringLiteral("body"), QStringLiteral("body-markup")}
                                                << "TAMSI_REMINDER" << true << QStringList() << escaped;
        QTest::newRow("silent, server without markup")
            << QStringList{QStringLiteral("actions"), QStringLiteral("body")} << "TAMSI_REMINDER" << false
            << reminderActions << "Tea & <biscuits>";
        QTest::newRow("unknown category") << allCapabilities << "OTHER" << true << QStringList() << escaped;
    }

    void notifyCarriesActionsAndHints()
    {
        QFETCH(QStringList, capabilities);
        QFETCH(QString, category);
        QFETCH(bool, sound);
        QFETCH(QStringList, actions);
        QFETCH(QString, body);

        m_server->setCapabilities(capabilities);
        NotificationRequest r = reminderRequest();
        r.content.body = QStringLiteral("Tea & <biscuits>");
        r.content.categoryIdentifier = category;
        if (!sound)
            r.content.sound.reset();
        QVERIFY(deliver(r) != 0);

        const TestNotificationServer::Call call = m_server->calls().last();
        QCOMPARE(call.appName, QStringLiteral("Ovlin"));
        QCOMPARE(call.summary, QStringLiteral("Water"));
        QCOMPARE(call.body, body);
        QCOMPARE(call.actions, actions);
        QCOMPARE(call.replacesId, 0u);
        QCOMPARE(call.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("org.ovlin.Ovlin"));
        if (sound) {
            QCOMPARE(call.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
            QVERIFY(!call.hints.contains(QStringLiteral("suppress-sound")));
        } else {
            QVERIFY(!call.hints.contains(QStringLiteral("sound-name")));
            QCOMPARE(call.hints.value(QStringLiteral("suppress-sound")).toBool(), true);
        }
    }

    void actionsBecomeOneResponse_data()
    {
        QTest::addColumn<QString>("actionKey");
        QTest::addColumn<QString>("expectedAction");
        QTest::addColumn<bool>("raisesWindow");
        QTest::newRow("Done!") << "COMPLETE"
                               << "COMPLETE" << true;
        QTest::newRow("click") << "default" << NotificationResponse::defaultActionIdentifier << true;
        QTest::newRow("Snooze 10 min") << "SNOOZE"
                                       << "SNOOZE" << false;
    }

    void actionsBecomeOneResponse()
    {
        QFETCH(QString, actionKey);
        QFETCH(QString, expectedAction);
        QFETCH(bool, raisesWindow);

        QSignalSpy raise(m_center.get(), &NotificationCenter::activationRequested);
        const NotificationRequest r = reminderRequest();
        const uint id = deliver(r);
        QVERIFY(id != 0);
        const QDateTime deliveredAt = Clock::now();
        Clock::advance(300); // answered five minutes later

        Q_EMIT m_server->ActivationToken(id, QStringLiteral("token-1"));
        Q_EMIT m_server->ActionInvoked(id, actionKey);
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.responses.size(), 1, 2000);
        // The same signal again, as some servers send it, is not a second answer.
        Q_EMIT m_server->ActionInvoked(id, actionKey);
        roundTrip();

        QCOMPARE(m_delegate.responses.size(), 1);
        const NotificationResponse response = m_delegate.responses.first();
        QCOMPARE(response.actionIdentifier, expectedAction);
        QCOMPARE(response.request.identifier, r.identifier);
        QCOMPARE(response.request.content, r.content);
        QCOMPARE(response.deliveryDate, deliveredAt);
        QCOMPARE(raise.size(), raisesWindow ? 1 : 0);
        if (raisesWindow)
            QCOMPARE(raise.first().first().toString(), QStringLiteral("token-1"));
    }

    void foreignSignalsAreIgnored()
    {
        const uint id = deliver(reminderRequest());
        QVERIFY(id != 0);

        // Another id, an action that was not offered, and a sender that does not own the name.
        SignalProbe probe(QDBusConnection::sessionBus());
        Q_EMIT m_server->ActionInvoked(id + 100, QStringLiteral("COMPLETE"));
        Q_EMIT m_server->NotificationClosed(id + 100, 2);
        Q_EMIT m_server->ActionInvoked(id, QStringLiteral("rm -rf"));
        QDBusConnection impostorBus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("x"));
        TestNotificationServer impostor(impostorBus, {});
        QVERIFY(impostorBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &impostor,
                                           QDBusConnection::ExportAllSignals));
        Q_EMIT impostor.ActionInvoked(id, QStringLiteral("COMPLETE"));
        Q_EMIT impostor.NotificationClosed(id, 2);
        // The probe shares the centre's connection: once it has the impostor's signal, so has the centre.
        QTRY_VERIFY_WITH_TIMEOUT(probe.senders.contains(impostorBus.baseService()), 2000);
        roundTrip();
        QVERIFY(m_delegate.responses.isEmpty());
        impostorBus.unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("x"));

        // The notification is still ours to answer.
        Q_EMIT m_server->ActionInvoked(id, QStringLiteral("SNOOZE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.responses.size(), 1, 2000);
        QCOMPARE(m_delegate.responses.first().actionIdentifier, QStringLiteral("SNOOZE"));
    }

    // Once closed, or once the server restarts and reuses ids, a notification is no longer ours to answer.
    void closedNotificationIsForgotten_data()
    {
        QTest::addColumn<bool>("restart");
        QTest::newRow("closed") << false;
        QTest::newRow("server restarted") << true;
    }

    void closedNotificationIsForgotten()
    {
        QFETCH(bool, restart);
        const uint id = deliver(reminderRequest());
        QVERIFY(id != 0);
        QCOMPARE(m_center->deliveredCount(), 1);
        if (restart)
            m_server->stop();
        else
            Q_EMIT m_server->NotificationClosed(id, 2);
        QTRY_COMPARE_WITH_TIMEOUT(m_center->deliveredCount(), 0, 2000);
        if (restart)
            QVERIFY(m_server->start());
        Q_EMIT m_server->ActionInvoked(id, QStringLiteral("COMPLETE"));
        roundTrip();
        QVERIFY(m_delegate.responses.isEmpty());
    }

    // A server that appears after Ovlin started (started on demand, or restarted) is listened to.
    void serverStartedLater()
    {
        m_server->stop();
        m_center = std::make_unique<DBusNotificationCenter>(QDBusConnection::sessionBus());
        m_center->setCategories({reminderCategory()});
        m_center->setDelegate(&m_delegate);
        QVERIFY(m_server->start());

        const uint id = deliver(reminderRequest());
        QVERIFY(id != 0);
        Q_EMIT m_server->ActionInvoked(id, QStringLiteral("COMPLETE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.responses.size(), 1, 2000);
    }

    void timerFollowsTheWallClock()
    {
        QCOMPARE(m_center->checkInterval(), -1);

        NotificationRequest soon = reminderRequest(QStringLiteral("soon"));
        soon.trigger = TimeIntervalTrigger{5};
        m_center->add(soon);
        QCOMPARE(m_center->checkInterval(), 5000);

        // Far away: the timer still looks at the clock every 30 seconds.
        NotificationRequest weekly = reminderRequest(QStringLiteral("weekly"));
        weekly.trigger = CalendarTrigger{9, 0, 2, true}; // Mondays 09:00
        m_center->removePendingRequests({QStringLiteral("soon")});
        m_center->add(weekly);
        QCOMPARE(m_center->checkInterval(), DBusNotificationCenter::maxCheckIntervalMs);

        // The clock jumps (a suspend over the weekend): the next check fires what fell due, once.
        Clock::setNow(QDateTime(QDate(2026, 12, 7), QTime(11, 0)));
        m_center->checkDueRequests();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->calls().size(), 1, 2000);
        QCOMPARE(m_center->nextFireDate(QStringLiteral("weekly")), QDateTime(QDate(2026, 12, 14), QTime(9, 0)));
        m_center->checkDueRequests();
        QCOMPARE(m_delegate.asked.size(), 1);

        m_center->removeAllPendingRequests();
        QCOMPARE(m_center->checkInterval(), -1);
    }

    void authorizationFollowsTheServer()
    {
        QCOMPARE(m_center->authorizationStatus(), AuthorizationStatus::NotDetermined);
        std::optional<bool> answer;
        m_center->requestAuthorization([&](bool granted) { answer = granted; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 2000);
        QVERIFY(*answer);
        QCOMPARE(m_center->authorizationStatus(), AuthorizationStatus::Authorized);

        m_server->stop();
        answer.reset();
        m_center->requestAuthorization([&](bool granted) { answer = granted; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
        QVERIFY(!*answer);
        QCOMPARE(m_center->authorizationStatus(), AuthorizationStatus::Denied);
    }

    void withoutServer()
    {
        m_server->stop();
        QDBusConnection bus = QDBusConnection::sessionBus();
        QTRY_VERIFY_WITH_TIMEOUT(!bus.interface()->isServiceRegistered(serviceName), 2000);
        if (bus.interface()->activatableServiceNames().value().contains(serviceName))
            QSKIP("a notification server can be started on this bus");

        DBusNotificationCenter center(bus);
        center.setCategories({reminderCategory()});
        RecordingDelegate delegate;
        center.setDelegate(&delegate);
        g_notifyWarnings = 0;

        NotificationRequest weekly = reminderRequest(QStringLiteral("weekly"));
        weekly.trigger = CalendarTrigger{10, 30, std::nullopt, true};
        QVERIFY(center.add(weekly));
        QVERIFY(center.add(reminderRequest(QStringLiteral("once"))));
        Clock::advance(3600);
        center.checkDueRequests();
        QCOMPARE(delegate.asked.size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(g_notifyWarnings, 1, 5000);
        QTest::qWait(100);
        QCOMPARE(g_notifyWarnings, 1); // one line for both
        QCOMPARE(center.deliveredCount(), 0);
        QCOMPARE(center.pendingRequests().size(), 1); // the weekly request is kept

        std::optional<bool> answer;
        center.requestAuthorization([&](bool granted) { answer = granted; });
        QTRY_VERIFY_WITH_TIMEOUT(answer.has_value(), 5000);
        QVERIFY(!*answer);
    }
};

QTEST_GUILESS_MAIN(TestDBusNotificationCenter)
#include "tst_dbusnotificationcenter.moc"
