#pragma once

#include "Model/Enums.h"
#include "Platform/StoreRecord.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

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
    QDateTime scheduledAt() const { return m_scheduledAt; }
    void setScheduledAt(const QDateTime &scheduledAt) { assign(m_scheduledAt, scheduledAt); }
    std::optional<QDateTime> completedAt() const { return m_completedAt; }
    void setCompletedAt(const std::optional<QDateTime> &completedAt) { assign(m_completedAt, completedAt); }
    // Case name of a LogStatus (see status()).
    QString statusRaw() const { return m_statusRaw; }
    void setStatusRaw(const QString &statusRaw) { assign(m_statusRaw, statusRaw); }

    // The owning reminder, or null. Setting it moves the log to the new reminder's logs.
    std::shared_ptr<Reminder> reminder() const { return m_owner.lock(); }
    void setReminder(const std::shared_ptr<Reminder> &reminder);

    // The status named by statusRaw; unrecognised text reads as missed.
    LogStatus status() const;

private:
    template <class Owner, class Member> friend struct detail::OneToMany;
    friend class detail::StoreTables;

    RecordTypes willBeDeleted(StoreContext &context) override;
    void didInsert(StoreContext &context) override;
    StoreRecord *memberOwner() const override;

    QUuid m_id;
    QDateTime m_scheduledAt;
    std::optional<QDateTime> m_completedAt;
    QString m_statusRaw;
    std::weak_ptr<Reminder> m_owner;
};

} // namespace ovlin
