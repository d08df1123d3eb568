#pragma once

#include "Banners/CelebrationManager.h"
#include "Platform/StoreContext.h"
#include "ScreenParts/TodayWidgets.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QScrollArea;
class QTimer;
class QVBoxLayout;

namespace ovlin {

class EmptyState;
class Milestone;
class Reminder;
class ReminderListViewModel;
class ReminderLog;
class StoreContainer;
template <class T> class LiveQuery;
struct RewardProgress;

namespace today {
class MomentumCard;
class RewardsCard;
class TodayHeaderCard;
class TodayListCard;
} // namespace today

// The today screen ("Home"): the header card with today's counts, today's list (or an empty state), and
// the insights row with the rewards in progress and the momentum of the last week and month.
//
// It keeps live queries of every reminder, log and reward of the window's store and pushes their results
// into its own view model each time it is shown and whenever they change; while shown it refreshes the
// view model's day every 60 seconds. Changes are drawn on the next turn of the event loop (coalesced),
// never from inside the handler of the control that caused them.
//
// The editor for a new reminder belongs to the window: the empty state's "New habit" emits
// newReminderRequested().
class ReminderListView : public QWidget
{
    Q_OBJECT
public:
    enum class RewardFilter { all, nearest };
    static constexpr std::array<RewardFilter, 2> allRewardFilters{RewardFilter::all, RewardFilter::nearest};
    static QString rawValue(RewardFilter filter);
    // Exactly "All" or "Nearest".
    static std::optional<RewardFilter> rewardFilterFromRaw(const QString &raw);

    enum class StatPillStyle { plain, strong, muted };

    static constexpr int refreshIntervalMs = 60000;
    static constexpr int collapsedCompletedLimit = 2;
    static constexpr int maxShownRewards = 4;

    // Texts and numbers the sections show, as functions of what they are made from.
    static const QStringList &headerTips();
    static QString tipOfTheDay(const QDateTime &date);
    // "2026-1-5": year, month and day without leading zeros.
    static QString dayKey(const QDateTime &date);
    static QString todayListTitle(int overdueCount, int skippedCount, int upcomingCount);
    static QString todayListSubtitle(int completedCount, bool showAllCompleted);
    // progress x 100 truncated toward zero, with a percent sign.
    static QString progressPercentText(double progress);
    static QString expandControlTitle(bool showAllCompleted, int completedCount);
    // rate x 100 rounded to the nearest whole number, halves away from zero.
    static qint64 momentumPercent(double rate);
    static QString streakTitle(qint64 streak);
    static QString streakEncouragement(qint64 streak);
    // "All habits", or the linked category's name.
    static QString rewardCategoryText(const Milestone &milestone);
    // requirePercent as a whole percentage in the user's locale.
    static QString thresholdText(double requirePercent);
    static QString rewardSubtitle(const Milestone &milestone, bool achievedLook);

    ReminderListView(StoreContext *context, CelebrationManager *celebrationManager, QWidget *parent = nullptr);
    ~ReminderListView() override;

    ReminderListViewModel *viewModel() const { return m_viewModel; }
    StoreContext *modelContext() const { return m_context; }
    CelebrationManager *celebrationManager() const { return m_celebrationManager; }
    // The window's manager; handed to the view model at each appearance.
    void setCelebrationManager(CelebrationManager *manager);

    // The live queries' current results.
    QList<std::shared_ptr<Reminder>> queriedReminders() const;
    QList<std::shared_ptr<ReminderLog>> queriedLogs() const;
    QList<std::shared_ptr<Milestone>> queriedMilestones() const;

    bool showAllCompleted() const { return m_showAllCompleted; }
    void setShowAllCompleted(bool show);
    RewardFilter rewardFilter() const { return m_rewardFilter; }
    void setRewardFilter(RewardFilter filter);

    // Running and earned rewards, earned first, then newest first.
    QList<std::shared_ptr<Milestone>> rewardItems() const;
    // rewardItems as the selected chip orders it ("Nearest": running ones, closest to done first).
    QList<std::shared_ptr<Milestone>> filteredRewardItems() const;
    // What the rewards card shows: the featured reward and up to three more.
    QList<std::shared_ptr<Milestone>> shownRewards() const;
    RewardProgress rewardProgress(const Milestone &milestone) const;

    // The 60-second refresh: moves the view model's day to the present (and notices a new day). It runs
    // only while the screen is on screen (shown, and its window not minimised); when it comes back the
    // day is refreshed at once.
    void refreshTick();
    QTimer *refreshTimer() const { return m_refreshTimer; }
    // How many rows today's list builds: it grows as the list is scrolled towards its end.
    int rowLimit() const { return m_rowLimit; }
    static constexpr int rowBatch = 60;
    // Draws a queued change at once (tests and previews).
    void flushPendingRebuild();

    // The sections as they are on screen now (null while absent).
    QWidget *headerCard() const;
    QWidget *todayListCard() const;
    EmptyState *emptyState() const { return m_emptyState; }
    QWidget *rewardsCard() const;
    QWidget *momentumCard() const;
    QWidget *insightsRow() const { return m_insightsRow; }
    QScrollArea *scrollArea() const { return m_scrollArea; }

Q_SIGNALS:
    void newReminderRequested();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void appear();
    void updateRefreshTimer(bool hiding);
    void watchWindow();
    void growRowsIfNeeded();
    void scheduleDataRebuild();
    void currentDateDidChange();
    void scheduleRebuild();
    void rebuild();
    void rebuildEmptyState();

    QPointer<StoreContext> m_context;
    QPointer<CelebrationManager> m_celebrationManager;
    std::unique_ptr<StoreContainer> m_placeholderStore;
    LiveQuery<Reminder> *m_reminders = nullptr;
    LiveQuery<ReminderLog> *m_logs = nullptr;
    LiveQuery<Milestone> *m_milestones = nullptr;
    ReminderListViewModel *m_viewModel = nullptr;
    bool m_showAllCompleted = false;
    RewardFilter m_rewardFilter = RewardFilter::all;
    QString m_dayKey;

    QTimer *m_refreshTimer = nullptr;
    bool m_refreshStopped = false;
    QPointer<QWidget> m_watchedWindow;
    bool m_rebuildQueued = false;
    // Something besides the time of day changed since the last build: rewards and momentum are worked
    // out again (a tick within the same day leaves them as they are).
    bool m_dataDirty = true;
    bool m_dateChangePending = false;
    int m_rowLimit = rowBatch;
    bool m_rowsCut = false;
    today::KeyedWidgets m_insights;
    std::optional<bool> m_showedList; // what the previous build showed: the list (true) or the empty state

    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_content = nullptr;
    today::TodayHeaderCard *m_headerCard = nullptr;
    QWidget *m_listSlot = nullptr;
    today::TodayListCard *m_listCard = nullptr;
    QWidget *m_emptyHolder = nullptr;
    EmptyState *m_emptyState = nullptr;
    QWidget *m_insightsRow = nullptr;
    today::RewardsCard *m_rewardsCard = nullptr;
    today::MomentumCard *m_momentumCard = nullptr;
};

} // namespace ovlin
