#pragma once

#include "Model/Enums.h"
#include "Model/RecordType.h"
#include "Platform/StoreRecord.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace ovlin {

class ReminderLog;

// Stored logs of a reminder that are not held as objects: those scheduled before the recent days when
// the store was opened, and untouched since. Enough for the engine's log index (instant and status) and
// to load each one later (row key). In store order.
struct ArchivedLogs
{
    std::vector<qint64> rowKeys;
    std::vector<qint64> instants;
    // LogStatus values; a text that names no status is kept as missed, as ReminderLog::status() reads it.
    std::vector<quint8> statuses;
    // No instant is later than this (kept when logs are loaded out of the archive).
    qint64 latest = std::numeric_limits<qint64>::min();

    std::size_t size() const { return rowKeys.size(); }
    bool empty() const { return rowKeys.empty(); }
};

// One habit to be reminded of. A stored record: see StoreRecord for identity and change tracking.
// Stored fields in schema order: id, title, category, detail, scheduleType, fixedTime, intervalMinutes,
// intervalStart, intervalEnd, activeDaysRaw, isActive, createdAt; relationship `logs` (deleting the
// reminder deletes its logs).
class Reminder final : public StoreRecord
{
    struct Token
    {
    };

public:
    static constexpr RecordType staticRecordType = RecordType::reminder;

    // A free reminder with no logs; the caller inserts it into the store context.
    static std::shared_ptr<Reminder>
    create(const QUuid &id, const QString &title, ReminderCategory category, const std::optional<QString> &detail,
           ScheduleType scheduleType, const std::optional<QDateTime> &fixedTime,
           const std::optional<qint64> &intervalMinutes, const std::optional<QDateTime> &intervalStart,
           const std::optional<QDateTime> &intervalEnd, const QList<Weekday> &activeDays, bool isActive,
           const QDateTime &createdAt);

    explicit Reminder(Token) {}
    ~Reminder() override;

    RecordType recordType() const override { return staticRecordType; }

    QUuid id() const { return m_id; }
    void setId(const QUuid &id) { assign(m_id, id); }
    QString title() const { return m_title; }
    void setTitle(const QString &title) { assign(m_title, title); }
    // Case name of a ReminderCategory (see categoryValue()).
    QString category() const { return m_category; }
    void setCategory(const QString &category) { assign(m_category, category); }
    std::optional<QString> detail() const { return m_detail; }
    void setDetail(const std::optional<QString> &detail) { assign(m_detail, detail); }
    // Case name of a ScheduleType (see scheduleTypeValue()).
    QString scheduleType() const { return m_scheduleType; }
    void setScheduleType(const QString &scheduleType) { assign(m_scheduleType, scheduleType); }
    // A time of day, placed on each day by the engine.
    std::optional<QDateTime> fixedTime() const { return m_fixedTime; }
    void setFixedTime(const std::optional<QDateTime> &fixedTime) { assign(m_fixedTime, fixedTime); }
    // The fixed time the reminder really fires at: none for an interval reminder, even one that still carries
    // a fixed time (stores of other versions hold such leftovers).
    std::optional<QDateTime> firingFixedTime() const;
    std::optional<qint64> intervalMinutes() const { return m_intervalMinutes; }
    void setIntervalMinutes(const std::optional<qint64> &minutes) { assign(m_intervalMinutes, minutes); }
    std::optional<QDateTime> intervalStart() const { return m_intervalStart; }
    void setIntervalStart(const std::optional<QDateTime> &start) { assign(m_intervalStart, start); }
    std::optional<QDateTime> intervalEnd() const { return m_intervalEnd; }
    void setIntervalEnd(const std::optional<QDateTime> &end) { assign(m_intervalEnd, end); }
    // Weekday raw values (1 Monday .. 7 Sunday) in the order set, duplicates and stray values kept.
    QList<qint64> activeDaysRaw() const { return m_activeDaysRaw; }
    void setActiveDaysRaw(const QList<qint64> &days) { assign(m_activeDaysRaw, days); }
    bool isActive() const { return m_isActive; }
    void setIsActive(bool active) { assign(m_isActive, active); }
    QDateTime createdAt() const { return m_createdAt; }
    void setCreatedAt(const QDateTime &createdAt) { assign(m_createdAt, createdAt); }

    // The reminder's logs in the order they joined it (a copy: deleting logs while walking it is safe).
    // Changing either end of the relationship updates the other; a log appears at most once. Loads the
    // archived logs first, so the answer is every log; hot paths read loadedLogs() and archivedLogs().
    QList<std::shared_ptr<ReminderLog>> logs() const;
    // The logs held as objects, without loading the archived ones.
    const QList<std::shared_ptr<ReminderLog>> &loadedLogs() const { return m_members; }
    // The stored logs not held as objects (empty for a reminder that was never opened from a file).
    const ArchivedLogs &archivedLogs() const;
    void setLogs(const QList<std::shared_ptr<ReminderLog>> &logs);
    void appendLog(const std::shared_ptr<ReminderLog> &log);
    // Takes the log out of this reminder's list (the log stays stored, without a reminder).
    void removeLog(const std::shared_ptr<ReminderLog> &log);

    // Typed views of the stored texts; unrecognised texts read as general / fixedTime.
    ReminderCategory categoryValue() const;
    void setCategoryValue(ReminderCategory category);
    ScheduleType scheduleTypeValue() const;
    // activeDaysRaw as weekdays, in stored order, duplicates kept, values outside 1..7 left out.
    QList<Weekday> activeDays() const;
    void setActiveDays(const QList<Weekday> &days);
    // Active and one of its weekdays is today's weekday (Clock::now(), local calendar).
    bool isScheduledToday() const;

private:
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class ReminderTable;
    friend class ReminderLogTable;

    RecordTypes willBeDeleted(StoreContext &context) override;
    void didInsert(StoreContext &context) override;

    QUuid m_id;
    QString m_title;
    QString m_category;
    std::optional<QString> m_detail;
    QString m_scheduleType;
    std::optional<QDateTime> m_fixedTime;
    std::optional<qint64> m_intervalMinutes;
    std::optional<QDateTime> m_intervalStart;
    std::optional<QDateTime> m_intervalEnd;
    QList<qint64> m_activeDaysRaw;
    bool m_isActive = true;
    QDateTime m_createdAt;
    QList<std::shared_ptr<ReminderLog>> m_members;
    std::unique_ptr<ArchivedLogs> m_archived; // null when there are none
};

} // namespace ovlin
