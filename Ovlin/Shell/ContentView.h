#pragma once

#include "Platform/LiveQuery.h"
#include "Shell/SheetDialog.h"
#include "Shell/ShellServices.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QLabel;
class QVBoxLayout;

namespace ovlin {

class CelebrationManager;
class CelebrationOverlay;
class InAppBannerView;
class Milestone;
class Reminder;
class ReminderLog;
class StoreContext;
class InAppBannerSlot;

// The main window's tabs, in sidebar order.
enum class OvlinTab : int { reminders, habits, milestones, settings };
inline constexpr std::array<OvlinTab, 4> allOvlinTabs{OvlinTab::reminders, OvlinTab::habits, OvlinTab::milestones,
                                                      OvlinTab::settings};
QString tabTitle(OvlinTab tab);
// The symbol drawn beside the title.
QString tabSymbol(OvlinTab tab);

// The main window's content: the sidebar (logo, "New habit", the tab rows) beside the selected tab's
// screen, the in-window reminder banner over the top edge, the celebration overlay over everything, and
// the onboarding and reminder-editor sheets. It owns the window's celebration manager and keeps reward
// evaluation, the menu-bar mirror and the menu-bar icon in step with the store. Main thread only.
class ContentView : public QWidget
{
    Q_OBJECT

public:
    ContentView(StoreContext *modelContext, std::shared_ptr<ShellServices> services, QWidget *parent = nullptr);
    ~ContentView() override;

    StoreContext *modelContext() const { return m_modelContext; }
    CelebrationManager *celebrationManager() const { return m_celebrationManager; }

    OvlinTab selectedTab() const { return m_selectedTab; }
    // Shows the tab's screen, built afresh; choosing the selected tab again changes nothing.
    void selectTab(OvlinTab tab);
    QWidget *currentScreen() const { return m_screen; }

    // A lasting line above the screen, for a store that is not the usual one; empty hides it.
    void setStoreNotice(const QString &text);
    QLabel *storeNotice() const { return m_storeNotice; }

    bool showOnboarding() const { return m_showOnboarding; }
    void setShowOnboarding(bool show);
    bool showNewHabitSheet() const { return m_showNewHabitSheet; }
    void setShowNewHabitSheet(bool show);
    // Opens the reminder editor for an existing reminder.
    void presentReminderEditor(const std::shared_ptr<Reminder> &reminder);

    SheetDialog *onboardingSheet() const { return m_onboardingSheet; }
    SheetDialog *newHabitSheet() const { return m_newHabitSheet; }
    SheetDialog *editorSheet() const { return m_editorSheet; }

    QAbstractButton *tabRow(OvlinTab tab) const;
    QAbstractButton *newHabitButton() const { return m_newHabitButton; }
    QWidget *sidebar() const { return m_sidebar; }
    QWidget *tabContent() const { return m_tabContent; }
    // The banner on screen (not one that is leaving), or null.
    InAppBannerView *bannerView() const;
    CelebrationOverlay *celebrationOverlay() const { return m_celebrationOverlay; }

    // Re-evaluates the rewards that are not yet earned or lost.
    void evaluateMilestones(bool notify);
    // Copies the stored reminders, logs and rewards into the menu-bar mirror.
    void syncMenuBarMirror();
    // Recomputes today's progress and overdue count and redraws the menu-bar icon.
    void refreshMenuBarIcon();
    // Runs when the view first comes on screen.
    void appearTask();
    // Holds the first appearance's work (the appear task and appeared()) back until the window has been
    // drawn on screen, and runs `beforeAppearance` first. Set before the view is shown.
    void deferFirstAppearance(std::function<void()> beforeAppearance);

Q_SIGNALS:
    // The view came on screen for the first time.
    void appeared();

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void firstAppearance();
    void buildSidebar();
    void updateTabRows();
    void onRemindersOrLogsChange();
    void onMilestonesChange();
    void onOnboardingFlagChange();
    void syncSheets();
    void updateBanner();
    void placeOverlays();
    ScreenEnvironment environment() const;
    QWidget *makeScreen(OvlinTab tab) const;
    SheetDialog *presentEditorSheet(const std::shared_ptr<Reminder> &existing, std::function<void()> onDone);

    StoreContext *m_modelContext;
    std::shared_ptr<ShellServices> m_services;
    LiveQuery<Milestone> *m_allMilestones;
    LiveQuery<Reminder> *m_allReminders;
    LiveQuery<ReminderLog> *m_allLogs;
    OvlinTab m_selectedTab = OvlinTab::reminders;
    bool m_showOnboarding = false;
    bool m_showNewHabitSheet = false;
    bool m_appeared = false;
    bool m_deferAppearance = false;
    bool m_appearanceQueued = false;
    std::function<void()> m_beforeAppearance;
    CelebrationManager *m_celebrationManager;

    QWidget *m_sidebar = nullptr;
    QAbstractButton *m_newHabitButton = nullptr;
    std::array<QAbstractButton *, 4> m_tabRows{};
    QWidget *m_tabContent = nullptr;
    QVBoxLayout *m_tabLayout = nullptr;
    QPointer<QWidget> m_screen;
    QLabel *m_storeNotice = nullptr;
    QPointer<InAppBannerSlot> m_bannerSlot;
    // Every banner on screen, those leaving included.
    QList<QPointer<InAppBannerSlot>> m_bannerSlots;
    CelebrationOverlay *m_celebrationOverlay = nullptr;
    QPointer<SheetDialog> m_onboardingSheet;
    QPointer<SheetDialog> m_newHabitSheet;
    QPointer<SheetDialog> m_editorSheet;
};

} // namespace ovlin
