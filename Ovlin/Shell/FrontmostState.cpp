#include "Shell/FrontmostState.h"

#include "Base/MainThread.h"

#include <QGuiApplication>
#include <QWindow>

namespace ovlin {

namespace {

bool isPopup(const QWindow *window)
{
    const Qt::WindowType type = window->type();
    return type == Qt::Popup || type == Qt::ToolTip;
}

} // namespace

FrontmostState::FrontmostState()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        setParent(app);
        connect(app, &QGuiApplication::focusWindowChanged, this, &FrontmostState::focusWindowChanged);
        connect(app, &QGuiApplication::applicationStateChanged, this, &FrontmostState::update);
        focusWindowChanged(QGuiApplication::focusWindow());
    }
}

FrontmostState &FrontmostState::shared()
{
    // Owned by the application once there is one, so it goes with it.
    static QPointer<FrontmostState> instance;
    if (!instance)
        instance = new FrontmostState;
    return *instance;
}

void FrontmostState::focusWindowChanged(QWindow *window)
{
    if (!window || !isPopup(window)) {
        if (m_lastFocus)
            disconnect(m_lastFocus, nullptr, this, nullptr);
        m_lastFocus = window;
        if (window) {
            connect(window, &QWindow::visibleChanged, this, &FrontmostState::update);
            connect(window, &QWindow::windowStateChanged, this, &FrontmostState::update);
            // Queued: the window is half gone while it says so.
            connect(window, &QObject::destroyed, this, &FrontmostState::update, Qt::QueuedConnection);
        }
    }
    update();
}

void FrontmostState::update()
{
    const bool frontmost = isFrontmost();
    if (frontmost == m_frontmost)
        return;
    m_frontmost = frontmost;
    Q_EMIT frontmostChanged(frontmost);
}

bool FrontmostState::isFrontmost() const
{
    OVLIN_ASSERT_MAIN_THREAD();
    // A closed window is deleted, which clears Qt's focus window without any notice (the pointer here
    // follows it); a hidden one may keep the focus.
    const QWindow *focus = m_lastFocus.data();
    return QGuiApplication::applicationState() == Qt::ApplicationActive && focus && focus->isVisible() &&
           focus->windowState() != Qt::WindowMinimized;
}

} // namespace ovlin
