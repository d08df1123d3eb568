// Gallery pages of the today and habits screens, filled from an in-memory store at a fixed moment.
#include "GalleryRegistry.h"

#include "Banners/CelebrationManager.h"
#include "Banners/VirtualTimerSource.h"
#include "Base/Clock.h"
#include "Base/Days.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"
#include "Today/HabitListView.h"
#include "Today/ReminderListView.h"

#include <QApplication>
#include <QScrollArea>
#include <QUuid>
#include <QVBoxLayout>

#include <memory>

using namespace ovlin;

namespace {

// Wednesday afternoon; the store's samples are laid out around it.
const QDate kDay(2026, 6, 10);

QDateTime at(const QDate &day, int hour, int minute)
{
    return Days::atTime(day, hour, minute);
}

// Holds the sample store and the pinned clock for as long as the page lives.
class ScreenPage : public QWidget
{
public:
    // At least `minHeight` tall, as a window of that height would be.
    ScreenPage(int width, int minHeight = 400) : m_width(width), m_minHeight(minHeight)
    {
        Clock::setNow(at(kDay, 14, 10));
        QString error;
        m_store = StoreContainer::openInMemory(&error);
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
    }
    ~ScreenPage() override
    {
        // The screens go before the store they watch.
        qDeleteAll(findChildren<QWidget *>(Qt::FindDirectChildrenOnly));
        m_store.reset();
        Clock::useSystemTime();
    }

    StoreContext *context() const { return m_store->mainContext(); }

    // Shows the screen once so it takes in the samples, then sizes the page to the whole scrolled content.
    void place(QWidget *screen, QScrollArea *scroll, const std::function<void()> &flush)
    {
        layout()->addWidget(screen);
        setAttribute(Qt::WA_DontShowOnScreen);
        resize(m_width, 800);
        show();
        QApplication::processEvents();
        flush();
        // New rows are shown and laid out by posted events.
        for (int i = 0; i < 4; ++i)
            QApplication::processEvents();
        QWidget *content = scroll->widget();
        content->layout()->activate();
        int height = content->minimumSizeHint().height();
        if (content->hasHeightForWidth())
            height = std::max(height, content->heightForWidth(scroll->viewport()->width()));
        setFixedSize(m_width, std::max(height, m_minHeight));
        hide();
    }

private:
    int m_width;
    int m_minHeight;
    std::unique_ptr<StoreContainer> m_store;
};

std::shared_ptr<Reminder> addReminder(StoreContext *context, const QString &title, ReminderCategory category,
                                      std::optional<QTime> fixed, bool active = true,
                                      QList<Weekday> days = {Weekday::monday, Weekday::tuesday, Weekday::wednesday,
                                                             Weekday::thursday, Weekday::friday, Weekday::saturday,
                                                             Weekday::sunday})
{
    const QDateTime created = at(kDay.addDays(-40), 8, 0);
    auto reminder = Reminder::create(
        QUuid::createUuid(), title, category, std::nullopt, ScheduleType::fixedTime,
        fixed ? std::optional<QDateTime>(at(kDay.addDays(-40), fixed->hour(), fixed->minute())) : std::nullopt,
        std::nullopt, std::nullopt, std::nullopt, days, active, created);
    context->insert(reminder);
    return reminder;
}

std::shared_ptr<Reminder> addIntervalReminder(StoreContext *context, const QString &title, ReminderCategory category,
                                              qint64 minutes, QTime from, QTime to,
                                              std::optional<QTime> fixed = std::nullopt)
{
    const QDate base = kDay.addDays(-40);
    auto reminder = Reminder::create(
        QUuid::createUuid(), title, category, std::nullopt, fixed ? ScheduleType::combined : ScheduleType::interval,
        fixed ? std::optional<QDateTime>(at(base, fixed->hour(), fixed->minute())) : std::nullopt, minutes,
        at(base, from.hour(), from.minute()), at(base, to.hour(), to.minute()),
        {Weekday::monday, Weekday::tuesday, Weekday::wednesday, Weekday::thursday, Weekday::friday}, true,
        at(base, 8, 30));
    context->insert(reminder);
    return reminder;
}

void log(const std::shared_ptr<Reminder> &reminder, const QDateTime &when, LogStatus status)
{
    ReminderLog::create(QUuid::createUuid(), reminder, when,
                        status == LogStatus::completed ? std::optional<QDateTime>(when) : std::nullopt, status);
}

std::shared_ptr<Milestone> addReward(StoreContext *context, const QString &name, qint64 days, double percent,
                                     std::optional<ReminderCategory> category, int startedDaysAgo,
                                     MilestoneStatus status)
{
    auto reward = Milestone::create(QUuid::createUuid(), name, name, days, percent, category,
                                    at(kDay.addDays(-startedDaysAgo), 9, 0), status);
    context->insert(reward);
    // Met days so far, one day log each.
    for (int ago = 1; ago <= startedDaysAgo && ago <= days; ++ago)
        MilestoneLog::create(QUuid::createUuid(), reward, Days::startOfDay(kDay.addDays(-ago)), 1.0, true);
    return reward;
}

void fillToday(StoreContext *context)
{
    auto water = addReminder(context, QStringLiteral("Morning water"), ReminderCategory::water, QTime(8, 0));
    auto breakfast = addReminder(context, QStringLiteral("Breakfast"), ReminderCategory::meal, QTime(8, 30));
    auto vitamins = addReminder(context, QStringLiteral("Vitamins"), ReminderCategory::general, QTime(9, 0));
    auto meditate =
        addReminder(context, QStringLiteral("Ten quiet minutes"), ReminderCategory::meditation, QTime(12, 0));
    addReminder(context, QStringLiteral("Stretch break"), ReminderCategory::movement, QTime(13, 30));
    addIntervalReminder(context, QStringLiteral("Sip water"), ReminderCategory::water, 120, QTime(10, 0), QTime(20, 0));
    addReminder(context, QStringLiteral("Afternoon snack"), ReminderCategory::snack, QTime(15, 30));
    addReminder(context, QStringLiteral("Evening walk around the block before the sun sets behind the hills"),
                ReminderCategory::movement, QTime(19, 0));
    log(water, at(kDay, 8, 0), LogStatus::completed);
    log(breakfast, at(kDay, 8, 30), LogStatus::completed);
    log(vitamins, at(kDay, 9, 0), LogStatus::completed);
    log(meditate, at(kDay, 12, 0), LogStatus::skipped);
    // A good run of days before today.
    for (int ago = 1; ago <= 12; ++ago) {
        const QDate day = kDay.addDays(-ago);
        for (const auto &reminder : context->fetch<Reminder>()) {
            if (ago % 5 == 0 && reminder == meditate)
                continue;
            log(reminder, at(day, 9, 0), LogStatus::completed);
        }
    }
    addReward(context, QStringLiteral("Hydration hero"), 10, 0.8, ReminderCategory::water, 3, MilestoneStatus::active);
    addReward(context, QStringLiteral("Cinema night"), 5, 0.8, std::nullopt, 7, MilestoneStatus::achieved);
    addReward(context, QStringLiteral("New running shoes"), 14, 0.9, ReminderCategory::movement, 9,
              MilestoneStatus::active);
    addReward(context, QStringLiteral("Spa day"), 30, 0.8, std::nullopt, 1, MilestoneStatus::active);
    addReward(context, QStringLiteral("Lost cause"), 30, 0.8, std::nullopt, 1, MilestoneStatus::failed);
    context->save();
}

QWidget *todayPage(const std::function<void(StoreContext *)> &fill, QSize window = QSize(880, 400))
{
    auto *page = new ScreenPage(window.width(), window.height());
    fill(page->context());
    auto *celebrations = new CelebrationManager(page);
    celebrations->setTimerSource(std::make_shared<VirtualTimerSource>());
    auto *screen = new ReminderListView(page->context(), celebrations);
    page->place(screen, screen->scrollArea(), [screen] { screen->flushPendingRebuild(); });
    return page;
}

QWidget *habitsPage(const std::function<void(StoreContext *)> &fill, bool confirming = false, int width = 880)
{
    auto *page = new ScreenPage(width);
    fill(page->context());
    auto *screen = new HabitListView(page->context());
    page->place(screen, screen->scrollArea(), [screen] { screen->flushPendingRebuild(); });
    if (confirming) {
        const auto reminders = screen->queriedReminders();
        if (!reminders.isEmpty())
            screen->requestDelete(reminders.first());
    }
    return page;
}

void fillHabits(StoreContext *context)
{
    addReminder(context, QStringLiteral("Lunch"), ReminderCategory::meal, QTime(12, 30));
    addReminder(context, QStringLiteral("Breakfast"), ReminderCategory::meal, QTime(7, 45));
    addIntervalReminder(context, QStringLiteral("Sip water"), ReminderCategory::water, 45, QTime(9, 0), QTime(18, 0));
    addReminder(context, QStringLiteral("Stretch"), ReminderCategory::movement, QTime(16, 0), false,
                {Weekday::monday, Weekday::wednesday, Weekday::friday});
    addIntervalReminder(context, QStringLiteral("Stand up"), ReminderCategory::movement, 60, QTime(9, 0), QTime(17, 0),
                        QTime(11, 0));
    addReminder(context, QStringLiteral("Breathe before bed"), ReminderCategory::meditation, QTime(22, 0), true,
                {Weekday::saturday, Weekday::sunday});
    addReminder(context, QStringLiteral("Plants"), ReminderCategory::general, std::nullopt, false);
    context->save();
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("Today screen"), [] { return todayPage(fillToday); })
OVLIN_GALLERY_PAGE(QStringLiteral("Today screen, empty"), [] {
    return todayPage([](StoreContext *context) {
        addReward(context, QStringLiteral("First week"), 7, 0.8, std::nullopt, 0, MilestoneStatus::active);
        context->save();
    });
})
// One habit in a large window: the insights row keeps to its content.
OVLIN_GALLERY_PAGE(QStringLiteral("Today screen, one habit"), [] {
    return todayPage(
        [](StoreContext *context) {
            addReminder(context, QStringLiteral("Evening walk"), ReminderCategory::movement, QTime(19, 0));
            context->save();
        },
        QSize(1400, 980));
})
OVLIN_GALLERY_PAGE(QStringLiteral("Habits screen"), [] { return habitsPage(fillHabits); })
OVLIN_GALLERY_PAGE(QStringLiteral("Habits screen, empty"), [] { return habitsPage([](StoreContext *) {}); })
OVLIN_GALLERY_PAGE(QStringLiteral("Habits screen, delete"), [] { return habitsPage(fillHabits, true); })
// As wide as the screen is in the smallest main window (700): the insights row stacks its cards; and at
// the main window's usual width (860), where they share the row.
OVLIN_GALLERY_PAGE(QStringLiteral("Today screen, 700"), [] { return todayPage(fillToday, QSize(476, 400)); })
OVLIN_GALLERY_PAGE(QStringLiteral("Today screen, 860"), [] { return todayPage(fillToday, QSize(636, 400)); })
// As wide as the screen is in the smallest main window (700): the rows' buttons go under their texts.
OVLIN_GALLERY_PAGE(QStringLiteral("Habits screen, narrow"), [] { return habitsPage(fillHabits, false, 476); })
