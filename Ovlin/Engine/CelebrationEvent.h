#pragma once

#include <QString>
#include <QtGlobal>

namespace ovlin {

// One moment worth celebrating: a reward earned, a streak milestone, or every reminder of today done.
// A plain value; only the fields of its own case carry meaning and take part in equality.
struct CelebrationEvent
{
    enum class Kind { milestoneUnlocked, streakMilestone, allDailyDone };

    Kind kind = Kind::allDailyDone;
    QString rewardName;      // milestoneUnlocked: the reward's reward text
    qint64 requiredDays = 0; // milestoneUnlocked: the reward's required consecutive days
    int days = 0;            // streakMilestone: the streak length

    static CelebrationEvent milestoneUnlocked(const QString &rewardName, qint64 requiredDays)
    {
        CelebrationEvent e;
        e.kind = Kind::milestoneUnlocked;
        e.rewardName = rewardName;
        e.requiredDays = requiredDays;
        return e;
    }
    static CelebrationEvent streakMilestone(int days)
    {
        CelebrationEvent e;
        e.kind = Kind::streakMilestone;
        e.days = days;
        return e;
    }
    static CelebrationEvent allDailyDone() { return CelebrationEvent{}; }

    friend bool operator==(const CelebrationEvent &a, const CelebrationEvent &b)
    {
        if (a.kind != b.kind)
            return false;
        switch (a.kind) {
        case Kind::milestoneUnlocked: return a.rewardName == b.rewardName && a.requiredDays == b.requiredDays;
        case Kind::streakMilestone: return a.days == b.days;
        case Kind::allDailyDone: return true;
        }
        return true;
    }
};

} // namespace ovlin
