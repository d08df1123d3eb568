#include "Model/Reminder.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "Model/ReminderLog.h"
#include "Platform/OneToMany.h"
#include "Platform/StoreContext.h"

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

QList<std::shared_ptr<ReminderLog>> Reminder::logs() const
{
    if (m_archived && !m_archived->empty() && context())
        context()->loadArchivedLogs(const_cast<Reminder &>(*this)); // loads objects, changes nothing stored
    return m_members;
}

const ArchivedLogs &Reminder::archivedLogs() const
{
    static const ArchivedLogs none;
    return m_archived ? *m_archived : none;
}

void Reminder::setLogs(const QList<std::shared_ptr<ReminderLog>> &logs)
{
    // The old list must be whole: the logs left out of the new one lose their reminder.
    static_cast<void>(this->logs());
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

std::optional<QDateTime> Reminder::firingFixedTime() const
{
    if (scheduleTypeValue() == ScheduleType::interval)
        return std::nullopt;
    return m_fixedTime;
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
    // The archived rows are deleted by the save that deletes this reminder's row.
    m_archived.reset();
    ReminderLogs::deleteMembers(*this, context);
    return {};
}

void Reminder::didInsert(StoreContext &context)
{
    for (const auto &log : std::as_const(m_members))
        context.insert(log);
}

} // namespace ovlin
