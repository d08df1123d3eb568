#include "Banners/MainWindowActivity.h"

#include "Base/MainThread.h"

#include <QGuiApplication>

namespace ovlin {

MainWindowActivity::MainWindowActivity(StateSource state) : m_state(std::move(state))
{
}

MainWindowActivity &MainWindowActivity::shared()
{
    static MainWindowActivity *instance = new MainWindowActivity;
    return *instance;
}

void MainWindowActivity::setMainWindow(QWidget *window)
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_mainWindow = window;
}

bool MainWindowActivity::isActiveWithVisibleWindow() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    const Qt::ApplicationState state = m_state ? m_state() : QGuiApplication::applicationState();
    if (state != Qt::ApplicationActive || !m_mainWindow)
        return false;
    const QWidget *window = m_mainWindow->window();
    return window->isVisible() && !window->isMinimized();
}

} // namespace ovlin
