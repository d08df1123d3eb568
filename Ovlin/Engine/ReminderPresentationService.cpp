#include "Engine/ReminderPresentationService.h"

#include "Engine/DayTable.h"
#include "Engine/ReminderBehaviorService.h"
#include "Engine/ReminderLogIndex.h"
#include "Model/AppSettings.h"
#include "Model/Reminder.h"
#include "Platform/Clock.h"
#include "Platform/Days.h"
#include "Platform/Log.h"
#include "Platform/MainThread.h"
#include "Platform/StoreContext.h"
#include "Platform/Uuid.h"

#include <algorithm>

namespace ovlin {

namespace {

constexpr qint64 msPerMinute = 60000;
constexpr qint64 secondsPerAttempt = 900;
// A snooze longer than this is taken as this long: keeps `until` a valid date whatever a caller passes.
constexpr qint64 maxSnoozeMinutes = qint64(100) * 366 * 24 * 60;

// The quiet-hours test of the settings (start minute in, end minute out), on a minute of the day that is
// already known, so a step of an interval needs no conversion to local time.
class QuietWindow
{
public:
    explicit QuietWindow(const AppSettings &settings) : m_enabled(settings.quietHoursEnabled())
    {
        if (m_enabled) {
            m_start = Days::minuteOfDay(settings.quietStart());
            m_end = Days::minuteOfDay(settings.quietEnd());
        }
    }

    bool contains(int minuteOfDay) const
    {
        if (!m_enabled)
            return false;
        if (m_end >= m_start)
            return m_start <= minuteOfDay && minuteOfDay < m_end;
        return minuteOfDay >= m_start || minuteOfDay < m_end;
    }

private:
    bool m_enabled = false;
    int m_start = 0;
    int m_end = 0;
};

// Minutes from `from` to `to`, truncated toward zero; none when the difference is out of range.
std::optional<qint64> wholeMinutesBetween(qint64 fromMs, qint64 toMs)
{
    qint64 diff = 0;
    if (__builtin_sub_overflow(toMs, fromMs, &diff))
        return std::nullopt;
    return diff / msPerMinute;
}

template <class Hash> void removeKeysWithPrefix(Hash &hash, const QString &prefix)
{
    for (auto it = hash.begin(); it != hash.end();) {
        if (it.key().startsWith(prefix))
            it = hash.erase(it);
        else
            ++it;
    }
}

} // namespace

ReminderPresentationService &ReminderPresentationService::shared()
{
    static ReminderPresentationService service;
    return service;
}

ReminderPresentationService::ReminderPresentationService() = default;
ReminderPresentationService::~ReminderPresentationService() = default;

QList<QDateTime> ReminderPresentationService::occurrenceTimes(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    switch (reminder.scheduleTypeValue()) {
    case ScheduleType::fixedTime: return fixedTimeOccurrences(reminder, date);
    case ScheduleType::interval: return intervalOccurrences(reminder, date);
    case ScheduleType::combined: return fixedTimeOccurrences(reminder, date) + intervalOccurrences(reminder, date);
    }
    return {};
}

QList<QDateTime> ReminderPresentationService::fixedTimeOccurrences(const Reminder &reminder,
                                                                   const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<QDateTime> fixedTime = reminder.fixedTime();
    if (!fixedTime)
        return {};
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto timeOfDay = days.local(*fixedTime);
    const auto day = days.local(date);
    if (!timeOfDay || !day)
        return {};
    const int minute = timeOfDay->minuteOfDay();
    const QDateTime due = days.atTime(day->date, minute / 60, minute % 60);
    const auto dueLocal = days.local(due);
    if (!dueLocal || QuietWindow(AppSettings::shared()).contains(dueLocal->minuteOfDay()))
        return {};
    return {due};
}

QList<QDateTime> ReminderPresentationService::intervalOccurrences(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<qint64> minutes = reminder.intervalMinutes();
    if (!minutes || *minutes <= 0)
        return {};
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto day = days.local(date);
    if (!day)
        return {};

    // Only the hour and minute of each source count; without one the window runs from 08:00 to 20:00.
    const auto place = [&](const std::optional<QDateTime> &source, int hour, int minute) -> QDateTime {
        if (source) {
            const auto local = days.local(*source);
            if (!local)
                return {};
            hour = local->minuteOfDay() / 60;
            minute = local->minuteOfDay() % 60;
        }
        return days.atTime(day->date, hour, minute);
    };
    const auto startMs = days.msecs(place(reminder.intervalStart(), 8, 0));
    const auto endMs = days.msecs(place(reminder.intervalEnd(), 20, 0));
    if (!startMs || !endMs || *endMs < *startMs)
        return {}; // a window never runs past midnight

    const qint64 window = *endMs - *startMs;
    // A step longer than the window keeps the start alone (and keeps the arithmetic in range).
    const qint64 stepMs = *minutes > window / msPerMinute ? window + 1 : *minutes * msPerMinute;
    const DayTable::Day dayInfo = days.day(day->date);
    const QuietWindow quiet(AppSettings::shared());
    QList<QDateTime> times;
    for (qint64 t = *startMs; t <= *endMs; t += stepMs) {
        if (dayInfo.regular && dayInfo.contains(t)) {
            if (!quiet.contains(int((t - dayInfo.startMs) / msPerMinute)))
                times.append(QDateTime::fromMSecsSinceEpoch(t, Qt::OffsetFromUTC, dayInfo.offsetSeconds));
        } else if (!quiet.contains(days.localOfMSecs(t).minuteOfDay())) {
            times.append(days.dateTime(t));
        }
    }
    return times;
}

QString ReminderPresentationService::occurrenceKey(const Reminder &reminder, const QDateTime &scheduledAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    // Truncated toward zero, so a minus sign for times before 1970.
    const qint64 minutes = days.msecs(scheduledAt).value_or(0) / msPerMinute;
    return uuidText(reminder.id()) + QLatin1Char('-') + QString::number(minutes);
}

QString ReminderPresentationService::attemptKey(const QString &occurrenceKey, qint64 attempt)
{
    return occurrenceKey + QLatin1Char('-') + QString::number(attempt);
}

bool ReminderPresentationService::isResolved(const Reminder &reminder, const QDateTime &scheduledAt) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto local = days.local(scheduledAt);
    if (!local)
        return false;
    return ReminderLogIndex::shared().table(reminder)->weightAtMinute(local->minuteKey()) != LogWeight::none;
}

QDateTime ReminderPresentationService::attemptBaseDate(const QString &occurrenceKey, const QDateTime &scheduledAt) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_attemptBaseDates.value(occurrenceKey, scheduledAt);
}

std::optional<qint64> ReminderPresentationService::attemptNumber(const Reminder &reminder, const QDateTime &scheduledAt,
                                                                 const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto nowMs = days.msecs(now);
    const auto dueMs = days.msecs(scheduledAt);
    if (!nowMs || !dueMs || *nowMs < *dueMs)
        return std::nullopt;
    if (isResolved(reminder, scheduledAt))
        return std::nullopt;

    std::optional<qint64> baseMs = dueMs;
    // The key is only needed when some occurrence has a snooze or a base time of its own.
    if (!m_snoozedOccurrences.isEmpty() || !m_attemptBaseDates.isEmpty()) {
        const QString key = occurrenceKey(reminder, scheduledAt);
        const auto snooze = m_snoozedOccurrences.constFind(key);
        if (snooze != m_snoozedOccurrences.cend()) {
            const auto untilMs = days.msecs(snooze->until);
            if (untilMs && *nowMs < *untilMs)
                return std::nullopt;
            return snooze->nextAttempt; // however long ago the snooze ran out
        }
        const auto base = m_attemptBaseDates.constFind(key);
        if (base != m_attemptBaseDates.cend())
            baseMs = days.msecs(*base);
    }
    if (!baseMs)
        return std::nullopt;
    const auto minutes = wholeMinutesBetween(*baseMs, *nowMs);
    if (!minutes || *minutes < 0 || *minutes >= 35)
        return std::nullopt;
    if (*minutes < 15)
        return 1;
    if (*minutes < 30)
        return 2;
    return 3;
}

std::optional<ReminderPresentationService::Occurrence>
ReminderPresentationService::makeOccurrence(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                            const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!reminder)
        return std::nullopt;
    const std::optional<qint64> attempt = attemptNumber(*reminder, scheduledAt, now);
    if (!attempt)
        return std::nullopt;
    QString key = occurrenceKey(*reminder, scheduledAt);
    const auto snooze = m_snoozedOccurrences.constFind(key);
    if (snooze != m_snoozedOccurrences.cend()) {
        DayTable &days = DayTable::shared();
        const auto nowMs = days.msecs(now);
        const auto untilMs = days.msecs(snooze->until);
        if (nowMs && untilMs && *nowMs < *untilMs)
            return std::nullopt;
    }
    return Occurrence{reminder, scheduledAt, *attempt, std::move(key)};
}

std::optional<QDateTime> ReminderPresentationService::dueOccurrenceTime(const Reminder &reminder,
                                                                        const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto dateMs = days.msecs(date);
    if (!dateMs)
        return std::nullopt;
    std::optional<QDateTime> earliest;
    qint64 earliestMs = 0;
    for (const QDateTime &due : occurrenceTimes(reminder, date)) {
        const auto dueMs = days.msecs(due);
        if (!dueMs || *dueMs > *dateMs || (earliest && *dueMs >= earliestMs))
            continue;
        if (isResolved(reminder, due))
            continue;
        earliest = due;
        earliestMs = *dueMs;
    }
    return earliest;
}

bool ReminderPresentationService::isOverdue(const Reminder &reminder, const QDateTime &date) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<QDateTime> due = dueOccurrenceTime(reminder, date);
    if (!due)
        return false;
    DayTable &days = DayTable::shared();
    const auto dueMs = days.msecs(*due);
    const auto dateMs = days.msecs(date);
    return dueMs && dateMs && *dueMs < *dateMs;
}

bool ReminderPresentationService::isDueOnWeekday(const Reminder &reminder, const QDateTime &date)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QList<Weekday> activeDays = reminder.activeDays();
    if (activeDays.isEmpty())
        return true;
    DayTable &days = DayTable::shared();
    days.revalidate();
    const auto local = days.local(date);
    if (!local)
        return false;
    const int today = Days::calendarWeekday(local->date);
    return std::any_of(activeDays.begin(), activeDays.end(),
                       [today](Weekday day) { return calendarWeekday(day) == today; });
}

QList<ReminderPresentationService::Occurrence>
ReminderPresentationService::dueOccurrences(const QList<std::shared_ptr<Reminder>> &reminders,
                                            const QDateTime &now) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    QList<Occurrence> occurrences;
    for (const auto &reminder : reminders) {
        if (!reminder || !reminder->isActive() || !isDueOnWeekday(*reminder, now))
            continue;
        for (const QDateTime &due : occurrenceTimes(*reminder, now)) {
            if (auto occurrence = makeOccurrence(reminder, due, now))
                occurrences.append(std::move(*occurrence));
        }
    }
    return occurrences;
}

std::optional<QDateTime> ReminderPresentationService::answerableDueTime(const std::shared_ptr<Reminder> &reminder,
                                                                        const std::optional<QDateTime> &given,
                                                                        const QDateTime &now) const
{
    // A reminder deleted since a banner or a list captured it gets no log: it would point at nothing.
    if (!reminder || reminder->isDeleted())
        return std::nullopt;
    if (given)
        return given;
    return dueOccurrenceTime(*reminder, now).value_or(now);
}

void ReminderPresentationService::resolveOccurrence(const std::shared_ptr<Reminder> &reminder, LogStatus status,
                                                    StoreContext *context, std::optional<QDateTime> scheduledAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::optional<QDateTime> due = answerableDueTime(reminder, scheduledAt, Clock::now());
    if (!due) {
        qCDebug(lcEngine) << "Not resolving an occurrence of a reminder that no longer exists";
        return;
    }
    if (context)
        ReminderBehaviorService::shared().logResolution(status, reminder, *due, *context);
    // Forgotten even when the save failed: the log is in the context and decides the occurrence.
    clearOccurrenceBookkeeping(occurrenceKey(*reminder, *due));
}

void ReminderPresentationService::snooze(const std::shared_ptr<Reminder> &reminder, qint64 minutes,
                                         std::optional<QDateTime> dueTime, StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QDateTime now = Clock::now();
    const std::optional<QDateTime> due = answerableDueTime(reminder, dueTime, now);
    if (!due) {
        qCDebug(lcEngine) << "Not snoozing an occurrence of a reminder that no longer exists";
        return;
    }
    const QString key = occurrenceKey(*reminder, *due);
    const qint64 attempt = attemptNumber(*reminder, *due, now).value_or(1);
    const qint64 nextAttempt = std::min<qint64>(attempt + 1, 3);
    const qint64 boundedMinutes = std::clamp(minutes, -maxSnoozeMinutes, maxSnoozeMinutes);
    const QDateTime until = now.addSecs(boundedMinutes * 60);
    // At `until` the occurrence stands 15 or 30 minutes past its base, so its attempt count carries on.
    const QDateTime base = until.addSecs(-(nextAttempt - 1) * secondsPerAttempt);
    setSnooze(key, SnoozeEntry{until, nextAttempt}, base);
    if (context)
        ReminderBehaviorService::shared().logResolution(LogStatus::snoozed, reminder, *due, *context);
}

void ReminderPresentationService::clearOccurrenceBookkeeping(const QString &occurrenceKey)
{
    OVLIN_ASSERT_MAIN_THREAD();
    // Its attempt keys only: the bare key is also the start of longer keys of other minutes.
    const QString attemptPrefix = occurrenceKey + QLatin1Char('-');
    removeKeysWithPrefix(m_presentedAttemptKeys, attemptPrefix);
    m_snoozedOccurrences.remove(occurrenceKey);
    m_attemptBaseDates.remove(occurrenceKey);
}

void ReminderPresentationService::clearBookkeeping(const Reminder &reminder)
{
    OVLIN_ASSERT_MAIN_THREAD();
    const QString prefix = uuidText(reminder.id());
    removeKeysWithPrefix(m_presentedAttemptKeys, prefix);
    removeKeysWithPrefix(m_snoozedOccurrences, prefix);
    removeKeysWithPrefix(m_attemptBaseDates, prefix);
}

void ReminderPresentationService::markAttemptPresented(const QString &attemptKey, const QDateTime &presentedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_presentedAttemptKeys.insert(attemptKey, presentedAt);
}

void ReminderPresentationService::setSnooze(const QString &occurrenceKey, const SnoozeEntry &entry,
                                            const QDateTime &attemptBase)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_snoozedOccurrences.insert(occurrenceKey, entry);
    m_attemptBaseDates.insert(occurrenceKey, attemptBase);
}

void ReminderPresentationService::markEveningWarningPosted(const QString &dayKey, const QDateTime &postedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_eveningWarningKeys.insert(dayKey, postedAt);
}

void ReminderPresentationService::markDailySummaryPosted(const QString &dayKey, const QDateTime &postedAt)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_dailySummaryKeys.insert(dayKey, postedAt);
}

} // namespace ovlin
