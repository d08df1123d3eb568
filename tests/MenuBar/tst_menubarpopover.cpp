#include "DesignSystem/ActivitySpinner.h"
#include "MenuBar/MenuBarTestSupport.h"
#include "Support/EngineTestSupport.h"
#include "Support/PointerTestSupport.h"

#include "Base/Clock.h"
#include "Base/Uuid.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/SectionHeader.h"
#include "DesignSystem/ThemeColors.h"
#include "Engine/ReminderBehaviorService.h"
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarPopoverView.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "ScreenParts/MilestoneCard.h"
#include "ScreenParts/ReminderListViewModel.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QProgressBar>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleHints>
#include <QtTest>

#include <cmath>
#include <functional>
#include <memory>

using namespace ovlin;
using namespace enginetest;

namespace {

// Wednesday, 13:30.
const QDate kToday(2026, 6, 10);
QDateTime now()
{
    return at(kToday, 13, 30);
}

void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

std::shared_ptr<Reminder> reminderAt(StoreContext *context, const QString &title, std::optional<QTime> time,
                                     ReminderCategory category = ReminderCategory::water)
{
    ReminderSpec spec;
    spec.title = title;
    spec.fixedTime = time;
    spec.category = category;
    return makeReminder(context, spec);
}

std::shared_ptr<Milestone> reward(StoreContext *context, const QString &name, const QString &statusRaw = "active")
{
    auto milestone = Milestone::create(QUuid::createUuid(), name, QStringLiteral("Something nice"), 7, 0.8,
                                       std::nullopt, at(kToday, 8, 0).addDays(-2), MilestoneStatus::active);
    milestone->setStatusRaw(statusRaw);
    context->insert(milestone);
    return milestone;
}

struct Popover
{
    explicit Popover(bool withClosure = true)
        : store(openStore()), context(store->mainContext()),
          view(std::make_unique<MenuBarPopoverView>(context, withClosure ? std::function<void()>([this] { ++opens; })
                                                                         : std::function<void()>()))
    {
    }

    void show()
    {
        context->save();
        settle();
        view->show();
        settle();
    }

    void saveAndSettle()
    {
        context->save();
        settle();
    }

    QList<QWidget *> rows() const { return view->findChildren<QWidget *>(QStringLiteral("MenuBarReminderRow")); }
    QStringList rowNames() const
    {
        QStringList names;
        for (QWidget *row : rows())
            names << row->accessibleName();
        return names;
    }
    QWidget *row(const QString &title) const
    {
        for (QWidget *row : rows()) {
            if (row->accessibleName().startsWith(title + QStringLiteral(", ")))
                return row;
        }
        return nullptr;
    }

    std::unique_ptr<StoreContainer> store;
    StoreContext *context;
    std::unique_ptr<MenuBarPopoverView> view;
    int opens = 0;
};

QList<QAbstractButton *> chipsOf(QWidget *row)
{
    QList<QAbstractButton *> chips;
    for (QAbstractButton *button : row->findChildren<QAbstractButton *>()) {
        if (!qobject_cast<CheckOffButton *>(button))
            chips << button;
    }
    return chips;
}

QStringList chipTexts(QWidget *row)
{
    QStringList texts;
    for (QAbstractButton *chip : chipsOf(row))
        texts << chip->text();
    return texts;
}

QAbstractButton *chip(QWidget *row, const QString &text)
{
    for (QAbstractButton *c : chipsOf(row)) {
        if (c->text() == text)
            return c;
    }
    return nullptr;
}

QString childText(QWidget *parent, const QString &name)
{
    auto *label = parent->findChild<OvlinText *>(name);
    return label ? label->text() : QString();
}

double effectOpacity(QWidget *widget)
{
    auto *effect = qobject_cast<QGraphicsOpacityEffect *>(widget->graphicsEffect());
    return effect ? effect->opacity() : 1.0;
}

QList<std::shared_ptr<ReminderLog>> logsOf(StoreContext *context, const std::shared_ptr<Reminder> &reminder)
{
    return context->fetch<ReminderLog>([&](const ReminderLog &log) { return log.reminder() == reminder; });
}

// Every row, the check-off buttons and the section header at their own height, and the whole list
// inside the scroll area's content.
void verifyDesignedHeights(const Popover &p)
{
    auto *list = p.view->findChild<QScrollArea *>(QStringLiteral("MenuBarPopoverList"));
    QVERIFY(list);
    const QList<QWidget *> rows = p.rows();
    QVERIFY(!rows.isEmpty());
    for (QWidget *row : rows) {
        const int designed = row->hasHeightForWidth() ? row->heightForWidth(row->width()) : row->sizeHint().height();
        QVERIFY2(row->height() == designed, qPrintable(QStringLiteral("%1: %2 px high, designed %3")
                                                           .arg(row->accessibleName())
                                                           .arg(row->height())
                                                           .arg(designed)));
        QCOMPARE(row->findChild<CheckOffButton *>()->height(), 24);
    }
    auto *today = p.view->findChild<SectionHeader *>();
    QVERIFY(today);
    QCOMPARE(today->title(), QStringLiteral("Today"));
    QCOMPARE(today->height(), today->sizeHint().height());
    // Scrolled to the end, the last row is all there.
    const QWidget *last = rows.last();
    QVERIFY(last->mapTo(list->widget(), QPoint(0, last->height())).y() <= list->widget()->height());
}

} // namespace

class TestMenuBarPopover : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        resetSettings();
        Clock::setNow(now());
    }
    void cleanup() { Clock::useSystemTime(); }

    void loadingUntilFirstShown()
    {
        Popover p;
        reminderAt(p.context, QStringLiteral("Water"), QTime(9, 0));
        p.context->save();
        settle();
        QVERIFY(!p.view->viewModel());
        QCOMPARE(p.view->mainArea(), MenuBarPopoverView::MainArea::loading);
        QCOMPARE(p.view->sizeHint(), QSize(320, 120));
        p.show();
        QVERIFY(p.view->viewModel());
        QCOMPARE(p.view->mainArea(), MenuBarPopoverView::MainArea::list);
    }

    void withoutStoreStaysLoading()
    {
        MenuBarPopoverView view(nullptr);
        view.show();
        settle();
        QVERIFY(!view.viewModel());
        QCOMPARE(view.mainArea(), MenuBarPopoverView::MainArea::loading);
        // The design system's spinner, not the platform's progress bar.
        QVERIFY(view.findChild<ActivitySpinner *>());
        QVERIFY(!view.findChild<QProgressBar *>());
        QCOMPARE(view.refreshKey(), QStringLiteral("::::"));
        // Actions without a model do nothing.
        view.markDone(nullptr, false);
        view.skipReminder(nullptr);
        view.undoReminder(nullptr);
    }

    // Sized as the controller sizes the popover (its fitting height, at most 480), the list keeps every
    // row at its own height: what does not fit scrolls, and what fits leaves no scroll bar and no gap.
    void listKeepsItsRowsAndScrolls_data()
    {
        QTest::addColumn<int>("pending");
        QTest::addColumn<bool>("overdueAndSkipped");
        QTest::addColumn<bool>("withReward");
        QTest::addColumn<bool>("scrolls");
        QTest::newRow("1 not yet due") << 1 << false << false << false;
        QTest::newRow("5 not yet due") << 5 << false << false << false;
        QTest::newRow("12 not yet due") << 12 << false << false << true;
        QTest::newRow("30 not yet due") << 30 << false << false << true;
        QTest::newRow("1 not yet due, a reward") << 1 << false << true << false;
        QTest::newRow("30 not yet due, a reward") << 30 << false << true << true;
        QTest::newRow("2 with an overdue note and a skipped line") << 2 << true << false << false;
        QTest::newRow("30 with an overdue note and a skipped line") << 30 << true << true << true;
    }

    void listKeepsItsRowsAndScrolls()
    {
        QFETCH(int, pending);
        QFETCH(bool, overdueAndSkipped);
        QFETCH(bool, withReward);
        QFETCH(bool, scrolls);
        Popover p;
        for (int i = 0; i < pending; ++i)
            reminderAt(p.context, QStringLiteral("Habit %1").arg(i), QTime(14, 0).addSecs(i * 600));
        if (overdueAndSkipped) {
            reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30), ReminderCategory::meal);
            auto stretch = reminderAt(p.context, QStringLiteral("Stretch"), QTime(11, 0), ReminderCategory::movement);
            addLog(stretch, at(kToday, 11, 0), LogStatus::skipped);
        }
        if (withReward)
            reward(p.context, QStringLiteral("Burger run"));
        p.show();
        QCOMPARE(bool(p.view->findChild<QWidget *>(QStringLiteral("MenuBarOverdueNote"))), overdueAndSkipped);
        QCOMPARE(bool(p.view->findChild<QWidget *>(QStringLiteral("ReminderSkippedNote"))), overdueAndSkipped);

        const int width = int(LayoutTokens::popoverWidth);
        const double fitting = p.view->heightForWidth(width);
        const int height = int(std::ceil(MenuBarController::clampedPopoverHeight(fitting)));
        QCOMPARE(height == int(LayoutTokens::popoverMaxHeight), scrolls);
        p.view->resize(width, height);
        settle();

        auto *list = p.view->findChild<QScrollArea *>(QStringLiteral("MenuBarPopoverList"));
        QVERIFY(list);
        QCOMPARE(list->verticalScrollBar()->maximum() > 0, scrolls);
        QCOMPARE(list->verticalScrollBar()->isVisibleTo(list), scrolls);
        if (!scrolls)
            QCOMPARE(list->widget()->height(), list->viewport()->height());

        QCOMPARE(p.rows().size(), pending + (overdueAndSkipped ? 2 : 0));
        verifyDesignedHeights(p);
    }

    // Done on the only overdue row takes away the note above the list; the rows stay as they were.
    void rowsKeepTheirSizeWhenTheOverdueNoteGoes()
    {
        Popover p;
        for (int i = 0; i < 12; ++i)
            reminderAt(p.context, QStringLiteral("Habit %1").arg(i), QTime(14, 0).addSecs(i * 600));
        reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30), ReminderCategory::meal);
        p.show();
        p.view->resize(int(LayoutTokens::popoverWidth), int(LayoutTokens::popoverMaxHeight));
        settle();
        chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Done"))->click();
        settle();
        QVERIFY(!p.view->findChild<QWidget *>(QStringLiteral("MenuBarOverdueNote")));
        QCOMPARE(p.row(QStringLiteral("Lunch"))->accessibleName(), QStringLiteral("Lunch, completed"));
        verifyDesignedHeights(p);
    }

    void mainArea_data()
    {
        QTest::addColumn<int>("completed");
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("withReward");
        QTest::addColumn<int>("area");
        QTest::addColumn<bool>("rewardRow");
        QTest::addColumn<int>("rowCount");
        using A = MenuBarPopoverView::MainArea;
        QTest::newRow("nothing today, a reward running") << 0 << 0 << true << int(A::nothingToday) << false << 0;
        QTest::newRow("all three done, a reward running") << 3 << 3 << true << int(A::allDone) << true << 0;
        QTest::newRow("all three done, no reward") << 3 << 3 << false << int(A::allDone) << false << 0;
        QTest::newRow("two of three, a reward running") << 2 << 3 << true << int(A::list) << true << 3;
        QTest::newRow("none of two, no reward") << 0 << 2 << false << int(A::list) << false << 2;
    }

    void mainArea()
    {
        QFETCH(int, completed);
        QFETCH(int, total);
        QFETCH(bool, withReward);
        QFETCH(int, area);
        QFETCH(bool, rewardRow);
        QFETCH(int, rowCount);
        Popover p;
        for (int i = 0; i < total; ++i) {
            const QTime time(9 + i, 0);
            auto r = reminderAt(p.context, QStringLiteral("Habit %1").arg(i), time);
            if (i < completed)
                addLog(r, at(kToday, time.hour(), 0), LogStatus::completed);
        }
        // Not today: paused, or on another weekday.
        ReminderSpec paused;
        paused.isActive = false;
        makeReminder(p.context, paused);
        ReminderSpec weekend;
        weekend.activeDaysRaw = {6, 7};
        makeReminder(p.context, weekend);
        if (withReward)
            reward(p.context, QStringLiteral("Trip"));
        p.show();

        QCOMPARE(int(p.view->mainArea()), area);
        QCOMPARE(p.rows().size(), rowCount);
        QCOMPARE(bool(p.view->findChild<QWidget *>(QStringLiteral("MenuBarRewardRow"))), rewardRow);
        if (area == int(MenuBarPopoverView::MainArea::nothingToday)) {
            auto *empty = p.view->findChild<QWidget *>(QStringLiteral("MenuBarNothingToday"));
            QVERIFY(empty);
            const QList<OvlinText *> texts = empty->findChildren<OvlinText *>();
            QCOMPARE(texts.size(), 1);
            QVERIFY(CopyEngine::pool(CopyTrigger::emptyReminders).contains(texts.first()->text()));
        }
        if (area == int(MenuBarPopoverView::MainArea::allDone)) {
            auto *done = p.view->findChild<QWidget *>(QStringLiteral("MenuBarAllDone"));
            QVERIFY(done);
            bool phraseFound = false;
            for (OvlinText *text : done->findChildren<OvlinText *>())
                phraseFound |= CopyEngine::pool(CopyTrigger::habitCompleted).contains(text->text());
            QVERIFY(phraseFound);
            bool countFound = false;
            for (QWidget *w : done->findChildren<QWidget *>())
                countFound |= w->accessibleName() == QStringLiteral("3 of 3 done");
            QVERIFY(countFound);
        }
    }

    void headerRing_data()
    {
        QTest::addColumn<int>("completed");
        QTest::addColumn<int>("total");
        QTest::addColumn<bool>("overdue");
        QTest::addColumn<double>("progress");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QColor>("color");
        QTest::newRow("nothing scheduled")
            << 0 << 0 << false << 0.0 << "Today's completion: 0%" << ThemeColors::primary();
        QTest::newRow("two of three") << 2 << 3 << false << 2.0 / 3 << "Today's completion: 66%"
                                      << ThemeColors::primary();
        QTest::newRow("one of four, one overdue")
            << 1 << 4 << true << 0.25 << "Today's completion: 25%" << ThemeColors::destructive();
        QTest::newRow("all done") << 2 << 2 << false << 1.0 << "Today's completion: 100%" << ThemeColors::primary();
    }

    void headerRing()
    {
        QFETCH(int, completed);
        QFETCH(int, total);
        QFETCH(bool, overdue);
        QFETCH(double, progress);
        QFETCH(QString, label);
        QFETCH(QColor, color);
        Popover p;
        for (int i = 0; i < total; ++i) {
            // Done ones in the morning; open ones overdue at noon or still ahead in the evening.
            const QTime time =
                i < completed ? QTime(8 + i, 0) : (overdue && i == completed ? QTime(12, 0) : QTime(18 + i, 0));
            auto r = reminderAt(p.context, QStringLiteral("Habit %1").arg(i), time);
            if (i < completed)
                addLog(r, at(kToday, time.hour(), 0), LogStatus::completed);
        }
        p.show();
        QCOMPARE(p.view->progress(), progress);
        QCOMPARE(p.view->progressAccessibilityLabel(), label);
        QCOMPARE(p.view->ringColor(), color);
        auto *ring = p.view->findChild<ProgressRing *>(QStringLiteral("TodayProgressRing"));
        QVERIFY(ring);
        QCOMPARE(ring->progress(), progress);
        QCOMPARE(ring->accessibleName(), label);
        QCOMPARE(ring->ringSize(), 20.0);
        QCOMPARE(ring->lineWidth(), 2.5);
        QCOMPARE(bool(p.view->findChild<QWidget *>(QStringLiteral("MenuBarOverdueNote"))), overdue);
        if (overdue) {
            auto *note = p.view->findChild<QWidget *>(QStringLiteral("MenuBarOverdueNote"));
            QCOMPARE(note->findChild<OvlinText *>()->text(), QStringLiteral("Resolve these first"));
        }
    }

    void rowStates_data()
    {
        QTest::addColumn<QTime>("time");
        QTest::addColumn<QString>("logStatus"); // empty: no log today
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QStringList>("chips");
        QTest::addColumn<QString>("secondLine"); // "detail", "skipped" or empty
        QTest::addColumn<double>("rowOpacity");
        QTest::addColumn<double>("checkOpacity");

        QTest::newRow("pending, not yet due") << QTime(18, 0) << ""
                                              << ""
                                              << "pending" << QStringList{} << "" << 1.0 << 1.0;
        QTest::newRow("pending and overdue") << QTime(12, 30) << ""
                                             << ""
                                             << "overdue" << QStringList{"Skip", "Done"} << "" << 1.0 << 1.0;
        QTest::newRow("snoozed, still overdue") << QTime(12, 30) << "snoozed"
                                                << ""
                                                << "overdue" << QStringList{"Skip", "Done"} << "" << 1.0 << 1.0;
        QTest::newRow("completed") << QTime(9, 0) << "completed"
                                   << ""
                                   << "completed" << QStringList{} << "" << 0.55 << 1.0;
        QTest::newRow("skipped") << QTime(11, 0) << "skipped"
                                 << ""
                                 << "skipped" << QStringList{"Undo", "Done"} << "skipped" << 0.82 << 0.65;
        QTest::newRow("skipped keeps its detail")
            << QTime(11, 0) << "skipped"
            << "With lemon"
            << "skipped" << QStringList{"Undo", "Done"} << "detail" << 0.82 << 0.65;
        QTest::newRow("missed looks upcoming") << QTime(12, 0) << "missed"
                                               << ""
                                               << "pending" << QStringList{} << "" << 1.0 << 1.0;
        QTest::newRow("pending with a detail") << QTime(18, 0) << ""
                                               << "With lemon"
                                               << "pending" << QStringList{} << "detail" << 1.0 << 1.0;
        QTest::newRow("empty detail is no detail")
            << QTime(11, 0) << "skipped"
            << ""
            << "skipped" << QStringList{"Undo", "Done"} << "skipped" << 0.82 << 0.65;
    }

    void rowStates()
    {
        QFETCH(QTime, time);
        QFETCH(QString, logStatus);
        QFETCH(QString, detail);
        QFETCH(QString, status);
        QFETCH(QStringList, chips);
        QFETCH(QString, secondLine);
        QFETCH(double, rowOpacity);
        QFETCH(double, checkOpacity);

        Popover p;
        auto r = reminderAt(p.context, QStringLiteral("Lemon water"), time);
        if (!detail.isEmpty() || QByteArray(QTest::currentDataTag()) == "empty detail is no detail")
            r->setDetail(detail);
        if (!logStatus.isEmpty())
            addLog(r, at(kToday, time.hour(), time.minute()), logStatus);
        // Another habit later on keeps the list showing.
        reminderAt(p.context, QStringLiteral("Evening walk"), QTime(21, 0), ReminderCategory::movement);
        p.show();

        QCOMPARE(p.view->mainArea(), MenuBarPopoverView::MainArea::list);
        QWidget *row = p.row(QStringLiteral("Lemon water"));
        QVERIFY(row);
        QCOMPARE(row->accessibleName(), QStringLiteral("Lemon water, ") + status);
        QCOMPARE(chipTexts(row), chips);
        if (secondLine == QLatin1String("detail")) {
            QCOMPARE(childText(row, QStringLiteral("ReminderDetail")), detail);
            QVERIFY(!row->findChild<OvlinText *>(QStringLiteral("ReminderSkippedNote")));
        } else if (secondLine == QLatin1String("skipped")) {
            QCOMPARE(childText(row, QStringLiteral("ReminderSkippedNote")), QStringLiteral("Skipped for now"));
            QVERIFY(!row->findChild<OvlinText *>(QStringLiteral("ReminderDetail")));
        } else {
            QVERIFY(!row->findChild<OvlinText *>(QStringLiteral("ReminderDetail")));
            QVERIFY(!row->findChild<OvlinText *>(QStringLiteral("ReminderSkippedNote")));
        }
        QCOMPARE(effectOpacity(row), rowOpacity);
        auto *check = row->findChild<CheckOffButton *>();
        QVERIFY(check);
        QCOMPARE(check->side(), 24.0);
        QCOMPARE(check->isCompleted(), status == QLatin1String("completed"));
        QCOMPARE(effectOpacity(check), checkOpacity);
        auto *title = row->findChild<OvlinText *>(QStringLiteral("ReminderTitle"));
        QCOMPARE(title->font().strikeOut(), status == QLatin1String("completed"));
    }

    void rowsInDueOrder()
    {
        Popover p;
        reminderAt(p.context, QStringLiteral("b tea"), QTime(9, 0));
        reminderAt(p.context, QStringLiteral("no time"), std::nullopt);
        reminderAt(p.context, QStringLiteral("A walk"), QTime(9, 0));
        reminderAt(p.context, QStringLiteral("coffee"), QTime(8, 15));
        ReminderSpec interval;
        interval.title = QStringLiteral("sips");
        interval.scheduleType = ScheduleType::interval;
        interval.fixedTime = std::nullopt;
        interval.intervalMinutes = 60;
        interval.intervalStart = QTime(8, 30);
        interval.intervalEnd = QTime(17, 0);
        makeReminder(p.context, interval);
        p.show();
        QStringList titles;
        for (const QString &name : p.rowNames())
            titles << name.section(QStringLiteral(", "), 0, 0);
        QCOMPARE(titles, (QStringList{"coffee", "sips", "A walk", "b tea", "no time"}));
    }

    void firstRunningRewardShown()
    {
        Popover p;
        reminderAt(p.context, QStringLiteral("Water"), QTime(18, 0));
        reward(p.context, QStringLiteral("Earned one"), QStringLiteral("achieved"));
        reward(p.context, QStringLiteral("Lost one"), QStringLiteral("failed"));
        reward(p.context, QStringLiteral("Odd status"), QStringLiteral("paused"));
        reward(p.context, QStringLiteral("Running"), QStringLiteral("active"));
        p.show();
        QStringList active;
        for (const auto &m : p.view->activeMilestones())
            active << m->name();
        QCOMPARE(active, (QStringList{"Odd status", "Running"}));
        auto *row = p.view->findChild<QWidget *>(QStringLiteral("MenuBarRewardRow"));
        QVERIFY(row);
        const QList<MilestoneCard *> cards = row->findChildren<MilestoneCard *>();
        QCOMPARE(cards.size(), 1);
        QCOMPARE(cards.first()->milestone()->name(), QStringLiteral("Odd status"));
        QCOMPARE(cards.first()->style(), MilestoneCardStyle::compact);
        QVERIFY(!cards.first()->hasTapAction());
        QVERIFY(!cards.first()->showsActions());
    }

    void doneChipCompletesTheOverdueOccurrence()
    {
        Popover p;
        auto lunch = reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30), ReminderCategory::meal);
        reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        p.show();
        QAbstractButton *done = chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Done"));
        QVERIFY(done);
        done->click();
        // Stored and saved at once; the rows follow the store.
        const auto logs = logsOf(p.context, lunch);
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::completed);
        QCOMPARE(logs.first()->scheduledAt(), at(kToday, 12, 30));
        QVERIFY(!p.context->hasChanges());
        settle();
        QCOMPARE(p.row(QStringLiteral("Lunch"))->accessibleName(), QStringLiteral("Lunch, completed"));
        QVERIFY(chipTexts(p.row(QStringLiteral("Lunch"))).isEmpty());
        QCOMPARE(p.view->progress(), 0.5);
    }

    void skipChipSkips()
    {
        Popover p;
        auto lunch = reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30), ReminderCategory::meal);
        p.show();
        chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Skip"))->click();
        const auto logs = logsOf(p.context, lunch);
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::skipped);
        QCOMPARE(logs.first()->scheduledAt(), at(kToday, 12, 30));
        settle();
        QWidget *row = p.row(QStringLiteral("Lunch"));
        QCOMPARE(row->accessibleName(), QStringLiteral("Lunch, skipped"));
        QCOMPARE(chipTexts(row), (QStringList{"Undo", "Done"}));
        QCOMPARE(p.view->ringColor(), ThemeColors::primary());
    }

    void undoChipTakesTheSkipBack()
    {
        Popover p;
        auto stretch = reminderAt(p.context, QStringLiteral("Stretch"), QTime(11, 0), ReminderCategory::movement);
        addLog(stretch, at(kToday, 11, 0), LogStatus::skipped);
        p.show();
        chip(p.row(QStringLiteral("Stretch")), QStringLiteral("Undo"))->click();
        QVERIFY(logsOf(p.context, stretch).isEmpty());
        QVERIFY(!p.context->hasChanges());
        settle();
        // Open again, and its time has passed.
        QWidget *row = p.row(QStringLiteral("Stretch"));
        QCOMPARE(row->accessibleName(), QStringLiteral("Stretch, overdue"));
        QCOMPARE(chipTexts(row), (QStringList{"Skip", "Done"}));
    }

    // An answer redraws the rows at once, so another control can come under the pointer before the second
    // press of a double-click arrives (the skipped row's Undo where its Skip was, and the other way round):
    // that press acts on nothing. Space on that control is not a press and acts, and so does a click after
    // the double-click time. Done and the check-off box leave no control of another answer under the
    // pointer (the row keeps its place); they answer once all the same.
    void secondPressOfADoubleClickAnswersNothing_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QString>("comesUnder"); // the control under the pointer after the first answer
        QTest::addColumn<bool>("takesBack");     // whether that control takes the first answer back
        struct Case
        {
            const char *control;
            const char *comesUnder;
            bool takesBack;
        };
        for (const Case &c : {Case{"Skip", "Undo", true}, Case{"Undo", "Skip", true}, Case{"Done", "", false},
                              Case{"check-off box", "check-off box", false}}) {
            for (const char *gesture : {"double-click", "press the platform did not pair", "Space"}) {
                if (c.takesBack || QByteArray(gesture) != "Space")
                    QTest::addRow("%s, %s", c.control, gesture) << c.control << gesture << c.comesUnder << c.takesBack;
            }
        }
    }

    void secondPressOfADoubleClickAnswersNothing()
    {
        QFETCH(QString, control);
        QFETCH(QString, gesture);
        QFETCH(QString, comesUnder);
        QFETCH(bool, takesBack);
        Popover p;
        const bool open = control == "check-off box";
        auto first = reminderAt(p.context, open ? QStringLiteral("Lunch") : QStringLiteral("Vitamins"),
                                open ? QTime(15, 0) : QTime(10, 0));
        auto second = reminderAt(p.context, open ? QStringLiteral("Afternoon snack") : QStringLiteral("Morning water"),
                                 open ? QTime(16, 0) : QTime(10, 30));
        // With a second line in every state, a skipped row's chips sit where an overdue row's were.
        first->setDetail(QStringLiteral("With breakfast"));
        second->setDetail(QStringLiteral("A full glass"));
        if (control == "Undo")
            addLog(first, at(kToday, 10, 0), LogStatus::skipped);
        p.show();
        // As tall as the controller makes it at most.
        p.view->resize(int(LayoutTokens::popoverWidth), 480);
        settle();
        QWidget *row = p.row(first->title());
        QWidget *pressed = open ? row->findChild<CheckOffButton *>() : chip(row, control);
        QVERIFY(pressed);
        const QPoint point = pressed->mapToGlobal(pressed->rect().center());
        const auto state = [&p] {
            QStringList rows = p.rowNames();
            rows.sort();
            rows << QString::number(p.context->fetch<ReminderLog>().size());
            return rows;
        };
        const auto under = [&p, &point]() -> QAbstractButton * {
            return qobject_cast<QAbstractButton *>(p.view->childAt(p.view->mapFromGlobal(point)));
        };
        const QStringList before = state();

        pointertest::EventTime time;
        pointertest::clickThroughWindow(p.view.get(), point, time);
        settle();
        const QStringList answered = state();
        QVERIFY(answered != before);
        QAbstractButton *next = under();
        QCOMPARE(next ? (qobject_cast<CheckOffButton *>(next) ? QStringLiteral("check-off box") : next->text())
                      : QString(),
                 comesUnder);

        time.advance(80);
        if (gesture == "Space") {
            next->setFocus(Qt::TabFocusReason);
            QTest::keyClick(next, Qt::Key_Space);
            settle();
            QCOMPARE(state(), before);
            return;
        }
        if (gesture == "double-click")
            pointertest::clickThroughWindow(p.view.get(), point, time);
        else
            pointertest::clickStraightAt(p.view.get(), point, time);
        settle();
        QCOMPARE(state(), answered);

        // A click of its own, after the double-click time, acts on the control under the pointer.
        time.advance(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 1);
        pointertest::clickThroughWindow(p.view.get(), point, time);
        settle();
        QCOMPARE(state(), takesBack ? before : answered);
    }

    void checkOffCompletesAtNowWhenNothingIsDue()
    {
        Popover p;
        auto evening = reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        reminderAt(p.context, QStringLiteral("Night"), QTime(22, 30));
        p.show();
        auto *check = p.row(QStringLiteral("Evening"))->findChild<CheckOffButton *>();
        check->click();
        // The button shows the stored state only; the store decides.
        QVERIFY(!check->isCompleted());
        const auto logs = logsOf(p.context, evening);
        QCOMPARE(logs.size(), 1);
        QCOMPARE(logs.first()->status(), LogStatus::completed);
        QCOMPARE(logs.first()->scheduledAt(), now());
        settle();
        QCOMPARE(p.row(QStringLiteral("Evening"))->accessibleName(), QStringLiteral("Evening, completed"));
        QVERIFY(p.row(QStringLiteral("Evening"))->findChild<CheckOffButton *>()->isCompleted());
    }

    void checkOffOnCompletedRowDoesNothing()
    {
        Popover p;
        auto water = reminderAt(p.context, QStringLiteral("Water"), QTime(9, 0));
        addLog(water, at(kToday, 9, 0), LogStatus::completed);
        reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        p.show();
        QSignalSpy redrawn(p.view.get(), &MenuBarPopoverView::redrawn);
        auto *check = p.row(QStringLiteral("Water"))->findChild<CheckOffButton *>();
        QVERIFY(check->isCompleted());
        check->click();
        QVERIFY(check->isCompleted());
        settle();
        QCOMPARE(logsOf(p.context, water).size(), 1);
        QCOMPARE(redrawn.count(), 0);
        QCOMPARE(p.row(QStringLiteral("Water"))->accessibleName(), QStringLiteral("Water, completed"));
    }

    void actionsNeverAskForThePhrase()
    {
        Popover p;
        auto lunch = reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30));
        auto tea = reminderAt(p.context, QStringLiteral("Tea"), QTime(12, 45));
        auto evening = reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        p.context->save();
        settle();
        // Watch the model from its creation: one appearance moves its date, then feeds the three lists.
        QStringList fed;
        connect(p.view.get(), &MenuBarPopoverView::viewModelSynced, p.view.get(),
                [&] { fed << QStringLiteral("synced"); });
        p.view->show();
        settle();
        ReminderListViewModel *model = p.view->viewModel();
        QVERIFY(model);
        QCOMPARE(fed, QStringList{"synced"});
        QCOMPARE(model->currentDate(), now());
        QCOMPARE(model->reminders().size(), 3);
        QVERIFY(!model->celebrationManager());

        chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Done"))->click();
        settle();
        p.row(QStringLiteral("Evening"))->findChild<CheckOffButton *>()->click();
        settle();
        chip(p.row(QStringLiteral("Tea")), QStringLiteral("Skip"))->click();
        settle();
        // Answered through the model, without a completion phrase.
        QVERIFY(!model->recentCompletionCopy());
        QVERIFY(!model->recentCompletionReminderID());
        QCOMPARE(logsOf(p.context, lunch).first()->status(), LogStatus::completed);
        QCOMPARE(logsOf(p.context, evening).first()->status(), LogStatus::completed);
        QCOMPARE(logsOf(p.context, tea).first()->status(), LogStatus::skipped);
    }

    void doneReevaluatesRunningRewards_data()
    {
        QTest::addColumn<QString>("rewardStatus"); // empty: no reward
        QTest::addColumn<int>("dayLogs");
        QTest::newRow("running reward") << "active" << 1;
        QTest::newRow("no reward") << "" << 0;
        QTest::newRow("only an earned reward") << "achieved" << 0;
    }

    void doneReevaluatesRunningRewards()
    {
        QFETCH(QString, rewardStatus);
        QFETCH(int, dayLogs);
        Popover p;
        reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30));
        reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        if (!rewardStatus.isEmpty())
            reward(p.context, QStringLiteral("Trip"), rewardStatus);
        p.show();
        QCOMPARE(p.context->fetchCount<MilestoneLog>(), 0);
        chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Done"))->click();
        QCOMPARE(p.context->fetchCount<MilestoneLog>(), dayLogs);
        QVERIFY(!p.context->hasChanges());
    }

    void openApp()
    {
        {
            Popover p;
            p.show();
            auto *open = p.view->findChild<QAbstractButton *>(QStringLiteral("OpenAppButton"));
            QVERIFY(open);
            QCOMPARE(open->text(), QStringLiteral("Open app"));
            QCOMPARE(open->accessibleName(), QStringLiteral("Open Ovlin main window"));
            open->click();
            QCOMPARE(p.opens, 1);
        }
        {
            // Without a closure the button does nothing.
            Popover p(false);
            p.show();
            p.view->findChild<QAbstractButton *>(QStringLiteral("OpenAppButton"))->click();
            QCOMPARE(p.opens, 0);
        }
    }

    void otherWritersRedrawThePopover()
    {
        Popover p;
        auto lunch = reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30));
        reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        p.show();
        QCOMPARE(p.row(QStringLiteral("Lunch"))->accessibleName(), QStringLiteral("Lunch, overdue"));
        // A banner's Done, say: straight into the store.
        ReminderBehaviorService::shared().logResolution(LogStatus::completed, lunch, at(kToday, 12, 30), *p.context);
        settle();
        QCOMPARE(p.row(QStringLiteral("Lunch"))->accessibleName(), QStringLiteral("Lunch, completed"));
        // A new reminder shows up as well.
        reminderAt(p.context, QStringLiteral("Afternoon tea"), QTime(16, 0));
        p.saveAndSettle();
        QVERIFY(p.row(QStringLiteral("Afternoon tea")));
    }

    void refreshKeyChangesSyncOnce_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("syncs");
        QTest::newRow("rename a reminder") << "rename" << 1;
        QTest::newRow("pause a reminder") << "pause" << 1;
        QTest::newRow("change a category") << "category" << 1;
        QTest::newRow("add a log") << "addLog" << 1;
        QTest::newRow("remove a log") << "removeLog" << 1;
        QTest::newRow("change a log's status") << "logStatus" << 1;
        QTest::newRow("change a log's time") << "logTime" << 1;
        QTest::newRow("rename a reward") << "rewardName" << 1;
        QTest::newRow("change a reward's status") << "rewardStatus" << 1;
        QTest::newRow("change a detail") << "detail" << 0;
        QTest::newRow("change a reward's days") << "rewardDays" << 0;
        QTest::newRow("change a completion time") << "completedAt" << 0;
    }

    void refreshKeyChangesSyncOnce()
    {
        QFETCH(QString, change);
        QFETCH(int, syncs);
        Popover p;
        auto water = reminderAt(p.context, QStringLiteral("Water"), QTime(9, 0));
        auto log = addLog(water, at(kToday, 9, 0), LogStatus::completed);
        reminderAt(p.context, QStringLiteral("Evening"), QTime(21, 0));
        auto trip = reward(p.context, QStringLiteral("Trip"));
        p.show();
        const QString before = p.view->refreshKey();
        QSignalSpy synced(p.view.get(), &MenuBarPopoverView::viewModelSynced);
        QSignalSpy redrawn(p.view.get(), &MenuBarPopoverView::redrawn);

        const std::map<QString, std::function<void()>> changes{
            {"rename", [&] { water->setTitle(QStringLiteral("Sparkling water")); }},
            {"pause", [&] { water->setIsActive(false); }},
            {"category", [&] { water->setCategoryValue(ReminderCategory::snack); }},
            {"addLog", [&] { addLog(water, at(kToday, 9, 5), LogStatus::snoozed); }},
            {"removeLog", [&] { p.context->remove(log); }},
            {"logStatus", [&] { log->setStatusRaw(QStringLiteral("skipped")); }},
            {"logTime", [&] { log->setScheduledAt(at(kToday, 9, 1)); }},
            {"rewardName", [&] { trip->setName(QStringLiteral("Long trip")); }},
            {"rewardStatus", [&] { trip->setStatusRaw(QStringLiteral("failed")); }},
            {"detail", [&] { water->setDetail(QStringLiteral("Two glasses")); }},
            {"rewardDays", [&] { trip->setRequireDays(10); }},
            {"completedAt", [&] { log->setCompletedAt(at(kToday, 9, 30)); }},
        };
        changes.at(change)();
        p.saveAndSettle();
        QCOMPARE(synced.count(), syncs);
        QCOMPARE(p.view->refreshKey() != before, syncs == 1);
        // Every store change redraws, whatever the key says.
        QVERIFY(redrawn.count() >= 1);
    }

    void eachAppearanceSyncs()
    {
        Popover p;
        reminderAt(p.context, QStringLiteral("Water"), QTime(9, 0));
        p.show();
        QSignalSpy synced(p.view.get(), &MenuBarPopoverView::viewModelSynced);
        ReminderListViewModel *model = p.view->viewModel();
        p.view->hide();
        // Hidden, it waits for the next appearance.
        reminderAt(p.context, QStringLiteral("Tea"), QTime(16, 0));
        p.saveAndSettle();
        QCOMPARE(synced.count(), 0);
        p.view->show();
        settle();
        QCOMPARE(synced.count(), 1);
        // The model is made once and kept.
        QCOMPARE(p.view->viewModel(), model);
        QVERIFY(p.row(QStringLiteral("Tea")));
    }

    void signatures()
    {
        QString error;
        auto store = StoreContainer::openInMemory(&error);
        StoreContext *context = store->mainContext();
        const QUuid id(QStringLiteral("{12345678-9abc-def0-1234-56789abcdef0}"));
        auto r = reminderAt(context, QStringLiteral("Water"), QTime(9, 0));
        r->setId(id);
        QCOMPARE(MenuBarPopoverView::reminderSignature(*r),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-Water-true-water"));
        r->setIsActive(false);
        r->setCategory(QStringLiteral("snacks"));
        QCOMPARE(MenuBarPopoverView::reminderSignature(*r),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-Water-false-general"));

        auto log = addLog(r, QDateTime::fromSecsSinceEpoch(1781091000), LogStatus::completed);
        log->setId(id);
        QCOMPARE(MenuBarPopoverView::logSignature(*log),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-completed-1781091000.0"));
        log->setScheduledAt(QDateTime::fromMSecsSinceEpoch(1781091000500));
        log->setStatusRaw(QStringLiteral("whatever"));
        QCOMPARE(MenuBarPopoverView::logSignature(*log),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-missed-1781091000.5"));

        auto m = reward(context, QStringLiteral("Trip"), QStringLiteral("achieved"));
        m->setId(id);
        QCOMPARE(MenuBarPopoverView::milestoneSignature(*m),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-Trip-achieved"));
        m->setStatusRaw(QStringLiteral("paused"));
        QCOMPARE(MenuBarPopoverView::milestoneSignature(*m),
                 QStringLiteral("12345678-9ABC-DEF0-1234-56789ABCDEF0-Trip-active"));
    }

    void refreshKeyLayout()
    {
        Popover p;
        QCOMPARE(p.view->refreshKey(), QStringLiteral("::::"));
        auto a = reminderAt(p.context, QStringLiteral("A"), QTime(9, 0));
        auto b = reminderAt(p.context, QStringLiteral("B"), QTime(10, 0));
        auto la = addLog(a, at(kToday, 9, 0), LogStatus::completed);
        auto trip = reward(p.context, QStringLiteral("Trip"));
        const QString expected =
            MenuBarPopoverView::reminderSignature(*a) + "|" + MenuBarPopoverView::reminderSignature(*b) +
            "::" + MenuBarPopoverView::logSignature(*la) + "::" + MenuBarPopoverView::milestoneSignature(*trip);
        QCOMPARE(p.view->refreshKey(), expected);
    }

    void secondsText_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("zero") << 0.0 << "0.0";
        QTest::newRow("whole") << 1781091000.0 << "1781091000.0";
        QTest::newRow("half") << 1781091000.5 << "1781091000.5";
        QTest::newRow("milliseconds") << 1781091000.123 << "1781091000.123";
        QTest::newRow("a tenth") << 0.1 << "0.1";
        QTest::newRow("before 1970") << -86400.0 << "-86400.0";
    }

    void secondsText()
    {
        QFETCH(double, seconds);
        QFETCH(QString, text);
        QCOMPARE(MenuBarPopoverView::secondsText(seconds), text);
        QCOMPARE(text.toDouble(), seconds);
    }

    void noWarnings()
    {
        WarningCollector warnings;
        Popover p;
        auto lunch = reminderAt(p.context, QStringLiteral("Lunch"), QTime(12, 30));
        auto stretch = reminderAt(p.context, QStringLiteral("Stretch"), QTime(11, 0));
        addLog(stretch, at(kToday, 11, 0), LogStatus::skipped);
        reward(p.context, QStringLiteral("Trip"));
        p.show();
        chip(p.row(QStringLiteral("Lunch")), QStringLiteral("Done"))->click();
        settle();
        chip(p.row(QStringLiteral("Stretch")), QStringLiteral("Done"))->click();
        settle();
        QCOMPARE(p.view->mainArea(), MenuBarPopoverView::MainArea::allDone);
        QVERIFY2(warnings.messages().isEmpty(), qPrintable(warnings.messages().join('\n')));
    }

    void unchangedRowsKeepTheirWidgets()
    {
        Popover popover;
        reminderAt(popover.context, QStringLiteral("Kept"), QTime(18, 0));
        auto answered = reminderAt(popover.context, QStringLiteral("Answered"), QTime(19, 0));
        popover.show();
        QPointer<QWidget> kept = popover.row(QStringLiteral("Kept"));
        QPointer<QWidget> before = popover.row(QStringLiteral("Answered"));
        QVERIFY(kept && before);
        popover.view->completeReminder(answered);
        popover.saveAndSettle();
        QCOMPARE(popover.row(QStringLiteral("Kept")), kept.data());
        QCOMPARE(popover.row(QStringLiteral("Answered"))->accessibleName(), QStringLiteral("Answered, completed"));
        QVERIFY(!before);
    }
};

QTEST_MAIN(TestMenuBarPopover)
#include "tst_menubarpopover.moc"
