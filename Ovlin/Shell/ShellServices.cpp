#include "Shell/ShellServices.h"

#include "Analytics/Analytics.h"
#include "Analytics/AnalyticsManagerConfiguration.h"
#include "Analytics/DefaultSignalPayload.h"
#include "Banners/BannerManager.h"
#include "Banners/MainWindowActivity.h"
#include "Editor/ReminderFormView.h"
#include "Engine/MilestoneProgressService.h"
#include "Engine/ReminderPresentationService.h"
#include "Engine/SchedulerService.h"
#include "MenuBar/MenuBarMirrorStore.h"
#include "Model/Reminder.h"
#include "Platform/NotificationCenter.h"
#include "Rewards/MilestoneListView.h"
#include "Shell/ContentView.h"
#include "Shell/FrontmostState.h"
#include "Shell/MenuBarItem.h"
#include "Shell/OvlinApp.h"
#include "Shell/SettingsView.h"
#include "Today/HabitListView.h"
#include "Today/ReminderListView.h"

#include <QGuiApplication>
#include <QPalette>
#include <QPointer>
#include <QScreen>
#include <QThread>

#include <mutex>

namespace ovlin {

namespace {

// What only the GUI knows, for the analytics client's default parameters. GUI thread only.
analytics::DefaultSignalPayload::HostFacts readHostFacts()
{
    analytics::DefaultSignalPayload::HostFacts facts;
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize size = screen->size();
        facts.screen = analytics::DefaultSignalPayload::ScreenFacts{double(size.width()), double(size.height()),
                                                                    screen->devicePixelRatio()};
    }
    const QPalette palette = QGuiApplication::palette();
    facts.colorScheme = palette.color(QPalette::Window).lightness() >= palette.color(QPalette::WindowText).lightness()
                            ? QStringLiteral("Light")
                            : QStringLiteral("Dark");
    facts.layoutDirection = QGuiApplication::layoutDirection() == Qt::RightToLeft ? QStringLiteral("rightToLeft")
                                                                                  : QStringLiteral("leftToRight");
    return facts;
}

// The client asks for the facts with every payload it builds, possibly off the GUI thread, where no
// screen may be read. The GUI thread reads them afresh; any other thread gets the GUI thread's latest
// reading, renewed whenever a screen or the layout direction changes.
void provideHostFacts()
{
    auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance());
    if (!app)
        return;
    struct Snapshot
    {
        std::mutex mutex;
        analytics::DefaultSignalPayload::HostFacts facts;
    };
    const auto snapshot = std::make_shared<Snapshot>();
    const auto refresh = [snapshot] {
        const analytics::DefaultSignalPayload::HostFacts facts = readHostFacts();
        std::lock_guard lock(snapshot->mutex);
        snapshot->facts = facts;
        return facts;
    };
    const auto watch = [app, refresh](QScreen *screen) {
        QObject::connect(screen, &QScreen::geometryChanged, app, refresh);
        QObject::connect(screen, &QScreen::logicalDotsPerInchChanged, app, refresh);
        QObject::connect(screen, &QScreen::physicalDotsPerInchChanged, app, refresh);
    };
    for (QScreen *screen : QGuiApplication::screens())
        watch(screen);
    QObject::connect(app, &QGuiApplication::screenAdded, app, [watch, refresh](QScreen *screen) {
        watch(screen);
        refresh();
    });
    QObject::connect(app, &QGuiApplication::screenRemoved, app, refresh);
    QObject::connect(app, &QGuiApplication::primaryScreenChanged, app, refresh);
    QObject::connect(app, &QGuiApplication::layoutDirectionChanged, app, refresh);
    refresh();
    analytics::DefaultSignalPayload::setHostFactsProvider(
        [snapshot, refresh, gui = app->thread(), alive = QPointer<QGuiApplication>(app)] {
            if (QThread::currentThread() == gui && alive)
                return refresh();
            std::lock_guard lock(snapshot->mutex);
            return snapshot->facts;
        });
}

} // namespace

std::shared_ptr<ShellServices> ShellServices::live()
{
    auto services = std::make_shared<ShellServices>();
    services->applyLightAppearance = [] { OvlinApp::applyLightAppearance(); };
    services->initializeAnalytics = [] {
        provideHostFacts();
        analytics::Analytics::initializeWith(
            analytics::AnalyticsManagerConfiguration::create(QStringLiteral("3F7B9C21-6D4E-4A58-9E12-7C0D5B8A2F64")));
    };
    services->sendSignal = [](const QString &name) { analytics::Analytics::send(name); };
    services->notificationCenter = [] { return NotificationCenter::current(); };
    services->makeMenuBarController = [] { return std::unique_ptr<StatusItemController>(new MenuBarItem); };
    services->startPresentation = [](StoreContainer &container) {
        ReminderPresentationService &presentation = ReminderPresentationService::shared();
        presentation.setBannerPresenter(&BannerManager::shared(), &MainWindowActivity::shared());
        presentation.start(&container);
    };
    // Follows the focus from now on, before any window is shown. Notifications and banners ask the same
    // question, so a notification is never shown for a banner put into the window.
    FrontmostState::shared();
    services->isApplicationActive = [] { return FrontmostState::shared().isFrontmost(); };
    MainWindowActivity::shared().setFrontmostSource([] { return FrontmostState::shared().isFrontmost(); });
    services->rescheduleAll = [](const Reminders &reminders) { SchedulerService::shared().rescheduleAll(reminders); };
    services->scheduleReminders = [](const Reminders &reminders) {
        SchedulerService::shared().scheduleEach(reminders);
    };
    services->evaluateMilestones = [](const Milestones &milestones, const Reminders &reminders, const Logs &logs,
                                      StoreContext &context, bool notify) {
        MilestoneProgressService::shared().evaluate(milestones, reminders, logs, context, notify);
    };
    services->updateMenuBarMirror = [](const Reminders &reminders, const Logs &logs, const Milestones &milestones) {
        MenuBarMirrorStore::shared().update(reminders, logs, milestones);
    };
    services->isOverdue = [](const Reminder &reminder, const QDateTime &moment) {
        return ReminderPresentationService::shared().isOverdue(reminder, moment);
    };
    services->makeScreen = [](OvlinTab tab, const ScreenEnvironment &environment) -> QWidget * {
        switch (tab) {
        case OvlinTab::reminders: {
            auto *screen = new ReminderListView(environment.modelContext, environment.celebrationManager);
            if (environment.requestNewHabit)
                QObject::connect(screen, &ReminderListView::newReminderRequested, screen, environment.requestNewHabit);
            return screen;
        }
        case OvlinTab::habits: {
            auto *screen = new HabitListView(environment.modelContext);
            if (environment.requestNewHabit)
                QObject::connect(screen, &HabitListView::newHabitRequested, screen, environment.requestNewHabit);
            if (environment.requestEdit)
                QObject::connect(screen, &HabitListView::editRequested, screen, environment.requestEdit);
            return screen;
        }
        case OvlinTab::milestones: return new MilestoneListView(environment.modelContext);
        case OvlinTab::settings: return new SettingsView;
        }
        return nullptr;
    };
    services->makeReminderForm = [](const ScreenEnvironment &environment, const std::shared_ptr<Reminder> &existing,
                                    std::function<void()> dismiss) -> QWidget * {
        auto *form = new ReminderFormView(existing);
        form->setModelContext(environment.modelContext);
        form->setDismiss(std::move(dismiss));
        form->setWindowTitle(form->titleText());
        return form;
    };
    return services;
}

} // namespace ovlin
