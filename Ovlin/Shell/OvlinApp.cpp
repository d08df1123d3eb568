#include "Shell/OvlinApp.h"

#include "Analytics/ApplicationEvents.h"
#include "Banners/MainWindowActivity.h"
#include "Base/Defaults.h"
#include "Base/Log.h"
#include "Base/MainThread.h"
#include "DesignSystem/ImageAssets.h"
#include "DesignSystem/OvlinStyle.h"
#include "DesignSystem/ThemeColors.h"
#include "Model/Reminder.h"
#include "Platform/NotificationCenter.h"
#include "Shell/ContentView.h"
#include "Shell/FrontmostState.h"
#include "Shell/QuitCommand.h"
#include "Shell/ShellServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <chrono>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace ovlin {

namespace {

// Keeps a new window, title bar included, inside its screen's free area, down to its minimum size. The
// window manager's frame is known only once the window is on screen (under X11 after it is mapped).
class ScreenFit : public QObject
{
public:
    explicit ScreenFit(QWidget *window) : QObject(window), m_window(window)
    {
        if (QWindow *handle = window->windowHandle())
            handle->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Expose && static_cast<QWindow *>(watched)->isExposed()) {
            watched->removeEventFilter(this);
            fit();
            deleteLater();
        }
        return false;
    }

private:
    void fit()
    {
        const QWindow *handle = m_window->windowHandle();
        const QScreen *screen = handle ? handle->screen() : nullptr;
        if (!screen)
            return;
        const QRect available = screen->availableGeometry();
        const QMargins frame = handle->frameMargins();
        const QSize decorations(frame.left() + frame.right(), frame.top() + frame.bottom());
        const QSize size =
            m_window->size().boundedTo(available.size() - decorations).expandedTo(m_window->minimumSize());
        if (size != m_window->size())
            m_window->resize(size);
        // The frame's top-left corner, moved in so the whole frame is on the screen where it can be.
        const QSize outer = size + decorations;
        const QPoint corner = m_window->frameGeometry().topLeft();
        const QPoint inside(
            std::clamp(corner.x(), available.left(), std::max(available.left(), available.right() + 1 - outer.width())),
            std::clamp(corner.y(), available.top(),
                       std::max(available.top(), available.bottom() + 1 - outer.height())));
        if (inside != corner)
            m_window->move(inside);
    }

    QWidget *m_window;
};

} // namespace

OvlinApp::OvlinApp(QObject *parent) : OvlinApp(std::make_unique<AppDelegate>(), parent)
{
}

OvlinApp::OvlinApp(std::unique_ptr<AppDelegate> delegate, QObject *parent)
    : QObject(parent), m_delegate(std::move(delegate)), m_quitCommand(new QuitCommand({}, this))
{
    OVLIN_ASSERT_MAIN_THREAD();
    m_delegate->setWindowScene(this);
    connect(m_delegate.get(), &AppDelegate::storeNoticeChanged, this, [this](const QString &notice) {
        if (m_window)
            m_window->setStoreNotice(notice);
    });
    // The analytics client has no GUI of its own: it learns about activity from here. Active is what
    // holds notifications back too: one of Ovlin's windows has the focus. It hears the state at start
    // as well: a run that starts without the focus (focus-stealing prevention, a click elsewhere) must
    // not count as active until the first focus change.
    if (qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        const auto report = [](bool frontmost) {
            if (frontmost)
                analytics::ApplicationEvents::notifyWillBecomeActive();
            else
                analytics::ApplicationEvents::notifyDidResignActive();
        };
        connect(&FrontmostState::shared(), &FrontmostState::frontmostChanged, this, report);
        report(FrontmostState::shared().isFrontmost());
    }
}

OvlinApp::~OvlinApp()
{
    // Going away is not a window closed early: nothing is launched on the way out.
    if (m_window)
        disconnect(m_window.data(), nullptr, this, nullptr);
    delete m_window.data();
    m_delegate->setWindowScene(nullptr);
}

void OvlinApp::start()
{
    OVLIN_ASSERT_MAIN_THREAD();
    // The window comes first, in the light appearance; the rest of the launch sequence (analytics, the
    // notification centre, the menu-bar item, the presentation loop) follows once it is on screen, ahead
    // of the window's own appear and launch tasks, so their order stays as it was.
    m_delegate->applyAppearance();
    m_startPending = true;
    openWindow();
}

QList<QWidget *> OvlinApp::windows() const
{
    QList<QWidget *> list;
    if (m_window)
        list.append(m_window.data());
    return list;
}

QWidget *OvlinApp::openWindow()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (m_window)
        return m_window.data();
    auto *window = new ContentView(m_delegate->sharedContainer()->mainContext(), m_delegate->services());
    if (!m_delegate->storeNotice().isEmpty())
        window->setStoreNotice(m_delegate->storeNotice());
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Ovlin"));
    window->setWindowIcon(ImageAssets::appIcon());
    window->setMinimumSize(minimumWidth, minimumHeight);
    QSize size(idealWidth, idealHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableSize()).expandedTo(QSize(minimumWidth, minimumHeight));
    window->resize(size);
    connect(window, &ContentView::appeared, this, &OvlinApp::launchTask);
    if (std::exchange(m_startPending, false)) {
        QPointer<OvlinApp> self(this);
        const auto finishLaunching = [self] {
            // Files a first start writes are written now that the window is up.
            Defaults::releaseWrites();
            if (self)
                self->m_delegate->applicationDidFinishLaunching();
        };
        window->deferFirstAppearance(finishLaunching);
        // A window closed before it got that far still leaves the menu-bar item and the loop running.
        connect(window, &QObject::destroyed, this, finishLaunching);
    }
    m_window = window;
    MainWindowActivity::shared().setMainWindow(window);
    window->show();
    new ScreenFit(window);
    return window;
}

void OvlinApp::handleReopen()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const bool hasVisibleWindows = m_window && m_window->isVisible() && !m_window->isMinimized();
    if (!m_delegate->applicationShouldHandleReopen(hasVisibleWindows))
        return;
    // What the desktop does with any reopened application: its window comes to the front.
    AppDelegate::bringToFront(openWindow());
}

namespace {

// Reading the store and building the first screens leaves freed blocks behind; glibc keeps them in the
// process unless asked, which on a long history is a fifth of the resident memory for the whole run.
void releaseStartMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

} // namespace

void OvlinApp::launchTask()
{
    OVLIN_ASSERT_MAIN_THREAD();
    const std::shared_ptr<ShellServices> services = m_delegate->services();
    QPointer<OvlinApp> self(this);
    auto reschedule = [self, services] {
        OVLIN_ASSERT_MAIN_THREAD();
        if (!self)
            return;
        // Read after the answer, so reminders saved meanwhile are included.
        const QList<std::shared_ptr<Reminder>> reminders =
            self->m_delegate->sharedContainer()->mainContext()->fetch<Reminder>();
        if (services->rescheduleAll)
            services->rescheduleAll(reminders);
    };
    // Once the first screens have settled.
    QTimer::singleShot(std::chrono::seconds(2), this, releaseStartMemory);
    NotificationCenter *center = services->notificationCenter ? services->notificationCenter() : nullptr;
    if (!center) {
        reschedule();
        return;
    }
    // Whether permission was granted does not matter here.
    center->requestAuthorization([reschedule](bool) { reschedule(); });
}

QPalette OvlinApp::lightPalette()
{
    return OvlinStyle::lightPalette();
}

void OvlinApp::applyLightAppearance()
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    OvlinStyle::applyToApplication();
}

} // namespace ovlin
