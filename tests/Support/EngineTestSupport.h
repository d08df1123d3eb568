#pragma once

#include "Base/Days.h"
#include "Base/Defaults.h"
#include "Model/AppSettings.h"
#include "Model/Enums.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QDateTime>
#include <QStringList>
#include <QUuid>
#include <QVariant>

#include <memory>
#include <optional>
#include <utility>

// Shared helpers of the engine tests. They run under TZ=Europe/Berlin: clocks go forward on
// 2026-03-29 at 02:00 (a 23-hour day) and back on 2026-10-25 at 03:00 (a 25-hour day).
namespace enginetest {

using namespace ovlin;

// Empties the application's settings domain, stores `values`, and lets AppSettings::shared() load them.
inline void resetSettings(const QList<std::pair<QString, QVariant>> &values = {})
{
    const auto defaults = Defaults::suite(QStringLiteral(OVLIN_APP_ID));
    for (const QString &key : defaults->keys())
        defaults->remove(key);
    for (const auto &[key, value] : values)
        defaults->setObject(key, value);
    AppSettings::resetSharedForTesting();
}

inline QDateTime at(const QDate &day, int hour, int minute, int second = 0)
{
    return Days::atTime(day, hour, minute, second);
}

// "2026-06-10T09:00" is local time, "2026-10-25T00:30:00Z" UTC.
inline QDateTime parseMoment(const QString &text)
{
    return QDateTime::fromString(text, Qt::ISODate);
}

struct ReminderSpec
{
    QString title = QStringLiteral("Water");
    ReminderCategory category = ReminderCategory::water;
    ScheduleType scheduleType = ScheduleType::fixedTime;
    std::optional<QTime> fixedTime = QTime(9, 0);
    std::optional<qint64> intervalMinutes = std::nullopt;
    std::optional<QTime> intervalStart = std::nullopt;
    std::optional<QTime> intervalEnd = std::nullopt;
    QList<qint64> activeDaysRaw = {1, 2, 3, 4, 5, 6, 7};
    bool isActive = true;
    QDateTime createdAt = QDateTime(QDate(2025, 1, 1), QTime(8, 0));
};

// A time of day as the editor stores it: that time on some earlier day.
inline std::optional<QDateTime> timeOfDay(const std::optional<QTime> &time)
{
    if (!time)
        return std::nullopt;
    return QDateTime(QDate(2024, 2, 14), *time);
}

inline std::shared_ptr<Reminder> makeReminder(StoreContext *context, const ReminderSpec &spec = {})
{
    auto reminder = Reminder::create(QUuid::createUuid(), spec.title, spec.category, std::nullopt, spec.scheduleType,
                                     timeOfDay(spec.fixedTime), spec.intervalMinutes, timeOfDay(spec.intervalStart),
                                     timeOfDay(spec.intervalEnd), {}, spec.isActive, spec.createdAt);
    reminder->setActiveDaysRaw(spec.activeDaysRaw);
    if (context)
        context->insert(reminder);
    return reminder;
}

inline std::shared_ptr<ReminderLog> addLog(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                           const QString &statusRaw)
{
    auto log = ReminderLog::create(QUuid::createUuid(), reminder, scheduledAt, std::nullopt, LogStatus::missed);
    log->setStatusRaw(statusRaw);
    return log;
}

inline std::shared_ptr<ReminderLog> addLog(const std::shared_ptr<Reminder> &reminder, const QDateTime &scheduledAt,
                                           LogStatus status)
{
    return addLog(reminder, scheduledAt, rawValue(status));
}

inline std::unique_ptr<StoreContainer> openStore()
{
    QString error;
    auto store = StoreContainer::openInMemory(&error);
    if (!store)
        qFatal("Cannot open an in-memory store: %s", qPrintable(error));
    return store;
}

} // namespace enginetest
