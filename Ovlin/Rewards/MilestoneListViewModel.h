#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

namespace ovlin {

class Milestone;
class StoreContext;

// The rewards screen's copy of the stored rewards, split by status, and the deletion of one. It never
// fetches: the screen pushes its query result in. Main thread only.
class MilestoneListViewModel : public QObject
{
    Q_OBJECT
public:
    explicit MilestoneListViewModel(StoreContext *modelContext, QObject *parent = nullptr);

    // Deletes go through this context; the screen replaces it when it is shown. Publishes nothing.
    StoreContext *modelContext() const;
    void setModelContext(StoreContext *context);

    // Every stored reward in the screen's order (newest start first). Writing it publishes a change.
    QList<std::shared_ptr<Milestone>> milestones() const;
    void setMilestones(const QList<std::shared_ptr<Milestone>> &milestones);

    // The three lists keep the order of milestones() and together hold each reward exactly once. They are
    // computed on every read from each reward's status text: "achieved" and "failed" exactly; any other
    // text counts as active.
    QList<std::shared_ptr<Milestone>> activeMilestones() const;
    QList<std::shared_ptr<Milestone>> achievedMilestones() const;
    QList<std::shared_ptr<Milestone>> failedMilestones() const;

    // Removes the reward (and its day logs) from the store and saves; a failed save is dropped. The list
    // itself changes when the screen's query reports the removal.
    void delete_(const std::shared_ptr<Milestone> &milestone);

Q_SIGNALS:
    void milestonesChanged();

private:
    enum class Group { active, achieved, failed };
    static Group groupOf(const Milestone &milestone);
    QList<std::shared_ptr<Milestone>> filtered(Group group) const;

    QPointer<StoreContext> m_modelContext;
    QList<std::shared_ptr<Milestone>> m_milestones;
};

} // namespace ovlin
