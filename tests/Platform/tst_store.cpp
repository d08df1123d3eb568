#include "Base/Clock.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include "Support/StoreTestSupport.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

using namespace ovlin;
using namespace storetest;

using OptText = std::optional<QString>;
using OptDate = std::optional<QDateTime>;
using OptInt = std::optional<qint64>;
using OptBytes = std::optional<QByteArray>;
using IntList = QList<qint64>;

namespace {

std::shared_ptr<Reminder> makeReminder(const QString &title, const QList<Weekday> &days = {Weekday::monday},
                                       bool active = true)
{
    return Reminder::create(QUuid::createUuid(), title, ReminderCategory::water, std::nullopt, ScheduleType::fixedTime,
                            utc("2026-01-01T08:00:00Z"), std::nullopt, std::nullopt, std::nullopt, days, active,
                            utc("2026-01-01T07:00:00.250Z"));
}

std::shared_ptr<Milestone> makeMilestone(const QString &name)
{
    return Milestone::create(QUuid::createUuid(), name, QStringLiteral("Cake"), 3, 0.8, std::nullopt,
                             utc("2026-02-01T00:00:00Z"), MilestoneStatus::active);
}

std::shared_ptr<ReminderLog> makeLog(const std::shared_ptr<Reminder> &reminder, const char *scheduledAt)
{
    return ReminderLog::create(QUuid::createUuid(), reminder, utc(scheduledAt), std::nullopt, LogStatus::completed);
}

template <class T> QStringList titles(const QList<std::shared_ptr<T>> &records)
{
    QStringList out;
    for (const auto &record : records)
        out.append(record->title());
    return out;
}

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;

    QString storePath() const { return m_dir->filePath(QStringLiteral("Test.store")); }

    std::unique_ptr<StoreContainer> openStore(int busyTimeoutMs = StoreContainer::defaultBusyTimeoutMs)
    {
        QString error;
        auto container = StoreContainer::open(storePath(), &error, busyTimeoutMs);
        if (!container)
            qWarning() << "open failed:" << error;
        return container;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        // The records below are of early 2026: all of their logs count as recent.
        Clock::setNow(utc("2026-01-04T12:00:00Z"));
    }
    void cleanup() { Clock::useSystemTime(); }

    // --- Records through a file store and a reopen ---------------------------------------------------

    void reminderRoundTrip_data()
    {
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("category");
        QTest::addColumn<OptText>("detail");
        QTest::addColumn<QString>("scheduleType");
        QTest::addColumn<OptDate>("fixedTime");
        QTest::addColumn<OptInt>("intervalMinutes");
        QTest::addColumn<OptDate>("intervalStart");
        QTest::addColumn<IntList>("activeDaysRaw");
        QTest::addColumn<bool>("isActive");
        QTest::addColumn<QDateTime>("createdAt");

        auto row = [](const char *name, const QString &title, const QString &category, const OptText &detail,
                      const QString &scheduleType, const OptDate &fixedTime, const OptInt &minutes,
                      const OptDate &start, const IntList &days, bool active, const QDateTime &createdAt) {
            QTest::newRow(name) << title << category << detail << scheduleType << fixedTime << minutes << start << days
                                << active << createdAt;
        };
        const QDateTime created = utc("2026-03-02T09:15:30.123Z");
        row("optionals absent", "Drink", "water", {}, "fixedTime", {}, {}, {}, {1}, true, created);
        row("empty texts stay empty", "", "", QStringLiteral(""), "", {}, {}, {}, {}, false, created);
        row("sub-second dates, before 1970", "Stretch", "movement", QStringLiteral("gently"), "combined",
            utc("1969-12-31T23:59:59.999Z"), 90, utc("2026-03-02T06:00:00.001Z"), {3}, true,
            utc("2026-03-02T23:59:59.999Z"));
        row("weekday order, duplicates, stray integers", "Order", "snack", {}, "fixedTime", {}, {}, {},
            {7, 1, 1, 3, 0, 8, -1, std::numeric_limits<qint64>::max()}, true, created);
        row("unrecognised texts kept as stored", "Odd", "Water", QStringLiteral("ünïcødé ✓ \"quotes\""), "daily", {},
            std::numeric_limits<qint64>::min(), {}, {5}, true, created);
    }

    void reminderRoundTrip()
    {
        QFETCH(QString, title);
        QFETCH(QString, category);
        QFETCH(OptText, detail);
        QFETCH(QString, scheduleType);
        QFETCH(OptDate, fixedTime);
        QFETCH(OptInt, intervalMinutes);
        QFETCH(OptDate, intervalStart);
        QFETCH(IntList, activeDaysRaw);
        QFETCH(bool, isActive);
        QFETCH(QDateTime, createdAt);

        const QUuid id = QUuid::createUuid();
        const OptDate intervalEnd = intervalStart ? OptDate(intervalStart->addSecs(3600)) : OptDate();
        {
            auto store = openStore();
            QVERIFY(store);
            auto reminder = makeReminder(QStringLiteral("placeholder"));
            reminder->setId(id);
            reminder->setTitle(title);
            reminder->setCategory(category);
            reminder->setDetail(detail);
            reminder->setScheduleType(scheduleType);
            reminder->setFixedTime(fixedTime);
            reminder->setIntervalMinutes(intervalMinutes);
            reminder->setIntervalStart(intervalStart);
            reminder->setIntervalEnd(intervalEnd);
            reminder->setActiveDaysRaw(activeDaysRaw);
            reminder->setIsActive(isActive);
            reminder->setCreatedAt(createdAt);
            ReminderLog::create(QUuid::createUuid(), reminder, createdAt, fixedTime, LogStatus::skipped);
            store->mainContext()->insert(reminder);
            QVERIFY(store->mainContext()->save());
        }

        auto store = openStore();
        QVERIFY(store);
        const auto reminders = store->mainContext()->fetch<Reminder>();
        QCOMPARE(reminders.size(), 1);
        const auto &r = *reminders.first();
        QCOMPARE(r.id(), id);
        QCOMPARE(r.title(), title);
        QCOMPARE(r.category(), category);
        QCOMPARE(r.detail(), detail);
        QCOMPARE(r.scheduleType(), scheduleType);
        QCOMPARE(r.fixedTime(), fixedTime);
        QCOMPARE(r.intervalMinutes(), intervalMinutes);
        QCOMPARE(r.intervalStart(), intervalStart);
        QCOMPARE(r.intervalEnd(), intervalEnd);
        QCOMPARE(r.activeDaysRaw(), activeDaysRaw);
        QCOMPARE(r.isActive(), isActive);
        QCOMPARE(r.createdAt(), createdAt);

        QCOMPARE(r.logs().size(), 1);
        const auto &log = *r.logs().first();
        QCOMPARE(log.reminder().get(), &r);
        QCOMPARE(log.scheduledAt(), createdAt);
        QCOMPARE(log.completedAt(), fixedTime);
        QCOMPARE(log.statusRaw(), QStringLiteral("skipped"));
    }

    void milestoneRoundTrip_data()
    {
        QTest::addColumn<OptText>("linkedCategoryRaw");
        QTest::addColumn<OptBytes>("thumbnail");
        QTest::addColumn<qint64>("requireDays");
        QTest::addColumn<double>("requirePercent");
        QTest::addColumn<QString>("statusRaw");
        QTest::addColumn<double>("completionRate");

        QByteArray binary;
        for (int i = 0; i < 256; ++i)
            binary.append(char(i));
        binary.append(QByteArray(3, '\0'));

        QTest::newRow("no category, no thumbnail") << OptText() << OptBytes() << qint64(7) << 0.8 << "active" << 0.75;
        QTest::newRow("empty category, empty thumbnail")
            << OptText(QStringLiteral("")) << OptBytes(QByteArray()) << qint64(1) << 0.0 << "achieved" << 0.0;
        QTest::newRow("binary thumbnail, unknown texts") << OptText(QStringLiteral("Bogus")) << OptBytes(binary)
                                                         << (qint64(1) << 40) << 1.0 << "paused" << 0.1 + 0.2;
    }

    void milestoneRoundTrip()
    {
        QFETCH(OptText, linkedCategoryRaw);
        QFETCH(OptBytes, thumbnail);
        QFETCH(qint64, requireDays);
        QFETCH(double, requirePercent);
        QFETCH(QString, statusRaw);
        QFETCH(double, completionRate);

        const QDateTime start = utc("2026-02-01T10:20:30.456Z");
        const QDateTime day = utc("2026-02-03T23:00:00Z");
        {
            auto store = openStore();
            QVERIFY(store);
            auto milestone =
                Milestone::create(QUuid::createUuid(), QStringLiteral("Week"), QStringLiteral("Cinema"), requireDays,
                                  requirePercent, std::nullopt, start, MilestoneStatus::active);
            milestone->setLinkedCategoryRaw(linkedCategoryRaw);
            milestone->setThumbnailData(thumbnail);
            milestone->setStatusRaw(statusRaw);
            MilestoneLog::create(QUuid::createUuid(), milestone, day, completionRate, true);
            store->mainContext()->insert(milestone);
            QVERIFY(store->mainContext()->save());
        }

        auto store = openStore();
        QVERIFY(store);
        const auto milestones = store->mainContext()->fetch<Milestone>();
        QCOMPARE(milestones.size(), 1);
        const auto &m = *milestones.first();
        QCOMPARE(m.name(), QStringLiteral("Week"));
        QCOMPARE(m.reward(), QStringLiteral("Cinema"));
        QCOMPARE(m.requireDays(), requireDays);
        QCOMPARE(m.requirePercent(), requirePercent);
        QCOMPARE(m.linkedCategoryRaw(), linkedCategoryRaw);
        QCOMPARE(m.startDate(), start);
        QCOMPARE(m.statusRaw(), statusRaw);
        QCOMPARE(m.thumbnailData(), thumbnail);

        QCOMPARE(m.dailyLogs().size(), 1);
        const auto &log = *m.dailyLogs().first();
        QCOMPARE(log.milestone().get(), &m);
        QCOMPARE(log.date(), day);
        QVERIFY(log.didMeetThreshold());
        QCOMPARE(log.completionRate(), completionRate);
    }

    // Raw texts the enumerations do not know read as their fallbacks, and stay stored as written.
    // Each reminder reads back its own logs in store order, whatever order they lie in across reminders,
    // with an invalid date, an absent completion and a log whose reminder row is gone.
    void logsReadBackPerReminderInStoreOrder()
    {
        QList<QUuid> firstIds;
        QList<QUuid> secondIds;
        QList<QUuid> allIds; // in the order made
        QUuid orphanId;
        {
            auto store = openStore();
            auto first = makeReminder(QStringLiteral("First"));
            auto second = makeReminder(QStringLiteral("Second"));
            auto gone = makeReminder(QStringLiteral("Gone"));
            for (int i = 0; i < 6; ++i) {
                const auto &owner = i % 3 == 1 ? second : first;
                const QDateTime at = i == 2 ? QDateTime() : utc("2026-01-01T08:00:00Z").addSecs(3600 * i);
                const OptDate completed = i % 2 ? OptDate(at.addSecs(-61)) : std::nullopt;
                auto log = ReminderLog::create(QUuid::createUuid(), owner, at, completed, LogStatus::skipped);
                (owner == first ? firstIds : secondIds).append(log->id());
                allIds.append(log->id());
            }
            orphanId = makeLog(gone, "2026-01-02T08:00:00Z")->id();
            for (const auto &reminder : {first, second, gone})
                store->mainContext()->insert(reminder);
            QVERIFY(store->mainContext()->save());
        }
        {
            RawConnection raw(storePath());
            QVERIFY(raw.exec(QStringLiteral("DELETE FROM Reminder WHERE title = 'Gone'")));
        }
        auto store = openStore();
        QVERIFY(store);
        StoreContext *context = store->mainContext();
        const auto reminders = context->fetch<Reminder>();
        QCOMPARE(titles(reminders), (QStringList{"First", "Second"}));
        for (const auto &reminder : reminders) {
            QList<QUuid> ids;
            for (const auto &log : reminder->logs()) {
                ids.append(log->id());
                QCOMPARE(log->reminder(), reminder);
            }
            QCOMPARE(ids, reminder->title() == QStringLiteral("First") ? firstIds : secondIds);
        }
        const auto logs = context->fetch<ReminderLog>();
        QCOMPARE(logs.size(), 7);
        for (const auto &stored : logs) {
            const auto &log = *stored;
            const auto i = allIds.indexOf(log.id());
            if (i < 0)
                continue; // the orphan, below
            if (i == 2) {
                QVERIFY(!log.scheduledAt().isValid());
                QVERIFY(!log.scheduledMSecs());
            } else {
                QCOMPARE(log.scheduledAt(), utc("2026-01-01T08:00:00Z").addSecs(3600 * i));
                QCOMPARE(log.scheduledMSecs(), log.scheduledAt().toMSecsSinceEpoch());
            }
            QCOMPARE(log.completedAt().has_value(), i % 2 == 1);
            if (log.completedAt())
                QCOMPARE(*log.completedAt(), log.scheduledAt().addSecs(-61));
            QCOMPARE(log.status(), LogStatus::skipped);
        }
        QCOMPARE(logs.last()->id(), orphanId);
        QVERIFY(!logs.last()->reminder());
        QVERIFY(!context->hasChanges());
    }

    void rawValueFallbacksAfterReopen_data()
    {
        // category, scheduleType, log status, reward status, linked category
        QTest::addColumn<QStringList>("raw");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("unknown") << QStringList{"Water", "daily", "Completed", "paused", "Bogus"}
                                 << QStringList{"general", "fixedTime", "missed", "active", ""};
        QTest::newRow("empty") << QStringList{"", "", "", "", ""}
                               << QStringList{"general", "fixedTime", "missed", "active", ""};
        QTest::newRow("known") << QStringList{"meditation", "interval", "snoozed", "achieved", "water"}
                               << QStringList{"meditation", "interval", "snoozed", "achieved", "water"};
    }

    void rawValueFallbacksAfterReopen()
    {
        QFETCH(QStringList, raw);
        QFETCH(QStringList, expected);
        {
            auto store = openStore();
            auto reminder = makeReminder(QStringLiteral("R"));
            reminder->setCategory(raw[0]);
            reminder->setScheduleType(raw[1]);
            makeLog(reminder, "2026-01-01T08:00:00Z")->setStatusRaw(raw[2]);
            auto milestone = makeMilestone(QStringLiteral("M"));
            milestone->setStatusRaw(raw[3]);
            milestone->setLinkedCategoryRaw(raw[4]);
            store->mainContext()->insert(reminder);
            store->mainContext()->insert(milestone);
            QVERIFY(store->mainContext()->save());
        }
        auto store = openStore();
        const auto reminder = store->mainContext()->fetch<Reminder>().first();
        const auto log = reminder->logs().first();
        const auto milestone = store->mainContext()->fetch<Milestone>().first();
        QCOMPARE((QStringList{reminder->category(), reminder->scheduleType(), log->statusRaw(), milestone->statusRaw(),
                              milestone->linkedCategoryRaw().value_or(QStringLiteral("absent"))}),
                 raw);
        const auto linked = milestone->linkedCategory();
        QCOMPARE((QStringList{rawValue(reminder->categoryValue()), rawValue(reminder->scheduleTypeValue()),
                              rawValue(log->status()), rawValue(milestone->status()),
                              linked ? rawValue(*linked) : QString()}),
                 expected);
        // Reading never rewrites a stored value.
        QVERIFY(!store->mainContext()->hasChanges());
    }

    void isScheduledToday_data()
    {
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<IntList>("days");
        QTest::addColumn<bool>("active");
        QTest::addColumn<bool>("expected");

        // 2026-03-02 is a Monday; Weekday raw values run 1 Monday .. 7 Sunday.
        const QDate monday(2026, 3, 2);
        for (int i = 0; i < 7; ++i) {
            const QDateTime noon(monday.addDays(i), QTime(12, 0), Qt::LocalTime);
            const QByteArray day = QLocale::c().dayName(i + 1).toLatin1();
            QTest::newRow((day + ": its own day").constData())
                << noon << IntList{(i + 1) % 7 + 1, i + 1} << true << true;
            QTest::newRow((day + ": another day only").constData())
                << noon << IntList{(i + 1) % 7 + 1} << true << false;
        }
        const QDateTime sunday(monday.addDays(6), QTime(12, 0), Qt::LocalTime);
        QTest::newRow("paused") << sunday << IntList{7} << false << false;
        QTest::newRow("only stray integers") << sunday << IntList{0, 8} << true << false;
        QTest::newRow("Sunday just before midnight")
            << QDateTime(monday.addDays(6), QTime(23, 59, 59, 999), Qt::LocalTime) << IntList{7} << true << true;
        QTest::newRow("Monday at midnight is not Sunday")
            << QDateTime(monday.addDays(7), QTime(0, 0), Qt::LocalTime) << IntList{7} << true << false;
    }

    void isScheduledToday()
    {
        QFETCH(QDateTime, now);
        QFETCH(IntList, days);
        QFETCH(bool, active);
        QFETCH(bool, expected);
        ScopedFakeClock clock(now);
        auto reminder = makeReminder(QStringLiteral("R"), {}, active);
        reminder->setActiveDaysRaw(days);
        QCOMPARE(reminder->isScheduledToday(), expected);
    }

    // --- Relationships ------------------------------------------------------------------------------

    void logsDoNotKeepTheirReminderAlive()
    {
        std::weak_ptr<Reminder> weak;
        std::shared_ptr<ReminderLog> log;
        {
            auto reminder = makeReminder(QStringLiteral("R"));
            weak = reminder;
            log = makeLog(reminder, "2026-01-01T08:00:00Z");
        }
        QVERIFY(weak.expired());
        QVERIFY(!log->reminder());
    }

    void cascadeAndNullifyAfterReopen()
    {
        QUuid keptLogId;
        {
            auto store = openStore();
            StoreContext *context = store->mainContext();
            for (const QString &title : {QStringLiteral("Keep"), QStringLiteral("Drop")}) {
                auto reminder = makeReminder(title);
                for (const char *at : {"2026-01-01T08:00:00Z", "2026-01-02T08:00:00Z", "2026-01-03T08:00:00Z"})
                    makeLog(reminder, at);
                context->insert(reminder);
            }
            for (const QString &name : {QStringLiteral("Keep"), QStringLiteral("Drop")}) {
                auto milestone = makeMilestone(name);
                for (int day = 1; day <= 3; ++day)
                    MilestoneLog::create(QUuid::createUuid(), milestone, QDateTime(QDate(2026, 1, day), QTime()), 0.9,
                                         true);
                context->insert(milestone);
            }
            QVERIFY(context->save());
        }
        {
            auto store = openStore();
            StoreContext *context = store->mainContext();
            QCOMPARE(context->fetchCount<ReminderLog>(), 6);
            QCOMPARE(context->fetchCount<MilestoneLog>(), 6);
            const auto keep = context->fetch<Reminder>([](const Reminder &r) { return r.title() == "Keep"; }).first();
            const auto drop = context->fetch<Reminder>([](const Reminder &r) { return r.title() == "Drop"; }).first();
            const auto keepM = context->fetch<Milestone>([](const Milestone &m) { return m.name() == "Keep"; }).first();
            const auto dropM = context->fetch<Milestone>([](const Milestone &m) { return m.name() == "Drop"; }).first();

            // Deleting a log only takes it out of its owner's list.
            const auto gone = keep->logs().first();
            keptLogId = keep->logs().last()->id();
            context->remove(gone);
            QCOMPARE(keep->logs().size(), 2);
            QVERIFY(!keep->isDeleted());
            context->remove(keepM->dailyLogs().first());
            QCOMPARE(keepM->dailyLogs().size(), 2);

            // Deleting an owner deletes its logs; whoever still holds them sees them flagged.
            const auto droppedLogs = drop->logs();
            context->remove(drop);
            context->remove(dropM);
            QVERIFY(drop->isDeleted());
            for (const auto &log : droppedLogs) {
                QVERIFY(log->isDeleted());
                QCOMPARE(log->statusRaw(), QStringLiteral("completed")); // still readable
            }
            QVERIFY(gone->isDeleted());
            QCOMPARE(context->fetchCount<Reminder>(), 1);
            QCOMPARE(context->fetchCount<ReminderLog>(), 2);
            QCOMPARE(context->fetchCount<Milestone>(), 1);
            QCOMPARE(context->fetchCount<MilestoneLog>(), 2);
            QVERIFY(context->save());
            QVERIFY(!drop->context());
        }
        auto store = openStore();
        StoreContext *context = store->mainContext();
        QCOMPARE(titles(context->fetch<Reminder>()), QStringList{"Keep"});
        QCOMPARE(context->fetchCount<ReminderLog>(), 2);
        QCOMPARE(context->fetch<Reminder>().first()->logs().size(), 2);
        QCOMPARE(context->fetch<Reminder>().first()->logs().last()->id(), keptLogId);
        QCOMPARE(context->fetchCount<Milestone>(), 1);
        QCOMPARE(context->fetch<Milestone>().first()->dailyLogs().size(), 2);
        QCOMPARE(context->fetchCount<MilestoneLog>(), 2);
    }

    // --- Older logs, kept in the file until asked for --------------------------------------------------

    void olderLogsLoadWhenAsked()
    {
        QList<QUuid> oldIds; // of "Old", in the order made
        {
            auto store = openStore();
            auto old = makeReminder(QStringLiteral("Old"));
            auto gone = makeReminder(QStringLiteral("Gone"));
            const char *times[] = {"2025-06-01T08:00:00Z", "2025-06-02T08:00:00Z", "2026-02-27T08:00:00Z",
                                   "2025-06-02T09:00:00Z"};
            const LogStatus statuses[] = {LogStatus::skipped, LogStatus::completed, LogStatus::snoozed,
                                          LogStatus::missed};
            for (int i = 0; i < 4; ++i) {
                auto log =
                    ReminderLog::create(QUuid::createUuid(), old, utc(times[i]),
                                        i == 1 ? OptDate(utc("2025-06-02T08:01:00Z")) : std::nullopt, statuses[i]);
                if (i == 3)
                    log->setStatusRaw(QStringLiteral("Done"));
                oldIds.append(log->id());
            }
            makeLog(gone, "2025-06-01T08:00:00Z");
            store->mainContext()->insert(old);
            store->mainContext()->insert(gone);
            QVERIFY(store->mainContext()->save());
        }
        {
            RawConnection raw(storePath());
            QVERIFY(raw.exec(QStringLiteral("DELETE FROM Reminder WHERE title = 'Gone'")));
        }
        Clock::setNow(utc("2026-03-01T12:00:00Z"));
        auto store = openStore();
        StoreContext *context = store->mainContext();
        // Only the recent log and the one without a reminder are objects.
        QCOMPARE(context->fetchCount<ReminderLog>(), 2);
        const auto old = context->fetch<Reminder>().first();
        QCOMPARE(old->archivedLogs().size(), std::size_t(3));
        QCOMPARE(old->loadedLogs().size(), 1);

        // One day's worth.
        QVERIFY(context->loadArchivedLogs(*old, utc("2025-06-02T00:00:00Z").toMSecsSinceEpoch(),
                                          utc("2025-06-03T00:00:00Z").toMSecsSinceEpoch()));
        QCOMPARE(old->archivedLogs().size(), std::size_t(1));
        QCOMPARE(old->loadedLogs().size(), 3);
        const auto loadedOne = old->loadedLogs().first();
        QCOMPARE(loadedOne->id(), oldIds.at(1));
        QCOMPARE(context->fetchCount<ReminderLog>(), 4);

        // All of them: in store order, every field as written, the loaded ones the same objects.
        const auto logs = old->logs();
        QVERIFY(old->archivedLogs().empty());
        QList<QUuid> ids;
        for (const auto &log : logs) {
            ids.append(log->id());
            QCOMPARE(log->reminder(), old);
            QCOMPARE(log->context(), context);
            QVERIFY(!log->hasChanges());
        }
        QCOMPARE(ids, oldIds);
        QCOMPARE(logs.at(1), loadedOne);
        QCOMPARE(logs.at(0)->scheduledAt(), utc("2025-06-01T08:00:00Z"));
        QCOMPARE(logs.at(0)->status(), LogStatus::skipped);
        QCOMPARE(logs.at(1)->completedAt(), OptDate(utc("2025-06-02T08:01:00Z")));
        QCOMPARE(logs.at(3)->statusRaw(), QStringLiteral("Done"));
        QCOMPARE(old->logs(), logs);
        QCOMPARE(context->fetchCount<ReminderLog>(), 5);
        QVERIFY(!context->hasChanges());

        // A loaded old log is an ordinary record: its change is saved.
        logs.at(0)->setStatusRaw(QStringLiteral("completed"));
        QVERIFY(context->save());
        store.reset();
        store = openStore();
        QCOMPARE(store->mainContext()->fetch<Reminder>().first()->logs().first()->status(), LogStatus::completed);
    }

    // The newest row may be an old log (one written late for an earlier day): new rows still get keys of their own.
    void newLogsAfterAnOlderOneWrittenLast()
    {
        {
            auto store = openStore();
            auto reminder = makeReminder(QStringLiteral("R"));
            makeLog(reminder, "2026-02-28T08:00:00Z");
            makeLog(reminder, "2025-06-01T08:00:00Z");
            store->mainContext()->insert(reminder);
            QVERIFY(store->mainContext()->save());
        }
        Clock::setNow(utc("2026-03-01T12:00:00Z"));
        {
            auto store = openStore();
            const auto reminder = store->mainContext()->fetch<Reminder>().first();
            QCOMPARE(reminder->archivedLogs().size(), std::size_t(1));
            makeLog(reminder, "2026-03-01T08:00:00Z");
            QVERIFY(store->mainContext()->save());
        }
        auto store = openStore();
        QCOMPARE(store->mainContext()->fetch<Reminder>().first()->logs().size(), 3);
    }

    void deletingAReminderDeletesItsLogsInTheFile()
    {
        {
            auto store = openStore();
            for (const QString &title : {QStringLiteral("Keep"), QStringLiteral("Drop")}) {
                auto reminder = makeReminder(title);
                for (const char *at : {"2025-05-01T08:00:00Z", "2025-05-02T08:00:00Z", "2025-05-03T08:00:00Z",
                                       "2026-02-27T08:00:00Z", "2026-02-28T08:00:00Z"})
                    makeLog(reminder, at);
                store->mainContext()->insert(reminder);
            }
            QVERIFY(store->mainContext()->save());
        }
        Clock::setNow(utc("2026-03-01T12:00:00Z"));
        QUuid movedOld;
        QUuid movedRecent;
        {
            auto store = openStore();
            StoreContext *context = store->mainContext();
            const auto keep = context->fetch<Reminder>([](const Reminder &r) { return r.title() == "Keep"; }).first();
            const auto drop = context->fetch<Reminder>([](const Reminder &r) { return r.title() == "Drop"; }).first();
            QCOMPARE(drop->archivedLogs().size(), std::size_t(3));
            // One old and one recent log change hands first; the rest go with their reminder.
            QVERIFY(context->loadArchivedLogs(*drop, utc("2025-05-02T00:00:00Z").toMSecsSinceEpoch(),
                                              utc("2025-05-03T00:00:00Z").toMSecsSinceEpoch()));
            const auto old = drop->loadedLogs().first();
            const auto recent = drop->loadedLogs().last();
            movedOld = old->id();
            movedRecent = recent->id();
            old->setReminder(keep);
            recent->setReminder(keep);
            context->remove(drop);
            QVERIFY(context->save());
        }
        RawConnection raw(storePath());
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM ReminderLog")).toLongLong(), 7);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM ReminderLog WHERE reminder IS NOT "
                                           "(SELECT pk FROM Reminder WHERE title = 'Keep')"))
                     .toLongLong(),
                 0);
        auto store = openStore();
        QStringList moved;
        for (const auto &log : store->mainContext()->fetch<Reminder>().first()->logs()) {
            if (log->id() == movedOld || log->id() == movedRecent)
                moved.append(log->id().toString());
        }
        QCOMPARE(moved.size(), 2);
    }

    void deletingLogsWhileWalkingThem()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        auto reminder = makeReminder(QStringLiteral("R"));
        for (const char *at : {"2026-01-01T08:00:00Z", "2026-01-02T08:00:00Z", "2026-01-03T08:00:00Z"})
            makeLog(reminder, at);
        context->insert(reminder);
        for (const auto &log : reminder->logs())
            context->remove(log);
        QVERIFY(reminder->logs().isEmpty());
        QCOMPARE(context->fetchCount<ReminderLog>(), 0);
        QVERIFY(context->save());
    }

    void relationshipsToDeletedRecordsAreRefused()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        auto reminder = makeReminder(QStringLiteral("R"));
        context->insert(reminder);
        QVERIFY(context->save());
        context->remove(reminder);
        auto log = makeLog(nullptr, "2026-01-01T08:00:00Z");
        QTest::ignoreMessage(QtWarningMsg, "Ignored a relationship change that involves a deleted record");
        log->setReminder(reminder);
        QVERIFY(!log->reminder());
        QVERIFY(!log->context());
        QVERIFY(reminder->logs().isEmpty());
    }

    // --- Context behaviour --------------------------------------------------------------------------

    void identityMap()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        const QUuid shared = QUuid::createUuid();
        auto first = makeReminder(QStringLiteral("First"));
        auto second = makeReminder(QStringLiteral("Second"));
        first->setId(shared);
        second->setId(shared);
        context->insert(first);
        context->insert(second);
        context->insert(first); // already there
        QCOMPARE(context->fetchCount<Reminder>(), 2);
        QVERIFY(first->persistentId() != second->persistentId());
        QVERIFY(context->save());

        store.reset();
        store = openStore();
        context = store->mainContext();
        const auto a = context->fetch<Reminder>();
        const auto b = context->fetch<Reminder>([](const Reminder &r) { return r.title() == "First"; });
        // Two records with the same id are still two records.
        QCOMPARE(a.size(), 2);
        QCOMPARE(a[0]->id(), a[1]->id());
        QVERIFY(a[0] != a[1]);
        // Every fetch hands out the same object per row.
        QCOMPARE(b.size(), 1);
        QVERIFY(b.first() == a.first());
        QCOMPARE(b.first().get(), a.first().get());
        // Records hash by identity.
        const QSet<std::shared_ptr<Reminder>> set{a[0], a[1], b.first()};
        QCOMPARE(set.size(), 2);
        // Relationship ends are those same objects too.
        makeLog(a.first(), "2026-01-01T08:00:00Z");
        QVERIFY(context->fetch<ReminderLog>().first()->reminder() == b.first());
    }

    void fetchSeesPendingChanges()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        auto saved = makeReminder(QStringLiteral("Saved"));
        auto doomed = makeReminder(QStringLiteral("Doomed"));
        context->insert(saved);
        context->insert(doomed);
        QVERIFY(context->save());
        QVERIFY(!context->hasChanges());

        auto fresh = makeReminder(QStringLiteral("Fresh"));
        context->insert(fresh);
        context->remove(doomed);
        QVERIFY(context->hasChanges());
        QVERIFY(doomed->isDeleted());
        QVERIFY(fresh->hasChanges());
        QCOMPARE(titles(context->fetch<Reminder>()), (QStringList{"Saved", "Fresh"}));
        // A pending insert deleted before any save never reaches the file.
        auto fleeting = makeReminder(QStringLiteral("Fleeting"));
        context->insert(fleeting);
        context->remove(fleeting);
        QVERIFY(fleeting->isDeleted());
        QCOMPARE(context->fetchCount<Reminder>(), 2);
        QVERIFY(context->save());
        QVERIFY(!context->hasChanges());

        RawConnection raw(storePath());
        QCOMPARE(raw.scalar(QStringLiteral("SELECT group_concat(title, ',') FROM Reminder ORDER BY pk")).toString(),
                 QStringLiteral("Saved,Fresh"));
    }

    void saveWritesOnlyChangedRows()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        auto a = makeReminder(QStringLiteral("A"));
        auto b = makeReminder(QStringLiteral("B"));
        context->insert(a);
        context->insert(b);
        QVERIFY(context->save());

        RawConnection raw(storePath());
        // Someone else changes B behind the store's back; a save of A alone must not overwrite it.
        QVERIFY(raw.exec(QStringLiteral("UPDATE Reminder SET title = 'B outside' WHERE title = 'B'")));
        a->setTitle(QStringLiteral("A2"));
        QVERIFY(context->save());
        QCOMPARE(raw.scalar(QStringLiteral("SELECT group_concat(title, ',') FROM Reminder ORDER BY pk")).toString(),
                 QStringLiteral("A2,B outside"));
    }

    void failedSaveKeepsChanges_data()
    {
        QTest::addColumn<QString>("blocker");
        QTest::newRow("statement fails inside the transaction") << "trigger";
        QTest::newRow("another connection holds the write lock") << "lock";
    }

    void failedSaveKeepsChanges()
    {
        QFETCH(QString, blocker);
        auto store = openStore(50);
        StoreContext *context = store->mainContext();
        auto reminder = makeReminder(QStringLiteral("Before"));
        context->insert(reminder);
        QVERIFY(context->save());

        RawConnection raw(storePath());
        const auto snapshot = [&raw] {
            return raw
                .scalar(QStringLiteral("SELECT (SELECT group_concat(title) FROM Reminder) || '|' || "
                                       "(SELECT count(*) FROM ReminderLog)"))
                .toString();
        };
        const QString before = snapshot();
        QCOMPARE(before, QStringLiteral("Before|0"));

        if (blocker == QLatin1String("trigger")) {
            QVERIFY(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON ReminderLog "
                                            "BEGIN SELECT RAISE(ABORT, 'disk says no'); END")));
        } else {
            QVERIFY(raw.exec(QStringLiteral("BEGIN IMMEDIATE")));
        }

        QSignalSpy saved(context, &StoreContext::didSave);
        QCoreApplication::processEvents(); // the first save's notification
        saved.clear();
        // Written in this order: the new reminder, the log (refused by the trigger), the title change.
        context->insert(makeReminder(QStringLiteral("Second")));
        auto log = makeLog(reminder, "2026-01-01T08:00:00Z");
        reminder->setTitle(QStringLiteral("After"));
        QString error;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context->save(&error));
        QVERIFY(!error.isEmpty());
        QVERIFY(context->hasChanges());
        QVERIFY(reminder->hasChanges());
        QVERIFY(log->hasChanges());
        QCOMPARE(reminder->title(), QStringLiteral("After"));

        if (blocker == QLatin1String("lock"))
            QVERIFY(raw.exec(QStringLiteral("ROLLBACK")));
        // Nothing of the failed save reached the file, not even the row written before the failure.
        QCOMPARE(snapshot(), before);
        QTest::qWait(1);
        QCOMPARE(saved.count(), 0);

        if (blocker == QLatin1String("trigger"))
            QVERIFY(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY(context->save(&error));
        QVERIFY(!context->hasChanges());
        QCOMPARE(snapshot(), QStringLiteral("After,Second|1"));
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 1000);
    }

    void notificationsAreQueuedAndCoalesced()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        QSignalSpy changed(context, &StoreContext::objectsChanged);
        QSignalSpy saved(context, &StoreContext::didSave);

        // One action: two saves touching different record types.
        auto reminder = makeReminder(QStringLiteral("R"));
        context->insert(reminder);
        QVERIFY(context->save());
        auto milestone = makeMilestone(QStringLiteral("M"));
        context->insert(milestone);
        reminder->setTitle(QStringLiteral("R2"));
        QVERIFY(context->save());
        QCOMPARE(changed.count(), 0);
        QCOMPARE(saved.count(), 0);

        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 1, 1000);
        QCOMPARE(changed.count(), 1);
        QCOMPARE(saved.first().first().value<RecordTypes>(), RecordTypes(RecordType::reminder | RecordType::milestone));
        QCOMPARE(changed.first().first().value<RecordTypes>(),
                 RecordTypes(RecordType::reminder | RecordType::milestone));
        QTest::qWait(20);
        QCOMPARE(saved.count(), 1);
        QCOMPARE(changed.count(), 1);

        // A new log changes the logs and, through the relationship, the reminder.
        makeLog(reminder, "2026-01-01T08:00:00Z");
        QTRY_COMPARE_WITH_TIMEOUT(changed.count(), 2, 1000);
        QCOMPARE(changed.last().first().value<RecordTypes>(),
                 RecordTypes(RecordType::reminder | RecordType::reminderLog));
        QCOMPARE(saved.count(), 1);

        // The save announces every type changed since the last one; a save with nothing to write announces
        // nothing.
        QVERIFY(context->save());
        QTRY_COMPARE_WITH_TIMEOUT(saved.count(), 2, 1000);
        QCOMPARE(saved.last().first().value<RecordTypes>(),
                 RecordTypes(RecordType::reminder | RecordType::reminderLog));
        QVERIFY(context->save());
        QTest::qWait(20);
        QCOMPARE(saved.count(), 2);
    }

    void recordsOutliveTheirStore()
    {
        std::shared_ptr<Reminder> kept;
        {
            auto store = openStore();
            kept = makeReminder(QStringLiteral("Kept"));
            makeLog(kept, "2026-01-01T08:00:00Z");
            store->mainContext()->insert(kept);
            QVERIFY(store->mainContext()->save());
        }
        QVERIFY(!kept->context());
        QCOMPARE(kept->title(), QStringLiteral("Kept"));
        kept->setTitle(QStringLiteral("Still usable"));
        QCOMPARE(kept->logs().size(), 1);
    }

    void recordsFromAnotherStoreAreRefused()
    {
        auto first = openStore();
        QString error;
        auto second = StoreContainer::openInMemory(&error);
        QVERIFY2(second, qPrintable(error));
        auto reminder = makeReminder(QStringLiteral("R"));
        first->mainContext()->insert(reminder);
        QTest::ignoreMessage(QtWarningMsg, "Refused to insert a record that belongs to another store");
        second->mainContext()->insert(reminder);
        QCOMPARE(second->mainContext()->fetchCount<Reminder>(), 0);

        auto foreignLog = makeLog(nullptr, "2026-01-01T08:00:00Z");
        second->mainContext()->insert(foreignLog);
        QTest::ignoreMessage(QtWarningMsg, "Ignored a relationship between records of two different stores");
        foreignLog->setReminder(reminder);
        QVERIFY(!foreignLog->reminder());
    }

    // --- Opening files ------------------------------------------------------------------------------

    void newStoreFile()
    {
        auto store = openStore();
        QVERIFY(store);
        QCOMPARE(fileMode(storePath()), 0600);
        RawConnection raw(storePath());
        QCOMPARE(raw.scalar(QStringLiteral("PRAGMA journal_mode")).toString(), QStringLiteral("wal"));
        QCOMPARE(fileMode(storePath() + QStringLiteral("-wal")), 0600);
        QCOMPARE(fileMode(storePath() + QStringLiteral("-shm")), 0600);
    }

    void unusableFilesAreLeftUntouched_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("garbage bytes") << "garbage";
        QTest::newRow("a newer store") << "newer";
        QTest::newRow("damaged table layout") << "columns";
    }

    void unusableFilesAreLeftUntouched()
    {
        QFETCH(QString, kind);
        const QString path = storePath();
        if (kind == QLatin1String("garbage")) {
            writeFile(path, garbageBytes());
        } else {
            RawConnection raw(path);
            if (kind == QLatin1String("newer")) {
                QVERIFY(raw.exec(QStringLiteral("CREATE TABLE Reminder (pk INTEGER PRIMARY KEY)")));
                QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 99")));
            } else {
                QVERIFY(raw.exec(QStringLiteral("CREATE TABLE Reminder (pk INTEGER PRIMARY KEY, id TEXT)")));
                QVERIFY(raw.exec(QStringLiteral("PRAGMA user_version = 1")));
            }
        }
        const QByteArray before = fileBytes(path);
        const QStringList siblingsBefore = QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);

        QString error;
        auto store = StoreContainer::open(path, &error);
        QVERIFY(!store);
        QVERIFY(!error.isEmpty());
        QCOMPARE(fileBytes(path), before);
        // No journal, WAL or shared-memory file was left beside it.
        QCOMPARE(QDir(m_dir->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), siblingsBefore);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
