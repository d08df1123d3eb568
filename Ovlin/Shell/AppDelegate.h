#pragma once

#include "Engine/NotificationResponder.h"
#include "Platform/Store.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>

class QWidget;

namespace ovlin {

class StatusItemController;
struct ShellServices;

// The windows of the application as the delegate sees them: the main windows that exist, and a way to
// open one.
class WindowScene
{
public:
    virtual ~WindowScene() = default;
    virtual QList<QWidget *> windows() const = 0;
    virtual QWidget *openWindow() = 0;
};

// The application delegate. It opens the one store of the run before any window exists, runs the launch
// sequence, makes its notification responder the centre's delegate (answers go to the scheduler, nothing
// is shown while Ovlin is active), and brings the main window back. Main thread only.
class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // Opens the store (makeContainer()) and uses the real services.
    explicit AppDelegate(QObject *parent = nullptr);
    // Uses the given store and services (tests, previews).
    AppDelegate(std::unique_ptr<StoreContainer> container, std::shared_ptr<ShellServices> services,
                QObject *parent = nullptr);
    ~AppDelegate() override;

    // The application's delegate: the first one created that still exists, or null.
    static AppDelegate *current();

    // The store of the whole run; never null.
    StoreContainer *sharedContainer() const { return m_sharedContainer.get(); }
    // The menu-bar item, once the launch sequence created it.
    StatusItemController *menuBarController() const { return m_menuBarController.get(); }
    std::shared_ptr<ShellServices> services() const { return m_services; }

    // The scene whose windows showMainWindow() brings forward. Not owned.
    void setWindowScene(WindowScene *scene) { m_scene = scene; }

    // Launching has finished: appearance, analytics and "app.launched", the notification centre's
    // delegate, the menu-bar item, the presentation loop. Runs once; later calls do nothing. From then
    // on a change of the quiet hours plans every reminder's notifications again.
    // The light appearance, once; the launch sequence's first step, also taken ahead of it so that the
    // first window is drawn in it.
    void applyAppearance();
    void applicationDidFinishLaunching();
    bool hasFinishedLaunching() const { return m_launched; }
    // Ovlin was launched again while running. Brings the main window back when none is visible;
    // always answers true.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The application is quitting: changes still waiting for the store are saved, waiting up to `budget`
    // for another program's lock. Runs when the event loop ends.
    void applicationWillTerminate(std::chrono::milliseconds budget = unsavedChangesQuitBudget);
    // Closing the last window leaves the application running with its menu-bar item.
    bool applicationShouldTerminateAfterLastWindowClosed() const { return false; }
    // Brings every main window to the front, opening one when there is none.
    void showMainWindow();
    // Raises `window` with the sheets over it and activates the topmost.
    static void bringToFront(QWidget *window);

    // What the main window must tell the user about the store: set when Ovlin runs on the recovery
    // store or in memory, or while its file is removed or replaced by another program (nothing is saved
    // then); empty otherwise.
    QString storeNotice() const;
    // The notice of how the store was opened.
    void setStoreNotice(const QString &notice);
    // The notice for `store` as opened by makeContainer(applicationSupport).
    static QString storeNoticeFor(const StoreContainer &store, const QString &applicationSupport);
    // The notice while the file of `store` (or its write-ahead log, then named) is not the one it opened.
    static QString lostStoreNoticeFor(const StoreContainer &store);

    // How long a store that another program holds locked is tried again before the next candidate.
    static constexpr std::chrono::milliseconds lockedStoreRetryBudget{10000};
    // How long quitting waits for such a lock to write what is still unsaved.
    static constexpr std::chrono::milliseconds unsavedChangesQuitBudget{5000};

    // The notification centre's delegate once launching has finished.
    NotificationResponder *notificationResponder() const { return m_responder; }

    // Opens the store under dataFolder(): the first candidate that opens wins, every
    // failure is logged, and when all fail a memory-only store is used. Ends the program only when
    // even that fails. Never copies, moves, truncates or deletes a store file.
    static std::unique_ptr<StoreContainer> makeContainer();
    // The same under a given Application Support folder; a locked candidate is tried again for up to
    // `lockedRetryBudget`.
    static std::unique_ptr<StoreContainer>
    makeContainer(const QString &applicationSupport,
                  std::chrono::milliseconds lockedRetryBudget = lockedStoreRetryBudget);

    // `locations` (store file paths) without those already in `seenPaths`, in order; each path kept
    // is added to `seenPaths` before the next is looked at.
    static QStringList storeCandidates(const QStringList &locations, QSet<QString> &seenPaths);

    // $XDG_DATA_HOME (the generic data folder), or ~/.local/share when none is known.
    static QString dataFolder();

Q_SIGNALS:
    void storeNoticeChanged(const QString &notice);

private:
    void quietHoursChanged(const QString &key);

    std::unique_ptr<StoreContainer> m_sharedContainer;
    // Declared after the store so that it goes first: its popover reads the store.
    std::unique_ptr<StatusItemController> m_menuBarController;
    std::shared_ptr<ShellServices> m_services;
    NotificationResponder *m_responder = nullptr;
    WindowScene *m_scene = nullptr;
    QString m_storeNotice;
    bool m_storeLost = false;
    bool m_launched = false;
    bool m_appearanceApplied = false;
    bool m_quietHoursPlanPending = false;
};

} // namespace ovlin
