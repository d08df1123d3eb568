#include "MenuBar/MenuBarTestSupport.h"

#include "DesignSystem/DesktopCompositing.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/ThemeColors.h"
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarMirrorStore.h"
#include "MenuBar/MenuBarPopover.h"
#include "MenuBar/MenuBarPopoverView.h"
#include "MenuBar/TrayStatusItem.h"
#include "Model/Milestone.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QUuid>
#include <QtTest>

#include <cmath>
#include <limits>
#include <memory>

using namespace ovlin;

namespace {

constexpr double kRatio = 4;

// Where an angle (degrees clockwise from twelve o'clock) meets the icon's circle, in pixels at kRatio.
QPoint onCircle(double degrees)
{
    const double centre = MenuBarController::statusIconSide / 2;
    const double radians = degrees * M_PI / 180;
    return QPoint(int(std::floor((centre + 7.5 * std::sin(radians)) * kRatio)),
                  int(std::floor((centre - 7.5 * std::cos(radians)) * kRatio)));
}

// Inside the overdue dot and away from the circle: (16, 3) points.
QPoint insideDot()
{
    return QPoint(int(16 * kRatio), int(3 * kRatio));
}

enum class Mark { track, arc };

bool sameRgb(const QColor &a, const QColor &b, int tolerance = 8)
{
    return std::abs(a.red() - b.red()) <= tolerance && std::abs(a.green() - b.green()) <= tolerance &&
           std::abs(a.blue() - b.blue()) <= tolerance;
}

void pressAt(QWidget *widget, const QPoint &local, Qt::MouseButton button = Qt::LeftButton)
{
    const QPointF global = widget->mapToGlobal(QPointF(local));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(local), global, button, button, Qt::NoModifier);
    QApplication::sendEvent(widget, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(local), global, button, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &release);
}

QStringList actionTexts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

QAction *actionNamed(const QMenu *menu, const QString &text)
{
    for (QAction *action : menu->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

// A content of a fixed fitting height, standing in for the popover view.
QWidget *contentOfHeight(int height)
{
    auto *content = new QWidget;
    content->setFixedSize(250, height);
    return content;
}

struct Harness
{
    explicit Harness(bool hasButton = true)
    {
        auto item = std::make_unique<FakeStatusItem>(hasButton);
        statusItem = item.get();
        controller = std::make_unique<MenuBarController>(std::move(item));
        controller->setQuitHandler([this] { ++quits; });
        controller->setup();
    }
    ~Harness()
    {
        if (QMenu *menu = controller->contextMenu())
            menu->hide();
    }

    FakeStatusItem *statusItem = nullptr;
    std::unique_ptr<MenuBarController> controller;
    int quits = 0;
};

} // namespace

namespace {
struct Records
{
    std::unique_ptr<StoreContainer> store;
    QList<std::shared_ptr<Reminder>> reminders;
    QList<std::shared_ptr<ReminderLog>> logs;
    QList<std::shared_ptr<Milestone>> milestones;
};

Records someRecords()
{
    Records r;
    QString error;
    r.store = StoreContainer::openInMemory(&error);
    StoreContext *context = r.store->mainContext();
    auto reminder =
        Reminder::create(QUuid::createUuid(), QStringLiteral("Water"), ReminderCategory::water, std::nullopt,
                         ScheduleType::fixedTime, QDateTime(QDate(2026, 1, 1), QTime(9, 0)), std::nullopt, std::nullopt,
                         std::nullopt, {Weekday::monday}, true, QDateTime(QDate(2026, 1, 1), QTime(8, 0)));
    context->insert(reminder);
    ReminderLog::create(QUuid::createUuid(), reminder, QDateTime(QDate(2026, 1, 5), QTime(9, 0)), std::nullopt,
                        LogStatus::skipped);
    context->insert(Milestone::create(QUuid::createUuid(), QStringLiteral("Trip"), QStringLiteral("A trip"), 7, 0.8,
                                      std::nullopt, QDateTime(QDate(2026, 1, 1), QTime(0, 0)),
                                      MilestoneStatus::active));
    r.reminders = context->fetch<Reminder>();
    r.logs = context->fetch<ReminderLog>();
    r.milestones = context->fetch<Milestone>();
    return r;
}
} // namespace

class TestMenuBarController : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        QGuiApplication::setWindowIcon(QIcon());
    }
    void cleanup()
    {
        QGuiApplication::setWindowIcon(QIcon());
        DesktopCompositing::setProbe({});
    }

    void statusIconMarks_data()
    {
        QTest::addColumn<bool>("hasOverdue");
        QTest::addColumn<qint64>("overdueCount");
        QTest::addColumn<double>("progress");
        // Marks at 45, 80, 105, 135, 225 and 315 degrees clockwise from the top.
        QTest::addColumn<QList<int>>("marks");
        QTest::addColumn<QColor>("arcColor");
        QTest::addColumn<bool>("dot");

        const QColor label(0, 0, 0);
        const int t = int(Mark::track);
        const int a = int(Mark::arc);
        QTest::newRow("nothing done") << false << qint64(0) << 0.0 << QList<int>{t, t, t, t, t, t} << label << false;
        QTest::newRow("a quarter ends at three o'clock")
            << false << qint64(0) << 0.25 << QList<int>{a, a, t, t, t, t} << label << false;
        QTest::newRow("half") << false << qint64(0) << 0.5 << QList<int>{a, a, a, a, t, t} << label << false;
        QTest::newRow("all done") << false << qint64(0) << 1.0 << QList<int>{a, a, a, a, a, a} << ThemeColors::primary()
                                  << false;
        QTest::newRow("beyond all done is a full circle")
            << false << qint64(0) << 1.5 << QList<int>{a, a, a, a, a, a} << ThemeColors::primary() << false;
        QTest::newRow("two overdue, none done")
            << true << qint64(2) << 0.0 << QList<int>{t, t, t, t, t, t} << ThemeColors::destructive() << true;
        QTest::newRow("overdue, half done")
            << true << qint64(1) << 0.5 << QList<int>{a, a, a, a, t, t} << ThemeColors::destructive() << true;
        QTest::newRow("overdue and all done")
            << true << qint64(1) << 1.0 << QList<int>{a, a, a, a, a, a} << ThemeColors::destructive() << true;
        QTest::newRow("overdue flag without a count has no dot")
            << true << qint64(0) << 0.5 << QList<int>{a, a, a, a, t, t} << ThemeColors::destructive() << false;
        QTest::newRow("negative progress draws no arc")
            << false << qint64(0) << -0.5 << QList<int>{t, t, t, t, t, t} << label << false;
        QTest::newRow("NaN progress draws no arc") << false << qint64(0) << std::numeric_limits<double>::quiet_NaN()
                                                   << QList<int>{t, t, t, t, t, t} << label << false;
        QTest::newRow("infinite progress is a full circle")
            << false << qint64(0) << std::numeric_limits<double>::infinity() << QList<int>{a, a, a, a, a, a}
            << ThemeColors::primary() << false;
    }

    void statusIconMarks()
    {
        QFETCH(bool, hasOverdue);
        QFETCH(qint64, overdueCount);
        QFETCH(double, progress);
        QFETCH(QList<int>, marks);
        QFETCH(QColor, arcColor);
        QFETCH(bool, dot);

        const auto icon = MenuBarController::makeStatusIcon(hasOverdue, overdueCount, progress, kRatio);
        const double angles[] = {45, 80, 105, 135, 225, 315};
        for (int i = 0; i < 6; ++i) {
            QPoint at = onCircle(angles[i]);
            // The dot covers the circle around 45 degrees; look just inside the circle's stroke there.
            if (dot && angles[i] == 45)
                continue;
            const QColor pixel = icon.image.pixelColor(at);
            if (marks[i] == int(Mark::arc)) {
                QVERIFY2(pixel.alpha() > 200, qPrintable(QStringLiteral("no arc at %1 degrees").arg(angles[i])));
                QVERIFY2(
                    sameRgb(pixel, arcColor),
                    qPrintable(QStringLiteral("arc colour at %1: %2").arg(angles[i]).arg(pixel.name(QColor::HexArgb))));
            } else {
                // The faint track alone: the label colour at a quarter.
                QVERIFY2(pixel.alpha() > 40 && pixel.alpha() < 90,
                         qPrintable(QStringLiteral("track at %1 degrees: alpha %2").arg(angles[i]).arg(pixel.alpha())));
                QVERIFY(sameRgb(pixel, MenuBarController::labelColor()));
            }
        }
        const QColor dotPixel = icon.image.pixelColor(insideDot());
        if (dot) {
            QCOMPARE(dotPixel.alpha(), 255);
            QVERIFY(sameRgb(dotPixel, ThemeColors::green900(), 2));
        } else {
            QCOMPARE(dotPixel.alpha(), 0);
        }
        // Nothing is drawn in the centre or the far corners.
        QCOMPARE(icon.image.pixelColor(QPoint(int(9 * kRatio), int(9 * kRatio))).alpha(), 0);
        QCOMPARE(icon.image.pixelColor(QPoint(1, int(18 * kRatio) - 2)).alpha(), 0);
    }

    void statusIconIsEighteenPoints()
    {
        for (double ratio : {1.0, 2.0, 3.0}) {
            const auto icon = MenuBarController::makeStatusIcon(false, 0, 0.3, ratio);
            QCOMPARE(icon.image.devicePixelRatio(), ratio);
            QCOMPARE(icon.image.deviceIndependentSize(), QSizeF(18, 18));
        }
        // Unusable ratios fall back to 1 rather than drawing nothing or too much.
        QCOMPARE(MenuBarController::makeStatusIcon(false, 0, 0.3, 0).image.size(), QSize(18, 18));
        QCOMPARE(
            MenuBarController::makeStatusIcon(false, 0, 0.3, std::numeric_limits<double>::quiet_NaN()).image.size(),
            QSize(18, 18));
    }

    void statusIconTemplate_data()
    {
        QTest::addColumn<bool>("hasOverdue");
        QTest::addColumn<qint64>("overdueCount");
        QTest::addColumn<double>("progress");
        QTest::addColumn<bool>("isTemplate");
        QTest::newRow("nothing done") << false << qint64(0) << 0.0 << true;
        QTest::newRow("a quarter") << false << qint64(0) << 0.25 << true;
        QTest::newRow("just short of all") << false << qint64(0) << 0.999 << true;
        QTest::newRow("all done") << false << qint64(0) << 1.0 << false;
        QTest::newRow("beyond all") << false << qint64(0) << 1.5 << false;
        QTest::newRow("overdue") << true << qint64(2) << 0.0 << false;
        QTest::newRow("overdue, partly done") << true << qint64(1) << 0.4 << false;
        QTest::newRow("count without flag") << false << qint64(1) << 0.0 << true;
        QTest::newRow("NaN") << false << qint64(0) << std::numeric_limits<double>::quiet_NaN() << true;
    }

    void statusIconTemplate()
    {
        QFETCH(bool, hasOverdue);
        QFETCH(qint64, overdueCount);
        QFETCH(double, progress);
        QFETCH(bool, isTemplate);
        QCOMPARE(MenuBarController::makeStatusIcon(hasOverdue, overdueCount, progress).isTemplate, isTemplate);
    }

    void mirrorStoreCountsEveryUpdate()
    {
        const Records records = someRecords();
        MenuBarMirrorStore mirror;
        QCOMPARE(mirror.version(), 0);
        QVERIFY(mirror.reminders().isEmpty() && mirror.logs().isEmpty() && mirror.milestones().isEmpty());
        for (int i = 0; i < 3; ++i)
            mirror.update(records.reminders, records.logs, records.milestones);
        QCOMPARE(mirror.version(), 3);
        QCOMPARE(mirror.reminders(), records.reminders);
        QCOMPARE(mirror.logs(), records.logs);
        QCOMPARE(mirror.milestones(), records.milestones);
        // The mirror holds the store's own objects and writes nothing.
        QVERIFY(mirror.reminders().first().get() == records.reminders.first().get());
        QVERIFY(!records.store->mainContext()->fetch<Reminder>().first()->isDeleted());
        // An empty update empties it and still counts.
        mirror.update({}, {}, {});
        QCOMPARE(mirror.version(), 4);
        QVERIFY(mirror.reminders().isEmpty() && mirror.logs().isEmpty() && mirror.milestones().isEmpty());
    }

    void mirrorStoreAnnouncesEachFieldBeforeItChanges()
    {
        const Records records = someRecords();
        MenuBarMirrorStore mirror;
        // Each announcement sees the fields as they were just before the next one changes.
        QStringList seen;
        connect(&mirror, &MenuBarMirrorStore::objectWillChange, &mirror, [&] {
            seen << QStringLiteral("%1%2%3v%4")
                        .arg(mirror.reminders().size())
                        .arg(mirror.logs().size())
                        .arg(mirror.milestones().size())
                        .arg(mirror.version());
        });
        mirror.update(records.reminders, records.logs, records.milestones);
        QCOMPARE(seen, (QStringList{"000v0", "100v0", "110v0", "111v0"}));
        QCOMPARE(mirror.version(), 1);
    }

    void setupConfiguresTheItem_data()
    {
        QTest::addColumn<bool>("hasButton");
        QTest::newRow("with a status area") << true;
        QTest::newRow("before any status area runs") << false;
    }

    void setupConfiguresTheItem()
    {
        QFETCH(bool, hasButton);
        WarningCollector warnings;
        Harness h(hasButton);
        // Set up and shown, with its icon already in place, whether or not a host runs yet.
        QVERIFY(h.statusItem->isVisible());
        QVERIFY(h.statusItem->shownWithIcon);
        QCOMPARE(h.statusItem->accessibleName(), QStringLiteral("Ovlin — habit reminders"));
        QVERIFY(!h.statusItem->icon().isNull());
        // The bare track, as a template.
        QVERIFY(h.statusItem->icon().isMask());
        QCOMPARE(actionTexts(h.controller->contextMenu()), (QStringList{"Show App", "Quit"}));
        // The placeholder content until a store is attached, at the popover's smallest size.
        QVERIFY(h.controller->popover()->content());
        QCOMPARE(h.controller->popover()->contentSize(), QSize(320, 120));
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(warnings.messages().isEmpty());
    }

    void withoutTrayHostNothingOpens()
    {
        WarningCollector warnings;
        Harness h(false);
        QString error;
        auto store = StoreContainer::openInMemory(&error);
        h.controller->attach(store.get());

        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());
        h.statusItem->click(MenuBarStatusItem::Click::right);
        QVERIFY(!h.controller->contextMenu()->isVisible());
        // The shell's own routes still work.
        QSignalSpy showApp(h.controller.get(), &MenuBarController::showAppRequested);
        h.controller->showAppFromContextMenu();
        QCOMPARE(showApp.count(), 1);
        QVERIFY(warnings.messages().isEmpty());
    }

    void hostStartingLaterFindsTheItemReady()
    {
        Harness h(false);
        h.controller->updateIcon(true, 2, 0.5);
        const QImage expected = MenuBarController::makeStatusIcon(true, 2, 0.5, 2).image;

        h.statusItem->setHasButton(true);
        QCOMPARE(h.statusItem->icon().pixmap(QSize(18, 18), 2.0).toImage().convertToFormat(QImage::Format_ARGB32),
                 expected.convertToFormat(QImage::Format_ARGB32));
        h.statusItem->click(MenuBarStatusItem::Click::right);
        QVERIFY(h.controller->contextMenu()->isVisible());
        QCOMPARE(actionTexts(h.controller->contextMenu()), (QStringList{"Show App", "Quit"}));
        h.controller->contextMenu()->hide();
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());
    }

    void realTrayItemWithoutHost()
    {
        // The real tray icon: the offscreen platform has no status area, and nothing may break for that.
        WarningCollector warnings;
        MenuBarController controller;
        controller.setup();
        QString error;
        auto store = StoreContainer::openInMemory(&error);
        controller.attach(store.get());
        controller.updateIcon(false, 0, 0.5);
        controller.togglePopover(MenuBarStatusItem::Click::left);
        QCOMPARE(controller.isPopoverShown(), QSystemTrayIcon::isSystemTrayAvailable());
        controller.togglePopover(MenuBarStatusItem::Click::left);
        QVERIFY(!controller.isPopoverShown());
        if (!QSystemTrayIcon::isSystemTrayAvailable())
            QVERIFY(!controller.statusItem()->hasButton());
        // Set up all the same (on X11 also shown), so a tray that starts later finds it; and no "No Icon set".
        QVERIFY(!controller.statusItem()->icon().isNull());
        QCOMPARE(controller.statusItem()->accessibleName(), QStringLiteral("Ovlin — habit reminders"));
        if (QGuiApplication::platformName() == QLatin1String("xcb"))
            QVERIFY(controller.statusItem()->isVisible());
        QVERIFY(warnings.messages().isEmpty());
    }

    void popoverHeightClamped_data()
    {
        QTest::addColumn<double>("fitting");
        QTest::addColumn<double>("height");
        QTest::newRow("80") << 80.0 << 120.0;
        QTest::newRow("120") << 120.0 << 120.0;
        QTest::newRow("121") << 121.0 << 121.0;
        QTest::newRow("300") << 300.0 << 300.0;
        QTest::newRow("480") << 480.0 << 480.0;
        QTest::newRow("900") << 900.0 << 480.0;
        QTest::newRow("negative") << -5.0 << 120.0;
        QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 480.0;
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << 120.0;
    }

    void popoverHeightClamped()
    {
        QFETCH(double, fitting);
        QFETCH(double, height);
        QCOMPARE(MenuBarController::clampedPopoverHeight(fitting), height);
    }

    void popoverSizeFollowsContent_data()
    {
        QTest::addColumn<int>("fitting");
        QTest::addColumn<QSize>("size");
        QTest::newRow("80") << 80 << QSize(320, 120);
        QTest::newRow("300") << 300 << QSize(320, 300);
        QTest::newRow("900") << 900 << QSize(320, 480);
    }

    void popoverSizeFollowsContent()
    {
        QFETCH(int, fitting);
        QFETCH(QSize, size);
        Harness h;
        // The content is 250 wide: the popover stays 320 whatever the content asks for.
        h.controller->popover()->setContent(contentOfHeight(fitting));
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());
        QCOMPARE(h.controller->popover()->contentSize(), size);
        QCOMPARE(h.controller->popover()->size(), size);
    }

    void leftClicksToggleThePopover()
    {
        Harness h;
        QVERIFY(!h.controller->hasEventMonitor());
        for (int round = 0; round < 2; ++round) {
            h.statusItem->click(MenuBarStatusItem::Click::left);
            QVERIFY(h.controller->isPopoverShown());
            QVERIFY(h.controller->hasEventMonitor());
            h.statusItem->click(MenuBarStatusItem::Click::left);
            QVERIFY(!h.controller->isPopoverShown());
            QVERIFY(!h.controller->hasEventMonitor());
        }
    }

    void rightClickClosesPopoverAndShowsMenu()
    {
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());

        h.statusItem->click(MenuBarStatusItem::Click::right);
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());
        QVERIFY(h.controller->contextMenu()->isVisible());
        QCOMPARE(actionTexts(h.controller->contextMenu()), (QStringList{"Show App", "Quit"}));

        // Once the menu has closed, a left click opens the popover again.
        h.controller->contextMenu()->hide();
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());
    }

    void pressThroughTheOpenPopover_data()
    {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("where"); // global
        QTest::addColumn<bool>("menuShown");
        const QPoint onItem = QRect(600, 0, 24, 24).center();
        QTest::newRow("right click on the item") << Qt::RightButton << onItem << true;
        QTest::newRow("left click on the item") << Qt::LeftButton << onItem << false;
        QTest::newRow("right click elsewhere") << Qt::RightButton << QPoint(100, 500) << false;
    }

    void pressThroughTheOpenPopover()
    {
        // While the popover is open the popup takes every press, the one on the item included.
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, where);
        QFETCH(bool, menuShown);
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        MenuBarPopover *popover = h.controller->popover();
        QVERIFY(QTest::qWaitForWindowExposed(popover));

        QTest::mousePress(popover, button, Qt::NoModifier, popover->mapFromGlobal(where));
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());
        QCoreApplication::processEvents();
        QCOMPARE(h.controller->contextMenu()->isVisible(), menuShown);
        QVERIFY(!h.controller->isPopoverShown());
    }

    void showAppAndQuitFromTheMenu()
    {
        Harness h;
        QSignalSpy showApp(h.controller.get(), &MenuBarController::showAppRequested);
        h.statusItem->click(MenuBarStatusItem::Click::right);
        actionNamed(h.controller->contextMenu(), QStringLiteral("Show App"))->trigger();
        QCOMPARE(showApp.count(), 1);
        QCOMPARE(h.quits, 0);
        // "Show App" leaves the popover alone (the menu closed it already).
        QVERIFY(!h.controller->isPopoverShown());

        actionNamed(h.controller->contextMenu(), QStringLiteral("Quit"))->trigger();
        QCOMPARE(h.quits, 1);
        QCOMPARE(showApp.count(), 1);
    }

    void outsideClickClosesAndRemovesTheMonitor()
    {
        Harness h;
        QWidget elsewhere;
        elsewhere.setGeometry(40, 300, 200, 100);
        elsewhere.show();
        QVERIFY(QTest::qWaitForWindowExposed(&elsewhere));

        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());
        QVERIFY(h.controller->hasEventMonitor());

        pressAt(&elsewhere, QPoint(10, 10), Qt::RightButton);
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());

        // A second click finds nothing installed and changes nothing.
        pressAt(&elsewhere, QPoint(20, 20));
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());

        // Only left and right presses count.
        h.statusItem->click(MenuBarStatusItem::Click::left);
        pressAt(&elsewhere, QPoint(10, 10), Qt::MiddleButton);
        QVERIFY(h.controller->isPopoverShown());
        pressAt(&elsewhere, QPoint(10, 10));
        QVERIFY(!h.controller->isPopoverShown());
    }

    void clickInsidePopoverKeepsItOpen()
    {
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QWidget *content = h.controller->popover()->content();
        QVERIFY(content);
        pressAt(content, QPoint(30, 30));
        QVERIFY(h.controller->isPopoverShown());
        QVERIFY(h.controller->hasEventMonitor());
    }

    void popoverClosedByItselfDropsTheMonitor()
    {
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->hasEventMonitor());
        // As when the popup closes on Escape.
        h.controller->popover()->hide();
        QVERIFY(!h.controller->hasEventMonitor());
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(h.controller->isPopoverShown());
        QVERIFY(h.controller->hasEventMonitor());
    }

    void openMainWindowClosesFirst()
    {
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        bool shownWhenAsked = true;
        connect(h.controller.get(), &MenuBarController::showAppRequested, h.controller.get(),
                [&] { shownWhenAsked = h.controller->isPopoverShown(); });
        QSignalSpy showApp(h.controller.get(), &MenuBarController::showAppRequested);
        h.controller->openMainWindow();
        QCOMPARE(showApp.count(), 1);
        QVERIFY(!shownWhenAsked);
        QVERIFY(!h.controller->isPopoverShown());
        QVERIFY(!h.controller->hasEventMonitor());
    }

    void popoverOpensUnderTheItem()
    {
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        const QRect item = h.statusItem->geometry();
        const QRect popover = h.controller->popover()->geometry();
        QCOMPARE(popover.top(), item.bottom() + 1 + MenuBarPopover::anchorGap);
        QCOMPARE(popover.center().x(), item.center().x());
    }

    void popoverShapeAndOutline_data()
    {
        QTest::addColumn<bool>("composited");
        QTest::newRow("compositing manager: translucent corners") << true;
        QTest::newRow("no compositing manager: cut to its shape") << false;
    }

    void popoverShapeAndOutline()
    {
        QFETCH(bool, composited);
        DesktopCompositing::setProbe([composited](const QScreen *) { return composited; });
        Harness h;
        h.statusItem->click(MenuBarStatusItem::Click::left);
        MenuBarPopover *popover = h.controller->popover();
        QCOMPARE(popover->testAttribute(Qt::WA_TranslucentBackground), composited);
        const QRegion mask = popover->mask();
        QCOMPARE(mask.isEmpty(), composited);
        const QRect area = popover->rect();
        if (!composited) {
            QVERIFY(!mask.contains(area.topLeft()));
            QVERIFY(!mask.contains(area.bottomRight()));
            QVERIFY(mask.contains(area.center()));
            QVERIFY(mask.contains(QPoint(area.center().x(), area.top())));
        }
        // The 1 px outline either way, over the content's own background.
        const QImage image = popover->grab().toImage();
        const int x = area.center().x();
        for (const QPoint edge : {QPoint(x, 0), QPoint(x, area.bottom()), QPoint(0, area.center().y())})
            QVERIFY(sameRgb(image.pixelColor(edge), ThemeColors::border(), 2));
        QVERIFY(sameRgb(image.pixelColor(x, 4), ThemeColors::background(), 2));
        if (composited)
            QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
    }

    void popoverFollowsItsContentWhileOpen_data()
    {
        QTest::addColumn<bool>("bottomBar");
        QTest::newRow("item in a top bar") << false;
        QTest::newRow("item in a bottom bar") << true;
    }

    void popoverFollowsItsContentWhileOpen()
    {
        QFETCH(bool, bottomBar);
        const QRect screen = MenuBarPopover::availableArea(QRect(10, 10, 1, 1));
        QVERIFY(screen.height() > 400);
        const QRect item = bottomBar ? QRect(screen.center().x(), screen.bottom() - 23, 24, 24)
                                     : QRect(screen.center().x(), screen.top(), 24, 24);
        auto statusItem = std::make_unique<FakeStatusItem>(true, item);
        FakeStatusItem *fake = statusItem.get();
        MenuBarController controller(std::move(statusItem));
        controller.setup();
        QWidget *content = contentOfHeight(200);
        controller.popover()->setContent(content);
        fake->click(MenuBarStatusItem::Click::left);
        QCOMPARE(controller.popover()->contentSize(), QSize(320, 200));

        content->setFixedHeight(350);
        QTRY_COMPARE_WITH_TIMEOUT(controller.popover()->contentSize(), QSize(320, 350), 1000);
        const QRect popover = controller.popover()->geometry();
        if (bottomBar)
            QCOMPARE(popover.bottom() + 1 + MenuBarPopover::anchorGap, item.top());
        else
            QCOMPARE(popover.top(), item.bottom() + 1 + MenuBarPopover::anchorGap);
    }

    void placement_data()
    {
        QTest::addColumn<QRect>("anchor");
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QPoint>("origin");
        const QRect screen(0, 0, 1280, 800);
        QTest::newRow("under an item in a top bar") << QRect(600, 0, 24, 24) << screen << QPoint(452, 30);
        QTest::newRow("above an item in a bottom bar") << QRect(600, 776, 24, 24) << screen << QPoint(452, 570);
        QTest::newRow("kept inside on the right") << QRect(1250, 0, 24, 24) << screen << QPoint(960, 30);
        QTest::newRow("kept inside on the left") << QRect(0, 0, 24, 24) << screen << QPoint(0, 30);
        QTest::newRow("at the cursor") << QRect(700, 400, 1, 1) << screen << QPoint(540, 407);
        QTest::newRow("second screen") << QRect(2000, 0, 24, 24) << QRect(1280, 0, 1920, 1080) << QPoint(1852, 30);
        QTest::newRow("no screen known") << QRect(600, 0, 24, 24) << QRect() << QPoint(452, 30);
    }

    void placement()
    {
        QFETCH(QRect, anchor);
        QFETCH(QRect, available);
        QFETCH(QPoint, origin);
        QCOMPARE(MenuBarPopover::placement(anchor, QSize(320, 200), available), origin);
    }

    void attachHostsThePopoverView()
    {
        Harness h;
        QString error;
        auto store = StoreContainer::openInMemory(&error);
        QWidget *placeholder = h.controller->popover()->content();
        h.controller->attach(store.get());
        auto *view = qobject_cast<MenuBarPopoverView *>(h.controller->popover()->content());
        QVERIFY(view);
        QVERIFY(view != placeholder);
        QVERIFY(!view->viewModel());

        QSignalSpy showApp(h.controller.get(), &MenuBarController::showAppRequested);
        h.statusItem->click(MenuBarStatusItem::Click::left);
        QVERIFY(view->viewModel());
        QCOMPARE(view->mainArea(), MenuBarPopoverView::MainArea::nothingToday);
        // The popover follows the view's fitting height, within its limits.
        const int fitting = view->heightForWidth(320);
        QCOMPARE(h.controller->popover()->contentSize(),
                 QSize(320, int(std::ceil(MenuBarController::clampedPopoverHeight(fitting)))));

        // "Open app" in the view closes the popover and asks for the main window.
        auto *open = view->findChild<QAbstractButton *>(QStringLiteral("OpenAppButton"));
        QVERIFY(open);
        open->click();
        QCOMPARE(showApp.count(), 1);
        QVERIFY(!h.controller->isPopoverShown());
    }

    void attachWithoutStoreIsIgnored()
    {
        Harness h;
        QWidget *placeholder = h.controller->popover()->content();
        QTest::ignoreMessage(QtWarningMsg, "MenuBarController::attach: no store to attach");
        h.controller->attach(nullptr);
        QCOMPARE(h.controller->popover()->content(), placeholder);
    }

    void updateIconDrawsWithoutAppIcon_data() { statusIconTemplate_data(); }

    void updateIconDrawsWithoutAppIcon()
    {
        QFETCH(bool, hasOverdue);
        QFETCH(qint64, overdueCount);
        QFETCH(double, progress);
        QFETCH(bool, isTemplate);
        Harness h;
        h.controller->updateIcon(hasOverdue, overdueCount, progress);
        const QIcon icon = h.statusItem->icon();
        QCOMPARE(icon.isMask(), isTemplate);
        const QImage shown =
            icon.pixmap(QSize(18, 18), 2.0).toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QImage drawn = MenuBarController::makeStatusIcon(hasOverdue, overdueCount, progress, 2).image;
        QCOMPARE(shown.size(), drawn.size());
        QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32), drawn.convertToFormat(QImage::Format_ARGB32));
    }

    void updateIconUsesAppIconWhenThereIsOne()
    {
        QImage art(64, 64, QImage::Format_ARGB32);
        art.fill(QColor(0x20, 0x80, 0xC0));
        const QIcon appIcon(QPixmap::fromImage(art));
        QGuiApplication::setWindowIcon(appIcon);
        const qint64 appKey = QGuiApplication::windowIcon().cacheKey();

        Harness h;
        const struct
        {
            bool hasOverdue;
            qint64 count;
            double progress;
        } calls[] = {{false, 0, 0}, {true, 3, 0.2}, {false, 0, 1}};
        int changes = h.statusItem->iconChanges;
        for (const auto &call : calls) {
            h.controller->updateIcon(call.hasOverdue, call.count, call.progress);
            QCOMPARE(h.statusItem->iconChanges, ++changes);
            const QIcon icon = h.statusItem->icon();
            QVERIFY(!icon.isMask());
            const QList<QSize> sizes = icon.availableSizes();
            QVERIFY(!sizes.isEmpty());
            const QImage image = icon.pixmap(QSize(18, 18)).toImage();
            QCOMPARE(image.pixelColor(9, 9).rgb(), QColor(0x20, 0x80, 0xC0).rgb());
            QCOMPARE(icon.pixmap(QSize(18, 18)).deviceIndependentSize(), QSizeF(18, 18));
        }
        // The application's own icon is untouched.
        QCOMPARE(QGuiApplication::windowIcon().cacheKey(), appKey);
        QVERIFY(!QGuiApplication::windowIcon().isMask());
    }
};

QTEST_MAIN(TestMenuBarController)
#include "tst_menubarcontroller.moc"
