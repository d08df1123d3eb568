#include "Model/ReminderLog.h"

#include "Model/Reminder.h"
#include "Platform/OneToMany.h"

namespace ovlin {

using ReminderLogs = detail::OneToMany<Reminder, ReminderLog>;

std::shared_ptr<ReminderLog> ReminderLog::create(const QUuid &id, const std::shared_ptr<Reminder> &reminder,
                                                 const QDateTime &scheduledAt,
                                                 const std::optional<QDateTime> &completedAt, LogStatus status)
{
    auto log = std::make_shared<ReminderLog>(Token{});
    log->m_id = id;
    log->m_scheduledAt = scheduledAt;
    log->m_completedAt = completedAt;
    log->m_statusRaw = rawValue(status);
    if (reminder)
        ReminderLogs::setOwner(*log, reminder);
    return log;
}

ReminderLog::~ReminderLog() = default;

void ReminderLog::setReminder(const std::shared_ptr<Reminder> &reminder)
{
    ReminderLogs::setOwner(*this, reminder);
}

LogStatus ReminderLog::status() const
{
    return logStatusFromRaw(m_statusRaw).value_or(LogStatus::missed);
}

RecordTypes ReminderLog::willBeDeleted(StoreContext &)
{
    return ReminderLogs::leaveOwner(*this) ? RecordTypes(RecordType::reminder) : RecordTypes();
}

StoreRecord *ReminderLog::memberOwner() const
{
    return m_owner.lock().get();
}

void ReminderLog::didInsert(StoreContext &context)
{
    if (const auto owner = m_owner.lock())
        context.insert(owner);
}

} // namespace ovlin
