#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Base/Uuid.h"
#include "Engine/ReminderPresentationService.h"

#include <QtTest>

#include <limits>

using namespace ovlin;
using namespace enginetest;

using SnoozeEntry = ReminderPresentationService::SnoozeEntry;
Q_DECLARE_METATYPE(ovlin::ScheduleType)

namespace {

const QDate june10(2026, 6, 10);

// "09:30" is that time on `day`; "2026-03-29T01:00:00Z" an exact instant.
QList<QDateTime> moments(const QDate &day, const QStringList &texts)
{
    QList<QDateTime> result;
    for (const QString &text : texts) {
        if (text.endsWith(QLatin1Char('Z'))) {
            result << parseMoment(text);
        } else {
            const QTime time = QTime::fromString(text, QStringLiteral("HH:mm"));
            result << at(day, time.hour(), time.minute());
        }
    }
    return result;
}

QList<qint64> instants(const QList<QDateTime> &moments)
{
    QList<qint64> result;
    for (const QDateTime &moment : moments)
        result << moment.toMSecsSinceEpoch();
    return result;
}

void setQuietHours(bool enabled, const QTime &start, const QTime &end)
{
    AppSettings &settings = AppSettings::shared();
    settings.setQuietHoursEnabled(enabled);
    settings.setQuietStart(QDateTime(QDate(2025, 2, 3), start));
    settings.setQuietEnd(QDateTime(QDate(2025, 2, 3), end));
}

} // namespace

class TestOccurrences : public QObject
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
        Clock::setNow(at(june10, 12, 0));
        m_store = openStore();
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void keyFormat_data()
    {
        QTest::addColumn<QString>("due");
        QTest::addColumn<QString>("minutes");

        QTest::newRow("on the minute") << "2025-11-24T16:00:00Z"
                                       << "29400000";
        QTest::newRow("before 1970 truncates toward zero") << "1969-12-31T23:59:30Z"
                                                           << "0";
    }

    void keyFormat()
    {
        QFETCH(QString, due);
        QFETCH(QString, minutes);

        const auto reminder = makeReminder(context());
        reminder->setId(QUuid(QStringLiteral("{3f2504e0-4f89-11d3-9a0c-0305e82c3301}")));
        const QString prefix = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301-");
        // The same instant in any representation gives the same key.
        const QDateTime moment = parseMoment(due);
        QCOMPARE(ReminderPresentationService::occurrenceKey(*reminder, moment), prefix + minutes);
        QCOMPARE(ReminderPresentationService::occurrenceKey(*reminder, moment.toLocalTime()), prefix + minutes);
        QCOMPARE(ReminderPresentationService::attemptKey(prefix + minutes, 2), prefix + minutes + QStringLiteral("-2"));
    }

    void occurrenceTimes_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<QTime>("fixed"); // null: none
        QTest::addColumn<qint64>("interval");
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<QDate>("day");
        QTest::addColumn<QStringList>("expected");

        const qint64 none = std::numeric_limits<qint64>::min();
        const ScheduleType fixed = ScheduleType::fixedTime;
        const ScheduleType interval = ScheduleType::interval;
        const QTime noTime;
        QTest::newRow("fixed time") << fixed << QTime(9, 0) << none << noTime << noTime << june10
                                    << QStringList{"09:00"};
        QTest::newRow("45 minutes, end not reached") << interval << noTime << qint64(45) << QTime(8, 0) << QTime(9, 0)
                                                     << june10 << QStringList{"08:00", "08:45"};
        QTest::newRow("30 minutes, end included") << interval << noTime << qint64(30) << QTime(8, 0) << QTime(9, 0)
                                                  << june10 << QStringList{"08:00", "08:30", "09:00"};
        QTest::newRow("zero interval") << interval << noTime << qint64(0) << QTime(8, 0) << QTime(9, 0) << june10
                                       << QStringList{};
        QTest::newRow("reversed window") << interval << noTime << qint64(60) << QTime(22, 0) << QTime(6, 0) << june10
                                         << QStringList{};
        QTest::newRow("step beyond the window") << interval << noTime << std::numeric_limits<qint64>::max()
                                                << QTime(8, 0) << QTime(20, 0) << june10 << QStringList{"08:00"};
        QTest::newRow("fixed time in the spring gap") << fixed << QTime(2, 30) << none << noTime << noTime
                                                      << QDate(2026, 3, 29) << QStringList{"2026-03-29T01:00:00Z"};
        QTest::newRow("fixed time repeated in autumn") << fixed << QTime(2, 30) << none << noTime << noTime
                                                       << QDate(2026, 10, 25) << QStringList{"2026-10-25T00:30:00Z"};
        QTest::newRow("interval across the spring gap")
            << interval << noTime << qint64(60) << QTime(1, 0) << QTime(4, 0) << QDate(2026, 3, 29)
            << QStringList{"2026-03-29T00:00:00Z", "2026-03-29T01:00:00Z", "2026-03-29T02:00:00Z"};
        QTest::newRow("interval across the autumn repeat")
            << interval << noTime << qint64(60) << QTime(1, 0) << QTime(4, 0) << QDate(2026, 10, 25)
            << QStringList{"2026-10-24T23:00:00Z", "2026-10-25T00:00:00Z", "2026-10-25T01:00:00Z",
                           "2026-10-25T02:00:00Z", "2026-10-25T03:00:00Z"};
    }

    void occurrenceTimes()
    {
        QFETCH(ScheduleType, type);
        QFETCH(QTime, fixed);
        QFETCH(qint64, interval);
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(QDate, day);
        QFETCH(QStringList, expected);

        ReminderSpec spec;
        spec.scheduleType = type;
        spec.fixedTime = fixed.isValid() ? std::optional<QTime>(fixed) : std::nullopt;
        spec.intervalMinutes =
            interval == std::numeric_limits<qint64>::min() ? std::nullopt : std::optional<qint64>(interval);
        spec.intervalStart = start.isValid() ? std::optional<QTime>(start) : std::nullopt;
        spec.intervalEnd = end.isValid() ? std::optional<QTime>(end) : std::nullopt;
        const auto reminder = makeReminder(context(), spec);

        const QList<qint64> want = instants(moments(day, expected));
        for (const QTime &asked : {QTime(0, 0), QTime(13, 17), QTime(23, 59)})
            QCOMPARE(instants(service().occurrenceTimes(*reminder, at(day, asked.hour(), asked.minute()))), want);
    }

    void quietHoursDropTimes_data()
    {
        QTest::addColumn<QTime>("fixed");
        QTest::addColumn<bool>("kept");
        QTest::newRow("06:30 inside 22-07") << QTime(6, 30) << false;
        QTest::newRow("22:00 is the start, quiet") << QTime(22, 0) << false;
        QTest::newRow("21:59 before it") << QTime(21, 59) << true;
    }

    void quietHoursDropTimes()
    {
        QFETCH(QTime, fixed);
        QFETCH(bool, kept);
        setQuietHours(true, QTime(22, 0), QTime(7, 0));
        const auto reminder = makeReminder(context(), {.fixedTime = fixed});
        QCOMPARE(service().fixedTimeOccurrences(*reminder, at(june10, 12, 0)).size(), kept ? 1 : 0);
    }

    void isResolved_data()
    {
        QTest::addColumn<QStringList>("logs"); // "<offset seconds from 09:00> <status>"
        QTest::addColumn<bool>("resolved");

        QTest::newRow("no log") << QStringList{} << false;
        QTest::newRow("completed 40 s after") << QStringList{"40 completed"} << true;
        QTest::newRow("a second before") << QStringList{"-1 completed"} << false;
        QTest::newRow("snoozed only") << QStringList{"0 snoozed"} << false;
    }

    void isResolved()
    {
        QFETCH(QStringList, logs);
        QFETCH(bool, resolved);

        const auto reminder = makeReminder(context());
        const QDateTime due = at(june10, 9, 0);
        for (const QString &spec : logs) {
            const QStringList parts = spec.split(QLatin1Char(' '));
            addLog(reminder, due.addSecs(parts.at(0).toInt()), parts.at(1));
        }
        QCOMPARE(service().isResolved(*reminder, due), resolved);
        QCOMPARE(service().isResolved(*reminder, due.addSecs(30)), resolved);
    }

    void sameCalendarMinuteInTheRepeatedHour()
    {
        // 02:30 comes twice on 2026-10-25; both share the calendar minute.
        const auto reminder = makeReminder(context(), {.fixedTime = QTime(2, 30)});
        addLog(reminder, parseMoment(QStringLiteral("2026-10-25T01:30:20Z")), LogStatus::completed);
        QVERIFY(service().isResolved(*reminder, parseMoment(QStringLiteral("2026-10-25T00:30:00Z"))));
        QVERIFY(!service().isResolved(*reminder, parseMoment(QStringLiteral("2026-10-25T01:31:00Z"))));

        // In time order 02:45 (summer time) comes before 02:15 (winter time): the minutes run backwards.
        const auto other = makeReminder(context(), {.fixedTime = QTime(2, 15)});
        addLog(other, parseMoment(QStringLiteral("2026-10-25T00:45:00Z")), LogStatus::skipped);
        addLog(other, parseMoment(QStringLiteral("2026-10-25T01:15:00Z")), LogStatus::completed);
        QVERIFY(service().isResolved(*other, parseMoment(QStringLiteral("2026-10-25T00:15:00Z"))));
        QVERIFY(service().isResolved(*other, parseMoment(QStringLiteral("2026-10-25T01:45:00Z"))));
        QVERIFY(!service().isResolved(*other, parseMoment(QStringLiteral("2026-10-25T00:30:00Z"))));
    }

    void attemptNumber_data()
    {
        QTest::addColumn<int>("secondsAfterDue");
        QTest::addColumn<int>("expected"); // 0: none

        QTest::newRow("at the due time") << 0 << 1;
        QTest::newRow("14 minutes") << 14 * 60 << 1;
        QTest::newRow("15 minutes") << 15 * 60 << 2;
        QTest::newRow("29 minutes") << 29 * 60 << 2;
        QTest::newRow("30 minutes") << 30 * 60 << 3;
        QTest::newRow("34 minutes") << 34 * 60 << 3;
        QTest::newRow("35 minutes") << 35 * 60 << 0;
    }

    void attemptNumber()
    {
        QFETCH(int, secondsAfterDue);
        QFETCH(int, expected);

        const auto reminder = makeReminder(context());
        const QDateTime due = at(june10, 9, 0);
        const QDateTime now = due.addSecs(secondsAfterDue);
        const std::optional<qint64> attempt = service().attemptNumber(*reminder, due, now);
        QCOMPARE(attempt.value_or(0), qint64(expected));

        QCOMPARE(service().makeOccurrence(reminder, due, now).has_value(), expected != 0);

        // Answered: no attempt at all.
        addLog(reminder, due.addSecs(20), LogStatus::skipped);
        QVERIFY(!service().attemptNumber(*reminder, due, now));
        QVERIFY(!service().makeOccurrence(reminder, due, now));
    }

    void attemptsWithSnoozes_data()
    {
        QTest::addColumn<int>("snoozeMinutesAfterDue"); // when "In 15 min" was pressed
        QTest::addColumn<int>("nextAttempt");
        QTest::addColumn<int>("askedMinutesAfterDue");
        QTest::addColumn<int>("expected");

        // Snoozed at 09:05 from attempt 1: until 09:20, base 09:05.
        QTest::newRow("waiting") << 5 << 2 << 19 << 0;
        QTest::newRow("due again at until") << 5 << 2 << 20 << 2;
        // Snoozed at 09:25 from attempt 2: until 09:40, base 09:10.
        QTest::newRow("second snooze due") << 25 << 3 << 40 << 3;
    }

    void attemptsWithSnoozes()
    {
        QFETCH(int, snoozeMinutesAfterDue);
        QFETCH(int, nextAttempt);
        QFETCH(int, askedMinutesAfterDue);
        QFETCH(int, expected);

        const auto reminder = makeReminder(context());
        const QDateTime due = at(june10, 9, 0);
        const QString key = ReminderPresentationService::occurrenceKey(*reminder, due);
        const QDateTime until = due.addSecs((snoozeMinutesAfterDue + 15) * 60);
        service().setSnooze(key, SnoozeEntry{until, nextAttempt}, until.addSecs(-(nextAttempt - 1) * 900));
        QCOMPARE(service().attemptBaseDate(key, due), until.addSecs(-(nextAttempt - 1) * 900));

        const QDateTime now = due.addSecs(askedMinutesAfterDue * 60);
        QCOMPARE(service().attemptNumber(*reminder, due, now).value_or(0), qint64(expected));
        QCOMPARE(service().makeOccurrence(reminder, due, now).has_value(), expected != 0);
        service().clearOccurrenceBookkeeping(key);
        QCOMPARE(service().attemptBaseDate(key, due), due);
    }

    void dueOccurrenceTime_data()
    {
        QTest::addColumn<QStringList>("logs"); // "HH:mm status"
        QTest::addColumn<QString>("asked");
        QTest::addColumn<QString>("expected"); // empty: none

        // Due times: 10:30 (fixed), then 09:00 and 09:30 (interval).
        QTest::newRow("earliest open") << QStringList{"09:00 completed"} << "10:00"
                                       << "09:30";
        QTest::newRow("all answered") << QStringList{"09:00 completed", "09:30 skipped"} << "10:00" << QString();
        QTest::newRow("exactly at a due time") << QStringList{} << "09:00"
                                               << "09:00";
        QTest::newRow("snoozed log keeps it open") << QStringList{"09:00 snoozed"} << "10:00"
                                                   << "09:00";
    }

    void dueOccurrenceTime()
    {
        QFETCH(QStringList, logs);
        QFETCH(QString, asked);
        QFETCH(QString, expected);

        const auto reminder = makeReminder(context(), {.scheduleType = ScheduleType::combined,
                                                       .fixedTime = QTime(10, 30),
                                                       .intervalMinutes = 30,
                                                       .intervalStart = QTime(9, 0),
                                                       .intervalEnd = QTime(9, 30)});
        for (const QString &spec : logs) {
            const QStringList parts = spec.split(QLatin1Char(' '));
            addLog(reminder, moments(june10, {parts.at(0)}).first(), parts.at(1));
        }
        // A snooze does not hide an open occurrence here.
        service().setSnooze(ReminderPresentationService::occurrenceKey(*reminder, at(june10, 9, 0)),
                            SnoozeEntry{at(june10, 23, 0), 2}, at(june10, 22, 45));
        const QDateTime date = moments(june10, {asked}).first();
        const std::optional<QDateTime> due = service().dueOccurrenceTime(*reminder, date);
        if (expected.isEmpty())
            QVERIFY(!due);
        else
            QCOMPARE(due, std::optional<QDateTime>(moments(june10, {expected}).first()));
        service().clearBookkeeping(*reminder);
    }

    void isOverdue()
    {
        const auto reminder = makeReminder(context());
        const QDateTime due = at(june10, 9, 0);
        QVERIFY(!service().isOverdue(*reminder, due.addSecs(-1)));
        QVERIFY(!service().isOverdue(*reminder, due));
        QVERIFY(service().isOverdue(*reminder, due.addSecs(1)));
        QVERIFY(service().isOverdue(*reminder, at(june10, 23, 59)));
        addLog(reminder, due, LogStatus::completed);
        QVERIFY(!service().isOverdue(*reminder, due.addSecs(1)));
    }
};

QTEST_GUILESS_MAIN(TestOccurrences)
#include "tst_occurrences.moc"
