#include "Banners/CelebrationManager.h"

#include "Base/MainThread.h"
#include "Copy/CopyEngine.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"

#include <algorithm>

namespace ovlin {

namespace {

CopyTrigger triggerFor(const CelebrationEvent &event)
{
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked: return CopyTrigger::celebrationMilestoneUnlocked;
    case CelebrationEvent::Kind::streakMilestone: return CopyTrigger::celebrationStreakMilestone;
    case CelebrationEvent::Kind::allDailyDone: return CopyTrigger::celebrationAllDailyDone;
    }
    return CopyTrigger::celebrationAllDailyDone;
}

CopyContext contextFor(const CelebrationEvent &event)
{
    CopyContext context;
    switch (event.kind) {
    case CelebrationEvent::Kind::milestoneUnlocked:
        context.rewardName = event.rewardName;
        context.required = event.requiredDays;
        break;
    case CelebrationEvent::Kind::streakMilestone: context.streakCount = event.days; break;
    case CelebrationEvent::Kind::allDailyDone: break;
    }
    return context;
}

} // namespace

CelebrationManager::CelebrationManager(QObject *parent) : QObject(parent), m_timers(ClockTimerSource::shared())
{
    OVLIN_ASSERT_MAIN_THREAD();
}

CelebrationManager::~CelebrationManager() = default;

void CelebrationManager::setTimerSource(std::shared_ptr<CelebrationTimerSource> timers)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_timers = timers ? std::move(timers) : ClockTimerSource::shared();
}

void CelebrationManager::setCopyEngine(CopyEngine *engine)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_copyEngine = engine;
}

CopyEngine &CelebrationManager::copyEngine() const
{
    return m_copyEngine ? *m_copyEngine : CopyEngine::shared();
}

bool CelebrationManager::isStreakMilestone(int days)
{
    return std::find(streakMilestones.begin(), streakMilestones.end(), days) != streakMilestones.end();
}

void CelebrationManager::recordPendingMilestones(const QList<std::shared_ptr<Milestone>> &milestones)
{
    OVLIN_ASSERT_MAIN_THREAD();
    QSet<QUuid> pending;
    for (const auto &milestone : milestones) {
        // Unrecognised status texts read as active.
        if (milestone && milestone->status() == MilestoneStatus::active)
            pending.insert(milestone->id());
    }
    m_pendingMilestoneIDs = std::move(pending);
}

void CelebrationManager::checkForCelebrations(const QList<std::shared_ptr<Reminder>> &reminders,
                                              const QList<std::shared_ptr<Reminder>> &completedToday,
                                              const QList<std::shared_ptr<Milestone>> &milestones, int streak)
{
    OVLIN_ASSERT_MAIN_THREAD();
    bool rewardQueued = false;
    for (const auto &milestone : milestones) {
        if (!milestone)
            continue;
        // Only the exact text counts as achieved; anything unrecognised is still open.
        if (milestone->statusRaw() == rawValue(MilestoneStatus::achieved) &&
            m_pendingMilestoneIDs.contains(milestone->id())) {
            m_queue.append(CelebrationEvent::milestoneUnlocked(milestone->reward(), milestone->requireDays()));
            rewardQueued = true;
        }
    }
    m_pendingMilestoneIDs.clear();

    if (isStreakMilestone(streak))
        m_queue.append(CelebrationEvent::streakMilestone(streak));

    if (!rewardQueued) {
        const auto scheduledToday = std::count_if(reminders.begin(), reminders.end(), [](const auto &reminder) {
            return reminder && reminder->isActive() && reminder->isScheduledToday();
        });
        // Only the counts are compared, as the caller hands over today's completed reminders.
        if (scheduledToday > 0 && completedToday.size() >= scheduledToday)
            m_queue.append(CelebrationEvent::allDailyDone());
    }

    showNext();
}

void CelebrationManager::showNext()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_activeEvent || m_queue.isEmpty())
        return;
    const CelebrationEvent event = m_queue.takeFirst();

    // Filled, picked without repeating the trigger's last phrase, and recorded as shown.
    const QString phrase = copyEngine().text(triggerFor(event), contextFor(event));

    // The phrase first, so a new card never shows the previous one.
    m_celebrationCopy = phrase;
    Q_EMIT celebrationCopyChanged();
    m_activeEvent = event;
    Q_EMIT activeEventChanged();

    m_timers->start(displayMs, this, [this, event] {
        // A timer of an earlier card may meet an equal event that came after it; it dismisses that too.
        if (m_activeEvent && *m_activeEvent == event)
            dismiss();
    });
}

void CelebrationManager::dismiss()
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_activeEvent.reset();
    Q_EMIT activeEventChanged();
    m_timers->start(gapMs, this, [this] { showNext(); });
}

} // namespace ovlin
