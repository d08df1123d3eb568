#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Engine/ReminderBehaviorService.h"

#include <QtTest>

#include <ctime>

using namespace ovlin;
using namespace enginetest;

using Resolution = ReminderBehaviorService::Resolution;
Q_DECLARE_METATYPE(ReminderBehaviorService::Resolution)

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
        QTest::newRow("snoozed only stays pending")
            << QStringList{"2026-06-10T09:00 snoozed", "2026-06-10T09:15 snoozed"} << june10 << Resolution::pending;
        QTest::newRow("unknown status text loses to skipped")
            << QStringList{"2026-06-10T09:00 done", "2026-06-10T09:05 skipped"} << june10 << Resolution::skipped;
        QTest::newRow("23:50 counts for its own day")
            << QStringList{"2026-06-09T23:50 completed"} << QDate(2026, 6, 9) << Resolution::completed;
        QTest::newRow("23:50 not for the next day")
            << QStringList{"2026-06-09T23:50 completed"} << june10 << Resolution::pending;
        QTest::newRow("23-hour day, late log")
            << QStringList{"2026-03-29T23:30 completed"} << QDate(2026, 3, 29) << Resolution::completed;
        QTest::newRow("23-hour day ends at midnight")
            << QStringList{"2026-03-30T00:00 completed"} << QDate(2026, 3, 29) << Resolution::pending;
        QTest::newRow("25-hour day, first 02:30")
            << QStringList{"2026-10-25T00:30:00Z completed"} << QDate(2026, 10, 25) << Resolution::completed;
        QTest::newRow("25-hour day, second 02:30")
            << QStringList{"2026-10-25T01:30:00Z skipped"} << QDate(2026, 10, 25) << Resolution::skipped;
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
        QCOMPARE(service().resolution(*reminder, Days::startOfNextDay(at(day, 12, 0)).addMSecs(-1)), expected);
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

    void clearResolution_data()
    {
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<QStringList>("remaining");
        QTest::addColumn<Resolution>("after");

        QTest::newRow("later of two skips") << QStringList{"2026-06-10T09:00 skipped", "2026-06-10T12:00 skipped"}
                                            << QStringList{"09:00 skipped"} << Resolution::skipped;
        QTest::newRow("never another status")
            << QStringList{"2026-06-10T08:00 completed", "2026-06-10T10:00 skipped", "2026-06-10T11:00 missed",
                           "2026-06-10T13:00 snoozed"}
            << QStringList{"08:00 completed", "11:00 missed", "13:00 snoozed"} << Resolution::completed;
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

    void graceRefreshWindow_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QStringList>("logs");
        QTest::addColumn<QString>("expectedUsed"); // local day, or empty for absent

        const QDate june10(2026, 6, 10);
        QTest::newRow("skipped today") << june10 << QStringList{"2026-06-10T09:00 skipped"} << "2026-06-10";
        QTest::newRow("missed at the window start") << june10 << QStringList{"2026-06-03T00:00 missed"} << "2026-06-03";
        QTest::newRow("missed a minute earlier") << june10 << QStringList{"2026-06-02T23:59 missed"} << QString();
        QTest::newRow("latest of several")
            << june10 << QStringList{"2026-06-05T09:00 skipped", "2026-06-08T20:00 missed", "2026-06-04T09:00 missed"}
            << "2026-06-08";
        QTest::newRow("completed and snoozed do not count")
            << june10 << QStringList{"2026-06-10T09:00 completed", "2026-06-10T10:00 snoozed"} << QString();
        QTest::newRow("window across the spring change")
            << QDate(2026, 4, 2) << QStringList{"2026-03-26T00:00 missed"} << "2026-03-26";
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

    // A grace day used on day D blocks D and the seven days after it, whatever the hour of asking.
    void graceQuery_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("usedDaysAgo"); // -1: never
        QTest::addColumn<bool>("available");

        QTest::newRow("never used") << true << -1 << true;
        QTest::newRow("used today") << true << 0 << false;
        QTest::newRow("last day of the grace week") << true << 7 << false;
        QTest::newRow("the day after it") << true << 8 << true;
        QTest::newRow("grace period off") << false << -1 << false;
    }

    void graceQuery()
    {
        QFETCH(bool, enabled);
        QFETCH(int, usedDaysAgo);
        QFETCH(bool, available);

        const QDate today(2026, 6, 10);
        resetSettings({{QStringLiteral("gracePeriodEnabled"), enabled}});
        AppSettings &settings = AppSettings::shared();
        const std::optional<QDateTime> used =
            usedDaysAgo < 0 ? std::nullopt : std::optional<QDateTime>(Days::startOfDay(today.addDays(-usedDaysAgo)));
        settings.setGraceUsedThisWeek(used);

        QCOMPARE(service().useGraceIfAvailable(at(today, 21, 30), false), available);
        QCOMPARE(settings.graceUsedThisWeek(), used);
        QCOMPARE(service().useGraceIfAvailable(at(today, 21, 30), true), available);
        QCOMPARE(settings.graceUsedThisWeek(), available ? std::optional<QDateTime>(Days::startOfDay(today)) : used);
    }
};

QTEST_GUILESS_MAIN(TestDayStates)
#include "tst_daystates.moc"
