#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>

class QWidget;

namespace ovlin {

class CelebrationManager;
class Milestone;
class NotificationCenter;
class Reminder;
class ReminderLog;
class StoreContainer;
class StoreContext;

enum class OvlinTab : int;

// What the shell asks of the status-item controller of the menu bar.
class StatusItemController
{
public:
    virtual ~StatusItemController() = default;
    // Builds the status item, its context menu and its popover.
    virtual void setup() = 0;
    // Lets the popover read `container`.
    virtual void attach(StoreContainer &container) = 0;
    virtual void updateIcon(bool hasOverdue, int overdueCount, double progress) = 0;
};

// What every screen under the root view gets from it: the store, the window's celebration manager, and
// the window's reminder editor (a screen asks; the window opens the sheet).
struct ScreenEnvironment
{
    StoreContext *modelContext = nullptr;
    CelebrationManager *celebrationManager = nullptr;
    std::function<void()> requestNewHabit;
    std::function<void(const std::shared_ptr<Reminder> &)> requestEdit;
};

// The neighbours the shell drives. live() reaches the real services; tests replace single entries with
// fakes. Every entry is called on the main thread.
struct ShellServices
{
    using Reminders = QList<std::shared_ptr<Reminder>>;
    using Logs = QList<std::shared_ptr<ReminderLog>>;
    using Milestones = QList<std::shared_ptr<Milestone>>;

    // Launch sequence
    std::function<void()> applyLightAppearance;
    std::function<void()> initializeAnalytics;
    std::function<void(const QString &signalName)> sendSignal;
    std::function<NotificationCenter *()> notificationCenter;
    // Null when this build has no menu-bar item.
    std::function<std::unique_ptr<StatusItemController>()> makeMenuBarController;
    std::function<void(StoreContainer &)> startPresentation;

    // Whether Ovlin is frontmost: one of its windows has the keyboard focus (then the desktop shows none
    // of its notifications).
    std::function<bool()> isApplicationActive;

    // Launch task and the root view's store observers
    std::function<void(const Reminders &)> rescheduleAll;
    // Each reminder's own pending notifications planned afresh (the quiet hours changed); nothing else
    // pending is touched.
    std::function<void(const Reminders &)> scheduleReminders;
    std::function<void(const Milestones &, const Reminders &, const Logs &, StoreContext &, bool notify)>
        evaluateMilestones;
    std::function<void(const Reminders &, const Logs &, const Milestones &)> updateMenuBarMirror;
    std::function<bool(const Reminder &, const QDateTime &)> isOverdue;

    // Screens: the screen of a tab, and the reminder editor (none: create mode). The editor calls
    // `dismiss` when it is done; the shell then closes its sheet.
    std::function<QWidget *(OvlinTab, const ScreenEnvironment &)> makeScreen;
    std::function<QWidget *(const ScreenEnvironment &, const std::shared_ptr<Reminder> &existing,
                            std::function<void()> dismiss)>
        makeReminderForm;

    static std::shared_ptr<ShellServices> live();
};

} // namespace ovlin
