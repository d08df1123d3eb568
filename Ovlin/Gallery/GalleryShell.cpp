// Gallery pages of the application shell: the main window, the settings screen and the onboarding pages.
#include "Gallery/GalleryRegistry.h"

#include "Base/Defaults.h"
#include "DesignSystem/OvlinButton.h"
#include "Model/AppSettings.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Platform/Store.h"
#include "Shell/ContentView.h"
#include "Shell/OnboardingView.h"
#include "Shell/SettingsView.h"

#include <memory>

namespace {

using namespace ovlin;

// The pages show the settings' defaults, never the settings of whoever runs the gallery, and write
// nothing there.
void useSampleSettings()
{
    // The gallery's main points every XDG folder at a private one, so this never clears real settings.
    const auto defaults = Defaults::suite(QStringLiteral(OVLIN_APP_ID));
    for (const QString &key : defaults->keys())
        defaults->remove(key);
    defaults->setBool(QStringLiteral("hasCompletedOnboarding"), true);
    AppSettings::resetSharedForTesting();
}

StoreContext *sampleStore()
{
    // Kept to the end: the database driver must not go before it.
    static StoreContainer *store = nullptr;
    if (!store) {
        QString error;
        store = StoreContainer::openInMemory(&error).release();
        const QDateTime created(QDate(2026, 1, 5), QTime(8, 0));
        const QList<Weekday> everyDay{Weekday::monday, Weekday::tuesday,  Weekday::wednesday, Weekday::thursday,
                                      Weekday::friday, Weekday::saturday, Weekday::sunday};
        store->mainContext()->insert(Reminder::create(QUuid::createUuid(), QStringLiteral("Drink water"),
                                                      ReminderCategory::water, std::nullopt, ScheduleType::fixedTime,
                                                      QDateTime(QDate(2026, 1, 5), QTime(10, 0)), std::nullopt,
                                                      std::nullopt, std::nullopt, everyDay, true, created));
        store->mainContext()->insert(Milestone::create(QUuid::createUuid(), QStringLiteral("Good week"),
                                                       QStringLiteral("New running shoes"), 7, 0.8, std::nullopt,
                                                       created, MilestoneStatus::active));
    }
    return store->mainContext();
}

// The live screens, with a store that is no one's and nothing evaluated or scheduled.
std::shared_ptr<ShellServices> sampleServices()
{
    auto services = ShellServices::live();
    services->evaluateMilestones = nullptr;
    services->rescheduleAll = nullptr;
    services->notificationCenter = nullptr;
    return services;
}

QWidget *mainWindow(OvlinTab tab)
{
    useSampleSettings();
    auto *view = new ContentView(sampleStore(), sampleServices());
    view->setShowOnboarding(false);
    view->selectTab(tab);
    view->setFixedSize(860, 620);
    return view;
}

QWidget *mainWindowHome()
{
    return mainWindow(OvlinTab::reminders);
}

QWidget *mainWindowRewards()
{
    return mainWindow(OvlinTab::milestones);
}

QWidget *mainWindowSettings()
{
    return mainWindow(OvlinTab::settings);
}

// Habits of every kind of schedule, for the habits screen in a main window of `width` (the default 860
// shows a scroll bar).
QWidget *mainWindowHabits(int width)
{
    useSampleSettings();
    static StoreContainer *store = nullptr;
    if (!store) {
        QString error;
        store = StoreContainer::openInMemory(&error).release();
        const QDate day(2026, 1, 5);
        const QDateTime created(day, QTime(8, 0));
        const QList<Weekday> everyDay{Weekday::monday, Weekday::tuesday,  Weekday::wednesday, Weekday::thursday,
                                      Weekday::friday, Weekday::saturday, Weekday::sunday};
        const QList<Weekday> weekdays{Weekday::monday, Weekday::tuesday, Weekday::wednesday, Weekday::thursday,
                                      Weekday::friday};
        StoreContext *context = store->mainContext();
        const auto add = [&](const QString &title, ReminderCategory category, ScheduleType type,
                             std::optional<QTime> time, std::optional<qint64> minutes, const QList<Weekday> &days,
                             bool active) {
            const auto at = [&day](QTime t) { return std::optional<QDateTime>(QDateTime(day, t)); };
            context->insert(Reminder::create(QUuid::createUuid(), title, category, std::nullopt, type,
                                             time ? at(*time) : std::nullopt, minutes,
                                             minutes ? at(QTime(9, 0)) : std::nullopt,
                                             minutes ? at(QTime(17, 0)) : std::nullopt, days, active, created));
        };
        add(QStringLiteral("Drink water"), ReminderCategory::water, ScheduleType::fixedTime, QTime(10, 0), {}, everyDay,
            true);
        add(QStringLiteral("Sip water"), ReminderCategory::water, ScheduleType::interval, {}, 45, weekdays, true);
        add(QStringLiteral("Stand up"), ReminderCategory::movement, ScheduleType::interval, {}, 60, everyDay, true);
        add(QStringLiteral("Stretch"), ReminderCategory::movement, ScheduleType::combined, QTime(8, 0), 90, everyDay,
            false);
        add(QStringLiteral("Evening walk around the block before the sun sets behind the hills"),
            ReminderCategory::movement, ScheduleType::interval, {}, 120, everyDay, true);
        add(QStringLiteral("Breathe"), ReminderCategory::meditation, ScheduleType::fixedTime, QTime(22, 0), {},
            {Weekday::saturday, Weekday::sunday}, true);
        context->save();
    }
    auto *view = new ContentView(store->mainContext(), sampleServices());
    view->setShowOnboarding(false);
    view->selectTab(OvlinTab::habits);
    view->setFixedSize(width, 900);
    return view;
}

QWidget *settings(bool everythingOn, int width = 640)
{
    useSampleSettings();
    if (everythingOn)
        AppSettings::shared().setQuietHoursEnabled(true);
    SettingsView::Environment environment;
    environment.setLoginItem = [](bool) { return true; };
    auto *view = new SettingsView(environment);
    // Narrower, as tall as the whole screen is at that width.
    const int height = width == 640 ? (everythingOn ? 1560 : 1380) : view->widget()->heightForWidth(width);
    view->setFixedSize(width, height);
    return view;
}

// The main window at its smallest, with the quiet hours' times shown.
QWidget *mainWindowSettingsSmall()
{
    QWidget *view = mainWindow(OvlinTab::settings);
    AppSettings::shared().setQuietHoursEnabled(true);
    view->setFixedSize(700, 520);
    return view;
}

QWidget *settingsDefaults()
{
    return settings(false);
}

QWidget *settingsQuietHours()
{
    return settings(true);
}

QWidget *onboarding(int page)
{
    useSampleSettings();
    static bool presented = true;
    auto *view = new OnboardingView(Binding<bool>::of(&presented), [](const QString &) {});
    for (int i = 0; i < page; ++i)
        view->ctaButton()->click();
    return view;
}

QWidget *onboarding1()
{
    return onboarding(0);
}
QWidget *onboarding2()
{
    return onboarding(1);
}
QWidget *onboarding3()
{
    return onboarding(2);
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("MainWindow"), mainWindowHome)
OVLIN_GALLERY_PAGE(QStringLiteral("MainWindowRewards"), mainWindowRewards)
OVLIN_GALLERY_PAGE(QStringLiteral("MainWindowSettings"), mainWindowSettings)
OVLIN_GALLERY_PAGE(QStringLiteral("MainWindowHabits, 860"), [] { return mainWindowHabits(860); })
OVLIN_GALLERY_PAGE(QStringLiteral("MainWindowHabits, 1280"), [] { return mainWindowHabits(1280); })
OVLIN_GALLERY_PAGE(QStringLiteral("Settings"), settingsDefaults)
OVLIN_GALLERY_PAGE(QStringLiteral("SettingsQuietHours"), settingsQuietHours)
// As wide as the screen is in the smallest main window (700) and in its usual one (860).
OVLIN_GALLERY_PAGE(QStringLiteral("SettingsQuietHours, 700"), [] { return settings(true, 476); })
OVLIN_GALLERY_PAGE(QStringLiteral("SettingsQuietHours, 860"), [] { return settings(true, 636); })
OVLIN_GALLERY_PAGE(QStringLiteral("MainWindowSettings, 700"), mainWindowSettingsSmall)
OVLIN_GALLERY_PAGE(QStringLiteral("Onboarding1"), onboarding1)
OVLIN_GALLERY_PAGE(QStringLiteral("Onboarding2"), onboarding2)
OVLIN_GALLERY_PAGE(QStringLiteral("Onboarding3"), onboarding3)
