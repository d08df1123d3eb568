#pragma once

#include "DesignSystem/OvlinCard.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

namespace ovlin {

class ProgressRing;
class Reminder;
class ReminderListViewModel;

namespace today {

// Today's lists, read once per rebuild so every section of one drawing agrees.
struct TodayLists
{
    QList<std::shared_ptr<Reminder>> todays;
    QList<std::shared_ptr<Reminder>> overdue;
    QList<std::shared_ptr<Reminder>> upcoming;
    QList<std::shared_ptr<Reminder>> skipped;
    QList<std::shared_ptr<Reminder>> completed;
    double progress = 0;

    static TodayLists read(const ReminderListViewModel &model);
};

// The card of today's list: a title naming the most pressing state, the count handled, a progress ring,
// the overdue, open and skipped groups, and the completed rows (two until the user asks for all).
class TodayListCard : public OvlinCard
{
    Q_OBJECT
public:
    explicit TodayListCard(QWidget *parent = nullptr);

    // Rebuilds the rows; `toggleExpanded` is what the expand control runs.
    void refresh(ReminderListViewModel *model, const TodayLists &lists, bool showAllCompleted,
                 std::function<void()> toggleExpanded);

    QString title() const;
    // Empty while nothing is completed (the subtitle is then absent).
    QString subtitle() const;
    bool hasProgressBadge() const;
    QString percentText() const;
    ProgressRing *progressRing() const { return m_ring; }

private:
    QWidget *m_title = nullptr;
    QWidget *m_subtitle = nullptr;
    QWidget *m_badge = nullptr;
    ProgressRing *m_ring = nullptr;
    QWidget *m_percent = nullptr;
    // What the previous refresh showed, so only what is new fades in.
    bool m_refreshed = false;
    QSet<QUuid> m_completedIds;
    std::optional<QUuid> m_phraseFor;
};

} // namespace today
} // namespace ovlin
