#include "Banners/MainWindowActivity.h"

#include "Base/MainThread.h"

namespace ovlin {

MainWindowActivity::MainWindowActivity(FrontmostSource frontmost) : m_frontmost(std::move(frontmost))
{
}

MainWindowActivity &MainWindowActivity::shared()
{
    static MainWindowActivity *instance = new MainWindowActivity;
    return *instance;
}

void MainWindowActivity::setFrontmostSource(FrontmostSource frontmost)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_frontmost = std::move(frontmost);
}

void MainWindowActivity::setMainWindow(QWidget *window)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_mainWindow = window;
}

bool MainWindowActivity::isActiveWithVisibleWindow() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_frontmost || !m_frontmost() || !m_mainWindow)
        return false;
    const QWidget *window = m_mainWindow->window();
    return window->isVisible() && !window->isMinimized();
}

} // namespace ovlin
