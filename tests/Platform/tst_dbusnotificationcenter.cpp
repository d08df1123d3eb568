#include "Base/Clock.h"
#include "Platform/DBusNotificationCenter.h"
#include "Platform/SystemClockEvents.h"
#include "RecordingDelegate.h"
#include "Support/FakeWallClockTimer.h"
#include "Support/TestNotificationServer.h"

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
                                 NotificationAction{QStringLiteral("SNOOZE"), QStringLiteral("Snooze 10 min"), false}},
                                QStringLiteral("Done!")};
}

NotificationCategory unlabelledCategory()
{
    return NotificationCategory{QStringLiteral("PLAIN"), {NotificationAction{QStringLiteral("OK"), "OK", false}}, {}};
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

// Counts the warnings of the notification centre and keeps its messages.
int g_notifyWarnings = 0;
QStringList g_notifyMessages;
QtMessageHandler g_previousHandler = nullptr;

void countingHandler(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    const bool notify = context.category && qstrcmp(context.category, "ovlin.notify") == 0;
    if (notify)
        g_notifyMessages.append(message);
    if (type == QtWarningMsg && notify)
        ++g_notifyWarnings;
    g_previousHandler(type, context, message);
}

// logind's manager as far as sleeping goes.
class FakeLogin1 : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")

Q_SIGNALS:
    void PrepareForSleep(bool start);
};

} // namespace

class TestDBusNotificationCenter : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestNotificationServer> m_server;
    SystemClockEvents m_events;
    FakeWallClockTimer *m_timer = nullptr; // owned by the centre
    std::unique_ptr<DBusNotificationCenter> m_center;
    RecordingDelegate m_delegate;

    void makeCenter()
    {
        auto timer = std::make_unique<FakeWallClockTimer>();
        m_timer = timer.get();
        m_center = std::make_unique<DBusNotificationCenter>(QDBusConnection::sessionBus(), std::move(timer), &m_events);
        m_center->setCategories({reminderCategory(), unlabelledCategory()});
        m_center->setDelegate(&m_delegate);
    }

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
        m_delegate = RecordingDelegate{};
        makeCenter();
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

        // A click records a completion: it is labelled like Done.
        const QStringList reminderActions{QStringLiteral("default"),  QStringLiteral("Done!"),
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
        QTest::newRow("category without a click label")
            << allCapabilities << "PLAIN" << true << QStringList{"default", "Open", "OK", "OK"} << escaped;
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
        makeCenter();
        QVERIFY(m_server->start());

        const uint id = deliver(reminderRequest());
        QVERIFY(id != 0);
        Q_EMIT m_server->ActionInvoked(id, QStringLiteral("COMPLETE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.responses.size(), 1, 2000);
    }

    // The timer is armed for the earliest request, never polls, and a clock set or a resume brings at once
    // what fell due, dated by the firing itself.
    void timerFollowsTheWallClock()
    {
        QVERIFY(!m_timer->isActive());
        NotificationRequest soon = reminderRequest(QStringLiteral("soon"));
        soon.trigger = TimeIntervalTrigger{5};
        m_center->add(soon);
        QCOMPARE(m_timer->deadline(), std::optional(Clock::now().addSecs(5)));

        NotificationRequest weekly = reminderRequest(QStringLiteral("weekly"));
        weekly.trigger = CalendarTrigger{9, 0, 2, true}; // Mondays 09:00
        m_center->removePendingRequests({QStringLiteral("soon")});
        const int starts = m_timer->startCount();
        m_center->add(weekly);
        const QDateTime monday(QDate(2026, 12, 7), QTime(9, 0));
        QCOMPARE(m_timer->deadline(), std::optional(monday));
        // A later request leaves the timer alone.
        NotificationRequest later = reminderRequest(QStringLiteral("later"));
        later.trigger = TimeIntervalTrigger{30 * 24 * 3600};
        m_center->add(later);
        QCOMPARE(m_timer->startCount(), starts + 1);

        // Asleep over the weekend, awake Monday 11:00: the resume delivers Monday's firing at once.
        Clock::setNow(QDateTime(QDate(2026, 12, 7), QTime(11, 0)));
        m_events.reportResumed();
        QTRY_COMPARE_WITH_TIMEOUT(m_server->calls().size(), 1, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(m_center->deliveredCount(), 1, 2000);
        QCOMPARE(m_center->nextFireDate(QStringLiteral("weekly")), QDateTime(QDate(2026, 12, 14), QTime(9, 0)));
        QCOMPARE(m_timer->deadline(), QDateTime(QDate(2026, 12, 14), QTime(9, 0)));
        Q_EMIT m_server->ActionInvoked(m_server->calls().first().id, QStringLiteral("COMPLETE"));
        QTRY_COMPARE_WITH_TIMEOUT(m_delegate.responses.size(), 1, 2000);
        QCOMPARE(m_delegate.responses.first().deliveryDate, monday);

        // The clock is set back to 08:00: the same firing is not delivered again.
        Clock::setNow(QDateTime(QDate(2026, 12, 7), QTime(8, 0)));
        m_timer->reportClockChanged();
        QCOMPARE(m_center->nextFireDate(QStringLiteral("weekly")), QDateTime(QDate(2026, 12, 14), QTime(9, 0)));
        Clock::setNow(monday);
        QVERIFY(!m_timer->fireIfDue());
        QCOMPARE(m_delegate.asked.size(), 1);

        m_center->removeAllPendingRequests();
        QVERIFY(!m_timer->isActive());
    }

    // Control characters never reach the server (a NUL would cut the summary there); a body keeps its lines.
    void controlCharactersAreRemoved_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("summary");
        QTest::addColumn<QString>("shownBody");
        const QChar nul(u'\0');
        QTest::newRow("NUL and bell") << QString(QStringLiteral("Wa") + nul + QStringLiteral("ter\a"))
                                      << QString(QStringLiteral("Drink") + nul + QStringLiteral(" now\x1b[31m"))
                                      << "Water"
                                      << "Drink now[31m";
        QTest::newRow("line breaks") << "Two\nlines\ttab"
                                     << "One\r\nTwo\rThree\tand\u0085C1"
                                     << "Two lines tab"
                                     << "One\nTwo\nThree andC1";
        // A stored name of megabytes: the server gets no more than it can show.
        const QString huge(2 * 1024 * 1024, u'x');
        const QString shown = huge.left(DBusNotificationCenter::maxShownTextLength) + QChar(0x2026);
        QTest::newRow("megabytes") << huge << huge << shown << shown;
    }

    void controlCharactersAreRemoved()
    {
        QFETCH(QString, title);
        QFETCH(QString, body);
        QFETCH(QString, summary);
        QFETCH(QString, shownBody);
        m_server->setCapabilities({QStringLiteral("actions"), QStringLiteral("body")});
        NotificationRequest r = reminderRequest();
        r.content.title = title;
        r.content.body = body;
        QVERIFY(deliver(r) != 0);
        QCOMPARE(m_server->calls().last().summary, summary);
        QCOMPARE(m_server->calls().last().body, shownBody);
    }

    // An action key comes from another process: the log shows at most 80 characters of it.
    void foreignActionKeyIsLoggedShort()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("ovlin.notify.debug=true"));
        auto restore = qScopeGuard([] { QLoggingCategory::setFilterRules(QString()); });
        const uint id = deliver(reminderRequest());
        QVERIFY(id != 0);
        g_notifyMessages.clear();
        const QString key = QString(10'000, u'x') + QStringLiteral("TAIL");
        Q_EMIT m_server->ActionInvoked(id, key);
        roundTrip();
        QVERIFY(m_delegate.responses.isEmpty());
        const QStringList logged = g_notifyMessages.filter(QStringLiteral("not offered"));
        QCOMPARE(logged.size(), 1);
        QVERIFY(logged.first().contains(QString(80, u'x')));
        QVERIFY2(!logged.first().contains(QString(81, u'x')), qPrintable(logged.first().left(200)));
    }

    // The program's timer: an instant already passed wakes it at once, with a pinned clock and with the real one.
    void realTimerWakes()
    {
        const std::unique_ptr<WallClockTimer> timer = WallClockTimer::create();
        QSignalSpy woke(timer.get(), &WallClockTimer::timeout);
        timer->start(Clock::now().addSecs(-60));
        QTRY_COMPARE_WITH_TIMEOUT(woke.size(), 1, 2000);
        QVERIFY(!timer->isActive());
        Clock::useSystemTime();
        timer->start(Clock::now().addSecs(-1));
        QTRY_COMPARE_WITH_TIMEOUT(woke.size(), 2, 2000);
        timer->start(Clock::now().addDays(1));
        QVERIFY(timer->isActive());
        timer->stop();
        QVERIFY(!timer->isActive());
    }

    // logind announces the end of a sleep with PrepareForSleep(false) (here on the private bus).
    void resumeFromLogind()
    {
        QDBusConnection bus = serverBus();
        FakeLogin1 login1;
        QVERIFY(
            bus.registerObject(QStringLiteral("/org/freedesktop/login1"), &login1, QDBusConnection::ExportAllSignals));
        QVERIFY(bus.registerService(QStringLiteral("org.freedesktop.login1")));
        auto unregister = qScopeGuard([&] {
            bus.unregisterService(QStringLiteral("org.freedesktop.login1"));
            bus.unregisterObject(QStringLiteral("/org/freedesktop/login1"));
        });
        SystemClockEvents events;
        QSignalSpy resumed(&events, &SystemClockEvents::resumed);
        QVERIFY(events.watchSleep(QDBusConnection::sessionBus()));
        Q_EMIT login1.PrepareForSleep(true);
        Q_EMIT login1.PrepareForSleep(false);
        QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 1, 2000);
        Q_EMIT login1.PrepareForSleep(true);
        Q_EMIT login1.PrepareForSleep(false);
        QTRY_COMPARE_WITH_TIMEOUT(resumed.size(), 2, 2000);
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

        DBusNotificationCenter center(bus, std::make_unique<FakeWallClockTimer>(), &m_events);
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
