#pragma once

#include "DesignSystem/OvlinCard.h"
#include "ScreenParts/TodayWidgets.h"

#include <QList>
#include <QPointer>
#include <QSet>
#include <QUuid>

#include <functional>
#include <limits>
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

    // Brings the rows up to date: a row whose reminder shows the same as before keeps its widget.
    // `toggleExpanded` is what the expand control runs. At most `rowLimit` rows are built (the list is
    // built lazily, as far as it has been scrolled); answers whether rows were left out.
    bool refresh(ReminderListViewModel *model, const TodayLists &lists, bool showAllCompleted,
                 std::function<void()> toggleExpanded, int rowLimit = std::numeric_limits<int>::max());

    // What a row of each form shows, as a key: equal keys draw the same row.
    static QString openRowKey(const ReminderListViewModel *model, const Reminder &reminder);
    static QString overdueRowKey(const Reminder &reminder);
    static QString skippedRowKey(const Reminder &reminder);
    static QString completedRowKey(const Reminder &reminder);

    QString title() const;
    // Empty while nothing is completed (the subtitle is then absent).
    QString subtitle() const;
    bool hasProgressBadge() const;
    QString percentText() const;
    ProgressRing *progressRing() const { return m_ring; }

private:
    class RowBudget;

    void updateHeader(const TodayLists &lists, bool showAllCompleted);
    static void appendOverdueGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                   RowBudget &budget);
    static void appendOpenGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                RowBudget &budget, bool fadePhrase);
    static void appendSkippedGroup(QList<KeyedItem> &items, ReminderListViewModel *model, const TodayLists &lists,
                                   RowBudget &budget);
    KeyedItem openSectionsItem();
    void appendCompletedRows(QList<KeyedItem> &items, const TodayLists &lists, bool showAllCompleted,
                             RowBudget &budget) const;
    KeyedItem expandItem(const QString &title);
    // What this refresh showed, for the next one to tell what is new.
    void rememberShown(const TodayLists &lists, const std::optional<QUuid> &phraseFor);
    void reconcile(const QList<KeyedItem> &items, const QList<KeyedItem> &sectionItems);

    QWidget *m_title = nullptr;
    QWidget *m_subtitle = nullptr;
    QWidget *m_badge = nullptr;
    ProgressRing *m_ring = nullptr;
    QWidget *m_percent = nullptr;
    KeyedWidgets m_items;    // the card's stack after the header
    KeyedWidgets m_sections; // inside the open sections
    QPointer<QWidget> m_sectionsWidget;
    std::function<void()> m_toggleExpanded;
    // What the previous refresh showed, so only what is new fades in.
    bool m_refreshed = false;
    QSet<QUuid> m_completedIds;
    std::optional<QUuid> m_phraseFor;
};

} // namespace today
} // namespace ovlin
