#pragma once

#include "Model/Enums.h"
#include "Model/RecordType.h"
#include "Platform/StoreRecord.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>

namespace ovlin {

class Reminder;

// One recorded answer to one occurrence of a reminder. Stored fields in schema order: id, scheduledAt,
// completedAt, statusRaw; relationship `reminder` (deleting the log only takes it out of the
// reminder's logs).
class ReminderLog final : public StoreRecord
{
    struct Token
    {
    };

public:
    static constexpr RecordType staticRecordType = RecordType::reminderLog;

    // A log pointing at `reminder` (and listed in its logs). When the reminder is already stored, the
    // log joins the same store at once; inserting it again does nothing.
    static std::shared_ptr<ReminderLog> create(const QUuid &id, const std::shared_ptr<Reminder> &reminder,
                                               const QDateTime &scheduledAt,
                                               const std::optional<QDateTime> &completedAt, LogStatus status);

    explicit ReminderLog(Token) {}
    ~ReminderLog() override;

    RecordType recordType() const override { return staticRecordType; }

    QUuid id() const { return m_id; }
    void setId(const QUuid &id) { assign(m_id, id); }
    // A local date-time, made when asked for; hot paths read scheduledMSecs() instead.
    QDateTime scheduledAt() const { return dateTime(m_scheduledMs); }
    void setScheduledAt(const QDateTime &scheduledAt) { assign(m_scheduledMs, msecs(scheduledAt)); }
    std::optional<QDateTime> completedAt() const;
    void setCompletedAt(const std::optional<QDateTime> &completedAt);
    // The instant of scheduledAt (milliseconds since 1970); none for an invalid date.
    std::optional<qint64> scheduledMSecs() const
    {
        return m_scheduledMs == invalidDate ? std::nullopt : std::optional<qint64>(m_scheduledMs);
    }
    // The instant of completedAt; none when absent or invalid.
    std::optional<qint64> completedMSecs() const
    {
        return m_completedMs <= invalidDate ? std::nullopt : std::optional<qint64>(m_completedMs);
    }
    // Case name of a LogStatus (see status()).
    QString statusRaw() const;
    void setStatusRaw(const QString &statusRaw);

    // The owning reminder, or null. Setting it moves the log to the new reminder's logs.
    std::shared_ptr<Reminder> reminder() const { return m_owner.lock(); }
    void setReminder(const std::shared_ptr<Reminder> &reminder);

    // The status named by statusRaw; unrecognised text reads as missed.
    LogStatus status() const;

private:
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class ReminderLogTable;

    RecordTypes willBeDeleted(StoreContext &context) override;
    void didInsert(StoreContext &context) override;
    StoreRecord *memberOwner() const override;

    // A million logs are held at once: dates are kept as instants, so reading them from the store needs no
    // time-zone lookup, and the status as its case (text that names none sits in a side table).
    static constexpr qint64 noDate = std::numeric_limits<qint64>::min();
    static constexpr qint64 invalidDate = noDate + 1;
    static constexpr quint8 otherStatus = 0xff;
    static qint64 msecs(const QDateTime &date);
    // A stored instant, kept clear of the two markers above.
    static qint64 msecsOfStored(qint64 ms) { return std::max(ms, invalidDate + 1); }
    static QDateTime dateTime(qint64 ms);
    void setStatusText(const QString &raw);

    quint8 m_status = otherStatus; // first: it fits in the padding at the end of StoreRecord
    QUuid m_id;
    qint64 m_scheduledMs = invalidDate;
    qint64 m_completedMs = noDate;
    std::weak_ptr<Reminder> m_owner;
};

} // namespace ovlin
