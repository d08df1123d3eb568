// Ovlin among other programs on an X server with a window manager, driven as a user drives it: keys
// typed through the X server, windows closed and minimised by the window manager, another program taking
// the focus. Runs under tests/with-display x11-wm inside a private session bus.
#include "Shell/ShellTestSupport.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsDefaults.h"
#include "Analytics/AnalyticsManager.h"
#include "Analytics/ApplicationEvents.h"
#include "Analytics/SessionManager.h"
#include "Analytics/Timings.h"

#include "Banners/BannerManager.h"
#include "Banners/CelebrationManager.h"
#include "Banners/FloatingBannerPanel.h"
#include "Banners/InAppBannerView.h"
#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "Engine/ReminderPresentationService.h"
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarPopover.h"
#include "MenuBar/MenuBarTestSupport.h"
#include "Platform/DBusNotificationCenter.h"
#include "Platform/SystemClockEvents.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneListView.h"
#include "Shell/AppDelegate.h"
#include "Shell/MenuBarItem.h"
#include "Shell/OvlinApp.h"
#include "Shell/QuitCommand.h"
#include "Shell/SheetDialog.h"
#include "Support/DesktopTestSupport.h"
#include "Support/FakeWallClockTimer.h"
#include "Support/TestNotificationServer.h"
#include "Support/TodayTestSupport.h"
#include "Today/HabitListView.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QWindow>
#include <QtTest>

#include <optional>

using namespace ovlin;
using namespace shelltest;
using namespace desktoptest;

namespace {

const QDate kToday(2026, 6, 10);
// Habits falling due in turn, an hour apart, so each banner is the only one due.
const QList<std::pair<QString, int>> kDueHabits = {
    {QStringLiteral("Stretch"), 15}, {QStringLiteral("Water"), 16}, {QStringLiteral("Read"), 17}};

// Right Shift alone, which no window of Ovlin (nor the window manager) takes for anything.
constexpr quint32 kMarkKeysym = 0xffe2;

// The window of Ovlin that Qt gives keys to.
QWidget *keyboardWindow()
{
    QWidget *popup = QApplication::activePopupWidget();
    return popup ? popup : QApplication::activeWindow();
}

// Counts the close requests that reach a widget (from the window manager, for example).
class CloseRequests : public QObject
{
public:
    explicit CloseRequests(QWidget *widget) { widget->installEventFilter(this); }
    int count = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Close)
            ++count;
        return false;
    }
};

// Keys as typed on the keyboard, to whichever window has the focus (the window manager sees them
// first), once the window of Ovlin that Qt gives them to (`expected`, if given) has the keyboard.
bool type(const QString &keys, const QWidget *expected = nullptr)
{
    const auto ready = [expected] {
        QWidget *window = keyboardWindow();
        return window && (!expected || window == expected) && hasKeyboard(window);
    };
    if (!QTest::qWaitFor(ready, kSettle)) {
        QWidget *window = keyboardWindow();
        qWarning() << "no window of Ovlin has the keyboard for" << keys << "; Qt:" << window
                   << (window ? xid(window) : QString()) << "X:" << focusedWindow().value_or(QString())
                   << "window manager:" << activeWindow().value_or(QString());
        return false;
    }
    return xdotool({QStringLiteral("key"), keys});
}

// Through the window manager, as a click on the window would.
bool activate(const QWidget *window)
{
    return xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), xid(window)});
}

// The windows the window manager manages, bottom of the stack first.
QStringList stackingOrder()
{
    QProcess xprop;
    xprop.start(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_CLIENT_LIST_STACKING")});
    if (!xprop.waitForFinished(kSettle))
        return {};
    QStringList windows;
    static const QRegularExpression id(QStringLiteral("0x[0-9a-f]+"));
    for (const QRegularExpressionMatch &match : id.globalMatch(QString::fromLatin1(xprop.readAllStandardOutput())))
        windows << QString::number(match.captured().toULongLong(nullptr, 16));
    return windows;
}

// Shows workspace `number` (from 0) and waits for the window manager to say so.
bool switchWorkspace(int number)
{
    return xdotool({QStringLiteral("set_desktop"), QString::number(number)}) &&
           QTest::qWaitFor(
               [number] { return xdotoolOutput({QStringLiteral("get_desktop")}) == QString::number(number); }, kSettle);
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<TestNotificationServer> m_server;
    std::unique_ptr<DBusNotificationCenter> m_center;
    std::unique_ptr<SystemClockEvents> m_clockEvents;
    std::unique_ptr<OvlinApp> m_app;
    std::unique_ptr<QProcess> m_other;
    int m_quits = 0;
    int m_banners = 0;
    int m_marks = 0;

    MenuBarController *menuBar() const
    {
        auto *item = static_cast<MenuBarItem *>(m_app->appDelegate()->menuBarController());
        return item ? item->controller() : nullptr;
    }

    // Ovlin as launched, with its real screens, popover and notification centre, and one habit and one
    // reward to work with.
    void launch()
    {
        auto journal = std::make_shared<Journal>();
        auto services = fakeServices(journal, m_center.get());
        const auto live = ShellServices::live();
        services->makeScreen = live->makeScreen;
        services->makeReminderForm = live->makeReminderForm;
        services->isApplicationActive = live->isApplicationActive;
        services->startPresentation = live->startPresentation;
        services->makeMenuBarController = [] {
            return std::unique_ptr<StatusItemController>(
                new MenuBarItem(std::make_unique<MenuBarController>(std::make_unique<::FakeStatusItem>(true))));
        };
        auto delegate = std::make_unique<AppDelegate>(enginetest::openStore(), services);
        StoreContext *context = delegate->sharedContainer()->mainContext();
        enginetest::makeReminder(context, todaytest::fixedAt(QStringLiteral("Walk"), 18, 0));
        for (const auto &[title, hour] : kDueHabits)
            enginetest::makeReminder(context, todaytest::fixedAt(title, hour, 0));
        todaytest::makeMilestone(context, QStringLiteral("Trip"), 5, MilestoneStatus::active,
                                 enginetest::at(kToday.addDays(-2), 8, 0));
        context->save();
        m_app = std::make_unique<OvlinApp>(std::move(delegate));
        m_app->quitCommand()->setHandler([this] { ++m_quits; });
        m_app->start();
        QVERIFY(QTest::qWaitForWindowExposed(m_app->mainWindow(), kSettle));
        QTRY_VERIFY_WITH_TIMEOUT(m_app->appDelegate()->hasFinishedLaunching(), kSettle);
        QVERIFY(menuBar());
        QVERIFY(activate(m_app->mainWindow()));
        QVERIFY(waitForKeyboard(m_app->mainWindow()));
    }

    // Starts Ovlin and takes the steps in order; false once one has failed the test.
    bool launchThrough(const QStringList &steps)
    {
        launch();
        if (QTest::currentTestFailed())
            return false;
        for (const QString &step : steps) {
            act(step);
            if (QTest::currentTestFailed())
                return false;
        }
        return true;
    }

    // One user action of a row.
    void act(const QString &step)
    {
        if (step == "close window") {
            QPointer<ContentView> window = m_app->mainWindow();
            QVERIFY(window);
            // Under load an Alt+F4 was once seen to leave the window open. A key that never reached the window
            // as a close request is typed again (and said so); a request that did reach it must close it.
            CloseRequests closes(window);
            for (int attempt = 0; attempt < 3 && window && closes.count == 0; ++attempt) {
                if (attempt > 0)
                    qWarning() << "Alt+F4 brought no close request; typing it again";
                QVERIFY(type(QStringLiteral("alt+F4"), window));
                [[maybe_unused]] const bool asked =
                    QTest::qWaitFor([&] { return !window || closes.count > 0; }, kSettle / 3);
            }
            QVERIFY2(!window || closes.count > 0, "the window manager never asked the window to close");
            QTRY_VERIFY_WITH_TIMEOUT(!window, kSettle);
        } else if (step == "minimise window") {
            QVERIFY(xdotool({QStringLiteral("windowminimize"), QStringLiteral("--sync"), xid(m_app->mainWindow())}));
            QTRY_VERIFY_WITH_TIMEOUT(m_app->mainWindow()->isMinimized(), kSettle);
        } else if (step == "focus window") {
            QVERIFY(activate(m_app->mainWindow()));
            QVERIFY(waitForKeyboard(m_app->mainWindow()));
            // A minimised window comes back a moment after it has the focus.
            QTRY_VERIFY_WITH_TIMEOUT(!m_app->mainWindow()->isMinimized(), kSettle);
        } else if (step == "other program") {
            if (!m_other) {
                m_other = std::make_unique<QProcess>();
                m_other->start(QStringLiteral("xmessage"),
                               {QStringLiteral("-name"), QStringLiteral("ovlintestother"), QStringLiteral("Another")});
                QVERIFY(m_other->waitForStarted());
            }
            QString id;
            QVERIFY(xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--classname"),
                             QStringLiteral("ovlintestother")},
                            &id));
            QVERIFY(xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), id.section('\n', 0, 0)}));
            QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::focusWindow(), kSettle);
        } else if (step == "click other program") {
            // Where a user clicks to get rid of the popover.
            QVERIFY(menuBar()->isPopoverShown());
            QVERIFY(
                xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), otherWindow(), QStringLiteral("20"),
                         QStringLiteral("20"), QStringLiteral("click"), QStringLiteral("1")}));
            QTRY_VERIFY_WITH_TIMEOUT(!menuBar()->isPopoverShown(), kSettle);
        } else if (step == "window to another workspace") {
            QVERIFY(xdotool({QStringLiteral("set_desktop_for_window"), xid(m_app->mainWindow()), QStringLiteral("1")}));
            QTRY_VERIFY_WITH_TIMEOUT(!m_app->mainWindow()->isActiveWindow(), kSettle);
        } else if (step == "switch workspace") {
            QVERIFY(switchWorkspace(1));
            QTRY_VERIFY_WITH_TIMEOUT(!QGuiApplication::focusWindow(), kSettle);
        } else if (step == "banner") {
            // The next habit falls due and the loop presents it, as every 15 seconds.
            QVERIFY(m_banners < kDueHabits.size());
            const auto &[title, hour] = kDueHabits[m_banners++];
            Clock::setNow(enginetest::at(kToday, hour, 0));
            ReminderPresentationService::shared().tick();
            QCOMPARE(shownBanners(), QStringList{title});
        } else if (step == "banner shown again") {
            QPointer<FloatingBannerPanel> panel = BannerManager::shared().floatingPanel();
            QVERIFY(panel);
            panel->orderOut();
            // Withdrawn: the window manager lets go of it, and forgets what it knew of it.
            QTRY_VERIFY_WITH_TIMEOUT(!stackingOrder().contains(xid(panel)), kSettle);
            panel->appear(FloatingBannerPanel::targetScreen());
            QTRY_VERIFY_WITH_TIMEOUT(stackingOrder().contains(xid(panel)), kSettle);
        } else if (step == "toggle popover") {
            const bool wasShown = menuBar()->isPopoverShown();
            menuBar()->togglePopover();
            QCOMPARE(menuBar()->isPopoverShown(), !wasShown);
            if (!wasShown)
                QVERIFY(QTest::qWaitForWindowExposed(menuBar()->popover(), kSettle));
        } else if (step == "onboarding") {
            m_app->mainWindow()->setShowOnboarding(true);
            waitForActive(m_app->mainWindow()->onboardingSheet());
        } else if (step == "reminder editor") {
            m_app->mainWindow()->setShowNewHabitSheet(true);
            waitForActive(m_app->mainWindow()->newHabitSheet());
        } else if (step == "reward editor") {
            auto *rewards = showTab<MilestoneListView>(OvlinTab::milestones);
            QVERIFY(rewards);
            rewards->showAddSheet();
            waitForActive(rewards->presentedEditor());
        } else if (step == "celebration") {
            CelebrationManager *manager = m_app->mainWindow()->celebrationManager();
            manager->checkForCelebrations({}, {}, {}, 7);
            QVERIFY(manager->activeEvent());
        } else if (step == "habit confirmation") {
            auto *habits = showTab<HabitListView>(OvlinTab::habits);
            QVERIFY(habits);
            habits->requestDelete(m_app->appDelegate()->sharedContainer()->mainContext()->fetch<Reminder>().first());
            QTRY_VERIFY_WITH_TIMEOUT(habits->confirmationDialog() && habits->confirmationDialog()->isVisible(),
                                     kSettle);
        } else if (step == "reward confirmation") {
            auto *rewards = showTab<MilestoneListView>(OvlinTab::milestones);
            QVERIFY(rewards);
            rewards->requestDelete(m_app->appDelegate()->sharedContainer()->mainContext()->fetch<Milestone>().first());
            QTRY_VERIFY_WITH_TIMEOUT(rewards->deleteDialog() && rewards->deleteDialog()->isVisible(), kSettle);
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
    }

    QString otherWindow()
    {
        QString id;
        if (!xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--classname"),
                      QStringLiteral("ovlintestother")},
                     &id))
            return QString();
        return id.section('\n', 0, 0);
    }

    // The titles of the banners on screen, in the window first.
    static QStringList shownBanners()
    {
        QStringList titles;
        const BannerManager &banners = BannerManager::shared();
        if (banners.current())
            titles << banners.current()->title;
        const FloatingBannerPanel *panel = banners.floatingPanel();
        if (panel && panel->isVisible() && panel->bannerView())
            titles << panel->bannerView()->banner().title;
        return titles;
    }

    // Waits until Ovlin has handled the keys typed before: types one that no window uses and waits for it,
    // as the X server hands keys over in the order they were typed.
    bool keysHandled()
    {
        // The filter installed last sees events first, ahead of a window's own (a celebration's hold).
        qApp->removeEventFilter(this);
        qApp->installEventFilter(this);
        const int marks = m_marks;
        return type(QStringLiteral("Shift_R")) && QTest::qWaitFor([&] { return m_marks > marks; }, kSettle);
    }

    template <typename Screen> Screen *showTab(OvlinTab tab)
    {
        m_app->mainWindow()->selectTab(tab);
        QCoreApplication::processEvents();
        return qobject_cast<Screen *>(m_app->mainWindow()->currentScreen());
    }

    static void waitForActive(QWidget *window)
    {
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window, kSettle));
        QVERIFY(waitForKeyboard(window));
    }

    // Asks the notification server something and waits for its answer: it answers in order, so whatever
    // this connection sent it before has been handled. How many capability queries it has answered.
    int roundTrip()
    {
        QDBusPendingCallWatcher watcher(QDBusConnection::sessionBus().asyncCall(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("GetCapabilities"))));
        if (!QTest::qWaitFor([&] { return watcher.isFinished(); }, kSettle))
            qWarning("the notification server did not answer");
        return m_server->capabilityQueries();
    }

    // Whether a notification falling due now reaches the notification server.
    bool notificationIsPresented()
    {
        const int queries = roundTrip();
        const qsizetype calls = m_server->calls().size();
        NotificationRequest request;
        request.identifier = QStringLiteral("desktop-test");
        request.content.title = QStringLiteral("Still open.");
        request.trigger = TimeIntervalTrigger{1};
        m_center->add(request);
        Clock::advance(2);
        m_center->checkDueRequests();
        // A notification shown starts with the centre asking for the server's capabilities, then Notify.
        if (roundTrip() - queries >= 2 && !QTest::qWaitFor([&] { return m_server->calls().size() > calls; }, kSettle))
            qWarning("asked for the capabilities, but no Notify followed");
        return m_server->calls().size() > calls;
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::KeyRelease && static_cast<QKeyEvent *>(event)->nativeVirtualKey() == kMarkKeysym)
            ++m_marks;
        return QObject::eventFilter(watched, event);
    }

private Q_SLOTS:
    void initTestCase()
    {
        Motion::setAnimationsEnabled(false);
        m_server = std::make_unique<TestNotificationServer>(
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("server")),
            QStringList{QStringLiteral("actions"), QStringLiteral("body")});
        QVERIFY(m_server->start());
        QTRY_VERIFY_WITH_TIMEOUT(QDBusConnection::sessionBus().interface()->isServiceRegistered(
                                     QStringLiteral("org.freedesktop.Notifications")),
                                 kSettle);
    }

    void cleanupTestCase()
    {
        m_server.reset();
        QDBusConnection::disconnectFromBus(QStringLiteral("server"));
    }

    void init()
    {
        Clock::setNow(enginetest::at(kToday, 14, 0));
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), true}});
        BannerManager::shared().dismiss();
        m_clockEvents = std::make_unique<SystemClockEvents>();
        m_center = std::make_unique<DBusNotificationCenter>(
            QDBusConnection::sessionBus(), std::make_unique<FakeWallClockTimer>(), m_clockEvents.get());
        m_quits = 0;
        m_banners = 0;
    }

    void cleanup()
    {
        if (m_other) {
            m_other->kill();
            m_other->waitForFinished();
            m_other.reset();
        }
        if (MenuBarController *controller = m_app ? menuBar() : nullptr) {
            if (controller->isPopoverShown())
                controller->togglePopover();
        }
        switchWorkspace(0);
        m_app.reset();
        BannerManager::shared().dismiss();
        m_center.reset();
        m_clockEvents.reset();
        for (int i = 0; i < 4; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        Clock::useSystemTime();
    }

    // The desktop shows Ovlin's notifications unless one of Ovlin's own windows has the keyboard focus.
    void notificationsShowUnlessOvlinHasTheFocus_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("presented");
        QTest::newRow("window focused") << QStringList{} << false;
        QTest::newRow("window closed") << QStringList{"close window"} << true;
        QTest::newRow("window closed, another program focused") << QStringList{"close window", "other program"} << true;
        QTest::newRow("another program over the window") << QStringList{"other program"} << true;
        QTest::newRow("back to the window") << QStringList{"other program", "focus window"} << false;
        QTest::newRow("window minimised") << QStringList{"minimise window"} << true;
        QTest::newRow("a sheet focused") << QStringList{"reminder editor"} << false;
        QTest::newRow("popover open over the window") << QStringList{"toggle popover"} << false;
        QTest::newRow("popover opened and closed over the window")
            << QStringList{"toggle popover", "toggle popover"} << false;
        QTest::newRow("popover open, window closed") << QStringList{"close window", "toggle popover"} << true;
        QTest::newRow("popover opened and closed, window closed")
            << QStringList{"close window", "toggle popover", "toggle popover"} << true;
        QTest::newRow("popover opened and closed, another program focused")
            << QStringList{"other program", "toggle popover", "toggle popover"} << true;
    }

    void notificationsShowUnlessOvlinHasTheFocus()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, presented);
        if (!launchThrough(steps))
            return;
        QCOMPARE(notificationIsPresented(), presented);
    }

    // A due habit's banner goes into the main window only while Ovlin is frontmost with that window on
    // screen, else into the floating panel, whatever the popover did meanwhile; the desktop notification
    // for it is shown exactly when the banner floats. A new banner replaces the one on screen.
    void bannersGoWhereTheUserIs_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<bool>("inWindow");
        QTest::newRow("window focused") << QStringList{} << true;
        QTest::newRow("another program focused") << QStringList{"other program"} << false;
        QTest::newRow("popover closed by a click into another program")
            << QStringList{"other program", "toggle popover", "click other program"} << false;
        QTest::newRow("a banner floating, popover closed by a click into another program")
            << QStringList{"other program", "banner", "toggle popover", "click other program"} << false;
        QTest::newRow("popover opened and closed, another program focused")
            << QStringList{"other program", "toggle popover", "toggle popover"} << false;
        QTest::newRow("popover open, another program focused")
            << QStringList{"other program", "toggle popover"} << false;
        QTest::newRow("popover opened and closed over the window")
            << QStringList{"toggle popover", "toggle popover"} << true;
        QTest::newRow("a banner floating, back to the window")
            << QStringList{"other program", "banner", "focus window"} << true;
        QTest::newRow("a banner in the window, then another program")
            << QStringList{"banner", "other program", "toggle popover", "click other program"} << false;
        QTest::newRow("window minimised") << QStringList{"minimise window"} << false;
        QTest::newRow("window on another workspace") << QStringList{"window to another workspace"} << false;
        QTest::newRow("switched to another workspace") << QStringList{"switch workspace"} << false;
        QTest::newRow("window closed") << QStringList{"close window"} << false;
    }

    void bannersGoWhereTheUserIs()
    {
        QFETCH(QStringList, steps);
        QFETCH(bool, inWindow);
        if (!launchThrough(steps))
            return;
        act(QStringLiteral("banner"));
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(BannerManager::shared().current().has_value(), inWindow);
        QCOMPARE(notificationIsPresented(), !inWindow);
    }

    // The floating banner is on every workspace, whichever the user was on when it came, above the other
    // windows and without taking the focus.
    void floatingBannerOnEveryWorkspace_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("came beside the window") << QStringList{"other program", "banner"};
        QTest::newRow("came on another workspace") << QStringList{"switch workspace", "banner"};
        QTest::newRow("shown again") << QStringList{"other program", "banner", "banner shown again"};
    }

    void floatingBannerOnEveryWorkspace()
    {
        QFETCH(QStringList, steps);
        if (!launchThrough(steps))
            return;
        QPointer<FloatingBannerPanel> panel = BannerManager::shared().floatingPanel();
        QVERIFY(panel && panel->isVisible());
        QString workspaces;
        QVERIFY(xdotool({QStringLiteral("get_num_desktops")}, &workspaces));
        QVERIFY(workspaces.toInt() > 1);
        // The main window is on the first, visited last.
        for (int workspace = workspaces.toInt() - 1; workspace >= 0; --workspace) {
            QVERIFY(switchWorkspace(workspace));
            QTRY_COMPARE_WITH_TIMEOUT(m_app->mainWindow()->windowHandle()->isExposed(), workspace == 0, kSettle);
            // The window manager hides the windows of other workspaces by unmapping them.
            QVERIFY2(QTest::qWaitFor([&] { return panel && panel->windowHandle()->isExposed(); }, kSettle),
                     qPrintable(QStringLiteral("not on workspace %1").arg(workspace)));
            QVERIFY(QGuiApplication::focusWindow() != panel->windowHandle());
        }
        // Still above the main window when the user turns to it, and the focus goes to that window.
        act(QStringLiteral("focus window"));
        const QStringList stacked = stackingOrder();
        QVERIFY(stacked.indexOf(xid(panel)) > stacked.indexOf(xid(m_app->mainWindow())));
        QCOMPARE(focusedWindow(), xid(m_app->mainWindow()));
    }

    // A session counts active time from whether Ovlin has the focus when it begins: a click elsewhere
    // during start-up means nothing counts until the user turns to Ovlin.
    void analyticsSessionStartsFromTheFocus_data()
    {
        QTest::addColumn<QStringList>("steps"); // before the session begins
        QTest::addColumn<qint64>("seconds");    // active in the next 58 s
        QTest::newRow("window focused") << QStringList{} << qint64(58);
        QTest::newRow("another program focused") << QStringList{"other program"} << qint64(0);
        QTest::newRow("popover closed by a click into another program")
            << QStringList{"other program", "toggle popover", "click other program"} << qint64(0);
        QTest::newRow("window minimised") << QStringList{"minimise window"} << qint64(0);
    }

    void analyticsSessionStartsFromTheFocus()
    {
        QFETCH(QStringList, steps);
        QFETCH(qint64, seconds);
        // Fresh statistics in this case's settings folder; nothing is ever posted.
        analytics::SessionManager::resetSharedForTesting();
        analytics::ApplicationEvents::resetForTesting();
        analytics::Timings timings;
        timings.firstSessionDelay = std::chrono::hours(1);
        timings.sendInterval = std::chrono::hours(1);
        timings.sessionTimerInterval = std::chrono::hours(1);
        analytics::Timings::setCurrent(timings);
        const auto config = analytics::AnalyticsManagerConfiguration::create(
            QStringLiteral("DESKTOP"), std::nullopt, QUrl(QStringLiteral("http://127.0.0.1:9/")));
        config->setLogHandler(std::nullopt);
        analytics::Analytics::initializeWith(config);
        // An earlier run's session, so this one is no install stored from its first moment.
        analytics::analyticsDefaults()->setBytes(
            QStringLiteral("recentSessions"),
            analytics::SessionManager::encodeSessions({{Clock::now().addDays(-1), 60}}));
        if (!launchThrough(steps))
            return;
        const auto stored = [] {
            analytics::SessionManager::shared().applicationWillTerminate();
            const auto data = analytics::analyticsDefaults()->bytesValue(QStringLiteral("recentSessions"));
            QList<qint64> durations;
            for (const auto &session : analytics::SessionManager::decodeSessions(data.value_or(QByteArray()))
                                           .value_or(QList<analytics::SessionManager::StoredSession>()))
                durations.append(session.durationInSeconds);
            return durations;
        };
        // The start-up is over: the client begins the session.
        config->setSessionID(QUuid::createUuid());
        Clock::advance(58);
        QCOMPARE(stored(), seconds ? (QList<qint64>{60, seconds}) : QList<qint64>{60});
        // The user turns to Ovlin: from then on the time counts.
        act(QStringLiteral("focus window"));
        Clock::advance(5);
        QCOMPARE(stored(), (QList<qint64>{60, seconds + 5}));
        m_app.reset();
        analytics::AnalyticsManager::terminate();
        analytics::SessionManager::resetSharedForTesting();
        analytics::Timings::setCurrent(analytics::Timings());
    }

    // Ctrl+Q ends Ovlin from each of its windows.
    void quitFromEveryWindow_data()
    {
        QTest::addColumn<QStringList>("steps");
        QTest::newRow("main window") << QStringList{};
        QTest::newRow("onboarding") << QStringList{"onboarding"};
        QTest::newRow("reminder editor") << QStringList{"reminder editor"};
        QTest::newRow("reward editor") << QStringList{"reward editor"};
        QTest::newRow("habit delete confirmation") << QStringList{"habit confirmation"};
        QTest::newRow("reward delete confirmation") << QStringList{"reward confirmation"};
        QTest::newRow("celebration") << QStringList{"celebration"};
        QTest::newRow("popover") << QStringList{"toggle popover"};
        QTest::newRow("popover, window closed") << QStringList{"close window", "toggle popover"};
    }

    void quitFromEveryWindow()
    {
        QFETCH(QStringList, steps);
        if (!launchThrough(steps))
            return;
        QVERIFY(type(QStringLiteral("ctrl+q")));
        QTRY_COMPARE_WITH_TIMEOUT(m_quits, 1, kSettle);
        // Typing q alone quits nothing.
        QVERIFY(type(QStringLiteral("q")));
        QVERIFY(keysHandled());
        QCOMPARE(m_quits, 1);
    }

    // Escape and Tab typed on the keyboard: the reminder editor closes on Escape and onboarding does not;
    // a celebration keeps them from the window behind it and gives the focus back when it goes.
    void keysInSheetsAndCelebrations_data()
    {
        QTest::addColumn<QString>("step");
        QTest::addColumn<QStringList>("keys");
        QTest::newRow("reminder editor, Escape") << "reminder editor" << QStringList{"Escape"};
        QTest::newRow("onboarding, Escape") << "onboarding" << QStringList{"Escape"};
        QTest::newRow("celebration, Tab then Space") << "celebration" << QStringList{"Tab", "space"};
        QTest::newRow("celebration, Shift+Tab then Return") << "celebration" << QStringList{"shift+Tab", "Return"};
        QTest::newRow("celebration, Escape") << "celebration" << QStringList{"Escape"};
    }

    void keysInSheetsAndCelebrations()
    {
        QFETCH(QString, step);
        QFETCH(QStringList, keys);
        launch();
        ContentView *window = m_app->mainWindow();
        QWidget *before = window->newHabitButton();
        before->setFocus(Qt::TabFocusReason);
        const qsizetype reminders = m_app->appDelegate()->sharedContainer()->mainContext()->fetchCount<Reminder>();
        act(step);
        if (QTest::currentTestFailed())
            return;
        for (const QString &key : std::as_const(keys)) {
            QVERIFY(type(key));
            QCoreApplication::processEvents();
        }
        if (step == "onboarding") {
            QVERIFY(keysHandled());
            QVERIFY(window->onboardingSheet() && window->onboardingSheet()->isVisible());
            return;
        }
        if (step == "reminder editor") {
            QTRY_VERIFY_WITH_TIMEOUT(!window->newHabitSheet(), kSettle);
            QCOMPARE(m_app->appDelegate()->sharedContainer()->mainContext()->fetchCount<Reminder>(), reminders);
            return;
        }
        QTRY_VERIFY_WITH_TIMEOUT(!window->celebrationManager()->activeEvent(), kSettle);
        QVERIFY(keysHandled());
        QVERIFY(!window->newHabitSheet());
        QCOMPARE(window->selectedTab(), OvlinTab::reminders);
        QTRY_COMPARE_WITH_TIMEOUT(QApplication::focusWidget(), before, kSettle);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
