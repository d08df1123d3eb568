#include "Model/MilestoneLog.h"

#include "Model/Milestone.h"
#include "Platform/OneToMany.h"

namespace ovlin {

using DailyLogs = detail::OneToMany<Milestone, MilestoneLog>;

std::shared_ptr<MilestoneLog> MilestoneLog::create(const QUuid &id, const std::shared_ptr<Milestone> &milestone,
                                                   const QDateTime &date, double completionRate, bool didMeetThreshold)
{
    auto log = std::make_shared<MilestoneLog>(Token{});
    log->m_id = id;
    log->m_date = date;
    log->m_completionRate = completionRate;
    log->m_didMeetThreshold = didMeetThreshold;
    if (milestone)
        DailyLogs::setOwner(*log, milestone);
    return log;
}

MilestoneLog::~MilestoneLog() = default;

void MilestoneLog::setMilestone(const std::shared_ptr<Milestone> &milestone)
{
    DailyLogs::setOwner(*this, milestone);
}

RecordTypes MilestoneLog::willBeDeleted(StoreContext &)
{
    return DailyLogs::leaveOwner(*this) ? RecordTypes(RecordType::milestone) : RecordTypes();
}

StoreRecord *MilestoneLog::memberOwner() const
{
    return m_owner.lock().get();
}

void MilestoneLog::didInsert(StoreContext &context)
{
    if (const auto owner = m_owner.lock())
        context.insert(owner);
}

} // namespace ovlin
