#include "Editor/EditorTestSupport.h"

#include "Base/Clock.h"
#include "Copy/CopyEngine.h"
#include "Editor/ReminderFormViewModel.h"
#include "Engine/SchedulerService.h"
#include "Support/FakeNotificationCenter.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using namespace editortest;

using WeekdayList = QList<int>;
Q_DECLARE_METATYPE(std::optional<QString>)

namespace {

std::set<Weekday> toSet(const WeekdayList &raw)
{
    std::set<Weekday> result;
    for (int value : raw) {
        if (const auto day = weekdayFromRaw(value))
            result.insert(*day);
    }
    return result;
}

} // namespace

class TestReminderFormViewModel : public QObject, private EditorFixture
{
    Q_OBJECT

private:
    // A view model for a new habit (or for `reminder`) on the test store, scheduling into the recorder.
    std::unique_ptr<ReminderFormViewModel> makeViewModel(std::shared_ptr<Reminder> reminder = nullptr)
    {
        auto vm = std::make_unique<ReminderFormViewModel>(std::move(reminder), context());
        vm->setScheduleReminder(m_recorder.function());
        return vm;
    }

private Q_SLOTS:
    void init() { begin(); }

    void cleanup()
    {
        end();
        CopyEngine::shared().setRandomSource(nullptr);
    }

    void newHabitStartsWithTheDefaults()
    {
        ReminderFormViewModel vm;
        QCOMPARE(vm.title(), QString());
        QCOMPARE(vm.category(), ReminderCategory::general);
        QCOMPARE(vm.detail(), QString());
        QCOMPARE(vm.scheduleType(), ScheduleType::fixedTime);
        QCOMPARE(vm.intervalMinutes(), qint64(60));
        QCOMPARE(vm.selectedDays(), everyDay());
        QVERIFY(vm.isActive());
        QVERIFY(!vm.isEditing());
        QVERIFY(!vm.existingReminder());
        QVERIFY(!vm.modelContext());
        QVERIFY(!vm.isValid());
    }

    void defaultTimesAreOnTheOpeningDay_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::newRow("summer afternoon") << openedAt;
        QTest::newRow("just after midnight") << QDateTime(QDate(2026, 6, 11), QTime(0, 0, 5));
        QTest::newRow("spring-forward day") << QDateTime(QDate(2026, 3, 29), QTime(3, 30));
        QTest::newRow("fall-back day, second 02:30") << QDateTime::fromString("2026-10-25T01:30:00Z", Qt::ISODate);
        QTest::newRow("last second of the year") << QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59));
    }

    void defaultTimesAreOnTheOpeningDay()
    {
        QFETCH(QDateTime, now);
        Clock::setNow(now);
        ReminderFormViewModel vm;
        const QDate day = now.toLocalTime().date();
        QCOMPARE(vm.fixedTime(), Days::atTime(day, 9, 0));
        QCOMPARE(vm.intervalStart(), Days::atTime(day, 8, 0));
        QCOMPARE(vm.intervalEnd(), Days::atTime(day, 18, 0));
    }

    void isValid_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<WeekdayList>("days");
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<qint64>("minutes");
        QTest::addColumn<int>("windowMinutes"); // end minus start
        QTest::addColumn<bool>("valid");

        const WeekdayList all{1, 2, 3, 4, 5, 6, 7};
        const auto fixed = ScheduleType::fixedTime;
        const auto interval = ScheduleType::interval;
        const auto combined = ScheduleType::combined;
        QTest::newRow("fixed, named") << "Walk" << all << fixed << qint64(60) << 600 << true;
        QTest::newRow("empty title") << "" << all << fixed << qint64(60) << 600 << false;
        QTest::newRow("spaces and line breaks") << " \n\t \r\n " << all << fixed << qint64(60) << 600 << false;
        QTest::newRow("no-break space only") << QString(QChar(0x00A0)) << all << fixed << qint64(60) << 600 << false;
        QTest::newRow("padded name") << "  Walk  " << all << fixed << qint64(60) << 600 << true;
        QTest::newRow("no days") << "Walk" << WeekdayList{} << fixed << qint64(60) << 600 << false;
        QTest::newRow("fixed ignores a broken interval") << "Walk" << all << fixed << qint64(0) << -60 << true;
        QTest::newRow("interval") << "Walk" << all << interval << qint64(60) << 600 << true;
        QTest::newRow("interval of 0 minutes") << "Walk" << all << interval << qint64(0) << 600 << false;
        QTest::newRow("interval of -5 minutes") << "Walk" << all << interval << qint64(-5) << 600 << false;
        QTest::newRow("interval of 1 minute") << "Walk" << all << interval << qint64(1) << 600 << true;
        QTest::newRow("empty window") << "Walk" << all << interval << qint64(60) << 0 << false;
        QTest::newRow("one-minute window") << "Walk" << all << interval << qint64(60) << 1 << true;
        QTest::newRow("reversed window") << "Walk" << all << interval << qint64(60) << -30 << false;
        QTest::newRow("combined, reversed window") << "Walk" << all << combined << qint64(30) << -60 << false;
        QTest::newRow("combined, 0 minutes") << "Walk" << all << combined << qint64(0) << 60 << false;
    }

    void isValid()
    {
        QFETCH(QString, title);
        QFETCH(WeekdayList, days);
        QFETCH(ScheduleType, type);
        QFETCH(qint64, minutes);
        QFETCH(int, windowMinutes);
        QFETCH(bool, valid);

        ReminderFormViewModel vm;
        vm.setTitle(title);
        vm.setSelectedDays(toSet(days));
        vm.setScheduleType(type);
        vm.setIntervalMinutes(minutes);
        vm.setIntervalEnd(vm.intervalStart().addSecs(qint64(windowMinutes) * 60));
        QCOMPARE(vm.isValid(), valid);
    }

    void windowComparesWholeInstants()
    {
        // A window whose times of day look right but whose end lies on an earlier date is not valid.
        ReminderFormViewModel vm;
        vm.setTitle(QStringLiteral("Walk"));
        vm.setScheduleType(ScheduleType::interval);
        vm.setIntervalStart(QDateTime(QDate(2026, 6, 10), QTime(8, 0)));
        vm.setIntervalEnd(QDateTime(QDate(2026, 6, 9), QTime(18, 0)));
        QVERIFY(!vm.isValid());
    }

    void saveStoresTheFieldsOfTheScheduleType_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<bool>("hasFixedTime");
        QTest::addColumn<bool>("hasInterval");
        QTest::newRow("fixed time") << ScheduleType::fixedTime << true << false;
        QTest::newRow("interval") << ScheduleType::interval << false << true;
        QTest::newRow("combined") << ScheduleType::combined << true << true;
    }

    void saveStoresTheFieldsOfTheScheduleType()
    {
        QFETCH(ScheduleType, type);
        QFETCH(bool, hasFixedTime);
        QFETCH(bool, hasInterval);

        auto vm = makeViewModel();
        vm->setTitle(QStringLiteral("Stretch"));
        vm->setCategory(ReminderCategory::movement);
        vm->setScheduleType(type);
        vm->setFixedTime(QDateTime(openedAt.date(), QTime(7, 15)));
        vm->setIntervalMinutes(25);
        vm->setIntervalStart(QDateTime(openedAt.date(), QTime(10, 0)));
        vm->setIntervalEnd(QDateTime(openedAt.date(), QTime(16, 30)));
        QCOMPARE(vm->save(), ReminderFormViewModel::SaveOutcome::inserted);

        const auto stored = context()->fetch<Reminder>();
        QCOMPARE(stored.size(), 1);
        const auto &r = stored.first();
        QCOMPARE(r->scheduleType(), rawValue(type));
        QCOMPARE(r->category(), QStringLiteral("movement"));
        QCOMPARE(r->fixedTime().has_value(), hasFixedTime);
        if (hasFixedTime)
            QCOMPARE(*r->fixedTime(), QDateTime(openedAt.date(), QTime(7, 15)));
        QCOMPARE(r->intervalMinutes().has_value(), hasInterval);
        QCOMPARE(r->intervalStart().has_value(), hasInterval);
        QCOMPARE(r->intervalEnd().has_value(), hasInterval);
        if (hasInterval) {
            QCOMPARE(*r->intervalMinutes(), qint64(25));
            QCOMPARE(*r->intervalStart(), QDateTime(openedAt.date(), QTime(10, 0)));
            QCOMPARE(*r->intervalEnd(), QDateTime(openedAt.date(), QTime(16, 30)));
        }
    }

    void newHabitWithTheDefaultsIsStoredAndScheduled()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("Ovlin.store"));
        QUuid id;
        {
            QString error;
            auto store = StoreContainer::open(path, &error);
            QVERIFY2(store, qPrintable(error));
            ReminderFormViewModel vm(nullptr, store->mainContext());
            vm.setScheduleReminder(m_recorder.function());
            vm.setTitle(QStringLiteral("  Walk  "));
            QCOMPARE(vm.save(), ReminderFormViewModel::SaveOutcome::inserted);
            QVERIFY(!store->mainContext()->hasChanges());

            // Inserted before it was scheduled, saved after.
            QCOMPARE(m_recorder.scheduled.size(), 1);
            QCOMPARE(m_recorder.hadPendingChanges, QList<bool>{true});
            QCOMPARE(m_recorder.scheduled.first(), store->mainContext()->fetch<Reminder>().first());
            id = m_recorder.scheduled.first()->id();
            m_recorder = {};
        }
        QString error;
        auto reopened = StoreContainer::open(path, &error);
        QVERIFY2(reopened, qPrintable(error));
        const auto stored = reopened->mainContext()->fetch<Reminder>();
        QCOMPARE(stored.size(), 1);
        const auto &r = stored.first();
        QCOMPARE(r->id(), id);
        QCOMPARE(r->title(), QStringLiteral("Walk"));
        QCOMPARE(r->category(), QStringLiteral("general"));
        QCOMPARE(r->detail(), std::nullopt);
        QCOMPARE(r->scheduleType(), QStringLiteral("fixedTime"));
        QCOMPARE(r->fixedTime(), std::optional<QDateTime>(QDateTime(openedAt.date(), QTime(9, 0))));
        QCOMPARE(r->intervalMinutes(), std::nullopt);
        QCOMPARE(r->intervalStart(), std::nullopt);
        QCOMPARE(r->intervalEnd(), std::nullopt);
        QCOMPARE(r->activeDaysRaw(), (QList<qint64>{1, 2, 3, 4, 5, 6, 7}));
        QVERIFY(r->isActive());
        QCOMPARE(r->createdAt(), openedAt);
        QVERIFY(r->logs().isEmpty());
    }

    void saveSkips_data()
    {
        QTest::addColumn<bool>("withContext");
        QTest::addColumn<QString>("title");
        QTest::newRow("no store context") << false << "Walk";
        QTest::newRow("empty title") << true << "";
        QTest::newRow("spaces and line breaks") << true << "  \n \t ";
    }

    void saveSkips()
    {
        QFETCH(bool, withContext);
        QFETCH(QString, title);
        ReminderFormViewModel vm(nullptr, withContext ? context() : nullptr);
        vm.setScheduleReminder(m_recorder.function());
        vm.setTitle(title);
        QCOMPARE(vm.save(), ReminderFormViewModel::SaveOutcome::skipped);
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(0));
        QVERIFY(!context()->hasChanges());
        QVERIFY(m_recorder.scheduled.isEmpty());
    }

    void editingLoadsTheReminder()
    {
        auto stored = storedReminder(context(), ScheduleType::combined, QStringLiteral("after lunch"));
        stored->setIsActive(false);
        auto vm = makeViewModel(stored);
        QVERIFY(vm->isEditing());
        QCOMPARE(vm->existingReminder(), stored);
        QCOMPARE(vm->title(), QStringLiteral("Stretch break"));
        QCOMPARE(vm->category(), ReminderCategory::movement);
        QCOMPARE(vm->detail(), QStringLiteral("after lunch"));
        QCOMPARE(vm->scheduleType(), ScheduleType::combined);
        QCOMPARE(vm->fixedTime(), *stored->fixedTime());
        QCOMPARE(vm->intervalMinutes(), qint64(45));
        QCOMPARE(vm->intervalStart(), *stored->intervalStart());
        QCOMPARE(vm->intervalEnd(), *stored->intervalEnd());
        QCOMPARE(vm->selectedDays(), days({Weekday::monday, Weekday::wednesday, Weekday::friday}));
        QVERIFY(!vm->isActive());
        QVERIFY(vm->isValid());
    }

    void editingReadsStrayStoredValues_data()
    {
        QTest::addColumn<QString>("categoryRaw");
        QTest::addColumn<QString>("typeRaw");
        QTest::addColumn<QList<qint64>>("daysRaw");
        QTest::addColumn<ReminderCategory>("category");
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<WeekdayList>("days");
        QTest::newRow("unknown texts") << "snacks"
                                       << "hourly" << QList<qint64>{1, 2} << ReminderCategory::general
                                       << ScheduleType::fixedTime << WeekdayList{1, 2};
        QTest::newRow("days out of range and repeated")
            << "water"
            << "interval" << QList<qint64>{0, 3, 9, 3, -1, 7} << ReminderCategory::water << ScheduleType::interval
            << WeekdayList{3, 7};
        QTest::newRow("no days") << "meal"
                                 << "combined" << QList<qint64>{} << ReminderCategory::meal << ScheduleType::combined
                                 << WeekdayList{};
    }

    void editingReadsStrayStoredValues()
    {
        QFETCH(QString, categoryRaw);
        QFETCH(QString, typeRaw);
        QFETCH(QList<qint64>, daysRaw);
        QFETCH(ReminderCategory, category);
        QFETCH(ScheduleType, type);
        QFETCH(WeekdayList, days);
        auto stored = storedReminder(context());
        stored->setCategory(categoryRaw);
        stored->setScheduleType(typeRaw);
        stored->setActiveDaysRaw(daysRaw);
        auto vm = makeViewModel(stored);
        QCOMPARE(vm->category(), category);
        QCOMPARE(vm->scheduleType(), type);
        QCOMPARE(vm->selectedDays(), toSet(days));
    }

    void editingFallsBackForMissingTimes()
    {
        auto stored = storedReminder(context(), ScheduleType::fixedTime);
        auto vm = makeViewModel(stored);
        QCOMPARE(vm->fixedTime(), *stored->fixedTime());
        QCOMPARE(vm->intervalMinutes(), qint64(60));
        QCOMPARE(vm->intervalStart(), QDateTime(openedAt.date(), QTime(8, 0)));
        QCOMPARE(vm->intervalEnd(), QDateTime(openedAt.date(), QTime(18, 0)));

        vm->setScheduleType(ScheduleType::interval);
        QCOMPARE(vm->save(), ReminderFormViewModel::SaveOutcome::updated);
        QCOMPARE(stored->fixedTime(), std::nullopt);
        QCOMPARE(stored->intervalMinutes(), std::optional<qint64>(60));
        QCOMPARE(stored->intervalStart(), std::optional<QDateTime>(QDateTime(openedAt.date(), QTime(8, 0))));
        QCOMPARE(stored->intervalEnd(), std::optional<QDateTime>(QDateTime(openedAt.date(), QTime(18, 0))));

        // Without a fixed time it falls back to nine on the opening day.
        auto intervalOnly = storedReminder(context(), ScheduleType::interval);
        auto other = makeViewModel(intervalOnly);
        QCOMPARE(other->fixedTime(), QDateTime(openedAt.date(), QTime(9, 0)));
        QCOMPARE(other->intervalStart(), *intervalOnly->intervalStart());
    }

    void editingKeepsIdentityCreationAndLogs()
    {
        auto stored = storedReminder(context(), ScheduleType::combined);
        const QUuid id = stored->id();
        const QDateTime created = stored->createdAt();
        auto log = ReminderLog::create(QUuid::createUuid(), stored, QDateTime(QDate(2026, 6, 8), QTime(7, 30)),
                                       QDateTime(QDate(2026, 6, 8), QTime(7, 31)), LogStatus::completed);
        context()->save();

        auto vm = makeViewModel(stored);
        vm->setTitle(QStringLiteral(" Long stretch\n"));
        vm->setCategory(ReminderCategory::meditation);
        vm->setScheduleType(ScheduleType::fixedTime);
        vm->setSelectedDays(days({Weekday::sunday}));
        QCOMPARE(vm->save(), ReminderFormViewModel::SaveOutcome::updated);

        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(1));
        QCOMPARE(stored->id(), id);
        QCOMPARE(stored->createdAt(), created);
        QCOMPARE(stored->logs(), QList<std::shared_ptr<ReminderLog>>{log});
        QCOMPARE(stored->title(), QStringLiteral("Long stretch"));
        QCOMPARE(stored->category(), QStringLiteral("meditation"));
        QCOMPARE(stored->scheduleType(), QStringLiteral("fixedTime"));
        // Switching from combined to fixed time drops the interval settings.
        QCOMPARE(stored->intervalMinutes(), std::nullopt);
        QCOMPARE(stored->intervalStart(), std::nullopt);
        QCOMPARE(stored->intervalEnd(), std::nullopt);
        QCOMPARE(stored->activeDaysRaw(), QList<qint64>{7});
        QVERIFY(!context()->hasChanges());
        QCOMPARE(m_recorder.scheduled, QList<std::shared_ptr<Reminder>>{stored});
        QCOMPARE(m_recorder.hadPendingChanges, QList<bool>{true});
    }

    void editingAReminderDeletedMeanwhileSavesNothing()
    {
        auto stored = storedReminder(context());
        auto vm = makeViewModel(stored);
        vm->setTitle(QStringLiteral("Renamed"));
        context()->remove(stored);
        context()->save();
        QCOMPARE(vm->save(), ReminderFormViewModel::SaveOutcome::skipped);
        QCOMPARE(stored->title(), QStringLiteral("Stretch break"));
        QVERIFY(m_recorder.scheduled.isEmpty());
        QCOMPARE(context()->fetchCount<Reminder>(), qsizetype(0));
    }

    void cancelChangesNothing()
    {
        auto stored = storedReminder(context());
        auto vm = makeViewModel(stored);
        vm->setTitle(QStringLiteral("Renamed"));
        vm->setScheduleType(ScheduleType::interval);
        vm->cancel();
        QCOMPARE(stored->title(), QStringLiteral("Stretch break"));
        QCOMPARE(stored->scheduleType(), QStringLiteral("combined"));
        QVERIFY(!stored->hasChanges());
        QVERIFY(!context()->hasChanges());
        QVERIFY(m_recorder.scheduled.isEmpty());
    }

    void aClosedStoreIsNoLongerUsed()
    {
        auto vm = makeViewModel();
        vm->setTitle(QStringLiteral("Walk"));
        m_store.reset();
        QVERIFY(!vm->modelContext());
        QCOMPARE(vm->save(), ReminderFormViewModel::SaveOutcome::skipped);
        QVERIFY(m_recorder.scheduled.isEmpty());
        m_store = openStore();
    }

    void savingReplacesTheNotificationsThroughTheScheduler()
    {
        FakeNotificationCenter center;
        NotificationCenter::setCurrent(&center);
        SchedulerService::shared().setNotificationCenter(&center);
        const auto pendingOf = [&center](const Reminder &reminder) {
            const QString prefix = SchedulerService::notificationPrefix(reminder);
            return SchedulerService::identifiersWithPrefix(
                SchedulerService::notificationRequestIdentifiers(center.pendingRequests()), prefix);
        };

        // A new habit without an injected scheduler goes to the shared one.
        ReminderFormViewModel vm(nullptr, context());
        vm.setTitle(QStringLiteral("Walk"));
        vm.setSelectedDays(days({Weekday::monday, Weekday::friday}));
        QCOMPARE(vm.save(), ReminderFormViewModel::SaveOutcome::inserted);
        const auto reminder = context()->fetch<Reminder>().first();
        const QString prefix = SchedulerService::notificationPrefix(*reminder);
        QCOMPARE(pendingOf(*reminder),
                 (QStringList{prefix + QStringLiteral("-fixed-1"), prefix + QStringLiteral("-fixed-5")}));

        // Editing it to an interval replaces them.
        ReminderFormViewModel edit(reminder, context());
        edit.setScheduleType(ScheduleType::interval);
        edit.save();
        const QStringList interval = pendingOf(*reminder);
        QVERIFY(!interval.isEmpty());
        for (const QString &id : interval)
            QVERIFY2(id.startsWith(prefix + QStringLiteral("-interval-")), qPrintable(id));

        // A paused habit is left with none.
        reminder->setIsActive(false);
        context()->save();
        ReminderFormViewModel paused(reminder, context());
        paused.save();
        QVERIFY(pendingOf(*reminder).isEmpty());

        SchedulerService::shared().setNotificationCenter(nullptr);
        NotificationCenter::setCurrent(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestReminderFormViewModel)
#include "tst_reminderformviewmodel.moc"
