#include "Support/LoopTestSupport.h"

#include "Base/Clock.h"
#include "Engine/ReminderPresentationService.h"
#include "Engine/SchedulerService.h"
#include "Support/FakeNotificationCenter.h"

#include <QScopeGuard>
#include <QtTest>

#include <limits>

using namespace looptest;

using SnoozeEntry = ReminderPresentationService::SnoozeEntry;
Q_DECLARE_METATYPE(ovlin::LogStatus)

namespace {

const QDate june10(2026, 6, 10);

QDateTime hm(const QString &text)
{
    const QTime time = QTime::fromString(text, QStringLiteral("HH:mm"));
    return at(june10, time.hour(), time.minute());
}

// Every 30 minutes from 09:00 to 11:00.
ReminderSpec halfHourly()
{
    ReminderSpec spec;
    spec.scheduleType = ScheduleType::interval;
    spec.fixedTime = std::nullopt;
    spec.intervalMinutes = 30;
    spec.intervalStart = QTime(9, 0);
    spec.intervalEnd = QTime(11, 0);
    return spec;
}

} // namespace

// Answering an occurrence from outside the loop: banners, lists and system notifications.
class TestAnswers : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    StoreContext *context() const { return m_store->mainContext(); }
    ReminderPresentationService &service() { return ReminderPresentationService::shared(); }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        Clock::setNow(hm("09:00"));
        m_store = openStore();
    }

    void cleanup()
    {
        for (const auto &reminder : context()->fetch<Reminder>())
            service().clearBookkeeping(*reminder);
        m_store.reset();
        Clock::useSystemTime();
    }

    void resolveChoosesTheOccurrence_data()
    {
        QTest::addColumn<QStringList>("earlierLogs");
        QTest::addColumn<QString>("given"); // empty: no due time given
        QTest::addColumn<QString>("now");
        QTest::addColumn<LogStatus>("status");
        QTest::addColumn<QString>("expected");

        QTest::newRow("given due time") << QStringList{} << "09:30"
                                        << "10:10" << LogStatus::completed << "09:30 completed";
        QTest::newRow("earliest open up to now") << QStringList{"09:00 completed"} << ""
                                                 << "10:10" << LogStatus::skipped << "09:30 skipped";
        QTest::newRow("nothing open: now") << QStringList{"09:00 completed", "09:30 skipped", "10:00 missed"} << ""
                                           << "10:10" << LogStatus::completed << "10:10 completed";
    }

    void resolveChoosesTheOccurrence()
    {
        QFETCH(QStringList, earlierLogs);
        QFETCH(QString, given);
        QFETCH(QString, now);
        QFETCH(LogStatus, status);
        QFETCH(QString, expected);

        const auto reminder = makeReminder(context(), halfHourly());
        for (const QString &line : earlierLogs) {
            const QStringList parts = line.split(QLatin1Char(' '));
            context()->insert(addLog(reminder, hm(parts[0]), parts[1]));
        }
        QVERIFY(context()->save());
        Clock::setNow(hm(now));

        const std::optional<QDateTime> due = given.isEmpty() ? std::nullopt : std::optional(hm(given));
        service().resolveOccurrence(reminder, status, context(), due);

        const QStringList lines = logLines(*reminder);
        QCOMPARE(lines.size(), earlierLogs.size() + 1);
        QCOMPARE(lines.last(), expected);
        QVERIFY(!context()->hasChanges()); // saved
    }

    void snooze_data()
    {
        QTest::addColumn<QString>("earlierSnoozeAt"); // empty: none
        QTest::addColumn<QString>("now");
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<qint64>("nextAttempt");
        QTest::addColumn<QString>("until");
        QTest::addColumn<QString>("base");

        QTest::newRow("attempt 1") << ""
                                   << "09:05" << qint64(15) << qint64(2) << "09:20"
                                   << "09:05";
        QTest::newRow("attempt 3 stays 3") << ""
                                           << "09:31" << qint64(15) << qint64(3) << "09:46"
                                           << "09:16";
        QTest::newRow("expired counts as attempt 1") << ""
                                                     << "09:50" << qint64(15) << qint64(2) << "10:05"
                                                     << "09:50";
        QTest::newRow("snoozed attempt 2 again") << "09:05"
                                                 << "09:25" << qint64(15) << qint64(3) << "09:40"
                                                 << "09:10";
        QTest::newRow("notification's ten minutes") << ""
                                                    << "09:02" << qint64(10) << qint64(2) << "09:12"
                                                    << "08:57";
    }

    void snooze()
    {
        QFETCH(QString, earlierSnoozeAt);
        QFETCH(QString, now);
        QFETCH(qint64, minutes);
        QFETCH(qint64, nextAttempt);
        QFETCH(QString, until);
        QFETCH(QString, base);

        const auto reminder = makeReminder(context());
        const QString key = ReminderPresentationService::occurrenceKey(*reminder, hm("09:00"));
        if (!earlierSnoozeAt.isEmpty()) {
            Clock::setNow(hm(earlierSnoozeAt));
            service().snooze(reminder, 15, hm("09:00"), context());
        }
        Clock::setNow(hm(now));
        service().snooze(reminder, minutes, hm("09:00"), context());

        QCOMPARE(service().snoozedOccurrences().value(key), (SnoozeEntry{hm(until), nextAttempt}));
        QCOMPARE(service().attemptBaseDates().value(key), hm(base));
        QCOMPARE(service().snoozedOccurrences().size(), 1);
        // Silent until then, due as the next attempt from then on.
        QVERIFY(!service().attemptNumber(*reminder, hm("09:00"), hm(until).addSecs(-1)));
        QCOMPARE(service().attemptNumber(*reminder, hm("09:00"), hm(until)), nextAttempt);
        // Each snooze with a context leaves a snoozed log for the due time, which keeps the occurrence open.
        const QStringList expectedLogs(earlierSnoozeAt.isEmpty() ? 1 : 2, QStringLiteral("09:00 snoozed"));
        QCOMPARE(logLines(*reminder), expectedLogs);
    }

    void notificationSnoozeWritesNoLog_data()
    {
        QTest::addColumn<QStringList>("earlierLogs");
        QTest::addColumn<QString>("now");
        QTest::addColumn<QString>("snoozedDue"); // the due time whose key is snoozed

        QTest::newRow("earliest open occurrence") << QStringList{"09:00 completed"} << "09:45"
                                                  << "09:30";
        QTest::newRow("none open: the current minute") << QStringList{"09:00 completed", "09:30 completed"} << "09:45"
                                                       << "09:45";
    }

    void notificationSnoozeWritesNoLog()
    {
        QFETCH(QStringList, earlierLogs);
        QFETCH(QString, now);
        QFETCH(QString, snoozedDue);

        const auto reminder = makeReminder(context(), halfHourly());
        for (const QString &line : earlierLogs) {
            const QStringList parts = line.split(QLatin1Char(' '));
            context()->insert(addLog(reminder, hm(parts[0]), parts[1]));
        }
        QVERIFY(context()->save());
        Clock::setNow(hm(now).addSecs(25));

        service().snooze(reminder, 10);

        QCOMPARE(service().snoozedOccurrences().keys(),
                 QStringList{ReminderPresentationService::occurrenceKey(*reminder, hm(snoozedDue))});
        QCOMPARE(service().snoozedOccurrences().cbegin().value().until, hm(now).addSecs(25 + 600));
        QCOMPARE(reminder->logs().size(), earlierLogs.size());
        QVERIFY(!context()->hasChanges());
    }

    void deletedReminderIsNotAnswered()
    {
        const auto reminder = makeReminder(context());
        QVERIFY(context()->save());
        context()->remove(reminder);
        QVERIFY(context()->save());
        Clock::setNow(hm("09:05"));

        service().resolveOccurrence(reminder, LogStatus::completed, context(), hm("09:00"));
        service().snooze(reminder, 15, hm("09:00"), context());

        QCOMPARE(context()->fetchCount<ReminderLog>(), 0);
        QVERIFY(reminder->logs().isEmpty());
        QVERIFY(service().snoozedOccurrences().isEmpty());
        QVERIFY(!context()->hasChanges());
    }

    void bannerOfAnOccurrenceAnsweredElsewhere_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("floating");
        QTest::addColumn<QString>("pressed");
        QTest::addColumn<bool>("dismissed");
        QTest::addColumn<QStringList>("logs");

        QTest::newRow("notification Done, floating banner's Done")
            << "notification" << true << "Done" << true << QStringList{"09:00 completed"};
        QTest::newRow("notification Done, in-window banner's snooze")
            << "notification" << false << "In 15 min" << true << QStringList{"09:00 completed"};
        QTest::newRow("list Done, banner's Done")
            << "list done" << true << "Done" << true << QStringList{"09:00 completed"};
        QTest::newRow("list Skip, banner's Skip")
            << "list skip" << false << "Skip" << true << QStringList{"09:00 skipped"};
        QTest::newRow("another occurrence answered")
            << "other occurrence" << true << "Done" << false << QStringList{"09:30 completed", "09:00 completed"};
    }

    void bannerOfAnOccurrenceAnsweredElsewhere()
    {
        QFETCH(QString, answer);
        QFETCH(bool, floating);
        QFETCH(QString, pressed);
        QFETCH(bool, dismissed);
        QFETCH(QStringList, logs);

        FakeBannerPresenter banners;
        FakeAppActivity activity;
        activity.activeWithWindow = !floating;
        FakeNotificationCenter center;
        SchedulerService::shared().setNotificationCenter(&center);
        service().setBannerPresenter(&banners, &activity);
        service().setNotificationCenter(&center);
        const auto restore = qScopeGuard([&] {
            SchedulerService::shared().setNotificationCenter(nullptr);
            service().resetForTesting();
        });

        const auto reminder = makeReminder(context(), halfHourly());
        QVERIFY(context()->save());
        Clock::setNow(hm("09:05"));
        service().start(m_store.get());
        QCOMPARE(banners.shown.size(), 1);
        QCOMPARE(banners.shown.first().floating, floating);

        if (answer == "notification")
            SchedulerService::shared().handleNotificationResponse(reminder->id(), QStringLiteral("COMPLETE"),
                                                                  hm("09:00"), *context());
        else if (answer == "other occurrence")
            service().resolveOccurrence(reminder, LogStatus::completed, context(), hm("09:30"));
        else
            service().resolveOccurrence(reminder, answer == "list skip" ? LogStatus::skipped : LogStatus::completed,
                                        context());
        QCoreApplication::processEvents(); // the store's change notification
        QCOMPARE(banners.wasDismissedAlone(banners.shown.first()), dismissed);

        // A press that was already on its way when the banner closed.
        QVERIFY(banners.press(pressed));
        QCOMPARE(logLines(*reminder), logs);
        QVERIFY(service().snoozedOccurrences().isEmpty());
        // Nothing shows the answered occurrence again.
        Clock::setNow(hm("09:20"));
        service().tick();
        QCOMPARE(banners.shown.size(), 1);
    }

    void outlandishSnoozeLengthsStayValid_data()
    {
        QTest::addColumn<qint64>("minutes");
        QTest::newRow("largest") << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << std::numeric_limits<qint64>::min();
    }

    void outlandishSnoozeLengthsStayValid()
    {
        QFETCH(qint64, minutes);
        const auto reminder = makeReminder(context());
        Clock::setNow(hm("09:05"));
        service().snooze(reminder, minutes, hm("09:00"));
        const SnoozeEntry entry = service().snoozedOccurrences().cbegin().value();
        QVERIFY(entry.until.isValid());
        QVERIFY(service().attemptBaseDates().cbegin().value().isValid());
    }
};

QTEST_GUILESS_MAIN(TestAnswers)
#include "tst_answers.moc"
