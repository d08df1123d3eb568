#pragma once

#include "Model/Reminder.h"
#include "Platform/Days.h"
#include "Platform/StoreContext.h"

#include <QDate>
#include <QList>
#include <QUuid>

#include <memory>

namespace ovlin::bench {

// The benchmarks' 50 habits: even ones at a fixed time, odd ones every 30 minutes from 08:00 to 20:00,
// every day, created at 07:00 on `firstDay`, inserted into `context`.
inline QList<std::shared_ptr<Reminder>> makeFiftyHabits(StoreContext *context, const QDate &firstDay)
{
    QList<std::shared_ptr<Reminder>> reminders;
    const QDateTime created = Days::atTime(firstDay, 7, 0);
    const QList<Weekday> everyDay(allWeekdays.begin(), allWeekdays.end());
    for (int i = 0; i < 50; ++i) {
        const bool interval = i % 2 == 1;
        const QDateTime fixed(QDate(2024, 1, 1), QTime(7 + i % 14, (i * 7) % 60));
        auto reminder = Reminder::create(
            QUuid::createUuid(), QStringLiteral("Habit %1").arg(i), allReminderCategories[std::size_t(i % 6)],
            std::nullopt, interval ? ScheduleType::interval : ScheduleType::fixedTime, fixed,
            interval ? std::optional<qint64>(30) : std::nullopt, QDateTime(QDate(2024, 1, 1), QTime(8, 0)),
            QDateTime(QDate(2024, 1, 1), QTime(20, 0)), everyDay, true, created);
        context->insert(reminder);
        reminders << reminder;
    }
    return reminders;
}

} // namespace ovlin::bench
