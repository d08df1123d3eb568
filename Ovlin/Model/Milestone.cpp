#include "Model/Milestone.h"

#include "Model/MilestoneLog.h"
#include "Platform/OneToMany.h"

namespace ovlin {

using DailyLogs = detail::OneToMany<Milestone, MilestoneLog>;

std::shared_ptr<Milestone> Milestone::create(const QUuid &id, const QString &name, const QString &reward,
                                             qint64 requireDays, double requirePercent,
                                             const std::optional<ReminderCategory> &linkedCategory,
                                             const QDateTime &startDate, MilestoneStatus status)
{
    auto milestone = std::make_shared<Milestone>(Token{});
    milestone->m_id = id;
    milestone->m_name = name;
    milestone->m_reward = reward;
    milestone->m_requireDays = requireDays;
    milestone->m_requirePercent = requirePercent;
    if (linkedCategory)
        milestone->m_linkedCategoryRaw = rawValue(*linkedCategory);
    milestone->m_startDate = startDate;
    milestone->m_statusRaw = rawValue(status);
    return milestone;
}

Milestone::~Milestone() = default;

void Milestone::setDailyLogs(const QList<std::shared_ptr<MilestoneLog>> &logs)
{
    DailyLogs::setMembers(*this, logs);
}

void Milestone::appendDailyLog(const std::shared_ptr<MilestoneLog> &log)
{
    DailyLogs::append(*this, log);
}

void Milestone::removeDailyLog(const std::shared_ptr<MilestoneLog> &log)
{
    DailyLogs::remove(*this, log);
}

MilestoneStatus Milestone::status() const
{
    return milestoneStatusFromRaw(m_statusRaw).value_or(MilestoneStatus::active);
}

std::optional<ReminderCategory> Milestone::linkedCategory() const
{
    if (!m_linkedCategoryRaw)
        return std::nullopt;
    return reminderCategoryFromRaw(*m_linkedCategoryRaw);
}

void Milestone::setLinkedCategory(const std::optional<ReminderCategory> &category)
{
    setLinkedCategoryRaw(category ? std::optional<QString>(rawValue(*category)) : std::nullopt);
}

RecordTypes Milestone::willBeDeleted(StoreContext &context)
{
    DailyLogs::deleteMembers(*this, context);
    return {};
}

void Milestone::didInsert(StoreContext &context)
{
    for (const auto &log : std::as_const(m_members))
        context.insert(log);
}

} // namespace ovlin
