// The indexed answers (day resolutions, streaks, completion rates, reward rates) against plain walks over
// every log, on generated multi-year histories that cross clock changes (TZ=Europe/Berlin), with the
// grace period on and off, paused, deleted and newly created habits and mixed statuses; compared again
// after each kind of change, so a cache kept across a change would show. The histories live in a store
// file reopened the way the app opens it, so the older years are not loaded as log objects: the plain
// walks read every log through a second connection to the same file.
#include "Support/EngineTestSupport.h"

#include "Base/Clock.h"
#include "Engine/MilestoneProgressService.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderLogIndex.h"
#include "Model/Milestone.h"
#include "Platform/NotificationCenter.h"
#include "ScreenParts/ReminderListViewModel.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <functional>
#include <random>

using namespace ovlin;
using namespace enginetest;

namespace {

const QDate referenceDay(2026, 10, 27); // two days after the clocks went back
const QDate firstDay(2024, 3, 1);

// ---- Plain walks, straight from the rules, over every log.

int plainWeight(const ReminderLog &log)
{
    const QString raw = log.statusRaw();
    if (raw == QLatin1String("completed"))
        return 3;
    if (raw == QLatin1String("skipped"))
        return 2;
    if (raw == QLatin1String("snoozed"))
        return 0;
    return 1; // missed, or a text that names no status
}

QDate localDay(const QDateTime &moment)
{
    return moment.isValid() ? moment.toLocalTime().date() : QDate();
}

// The strongest status of each reminder's logs per day.
QHash<const Reminder *, QHash<QDate, int>> plainDayWeights(const QList<std::shared_ptr<Reminder>> &reminders)
{
    QHash<const Reminder *, QHash<QDate, int>> result;
    for (const auto &reminder : reminders) {
        auto &days = result[reminder.get()];
        for (const auto &log : reminder->logs()) {
            const QDate day = localDay(log->scheduledAt());
            if (day.isValid())
                days[day] = std::max(days.value(day, 0), plainWeight(*log));
        }
    }
    return result;
}

bool activeOn(const Reminder &reminder, const QDate &day)
{
    const int weekday = Days::calendarWeekday(day);
    const auto days = reminder.activeDays();
    return std::any_of(days.begin(), days.end(), [&](Weekday d) { return calendarWeekday(d) == weekday; });
}

qint64 plainStreak(const QList<std::shared_ptr<Reminder>> &all, std::optional<ReminderCategory> category,
                   const QDate &reference, bool grace)
{
    QList<std::shared_ptr<Reminder>> reminders;
    std::optional<QDate> earliest;
    for (const auto &reminder : all) {
        if (category && reminder->categoryValue() != *category)
            continue;
        reminders << reminder;
        const QDate created = localDay(reminder->createdAt());
        if (created.isValid() && (!earliest || created < *earliest))
            earliest = created;
    }
    if (reminders.isEmpty() || !earliest)
        return 0;
    const auto weights = plainDayWeights(reminders);
    QList<QDate> forgiven;
    qint64 streak = 0;
    for (QDate day = reference; day >= *earliest; day = day.addDays(-1)) {
        bool due = false, open = false, lapsed = false;
        for (const auto &reminder : reminders) {
            const QDate created = localDay(reminder->createdAt());
            if (!reminder->isActive() || !activeOn(*reminder, day) || !created.isValid() || created > day)
                continue;
            due = true;
            const int weight = weights.value(reminder.get()).value(day, 0);
            lapsed = lapsed || weight == 1 || weight == 2;
            open = open || weight == 0;
        }
        if (!due)
            continue;
        if (lapsed) {
            const bool used = std::any_of(forgiven.begin(), forgiven.end(),
                                          [&](const QDate &d) { return day <= d && d <= day.addDays(6); });
            if (!grace || used)
                break;
            forgiven << day;
            ++streak;
        } else if (open) {
            if (day != reference)
                break;
        } else {
            ++streak;
        }
    }
    return streak;
}

// The today screen's rate: owners matched by identifier, completed logs in [day, day + 1).
double plainCompletionRate(const QList<std::shared_ptr<Reminder>> &reminders,
                           const QList<std::shared_ptr<ReminderLog>> &logs, const QDate &today, int days)
{
    QHash<QUuid, QList<qint64>> completed;
    for (const auto &log : logs) {
        if (const auto owner = log->reminder(); owner && log->status() == LogStatus::completed)
            completed[owner->id()] << log->scheduledAt().toMSecsSinceEpoch();
    }
    double sum = 0;
    int counted = 0;
    for (int k = 0; k < days; ++k) {
        const QDate day = today.addDays(-k);
        const qint64 from = Days::startOfDay(day).toMSecsSinceEpoch();
        const qint64 to = Days::startOfDay(day.addDays(1)).toMSecsSinceEpoch();
        int scheduled = 0, done = 0;
        for (const auto &reminder : reminders) {
            if (reminder->isDeleted() || !reminder->isActive() || !activeOn(*reminder, day))
                continue;
            ++scheduled;
            const auto times = completed.value(reminder->id());
            done += std::any_of(times.begin(), times.end(), [&](qint64 t) { return from <= t && t < to; });
        }
        if (scheduled > 0) {
            sum += double(done) / scheduled;
            ++counted;
        }
    }
    return counted ? sum / counted : 0;
}

// A reward's rate: every log of the counted reminders on the day, completed ones over all of them.
double plainRewardRate(const Milestone &milestone, const QDate &day, const QList<std::shared_ptr<Reminder>> &reminders,
                       const QList<std::shared_ptr<ReminderLog>> &logs)
{
    const auto linked = milestone.linkedCategory();
    QSet<QUuid> counted;
    for (const auto &reminder : reminders) {
        if (reminder->isActive() && (!linked || reminder->categoryValue() == *linked))
            counted << reminder->id();
    }
    int total = 0, completed = 0;
    for (const auto &log : logs) {
        const auto owner = log->reminder();
        if (!owner || !counted.contains(owner->id()) || localDay(log->scheduledAt()) != day)
            continue;
        ++total;
        completed += plainWeight(*log) == 3;
    }
    return total ? double(completed) / total : 0;
}

// ---- Generated histories

std::unique_ptr<StoreContainer> openFile(const QString &path)
{
    QString error;
    auto store = StoreContainer::open(path, &error);
    if (!store)
        qFatal("Cannot open %s: %s", qPrintable(path), qPrintable(error));
    return store;
}

struct History
{
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    QString path = dir->filePath(QStringLiteral("History.store"));
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
    StoreContext *context() const { return store->mainContext(); }
};

// Every reminder and every log of the file, all loaded, through a connection of its own.
struct PlainView
{
    explicit PlainView(const QString &path) : store(openFile(path))
    {
        reminders = store->mainContext()->fetch<Reminder>();
        for (const auto &reminder : std::as_const(reminders))
            logs << reminder->logs();
    }
    std::shared_ptr<Reminder> counterpart(const Reminder &reminder) const
    {
        for (const auto &candidate : reminders) {
            if (candidate->id() == reminder.id())
                return candidate;
        }
        return nullptr;
    }
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
    QList<std::shared_ptr<ReminderLog>> logs;
};

// Eight habits over about two and a half years. `lapseEvery` > 0: every habit-day completed except one
// skipped or missed day every so many days; 0: statuses drawn at random.
History makeHistory(quint32 seed, int lapseEvery)
{
    QRandomGenerator random(seed);
    History h;
    h.store = openFile(h.path);
    const auto created = [](const QDate &day) { return at(day, 7, 30); };
    QList<ReminderSpec> specs;
    ReminderSpec spec;
    spec.createdAt = created(firstDay);
    specs << spec; // every day at 09:00
    spec.title = QStringLiteral("Stretch");
    spec.category = ReminderCategory::movement;
    spec.scheduleType = ScheduleType::interval;
    spec.fixedTime = std::nullopt;
    spec.intervalMinutes = 120;
    spec.intervalStart = QTime(8, 0);
    spec.intervalEnd = QTime(20, 0);
    spec.activeDaysRaw = {1, 2, 3, 4, 5};
    specs << spec; // weekdays, every two hours
    spec = {};
    spec.title = QStringLiteral("Paused");
    spec.isActive = false;
    spec.createdAt = created(firstDay.addDays(30));
    specs << spec;
    spec = {};
    spec.title = QStringLiteral("New");
    spec.category = ReminderCategory::meal;
    spec.createdAt = created(referenceDay.addDays(-12));
    specs << spec;
    spec = {};
    spec.title = QStringLiteral("Weekend");
    spec.category = ReminderCategory::meal;
    spec.activeDaysRaw = {6, 7, 9};
    spec.fixedTime = QTime(0, 0);
    spec.createdAt = created(firstDay.addDays(3));
    specs << spec;
    spec = {};
    spec.title = QStringLiteral("Night");
    spec.category = ReminderCategory::meditation;
    spec.fixedTime = QTime(2, 30); // in the gap on the spring day
    spec.createdAt = created(firstDay.addDays(100));
    specs << spec;
    for (const ReminderSpec &s : specs)
        h.reminders << makeReminder(h.context(), s);

    const QDateTime now = Clock::now();
    for (int r = 0; r < h.reminders.size(); ++r) {
        const auto &reminder = h.reminders.at(r);
        QList<std::pair<QDateTime, QString>> logs;
        int index = 0;
        for (QDate day = localDay(reminder->createdAt()); day <= referenceDay; day = day.addDays(1), ++index) {
            const QTime base = specs.at(r).fixedTime.value_or(QTime(8, 0));
            const QDateTime due = at(day, base.hour(), base.minute());
            if (due > now)
                break;
            QString status = QStringLiteral("completed");
            if (lapseEvery > 0) {
                if ((index + r) % lapseEvery == 0 && random.bounded(3) > 0)
                    status = random.bounded(2) ? QStringLiteral("skipped") : QStringLiteral("missed");
            } else {
                static const QStringList mix{QStringLiteral("completed"), QStringLiteral("completed"),
                                             QStringLiteral("completed"), QStringLiteral("completed"),
                                             QStringLiteral("skipped"),   QStringLiteral("missed"),
                                             QStringLiteral("snoozed"),   QStringLiteral("Completed")};
                status = mix.at(random.bounded(int(mix.size())));
            }
            if (random.bounded(40) == 0 && day != referenceDay)
                continue; // a day left open
            logs.append({due, status});
            // Now and then a snooze before it, a second log, or one right at midnight.
            if (random.bounded(4) == 0)
                logs.append({due.addSecs(-600), QStringLiteral("snoozed")});
            if (random.bounded(10) == 0)
                logs.append({at(day.addDays(1), 0, 0), QStringLiteral("skipped")});
            if (random.bounded(10) == 0)
                logs.append({at(day, 23, 59, 59), QStringLiteral("completed")});
        }
        // One habit's logs join out of order.
        if (r == 1)
            std::shuffle(logs.begin(), logs.end(), std::mt19937(seed));
        for (const auto &[moment, status] : logs) {
            if (moment <= now)
                addLog(reminder, moment, status);
        }
    }
    h.context()->save();
    // Opened again as the app opens it: only the recent days' logs become objects.
    h.reminders.clear();
    h.store.reset();
    h.store = openFile(h.path);
    h.reminders = h.context()->fetch<Reminder>();
    return h;
}

} // namespace

class TestHistoryWalks : public QObject
{
    Q_OBJECT

private:
    // The fast paths of `context` against plain walks over the store file (saved before).
    void compareAll(StoreContext *context, const QString &path, bool grace)
    {
        auto &behavior = ReminderBehaviorService::shared();
        auto &rewards = MilestoneProgressService::shared();
        const QDateTime now = Clock::now();
        const auto reminders = context->fetch<Reminder>();
        const auto logs = context->fetch<ReminderLog>();
        const PlainView plain(path);
        QCOMPARE(reminders.size(), plain.reminders.size());

        // Day resolutions on every day of the last 60 and every 11th day before, clock-change days included.
        const auto weights = plainDayWeights(plain.reminders);
        QList<QDate> days{QDate(2024, 3, 31),  QDate(2024, 10, 27), QDate(2025, 3, 30),
                          QDate(2025, 10, 26), QDate(2026, 3, 29),  QDate(2026, 10, 25)};
        for (QDate day = firstDay; day <= referenceDay; day = day.addDays(day > referenceDay.addDays(-60) ? 1 : 11))
            days << day;
        for (const auto &reminder : reminders) {
            const auto counterpart = plain.counterpart(*reminder);
            QVERIFY(counterpart);
            for (const QDate &day : days) {
                const int expected = weights.value(counterpart.get()).value(day, 0);
                const auto actual = behavior.resolution(*reminder, at(day, 12, 0));
                const int got = actual == ReminderBehaviorService::Resolution::completed ? 3
                                : actual == ReminderBehaviorService::Resolution::skipped ? 2
                                : actual == ReminderBehaviorService::Resolution::missed  ? 1
                                                                                         : 0;
                QVERIFY2(got == expected, qPrintable(reminder->title() + QLatin1Char(' ') + day.toString()));
            }
        }

        // Streaks for every category and for all.
        QList<std::optional<ReminderCategory>> categories{std::nullopt};
        for (const ReminderCategory c : allReminderCategories)
            categories << c;
        for (const auto &category : categories)
            QCOMPARE(behavior.currentStreak(reminders, category, now),
                     plainStreak(plain.reminders, category, referenceDay, grace));

        // The today screen's rates.
        ReminderListViewModel model(context);
        model.setReminders(reminders);
        model.setAllLogs(logs);
        for (const int n : {1, 7, 30, 400}) {
            QVERIFY2(qFuzzyCompare(1 + model.completionRate(n),
                                   1 + plainCompletionRate(plain.reminders, plain.logs, referenceDay, n)),
                     qPrintable(QString::number(n)));
        }

        // Reward rates, of all habits and of one category.
        for (const auto &linked : {std::optional<ReminderCategory>(), std::optional(ReminderCategory::meal)}) {
            const auto milestone = Milestone::create(QUuid::createUuid(), QStringLiteral("R"), QStringLiteral("Cake"),
                                                     30, 0.5, linked, at(referenceDay, 0, 0), MilestoneStatus::active);
            for (const QDate &day : days) {
                const double expected = plainRewardRate(*milestone, day, plain.reminders, plain.logs);
                QCOMPARE(rewards.completionRate(*milestone, Days::startOfDay(day), reminders), expected);
            }
            const QDateTime today = Days::startOfDay(referenceDay);
            QCOMPARE(rewards.completionRate(*milestone, today, reminders, logs),
                     rewards.completionRate(*milestone, today, reminders));
        }

        // None of that loaded older logs.
        QCOMPARE(context->fetchCount<ReminderLog>(), logs.size());
    }

private Q_SLOTS:
    void initTestCase()
    {
        ReminderListViewModel::setSchedulerHooks({[](const auto &) {}, [](const auto &) {}});
    }
    void init() { Clock::setNow(at(referenceDay, 12, 0)); }
    void cleanup() { Clock::useSystemTime(); }

    void fastPathsMatchPlainWalks_data()
    {
        QTest::addColumn<quint32>("seed");
        QTest::addColumn<int>("lapseEvery");
        QTest::addColumn<bool>("grace");
        QTest::newRow("years of streak, a lapse every 9 days, grace on") << 7u << 9 << true;
        QTest::newRow("a lapse every 9 days, grace off") << 7u << 9 << false;
        QTest::newRow("a lapse every 6 days, grace on") << 11u << 6 << true;
        QTest::newRow("random statuses, grace on") << 3u << 0 << true;
        QTest::newRow("random statuses, grace off") << 5u << 0 << false;
    }

    void fastPathsMatchPlainWalks()
    {
        QFETCH(quint32, seed);
        QFETCH(int, lapseEvery);
        QFETCH(bool, grace);
        resetSettings({{QStringLiteral("gracePeriodEnabled"), grace}});
        History h = makeHistory(seed, lapseEvery);
        StoreContext *context = h.context();
        // Most of the history stays in the file.
        QVERIFY(context->fetchCount<ReminderLog>() * 10 < PlainView(h.path).logs.size());
        ReminderListViewModel model(context);
        const auto refresh = [&] {
            model.setReminders(context->fetch<Reminder>());
            model.setAllLogs(context->fetch<ReminderLog>());
        };
        refresh();
        compareAll(context, h.path, grace);

        const auto water = h.reminders.at(0);
        const auto stretch = h.reminders.at(1);
        const auto night = h.reminders.at(5);
        // An older day of the night habit with a skip on it, found without loading anything here.
        QDate skippedDay;
        for (const auto &log : PlainView(h.path).counterpart(*night)->logs()) {
            const QDate day = localDay(log->scheduledAt());
            if (log->status() == LogStatus::skipped && day < referenceDay.addDays(-100) &&
                (!skippedDay.isValid() || day < skippedDay))
                skippedDay = day;
        }
        QVERIFY(skippedDay.isValid());
        const QList<std::pair<const char *, std::function<void()>>> changes{
            {"check-off", [&] { model.complete(water, false); }},
            {"skip", [&] { model.skip(stretch); }},
            {"undo the skip", [&] { model.undoSkip(stretch); }},
            {"an old skip is taken back",
             [&] { ReminderBehaviorService::shared().clearResolution(night, at(skippedDay, 12, 0), *context); }},
            {"an old log moves into the recent days",
             [&] {
                 const QDateTime from = Days::startOfDay(referenceDay.addDays(-200));
                 QVERIFY(
                     context->loadArchivedLogs(*night, from.toMSecsSinceEpoch(), from.addDays(1).toMSecsSinceEpoch()));
                 std::shared_ptr<ReminderLog> log;
                 for (const auto &loaded : night->loadedLogs()) {
                     if (!log && localDay(loaded->scheduledAt()) == referenceDay.addDays(-200))
                         log = loaded;
                 }
                 QVERIFY(log);
                 log->setScheduledAt(at(referenceDay.addDays(-2), 2, 30));
             }},
            {"a recent log moves back a year",
             [&] {
                 const auto log = night->loadedLogs().last();
                 log->setScheduledAt(log->scheduledAt().addDays(-365));
             }},
            {"an old log turns missed",
             [&] {
                 const auto logs = water->logs();
                 logs.at(logs.size() / 3)->setStatusRaw(QStringLiteral("missed"));
             }},
            {"a log moves to another day",
             [&] {
                 const auto log = water->logs().at(5);
                 log->setScheduledAt(log->scheduledAt().addDays(-3));
             }},
            {"a log changes hands", [&] { stretch->logs().at(7)->setReminder(water); }},
            {"a log is deleted", [&] { context->remove(water->logs().last()); }},
            {"a habit is paused", [&] { model.setActive(false, h.reminders.at(3)); }},
            {"a habit with years of logs in the file is deleted", [&] { model.delete_(h.reminders.at(4)); }},
            {"a habit is created", [&] {
                 ReminderSpec spec;
                 spec.title = QStringLiteral("Fresh");
                 spec.createdAt = at(referenceDay, 10, 0);
                 makeReminder(context, spec);
             }}};
        for (const auto &[name, change] : changes) {
            change();
            QVERIFY2(context->save(), name);
            QCoreApplication::processEvents();
            refresh();
            compareAll(context, h.path, grace);
            // And from the file alone, as the next start sees it.
            const auto reopened = openFile(h.path);
            compareAll(reopened->mainContext(), h.path, grace);
            if (QTest::currentTestFailed())
                QFAIL(name);
        }
        // The deleted habit took its logs out of the file, the ones never loaded included.
        qsizetype stored = context->fetchCount<ReminderLog>();
        for (const auto &reminder : context->fetch<Reminder>())
            stored += qsizetype(reminder->archivedLogs().size());
        // (Rows whose reminder is gone load as logs of no reminder: they would be counted here.)
        QCOMPARE(PlainView(h.path).store->mainContext()->fetchCount<ReminderLog>(), stored);
    }

    // The grace bookkeeping looks at every log of the week, also those still in the file (a clock set back).
    void graceStateReadsUnloadedLogs()
    {
        resetSettings({{QStringLiteral("gracePeriodEnabled"), true}});
        const QDate skipped = referenceDay.addDays(-100);
        History h;
        {
            auto store = openFile(h.path);
            const auto reminder = makeReminder(store->mainContext());
            addLog(reminder, at(skipped, 9, 0), LogStatus::skipped);
            addLog(reminder, at(skipped.addDays(1), 9, 0), LogStatus::completed);
            addLog(reminder, at(referenceDay, 9, 0), LogStatus::completed);
            QVERIFY(store->mainContext()->save());
        }
        h.store = openFile(h.path);
        QCOMPARE(h.context()->fetchCount<ReminderLog>(), 1);
        const QDateTime back = at(skipped.addDays(2), 12, 0);
        Clock::setNow(back);
        ReminderBehaviorService::shared().refreshGraceState(*h.context(), back);
        QCOMPARE(AppSettings::shared().graceUsedThisWeek(), std::optional(Days::startOfDay(skipped)));
    }

    // One habit's change rebuilds that habit's index only; the others keep theirs.
    void indexFollowsEachHabitAlone()
    {
        resetSettings();
        auto store = openStore();
        const auto a = makeReminder(store->mainContext());
        const auto b = makeReminder(store->mainContext());
        addLog(a, at(referenceDay, 9, 0), LogStatus::completed);
        addLog(b, at(referenceDay, 9, 0), LogStatus::skipped);
        store->mainContext()->save();
        auto &index = ReminderLogIndex::shared();
        const auto tableA = index.table(*a);
        const auto tableB = index.table(*b);

        const auto log = addLog(b, at(referenceDay, 10, 0), LogStatus::completed);
        store->mainContext()->save();
        QCOMPARE(index.table(*a), tableA);
        QVERIFY(index.table(*b) != tableB);

        const auto tableB2 = index.table(*b);
        log->setStatusRaw(QStringLiteral("missed"));
        QCOMPARE(index.table(*a), tableA);
        QVERIFY(index.table(*b) != tableB2);
        QCOMPARE(index.table(*b)->weightIn(at(referenceDay, 0, 0).toMSecsSinceEpoch(),
                                           at(referenceDay.addDays(1), 0, 0).toMSecsSinceEpoch()),
                 LogWeight::skipped);
    }
};

QTEST_MAIN(TestHistoryWalks)
#include "tst_historywalks.moc"
