#include "Copy/CopyEngine.h"
#include "Engine/NotificationResponder.h"
#include "Platform/DBusNotificationCenter.h"
#include "Platform/SystemClockEvents.h"
#include "SchedulerTestSupport.h"
#include "Support/FakeWallClockTimer.h"
#include "Support/TestNotificationServer.h"

#include <QDBusConnectionInterface>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using namespace schedulertest;

// A reminder's whole road over a real session bus (dbus-run-session): scheduled, fired by the centre, shown by a
// notification server of our own on a second connection, answered with "Done!", recorded in a store file, and
// followed up.
class TestSchedulerDBus : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a session bus (dbus-run-session)");
    }

    void cleanupTestCase() { QDBusConnection::disconnectFromBus(QStringLiteral("server")); }

    void doneFromTheDesktopIsRecordedAndFollowedUp()
    {
        const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
        ScopedFakeClock clock(at(wednesday, 9, 59));
        resetSettings();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Ovlin.store"));
        QString error;
        std::unique_ptr<StoreContainer> store = StoreContainer::open(path, &error);
        QVERIFY2(store, qPrintable(error));

        TestNotificationServer server(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server")),
            {QStringLiteral("actions"), QStringLiteral("body"), QStringLiteral("sound")});
        QVERIFY(server.start());
        SystemClockEvents events;
        DBusNotificationCenter center(QDBusConnection::sessionBus(), std::make_unique<FakeWallClockTimer>(), &events);
        NotificationCenter::setCurrent(&center);
        SchedulerService::shared().setNotificationCenter(&center);
        auto restore = qScopeGuard([] {
            SchedulerService::shared().setNotificationCenter(nullptr);
            NotificationCenter::setCurrent(nullptr);
        });
        NotificationResponder responder(store->mainContext());
        responder.setAppActiveQuery([] { return false; });
        responder.attach(&center);
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName), 2000);

        // Six days done already: today's Done makes seven.
        StoreContext &context = *store->mainContext();
        const auto reminder = makeReminder(&context, {.title = QStringLiteral("Water"), .fixedTime = QTime(10, 0)});
        for (int d = 1; d <= 6; ++d)
            addLog(reminder, at(wednesday.addDays(-d), 10, 0), LogStatus::completed);
        QVERIFY(context.save());
        SchedulerService::shared().schedule(*reminder);
        const QString identifier = SchedulerService::notificationPrefix(*reminder) + QStringLiteral("-fixed-3");
        QCOMPARE(center.nextFireDate(identifier), std::optional(at(wednesday, 10, 0)));

        center.checkDueRequests();
        Clock::advance(60);
        center.checkDueRequests();
        QTRY_COMPARE_WITH_TIMEOUT(server.calls().size(), 1, 2000);
        const TestNotificationServer::Call shown = server.calls().first();
        QCOMPARE(shown.summary, QStringLiteral("Water"));
        QVERIFY(CopyEngine::categoryTexts()[std::size_t(ReminderCategory::water)].contains(shown.body));
        const QStringList actions{QStringLiteral("default"), QStringLiteral("Done!"),  QStringLiteral("COMPLETE"),
                                  QStringLiteral("Done!"),   QStringLiteral("SNOOZE"), QStringLiteral("Snooze 10 min")};
        QCOMPARE(shown.actions, actions);
        QTRY_COMPARE_WITH_TIMEOUT(center.deliveredCount(), 1, 2000);

        // The weekly request stays for next Wednesday.
        QCOMPARE(center.nextFireDate(identifier), std::optional(at(wednesday.addDays(7), 10, 0)));

        QSignalSpy raised(&center, &NotificationCenter::activationRequested);
        Clock::advance(30);
        Q_EMIT server.ActionInvoked(shown.id, QStringLiteral("COMPLETE"));
        const auto completedToday = [&] {
            return context.fetchCount<ReminderLog>([](const ReminderLog &log) {
                return log.status() == LogStatus::completed && log.scheduledAt() >= at(wednesday, 0, 0);
            });
        };
        QTRY_COMPARE_WITH_TIMEOUT(completedToday(), qsizetype(1), 2000);
        QCOMPARE(raised.size(), 1);

        // The follow-ups fall due one and two seconds later.
        Clock::advance(2);
        center.checkDueRequests();
        QTRY_COMPARE_WITH_TIMEOUT(server.calls().size(), 3, 2000);
        QCOMPARE(server.calls().at(1).summary, QStringLiteral("Nice."));
        const CopyContext copy{.habitName = QStringLiteral("Water"), .streakCount = 7};
        QVERIFY(CopyEngine::fillTexts(CopyEngine::pool(CopyTrigger::waterCompleted), copy)
                    .contains(server.calls().at(1).body));
        QCOMPARE(server.calls().at(2).summary, QStringLiteral("7 days straight."));
        QVERIFY(
            CopyEngine::fillTexts(CopyEngine::pool(CopyTrigger::streakDay7), copy).contains(server.calls().at(2).body));
        for (int i = 1; i <= 2; ++i)
            QVERIFY(server.calls().at(i).actions.isEmpty());

        // The answer is in the file.
        responder.detach();
        store.reset();
        std::unique_ptr<StoreContainer> reopened = StoreContainer::open(path, &error);
        QVERIFY2(reopened, qPrintable(error));
        const auto logs = reopened->mainContext()->fetch<ReminderLog>(
            [](const ReminderLog &log) { return log.scheduledAt() >= at(wednesday, 0, 0); });
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::completed);
        QCOMPARE(logs.first()->scheduledAt(), at(wednesday, 10, 0));
        QCOMPARE(logs.first()->completedAt(), std::optional(at(wednesday, 10, 0, 30)));
        QCOMPARE(logs.first()->reminder()->id(), reminder->id());

        server.stop();
    }

    // Lunch at 11:00 every day. Asleep from Monday 10:00 to Tuesday 08:30: nothing of Monday is delivered,
    // Tuesday's 11:00 stands and Done dates its log 11:00. The clock set back after that brings nothing again,
    // and a resume after Wednesday's 11:00 delivers it at once, dated 11:00.
    void sleepAcrossMidnight()
    {
        const QString serviceName = QStringLiteral("org.freedesktop.Notifications");
        const QDate monday = wednesday.addDays(-2);
        const QDate tuesday = wednesday.addDays(-1);
        ScopedFakeClock clock(at(monday, 10, 0));
        resetSettings();
        std::unique_ptr<StoreContainer> store = openStore();
        TestNotificationServer server(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server")),
            {QStringLiteral("actions"), QStringLiteral("body")});
        QVERIFY(server.start());
        auto stopServer = qScopeGuard([&] { server.stop(); });
        SystemClockEvents events;
        auto owned = std::make_unique<FakeWallClockTimer>();
        FakeWallClockTimer *timer = owned.get();
        DBusNotificationCenter center(QDBusConnection::sessionBus(), std::move(owned), &events);
        NotificationCenter::setCurrent(&center);
        SchedulerService::shared().setNotificationCenter(&center);
        auto restore = qScopeGuard([] {
            SchedulerService::shared().setNotificationCenter(nullptr);
            NotificationCenter::setCurrent(nullptr);
        });
        NotificationResponder responder(store->mainContext());
        responder.setAppActiveQuery([] { return false; });
        responder.attach(&center);
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(serviceName), 2000);

        StoreContext &context = *store->mainContext();
        const auto lunch = makeReminder(&context, {.title = QStringLiteral("Lunch"), .fixedTime = QTime(11, 0)});
        QVERIFY(context.save());
        SchedulerService::shared().rescheduleAll({lunch});
        QCOMPARE(timer->deadline(), std::optional(at(monday, 11, 0)));

        const auto answerLast = [&] {
            const qsizetype logs = context.fetchCount<ReminderLog>();
            Q_EMIT server.ActionInvoked(server.calls().last().id, QStringLiteral("COMPLETE"));
            return QTest::qWaitFor([&] { return context.fetchCount<ReminderLog>() == logs + 1; }, 2000);
        };
        const auto completedAt = [&](const QDateTime &scheduledAt) {
            return context.fetchCount<ReminderLog>([&](const ReminderLog &log) {
                return log.status() == LogStatus::completed && log.scheduledAt() == scheduledAt;
            });
        };

        Clock::setNow(at(tuesday, 8, 30));
        events.reportResumed();
        QCOMPARE(timer->deadline(), std::optional(at(tuesday, 11, 0)));
        Clock::setNow(at(tuesday, 11, 0));
        QVERIFY(timer->fireIfDue());
        QTRY_COMPARE_WITH_TIMEOUT(center.deliveredCount(), 1, 2000);
        QCOMPARE(server.calls().size(), 1); // Monday's would have come first
        Clock::setNow(at(tuesday, 11, 4));
        QVERIFY(answerLast());
        QCOMPARE(completedAt(at(tuesday, 11, 0)), qsizetype(1));
        QCOMPARE(completedAt(at(tuesday, 8, 30)) + completedAt(at(tuesday, 11, 4)), qsizetype(0));

        // Set back to 09:00: Tuesday's 11:00 has had its turn.
        Clock::setNow(at(tuesday, 9, 0));
        timer->reportClockChanged();
        const QString tuesdayRequest = SchedulerService::notificationPrefix(*lunch) + QStringLiteral("-fixed-2");
        QCOMPARE(center.nextFireDate(tuesdayRequest), std::optional(at(tuesday.addDays(7), 11, 0)));
        Clock::setNow(at(tuesday, 11, 0));
        QVERIFY(!timer->fireIfDue());

        // Asleep over Wednesday's 11:00: the resume delivers it at once, and Done dates it by its own time.
        Clock::setNow(at(wednesday, 11, 20));
        events.reportResumed();
        QTRY_COMPARE_WITH_TIMEOUT(server.calls().size(), 2, 2000);
        QTRY_COMPARE_WITH_TIMEOUT(center.deliveredCount(), 1, 2000);
        QVERIFY(answerLast());
        QCOMPARE(completedAt(at(wednesday, 11, 0)), qsizetype(1));
        responder.detach();
    }
};

QTEST_GUILESS_MAIN(TestSchedulerDBus)
#include "tst_scheduler_dbus.moc"
