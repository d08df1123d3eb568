#pragma once

#include "Model/Enums.h"
#include "Platform/StoreContext.h"
#include "ScreenParts/TodayWidgets.h"

#include <QHash>

#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <memory>
#include <optional>

class QScrollArea;

namespace ovlin {

class EmptyState;
class OvlinButton;
class OvlinConfirmationDialog;
class OvlinConfirmationOverlay;
class OvlinSwitch;
class Reminder;
class ReminderListViewModel;
class StoreContainer;
template <class T> class LiveQuery;

// The habits screen: every reminder by category, with counters, a switch to pause or resume each one,
// and Delete (after a confirmation) and Edit buttons. It keeps a live query of the window's reminders and
// pushes it into its own view model when shown and on every change.
//
// The editor is the window's: "New habit" and the empty state's action Q_EMIT newHabitRequested(), a row's
// Edit emits editRequested(reminder).
class HabitListView : public QWidget
{
    Q_OBJECT
public:
    explicit HabitListView(StoreContext *context, QWidget *parent = nullptr);
    ~HabitListView() override;

    // "7:30 AM" (the user's short time format), "Every 45 min", "Combined", or the fallbacks
    // "Fixed time" / "Interval".
    static QString scheduleSummary(const Reminder &reminder);
    // "Every day" when all seven days are there, else the letters Monday to Sunday ("M W F").
    static QString daysSummary(const QList<Weekday> &days);
    static QString weekdayLetter(Weekday day);

    ReminderListViewModel *viewModel() const { return m_viewModel; }
    StoreContext *modelContext() const { return m_context; }

    QList<std::shared_ptr<Reminder>> queriedReminders() const;
    QList<std::shared_ptr<Reminder>> activeReminders() const;
    // The categories that hold at least one habit, in the fixed category order.
    QList<ReminderCategory> activeCategories() const;
    // A category's habits, oldest first.
    QList<std::shared_ptr<Reminder>> habits(ReminderCategory category) const;

    // The delete confirmation: on screen exactly while a reminder is pending.
    std::shared_ptr<Reminder> reminderPendingDelete() const { return m_pendingDelete; }
    void requestDelete(const std::shared_ptr<Reminder> &reminder);
    void cancelDelete();
    void confirmDelete();
    // The confirmation on screen now (null once it was answered, also while it fades out).
    OvlinConfirmationDialog *confirmationDialog() const;
    // The wash over the screen that carries the confirmation.
    QWidget *dimmingLayer() const;

    // Draws a queued change at once (tests and previews).
    void flushPendingRebuild();
    // What a habit row shows, as a key: a row whose key is unchanged keeps its widget.
    static QString habitRowKey(const Reminder &reminder);
    // How many habit rows are built: the list grows as it is scrolled towards its end.
    int rowLimit() const { return m_rowLimit; }
    static constexpr int rowBatch = 60;
    QScrollArea *scrollArea() const { return m_scrollArea; }
    EmptyState *emptyState() const { return m_emptyState; }
    OvlinButton *newHabitButton() const { return m_newHabitButton; }

Q_SIGNALS:
    void newHabitRequested();
    void editRequested(std::shared_ptr<ovlin::Reminder> reminder);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void appear();
    void growRowsIfNeeded();
    void scheduleRebuild();
    void rebuild();
    QWidget *makeHeaderCard();
    QWidget *makeCategorySection(ReminderCategory category);
    QWidget *makeSectionHeader(ReminderCategory category, qsizetype count);
    QWidget *makeHabitRow(const std::shared_ptr<Reminder> &reminder);
    void showConfirmation(bool show);

    QPointer<StoreContext> m_context;
    std::unique_ptr<StoreContainer> m_placeholderStore;
    LiveQuery<Reminder> *m_reminders = nullptr;
    ReminderListViewModel *m_viewModel = nullptr;
    std::shared_ptr<Reminder> m_pendingDelete;
    bool m_rebuildQueued = false;
    int m_rowLimit = rowBatch;
    bool m_rowsCut = false;
    QList<int> m_counts;
    int m_builds = 0;
    today::KeyedWidgets m_sectionItems;
    QHash<int, std::shared_ptr<today::KeyedWidgets>> m_sectionRows;
    // Each habit's switch as last built: a row built again for a flip slides on from its knob.
    QHash<QUuid, QPointer<OvlinSwitch>> m_switches;

    QScrollArea *m_scrollArea = nullptr;
    QWidget *m_content = nullptr;
    QWidget *m_counters = nullptr;
    QWidget *m_sections = nullptr;
    EmptyState *m_emptyState = nullptr;
    OvlinButton *m_newHabitButton = nullptr;
    QPointer<OvlinConfirmationOverlay> m_overlay;
};

} // namespace ovlin
