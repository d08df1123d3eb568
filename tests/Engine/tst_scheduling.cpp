#include "Copy/CopyEngine.h"
#include "Engine/ReminderPresentationService.h"
#include "SchedulerTestSupport.h"

#include <QtTest>

using namespace ovlin;
using namespace schedulertest;

using TimeList = QList<QDateTime>;

class TestScheduling : public QObject
{
    Q_OBJECT

private:
    SchedulerFixture f;

    // Pending interval fire dates of the reminder, in position order; fails on a gap in the positions.
    TimeList intervalFireDates(const Reminder &reminder)
    {
        TimeList result;
        const QStringList suffixes = f.suffixes(reminder);
        for (qsizetype i = 0; i < suffixes.size(); ++i) {
            const QString expected = QStringLiteral("-interval-") + QString::number(i);
            if (suffixes.at(i) != expected) {
                qWarning() << "unexpected suffix" << suffixes.at(i) << "wanted" << expected;
                return {};
            }
            const QString id = SchedulerService::notificationPrefix(reminder) + expected;
            result.append(f.center->nextFireDate(id).value_or(QDateTime()));
        }
        return result;
    }

private Q_SLOTS:
    void init() { f.setUp(at(wednesday, 9, 0)); }
    void cleanup() { f.tearDown(); }

    void fixedTimeWeekdays_data()
    {
        QTest::addColumn<QList<qint64>>("days");
        QTest::addColumn<QStringList>("suffixes");
        QTest::addColumn<QList<int>>("calendarWeekdays");

        QTest::newRow("monday and friday")
            << QList<qint64>{1, 5} << QStringList{"-fixed-1", "-fixed-5"} << QList<int>{2, 6};
        QTest::newRow("no weekdays") << QList<qint64>{} << QStringList{} << QList<int>{};
    }

    void fixedTimeWeekdays()
    {
        QFETCH(QList<qint64>, days);
        QFETCH(QStringList, suffixes);
        QFETCH(QList<int>, calendarWeekdays);

        const auto reminder = makeReminder(&f.context(), {.fixedTime = QTime(7, 30), .activeDaysRaw = days});
        SchedulerService::shared().schedule(*reminder);

        QCOMPARE(f.suffixes(*reminder), suffixes);
        const QList<NotificationRequest> pending = f.center->pendingRequests();
        QCOMPARE(pending.size(), calendarWeekdays.size());
        for (qsizetype i = 0; i < pending.size(); ++i) {
            const auto *trigger = std::get_if<CalendarTrigger>(&pending.at(i).trigger);
            QVERIFY(trigger);
            QCOMPARE(*trigger, (CalendarTrigger{7, 30, calendarWeekdays.at(i), true}));
        }
    }

    void requestContent_data()
    {
        QTest::addColumn<QString>("categoryRaw");
        QTest::addColumn<ReminderCategory>("category");
        QTest::addColumn<bool>("sound");

        QTest::newRow("water with sound") << "water" << ReminderCategory::water << true;
        QTest::newRow("meal without sound") << "meal" << ReminderCategory::meal << false;
    }

    void requestContent()
    {
        QFETCH(QString, categoryRaw);
        QFETCH(ReminderCategory, category);
        QFETCH(bool, sound);

        AppSettings::shared().setSoundEnabled(sound);
        const auto reminder = makeReminder(&f.context(), {.title = QStringLiteral("Tea & toast"),
                                                          .scheduleType = ScheduleType::combined,
                                                          .intervalMinutes = 60,
                                                          .activeDaysRaw = {3}});
        reminder->setCategory(categoryRaw);
        SchedulerService::shared().schedule(*reminder);

        const QList<NotificationRequest> pending = f.center->pendingRequests();
        QVERIFY(pending.size() > 1);
        const QStringList lines = CopyEngine::categoryTexts()[std::size_t(category)];
        for (const NotificationRequest &request : pending) {
            const NotificationContent &content = request.content;
            QCOMPARE(content.title, QStringLiteral("Tea & toast"));
            QVERIFY2(lines.contains(content.body), qPrintable(content.body));
            QCOMPARE(content.categoryIdentifier, QStringLiteral("TAMSI_REMINDER"));
            const QVariantMap userInfo{{QStringLiteral("reminderID"), uuidText(reminder->id())},
                                       {QStringLiteral("category"), categoryRaw}};
            QCOMPARE(content.userInfo, userInfo);
            QCOMPARE(content.sound.has_value(), sound);
            if (sound)
                QCOMPARE(*content.sound, NotificationSound::defaultSound());
        }
        QVERIFY(f.pendingIdentifiers().first().startsWith(QStringLiteral("ovlin-") + uuidText(reminder->id()) +
                                                          QStringLiteral("-fixed-")));
    }

    void quietHoursDropFixedTimes_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<int>("requests");

        QTest::newRow("06:45 inside") << QTime(6, 45) << 0;
        QTest::newRow("22:00 at the start") << QTime(22, 0) << 0;
    }

    void quietHoursDropFixedTimes()
    {
        QFETCH(QTime, time);
        QFETCH(int, requests);

        AppSettings &settings = AppSettings::shared();
        settings.setQuietHoursEnabled(true);
        settings.setQuietStart(QDateTime(QDate(2024, 1, 1), QTime(22, 0)));
        settings.setQuietEnd(QDateTime(QDate(2024, 1, 1), QTime(7, 0)));
        const auto reminder = makeReminder(&f.context(), {.fixedTime = time});
        SchedulerService::shared().schedule(*reminder);
        QCOMPARE(f.pendingIdentifiers().size(), requests);
    }

    void intervalScheduledInTheEvening()
    {
        Clock::setNow(at(wednesday, 18, 30));
        const auto reminder = makeReminder(&f.context(), {.scheduleType = ScheduleType::interval,
                                                          .intervalMinutes = 60,
                                                          .intervalStart = QTime(8, 0),
                                                          .intervalEnd = QTime(20, 0)});
        SchedulerService::shared().schedule(*reminder);

        const QDate thursday = wednesday.addDays(1);
        TimeList expected{at(wednesday, 19, 0), at(wednesday, 20, 0)};
        for (int hour = 8; hour <= 15; ++hour)
            expected.append(at(thursday, hour, 0));
        QCOMPARE(intervalFireDates(*reminder), expected);
    }

    // Asleep from 07:00: an interval habit's missed firings come down to the latest one of today, dated by its
    // own time; a fixed time delivers only on its own day.
    void missedWhileAsleep_data()
    {
        QTest::addColumn<QDateTime>("resume");
        QTest::addColumn<TimeList>("delivered"); // fixed time, then interval
        QTest::newRow("three interval firings missed")
            << at(wednesday, 10, 30) << TimeList{at(wednesday, 9, 0), at(wednesday, 10, 0)};
        QTest::newRow("over midnight") << at(wednesday.addDays(1), 8, 30) << TimeList{};
    }

    void missedWhileAsleep()
    {
        QFETCH(QDateTime, resume);
        QFETCH(TimeList, delivered);
        Clock::setNow(at(wednesday, 7, 0));
        const auto fixed = makeReminder(&f.context(), {.title = QStringLiteral("Lunch"), .fixedTime = QTime(9, 0)});
        const auto interval = makeReminder(&f.context(), {.scheduleType = ScheduleType::interval,
                                                          .intervalMinutes = 60,
                                                          .intervalStart = QTime(8, 0),
                                                          .intervalEnd = QTime(20, 0)});
        SchedulerService::shared().rescheduleAll({fixed, interval});

        Clock::setNow(resume);
        TimeList dates;
        QStringList titles;
        for (const FakeNotificationCenter::Delivery &d : f.center->fireDueRequests()) {
            dates << d.deliveryDate;
            titles << d.request.content.title;
        }
        QCOMPARE(dates, delivered);
        const QStringList expectedTitles = delivered.isEmpty() ? QStringList() : QStringList{"Lunch", "Water"};
        QCOMPARE(titles, expectedTitles);
        QVERIFY(f.center->fireDueRequests().isEmpty());
    }

    void intervalTimes_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<std::optional<qint64>>("minutes");
        QTest::addColumn<std::optional<QTime>>("start");
        QTest::addColumn<std::optional<QTime>>("end");
        QTest::addColumn<QList<qint64>>("days");
        QTest::addColumn<TimeList>("expected");

        const QList<qint64> everyDay{1, 2, 3, 4, 5, 6, 7};
        const auto hours = [](const QDate &day, std::initializer_list<int> list) {
            TimeList result;
            for (const int h : list)
                result.append(at(day, h, 0));
            return result;
        };

        TimeList sixMornings;
        for (int d = 1; d <= 6; ++d)
            sixMornings.append(at(wednesday.addDays(d), 8, 0));
        QTest::newRow("45-minute step in a half-hour window")
            << at(wednesday, 9, 0) << std::optional<qint64>(45) << std::optional(QTime(8, 0))
            << std::optional(QTime(8, 30)) << everyDay << sixMornings;

        QTest::newRow("window across midnight")
            << at(wednesday, 9, 0) << std::optional<qint64>(60) << std::optional(QTime(22, 0))
            << std::optional(QTime(6, 0)) << everyDay << TimeList{};

        QTest::newRow("empty weekdays mean every day")
            << at(wednesday, 9, 0) << std::optional<qint64>(240) << std::optional<QTime>() << std::optional<QTime>()
            << QList<qint64>{}
            << hours(wednesday, {12, 16, 20}) + hours(wednesday.addDays(1), {8, 12, 16, 20}) +
                   hours(wednesday.addDays(2), {8, 12, 16});

        QTest::newRow("zero interval") << at(wednesday, 9, 0) << std::optional<qint64>(0) << std::optional(QTime(8, 0))
                                       << std::optional(QTime(20, 0)) << everyDay << TimeList{};

        // Clocks go forward at 02:00 on 2026-03-29: one hour after 01:00 is 03:00.
        const QDate springForward(2026, 3, 29);
        QTest::newRow("clocks going forward")
            << at(springForward, 0, 30) << std::optional<qint64>(60) << std::optional(QTime(1, 0))
            << std::optional(QTime(4, 0)) << QList<qint64>{7} << hours(springForward, {1, 3, 4});
    }

    void intervalTimes()
    {
        QFETCH(QDateTime, now);
        QFETCH(std::optional<qint64>, minutes);
        QFETCH(std::optional<QTime>, start);
        QFETCH(std::optional<QTime>, end);
        QFETCH(QList<qint64>, days);
        QFETCH(TimeList, expected);

        Clock::setNow(now);
        const auto reminder = makeReminder(&f.context(), {.scheduleType = ScheduleType::interval,
                                                          .intervalMinutes = minutes,
                                                          .intervalStart = start,
                                                          .intervalEnd = end,
                                                          .activeDaysRaw = days});
        SchedulerService::shared().schedule(*reminder);
        QCOMPARE(intervalFireDates(*reminder), expected);
    }

    void combinedAddsFixedTimesFirst()
    {
        const auto reminder = makeReminder(&f.context(), {.scheduleType = ScheduleType::combined,
                                                          .fixedTime = QTime(12, 15),
                                                          .intervalMinutes = 120,
                                                          .intervalStart = QTime(8, 0),
                                                          .intervalEnd = QTime(20, 0),
                                                          .activeDaysRaw = {3, 4}});
        SchedulerService::shared().schedule(*reminder);

        const QString prefix = SchedulerService::notificationPrefix(*reminder);
        QStringList expected{prefix + "-fixed-3", prefix + "-fixed-4"};
        for (int i = 0; i < 10; ++i)
            expected.append(prefix + "-interval-" + QString::number(i));
        QCOMPARE(f.center->addedIdentifiers(), expected);
    }

    void schedulingTwiceKeepsTheIdentifiers()
    {
        const auto reminder = makeReminder(&f.context(), {.scheduleType = ScheduleType::combined,
                                                          .fixedTime = QTime(18, 0),
                                                          .intervalMinutes = 90,
                                                          .activeDaysRaw = {1, 3, 5}});
        SchedulerService::shared().schedule(*reminder);
        const QStringList once = f.pendingIdentifiers();
        QVERIFY(once.size() > 3);

        f.center->clearRecords();
        SchedulerService::shared().schedule(*reminder);
        QCOMPARE(f.pendingIdentifiers(), once);
        // The old requests went first, in one removal; none of the new ones was removed.
        const QList<FakeNotificationCenter::Operation> ops = f.center->operations();
        QCOMPARE(ops.first(),
                 (FakeNotificationCenter::Operation{FakeNotificationCenter::Operation::Kind::Remove, once}));
        QCOMPARE(f.center->addedIdentifiers(), once);
        QCOMPARE(ops.size(), once.size() + 1);
    }

    void rescheduleAllStartsAfresh()
    {
        auto &presentation = ReminderPresentationService::shared();
        const auto kept = makeReminder(&f.context(), {.fixedTime = QTime(10, 0), .activeDaysRaw = {3}});
        const auto deleted = makeReminder(&f.context(), {.fixedTime = QTime(11, 0), .activeDaysRaw = {3}});
        const auto paused = makeReminder(&f.context(), {.fixedTime = QTime(12, 0), .activeDaysRaw = {3}});
        for (const auto &r : {kept, deleted, paused})
            SchedulerService::shared().schedule(*r);
        f.center->add(plainRequest(QStringLiteral("ovlin-evening-2026-06-10")));
        f.center->add(plainRequest(QStringLiteral("ovlin-summary-2026-06-10")));
        const QString followUp = QStringLiteral("followup-") + uuidText(QUuid::createUuid());
        const QString milestone = QStringLiteral("milestone-") + uuidText(QUuid::createUuid());
        f.center->add(plainRequest(followUp));
        f.center->add(plainRequest(milestone));

        const QString pausedKey = ReminderPresentationService::occurrenceKey(*paused, at(wednesday, 12, 0));
        const QString keptKey = ReminderPresentationService::occurrenceKey(*kept, at(wednesday, 10, 0));
        presentation.markAttemptPresented(ReminderPresentationService::attemptKey(pausedKey, 1), Clock::now());
        presentation.markAttemptPresented(ReminderPresentationService::attemptKey(keptKey, 1), Clock::now());

        paused->setIsActive(false);
        f.context().remove(deleted);
        QVERIFY(f.context().save());
        f.center->clearRecords();

        SchedulerService::shared().rescheduleAll(f.context().fetch<Reminder>());

        const QString keptId = SchedulerService::notificationPrefix(*kept) + "-fixed-3";
        QCOMPARE(f.pendingIdentifiers(), (QStringList{followUp, milestone, keptId}));
        // Everything "ovlin-" went in the first call, before any add.
        const QList<FakeNotificationCenter::Operation> ops = f.center->operations();
        QCOMPARE(ops.first().kind, FakeNotificationCenter::Operation::Kind::Remove);
        QCOMPARE(ops.first().identifiers.size(), 5);
        QCOMPARE(f.center->addedIdentifiers(), QStringList{keptId});
        // The paused reminder's presentation is forgotten, the active one's stays.
        QVERIFY(!presentation.presentedAttemptKeys().contains(ReminderPresentationService::attemptKey(pausedKey, 1)));
        QVERIFY(presentation.presentedAttemptKeys().contains(ReminderPresentationService::attemptKey(keptKey, 1)));
        presentation.clearBookkeeping(*kept);
    }

    void pausingCancels()
    {
        auto &presentation = ReminderPresentationService::shared();
        const auto paused = makeReminder(
            &f.context(), {.scheduleType = ScheduleType::combined, .fixedTime = QTime(10, 0), .intervalMinutes = 60});
        const auto other = makeReminder(&f.context(), {.fixedTime = QTime(10, 0)});
        SchedulerService::shared().schedule(*paused);
        SchedulerService::shared().schedule(*other);
        const QString pausedKey = ReminderPresentationService::occurrenceKey(*paused, at(wednesday, 10, 0));
        const QString otherKey = ReminderPresentationService::occurrenceKey(*other, at(wednesday, 10, 0));
        presentation.setSnooze(pausedKey, {at(wednesday, 10, 15), 2}, at(wednesday, 10, 0));
        presentation.setSnooze(otherKey, {at(wednesday, 10, 15), 2}, at(wednesday, 10, 0));
        QVERIFY(f.center->fire(SchedulerService::notificationPrefix(*paused) + "-fixed-3"));

        paused->setIsActive(false);
        SchedulerService::shared().cancel(*paused);

        QVERIFY(f.suffixes(*paused).isEmpty());
        QCOMPARE(f.suffixes(*other).size(), 7);
        QVERIFY(!presentation.snoozedOccurrences().contains(pausedKey));
        QVERIFY(!presentation.attemptBaseDates().contains(pausedKey));
        QVERIFY(presentation.snoozedOccurrences().contains(otherKey));
        // What was already shown stays shown.
        QCOMPARE(f.center->deliveries().size(), 1);
        presentation.clearBookkeeping(*other);
    }
};

QTEST_GUILESS_MAIN(TestScheduling)
#include "tst_scheduling.moc"
