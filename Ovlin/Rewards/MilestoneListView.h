#pragma once

#include "Rewards/MilestoneFormView.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

class QScrollArea;
class QVBoxLayout;

namespace ovlin {

class EmptyState;
class ImageFileChooser;
class Milestone;
class MilestoneCard;
class MilestoneListViewModel;
class OvlinButton;
class OvlinConfirmationDialog;
class OvlinConfirmationOverlay;
class StoreContainer;
class StoreContext;
template <class T> class LiveQuery;

// The rewards tab: a header card (title, subtitle, the Active / Earned / Missed counters and "New reward"),
// the running rewards as full cards (or an empty state), and the earned rewards as rows of one card. Missed
// rewards are only counted. The editor opens as a window-modal sheet; deleting asks first in an in-window
// confirmation over a light scrim.
//
// The shell gives it the store context (setModelContext); each time the screen is shown its view model gets
// that context and the current query result, and every later change of the result is passed on. Sections
// are rebuilt after the change that caused them, never inside a control's own handler. Main thread only.
class MilestoneListView : public QWidget
{
    Q_OBJECT
public:
    explicit MilestoneListView(QWidget *parent = nullptr);
    explicit MilestoneListView(StoreContext *context, QWidget *parent = nullptr);
    ~MilestoneListView() override;

    // The store context of the window (the screen's environment).
    void setModelContext(StoreContext *context);
    StoreContext *modelContext() const { return m_environmentContext.data(); }
    MilestoneListViewModel *viewModel() const { return m_viewModel; }

    // Handed to every editor the screen opens (defaults: the file dialog and analytics).
    void setImageChooser(std::shared_ptr<ImageFileChooser> chooser);
    void setSignalSender(MilestoneFormView::SignalSender sender);

    // Interaction state.
    bool showingAddSheet() const { return m_showingAddSheet; }
    std::shared_ptr<Milestone> editingMilestone() const { return m_editingMilestone; }
    std::shared_ptr<Milestone> milestonePendingDelete() const { return m_milestonePendingDelete; }
    // The open editor, if any.
    MilestoneFormView *presentedEditor() const { return m_editor.data(); }

    // What the controls do.
    void showAddSheet();
    void editMilestone(const std::shared_ptr<Milestone> &milestone);
    void requestDelete(const std::shared_ptr<Milestone> &milestone);
    void cancelDelete();
    void confirmDelete();

    // Hands the view model the context and the query result (done each time the screen is shown).
    void configureViewModel();
    // Builds the sections again from the view model now (a new empty-state phrase included).
    void rebuild();

    // What the screen shows, as of the last build.
    OvlinButton *newRewardButton() const { return m_newRewardButton; }
    // Counter values in order: Active, Earned, Missed.
    QList<int> counterValues() const;
    EmptyState *emptyState() const;
    QList<MilestoneCard *> cards() const;
    bool showsEarnedSection() const { return !m_earnedRows.isEmpty(); }
    QString earnedSectionTitle() const { return m_earnedTitle; }
    int earnedRowCount() const { return int(m_earnedRows.size()); }
    std::shared_ptr<Milestone> earnedRowMilestone(int index) const;
    bool earnedRowHasDivider(int index) const;
    bool earnedRowShowsPicture(int index) const;
    QString earnedRowDaysText(int index) const;
    OvlinConfirmationDialog *deleteDialog() const;
    // 0 ... 1: how far the confirmation and its scrim have come in (0 when none is on screen).
    double deleteOverlayPresence() const;
    bool deleteOverlayVisible() const;

    class EarnedRow;

Q_SIGNALS:
    // An editor sheet was opened (after it was given the context and the services).
    void editorPresented(ovlin::MilestoneFormView *editor);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void init(StoreContext *context);
    QWidget *buildHeaderCard();
    void onMilestonesChange();
    void contextChanged(int types);
    void scheduleRebuild();
    void rebuildIfNeeded();
    void build(bool force);
    void buildActiveSection();
    void buildEarnedSection();
    void refreshCounters();
    void presentEditor(const std::shared_ptr<Milestone> &milestone);
    void editorFinished();
    void setPendingDelete(const std::shared_ptr<Milestone> &milestone);

    std::unique_ptr<StoreContainer> m_placeholder;
    QPointer<StoreContext> m_environmentContext;
    std::unique_ptr<LiveQuery<Milestone>> m_query;
    QMetaObject::Connection m_contextConnection;
    MilestoneListViewModel *m_viewModel = nullptr;
    std::shared_ptr<ImageFileChooser> m_imageChooser;
    MilestoneFormView::SignalSender m_sendSignal;

    bool m_showingAddSheet = false;
    std::shared_ptr<Milestone> m_editingMilestone;
    std::shared_ptr<Milestone> m_milestonePendingDelete;
    QPointer<MilestoneFormView> m_editor;

    bool m_rebuildScheduled = false;
    QScrollArea *m_scroll = nullptr;
    QWidget *m_content = nullptr;
    QVBoxLayout *m_column = nullptr;
    OvlinButton *m_newRewardButton = nullptr;
    QList<QWidget *> m_pills;
    QWidget *m_activeSection = nullptr;
    QVBoxLayout *m_activeLayout = nullptr;
    QWidget *m_earnedSection = nullptr;
    QVBoxLayout *m_earnedLayout = nullptr;
    QPointer<EmptyState> m_emptyState;
    enum class ActiveKind { none, noRewards, nothingActive, cards };
    ActiveKind m_activeKind = ActiveKind::none;
    QList<Milestone *> m_activeShown;
    QList<Milestone *> m_earnedShown;
    QHash<Milestone *, QPointer<MilestoneCard>> m_cards;
    QList<QPointer<EarnedRow>> m_earnedRows;
    QWidget *m_earnedBlock = nullptr;
    QString m_earnedTitle;
    QPointer<OvlinConfirmationOverlay> m_overlay;
};

} // namespace ovlin
