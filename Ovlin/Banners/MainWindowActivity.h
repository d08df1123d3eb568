#pragma once

#include "Engine/AppActivity.h"

#include <QPointer>
#include <QWidget>

#include <functional>

namespace ovlin {

// "Active with a visible window" as the banners need it: Ovlin is frontmost and its main window is
// visible and not minimised. A visible popover, sheet or floating panel alone does not count: a banner
// published into the window while the window is not on screen would reach nobody.
class MainWindowActivity : public AppActivity
{
public:
    // Whether one of Ovlin's windows has the keyboard focus. Qt's application state does not tell: it
    // stays "active" once a popup or a closed window had the focus.
    using FrontmostSource = std::function<bool()>;

    explicit MainWindowActivity(FrontmostSource frontmost = {});

    // The app's one instance, created on first use and kept until exit.
    static MainWindowActivity &shared();

    // The shell gives the answer that also holds its notifications back, so banners and notifications
    // agree. Without one, Ovlin never counts as frontmost and banners float.
    void setFrontmostSource(FrontmostSource frontmost);

    // The shell registers its main window once it exists. Held weakly: a destroyed window counts as none.
    void setMainWindow(QWidget *window);
    QWidget *mainWindow() const { return m_mainWindow.data(); }

    bool isActiveWithVisibleWindow() const override;

private:
    FrontmostSource m_frontmost;
    QPointer<QWidget> m_mainWindow;
};

} // namespace ovlin
