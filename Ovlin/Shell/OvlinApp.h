#pragma once

#include "Shell/AppDelegate.h"
#include "Shell/ContentView.h"

#include <QObject>
#include <QPalette>
#include <QPointer>

#include <memory>

namespace ovlin {

class QuitCommand;

// The application: its delegate, created first (which opens the store), and its one main window, whose
// content is a ContentView. Closing the window ends neither the application nor the delegate; the next
// reopen opens a new window. Main thread only.
class OvlinApp : public QObject, public WindowScene
{
    Q_OBJECT

public:
    // Creates the delegate with the real store and services.
    explicit OvlinApp(QObject *parent = nullptr);
    // Uses a delegate made elsewhere (tests).
    explicit OvlinApp(std::unique_ptr<AppDelegate> delegate, QObject *parent = nullptr);
    ~OvlinApp() override;

    AppDelegate *appDelegate() const { return m_delegate.get(); }
    ContentView *mainWindow() const { return m_window.data(); }
    // Ctrl+Q in any of Ovlin's windows; closing the window alone keeps Ovlin running.
    QuitCommand *quitCommand() const { return m_quitCommand; }

    // Launching has finished: the main window in the light appearance, then, once it is on screen, the
    // rest of the delegate's launch sequence and the window's appear and launch tasks.
    void start();

    QList<QWidget *> windows() const override;
    // The main window, opened (and shown) when there is none.
    QWidget *openWindow() override;

    // Someone launched Ovlin again while it runs.
    void handleReopen();

    // Asks for permission to notify, then has every reminder's notifications scheduled afresh.
    void launchTask();

    // The Fusion style with the fixed light palette, whatever the desktop's theme.
    static void applyLightAppearance();
    static QPalette lightPalette();

    static constexpr int minimumWidth = 700;
    static constexpr int minimumHeight = 520;
    static constexpr int idealWidth = 860;
    static constexpr int idealHeight = 620;

private:
    std::unique_ptr<AppDelegate> m_delegate;
    QuitCommand *m_quitCommand;
    QPointer<ContentView> m_window;
    bool m_startPending = false;
};

} // namespace ovlin
