// The list view model: today's lists and their order, the actions, the completion phrase, streak and rates.
#include "Support/TodayTestSupport.h"

#include "Banners/CelebrationManager.h"
#include "Banners/VirtualTimerSource.h"
#include "Copy/CopyEngine.h"
#include "Engine/ReminderPresentationService.h"
#include "Model/MilestoneLog.h"

#include <QSignalSpy>
#include <QTest>

using namespace todaytest;

class TestTodayViewModel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    StoreContext *context() const { return m_store->mainContext(); }

private Q_SLOTS:
    void init()
    {
        resetSettings();
        Clock::setNow(at(kWednesday, 10, 0));
        m_store = openStore();
    }
    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void order_data()
    {
        QTest::addColumn<QList<ReminderSpec>>("specs");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("by next due time")
            << QList<ReminderSpec>{fixedAt("Late", 18, 0), fixedAt("Early", 7, 30), fixedAt("Noon", 12, 0)}
            << QStringList{"Early", "Noon", "Late"};
        QTest::newRow("same minute: title, case-insensitive")
            << QList<ReminderSpec>{fixedAt("Banana", 9, 0), fixedAt("apple", 9, 0), fixedAt("Cherry", 9, 0)}
            << QStringList{"apple", "Banana", "Cherry"};
        QTest::newRow("seconds of the stored time do not matter")
            << QList<ReminderSpec>{fixedAt("Zed", 9, 0), fixedAt("Ant", 9, 0)} << QStringList{"Ant", "Zed"};
        ReminderSpec untimedB = fixedAt("b untimed", 0, 0);
        untimedB.fixedTime = std::nullopt;
        ReminderSpec untimedA = fixedAt("A untimed", 0, 0);
        untimedA.fixedTime = std::nullopt;
        QTest::newRow("reminders without a time come last, by title")
            << QList<ReminderSpec>{untimedB, fixedAt("Late", 23, 0), untimedA}
            << QStringList{"Late", "A untimed", "b untimed"};
        ReminderSpec combined = intervalFrom("Combined", QTime(6, 0), QTime(20, 0), 60);
        combined.scheduleType = ScheduleType::combined;
        combined.fixedTime = QTime(14, 0);
        QTest::newRow("combined by its fixed time, interval by its start")
            << QList<ReminderSpec>{combined, intervalFrom("Interval", QTime(8, 0), QTime(20, 0), 60),
                                   fixedAt("Fixed", 13, 0)}
            << QStringList{"Interval", "Fixed", "Combined"};
        ReminderSpec weekend = fixedAt("Weekend", 8, 0);
        weekend.activeDaysRaw = {6, 7};
        ReminderSpec paused = fixedAt("Paused", 8, 0);
        paused.isActive = false;
        ReminderSpec noDays = fixedAt("No days", 8, 0);
        noDays.activeDaysRaw = {};
        QTest::newRow("only active reminders of today's weekday")
            << QList<ReminderSpec>{weekend, paused, noDays, fixedAt("Today", 9, 0)} << QStringList{"Today"};
    }

    void order()
    {
        QFETCH(QList<ReminderSpec>, specs);
        QFETCH(QStringList, expected);
        for (const auto &spec : specs)
            makeReminder(context(), spec);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QCOMPARE(titles(model.todaysReminders()), expected);
    }

    // Stores of other versions keep a fixed time on interval reminders; they never fire at it, so it neither
    // places nor sorts them. The window's start does, whatever the present time.
    void placedByWhatFires_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<QTime>("now");
        QTest::addColumn<QTime>("due");
        QTest::addColumn<QStringList>("expected");

        const QStringList habitFirst{"Habit", "Reference"};
        const QStringList referenceFirst{"Reference", "Habit"};
        const QList<std::pair<const char *, QTime>> moments{
            {"before the window", QTime(8, 0)}, {"inside", QTime(14, 30)}, {"after", QTime(18, 0)}};
        for (const auto &[when, now] : moments) {
            QTest::addRow("fixed, %s", when) << ScheduleType::fixedTime << now << QTime(9, 0) << habitFirst;
            QTest::addRow("interval with a stale fixed time, %s", when)
                << ScheduleType::interval << now << QTime(13, 0) << referenceFirst;
            QTest::addRow("combined, %s", when) << ScheduleType::combined << now << QTime(9, 0) << habitFirst;
        }
    }

    void placedByWhatFires()
    {
        QFETCH(ScheduleType, type);
        QFETCH(QTime, now);
        QFETCH(QTime, due);
        QFETCH(QStringList, expected);

        Clock::setNow(at(kWednesday, now.hour(), now.minute()));
        ReminderSpec spec = intervalFrom("Habit", QTime(13, 0), QTime(17, 0), 60);
        spec.scheduleType = type;
        spec.fixedTime = QTime(9, 0);
        if (type == ScheduleType::fixedTime)
            spec.intervalMinutes = std::nullopt;
        const auto habit = makeReminder(context(), spec);
        makeReminder(context(), fixedAt("Reference", 11, 0));
        ReminderListViewModel model(context());
        pushAll(model, *context());

        QCOMPARE(model.nextDueTime(*habit), std::optional(at(kWednesday, due.hour(), due.minute())));
        QCOMPARE(titles(model.todaysReminders()), expected);
    }

    void lists_data()
    {
        QTest::addColumn<QList<int>>("logStatuses"); // LogStatus values logged today at 09:00, -1 for none
        QTest::addColumn<QTime>("fixedTime");
        QTest::addColumn<QString>("expected"); // the lists holding the reminder

        QTest::newRow("completed") << QList<int>{int(LogStatus::completed)} << QTime(9, 0) << "today completed";
        QTest::newRow("skipped") << QList<int>{int(LogStatus::skipped)} << QTime(9, 0) << "today skipped";
        QTest::newRow("completed outranks skipped")
            << QList<int>{int(LogStatus::skipped), int(LogStatus::completed)} << QTime(9, 0) << "today completed";
        QTest::newRow("missed is in no list") << QList<int>{int(LogStatus::missed)} << QTime(9, 0) << "today";
        QTest::newRow("snoozed only is pending and overdue")
            << QList<int>{int(LogStatus::snoozed)} << QTime(9, 0) << "today pending overdue";
        QTest::newRow("past time without answer is overdue") << QList<int>{} << QTime(9, 59) << "today pending overdue";
        QTest::newRow("time equal to now is not yet overdue")
            << QList<int>{} << QTime(10, 0) << "today pending upcoming";
        QTest::newRow("later time is upcoming") << QList<int>{} << QTime(11, 0) << "today pending upcoming";
    }

    void lists()
    {
        QFETCH(QList<int>, logStatuses);
        QFETCH(QTime, fixedTime);
        QFETCH(QString, expected);
        auto reminder = makeReminder(context(), fixedAt("Habit", fixedTime.hour(), fixedTime.minute()));
        for (int status : logStatuses)
            addLog(reminder, at(kWednesday, 9, 0), LogStatus(status));
        ReminderListViewModel model(context());
        pushAll(model, *context());

        QStringList holding;
        const auto has = [&](const QList<std::shared_ptr<Reminder>> &list) { return list.contains(reminder); };
        if (has(model.todaysReminders()))
            holding << "today";
        if (has(model.completedToday()))
            holding << "completed";
        if (has(model.skippedToday()))
            holding << "skipped";
        if (has(model.pendingToday()))
            holding << "pending";
        if (has(model.overdue()))
            holding << "overdue";
        if (has(model.upcomingToday()))
            holding << "upcoming";
        QCOMPARE(holding.join(' '), expected);
        QCOMPARE(model.isCompleted(*reminder), expected.contains("completed"));
    }

    void overdueOneMomentAfterItsTime()
    {
        auto reminder = makeReminder(context(), fixedAt("Habit", 10, 0));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QVERIFY(model.upcomingToday().contains(reminder));
        Clock::advanceMSecs(1);
        QVERIFY(model.overdue().contains(reminder));
        QVERIFY(model.upcomingToday().isEmpty());
    }

    void pausedReminderIsInNoListEvenWithLogs()
    {
        ReminderSpec spec = fixedAt("Paused", 9, 0);
        spec.isActive = false;
        auto reminder = makeReminder(context(), spec);
        addLog(reminder, at(kWednesday, 9, 0), LogStatus::completed);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QVERIFY(model.todaysReminders().isEmpty());
        QVERIFY(model.completedToday().isEmpty());
        QCOMPARE(model.todayProgress(), 0.0);
        QVERIFY(model.isCompleted(*reminder)); // not tied to today's schedule
    }

    void quietHoursKeepAReminderFromBeingOverdue()
    {
        AppSettings &settings = AppSettings::shared();
        settings.setQuietHoursEnabled(true);
        settings.setQuietStart(QDateTime(QDate(2024, 1, 1), QTime(8, 0)));
        settings.setQuietEnd(QDateTime(QDate(2024, 1, 1), QTime(9, 30)));
        auto quiet = makeReminder(context(), fixedAt("Quiet", 9, 0));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QVERIFY(model.pendingToday().contains(quiet));
        QVERIFY(model.overdue().isEmpty());
        QVERIFY(model.upcomingToday().contains(quiet));
    }

    void progress_data()
    {
        QTest::addColumn<int>("completed");
        QTest::addColumn<int>("skipped");
        QTest::addColumn<int>("missed");
        QTest::addColumn<int>("open");
        QTest::addColumn<double>("expected");
        QTest::newRow("nothing scheduled") << 0 << 0 << 0 << 0 << 0.0;
        QTest::newRow("one of three") << 1 << 0 << 0 << 2 << 1.0 / 3;
        QTest::newRow("skipped and missed count in the divisor only") << 2 << 1 << 1 << 0 << 0.5;
        QTest::newRow("all done") << 3 << 0 << 0 << 0 << 1.0;
    }

    void progress()
    {
        QFETCH(int, completed);
        QFETCH(int, skipped);
        QFETCH(int, missed);
        QFETCH(int, open);
        QFETCH(double, expected);
        const auto add = [&](int count, std::optional<LogStatus> status) {
            for (int i = 0; i < count; ++i) {
                auto r = makeReminder(context(),
                                      fixedAt(QStringLiteral("R%1").arg(context()->fetchCount<Reminder>()), 8, 0));
                if (status)
                    addLog(r, at(kWednesday, 8, 0), *status);
            }
        };
        add(completed, LogStatus::completed);
        add(skipped, LogStatus::skipped);
        add(missed, LogStatus::missed);
        add(open, std::nullopt);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QCOMPARE(model.todayProgress(), expected);
    }

    void weekdayComesFromCurrentDateScheduleFromThePresent()
    {
        // Refreshed late on Wednesday; the present has moved on to Thursday.
        Clock::setNow(at(kWednesday, 23, 59, 30));
        ReminderSpec thursdayOnly = fixedAt("Thursday", 8, 0);
        thursdayOnly.activeDaysRaw = {4};
        auto reminder = makeReminder(context(), thursdayOnly);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QVERIFY(model.todaysReminders().isEmpty());
        Clock::advance(60);
        QCOMPARE(model.todayWeekday(), Weekday::wednesday);
        QCOMPARE(model.todaysReminders(), QList<std::shared_ptr<Reminder>>{reminder});
        QCOMPARE(model.nextDueTime(*reminder), at(kWednesday, 8, 0)); // still placed on currentDate's day
        model.refreshDate();
        QCOMPARE(model.todayWeekday(), Weekday::thursday);
        QCOMPARE(model.nextDueTime(*reminder), at(kWednesday.addDays(1), 8, 0));
    }

    void deletedReminderLeavesTheListsAtOnce()
    {
        auto reminder = makeReminder(context(), fixedAt("Gone", 11, 0));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        context()->remove(reminder);
        QVERIFY(model.todaysReminders().isEmpty());
    }

    // ---- actions

    void completeBeforeTheTimeLogsThePresent()
    {
        auto reminder = makeReminder(context(), fixedAt("Lunch", 12, 30, ReminderCategory::meal));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        model.complete(reminder, false);
        QCOMPARE(looptestLines(*reminder), QStringList{"10:00 completed"});
        QVERIFY(model.isCompleted(*reminder));
        QVERIFY(!context()->hasChanges());
    }

    void completeAnswersTheEarliestOpenStep()
    {
        Clock::setNow(at(kWednesday, 9, 30));
        auto reminder = makeReminder(context(), intervalFrom("Stretch", QTime(8, 0), QTime(12, 0), 60));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        model.complete(reminder, false);
        QCOMPARE(looptestLines(*reminder), QStringList{"08:00 completed"});
        model.skip(reminder);
        QCOMPARE(looptestLines(*reminder), (QStringList{"08:00 completed", "09:00 skipped"}));
        // Nothing open any more: the answer goes to the present time.
        model.complete(reminder, false);
        QCOMPARE(looptestLines(*reminder).last(), QStringLiteral("09:30 completed"));
    }

    void answeringDropsTheOccurrenceBookkeeping_data()
    {
        QTest::addColumn<bool>("pause"); // else complete
        QTest::newRow("complete") << false;
        QTest::newRow("pause without an installed scheduler") << true;
    }

    void answeringDropsTheOccurrenceBookkeeping()
    {
        QFETCH(bool, pause);
        Clock::setNow(at(kWednesday, 9, 5));
        auto reminder = makeReminder(context(), fixedAt("Pill", 9, 0));
        auto &presentation = ReminderPresentationService::shared();
        const QString key = ReminderPresentationService::occurrenceKey(*reminder, at(kWednesday, 9, 0));
        presentation.markAttemptPresented(ReminderPresentationService::attemptKey(key, 1), Clock::now());
        ReminderListViewModel model(context());
        if (pause)
            model.setActive(false, reminder);
        else
            model.complete(reminder, false);
        QVERIFY(!presentation.presentedAttemptKeys().contains(ReminderPresentationService::attemptKey(key, 1)));
    }

    void completeFromThePopoverEvaluatesRewardsSilently()
    {
        auto reminder = makeReminder(context(), fixedAt("Walk", 9, 0, ReminderCategory::movement));
        auto reward = makeMilestone(context(), "One day", 1, MilestoneStatus::active, at(kWednesday, 0, 0));
        auto earned = makeMilestone(context(), "Earned", 1, MilestoneStatus::achieved, at(kWednesday, 0, 0));
        context()->save();
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QSignalSpy changed(&model, &ReminderListViewModel::changed);
        model.complete(reminder, false);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(model.recentCompletionCopy(), std::nullopt);
        QCOMPARE(reward->dailyLogs().size(), 1);
        QVERIFY(reward->dailyLogs().first()->didMeetThreshold());
        QCOMPARE(reward->status(), MilestoneStatus::achieved);
        QVERIFY(earned->dailyLogs().isEmpty()); // only running rewards are evaluated
        QVERIFY(!context()->hasChanges());
    }

    void completeWithCelebrationsQueuesRewardAndAllDone_data()
    {
        QTest::addColumn<int>("reminderCount");
        QTest::addColumn<int>("completions");
        QTest::addColumn<bool>("withReward");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("reward earned by the day's last check-off") << 1 << 1 << true << QStringList{"milestone"};
        QTest::newRow("all done without reward") << 2 << 2 << false << QStringList{"allDone"};
        QTest::newRow("one of two done") << 2 << 1 << false << QStringList{};
    }

    void completeWithCelebrationsQueuesRewardAndAllDone()
    {
        QFETCH(int, reminderCount);
        QFETCH(int, completions);
        QFETCH(bool, withReward);
        QFETCH(QStringList, expected);
        QList<std::shared_ptr<Reminder>> reminders;
        for (int i = 0; i < reminderCount; ++i) {
            ReminderSpec spec = fixedAt(QStringLiteral("R%1").arg(i), 9, i);
            spec.createdAt = at(kWednesday, 7, 0); // no streak from earlier days
            reminders << makeReminder(context(), spec);
        }
        if (withReward)
            makeMilestone(context(), "Today", 1, MilestoneStatus::active, at(kWednesday, 0, 0), 1.0);
        context()->save();

        CelebrationManager manager;
        manager.setTimerSource(std::make_shared<VirtualTimerSource>());
        ReminderListViewModel model(context());
        model.setTimerSource(std::make_shared<VirtualTimerSource>());
        model.setCelebrationManager(&manager);
        for (int i = 0; i < completions; ++i) {
            pushAll(model, *context());
            model.complete(reminders[i], true);
        }

        QStringList kinds;
        if (manager.activeEvent())
            kinds << celebrationKind(*manager.activeEvent());
        for (const auto &event : manager.queue())
            kinds << celebrationKind(event);
        QCOMPARE(kinds, expected);
    }

    void completionPhraseTiming()
    {
        auto a = makeReminder(context(), fixedAt("A", 11, 0));
        auto b = makeReminder(context(), fixedAt("B", 12, 0));
        auto timers = std::make_shared<VirtualTimerSource>();
        ReminderListViewModel model(context());
        model.setTimerSource(timers);

        model.complete(a, true);
        QVERIFY(model.completionCopy(*a));
        QCOMPARE(model.completionCopy(*b), std::nullopt);
        timers->advance(1000);
        model.complete(b, true);
        QCOMPARE(model.completionCopy(*a), std::nullopt);
        const auto bPhrase = model.completionCopy(*b);
        QVERIFY(bPhrase);
        timers->advance(1200); // A's wait ends: B's phrase stays
        QCOMPARE(model.completionCopy(*b), bPhrase);
        QSignalSpy cleared(&model, &ReminderListViewModel::recentCompletionChanged);
        timers->advance(999);
        QVERIFY(model.completionCopy(*b));
        timers->advance(1);
        QCOMPARE(model.completionCopy(*b), std::nullopt);
        QCOMPARE(model.recentCompletionReminderID(), std::nullopt);
        QCOMPARE(cleared.count(), 1);
    }

    void sameReminderTwiceIsClearedByTheFirstWait()
    {
        auto a = makeReminder(context(), fixedAt("A", 11, 0));
        auto timers = std::make_shared<VirtualTimerSource>();
        ReminderListViewModel model(context());
        model.setTimerSource(timers);
        model.setRecentCompletion(a);
        timers->advance(1500);
        model.setRecentCompletion(a);
        QVERIFY(model.completionCopy(*a));
        timers->advance(700);
        QCOMPARE(model.completionCopy(*a), std::nullopt);
    }

    void phraseWaitDiesWithTheModel()
    {
        auto a = makeReminder(context(), fixedAt("A", 11, 0));
        auto timers = std::make_shared<VirtualTimerSource>();
        {
            ReminderListViewModel model(context());
            model.setTimerSource(timers);
            model.setRecentCompletion(a);
        }
        timers->advance(3000); // must not touch the destroyed model
        QCOMPARE(timers->pendingCount(), 0);
    }

    void undoSkipTakesBackTheLatestSkipOnly()
    {
        Clock::setNow(at(kWednesday, 10, 10));
        auto reminder = makeReminder(context(), intervalFrom("Water", QTime(9, 0), QTime(11, 0), 30));
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QSignalSpy changed(&model, &ReminderListViewModel::changed);
        model.skip(reminder);
        QCOMPARE(looptestLines(*reminder), QStringList{"09:00 skipped"});
        QCOMPARE(model.recentCompletionCopy(), std::nullopt);
        model.skip(reminder);
        QCOMPARE(looptestLines(*reminder), (QStringList{"09:00 skipped", "09:30 skipped"}));
        QVERIFY(model.skippedToday().contains(reminder));
        model.undoSkip(reminder);
        QCOMPARE(looptestLines(*reminder), QStringList{"09:00 skipped"});
        QVERIFY(model.skippedToday().contains(reminder));
        model.undoSkip(reminder);
        QVERIFY(reminder->logs().isEmpty());
        QVERIFY(model.overdue().contains(reminder));
        model.undoSkip(reminder); // nothing left: nothing changes, observers still hear of it
        QCOMPARE(changed.count(), 5);
        QVERIFY(!context()->hasChanges());
    }

    void undoSkipLeavesOtherDaysAlone()
    {
        auto reminder = makeReminder(context(), fixedAt("Walk", 9, 0));
        addLog(reminder, at(kWednesday.addDays(-1), 9, 0), LogStatus::skipped);
        context()->save();
        ReminderListViewModel model(context());
        model.undoSkip(reminder);
        QCOMPARE(reminder->logs().size(), 1);
    }

    void pauseAndResume()
    {
        RecordingHooks hooks;
        auto reminder = makeReminder(context(), fixedAt("Walk", 9, 0));
        context()->save();
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QSignalSpy changed(&model, &ReminderListViewModel::changed);

        model.setActive(false, reminder);
        QVERIFY(!reminder->isActive());
        QVERIFY(!context()->hasChanges());
        QVERIFY(model.todaysReminders().isEmpty());
        model.setActive(true, reminder);
        QVERIFY(reminder->isActive());
        QVERIFY(!context()->hasChanges());
        QCOMPARE(hooks.calls, (QStringList{"cancel Walk present", "schedule Walk active"}));
        QCOMPARE(changed.count(), 2);
    }

    void deleteCancelsThenDeletesWithLogs()
    {
        RecordingHooks hooks;
        auto reminder = makeReminder(context(), fixedAt("Walk", 9, 0));
        auto keep = makeReminder(context(), fixedAt("Keep", 9, 0));
        addLog(reminder, at(kWednesday, 9, 0), LogStatus::completed);
        addLog(keep, at(kWednesday, 9, 0), LogStatus::completed);
        context()->save();
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QSignalSpy changed(&model, &ReminderListViewModel::changed);
        model.delete_(reminder);
        QCOMPARE(hooks.calls, QStringList{"cancel Walk present"});
        QVERIFY(reminder->isDeleted());
        QCOMPARE(context()->fetchCount<Reminder>(), 1);
        QCOMPARE(context()->fetchCount<ReminderLog>(), 1);
        QVERIFY(!context()->hasChanges());
        QCOMPARE(changed.count(), 0); // the screens learn it from their queries
    }

    void actionsOnAReminderOfAnotherStoreRecordThere()
    {
        auto other = openStore();
        auto reminder = makeReminder(other->mainContext(), fixedAt("Elsewhere", 9, 0));
        other->mainContext()->save();
        ReminderListViewModel model(context()); // still on its placeholder
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("another store"));
        model.complete(reminder, false);
        QVERIFY(!other->mainContext()->hasChanges());
        QCOMPARE(other->mainContext()->fetchCount<ReminderLog>(), 1);
        QCOMPARE(context()->fetchCount<ReminderLog>(), 0);
    }

    // ---- streak and rates

    void completionRate_data()
    {
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<int>>("completedDaysAgo"); // days back from today with a completed log
        QTest::addColumn<QList<qint64>>("activeDays");
        QTest::addColumn<double>("expected");
        const QList<qint64> everyDay{1, 2, 3, 4, 5, 6, 7};
        QTest::newRow("zero days") << 0 << QList<int>{0, 1} << everyDay << 0.0;
        QTest::newRow("negative days") << -3 << QList<int>{0} << everyDay << 0.0;
        QTest::newRow("today counts with what is done so far")
            << 7 << QList<int>{1, 2, 3, 4, 5, 6} << everyDay << 6.0 / 7;
        QTest::newRow("perfect week") << 7 << QList<int>{0, 1, 2, 3, 4, 5, 6} << everyDay << 1.0;
        // Wednesday back to Thursday: the weekend drops out of a weekdays-only mean.
        QTest::newRow("weekend left out") << 7 << QList<int>{0, 1, 2} << QList<qint64>{1, 2, 3, 4, 5} << 3.0 / 5;
        QTest::newRow("thirty days") << 30 << QList<int>{0, 10, 29, 30} << everyDay << 3.0 / 30;
    }

    void completionRate()
    {
        QFETCH(int, days);
        QFETCH(QList<int>, completedDaysAgo);
        QFETCH(QList<qint64>, activeDays);
        QFETCH(double, expected);
        ReminderSpec spec = fixedAt("Walk", 9, 0);
        spec.activeDaysRaw = activeDays;
        auto reminder = makeReminder(context(), spec);
        for (int ago : completedDaysAgo)
            addLog(reminder, at(kWednesday.addDays(-ago), 9, 0), LogStatus::completed);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QVERIFY(qFuzzyCompare(1 + model.completionRate(days), 1 + expected));
    }

    void dayRateRules()
    {
        auto walk = makeReminder(context(), fixedAt("Walk", 9, 0));
        auto read = makeReminder(context(), fixedAt("Read", 20, 0));
        const QDateTime day = at(kWednesday, 0, 0);
        addLog(walk, at(kWednesday, 9, 0), LogStatus::completed);
        addLog(walk, at(kWednesday, 9, 5), LogStatus::completed); // twice on one day counts once
        addLog(read, at(kWednesday, 20, 0), LogStatus::skipped);
        addLog(read, at(kWednesday.addDays(1), 0, 0), LogStatus::completed); // belongs to the next day
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QCOMPARE(model.dayRate(day), 0.5);
        QVERIFY(!model.hasCompletedLog(*read, day, at(kWednesday.addDays(1), 0, 0)));
        QVERIFY(model.hasCompletedLog(*read, at(kWednesday.addDays(1), 0, 0), at(kWednesday.addDays(2), 0, 0)));

        // Present settings apply to every day: pausing removes the reminder everywhere.
        read->setIsActive(false);
        QCOMPARE(model.dayRate(day), 1.0);
        walk->setIsActive(false);
        QCOMPARE(model.dayRate(day), -1.0);
        QCOMPARE(model.completionRate(30), 0.0);
    }

    void newReminderCountsOnEarlierDays()
    {
        ReminderSpec old = fixedAt("Old", 9, 0);
        auto oldReminder = makeReminder(context(), old);
        ReminderSpec fresh = fixedAt("Fresh", 11, 0);
        fresh.createdAt = at(kWednesday, 9, 30);
        makeReminder(context(), fresh);
        addLog(oldReminder, at(kWednesday.addDays(-1), 9, 0), LogStatus::completed);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QCOMPARE(model.dayRate(at(kWednesday.addDays(-1), 0, 0)), 0.5);
    }

    void streakCountsCompletedDays()
    {
        auto reminder = makeReminder(context(), fixedAt("Walk", 9, 0));
        for (int ago = 1; ago <= 3; ++ago)
            addLog(reminder, at(kWednesday.addDays(-ago), 9, 0), LogStatus::completed);
        ReminderListViewModel model(context());
        pushAll(model, *context());
        QCOMPARE(model.streak(), 3); // today still open does not break it
        model.complete(reminder, false);
        QCOMPARE(model.streak(), 4);
        QCOMPARE(model.streak(ReminderCategory::water), 0);
    }

private:
    static QStringList looptestLines(const Reminder &reminder)
    {
        QList<std::shared_ptr<ReminderLog>> logs = reminder.logs();
        std::sort(logs.begin(), logs.end(),
                  [](const auto &a, const auto &b) { return a->scheduledAt() < b->scheduledAt(); });
        QStringList lines;
        for (const auto &log : logs)
            lines << log->scheduledAt().toLocalTime().toString(QStringLiteral("HH:mm")) + QLatin1Char(' ') +
                         log->statusRaw();
        return lines;
    }

    static QString celebrationKind(const CelebrationEvent &event);
};

QString TestTodayViewModel::celebrationKind(const CelebrationEvent &event)
{
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked: return QStringLiteral("milestone");
    case CelebrationEvent::Kind::streakMilestone: return QStringLiteral("streak");
    case CelebrationEvent::Kind::allDailyDone: return QStringLiteral("allDone");
    }
    return {};
}

QTEST_GUILESS_MAIN(TestTodayViewModel)
#include "tst_todayviewmodel.moc"
