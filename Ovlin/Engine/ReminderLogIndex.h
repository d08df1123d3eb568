#pragma once

#include "Model/Enums.h"

#include <QDate>
#include <QtGlobal>

#include <memory>
#include <unordered_map>
#include <vector>

namespace ovlin {

class Reminder;
class ReminderLog;
class StoreContext;
class StoreRecord;

// What a set of logs decides for a day or an occurrence: the strongest status among them. A completed
// log outweighs a skipped one, a skipped one a missed one; snoozed logs decide nothing.
enum class LogWeight : quint8 { none = 0, missed = 1, skipped = 2, completed = 3 };

LogWeight logWeight(LogStatus status);
// The same as logWeight(log.status()), without building the status from its text.
LogWeight logWeight(const ReminderLog &log);

// A reminder's logs ordered by their scheduled instant and by their calendar minute, so a day or a
// minute is found by binary search instead of a walk over the whole history. Built from the reminder's
// logs in memory and its archived ones (never loading them) and reused while the reminder and its logs
// (StoreRecord::changeStamp) and the time zone stay the same, so a change to one reminder's logs rebuilds only that
// reminder's table (a reminder outside any store is indexed afresh on every call). The answers are those of walking the
// logs. Main thread only.
class ReminderLogIndex
{
public:
    class Table
    {
    public:
        // The strongest status among the logs scheduled in [startMs, endMs).
        LogWeight weightIn(qint64 startMs, qint64 endMs) const;
        // The strongest status among the logs of one calendar minute (DayTable::Local::minuteKey()).
        LogWeight weightAtMinute(qint64 minuteKey) const;

        // Logs on one calendar day (every status, snoozed ones included) and how many of them are completed.
        struct DayCount
        {
            qint64 total = 0;
            qint64 completed = 0;
        };
        DayCount countOnDay(const QDate &day) const;

        // Deciding logs (snoozed ones left out) by scheduled instant, ascending.
        const std::vector<qint64> &instants() const { return m_instants; }
        const std::vector<LogWeight> &weights() const { return m_weights; }

    private:
        friend class ReminderLogIndex;
        // Adds one log after those with the same keys, as a rebuild with the log last would place it.
        void add(const ReminderLog &log);
        void countDay(qint64 dayKey, bool completed);

        std::vector<qint64> m_instants;
        std::vector<LogWeight> m_weights;
        std::vector<qint64> m_minuteKeys;
        std::vector<LogWeight> m_minuteWeights;
        // Per local calendar day (Julian day number, ascending) with logs: how many logs with a valid date lie
        // on it and how many of them are completed. A day holds far fewer than 2^32 logs: each takes memory.
        std::vector<qint64> m_dayKeys;
        std::vector<quint32> m_dayTotals;
        std::vector<quint32> m_dayCompleted;
    };

    static ReminderLogIndex &shared();

    // Call DayTable::shared().revalidate() first (every engine entry does).
    std::shared_ptr<const Table> table(const Reminder &reminder);
    // Forgets the tables of reminders that no longer exist (otherwise forgotten in batches, as entries pile up).
    void dropUnused();

private:
    struct Entry
    {
        std::weak_ptr<const StoreRecord> owner;
        const StoreContext *context = nullptr; // compared, never followed
        quint64 changeStamp = 0;
        quint64 zone = 0;
        std::shared_ptr<const Table> table;
        // The logs list as indexed: its length and its last log (compared, never followed).
        qsizetype logCount = 0;
        const ReminderLog *lastLog = nullptr;
        std::size_t archivedCount = 0;
    };

    static std::shared_ptr<const Table> build(const Reminder &reminder);
    static Entry makeEntry(const Reminder &reminder, const StoreContext *context, quint64 zone,
                           std::shared_ptr<const Table> table);
    // The entry's table with the logs appended since, when nothing else changed; null otherwise.
    static std::shared_ptr<const Table> extend(const Entry &entry, const Reminder &reminder);
    void purgeIfLarge();

    std::unordered_map<const Reminder *, Entry> m_entries;
    std::size_t m_purgeAt = 256;
};

} // namespace ovlin
