#include "Engine/ReminderLogIndex.h"

#include "Engine/DayTable.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/StoreContext.h"

#include <algorithm>

namespace ovlin {

LogWeight logWeight(LogStatus status)
{
    switch (status) {
    case LogStatus::completed: return LogWeight::completed;
    case LogStatus::skipped: return LogWeight::skipped;
    case LogStatus::missed: return LogWeight::missed;
    case LogStatus::snoozed: return LogWeight::none;
    }
    return LogWeight::missed;
}

LogWeight logWeight(const ReminderLog &log)
{
    // Any text that names no status reads as missed, as ReminderLog::status() says.
    return logWeight(log.status());
}

LogWeight ReminderLogIndex::Table::weightIn(qint64 startMs, qint64 endMs) const
{
    if (endMs <= startMs)
        return LogWeight::none;
    LogWeight best = LogWeight::none;
    auto it = std::lower_bound(m_instants.begin(), m_instants.end(), startMs);
    for (auto i = std::size_t(it - m_instants.begin()); i < m_instants.size() && m_instants[i] < endMs; ++i) {
        best = std::max(best, m_weights[i]);
        if (best == LogWeight::completed)
            break;
    }
    return best;
}

LogWeight ReminderLogIndex::Table::weightAtMinute(qint64 minuteKey) const
{
    LogWeight best = LogWeight::none;
    auto it = std::lower_bound(m_minuteKeys.begin(), m_minuteKeys.end(), minuteKey);
    for (auto i = std::size_t(it - m_minuteKeys.begin()); i < m_minuteKeys.size() && m_minuteKeys[i] == minuteKey; ++i)
        best = std::max(best, m_minuteWeights[i]);
    return best;
}

ReminderLogIndex::Table::DayCount ReminderLogIndex::Table::countOnDay(const QDate &day) const
{
    DayCount count;
    if (!day.isValid())
        return count;
    const qint64 key = day.toJulianDay();
    const auto at = std::lower_bound(m_dayKeys.begin(), m_dayKeys.end(), key);
    if (at == m_dayKeys.end() || *at != key)
        return count;
    const auto i = std::size_t(at - m_dayKeys.begin());
    count.total = m_dayTotals[i];
    count.completed = m_dayCompleted[i];
    return count;
}

void ReminderLogIndex::Table::countDay(qint64 dayKey, bool completed)
{
    auto at = std::lower_bound(m_dayKeys.begin(), m_dayKeys.end(), dayKey);
    const auto i = std::size_t(at - m_dayKeys.begin());
    if (at == m_dayKeys.end() || *at != dayKey) {
        m_dayKeys.insert(at, dayKey);
        m_dayTotals.insert(m_dayTotals.begin() + qsizetype(i), 0);
        m_dayCompleted.insert(m_dayCompleted.begin() + qsizetype(i), 0);
    }
    ++m_dayTotals[i];
    if (completed)
        ++m_dayCompleted[i];
}

void ReminderLogIndex::Table::add(const ReminderLog &log)
{
    const auto placed = DayTable::shared().place(log.scheduledMSecs());
    if (!placed)
        return;
    const LogWeight weight = logWeight(log);
    const auto insertAfterEquals = [](auto &keys, auto &values, qint64 key, auto value) {
        const auto at = std::upper_bound(keys.begin(), keys.end(), key);
        values.insert(values.begin() + (at - keys.begin()), value);
        keys.insert(at, key);
    };
    countDay(placed->local.date.toJulianDay(), weight == LogWeight::completed);
    if (weight == LogWeight::none)
        return;
    insertAfterEquals(m_instants, m_weights, placed->instant, weight);
    insertAfterEquals(m_minuteKeys, m_minuteWeights, placed->local.minuteKey(), weight);
}

ReminderLogIndex &ReminderLogIndex::shared()
{
    static ReminderLogIndex index;
    return index;
}

std::shared_ptr<const ReminderLogIndex::Table> ReminderLogIndex::build(const Reminder &reminder)
{
    DayTable &days = DayTable::shared();
    const auto &logs = reminder.loadedLogs();
    const ArchivedLogs &archived = reminder.archivedLogs();
    const std::size_t count = archived.size() + std::size_t(logs.size());
    auto table = std::make_shared<Table>();
    table->m_instants.reserve(count);
    table->m_weights.reserve(count);
    table->m_minuteKeys.reserve(count);
    bool instantsSorted = true;
    bool minutesSorted = true;
    // Every placed log's day and whether it is completed; counted per day below.
    std::vector<std::pair<qint64, bool>> dayRows;
    dayRows.reserve(count);
    bool daysSorted = true;
    const auto add = [&](std::optional<qint64> scheduled, LogWeight weight) {
        const auto placed = days.place(scheduled);
        if (!placed)
            return; // an invalid date lies in no day and no minute
        const qint64 dayKey = placed->local.date.toJulianDay();
        daysSorted = daysSorted && (dayRows.empty() || dayRows.back().first <= dayKey);
        dayRows.emplace_back(dayKey, weight == LogWeight::completed);
        if (weight == LogWeight::none)
            return;
        const qint64 minuteKey = placed->local.minuteKey();
        if (!table->m_instants.empty()) {
            instantsSorted = instantsSorted && table->m_instants.back() <= placed->instant;
            minutesSorted = minutesSorted && table->m_minuteKeys.back() <= minuteKey;
        }
        table->m_instants.push_back(placed->instant);
        table->m_weights.push_back(weight);
        table->m_minuteKeys.push_back(minuteKey);
    };
    // The archived logs are the older ones: read first, the table usually stays in order.
    for (std::size_t i = 0; i < archived.size(); ++i)
        add(archived.instants[i], logWeight(LogStatus(archived.statuses[i])));
    for (const auto &log : logs) {
        if (log)
            add(log->scheduledMSecs(), logWeight(*log));
    }
    if (!daysSorted)
        std::sort(dayRows.begin(), dayRows.end()); // counts do not depend on the order within a day
    for (const auto &[dayKey, completed] : dayRows) {
        if (table->m_dayKeys.empty() || table->m_dayKeys.back() != dayKey) {
            table->m_dayKeys.push_back(dayKey);
            table->m_dayTotals.push_back(0);
            table->m_dayCompleted.push_back(0);
        }
        ++table->m_dayTotals.back();
        if (completed)
            ++table->m_dayCompleted.back();
    }
    dayRows = {};
    table->m_dayKeys.shrink_to_fit();
    table->m_dayTotals.shrink_to_fit();
    table->m_dayCompleted.shrink_to_fit();
    // Snoozed logs were counted in when reserving.
    table->m_instants.shrink_to_fit();
    table->m_weights.shrink_to_fit();
    table->m_minuteKeys.shrink_to_fit();
    if (instantsSorted && minutesSorted) {
        table->m_minuteWeights = table->m_weights; // logs joined in time order, the usual case
        return table;
    }

    // Logs out of order, or minutes that go back at a clock change: sort each view on its own.
    struct Row
    {
        qint64 instant;
        qint64 minuteKey;
        LogWeight weight;
    };
    std::vector<Row> rows;
    rows.reserve(table->m_instants.size());
    for (std::size_t i = 0; i < table->m_instants.size(); ++i)
        rows.push_back(Row{table->m_instants[i], table->m_minuteKeys[i], table->m_weights[i]});
    const auto fill = [&rows](std::vector<qint64> &keys, std::vector<LogWeight> &weights, auto keyOf) {
        std::stable_sort(rows.begin(), rows.end(), [&](const Row &a, const Row &b) { return keyOf(a) < keyOf(b); });
        keys.clear();
        weights.clear();
        for (const Row &row : rows) {
            keys.push_back(keyOf(row));
            weights.push_back(row.weight);
        }
    };
    fill(table->m_instants, table->m_weights, [](const Row &row) { return row.instant; });
    fill(table->m_minuteKeys, table->m_minuteWeights, [](const Row &row) { return row.minuteKey; });
    return table;
}

ReminderLogIndex::Entry ReminderLogIndex::makeEntry(const Reminder &reminder, const StoreContext *context, quint64 zone,
                                                    std::shared_ptr<const Table> table)
{
    const auto &logs = reminder.loadedLogs();
    return Entry{reminder.weak_from_this(),
                 context,
                 reminder.changeStamp(),
                 zone,
                 std::move(table),
                 logs.size(),
                 logs.isEmpty() ? nullptr : logs.last().get(),
                 reminder.archivedLogs().size()};
}

std::shared_ptr<const ReminderLogIndex::Table> ReminderLogIndex::extend(const Entry &entry, const Reminder &reminder)
{
    // The usual change is a new log at the end of the list (a check-off): add it instead of reading every
    // log again. That holds when the indexed logs are still the list's first ones and none of them changed
    // since (a log that changes, joins or leaves again gets a newer stamp than its owner had then).
    const auto &logs = reminder.loadedLogs();
    const qsizetype count = entry.logCount;
    if (count == 0 || logs.size() < count || logs.at(count - 1).get() != entry.lastLog ||
        reminder.archivedLogs().size() != entry.archivedCount)
        return nullptr;
    for (qsizetype i = 0; i < count; ++i) {
        if (logs.at(i) && logs.at(i)->changeStamp() > entry.changeStamp)
            return nullptr;
    }
    auto table = std::make_shared<Table>(*entry.table);
    for (qsizetype i = count; i < logs.size(); ++i) {
        if (logs.at(i))
            table->add(*logs.at(i));
    }
    return table;
}

std::shared_ptr<const ReminderLogIndex::Table> ReminderLogIndex::table(const Reminder &reminder)
{
    const StoreContext *context = reminder.context();
    if (!context)
        return build(reminder); // changes to a free record are not counted anywhere
    const quint64 zone = DayTable::shared().zoneGeneration();
    const auto it = m_entries.find(&reminder);
    if (it != m_entries.end()) {
        const Entry &entry = it->second;
        if (entry.context == context && entry.zone == zone && !entry.owner.expired()) {
            if (entry.changeStamp == reminder.changeStamp())
                return entry.table;
            if (auto extended = extend(entry, reminder)) {
                it->second = makeEntry(reminder, context, zone, extended);
                return extended;
            }
        }
    }
    auto table = build(reminder);
    m_entries[&reminder] = makeEntry(reminder, context, zone, table);
    purgeIfLarge();
    return table;
}

void ReminderLogIndex::purgeIfLarge()
{
    if (m_entries.size() >= m_purgeAt)
        dropUnused();
}

void ReminderLogIndex::dropUnused()
{
    std::erase_if(m_entries, [](const auto &item) { return item.second.owner.expired(); });
    m_purgeAt = std::max<std::size_t>(256, m_entries.size() * 2);
}

} // namespace ovlin
