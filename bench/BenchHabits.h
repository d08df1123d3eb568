#pragma once

#include "Base/Days.h"
#include "Base/Uuid.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"
#include "Platform/StoreContext.h"
#include "Platform/StoreTables.h"

#include <QDate>
#include <QFile>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
#include <memory>

namespace ovlin::bench {

// One history for every benchmark and for the profile generator.
//
// Habits: even ones at a fixed time, odd ones every 30 minutes from 08:00 to 20:00 (25 due times a
// day), every day, created at 07:00 on the first day. Logs: `logs` of them spread evenly over the
// habit-days from `firstDay` to `lastDay` (the last day only up to `cutoff`), placed on the habit's due
// times. The last log of a habit-day is completed (a skipped one now and then, rarely enough for the
// grace period to forgive at 50 habits), the ones before it
// mixed (skipped, snoozed, missed), so a history with at least one log per habit-day keeps its streak.

inline constexpr int intervalSteps = 25;

inline QList<std::shared_ptr<Reminder>> makeHabits(StoreContext *context, int count, const QDate &firstDay)
{
    QList<std::shared_ptr<Reminder>> reminders;
    const QDateTime created = Days::atTime(firstDay, 7, 0);
    const QList<Weekday> everyDay(allWeekdays.begin(), allWeekdays.end());
    for (int i = 0; i < count; ++i) {
        const bool interval = i % 2 == 1;
        // As the editor saves them: a fixed-time habit has no interval fields, an interval habit no fixed time.
        const auto timeOfDay = [](bool used, int hour, int minute) {
            return used ? std::optional<QDateTime>(QDateTime(QDate(2024, 1, 1), QTime(hour, minute))) : std::nullopt;
        };
        auto reminder = Reminder::create(
            QUuid::createUuid(), QStringLiteral("Habit %1").arg(i), allReminderCategories[std::size_t(i % 6)],
            std::nullopt, interval ? ScheduleType::interval : ScheduleType::fixedTime,
            timeOfDay(!interval, 7 + i % 14, (i * 7) % 60), interval ? std::optional<qint64>(30) : std::nullopt,
            timeOfDay(interval, 8, 0), timeOfDay(interval, 20, 0), everyDay, true, created);
        if (context)
            context->insert(reminder);
        reminders << reminder;
    }
    return reminders;
}

inline QList<std::shared_ptr<Reminder>> makeFiftyHabits(StoreContext *context, const QDate &firstDay)
{
    return makeHabits(context, 50, firstDay);
}

// Calls sink(habitIndex, scheduledAt, status) for each log, day by day, habits in order, times ascending.
template <class Sink>
void forEachLog(int habits, qint64 logs, const QDate &firstDay, const QDate &lastDay, const QTime &cutoff, Sink sink)
{
    const qint64 days = firstDay.daysTo(lastDay) + 1;
    if (habits <= 0 || logs <= 0 || days <= 0)
        return;
    const qint64 habitDays = days * habits;
    qint64 slot = 0;
    for (QDate day = firstDay; day <= lastDay; day = day.addDays(1)) {
        for (int h = 0; h < habits; ++h, ++slot) {
            // Bresenham: this habit-day's share of the logs.
            const qint64 count = (slot + 1) * logs / habitDays - slot * logs / habitDays;
            const bool interval = h % 2 == 1;
            for (qint64 k = 0; k < count; ++k) {
                QTime at;
                if (interval) {
                    const qint64 step = count <= intervalSteps ? k * intervalSteps / count : k % intervalSteps;
                    at = QTime(8 + int(step) / 2, int(step) % 2 * 30);
                } else {
                    at = QTime(7 + h % 14, (h * 7) % 60);
                }
                if (day == lastDay && at >= cutoff)
                    continue;
                const qint64 mix = (slot * 7 + k * 13) % 20;
                LogStatus status = LogStatus::completed;
                if (k + 1 < count)
                    status = mix < 8 ? LogStatus::snoozed : mix < 14 ? LogStatus::skipped : LogStatus::missed;
                else if (slot % 401 == 0)
                    status = LogStatus::skipped; // about one habit-day in eight days at 50 habits
                sink(h, Days::atTime(day, at.hour(), at.minute()), status);
            }
        }
    }
}

// The history above written as log records of `reminders`; answers the number of logs.
inline qint64 addHistory(const QList<std::shared_ptr<Reminder>> &reminders, qint64 logs, const QDate &firstDay,
                         const QDate &lastDay, const QTime &cutoff = QTime(23, 59, 59))
{
    qint64 count = 0;
    forEachLog(
        int(reminders.size()), logs, firstDay, lastDay, cutoff, [&](int habit, const QDateTime &at, LogStatus status) {
            ReminderLog::create(
                QUuid::createUuid(), reminders.at(habit), at,
                status == LogStatus::completed ? std::optional<QDateTime>(at.addSecs(40)) : std::nullopt, status);
            ++count;
        });
    return count;
}

// Writes a store file at `path` (replacing one there) with `habits` habits and the history above over
// `days` days up to `lastDay` (that day up to `cutoff`). The logs go in with plain SQL: a million records
// through the object layer would take minutes. Answers the number of logs, or -1 with `error` set.
inline qint64 writeProfileStore(const QString &path, int habits, qint64 logs, int days, const QDate &lastDay,
                                const QTime &cutoff, QString *error)
{
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
    const QDate firstDay = lastDay.addDays(-(std::max(days, 1) - 1));
    QList<qint64> habitKeys;
    {
        auto store = StoreContainer::open(path, error);
        if (!store)
            return -1;
        const auto reminders = makeHabits(store->mainContext(), habits, firstDay);
        if (!store->mainContext()->save(error))
            return -1;
        for (const auto &reminder : reminders)
            habitKeys << reminder->persistentId();
    }
    const QString connection = QStringLiteral("bench-profile-writer");
    qint64 pk = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (!db.open()) {
            *error = db.lastError().text();
            return -1;
        }
        QSqlQuery query(db);
        query.exec(QStringLiteral("BEGIN"));
        query.prepare(detail::StoreTables::insertSql(RecordType::reminderLog));
        bool ok = true;
        forEachLog(habits, logs, firstDay, lastDay, cutoff, [&](int habit, const QDateTime &at, LogStatus status) {
            if (!ok)
                return;
            const qint64 micros = at.toMSecsSinceEpoch() * 1000;
            query.bindValue(0, ++pk);
            query.bindValue(1, uuidText(QUuid::createUuid()));
            query.bindValue(2, micros);
            query.bindValue(3, status == LogStatus::completed ? QVariant(micros + 40000000) : QVariant());
            query.bindValue(4, rawValue(status));
            query.bindValue(5, habitKeys.at(habit));
            ok = query.exec();
        });
        if (!ok) {
            *error = query.lastError().text();
            return -1;
        }
        query.exec(QStringLiteral("COMMIT"));
        query.finish();
    }
    QSqlDatabase::removeDatabase(connection);
    return pk;
}

} // namespace ovlin::bench
