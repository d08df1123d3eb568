#include "LoopTestSupport.h"

#include "Platform/FakeNotificationCenter.h"

#include <QtTest>

using namespace looptest;

Q_DECLARE_METATYPE(ovlin::CopyTrigger)

namespace {

const QDate june10(2026, 6, 10); // a Wednesday

QDateTime hms(const QString &text, const QDate &day = june10)
{
    const QTime time = QTime::fromString(text, text.size() > 5 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm"));
    return at(day, time.hour(), time.minute(), time.second());
}

// "HH:mm:ss identifier" for every request added, with the time it was added.
struct Posted
{
    QDateTime at;
    NotificationRequest request;
};

} // namespace

// The once-a-day evening warning ("Still open.") and daily summary ("Today, wrapped.").
class TestEvening : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    FakeBannerPresenter m_banners;
    FakeAppActivity m_activity;
    FakeNotificationCenter m_notifications;
    QList<Posted> m_posted;
    qsizetype m_seenRequests = 0;

    StoreContext *context() const { return m_store->mainContext(); }
    ReminderPresentationService &service() { return ReminderPresentationService::shared(); }

    void notePosted()
    {
        const auto pending = m_notifications.pendingRequests();
        const auto added = m_notifications.addedIdentifiers();
        for (; m_seenRequests < added.size(); ++m_seenRequests) {
            for (const auto &request : pending) {
                if (request.identifier == added.at(m_seenRequests))
                    m_posted.append({Clock::now(), request});
            }
        }
    }

    void runUntil(const QDateTime &end, const std::function<void()> &afterTick = {})
    {
        while (Clock::now() < end) {
            Clock::advance(15);
            service().tick();
            notePosted();
            if (afterTick)
                afterTick();
        }
    }

    void launch(const QDateTime &moment)
    {
        Clock::setNow(moment);
        service().start(m_store.get());
        notePosted();
    }

    QStringList postedLines() const
    {
        QStringList lines;
        for (const Posted &posted : m_posted)
            lines << posted.at.toLocalTime().toString(QStringLiteral("MM-dd HH:mm:ss ")) + posted.request.identifier;
        return lines;
    }

    // A reminder due at `time` every day, answered with `status` ("" leaves it open).
    std::shared_ptr<Reminder> reminderAt(const QTime &time, const QString &status = {}, const QDate &day = june10)
    {
        ReminderSpec spec;
        spec.fixedTime = time;
        const auto reminder = makeReminder(context(), spec);
        if (!status.isEmpty())
            context()->insert(addLog(reminder, at(day, time.hour(), time.minute()), status));
        return reminder;
    }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        service().resetForTesting();
        service().setBannerPresenter(&m_banners, &m_activity);
        service().setNotificationCenter(&m_notifications);
        m_notifications.removeAllPendingRequests();
        m_notifications.clearRecords();
        m_posted.clear();
        m_seenRequests = 0;
        m_store = openStore();
    }

    void cleanup()
    {
        service().resetForTesting();
        m_banners = FakeBannerPresenter();
        m_store.reset();
        Clock::useSystemTime();
    }

    void eveningWarningOncePerDay()
    {
        reminderAt(QTime(9, 0), QStringLiteral("completed"));
        reminderAt(QTime(12, 0));
        resetSettings({{QStringLiteral("dailySummaryEnabled"), false}});
        launch(hms("19:00"));
        runUntil(hms("23:59:45", june10.addDays(1)));

        // Day two has nothing answered, so it warns again under its own key.
        QCOMPARE(postedLines(),
                 (QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10", "06-11 20:00:00 ovlin-evening-2026-06-11"}));
        QVERIFY(service().eveningWarningKeys().contains(QStringLiteral("2026-06-10")));
    }

    void requestsAsPosted_data()
    {
        QTest::addColumn<bool>("sound");
        QTest::newRow("with sound") << true;
        QTest::newRow("silent") << false;
    }

    void requestsAsPosted()
    {
        QFETCH(bool, sound);
        resetSettings({{QStringLiteral("soundEnabled"), sound}});
        reminderAt(QTime(9, 0));
        launch(hms("21:30"));

        QCOMPARE(m_posted.size(), 2);
        const NotificationRequest evening = m_posted.at(0).request;
        const NotificationRequest summary = m_posted.at(1).request;
        QCOMPARE(evening.identifier, QStringLiteral("ovlin-evening-2026-06-10"));
        QCOMPARE(evening.content.title, QStringLiteral("Still open."));
        QCOMPARE(summary.identifier, QStringLiteral("ovlin-summary-2026-06-10"));
        QCOMPARE(summary.content.title, QStringLiteral("Today, wrapped."));
        for (const NotificationRequest &request : {evening, summary}) {
            QVERIFY(std::holds_alternative<TimeIntervalTrigger>(request.trigger));
            QCOMPARE(std::get<TimeIntervalTrigger>(request.trigger).seconds, 1.0);
            QVERIFY(!request.repeats());
            QVERIFY(request.content.categoryIdentifier.isEmpty());
            QVERIFY(request.content.userInfo.isEmpty());
            QVERIFY(!request.content.body.isEmpty());
            QCOMPARE(request.content.sound,
                     sound ? std::optional(NotificationSound::defaultSound()) : std::optional<NotificationSound>());
        }
    }

    void armedWithNothingOpenStaysArmed()
    {
        reminderAt(QTime(9, 0), QStringLiteral("completed"));
        reminderAt(QTime(12, 0), QStringLiteral("missed"));
        resetSettings({{QStringLiteral("dailySummaryEnabled"), false}});
        launch(hms("19:59"));
        runUntil(hms("20:30"));
        QVERIFY(m_posted.isEmpty());
        QVERIFY(service().eveningWarningKeys().isEmpty());

        // A habit created this evening is open: the warning follows at the next pass.
        reminderAt(QTime(20, 15));
        runUntil(hms("21:00"));
        QCOMPARE(postedLines(), QStringList{"06-10 20:30:15 ovlin-evening-2026-06-10"});
    }

    void warningWording_data()
    {
        QTest::addColumn<bool>("graceEnabled");
        QTest::addColumn<int>("graceUsedDaysAgo"); // -1: never
        QTest::addColumn<CopyTrigger>("trigger");

        QTest::newRow("grace day left") << true << -1 << CopyTrigger::streakAtRiskSoft;
        QTest::newRow("grace used two days ago") << true << 2 << CopyTrigger::streakAtRisk;
        QTest::newRow("grace used eight days ago") << true << 8 << CopyTrigger::streakAtRiskSoft;
        QTest::newRow("grace period off") << false << -1 << CopyTrigger::streakAtRisk;
    }

    void warningWording()
    {
        QFETCH(bool, graceEnabled);
        QFETCH(int, graceUsedDaysAgo);
        QFETCH(CopyTrigger, trigger);

        resetSettings(
            {{QStringLiteral("gracePeriodEnabled"), graceEnabled}, {QStringLiteral("dailySummaryEnabled"), false}});
        if (graceUsedDaysAgo >= 0)
            AppSettings::shared().setGraceUsedThisWeek(Days::startOfDay(june10.addDays(-graceUsedDaysAgo)));
        reminderAt(QTime(9, 0));
        launch(hms("20:00"));

        QCOMPARE(m_posted.size(), 1);
        const QString body = m_posted.first().request.content.body;
        QVERIFY2(CopyEngine::pool(trigger).contains(body), qPrintable(body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), body);
        // Only asked, never spent.
        QCOMPARE(AppSettings::shared().graceUsedThisWeek().has_value(), graceUsedDaysAgo >= 0);
    }

    void summaryOutcome_data()
    {
        QTest::addColumn<QStringList>("statuses"); // one reminder each; "" leaves it open
        QTest::addColumn<CopyTrigger>("trigger");
        QTest::addColumn<int>("completed");

        QTest::newRow("all three completed")
            << QStringList{"completed", "completed", "completed"} << CopyTrigger::dailySummaryPerfect << 3;
        QTest::newRow("two of three completed")
            << QStringList{"completed", "completed", ""} << CopyTrigger::dailySummaryPartial << 2;
        QTest::newRow("none completed, one skipped")
            << QStringList{"skipped", "", ""} << CopyTrigger::dailySummaryPartial << 0;
        QTest::newRow("none completed, one missed")
            << QStringList{"", "missed", ""} << CopyTrigger::dailySummaryPartial << 0;
        QTest::newRow("nothing answered") << QStringList{"", "", ""} << CopyTrigger::dailySummaryFailed << 0;
        QTest::newRow("snoozed only is not answered")
            << QStringList{"snoozed", "snoozed", ""} << CopyTrigger::dailySummaryFailed << 0;
    }

    void summaryOutcome()
    {
        QFETCH(QStringList, statuses);
        QFETCH(CopyTrigger, trigger);
        QFETCH(int, completed);

        resetSettings({{QStringLiteral("eveningReminderEnabled"), false}});
        int hour = 9;
        for (const QString &status : statuses)
            reminderAt(QTime(hour++, 0), status);
        launch(hms("21:29:45"));
        QVERIFY(m_posted.isEmpty());
        runUntil(hms("23:59:45"));

        QCOMPARE(postedLines(), QStringList{"06-10 21:30:00 ovlin-summary-2026-06-10"});
        CopyContext copyContext;
        copyContext.current = completed;
        copyContext.required = statuses.size();
        const QString body = m_posted.first().request.content.body;
        QVERIFY2(CopyEngine::fillTexts(CopyEngine::pool(trigger), copyContext).contains(body), qPrintable(body));
        QCOMPARE(CopyEngine::shared().lastShown(trigger), body);
    }

    void snoozedLogLeavesTheWarningArmed()
    {
        reminderAt(QTime(9, 0), QStringLiteral("snoozed"));
        resetSettings({{QStringLiteral("dailySummaryEnabled"), false}});
        launch(hms("20:00"));
        QCOMPARE(postedLines(), QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10"});
    }

    void switches_data()
    {
        QTest::addColumn<bool>("evening");
        QTest::addColumn<bool>("summary");
        QTest::addColumn<QStringList>("posted");

        QTest::newRow("both on") << true << true
                                 << QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10",
                                                "06-10 21:30:00 ovlin-summary-2026-06-10"};
        QTest::newRow("evening off") << false << true << QStringList{"06-10 21:30:00 ovlin-summary-2026-06-10"};
        QTest::newRow("summary off") << true << false << QStringList{"06-10 20:00:00 ovlin-evening-2026-06-10"};
        QTest::newRow("both off") << false << false << QStringList{};
    }

    void switches()
    {
        QFETCH(bool, evening);
        QFETCH(bool, summary);
        QFETCH(QStringList, posted);

        resetSettings(
            {{QStringLiteral("eveningReminderEnabled"), evening}, {QStringLiteral("dailySummaryEnabled"), summary}});
        reminderAt(QTime(9, 0));
        launch(hms("19:00"));
        runUntil(hms("23:59:45"));
        QCOMPARE(postedLines(), posted);
    }

    void switchedOffAndOnPostsOnce()
    {
        reminderAt(QTime(9, 0));
        launch(hms("21:30"));
        QCOMPARE(m_posted.size(), 2);
        AppSettings::shared().setEveningReminderEnabled(false);
        AppSettings::shared().setDailySummaryEnabled(false);
        runUntil(hms("21:45"));
        AppSettings::shared().setEveningReminderEnabled(true);
        AppSettings::shared().setDailySummaryEnabled(true);
        runUntil(hms("23:00"));
        QCOMPARE(m_posted.size(), 2);
    }

    void settingTimes_data()
    {
        QTest::addColumn<QTime>("eveningTime");
        QTest::addColumn<QTime>("summaryTime");
        QTest::addColumn<QStringList>("posted");

        QTest::newRow("seconds of the setting ignored")
            << QTime(18, 45, 50) << QTime(22, 10, 30)
            << QStringList{"06-10 18:45:00 ovlin-evening-2026-06-10", "06-10 22:10:00 ovlin-summary-2026-06-10"};
        QTest::newRow("same time, warning first")
            << QTime(21, 0) << QTime(21, 0)
            << QStringList{"06-10 21:00:00 ovlin-evening-2026-06-10", "06-10 21:00:00 ovlin-summary-2026-06-10"};
    }

    void settingTimes()
    {
        QFETCH(QTime, eveningTime);
        QFETCH(QTime, summaryTime);
        QFETCH(QStringList, posted);

        AppSettings::shared().setEveningReminderTime(QDateTime(QDate(2025, 1, 6), eveningTime));
        AppSettings::shared().setDailySummaryTime(QDateTime(QDate(2025, 1, 6), summaryTime));
        reminderAt(QTime(9, 0));
        launch(hms("12:00"));
        runUntil(hms("23:59:45"));
        QCOMPARE(postedLines(), posted);
    }

    void nothingScheduledToday_data()
    {
        QTest::addColumn<QList<qint64>>("activeDays");
        QTest::addColumn<bool>("active");
        QTest::newRow("not on Wednesdays") << QList<qint64>{1, 2} << true;
        // The loop presents such a habit every day, but the day's verdict counts it on no day.
        QTest::newRow("empty weekday list") << QList<qint64>{} << true;
        QTest::newRow("paused") << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << false;
    }

    void nothingScheduledToday()
    {
        QFETCH(QList<qint64>, activeDays);
        QFETCH(bool, active);
        ReminderSpec spec;
        spec.activeDaysRaw = activeDays;
        spec.isActive = active;
        makeReminder(context(), spec);
        launch(hms("19:00"));
        runUntil(hms("23:59:45"));
        QVERIFY(m_posted.isEmpty());
    }

    void lateLaunches_data()
    {
        QTest::addColumn<QDateTime>("launchAt");
        QTest::addColumn<QStringList>("posted");

        QTest::newRow("at 23:00 both go at the first pass")
            << hms("23:00")
            << QStringList{"06-10 23:00:00 ovlin-evening-2026-06-10", "06-10 23:00:00 ovlin-summary-2026-06-10"};
        QTest::newRow("at 00:30 the next day nothing until the evening")
            << hms("00:30", june10.addDays(1))
            << QStringList{"06-11 20:00:00 ovlin-evening-2026-06-11", "06-11 21:30:00 ovlin-summary-2026-06-11"};
    }

    void lateLaunches()
    {
        QFETCH(QDateTime, launchAt);
        QFETCH(QStringList, posted);
        reminderAt(QTime(9, 0));
        launch(launchAt);
        runUntil(hms("22:00", june10.addDays(1)));
        // Launched on the 10th, the 11th has its own evening; only the first two lines matter here.
        QCOMPARE(postedLines().mid(0, 2), posted);
    }

    void aRelaunchForgetsTheDayKeys()
    {
        reminderAt(QTime(9, 0));
        launch(hms("21:30"));
        QCOMPARE(m_posted.size(), 2);
        service().resetForTesting(); // what a new process starts with
        service().setBannerPresenter(&m_banners, &m_activity);
        service().setNotificationCenter(&m_notifications);
        launch(hms("21:45"));
        QCOMPARE(postedLines(),
                 (QStringList{"06-10 21:30:00 ovlin-evening-2026-06-10", "06-10 21:30:00 ovlin-summary-2026-06-10",
                              "06-10 21:45:00 ovlin-evening-2026-06-10", "06-10 21:45:00 ovlin-summary-2026-06-10"}));
    }

    void helpers_data()
    {
        QTest::addColumn<QDateTime>("date");
        QTest::addColumn<QString>("key");
        QTest::newRow("June") << hms("20:00") << "2026-06-10";
        QTest::newRow("two-digit month and day") << hms("00:00", QDate(2026, 12, 5)) << "2026-12-05";
        QTest::newRow("last minute of the year") << hms("23:59:59", QDate(2026, 12, 31)) << "2026-12-31";
        QTest::newRow("an instant in UTC reads as local")
            << QDateTime::fromString("2026-06-09T22:30:00Z", Qt::ISODate) << "2026-06-10";
    }

    void helpers()
    {
        QFETCH(QDateTime, date);
        QFETCH(QString, key);
        QCOMPARE(ReminderPresentationService::dayKey(date), key);
        const auto target =
            ReminderPresentationService::timeToday(QDateTime(QDate(2024, 1, 1), QTime(20, 15, 40)), date);
        QVERIFY(target);
        QCOMPARE(target->toLocalTime(), QDateTime(date.toLocalTime().date(), QTime(20, 15)));
        QVERIFY(!ReminderPresentationService::timeToday(QDateTime(), date));
    }

    void timeTodayInADaylightSavingGap()
    {
        // Europe/Berlin skips 02:00-03:00 on 29 March 2026.
        const auto target = ReminderPresentationService::timeToday(QDateTime(QDate(2024, 1, 1), QTime(2, 30)),
                                                                   hms("12:00", QDate(2026, 3, 29)));
        QVERIFY(target);
        QCOMPARE(target->toLocalTime(), QDateTime(QDate(2026, 3, 29), QTime(3, 0)));
    }
};

QTEST_GUILESS_MAIN(TestEvening)
#include "tst_evening.moc"
