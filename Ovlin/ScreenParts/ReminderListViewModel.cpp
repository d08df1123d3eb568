#include "ScreenParts/ReminderListViewModel.h"

#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationTimerSource.h"
#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Copy/CopyContext.h"
#include "Copy/CopyEngine.h"
#include "Engine/DayTable.h"
#include "Engine/MilestoneProgressService.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderLogIndex.h"
#include "Engine/ReminderPresentationService.h"
#include "Engine/SchedulerService.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/NotificationCenter.h"
#include "Platform/StoreContext.h"

#include <QCollator>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <algorithm>
#include <limits>
#include <vector>

namespace ovlin {

namespace {

using Resolution = ReminderBehaviorService::Resolution;

ReminderListViewModel::SchedulerHooks &installedHooks()
{
    static ReminderListViewModel::SchedulerHooks hooks = ReminderListViewModel::defaultSchedulerHooks();
    return hooks;
}

// The reminders that share each identifier: a completed log counts for every reminder carrying its
// owner's identifier. Each one's logs are read through its log index (a binary search per day).
using Owners = QHash<QUuid, QList<const Reminder *>>;

Owners ownersById(const QList<std::shared_ptr<Reminder>> &reminders)
{
    Owners owners;
    for (const auto &reminder : reminders) {
        auto &list = owners[reminder->id()];
        if (!list.contains(reminder.get()))
            list.append(reminder.get());
    }
    return owners;
}

bool hasCompletedIn(const Owners &owners, const Reminder &reminder, qint64 fromMs, qint64 toMs)
{
    ReminderLogIndex &index = ReminderLogIndex::shared();
    const auto completedBy = [&](const Reminder &owner) {
        return index.table(owner)->weightIn(fromMs, toMs) == LogWeight::completed;
    };
    const auto it = owners.constFind(reminder.id());
    if (it == owners.cend() || !it->contains(&reminder)) {
        if (completedBy(reminder))
            return true;
    }
    if (it == owners.cend())
        return false;
    return std::any_of(it->cbegin(), it->cend(), [&](const Reminder *owner) { return completedBy(*owner); });
}

// The day's window [start, same time a calendar day later); empty when the calendar cannot give the end.
std::pair<qint64, qint64> dayWindow(const QDateTime &dayStart)
{
    DayTable &days = DayTable::shared();
    const qint64 start = days.msecs(dayStart).value_or(0);
    const QDateTime end = Days::addDays(dayStart, 1);
    const auto endMs = days.msecs(end);
    return {start, endMs ? std::max(start, *endMs) : start};
}

// What the daily rates read of each reminder, looked up once for a run of days instead of once per day.
struct RateInput
{
    bool active = false;
    quint8 weekdays = 0; // bit n: Weekday n
    // The log tables whose completed logs count for the reminder (its own, and those of every reminder
    // carrying its identifier).
    std::vector<std::shared_ptr<const ReminderLogIndex::Table>> tables;
};

std::vector<RateInput> rateInputs(const QList<std::shared_ptr<Reminder>> &reminders, const Owners &owners)
{
    ReminderLogIndex &index = ReminderLogIndex::shared();
    std::vector<RateInput> inputs;
    inputs.reserve(std::size_t(reminders.size()));
    for (const auto &reminder : reminders) {
        RateInput input;
        input.active = reminder->isActive();
        for (const Weekday day : reminder->activeDays())
            input.weekdays |= quint8(1u << int(day));
        const auto it = owners.constFind(reminder->id());
        if (it == owners.cend() || !it->contains(reminder.get()))
            input.tables.push_back(index.table(*reminder));
        if (it != owners.cend()) {
            for (const Reminder *owner : *it)
                input.tables.push_back(index.table(*owner));
        }
        inputs.push_back(std::move(input));
    }
    return inputs;
}

// rateOfDay over prepared inputs; the same answer.
double rateOfDay(const std::vector<RateInput> &inputs, const QDateTime &dayStart)
{
    if (!dayStart.isValid())
        return -1;
    const quint8 weekday = quint8(1u << int(weekdayFromCalendar(Days::calendarWeekday(dayStart))));
    qsizetype scheduled = 0;
    qsizetype done = 0;
    std::optional<std::pair<qint64, qint64>> window;
    for (const RateInput &input : inputs) {
        if (!input.active || !(input.weekdays & weekday))
            continue;
        ++scheduled;
        if (!window)
            window = dayWindow(dayStart);
        const auto [from, to] = *window;
        if (std::any_of(input.tables.cbegin(), input.tables.cend(),
                        [&](const auto &table) { return table->weightIn(from, to) == LogWeight::completed; }))
            ++done;
    }
    return scheduled == 0 ? -1 : double(done) / double(scheduled);
}

double rateOfDay(const QList<std::shared_ptr<Reminder>> &reminders, const QDateTime &dayStart, const Owners &owners)
{
    if (!dayStart.isValid())
        return -1;
    const Weekday weekday = weekdayFromCalendar(Days::calendarWeekday(dayStart));
    QList<std::shared_ptr<Reminder>> scheduled;
    for (const auto &reminder : reminders) {
        if (reminder->isActive() && reminder->activeDays().contains(weekday))
            scheduled.append(reminder);
    }
    if (scheduled.isEmpty())
        return -1;
    const auto [from, to] = dayWindow(dayStart);
    const auto done = std::count_if(scheduled.cbegin(), scheduled.cend(),
                                    [&](const auto &reminder) { return hasCompletedIn(owners, *reminder, from, to); });
    return double(done) / double(scheduled.size());
}

// The time of day that places a reminder in today's order.
std::optional<QDateTime> dueTimeSource(const Reminder &reminder)
{
    std::optional<QDateTime> source = reminder.firingFixedTime();
    if (!source)
        source = reminder.intervalStart();
    return source;
}

} // namespace

void ReminderListViewModel::setSchedulerHooks(SchedulerHooks hooks)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const SchedulerHooks fallback = defaultSchedulerHooks();
    if (!hooks.schedule)
        hooks.schedule = fallback.schedule;
    if (!hooks.cancel)
        hooks.cancel = fallback.cancel;
    installedHooks() = std::move(hooks);
}

ReminderListViewModel::SchedulerHooks ReminderListViewModel::defaultSchedulerHooks()
{
    // The scheduler's cancel also drops the reminder's presentation bookkeeping.
    return {[](const ReminderPtr &reminder) {
                if (reminder)
                    SchedulerService::shared().schedule(*reminder);
            },
            [](const ReminderPtr &reminder) {
                if (reminder)
                    SchedulerService::shared().cancel(*reminder);
            }};
}

ReminderListViewModel::ReminderListViewModel(StoreContext *modelContext, QObject *parent)
    : QObject(parent), m_modelContext(modelContext), m_currentDate(Clock::now())
{
    OVLIN_ASSERT_MAIN_THREAD();
}

ReminderListViewModel::~ReminderListViewModel() = default;

void ReminderListViewModel::setModelContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_modelContext = context;
}

void ReminderListViewModel::setCelebrationManager(CelebrationManager *manager)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_celebrationManager = manager;
}

void ReminderListViewModel::setTimerSource(std::shared_ptr<CelebrationTimerSource> timers)
{
    m_timers = std::move(timers);
}

void ReminderListViewModel::setCopyEngine(CopyEngine *engine)
{
    m_copyEngine = engine;
}

CopyEngine &ReminderListViewModel::copyEngine() const
{
    return m_copyEngine ? *m_copyEngine : CopyEngine::shared();
}

CelebrationTimerSource &ReminderListViewModel::timers() const
{
    return m_timers ? *m_timers : *ClockTimerSource::shared();
}

void ReminderListViewModel::refreshDate()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_currentDate = Clock::now();
    Q_EMIT currentDateChanged();
    Q_EMIT changed();
}

void ReminderListViewModel::setReminders(const ReminderList &reminders)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_reminders = reminders;
    Q_EMIT remindersChanged();
    Q_EMIT changed();
}

void ReminderListViewModel::setAllLogs(const QList<std::shared_ptr<ReminderLog>> &logs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_allLogs = logs;
    Q_EMIT allLogsChanged();
    Q_EMIT changed();
}

void ReminderListViewModel::setMilestones(const QList<std::shared_ptr<Milestone>> &milestones)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_milestones = milestones;
    Q_EMIT milestonesChanged();
    Q_EMIT changed();
}

// ---- Today's lists

ReminderListViewModel::ReminderList ReminderListViewModel::liveReminders() const
{
    // A reminder deleted since the last push is gone already, whatever the list still holds.
    ReminderList live;
    live.reserve(m_reminders.size());
    for (const auto &reminder : m_reminders) {
        if (reminder && !reminder->isDeleted())
            live.append(reminder);
    }
    return live;
}

ReminderListViewModel::ReminderList ReminderListViewModel::activeReminders() const
{
    ReminderList active;
    for (const auto &reminder : liveReminders()) {
        if (reminder->isActive())
            active.append(reminder);
    }
    return active;
}

std::optional<Weekday> ReminderListViewModel::todayWeekday() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_currentDate.isValid())
        return std::nullopt;
    const int calendarDay = Days::calendarWeekday(m_currentDate);
    for (const Weekday day : allWeekdays) {
        if (calendarWeekday(day) == calendarDay)
            return day;
    }
    return std::nullopt;
}

std::optional<QDateTime> ReminderListViewModel::nextDueTime(const Reminder &reminder) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<QDateTime> source = dueTimeSource(reminder);
    if (!source || !source->isValid() || !m_currentDate.isValid())
        return std::nullopt;
    const QTime time = source->toLocalTime().time();
    const QDateTime due = Days::atTime(m_currentDate, time.hour(), time.minute(), 0);
    if (!due.isValid())
        return std::nullopt;
    return due;
}

ReminderListViewModel::ReminderList ReminderListViewModel::todaysReminders() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!todayWeekday())
        return {};
    const ReminderList scheduled = ReminderBehaviorService::shared().remindersScheduled(Clock::now(), liveReminders());

    using Entry = SortedToday::Entry;
    QList<Entry> keyed;
    keyed.reserve(scheduled.size());
    // nextDueTime's instants, through the day table: one time-zone lookup per day instead of per reminder.
    DayTable &days = DayTable::shared();
    days.revalidate();
    const QDate today = m_currentDate.isValid() ? m_currentDate.toLocalTime().date() : QDate();
    for (const auto &reminder : scheduled) {
        const std::optional<QDateTime> source = dueTimeSource(*reminder);
        std::optional<qint64> key;
        if (source && source->isValid() && today.isValid()) {
            const QTime time = source->toLocalTime().time();
            const QDateTime due = days.atTime(today, time.hour(), time.minute());
            if (due.isValid())
                key = due.toMSecsSinceEpoch();
        }
        keyed.append({reminder, key, reminder->title()});
    }
    // The same reminders, times and titles in the same order sort the same way.
    const QLocale locale;
    if (m_sortedToday && m_sortedToday->input == keyed && m_sortedToday->locale == locale)
        return m_sortedToday->result;

    SortedToday sorted{keyed, locale, {}};
    QCollator collator{locale};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(keyed.begin(), keyed.end(), [&collator](const Entry &a, const Entry &b) {
        if (a.key == b.key)
            return collator.compare(a.title, b.title) < 0;
        if (!a.key)
            return false;
        if (!b.key)
            return true;
        return *a.key < *b.key;
    });

    ReminderList result;
    result.reserve(keyed.size());
    for (const auto &entry : keyed)
        result.append(entry.reminder);
    sorted.result = result;
    m_sortedToday = std::move(sorted);
    return result;
}

ReminderListViewModel::ReminderList ReminderListViewModel::withResolution(int resolution) const
{
    ReminderList result;
    const auto &behavior = ReminderBehaviorService::shared();
    for (const auto &reminder : todaysReminders()) {
        if (int(behavior.resolution(*reminder, Clock::now())) == resolution)
            result.append(reminder);
    }
    return result;
}

ReminderListViewModel::ReminderList ReminderListViewModel::completedToday() const
{
    return withResolution(int(Resolution::completed));
}

ReminderListViewModel::ReminderList ReminderListViewModel::skippedToday() const
{
    return withResolution(int(Resolution::skipped));
}

ReminderListViewModel::ReminderList ReminderListViewModel::pendingToday() const
{
    return withResolution(int(Resolution::pending));
}

ReminderListViewModel::ReminderList ReminderListViewModel::overdue() const
{
    ReminderList result;
    auto &presentation = ReminderPresentationService::shared();
    for (const auto &reminder : pendingToday()) {
        if (presentation.isOverdue(*reminder, Clock::now()))
            result.append(reminder);
    }
    return result;
}

ReminderListViewModel::ReminderList ReminderListViewModel::upcomingToday() const
{
    // By identifier, as containsReminder does, without a walk of the overdue list per reminder.
    QSet<QUuid> late;
    for (const auto &reminder : overdue())
        late.insert(reminder->id());
    ReminderList result;
    for (const auto &reminder : pendingToday()) {
        if (!late.contains(reminder->id()))
            result.append(reminder);
    }
    return result;
}

double ReminderListViewModel::todayProgress() const
{
    const ReminderList today = todaysReminders();
    if (today.isEmpty())
        return 0;
    const auto &behavior = ReminderBehaviorService::shared();
    const auto done = std::count_if(today.cbegin(), today.cend(), [&](const auto &reminder) {
        return behavior.resolution(*reminder, Clock::now()) == Resolution::completed;
    });
    return double(done) / double(today.size());
}

bool ReminderListViewModel::isCompleted(const Reminder &reminder) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return ReminderBehaviorService::shared().resolution(reminder, Clock::now()) == Resolution::completed;
}

bool ReminderListViewModel::containsReminder(const ReminderList &list, const Reminder &reminder)
{
    const QUuid id = reminder.id();
    return std::any_of(list.cbegin(), list.cend(), [&id](const auto &other) { return other && other->id() == id; });
}

// ---- Actions

StoreContext *ReminderListViewModel::contextFor(const Reminder &reminder) const
{
    if (StoreContext *own = reminder.context()) {
        if (own != m_modelContext)
            qCWarning(lcUi) << "A reminder of another store was answered; recording it in its own store";
        return own;
    }
    return m_modelContext;
}

StoreContext *ReminderListViewModel::answer(const ReminderPtr &reminder, LogStatus status)
{
    // The reminder's earliest open occurrence up to now (else now), on the same road as a banner's buttons.
    StoreContext *context = contextFor(*reminder);
    ReminderPresentationService::shared().answer(
        {.source = OccurrenceAnswer::Source::list, .status = status, .reminder = reminder, .answeredAt = Clock::now()},
        context);
    return context;
}

void ReminderListViewModel::complete(const ReminderPtr &reminder, bool showCopy)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder || reminder->isDeleted())
        return;
    StoreContext *context = answer(reminder, LogStatus::completed);

    if (showCopy)
        setRecentCompletion(reminder);
    Q_EMIT changed();

    QPointer<CelebrationManager> celebrations = m_celebrationManager;
    if (celebrations)
        celebrations->recordPendingMilestones(m_milestones);

    QList<std::shared_ptr<Milestone>> activeRewards;
    for (const auto &milestone : m_milestones) {
        if (milestone && !milestone->isDeleted() && milestone->status() == MilestoneStatus::active)
            activeRewards.append(milestone);
    }
    if (!activeRewards.isEmpty() && context)
        MilestoneProgressService::shared().evaluate(activeRewards, activeReminders(), *context, false);

    if (celebrations) {
        const qint64 days = streak(std::nullopt);
        const int streakDays = int(std::clamp<qint64>(days, 0, std::numeric_limits<int>::max()));
        celebrations->checkForCelebrations(activeReminders(), completedToday(), m_milestones, streakDays);
    }
}

void ReminderListViewModel::skip(const ReminderPtr &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder || reminder->isDeleted())
        return;
    answer(reminder, LogStatus::skipped);
    Q_EMIT changed();
}

void ReminderListViewModel::undoSkip(const ReminderPtr &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (reminder && !reminder->isDeleted()) {
        if (StoreContext *context = contextFor(*reminder))
            ReminderBehaviorService::shared().clearResolution(reminder, Clock::now(), *context);
    }
    Q_EMIT changed();
}

void ReminderListViewModel::setActive(bool active, const ReminderPtr &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder || reminder->isDeleted())
        return;
    reminder->setIsActive(active);
    const SchedulerHooks hooks = installedHooks();
    if (active)
        hooks.schedule(reminder);
    else
        hooks.cancel(reminder);
    if (StoreContext *context = contextFor(*reminder)) {
        QString error;
        if (!context->save(&error))
            qCWarning(lcUi) << "Could not save a paused or resumed habit:" << error;
    }
    Q_EMIT changed();
}

void ReminderListViewModel::delete_(const ReminderPtr &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder || reminder->isDeleted())
        return;
    const SchedulerHooks hooks = installedHooks();
    hooks.cancel(reminder);
    StoreContext *context = contextFor(*reminder);
    if (!context)
        return;
    context->remove(reminder); // its logs go with it
    QString error;
    if (!context->save(&error))
        qCWarning(lcUi) << "Could not save the deletion of a habit:" << error;
}

void ReminderListViewModel::save()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_modelContext)
        return;
    QString error;
    if (!m_modelContext->save(&error))
        qCWarning(lcUi) << "Could not save:" << error;
}

// ---- Completion phrase

void ReminderListViewModel::setRecentCompletion(const ReminderPtr &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder)
        return;
    const CopyTrigger trigger = ovlin::completionTrigger(reminder->categoryValue());
    const QUuid id = reminder->id();
    CopyContext context;
    context.habitName = reminder->title();
    const QString phrase = copyEngine().text(trigger, context);

    m_recentCompletionReminderID = id;
    m_recentCompletionCopy = phrase;
    Q_EMIT recentCompletionChanged();
    Q_EMIT changed();

    // Not cancelled by later check-offs: it clears only while its own reminder is still the one showing.
    timers().start(completionCopyMs, this, [this, id] {
        if (m_recentCompletionReminderID != id)
            return;
        m_recentCompletionReminderID.reset();
        m_recentCompletionCopy.reset();
        Q_EMIT recentCompletionChanged();
        Q_EMIT changed();
    });
}

std::optional<QString> ReminderListViewModel::completionCopy(const Reminder &reminder) const
{
    if (m_recentCompletionReminderID && *m_recentCompletionReminderID == reminder.id())
        return m_recentCompletionCopy;
    return std::nullopt;
}

// ---- Streak and rates

qint64 ReminderListViewModel::streak(std::optional<ReminderCategory> category) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return ReminderBehaviorService::shared().currentStreak(liveReminders(), category, Clock::now());
}

double ReminderListViewModel::completionRate(int days) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (days <= 0 || !m_currentDate.isValid())
        return 0;
    const QDate today = m_currentDate.toLocalTime().date();
    const QDateTime oldest = Days::startOfDay(today.addDays(-(days - 1)));
    const QDateTime afterToday = Days::addDays(Days::startOfDay(today), 1);
    if (!oldest.isValid() || !afterToday.isValid())
        return 0;
    DayTable::shared().revalidate();
    const ReminderList reminders = liveReminders();
    const std::vector<RateInput> inputs = rateInputs(reminders, ownersById(reminders));

    double sum = 0;
    int counted = 0;
    for (int k = 0; k < days; ++k) {
        const QDateTime dayStart = Days::startOfDay(today.addDays(-k));
        if (!dayStart.isValid())
            continue;
        const double rate = rateOfDay(inputs, dayStart);
        if (rate >= 0) {
            sum += rate;
            ++counted;
        }
    }
    return counted > 0 ? sum / counted : 0;
}

double ReminderListViewModel::dayRate(const QDateTime &dayStart) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!dayStart.isValid())
        return -1;
    DayTable::shared().revalidate();
    const ReminderList reminders = liveReminders();
    return rateOfDay(reminders, dayStart, ownersById(reminders));
}

bool ReminderListViewModel::hasCompletedLog(const Reminder &reminder, const QDateTime &start,
                                            const QDateTime &end) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!start.isValid() || !end.isValid())
        return false;
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto from = days.msecs(start);
    const auto to = days.msecs(end);
    return from && to && hasCompletedIn(ownersById(liveReminders()), reminder, *from, *to);
}

} // namespace ovlin
