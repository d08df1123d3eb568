#include "EngineTestSupport.h"

#include "Engine/ReminderBehaviorService.h"
#include "Platform/Clock.h"

#include <QtTest>

#include <ctime>

using namespace ovlin;
using namespace enginetest;

using Resolution = ReminderBehaviorService::Resolution;
Q_DECLARE_METATYPE(ReminderBehaviorService::Resolution)
Q_DECLARE_METATYPE(ovlin::LogStatus)

namespace {

// "2026-06-10T09:00 completed" -> a log of that reminder; "<empty>" stands for an empty status text.
void addLogs(const std::shared_ptr<Reminder> &reminder, const QStringList &specs)
{
    for (const QString &spec : specs) {
        const QStringList parts = spec.split(QLatin1Char(' '));
        const QString status = parts.value(1) == QStringLiteral("<empty>") ? QString() : parts.value(1);
        addLog(reminder, parseMoment(parts.value(0)), status);
    }
}

QStringList statusesOf(const Reminder &reminder)
{
    QStringList statuses;
    for (const auto &log : reminder.logs())
        statuses << log->scheduledAt().toLocalTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ') +
                        log->statusRaw();
    statuses.sort();
    return statuses;
}

} // namespace

// Day resolutions, the reminders due on a day, recording and taking back answers, grace bookkeeping.
class TestDayStates : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    StoreContext *context() const { return m_store->mainContext(); }
    ReminderBehaviorService &service() { return ReminderBehaviorService::shared(); }
    const QDateTime m_now = at(QDate(2026, 6, 10), 14, 30);

private Q_SLOTS:
    void init()
    {
        resetSettings();
        Clock::setNow(m_now);
        m_store = openStore();
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void resolution_data()
    {
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<Resolution>("expected");

        const QDate june10(2026, 6, 10);
        QTest::newRow("no logs") << QStringList{} << june10 << Resolution::pending;
        QTest::newRow("completed outweighs skipped")
            << QStringList{"2026-06-10T09:00 skipped", "2026-06-10T09:30 completed", "2026-06-10T10:00 skipped"}
            << june10 << Resolution::completed;
        QTest::newRow("skipped outweighs missed")
            << QStringList{"2026-06-10T09:00 missed", "2026-06-10T12:00 skipped"} << june10 << Resolution::skipped;
        QTest::newRow("missed alone") << QStringList{"2026-06-10T09:00 missed"} << june10 << Resolution::missed;
        QTest::newRow("snoozed only stays pending")
            << QStringList{"2026-06-10T09:00 snoozed", "2026-06-10T09:15 snoozed"} << june10 << Resolution::pending;
        QTest::newRow("empty status text counts as missed")
            << QStringList{"2026-06-10T09:00 <empty>"} << june10 << Resolution::missed;
        QTest::newRow("unknown status text loses to skipped")
            << QStringList{"2026-06-10T09:00 done", "2026-06-10T09:05 skipped"} << june10 << Resolution::skipped;
        QTest::newRow("other days do not count")
            << QStringList{"2026-06-09T09:00 completed", "2026-06-11T09:00 completed"} << june10 << Resolution::pending;
        QTest::newRow("23:50 counts for its own day")
            << QStringList{"2026-06-09T23:50 completed"} << QDate(2026, 6, 9) << Resolution::completed;
        QTest::newRow("23:50 not for the next day")
            << QStringList{"2026-06-09T23:50 completed"} << june10 << Resolution::pending;
        QTest::newRow("midnight opens the day")
            << QStringList{"2026-06-10T00:00 skipped"} << june10 << Resolution::skipped;
        QTest::newRow("next midnight closes it")
            << QStringList{"2026-06-11T00:00 skipped"} << june10 << Resolution::pending;
        QTest::newRow("23-hour day, late log")
            << QStringList{"2026-03-29T23:30 completed"} << QDate(2026, 3, 29) << Resolution::completed;
        QTest::newRow("23-hour day, early log")
            << QStringList{"2026-03-29T00:30 missed"} << QDate(2026, 3, 29) << Resolution::missed;
        QTest::newRow("23-hour day ends at midnight")
            << QStringList{"2026-03-30T00:00 completed"} << QDate(2026, 3, 29) << Resolution::pending;
        QTest::newRow("25-hour day, first 02:30")
            << QStringList{"2026-10-25T00:30:00Z completed"} << QDate(2026, 10, 25) << Resolution::completed;
        QTest::newRow("25-hour day, second 02:30")
            << QStringList{"2026-10-25T01:30:00Z skipped"} << QDate(2026, 10, 25) << Resolution::skipped;
        QTest::newRow("25-hour day, 23:59")
            << QStringList{"2026-10-25T23:59 missed"} << QDate(2026, 10, 25) << Resolution::missed;
        QTest::newRow("25-hour day, not the day before")
            << QStringList{"2026-10-25T00:00 completed"} << QDate(2026, 10, 24) << Resolution::pending;
    }

    void resolution()
    {
        QFETCH(QStringList, logs);
        QFETCH(QDate, day);
        QFETCH(Resolution, expected);

        const auto reminder = makeReminder(context());
        addLogs(reminder, logs);
        QCOMPARE(service().resolution(*reminder, at(day, 12, 0)), expected);
        // The same answer from any moment of the day, and for a reminder outside any store.
        QCOMPARE(service().resolution(*reminder, at(day, 0, 0)), expected);
        QCOMPARE(service().resolution(*reminder, Days::startOfNextDay(at(day, 12, 0)).addMSecs(-1)), expected);
        const auto free = makeReminder(nullptr);
        addLogs(free, logs);
        QCOMPARE(service().resolution(*free, at(day, 12, 0)), expected);
    }

    void resolutionIgnoresActiveFlagAndDays()
    {
        const auto reminder = makeReminder(context(), {.activeDaysRaw = {}, .isActive = false});
        addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::completed);
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::completed);
        QVERIFY(service().remindersScheduled(m_now, {reminder}).isEmpty());
    }

    void resolutionFollowsNewLogs()
    {
        const auto reminder = makeReminder(context());
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::pending);
        const auto log = addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::skipped);
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::skipped);
        log->setStatusRaw(QStringLiteral("completed"));
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::completed);
        log->setScheduledAt(at(QDate(2026, 6, 9), 9, 0));
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::pending);
        context()->remove(log);
        QCOMPARE(service().resolution(*reminder, at(QDate(2026, 6, 9), 9, 0)), Resolution::pending);
    }

    void followsAChangeOfTimeZone()
    {
        const auto reminder = makeReminder(context());
        addLog(reminder, parseMoment(QStringLiteral("2026-06-10T03:00:00Z")), LogStatus::completed);
        QCOMPARE(service().resolution(*reminder, at(QDate(2026, 6, 10), 12, 0)), Resolution::completed);

        const QByteArray berlin = qgetenv("TZ");
        qputenv("TZ", "America/New_York"); // 23:00 the evening before
        tzset();
        QCOMPARE(service().resolution(*reminder, at(QDate(2026, 6, 10), 12, 0)), Resolution::pending);
        QCOMPARE(service().resolution(*reminder, at(QDate(2026, 6, 9), 12, 0)), Resolution::completed);
        qputenv("TZ", berlin);
        tzset();
        QCOMPARE(service().resolution(*reminder, at(QDate(2026, 6, 10), 12, 0)), Resolution::completed);
    }

    void remindersScheduled_data()
    {
        QTest::addColumn<QList<qint64>>("days");
        QTest::addColumn<bool>("active");
        QTest::addColumn<QDate>("date");
        QTest::addColumn<bool>("expected");

        const QDate monday(2026, 6, 8);
        const QDate sunday(2026, 6, 7);
        QTest::newRow("monday on a Monday") << QList<qint64>{1} << true << monday << true;
        QTest::newRow("monday on a Sunday") << QList<qint64>{1} << true << sunday << false;
        QTest::newRow("sunday on a Sunday") << QList<qint64>{7} << true << sunday << true;
        QTest::newRow("saturday on a Sunday") << QList<qint64>{6} << true << sunday << false;
        QTest::newRow("empty list means never") << QList<qint64>{} << true << monday << false;
        QTest::newRow("only invalid values") << QList<qint64>{0, 8, -1} << true << monday << false;
        QTest::newRow("invalid values beside a valid one") << QList<qint64>{0, 1, 9} << true << monday << true;
        QTest::newRow("paused") << QList<qint64>{1, 2, 3, 4, 5, 6, 7} << false << monday << false;
    }

    void remindersScheduled()
    {
        QFETCH(QList<qint64>, days);
        QFETCH(bool, active);
        QFETCH(QDate, date);
        QFETCH(bool, expected);

        const auto reminder = makeReminder(context(), {.activeDaysRaw = days, .isActive = active});
        const auto scheduled = service().remindersScheduled(at(date, 23, 59), {reminder});
        QCOMPARE(scheduled.size(), expected ? 1 : 0);
    }

    void remindersScheduledKeepsListOrder()
    {
        const auto a = makeReminder(context(), {.title = QStringLiteral("a")});
        const auto b = makeReminder(context(), {.title = QStringLiteral("b"), .isActive = false});
        const auto c = makeReminder(context(), {.title = QStringLiteral("c")});
        const auto d = makeReminder(context(), {.title = QStringLiteral("d")});
        const QList<std::shared_ptr<Reminder>> expected{d, a, c};
        QCOMPARE(service().remindersScheduled(m_now, {d, b, a, c}), expected);
    }

    void logResolution_data()
    {
        QTest::addColumn<LogStatus>("status");
        QTest::addColumn<bool>("refreshesGrace");

        QTest::newRow("completed") << LogStatus::completed << false;
        QTest::newRow("snoozed") << LogStatus::snoozed << false;
        QTest::newRow("skipped") << LogStatus::skipped << true;
        QTest::newRow("missed") << LogStatus::missed << true;
    }

    void logResolution()
    {
        QFETCH(LogStatus, status);
        QFETCH(bool, refreshesGrace);

        const QDateTime sentinel = at(QDate(2020, 1, 1), 0, 0);
        AppSettings::shared().setGraceUsedThisWeek(sentinel);
        AppSettings::shared().setGracePeriodStart(sentinel);
        const auto reminder = makeReminder(context());
        context()->save();
        const QDateTime due = at(QDate(2026, 6, 10), 9, 0);

        service().logResolution(status, reminder, due, *context());

        QCOMPARE(reminder->logs().size(), 1);
        const auto log = reminder->logs().first();
        QCOMPARE(log->scheduledAt(), due);
        QCOMPARE(log->status(), status);
        QCOMPARE(log->completedAt(), status == LogStatus::completed ? std::optional<QDateTime>(m_now) : std::nullopt);
        QCOMPARE(log->reminder(), reminder);
        QCOMPARE(log->context(), context());
        QVERIFY(!context()->hasChanges()); // saved
        QCOMPARE(context()->fetchCount<ReminderLog>(), qsizetype(1));
        const QDateTime today = Days::startOfDay(m_now);
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(),
                 refreshesGrace ? std::optional<QDateTime>(today) : std::optional<QDateTime>(sentinel));
        QCOMPARE(AppSettings::shared().gracePeriodStart(), refreshesGrace ? today : sentinel);
    }

    void completionAfterMidnightCountsForTheScheduledDay()
    {
        const auto reminder = makeReminder(context());
        const QDate day(2026, 6, 9);
        Clock::setNow(at(day.addDays(1), 0, 10));
        service().logResolution(LogStatus::completed, reminder, at(day, 23, 50), *context());
        QCOMPARE(reminder->logs().first()->completedAt(), std::optional<QDateTime>(at(day.addDays(1), 0, 10)));
        QCOMPARE(service().resolution(*reminder, at(day, 8, 0)), Resolution::completed);
        QCOMPARE(service().resolution(*reminder, Clock::now()), Resolution::pending);
    }

    void answeringTwiceWritesTwoLogs()
    {
        const auto reminder = makeReminder(context());
        const QDateTime due = at(QDate(2026, 6, 10), 9, 0);
        service().logResolution(LogStatus::completed, reminder, due, *context());
        service().logResolution(LogStatus::skipped, reminder, due, *context());
        QCOMPARE(reminder->logs().size(), 2);
        QCOMPARE(service().resolution(*reminder, due), Resolution::completed);
    }

    void clearResolution_data()
    {
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<Resolution>("after");

        QTest::newRow("later of two skips") << QStringList{"2026-06-10T09:00 skipped", "2026-06-10T12:00 skipped"}
                                            << QStringList{"09:00 skipped"} << Resolution::skipped;
        QTest::newRow("later of two skips joined first")
            << QStringList{"2026-06-10T12:00 skipped", "2026-06-10T09:00 skipped"} << QStringList{"09:00 skipped"}
            << Resolution::skipped;
        QTest::newRow("never another status")
            << QStringList{"2026-06-10T08:00 completed", "2026-06-10T10:00 skipped", "2026-06-10T11:00 missed",
                           "2026-06-10T13:00 snoozed"}
            << QStringList{"08:00 completed", "11:00 missed", "13:00 snoozed"} << Resolution::completed;
        QTest::newRow("missed shows once the skip is gone")
            << QStringList{"2026-06-10T09:00 missed", "2026-06-10T10:00 skipped"} << QStringList{"09:00 missed"}
            << Resolution::missed;
        QTest::newRow("skip of another day stays")
            << QStringList{"2026-06-09T12:00 skipped", "2026-06-10T09:00 skipped", "2026-06-11T08:00 skipped"}
            << QStringList{"08:00 skipped", "12:00 skipped"} << Resolution::pending;
        QTest::newRow("unknown status text is not a skip")
            << QStringList{"2026-06-10T09:00 Skipped"} << QStringList{"09:00 Skipped"} << Resolution::missed;
    }

    void clearResolution()
    {
        QFETCH(QStringList, logs);
        QFETCH(QStringList, remaining);
        QFETCH(Resolution, after);

        const auto reminder = makeReminder(context());
        addLogs(reminder, logs);
        context()->save();
        const qsizetype before = context()->fetchCount<ReminderLog>();

        service().clearResolution(reminder, m_now, *context());

        QCOMPARE(statusesOf(*reminder), remaining);
        QCOMPARE(context()->fetchCount<ReminderLog>(), before - (logs.size() - remaining.size()));
        QVERIFY(!context()->hasChanges());
        QCOMPARE(service().resolution(*reminder, m_now), after);
    }

    void clearResolutionWithoutSkipDoesNotSave()
    {
        const auto reminder = makeReminder(context());
        addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::completed);
        addLog(reminder, at(QDate(2026, 6, 10), 10, 0), LogStatus::missed);
        context()->save();
        AppSettings::shared().setGraceUsedThisWeek(std::nullopt);
        reminder->setTitle(QStringLiteral("unsaved")); // a pending change that a save would write

        service().clearResolution(reminder, m_now, *context());

        QVERIFY(context()->hasChanges());
        QCOMPARE(reminder->logs().size(), 2);
        QVERIFY(!AppSettings::shared().graceUsedThisWeek()); // not refreshed
    }

    void clearResolutionTwiceEmptiesTheDay()
    {
        const auto reminder = makeReminder(context());
        addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::skipped);
        addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::skipped);
        service().clearResolution(reminder, m_now, *context());
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::skipped);
        service().clearResolution(reminder, m_now, *context());
        QCOMPARE(service().resolution(*reminder, m_now), Resolution::pending);
        QCOMPARE(reminder->logs().size(), 0);
    }

    void clearResolutionKeepsALogSharingTheId()
    {
        const auto reminder = makeReminder(context());
        const auto kept = addLog(reminder, at(QDate(2026, 6, 10), 9, 0), LogStatus::completed);
        const auto skip = addLog(reminder, at(QDate(2026, 6, 10), 10, 0), LogStatus::skipped);
        skip->setId(kept->id());
        service().clearResolution(reminder, m_now, *context());
        QCOMPARE(reminder->logs(), QList<std::shared_ptr<ReminderLog>>{kept});
        QCOMPARE(kept->reminder(), reminder);
        QVERIFY(skip->isDeleted());
    }

    void clearResolutionRefreshesGrace()
    {
        const auto reminder = makeReminder(context());
        service().logResolution(LogStatus::skipped, reminder, at(QDate(2026, 6, 10), 9, 0), *context());
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(), std::optional<QDateTime>(Days::startOfDay(m_now)));
        service().clearResolution(reminder, m_now, *context());
        QVERIFY(!AppSettings::shared().graceUsedThisWeek());
        QCOMPARE(AppSettings::shared().gracePeriodStart(), Days::startOfDay(m_now));
    }

    void graceRefreshWindow_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<QString>("expectedUsed"); // local day, or empty for absent

        const QDate june10(2026, 6, 10);
        QTest::newRow("nothing") << june10 << QStringList{} << QString();
        QTest::newRow("skipped today") << june10 << QStringList{"2026-06-10T09:00 skipped"} << "2026-06-10";
        QTest::newRow("missed at the window start") << june10 << QStringList{"2026-06-03T00:00 missed"} << "2026-06-03";
        QTest::newRow("missed a minute earlier") << june10 << QStringList{"2026-06-02T23:59 missed"} << QString();
        QTest::newRow("latest of several")
            << june10 << QStringList{"2026-06-05T09:00 skipped", "2026-06-08T20:00 missed", "2026-06-04T09:00 missed"}
            << "2026-06-08";
        QTest::newRow("no upper bound") << june10 << QStringList{"2026-06-12T09:00 skipped"} << "2026-06-12";
        QTest::newRow("completed and snoozed do not count")
            << june10 << QStringList{"2026-06-10T09:00 completed", "2026-06-10T10:00 snoozed"} << QString();
        QTest::newRow("unknown text counts as missed")
            << june10 << QStringList{"2026-06-09T09:00 done"} << "2026-06-09";
        QTest::newRow("window across the spring change")
            << QDate(2026, 4, 2) << QStringList{"2026-03-26T00:00 missed"} << "2026-03-26";
        QTest::newRow("window across the spring change, a minute early")
            << QDate(2026, 4, 2) << QStringList{"2026-03-25T23:59 missed"} << QString();
    }

    void graceRefreshWindow()
    {
        QFETCH(QDate, today);
        QFETCH(QStringList, logs);
        QFETCH(QString, expectedUsed);

        addLogs(makeReminder(context()), logs);
        // Logs of another reminder and logs without a reminder are in the store too.
        const auto other = makeReminder(context());
        addLog(other, at(today.addDays(-30), 9, 0), LogStatus::skipped);

        service().refreshGraceState(*context(), at(today, 16, 45));

        const auto used = AppSettings::shared().graceUsedThisWeek();
        if (expectedUsed.isEmpty()) {
            QVERIFY(!used);
            QCOMPARE(AppSettings::shared().gracePeriodStart(), Days::startOfDay(today));
        } else {
            const QDateTime expected = Days::startOfDay(QDate::fromString(expectedUsed, Qt::ISODate));
            QCOMPARE(used, std::optional<QDateTime>(expected));
            QCOMPARE(AppSettings::shared().gracePeriodStart(), expected);
        }
    }

    void graceRefreshCountsLogsWithoutReminder()
    {
        const auto reminder = makeReminder(context());
        const auto log = addLog(reminder, at(QDate(2026, 6, 9), 9, 0), LogStatus::missed);
        reminder->removeLog(log);
        QVERIFY(!log->reminder());
        service().refreshGraceState(*context(), m_now);
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(), std::optional<QDateTime>(at(QDate(2026, 6, 9), 0, 0)));
    }

    void graceOff()
    {
        resetSettings({{QStringLiteral("gracePeriodEnabled"), false}});
        const QDateTime start = at(QDate(2026, 5, 1), 0, 0);
        AppSettings::shared().setGraceUsedThisWeek(at(QDate(2026, 6, 9), 0, 0));
        AppSettings::shared().setGracePeriodStart(start);
        addLog(makeReminder(context()), at(QDate(2026, 6, 10), 9, 0), LogStatus::skipped);

        service().refreshGraceState(*context(), m_now);

        QVERIFY(!AppSettings::shared().graceUsedThisWeek());
        QCOMPARE(AppSettings::shared().gracePeriodStart(), start);
        QVERIFY(!service().canUseGrace(m_now));
        QVERIFY(!service().useGraceIfAvailable(m_now, true));
        QVERIFY(!AppSettings::shared().graceUsedThisWeek());
    }

    void graceQueryAfterASkip_data()
    {
        QTest::addColumn<int>("daysLater");
        QTest::addColumn<bool>("available");
        QTest::newRow("same day") << 0 << false;
        QTest::newRow("seven days later") << 7 << false;
        QTest::newRow("eight days later") << 8 << true;
    }

    void graceQueryAfterASkip()
    {
        QFETCH(int, daysLater);
        QFETCH(bool, available);

        service().logResolution(LogStatus::skipped, makeReminder(context()), at(QDate(2026, 6, 10), 9, 0), *context());
        const auto used = AppSettings::shared().graceUsedThisWeek();
        const QDateTime start = AppSettings::shared().gracePeriodStart();
        const QDateTime asked = Days::addDays(m_now, daysLater);

        QCOMPARE(service().useGraceIfAvailable(asked, false), available);
        QCOMPARE(service().canUseGrace(Days::startOfDay(asked)), available);
        // Asking without committing never writes.
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(), used);
        QCOMPARE(AppSettings::shared().gracePeriodStart(), start);
    }

    void graceCommit()
    {
        QVERIFY(service().canUseGrace(m_now)); // nothing used yet
        QVERIFY(service().useGraceIfAvailable(m_now, true));
        const QDateTime today = Days::startOfDay(m_now);
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(), std::optional<QDateTime>(today));
        QCOMPARE(AppSettings::shared().gracePeriodStart(), today);
        QVERIFY(!service().useGraceIfAvailable(m_now, true));
    }
};

QTEST_GUILESS_MAIN(TestDayStates)
#include "tst_daystates.moc"
