#include "Model/Enums.h"

namespace ovlin {

namespace {

template <typename E, std::size_t N> std::optional<E> fromName(const QString &raw, const std::array<E, N> &all)
{
    for (const E value : all) {
        if (rawValue(value) == raw)
            return value;
    }
    return std::nullopt;
}

} // namespace

QString rawValue(ReminderCategory value)
{
    switch (value) {
    case ReminderCategory::meal: return QStringLiteral("meal");
    case ReminderCategory::snack: return QStringLiteral("snack");
    case ReminderCategory::water: return QStringLiteral("water");
    case ReminderCategory::movement: return QStringLiteral("movement");
    case ReminderCategory::meditation: return QStringLiteral("meditation");
    case ReminderCategory::general: return QStringLiteral("general");
    }
    return QStringLiteral("general");
}

QString rawValue(ScheduleType value)
{
    switch (value) {
    case ScheduleType::fixedTime: return QStringLiteral("fixedTime");
    case ScheduleType::interval: return QStringLiteral("interval");
    case ScheduleType::combined: return QStringLiteral("combined");
    }
    return QStringLiteral("fixedTime");
}

int rawValue(Weekday value)
{
    return static_cast<int>(value);
}

QString rawValue(LogStatus value)
{
    switch (value) {
    case LogStatus::completed: return QStringLiteral("completed");
    case LogStatus::skipped: return QStringLiteral("skipped");
    case LogStatus::missed: return QStringLiteral("missed");
    case LogStatus::snoozed: return QStringLiteral("snoozed");
    }
    return QStringLiteral("missed");
}

QString rawValue(MilestoneStatus value)
{
    switch (value) {
    case MilestoneStatus::active: return QStringLiteral("active");
    case MilestoneStatus::achieved: return QStringLiteral("achieved");
    case MilestoneStatus::failed: return QStringLiteral("failed");
    }
    return QStringLiteral("active");
}

QString rawValue(AppTheme value)
{
    switch (value) {
    case AppTheme::system: return QStringLiteral("system");
    case AppTheme::light: return QStringLiteral("light");
    case AppTheme::dark: return QStringLiteral("dark");
    }
    return QStringLiteral("system");
}

std::optional<ReminderCategory> reminderCategoryFromRaw(const QString &raw)
{
    return fromName(raw, allReminderCategories);
}

std::optional<ScheduleType> scheduleTypeFromRaw(const QString &raw)
{
    return fromName(raw, allScheduleTypes);
}

std::optional<Weekday> weekdayFromRaw(qint64 raw)
{
    if (raw < 1 || raw > 7)
        return std::nullopt;
    return static_cast<Weekday>(raw);
}

std::optional<LogStatus> logStatusFromRaw(const QString &raw)
{
    static constexpr std::array<LogStatus, 4> all{LogStatus::completed, LogStatus::skipped, LogStatus::missed,
                                                  LogStatus::snoozed};
    return fromName(raw, all);
}

std::optional<MilestoneStatus> milestoneStatusFromRaw(const QString &raw)
{
    return fromName(raw, allMilestoneStatuses);
}

std::optional<AppTheme> appThemeFromRaw(const QString &raw)
{
    return fromName(raw, allAppThemes);
}

int calendarWeekday(Weekday day)
{
    // monday 2 ... saturday 7, sunday 1
    return static_cast<int>(day) % 7 + 1;
}

Weekday weekdayFromCalendar(int calendarWeekday)
{
    const int normalized = ((calendarWeekday - 1) % 7 + 7) % 7 + 1; // 1..7, Sunday first
    return normalized == 1 ? Weekday::sunday : static_cast<Weekday>(normalized - 1);
}

} // namespace ovlin
