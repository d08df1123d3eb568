#include "Model/ReminderLog.h"

#include "Model/Reminder.h"
#include "Platform/OneToMany.h"

#include <QHash>
#include <QMutex>

namespace ovlin {

using ReminderLogs = detail::OneToMany<Reminder, ReminderLog>;

namespace {

constexpr std::array<LogStatus, 4> knownStatuses{LogStatus::completed, LogStatus::skipped, LogStatus::missed,
                                                 LogStatus::snoozed};

// Status texts that name no case, per log; rare (only a hand-edited or newer store has them).
struct OtherStatuses
{
    QMutex mutex;
    QHash<const ReminderLog *, QString> texts;
};

OtherStatuses &otherStatuses()
{
    static OtherStatuses table;
    return table;
}

} // namespace

qint64 ReminderLog::msecs(const QDateTime &date)
{
    if (!date.isValid())
        return invalidDate;
    return msecsOfStored(date.toMSecsSinceEpoch());
}

QDateTime ReminderLog::dateTime(qint64 ms)
{
    return ms == invalidDate || ms == noDate ? QDateTime() : QDateTime::fromMSecsSinceEpoch(ms);
}

std::optional<QDateTime> ReminderLog::completedAt() const
{
    if (m_completedMs == noDate)
        return std::nullopt;
    return dateTime(m_completedMs);
}

void ReminderLog::setCompletedAt(const std::optional<QDateTime> &completedAt)
{
    assign(m_completedMs, completedAt ? msecs(*completedAt) : noDate);
}

QString ReminderLog::statusRaw() const
{
    if (m_status < knownStatuses.size())
        return rawValue(knownStatuses[m_status]);
    auto &other = otherStatuses();
    const QMutexLocker lock(&other.mutex);
    return other.texts.value(this);
}

void ReminderLog::setStatusText(const QString &raw)
{
    auto &other = otherStatuses();
    if (m_status == otherStatus) {
        const QMutexLocker lock(&other.mutex);
        other.texts.remove(this);
    }
    for (std::size_t i = 0; i < knownStatuses.size(); ++i) {
        if (raw == rawValue(knownStatuses[i])) {
            m_status = quint8(i);
            return;
        }
    }
    m_status = otherStatus;
    if (!raw.isNull()) {
        const QMutexLocker lock(&other.mutex);
        other.texts.insert(this, raw);
    }
}

void ReminderLog::setStatusRaw(const QString &statusRaw)
{
    if (statusRaw == this->statusRaw())
        return;
    setStatusText(statusRaw);
    didChange();
}

std::shared_ptr<ReminderLog> ReminderLog::create(const QUuid &id, const std::shared_ptr<Reminder> &reminder,
                                                 const QDateTime &scheduledAt,
                                                 const std::optional<QDateTime> &completedAt, LogStatus status)
{
    auto log = std::make_shared<ReminderLog>(Token{});
    log->m_id = id;
    log->m_scheduledMs = msecs(scheduledAt);
    log->m_completedMs = completedAt ? msecs(*completedAt) : noDate;
    log->m_status = quint8(status);
    if (reminder)
        ReminderLogs::setOwner(*log, reminder);
    return log;
}

ReminderLog::~ReminderLog()
{
    if (m_status == otherStatus) {
        auto &other = otherStatuses();
        const QMutexLocker lock(&other.mutex);
        other.texts.remove(this);
    }
}

void ReminderLog::setReminder(const std::shared_ptr<Reminder> &reminder)
{
    ReminderLogs::setOwner(*this, reminder);
}

LogStatus ReminderLog::status() const
{
    return m_status < knownStatuses.size() ? knownStatuses[m_status] : LogStatus::missed;
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
