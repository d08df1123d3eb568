#pragma once

#include "Banners/CelebrationTimerSource.h"
#include "Engine/CelebrationEvent.h"

#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QUuid>

#include <array>
#include <memory>
#include <optional>

namespace ovlin {

class CopyEngine;
class Milestone;
class Reminder;

// Decides which moments a check-off earned, queues them and puts them on screen one at a time, each with
// a phrase from the copy engine. One per main window; it keeps nothing on disk. Main thread only.
class CelebrationManager final : public QObject
{
    Q_OBJECT
public:
    // Streak lengths (days) that are celebrated.
    static constexpr std::array<int, 7> streakMilestones{3, 7, 14, 21, 30, 50, 100};
    // How long a celebration stays without user action, and the gap before the next one.
    static constexpr qint64 displayMs = 5000;
    static constexpr qint64 gapMs = 400;

    explicit CelebrationManager(QObject *parent = nullptr);
    ~CelebrationManager() override;

    // Null restores the application's Clock-driven timers.
    void setTimerSource(std::shared_ptr<CelebrationTimerSource> timers);
    // Null restores CopyEngine::shared(). The engine must outlive the manager.
    void setCopyEngine(CopyEngine *engine);

    const std::optional<CelebrationEvent> &activeEvent() const { return m_activeEvent; }
    // The phrase of the active celebration; kept after dismissal.
    const QString &celebrationCopy() const { return m_celebrationCopy; }
    const QList<CelebrationEvent> &queue() const { return m_queue; }
    const QSet<QUuid> &pendingMilestoneIDs() const { return m_pendingMilestoneIDs; }

    // Remembers which rewards are still open, before they are evaluated again. Replaces the earlier set.
    void recordPendingMilestones(const QList<std::shared_ptr<Milestone>> &milestones);
    // Queues what the check-off earned (rewards that turned achieved, a streak milestone, all done today)
    // and shows the first one if nothing is on screen.
    void checkForCelebrations(const QList<std::shared_ptr<Reminder>> &reminders,
                              const QList<std::shared_ptr<Reminder>> &completedToday,
                              const QList<std::shared_ptr<Milestone>> &milestones, int streak);
    // Takes the active celebration off the screen; the next queued one follows after the gap.
    void dismiss();
    // Shows the first queued event if nothing is on screen (also run by the gap timer).
    void showNext();

    static bool isStreakMilestone(int days);

Q_SIGNALS:
    // Emitted on every assignment, so an observer sees each new card even when the value repeats.
    void activeEventChanged();
    void celebrationCopyChanged();

private:
    CopyEngine &copyEngine() const;

    std::optional<CelebrationEvent> m_activeEvent;
    QString m_celebrationCopy;
    QList<CelebrationEvent> m_queue;
    QSet<QUuid> m_pendingMilestoneIDs;
    std::shared_ptr<CelebrationTimerSource> m_timers;
    CopyEngine *m_copyEngine = nullptr;
};

} // namespace ovlin
