#pragma once

#include "Platform/LiveQuery.h"
#include "ScreenParts/TodayWidgets.h"

#include <QColor>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QScrollArea;
class QVBoxLayout;

namespace ovlin {

class Milestone;
class ProgressRing;
class Reminder;
class ReminderListViewModel;
class ReminderLog;
class StoreContext;

// The status item's popover: a header with today's completion ring and "Open app", then today's
// reminders with check-off, Skip, Done and Undo and the first running reward, or an empty state, or
// the all-done section. 320 pixels wide; its height follows its content.
//
// It reads every reminder, log and reward of the store and redraws whenever the store changes,
// whoever changed it. Its own ReminderListViewModel (never given a celebration manager, never asked for
// a completion phrase) is created on its first appearance and fed the three lists whenever their
// signature (refreshKey) changes; every action goes through that model into the store. Main thread only.
class MenuBarPopoverView : public QWidget
{
    Q_OBJECT

public:
    enum class MainArea { loading, nothingToday, allDone, list };

    MenuBarPopoverView(StoreContext *context, std::function<void()> onOpenMainWindow = {}, QWidget *parent = nullptr);
    ~MenuBarPopoverView() override;

    // The model behind the rows; null until the popover first comes on screen.
    ReminderListViewModel *viewModel() const { return m_viewModel.get(); }

    // What the popover shows right now.
    MainArea mainArea() const { return m_mainArea; }
    // Today's completed share (0 with nothing due today), from the model.
    double progress() const;
    QColor ringColor() const;
    // The rewards in store order whose status text is neither "achieved" nor "failed".
    QList<std::shared_ptr<Milestone>> activeMilestones() const;
    // "Today's completion: <n>%", n the share in whole percent cut toward zero.
    QString progressAccessibilityLabel() const;

    // Signatures of everything pushed into the model; the model is fed again whenever the key changes.
    QString refreshKey() const;
    static QString reminderSignature(const Reminder &reminder);
    static QString logSignature(const ReminderLog &log);
    static QString milestoneSignature(const Milestone &milestone);
    // Seconds since 1970 as the shortest decimal text that reads back as the same double ("12.0").
    static QString secondsText(double seconds);

    // Row actions. `markDone` is the check-off button: nothing when the row was drawn completed.
    void markDone(const std::shared_ptr<Reminder> &reminder, bool rowWasCompleted);
    void completeReminder(const std::shared_ptr<Reminder> &reminder);
    void skipReminder(const std::shared_ptr<Reminder> &reminder);
    void undoReminder(const std::shared_ptr<Reminder> &reminder);
    // The header's "Open app".
    void openMainWindow();

    // The status word of a row: "completed", "overdue", "skipped" or "pending".
    static QString statusWord(bool completed, bool overdue, bool skipped);
    // What a row shows, as a key: a row whose key is unchanged keeps its widget.
    static QString rowKey(const Reminder &reminder, bool completed, bool overdue, bool skipped);
    // Rows built at most: more than a popover 480 high shows even when scrolled far.
    static constexpr int rowLimit = 200;

    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

Q_SIGNALS:
    // The model was fed the three lists.
    void viewModelSynced();
    // The content was built again from the store and the model.
    void redrawn();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void makeQueries() const;
    const LiveQuery<Reminder> &reminderQuery() const;
    const LiveQuery<ReminderLog> &logQuery() const;
    const LiveQuery<Milestone> &milestoneQuery() const;
    void ensureViewModel();
    void syncViewModel();
    void scheduleRedraw();
    void redraw();
    void buildHeader();
    void updateHeader();
    QWidget *buildMainArea();
    QWidget *buildNothingToday();
    QWidget *buildAllDone(const QList<std::shared_ptr<Milestone>> &active);
    QWidget *buildList(const QList<std::shared_ptr<Milestone>> &active);
    void updateList(const QList<std::shared_ptr<Milestone>> &active);
    QWidget *buildRewardRow(const std::shared_ptr<Milestone> &milestone);
    QWidget *buildReminderRow(const std::shared_ptr<Reminder> &reminder, bool completed, bool overdue, bool skipped);
    void replaceMainArea(QWidget *area);

    QPointer<StoreContext> m_context;
    std::function<void()> m_onOpenMainWindow;
    // Made on first use, dropped while the popover is closed.
    mutable std::unique_ptr<LiveQuery<Reminder>> m_reminders;
    mutable std::unique_ptr<LiveQuery<ReminderLog>> m_logs;
    mutable std::unique_ptr<LiveQuery<Milestone>> m_milestones;
    std::unique_ptr<ReminderListViewModel> m_viewModel;

    QString m_lastKey;
    bool m_redrawPending = false;
    bool m_dirty = true;
    MainArea m_mainArea = MainArea::loading;

    QVBoxLayout *m_layout;
    QWidget *m_loading = nullptr;
    QWidget *m_header = nullptr;
    QWidget *m_divider = nullptr;
    ProgressRing *m_ring = nullptr;
    QColor m_ringColor;
    QWidget *m_mainAreaWidget = nullptr;
    QPointer<QWidget> m_listContent;
    QPointer<QWidget> m_todaySection;
    today::KeyedWidgets m_listItems;
    today::KeyedWidgets m_rowItems;
    quint64 m_redraws = 0;
};

} // namespace ovlin
