// Gallery pages of the menu-bar item: the popover in each of its states and the drawn status icons.
#include "GalleryPage.h"
#include "GalleryRegistry.h"

#include "Base/Clock.h"
#include "Base/Days.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/ThemeColors.h"
#include "DesignSystem/ThemeFonts.h"
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarPopoverView.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QCoreApplication>
#include <QPainter>
#include <QUuid>
#include <QVBoxLayout>

#include <cmath>
#include <memory>
#include <optional>

using namespace ovlin;
using namespace ovlin::gallery;

namespace {

// Wednesday 10 June 2026, 13:30: lunch is overdue, the evening is still ahead.
const QDate kToday(2026, 6, 10);

QDateTime todayAt(int hour, int minute)
{
    return Days::atTime(kToday, hour, minute);
}

std::shared_ptr<Reminder> addReminder(StoreContext *context, const QString &title, ReminderCategory category,
                                      QTime time, const std::optional<QString> &detail = std::nullopt)
{
    auto reminder = Reminder::create(QUuid::createUuid(), title, category, detail, ScheduleType::fixedTime,
                                     QDateTime(QDate(2026, 1, 5), time), std::nullopt, std::nullopt, std::nullopt,
                                     {Weekday::monday, Weekday::tuesday, Weekday::wednesday, Weekday::thursday,
                                      Weekday::friday, Weekday::saturday, Weekday::sunday},
                                     true, QDateTime(QDate(2026, 1, 5), QTime(8, 0)));
    context->insert(reminder);
    return reminder;
}

void answer(const std::shared_ptr<Reminder> &reminder, QTime time, LogStatus status)
{
    const QDateTime at = todayAt(time.hour(), time.minute());
    ReminderLog::create(QUuid::createUuid(), reminder, at,
                        status == LogStatus::completed ? std::optional<QDateTime>(at.addSecs(120)) : std::nullopt,
                        status);
}

void addReward(StoreContext *context, const QString &name, qint64 days)
{
    context->insert(Milestone::create(QUuid::createUuid(), name, QStringLiteral("A weekend away"), days, 0.8,
                                      std::nullopt, todayAt(8, 0).addDays(-3), MilestoneStatus::active));
}

// One popover over a store of its own, as tall as the controller would make it.
class PopoverSample : public QWidget
{
public:
    explicit PopoverSample(const std::function<void(StoreContext *)> &fill, bool withStore = true)
    {
        QString error;
        if (withStore) {
            m_store = StoreContainer::openInMemory(&error);
            fill(m_store->mainContext());
            m_store->mainContext()->save();
            // Let the store announce the save now, so the popover draws once (phrases are picked per drawing).
            QCoreApplication::processEvents();
        }
        auto *layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        m_view = new MenuBarPopoverView(m_store ? m_store->mainContext() : nullptr, [] {});
        layout->addWidget(m_view);
        setFixedSize(int(LayoutTokens::popoverWidth), int(LayoutTokens::popoverMinHeight));
        QObject::connect(m_view, &MenuBarPopoverView::redrawn, this, [this] { fit(); });
    }

private:
    void fit()
    {
        const double height = MenuBarController::clampedPopoverHeight(m_view->heightForWidth(m_view->width()));
        setFixedHeight(int(std::ceil(height)));
    }

    std::unique_ptr<StoreContainer> m_store;
    MenuBarPopoverView *m_view;
};

QWidget *popoverPage()
{
    // The rows depend on the time of day; the clock stays pinned until the page is gone.
    Clock::setNow(todayAt(13, 30));
    auto *page = new GalleryPage(QStringLiteral("MenuBarPopover"));
    // A darker desk, so the popovers' edges show.
    page->setBackground(ThemeColors::neutral300());
    QObject::connect(page, &QObject::destroyed, [] { Clock::useSystemTime(); });

    page->addRow(QStringLiteral("today"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      auto water = addReminder(c, QStringLiteral("Drink water"), ReminderCategory::water, QTime(9, 0));
                      answer(water, QTime(9, 0), LogStatus::completed);
                      auto walk = addReminder(c, QStringLiteral("Walk around the block"), ReminderCategory::movement,
                                              QTime(10, 30), QStringLiteral("Ten minutes, no phone"));
                      answer(walk, QTime(10, 30), LogStatus::skipped);
                      auto stretch =
                          addReminder(c, QStringLiteral("Stretch"), ReminderCategory::movement, QTime(11, 0));
                      answer(stretch, QTime(11, 0), LogStatus::skipped);
                      addReminder(c, QStringLiteral("Lunch away from the desk"), ReminderCategory::meal, QTime(12, 30));
                      addReminder(c, QStringLiteral("Evening meditation"), ReminderCategory::meditation, QTime(21, 0));
                      addReward(c, QStringLiteral("Weekend trip"), 7);
                  }),
                  QStringLiteral("overdue, skipped, completed and upcoming rows, a reward"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      addReminder(c, QStringLiteral("Snack"), ReminderCategory::snack, QTime(16, 0));
                      addReminder(c, QStringLiteral("Water"), ReminderCategory::water, QTime(17, 0));
                  }),
                  QStringLiteral("nothing due yet, no reward"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      const QString titles[] = {QStringLiteral("Water"),       QStringLiteral("Breakfast"),
                                                QStringLiteral("Stretch"),     QStringLiteral("Snack"),
                                                QStringLiteral("Walk"),        QStringLiteral("Lunch"),
                                                QStringLiteral("Water again"), QStringLiteral("Breathe"),
                                                QStringLiteral("Tea"),         QStringLiteral("Dinner")};
                      int hour = 8;
                      for (const QString &title : titles) {
                          auto r = addReminder(c, title, ReminderCategory::general, QTime(hour, 0));
                          if (hour < 11)
                              answer(r, QTime(hour, 0), LogStatus::completed);
                          ++hour;
                      }
                      addReward(c, QStringLiteral("New running shoes"), 14);
                  }),
                  QStringLiteral("a long day: the list scrolls at 480"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      for (int i = 0; i < 30; ++i)
                          addReminder(c, QStringLiteral("Habit %1").arg(i + 1), ReminderCategory::general,
                                      QTime(14, 0).addSecs(i * 600));
                  }),
                  QStringLiteral("30 habits, none due yet: rows keep their size"));

    page->addRow(QStringLiteral("other states"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      addReminder(c, QStringLiteral("Water"), ReminderCategory::water, QTime(17, 0));
                      addReward(c, QStringLiteral("Burger run"), 1);
                  }),
                  QStringLiteral("one habit, one reward: no scroll bar"));
    page->addCell(new PopoverSample([](StoreContext *c) {
                      for (const auto &[title, time] : {std::pair{QStringLiteral("Water"), QTime(9, 0)},
                                                        std::pair{QStringLiteral("Lunch"), QTime(12, 0)},
                                                        std::pair{QStringLiteral("Walk"), QTime(13, 0)}}) {
                          answer(addReminder(c, title, ReminderCategory::general, time), time, LogStatus::completed);
                      }
                      addReward(c, QStringLiteral("Weekend trip"), 7);
                  }),
                  QStringLiteral("all done, with a reward"));
    page->addCell(new PopoverSample([](StoreContext *c) { addReward(c, QStringLiteral("Weekend trip"), 7); }),
                  QStringLiteral("nothing scheduled today"));
    page->addCell(new PopoverSample([](StoreContext *) {}, false), QStringLiteral("before the store is attached"));
    return page;
}

// A drawn status icon, enlarged, on a panel colour. On a dark panel a template icon is shown as a
// desktop that honours templates tints it: white, keeping only its alpha.
class IconSample : public QWidget
{
public:
    IconSample(bool hasOverdue, qint64 overdueCount, double progress, const QColor &panel)
        : m_icon(MenuBarController::makeStatusIcon(hasOverdue, overdueCount, progress, 8)), m_panel(panel)
    {
        setFixedSize(96, 96);
        if (m_icon.isTemplate && panel.lightness() < 128) {
            QPainter tint(&m_icon.image);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(QRectF(0, 0, MenuBarController::statusIconSide, MenuBarController::statusIconSide),
                          Qt::white);
        }
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), m_panel);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const double side = MenuBarController::statusIconSide * 4;
        p.drawImage(QRectF((width() - side) / 2, (height() - side) / 2, side, side), m_icon.image);
        p.setPen(m_panel.lightness() > 128 ? ThemeColors::textSecondary() : QColor(Qt::white));
        p.setFont(ThemeFonts::caption());
        p.drawText(rect().adjusted(4, 2, -4, -2), Qt::AlignTop | Qt::AlignLeft,
                   m_icon.isTemplate ? QStringLiteral("template") : QStringLiteral("colour"));
    }

private:
    MenuBarController::StatusIcon m_icon;
    QColor m_panel;
};

QWidget *statusIconPage()
{
    auto *page = new GalleryPage(QStringLiteral("MenuBarStatusIcon"));
    const struct
    {
        const char *caption;
        bool hasOverdue;
        qint64 count;
        double progress;
    } cases[] = {{"nothing done", false, 0, 0},        {"a quarter", false, 0, 0.25},
                 {"two thirds", false, 0, 2.0 / 3},    {"all done", false, 0, 1},
                 {"2 overdue, none done", true, 2, 0}, {"overdue, half done", true, 1, 0.5}};
    for (const QColor &panel : {QColor(0xF6, 0xF6, 0xF6), QColor(0x24, 0x24, 0x24)}) {
        page->addRow(panel.lightness() > 128 ? QStringLiteral("light panel") : QStringLiteral("dark panel"));
        for (const auto &c : cases)
            page->addCell(new IconSample(c.hasOverdue, c.count, c.progress, panel), QString::fromLatin1(c.caption));
    }
    return page;
}

} // namespace

OVLIN_GALLERY_PAGE(QStringLiteral("MenuBarPopover"), popoverPage)
OVLIN_GALLERY_PAGE(QStringLiteral("MenuBarStatusIcon"), statusIconPage)
