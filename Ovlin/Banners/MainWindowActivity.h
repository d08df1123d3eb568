#pragma once

#include "Engine/AppActivity.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace ovlin {

// "Active with a visible window" as the banners need it: the app is active and Ovlin's main window is
// visible and not minimised. A visible popover, sheet or floating panel alone does not count: a banner
// published into the window while the window is not on screen would reach nobody.
class MainWindowActivity : public AppActivity
{
public:
    using StateSource = std::function<Qt::ApplicationState()>;

    // `state` defaults to the application's own state; tests pass their own.
    explicit MainWindowActivity(StateSource state = {});

    // The app's one instance, created on first use and kept until exit.
    static MainWindowActivity &shared();

    // The shell registers its main window once it exists. Held weakly: a destroyed window counts as none.
    void setMainWindow(QWidget *window);
    QWidget *mainWindow() const { return m_mainWindow.data(); }

    bool isActiveWithVisibleWindow() const override;

private:
    StateSource m_state;
    QPointer<QWidget> m_mainWindow;
};

} // namespace ovlin
