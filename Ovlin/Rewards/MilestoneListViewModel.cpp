#include "Rewards/MilestoneListViewModel.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Model/Enums.h"
#include "Model/Milestone.h"
#include "Platform/StoreContext.h"

namespace ovlin {

MilestoneListViewModel::MilestoneListViewModel(StoreContext *modelContext, QObject *parent)
    : QObject(parent), m_modelContext(modelContext)
{
    OVLIN_ASSERT_MAIN_THREAD();
}

StoreContext *MilestoneListViewModel::modelContext() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_modelContext.data();
}

void MilestoneListViewModel::setModelContext(StoreContext *context)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_modelContext = context;
}

QList<std::shared_ptr<Milestone>> MilestoneListViewModel::milestones() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    return m_milestones;
}

void MilestoneListViewModel::setMilestones(const QList<std::shared_ptr<Milestone>> &milestones)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_milestones = milestones;
    Q_EMIT milestonesChanged();
}

MilestoneListViewModel::Group MilestoneListViewModel::groupOf(const Milestone &milestone)
{
    const QString raw = milestone.statusRaw();
    if (raw == rawValue(MilestoneStatus::achieved))
        return Group::achieved;
    if (raw == rawValue(MilestoneStatus::failed))
        return Group::failed;
    return Group::active;
}

QList<std::shared_ptr<Milestone>> MilestoneListViewModel::filtered(Group group) const
{
    OVLIN_ASSERT_MAIN_THREAD();
    QList<std::shared_ptr<Milestone>> result;
    for (const auto &milestone : m_milestones) {
        if (milestone && groupOf(*milestone) == group)
            result.append(milestone);
    }
    return result;
}

QList<std::shared_ptr<Milestone>> MilestoneListViewModel::activeMilestones() const
{
    return filtered(Group::active);
}

QList<std::shared_ptr<Milestone>> MilestoneListViewModel::achievedMilestones() const
{
    return filtered(Group::achieved);
}

QList<std::shared_ptr<Milestone>> MilestoneListViewModel::failedMilestones() const
{
    return filtered(Group::failed);
}

void MilestoneListViewModel::delete_(const std::shared_ptr<Milestone> &milestone)
{
    OVLIN_ASSERT_MAIN_THREAD();
    StoreContext *context = m_modelContext.data();
    if (!milestone || !context)
        return;
    context->remove(milestone);
    QString error;
    if (!context->save(&error))
        qCDebug(lcUi) << "saving after deleting a reward failed:" << error;
}

} // namespace ovlin
