#include "Model/Reminder.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Model/ReminderLog.h"
#include "Platform/OneToMany.h"

namespace ovlin {

using ReminderLogs = detail::OneToMany<Reminder, ReminderLog>;

std::shared_ptr<Reminder> Reminder::create(const QUuid &id, const QString &title, ReminderCategory category,
                                           const std::optional<QString> &detail, ScheduleType scheduleType,
                                           const std::optional<QDateTime> &fixedTime,
                                           const std::optional<qint64> &intervalMinutes,
                                           const std::optional<QDateTime> &intervalStart,
                                           const std::optional<QDateTime> &intervalEnd,
                                           const QList<Weekday> &activeDays, bool isActive, const QDateTime &createdAt)
{
    auto reminder = std::make_shared<Reminder>(Token{});
    reminder->m_id = id;
    reminder->m_title = title;
    reminder->m_category = rawValue(category);
    reminder->m_detail = detail;
    reminder->m_scheduleType = rawValue(scheduleType);
    reminder->m_fixedTime = fixedTime;
    reminder->m_intervalMinutes = intervalMinutes;
    reminder->m_intervalStart = intervalStart;
    reminder->m_intervalEnd = intervalEnd;
    reminder->m_activeDaysRaw.reserve(activeDays.size());
    for (const Weekday day : activeDays)
        reminder->m_activeDaysRaw.append(rawValue(day));
    reminder->m_isActive = isActive;
    reminder->m_createdAt = createdAt;
    return reminder;
}

Reminder::~Reminder() = default;

void Reminder::setLogs(const QList<std::shared_ptr<ReminderLog>> &logs)
{
    ReminderLogs::setMembers(*this, logs);
}

void Reminder::appendLog(const std::shared_ptr<ReminderLog> &log)
{
    ReminderLogs::append(*this, log);
}

void Reminder::removeLog(const std::shared_ptr<ReminderLog> &log)
{
    ReminderLogs::remove(*this, log);
}

ReminderCategory Reminder::categoryValue() const
{
    return reminderCategoryFromRaw(m_category).value_or(ReminderCategory::general);
}

void Reminder::setCategoryValue(ReminderCategory category)
{
    setCategory(rawValue(category));
}

ScheduleType Reminder::scheduleTypeValue() const
{
    return scheduleTypeFromRaw(m_scheduleType).value_or(ScheduleType::fixedTime);
}

QList<Weekday> Reminder::activeDays() const
{
    QList<Weekday> days;
    days.reserve(m_activeDaysRaw.size());
    for (const qint64 raw : m_activeDaysRaw) {
        if (const auto day = weekdayFromRaw(raw))
            days.append(*day);
    }
    return days;
}

void Reminder::setActiveDays(const QList<Weekday> &days)
{
    QList<qint64> raw;
    raw.reserve(days.size());
    for (const Weekday day : days)
        raw.append(rawValue(day));
    setActiveDaysRaw(raw);
}

bool Reminder::isScheduledToday() const
{
    if (!m_isActive)
        return false;
    const int today = Days::calendarWeekday(Clock::now());
    for (const Weekday day : activeDays()) {
        if (calendarWeekday(day) == today)
            return true;
    }
    return false;
}

RecordTypes Reminder::willBeDeleted(StoreContext &context)
{
    ReminderLogs::deleteMembers(*this, context);
    return {};
}

void Reminder::didInsert(StoreContext &context)
{
    for (const auto &log : std::as_const(m_members))
        context.insert(log);
}

} // namespace ovlin
