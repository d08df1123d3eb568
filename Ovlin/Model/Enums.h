#pragma once

#include <QList>
#include <QString>

#include <array>
#include <optional>

namespace ovlin {

// Stored enumerations. Each is stored by its raw value (the case name, or the integer for
// Weekday); building one from a raw value that names no case yields nothing.

enum class ReminderCategory { meal, snack, water, movement, meditation, general };
enum class ScheduleType { fixedTime, interval, combined };
enum class Weekday { monday = 1, tuesday = 2, wednesday = 3, thursday = 4, friday = 5, saturday = 6, sunday = 7 };
enum class LogStatus { completed, skipped, missed, snoozed };
enum class MilestoneStatus { active, achieved, failed };
enum class AppTheme { system, light, dark };

inline constexpr std::array<ReminderCategory, 6> allReminderCategories{
    ReminderCategory::meal,     ReminderCategory::snack,      ReminderCategory::water,
    ReminderCategory::movement, ReminderCategory::meditation, ReminderCategory::general};
inline constexpr std::array<ScheduleType, 3> allScheduleTypes{ScheduleType::fixedTime, ScheduleType::interval,
                                                              ScheduleType::combined};
inline constexpr std::array<Weekday, 7> allWeekdays{Weekday::monday,   Weekday::tuesday, Weekday::wednesday,
                                                    Weekday::thursday, Weekday::friday,  Weekday::saturday,
                                                    Weekday::sunday};
inline constexpr std::array<MilestoneStatus, 3> allMilestoneStatuses{MilestoneStatus::active, MilestoneStatus::achieved,
                                                                     MilestoneStatus::failed};
inline constexpr std::array<AppTheme, 3> allAppThemes{AppTheme::system, AppTheme::light, AppTheme::dark};

QString rawValue(ReminderCategory value);
QString rawValue(ScheduleType value);
int rawValue(Weekday value);
QString rawValue(LogStatus value);
QString rawValue(MilestoneStatus value);
QString rawValue(AppTheme value);

std::optional<ReminderCategory> reminderCategoryFromRaw(const QString &raw);
std::optional<ScheduleType> scheduleTypeFromRaw(const QString &raw);
std::optional<Weekday> weekdayFromRaw(qint64 raw);
std::optional<LogStatus> logStatusFromRaw(const QString &raw);
std::optional<MilestoneStatus> milestoneStatusFromRaw(const QString &raw);
std::optional<AppTheme> appThemeFromRaw(const QString &raw);

// The calendar's weekday number (1 Sunday ... 7 Saturday) of a Weekday, and back.
int calendarWeekday(Weekday day);
Weekday weekdayFromCalendar(int calendarWeekday);

} // namespace ovlin
