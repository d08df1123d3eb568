#include "Engine/ReminderBehaviorService.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Engine/DayTable.h"
#include "Engine/OccurrenceAnswer.h"
#include "Engine/ReminderLogIndex.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/StoreContext.h"

#include <QUuid>

#include <algorithm>
#include <vector>

namespace ovlin {

namespace {

using Resolution = ReminderBehaviorService::Resolution;

Resolution resolutionOf(LogWeight weight)
{
    switch (weight) {
    case LogWeight::completed: return Resolution::completed;
    case LogWeight::skipped: return Resolution::skipped;
    case LogWeight::missed: return Resolution::missed;
    case LogWeight::none: break;
    }
    return Resolution::pending;
}

// Bit n set when the reminder is active on calendar weekday n (1 Sunday ... 7 Saturday).
quint8 calendarWeekdayMask(const Reminder &reminder)
{
    quint8 mask = 0;
    for (const qint64 raw : reminder.activeDaysRaw()) {
        if (const auto day = weekdayFromRaw(raw))
            mask |= quint8(1u << calendarWeekday(*day));
    }
    return mask;
}

// The day window of a date: from its start to the start of the next day; empty when either is missing.
DayTable::Day dayWindow(const QDateTime &date)
{
    DayTable &days = DayTable::shared();
    const auto local = days.local(date);
    return local ? days.day(local->date) : DayTable::Day{};
}

void saveDroppingFailure(StoreContext &context)
{
    QString error;
    if (!context.save(&error))
        qCDebug(lcEngine) << "Saving the store failed; the changes stay pending:" << error;
}

// One reminder as the streak walk sees it: its index and a cursor that moves back day by day.
struct StreakWalker
{
    std::shared_ptr<const ReminderLogIndex::Table> table;
    bool active = false;
    quint8 weekdays = 0;
    QDate createdOn;
    std::size_t end = 0; // logs before this position lie before the window's end
    bool positioned = false;

    // Windows must come in order, latest first, none overlapping the previous one.
    LogWeight weightIn(const DayTable::Day &day)
    {
        const auto &instants = table->instants();
        const auto &weights = table->weights();
        if (!positioned) {
            end = std::size_t(std::lower_bound(instants.begin(), instants.end(), day.endMs) - instants.begin());
            positioned = true;
        }
        while (end > 0 && instants[end - 1] >= day.endMs)
            --end;
        LogWeight best = LogWeight::none;
        while (end > 0 && instants[end - 1] >= day.startMs) {
            --end;
            best = std::max(best, weights[end]);
        }
        return best;
    }
};

} // namespace

ReminderBehaviorService &ReminderBehaviorService::shared()
{
    static ReminderBehaviorService service;
    return service;
}

Resolution ReminderBehaviorService::resolution(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable::shared().revalidate();
    const DayTable::Day day = dayWindow(date);
    return resolutionOf(ReminderLogIndex::shared().table(reminder)->weightIn(day.startMs, day.endMs));
}

QList<std::shared_ptr<Reminder>>
ReminderBehaviorService::remindersScheduled(const QDateTime &date,
                                            const QList<std::shared_ptr<Reminder>> &reminders) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    QList<std::shared_ptr<Reminder>> scheduled;
    const auto local = days.local(date);
    if (!local)
        return scheduled;
    const quint8 todayBit = quint8(1u << Days::calendarWeekday(local->date));
    for (const auto &reminder : reminders) {
        if (reminder && reminder->isActive() && (calendarWeekdayMask(*reminder) & todayBit))
            scheduled.append(reminder);
    }
    return scheduled;
}

void ReminderBehaviorService::logResolution(LogStatus status, const std::shared_ptr<Reminder> &reminder,
                                            const QDateTime &scheduledAt, StoreContext &context) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    writeLog(status, reminder, scheduledAt, Clock::now(), context);
}

void ReminderBehaviorService::recordAnswer(const OccurrenceAnswer &answer, StoreContext &context) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    writeLog(answer.status, answer.reminder, answer.occurrence.scheduledAt, answer.answeredAt, context);
}

void ReminderBehaviorService::writeLog(LogStatus status, const std::shared_ptr<Reminder> &reminder,
                                       const QDateTime &scheduledAt, const QDateTime &answeredAt,
                                       StoreContext &context) const
{
    if (!reminder)
        return;
    const std::optional<QDateTime> completedAt =
        status == LogStatus::completed ? std::optional<QDateTime>(answeredAt) : std::nullopt;
    const auto log = ReminderLog::create(QUuid::createUuid(), reminder, scheduledAt, completedAt, status);
    context.insert(log);
    reminder->appendLog(log);
    saveDroppingFailure(context);
    if (status == LogStatus::skipped || status == LogStatus::missed)
        refreshGraceState(context, answeredAt);
}

void ReminderBehaviorService::clearResolution(const std::shared_ptr<Reminder> &reminder, const QDateTime &date,
                                              StoreContext &context) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder)
        return;
    DayTable &days = DayTable::shared();
    days.revalidate();
    const DayTable::Day day = dayWindow(date);

    // The day's logs are enough: an older day's come out of the archive, the rest stay there.
    if (StoreContext *own = reminder->context())
        own->loadArchivedLogs(*reminder, day.startMs, day.endMs);
    std::shared_ptr<ReminderLog> latest;
    qint64 latestMs = 0;
    for (const auto &log : reminder->loadedLogs()) {
        if (!log || log->status() != LogStatus::skipped)
            continue;
        const auto at = log->scheduledMSecs();
        if (at && day.contains(*at) && (!latest || *at > latestMs)) {
            latest = log;
            latestMs = *at;
        }
    }
    if (!latest)
        return;

    // Only this log goes: another log that happens to carry the same id stays with its reminder.
    if (latest->context() == &context) {
        context.remove(latest); // takes it out of the reminder's logs as well
    } else if (!latest->context()) {
        reminder->removeLog(latest);
    } else {
        qCWarning(lcEngine, "Ignored taking back a skip whose log belongs to another store");
        return;
    }
    saveDroppingFailure(context);
    refreshGraceState(context, Clock::now());
}

void ReminderBehaviorService::refreshGraceState(StoreContext &context, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    AppSettings &settings = AppSettings::shared();
    if (!settings.gracePeriodEnabled()) {
        settings.setGraceUsedThisWeek(std::nullopt);
        return;
    }
    DayTable &days = DayTable::shared();
    days.revalidate();
    const QDateTime today = Days::startOfDay(date);
    const QDateTime windowStart = today.isValid() ? Days::addDays(today, -7) : QDateTime();
    const auto windowStartMs = days.msecs(windowStart);
    if (!windowStartMs)
        return;

    // Every log of the store, of every reminder; no upper bound.
    std::optional<qint64> latest;
    const auto consider = [&](LogWeight weight, std::optional<qint64> at) {
        if ((weight == LogWeight::skipped || weight == LogWeight::missed) && at && *at >= *windowStartMs &&
            (!latest || *at > *latest))
            latest = at;
    };
    context.fetch<ReminderLog>([&](const ReminderLog &log) {
        consider(logWeight(log), log.scheduledMSecs());
        return false;
    });
    // Archived logs are old ones; only a clock set back can bring them into the week.
    context.fetch<Reminder>([&](const Reminder &reminder) {
        const ArchivedLogs &archived = reminder.archivedLogs();
        if (archived.empty() || archived.latest < *windowStartMs)
            return false;
        for (std::size_t i = 0; i < archived.size(); ++i)
            consider(logWeight(LogStatus(archived.statuses[i])), archived.instants[i]);
        return false;
    });

    const std::optional<QDateTime> used =
        latest ? std::optional<QDateTime>(Days::startOfDay(days.localOfMSecs(*latest).date)) : std::nullopt;
    settings.setGraceUsedThisWeek(used);
    settings.setGracePeriodStart(used ? *used : today);
}

bool ReminderBehaviorService::canUseGrace(const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const AppSettings &settings = AppSettings::shared();
    if (!settings.gracePeriodEnabled())
        return false;
    const std::optional<QDateTime> used = settings.graceUsedThisWeek();
    if (!used)
        return true;
    const QDateTime limit = Days::addDays(date, -7);
    if (!limit.isValid())
        return true;
    return *used < limit;
}

bool ReminderBehaviorService::useGraceIfAvailable(const QDateTime &date, bool commit) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    AppSettings &settings = AppSettings::shared();
    if (!settings.gracePeriodEnabled())
        return false;
    const QDateTime day = Days::startOfDay(date);
    const bool available = canUseGrace(day);
    if (available && commit) {
        settings.setGraceUsedThisWeek(day);
        settings.setGracePeriodStart(day);
    }
    return available;
}

qint64 ReminderBehaviorService::currentStreak(const QList<std::shared_ptr<Reminder>> &reminders,
                                              std::optional<ReminderCategory> category,
                                              const QDateTime &referenceDate) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    ReminderLogIndex &index = ReminderLogIndex::shared();

    // Paused reminders stay in: they drop out day by day as not due.
    std::vector<StreakWalker> walkers;
    std::optional<qint64> earliestCreation;
    for (const auto &reminder : reminders) {
        if (!reminder || (category && reminder->categoryValue() != *category))
            continue;
        StreakWalker walker;
        walker.table = index.table(*reminder);
        walker.active = reminder->isActive();
        walker.weekdays = calendarWeekdayMask(*reminder);
        const QDateTime createdAt = reminder->createdAt();
        // Without a creation time a reminder has no first day, so it is never due.
        if (const auto created = days.msecs(createdAt)) {
            walker.createdOn = days.localOfMSecs(*created).date;
            if (!earliestCreation || *created < *earliestCreation)
                earliestCreation = created;
        }
        walkers.push_back(std::move(walker));
    }
    if (walkers.empty() || !earliestCreation)
        return 0;
    const QDate earliestDay = days.localOfMSecs(*earliestCreation).date;
    const auto reference = days.local(referenceDate);
    if (!reference)
        return 0;

    const bool graceEnabled = AppSettings::shared().gracePeriodEnabled();
    QList<QDate> usedGraceDays;
    qint64 streak = 0;
    for (QDate day = reference->date; day.isValid() && day >= earliestDay; day = day.addDays(-1)) {
        const DayTable::Day window = days.day(day);
        const quint8 weekdayBit = quint8(1u << Days::calendarWeekday(day));
        bool anyDue = false;
        bool anyOpen = false;
        bool anySkippedOrMissed = false;
        for (StreakWalker &walker : walkers) {
            // A reminder is due only from the day it was created on: a new habit must not break the streak.
            if (!walker.active || !(walker.weekdays & weekdayBit) || !walker.createdOn.isValid() ||
                walker.createdOn > day)
                continue;
            anyDue = true;
            switch (walker.weightIn(window)) {
            case LogWeight::completed: break;
            case LogWeight::skipped:
            case LogWeight::missed: anySkippedOrMissed = true; break;
            case LogWeight::none: anyOpen = true; break;
            }
        }
        if (!anyDue)
            continue;
        if (anySkippedOrMissed) {
            if (!graceAvailableOn(graceEnabled, day, usedGraceDays))
                break;
            usedGraceDays.append(day);
            ++streak;
        } else if (anyOpen) {
            if (day != reference->date)
                break;
        } else {
            ++streak;
        }
    }
    return streak;
}

QList<Resolution> ReminderBehaviorService::dayResolutions(const QList<std::shared_ptr<Reminder>> &reminders,
                                                          const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    QList<Resolution> states;
    states.reserve(reminders.size());
    for (const auto &reminder : reminders)
        states.append(reminder ? resolution(*reminder, date) : Resolution::pending);
    return states;
}

bool ReminderBehaviorService::graceAvailable(const QDateTime &day, const QList<QDateTime> &usedGraceDays) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const bool enabled = AppSettings::shared().gracePeriodEnabled();
    const auto local = days.local(day);
    if (!local)
        return enabled && usedGraceDays.isEmpty();
    QList<QDate> used;
    used.reserve(usedGraceDays.size());
    for (const QDateTime &usedDay : usedGraceDays) {
        if (const auto usedLocal = days.local(usedDay))
            used.append(usedLocal->date);
    }
    return graceAvailableOn(enabled, local->date, used);
}

bool ReminderBehaviorService::graceAvailableOn(bool enabled, const QDate &day, const QList<QDate> &usedGraceDays)
{
    if (!enabled)
        return false;
    // The day and the six after it; a forgiven day in there uses up this one's allowance.
    const QDate windowEnd = day.addDays(6);
    if (!windowEnd.isValid())
        return usedGraceDays.isEmpty();
    return std::none_of(usedGraceDays.begin(), usedGraceDays.end(),
                        [&](const QDate &used) { return day <= used && used <= windowEnd; });
}

} // namespace ovlin
