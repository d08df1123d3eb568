// The today screen through its public face: which sections, rows and buttons appear, what they say,
// what pressing them does, and the wiring of queries, appearance and the 60-second refresh.
#include "Support/CopyTestSupport.h"
#include "Support/LayoutTestSupport.h"
#include "Support/PointerTestSupport.h"
#include "Support/TodayTestSupport.h"

#include "Banners/CelebrationManager.h"
#include "Banners/VirtualTimerSource.h"
#include "Copy/CopyEngine.h"
#include "DesignSystem/CategoryBadge.h"
#include "DesignSystem/CheckOffButton.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/LayoutTokens.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinText.h"
#include "DesignSystem/ProgressRing.h"
#include "DesignSystem/ThemeColors.h"
#include "Model/MilestoneLog.h"
#include "Today/MomentumCard.h"
#include "Today/ReminderListView.h"
#include "Today/RewardsCard.h"
#include "Today/TodayHeaderCard.h"
#include "Today/TodayListCard.h"
#include "Today/TodayRows.h"

#include <QAbstractButton>
#include <QApplication>
#include <QBuffer>
#include <QDialog>
#include <QLayout>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QStyleHints>
#include <QTest>
#include <QTimer>

using namespace todaytest;
using today::Pill;

namespace {

QString describe(const QWidget *w)
{
    if (w->objectName() == QLatin1String("sectionLabel"))
        return QStringLiteral("label:") + w->accessibleName();
    return w->objectName();
}

// "overdueRow divider label:Still waiting openRow" for the open sections of today's card.
QString openSectionItems(const ReminderListView &view)
{
    auto *card = qobject_cast<OvlinCard *>(view.todayListCard());
    if (!card)
        return QStringLiteral("<no card>");
    QStringList parts;
    for (QWidget *w : layoutWidgets(card->content())) {
        if (w->objectName() != QLatin1String("openSections"))
            continue;
        for (QWidget *item : layoutWidgets(w))
            parts << describe(item);
    }
    return parts.join(' ');
}

QStringList cardItems(const ReminderListView &view)
{
    QStringList parts;
    if (auto *card = qobject_cast<OvlinCard *>(view.todayListCard())) {
        for (QWidget *w : layoutWidgets(card->content()))
            parts << describe(w);
    }
    return parts;
}

QWidget *rowOf(const ReminderListView &view, const char *form, const Reminder &reminder)
{
    const QString id = reminder.id().toString(QUuid::WithoutBraces);
    auto *card = view.todayListCard();
    if (!card)
        return nullptr;
    for (QWidget *w : card->findChildren<QWidget *>(QLatin1String(form))) {
        if (w->property("reminderId").toString() == id && !w->isHidden() && w->parentWidget() &&
            !w->parentWidget()->isHidden())
            return w;
    }
    return nullptr;
}

QAbstractButton *buttonNamed(const QWidget *root, const QString &accessibleName)
{
    if (!root)
        return nullptr;
    for (auto *button : root->findChildren<QAbstractButton *>()) {
        if (button->accessibleName() == accessibleName)
            return button;
    }
    return nullptr;
}

QStringList pillTexts(const ReminderListView &view)
{
    QStringList texts;
    for (const Pill *pill : static_cast<today::TodayHeaderCard *>(view.headerCard())->pills())
        texts << pill->text();
    return texts;
}

QString childText(const QWidget *root, const char *name)
{
    if (!root)
        return {};
    for (auto *text : root->findChildren<OvlinText *>(QLatin1String(name)))
        return text->text();
    for (auto *holder : root->findChildren<QWidget *>(QLatin1String(name))) {
        if (auto *text = holder->findChild<OvlinText *>())
            return text->text();
    }
    return {};
}

// A reward with `met` met days before today.
std::shared_ptr<Milestone> rewardWithProgress(StoreContext *context, const QString &name, qint64 days, int met,
                                              int startedDaysAgo, MilestoneStatus status = MilestoneStatus::active)
{
    auto reward = makeMilestone(context, name, days, status, at(kWednesday.addDays(-startedDaysAgo), 9, 0));
    for (int ago = 1; ago <= met; ++ago)
        MilestoneLog::create(QUuid::createUuid(), reward, Days::startOfDay(kWednesday.addDays(-ago)), 1.0, true);
    return reward;
}

// Where the ink of a text in `area` (logical pixels of a picture drawn `scale` times larger) ends, in
// logical pixels: for text without descenders, its baseline. Ink is anything nearer the text's colour
// than the background's.
double inkBottom(const QImage &picture, double scale, const QRect &area, const QColor &text)
{
    const QRect box(QPoint(int(area.left() * scale), int(area.top() * scale)),
                    QPoint(int((area.right() + 1) * scale) - 1, int((area.bottom() + 1) * scale) - 1));
    const int background = qGray(picture.pixel(box.topLeft()));
    const int threshold = (background + qGray(text.rgb())) / 2;
    for (int y = box.bottom(); y >= box.top(); --y) {
        for (int x = box.left(); x <= box.right(); ++x) {
            if (qGray(picture.pixel(x, y)) < threshold)
                return (y + 1) / scale;
        }
    }
    return -1;
}

} // namespace

class TestTodayScreen : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;
    std::unique_ptr<CelebrationManager> m_manager;
    std::unique_ptr<ReminderListView> m_view;

    StoreContext *context() const { return m_store->mainContext(); }

    ReminderListView &show()
    {
        context()->save();
        m_view = std::make_unique<ReminderListView>(context(), m_manager.get());
        m_view->viewModel()->setTimerSource(std::make_shared<VirtualTimerSource>());
        m_view->resize(900, 1400);
        m_view->show();
        settle(*m_view);
        return *m_view;
    }

private Q_SLOTS:
    void initTestCase() { Motion::setAnimationsEnabled(false); }

    void init()
    {
        resetSettings();
        Clock::setNow(at(kWednesday, 12, 0));
        m_store = openStore();
        m_manager = std::make_unique<CelebrationManager>();
        m_manager->setTimerSource(std::make_shared<VirtualTimerSource>());
    }

    void cleanup()
    {
        m_view.reset();
        m_manager.reset();
        m_store.reset();
        Clock::useSystemTime();
    }

    // ---- sections

    void sections_data()
    {
        QTest::addColumn<bool>("withReminder");
        QTest::addColumn<QStringList>("rewardStatuses");
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing") << false << QStringList{} << "empty";
        QTest::newRow("a running reward only") << false << QStringList{"active"} << "empty rewards";
        QTest::newRow("reminders and only failed rewards") << true << QStringList{"failed"} << "list momentum";
        QTest::newRow("reminders and an earned reward") << true << QStringList{"achieved"} << "list rewards momentum";
        QTest::newRow("unknown status counts as running") << false << QStringList{"paused?"} << "empty rewards";
    }

    void sections()
    {
        QFETCH(bool, withReminder);
        QFETCH(QStringList, rewardStatuses);
        QFETCH(QString, expected);
        if (withReminder)
            makeReminder(context(), fixedAt("Walk", 18, 0));
        for (const QString &status : rewardStatuses)
            makeMilestone(context(), status, 5, MilestoneStatus::active, at(kWednesday, 8, 0))->setStatusRaw(status);
        auto &view = show();

        QStringList parts;
        if (view.emptyState())
            parts << "empty";
        if (view.todayListCard())
            parts << "list";
        if (view.rewardsCard())
            parts << "rewards";
        if (view.momentumCard())
            parts << "momentum";
        QCOMPARE(parts.join(' '), expected);
        QCOMPARE(view.insightsRow()->isVisibleTo(&view), expected.contains("rewards") || expected.contains("momentum"));
    }

    void insightsRowTakesTheHeightOfItsContent_data()
    {
        QTest::addColumn<bool>("withReward");
        QTest::newRow("momentum alone") << false;
        QTest::newRow("beside a reward") << true;
    }

    void insightsRowTakesTheHeightOfItsContent()
    {
        QFETCH(bool, withReward);
        makeReminder(context(), fixedAt("Walk", 18, 0));
        if (withReward)
            rewardWithProgress(context(), "Trip", 10, 3, 5);
        auto &view = show();
        view.resize(1400, 980);
        settle(view);
        QWidget *momentum = view.momentumCard();
        QVERIFY(momentum);
        // Room left below the card's last piece of content.
        const auto roomBelow = [](QWidget *card, const char *lastName) {
            QWidget *last = card->findChild<QWidget *>(QLatin1String(lastName));
            return last ? card->height() - last->mapTo(card, QPoint(0, last->height())).y() : -1;
        };
        const int momentumRoom = roomBelow(momentum, "streakRow");
        if (!withReward) {
            QCOMPARE(momentumRoom, int(LayoutTokens::spacingXL));
            return;
        }
        QWidget *rewards = view.rewardsCard();
        QVERIFY(rewards);
        // Side by side the cards share the taller one's height.
        QCOMPARE(rewards->height(), momentum->height());
        QCOMPARE(std::min(momentumRoom, roomBelow(rewards, "featuredReward")), int(LayoutTokens::spacingXL));
    }

    // In a main window of these widths (the sidebar and margins take 224 of it) every word of the insights
    // row is shown: its cards share the row where both fit and stack where they do not.
    void insightsRowShowsEveryWordInASmallWindow_data()
    {
        QTest::addColumn<int>("windowWidth");
        QTest::addColumn<bool>("sideBySide");
        QTest::newRow("700") << 700 << false;
        QTest::newRow("800") << 800 << true;
        QTest::newRow("860") << 860 << true;
        QTest::newRow("1100") << 1100 << true;
    }

    void insightsRowShowsEveryWordInASmallWindow()
    {
        QFETCH(int, windowWidth);
        QFETCH(bool, sideBySide);
        makeReminder(context(), fixedAt("Walk", 18, 0));
        rewardWithProgress(context(), "Trip", 10, 3, 5);
        auto &view = show();
        view.resize(windowWidth - 224, 520 - 16);
        settle(view);
        QWidget *area = view.findChild<QScrollArea *>()->viewport();
        QWidget *rewards = view.rewardsCard();
        QWidget *momentum = view.momentumCard();
        QVERIFY(rewards && momentum);
        QCOMPARE(layouttest::cutTexts(view.insightsRow(), area), QStringList());
        QCOMPARE(layouttest::controlsOutside(view.insightsRow(), area), QStringList());
        const QRect row = view.insightsRow()->rect();
        if (sideBySide) {
            // As before: two halves of the row, 16 apart.
            QCOMPARE(rewards->y(), momentum->y());
            QCOMPARE(rewards->x(), 0);
            QCOMPARE(momentum->x() + momentum->width(), row.width());
            QCOMPARE(momentum->x() - rewards->width(), int(LayoutTokens::spacingLG));
            QVERIFY(std::abs(rewards->width() - momentum->width()) <= 1);
        } else {
            QCOMPARE(rewards->geometry(), QRect(0, 0, row.width(), rewards->height()));
            QCOMPARE(momentum->geometry(),
                     QRect(0, rewards->height() + int(LayoutTokens::spacingLG), row.width(), momentum->height()));
            QCOMPARE(row.height(), momentum->geometry().bottom() + 1);
        }
    }

    void emptyStateOffersANewHabit()
    {
        auto &view = show();
        QVERIFY(view.emptyState());
        QCOMPARE(view.emptyState()->title(), QStringLiteral("Nothing lined up today"));
        QCOMPARE(view.emptyState()->imageAsset(), QStringLiteral("OvlinThumb"));
        QVERIFY(CopyEngine::pool(CopyTrigger::emptyReminders).contains(view.emptyState()->message()));
        QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), view.emptyState()->message());
        QSignalSpy requested(&view, &ReminderListView::newReminderRequested);
        QTest::mouseClick(view.emptyState()->actionButton(), Qt::LeftButton);
        QCOMPARE(requested.count(), 1);
    }

    // The phrase is picked for every build of the content that is shown: once when the screen appears,
    // again at each minute's refresh and when a sheet over the window closes; never the last one shown.
    void emptyPhraseIsPickedAtEachBuild()
    {
        const copytest::CountedPicks picks;
        context()->save();
        QWidget window;
        auto *view = new ReminderListView(context(), m_manager.get(), &window);
        today::vbox(&window, 0)->addWidget(view);
        window.resize(900, 1000);
        QCOMPARE(picks.count(), 0); // built while hidden: nothing shown, nothing picked
        window.show();
        settle(*view);
        QCOMPARE(picks.count(), 1);

        QString previous = view->emptyState()->message();
        QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), previous);
        for (int minute = 0; minute < 4; ++minute) {
            const int before = picks.count();
            Clock::advance(60);
            QMetaObject::invokeMethod(view->refreshTimer(), "timeout", Qt::DirectConnection);
            settle(*view);
            QCOMPARE(picks.count() - before, 1);
            const QString phrase = view->emptyState()->message();
            QVERIFY(CopyEngine::pool(CopyTrigger::emptyReminders).contains(phrase));
            QVERIFY(phrase != previous);
            QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), phrase);
            previous = phrase;
        }

        const int before = picks.count();
        QDialog sheet(&window);
        sheet.setWindowModality(Qt::WindowModal);
        sheet.show();
        settle(*view);
        sheet.hide();
        settle(*view);
        QCOMPARE(picks.count() - before, 1);
        QVERIFY(view->emptyState()->message() != previous);
        QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyReminders), view->emptyState()->message());
    }

    void headerPills_data()
    {
        QTest::addColumn<bool>("withReminders");
        QTest::addColumn<QStringList>("pills");
        QTest::newRow("nothing today") << false << QStringList{"0 Left today", "0 Done"};
        QTest::newRow("overdue counted twice") << true << QStringList{"3 Left today", "3 Done", "1 Overdue"};
    }

    void headerPills()
    {
        QFETCH(bool, withReminders);
        QFETCH(QStringList, pills);
        if (withReminders) {
            makeReminder(context(), fixedAt("Late", 11, 0));  // overdue
            makeReminder(context(), fixedAt("Later", 15, 0)); // upcoming
            addLog(makeReminder(context(), fixedAt("Skipped", 9, 0)), at(kWednesday, 9, 0), LogStatus::skipped);
            for (int i = 0; i < 3; ++i)
                addLog(makeReminder(context(), fixedAt(QStringLiteral("Done %1").arg(i), 8, 0)), at(kWednesday, 8, 0),
                       LogStatus::completed);
        }
        auto &view = show();
        QCOMPARE(pillTexts(view), pills);
        QCOMPARE(static_cast<today::TodayHeaderCard *>(view.headerCard())->tip(), ReminderListView::headerTips().at(5));
    }

    // ---- today's list

    void openSections_data()
    {
        QTest::addColumn<QList<int>>("states"); // per reminder: 0 overdue, 1 upcoming, 2 skipped, 3 completed, 4 missed
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("sections");
        QTest::newRow("overdue and later") << QList<int>{0, 1} << "Needs attention"
                                           << "overdueRow divider label:Still waiting openRow";
        QTest::newRow("upcoming only") << QList<int>{1} << "Up next"
                                       << "label:Up next openRow";
        QTest::newRow("only skipped") << QList<int>{2} << "Recoverable"
                                      << "label:Skipped but recoverable skippedRow";
        QTest::newRow("skipped and upcoming")
            << QList<int>{2, 1} << "Up next"
            << "label:Up next openRow divider label:Skipped but recoverable skippedRow";
        QTest::newRow("overdue and skipped") << QList<int>{0, 2} << "Needs attention"
                                             << "overdueRow divider label:Skipped but recoverable skippedRow";
        QTest::newRow("everything missed") << QList<int>{4, 4} << "Up next"
                                           << "";
    }

    void openSections()
    {
        QFETCH(QList<int>, states);
        QFETCH(QString, title);
        QFETCH(QString, sections);
        for (int i = 0; i < states.size(); ++i) {
            const int state = states[i];
            auto reminder = makeReminder(context(), fixedAt(QStringLiteral("R%1").arg(i), state == 1 ? 15 : 10, i));
            const QDateTime when = at(kWednesday, 10, i);
            if (state == 2)
                addLog(reminder, when, LogStatus::skipped);
            else if (state == 3)
                addLog(reminder, when, LogStatus::completed);
            else if (state == 4)
                addLog(reminder, when, LogStatus::missed);
        }
        auto &view = show();
        auto *card = static_cast<today::TodayListCard *>(view.todayListCard());
        QVERIFY(card);
        QCOMPARE(card->title(), title);
        QCOMPARE(openSectionItems(view), sections);
        QCOMPARE(card->subtitle(), QString());
        QVERIFY(!card->hasProgressBadge());
    }

    void completedBlockCollapsesAndExpands()
    {
        QList<std::shared_ptr<Reminder>> done;
        for (int i = 0; i < 3; ++i) {
            done << makeReminder(context(), fixedAt(QStringLiteral("Done %1").arg(i), 8, i));
            addLog(done.last(), at(kWednesday, 8, i), LogStatus::completed);
        }
        auto &view = show();
        auto *card = static_cast<today::TodayListCard *>(view.todayListCard());
        QCOMPARE(card->title(), QStringLiteral("Up next"));
        QCOMPARE(card->subtitle(), QStringLiteral("3 handled today. Keeping it compact."));
        QVERIFY(card->hasProgressBadge());
        QCOMPARE(card->percentText(), QStringLiteral("100%"));
        QCOMPARE(card->progressRing()->progress(), 1.0);
        QCOMPARE(cardItems(view), (QStringList{"todayListHeader", "completedRow", "completedRow", "expandControl"}));
        QVERIFY(rowOf(view, "completedRow", *done[0]));
        QVERIFY(rowOf(view, "completedRow", *done[1]));

        auto *expand = card->findChild<QAbstractButton *>(QStringLiteral("expandControl"));
        QCOMPARE(expand->text(), QStringLiteral("Show all 3"));
        QTest::mouseClick(expand, Qt::LeftButton);
        settle(view);
        QVERIFY(view.showAllCompleted());
        QCOMPARE(cardItems(view).count("completedRow"), 3);
        QCOMPARE(card->subtitle(), QStringLiteral("3 handled today"));
        QCOMPARE(card->findChild<QAbstractButton *>(QStringLiteral("expandControl"))->text(),
                 QStringLiteral("Show less"));

        // One taken back: two left, no control, the expanded state stays.
        context()->remove(done[2]->logs().first());
        context()->save();
        settle(view);
        QCOMPARE(cardItems(view), (QStringList{"todayListHeader", "openSections", "completedRow", "completedRow"}));
        QVERIFY(view.showAllCompleted());
    }

    void newDayCollapsesTheCompletedBlock()
    {
        Clock::setNow(at(kWednesday, 23, 59, 30));
        auto &view = show();
        view.setShowAllCompleted(true);
        view.refreshTick(); // same day
        QVERIFY(view.showAllCompleted());
        Clock::advance(60);
        view.refreshTick();
        QCOMPARE(ReminderListView::dayKey(view.viewModel()->currentDate()), QStringLiteral("2026-6-11"));
        QVERIFY(!view.showAllCompleted());
    }

    void refreshRunsEveryMinuteWhileShown()
    {
        auto &view = show();
        QVERIFY(view.refreshTimer()->isActive());
        QCOMPARE(view.refreshTimer()->interval(), 60000);
        Clock::advance(60);
        QSignalSpy dated(view.viewModel(), &ReminderListViewModel::currentDateChanged);
        QMetaObject::invokeMethod(view.refreshTimer(), "timeout", Qt::DirectConnection);
        QCOMPARE(dated.count(), 1);
        QCOMPARE(view.viewModel()->currentDate(), Clock::now());
        view.hide();
        QVERIFY(!view.refreshTimer()->isActive());
    }

    void refreshStopsWhileMinimisedAndCatchesUp_data()
    {
        QTest::addColumn<bool>("minimise"); // else the window is hidden (closed to the tray)
        QTest::newRow("minimised") << true;
        QTest::newRow("hidden") << false;
    }

    void refreshStopsWhileMinimisedAndCatchesUp()
    {
        QFETCH(bool, minimise);
        context()->save();
        QWidget window;
        auto *view = new ReminderListView(context(), m_manager.get(), &window);
        today::vbox(&window, 0)->addWidget(view);
        window.resize(900, 1000);
        window.show();
        settle(*view);
        QVERIFY(view->refreshTimer()->isActive());

        if (minimise)
            window.showMinimized();
        else
            window.hide();
        settle(*view);
        QVERIFY(!view->refreshTimer()->isActive());

        Clock::advance(5 * 60);
        QSignalSpy dated(view->viewModel(), &ReminderListViewModel::currentDateChanged);
        window.showNormal();
        settle(*view);
        QVERIFY(view->refreshTimer()->isActive());
        QCOMPARE(dated.count(), 1);
        QCOMPARE(view->viewModel()->currentDate(), Clock::now());
    }

    void unchangedRowsKeepTheirWidgets()
    {
        auto kept = makeReminder(context(), fixedAt("Kept", 15, 0));
        auto answered = makeReminder(context(), fixedAt("Answered", 16, 0));
        auto renamed = makeReminder(context(), fixedAt("Renamed", 17, 0));
        auto &view = show();
        QPointer<QWidget> keptRow = rowOf(view, "openRow", *kept);
        QPointer<QWidget> renamedRow = rowOf(view, "openRow", *renamed);
        QPointer<QWidget> header = view.headerCard();
        QPointer<QWidget> momentum = view.momentumCard();
        QVERIFY(keptRow && renamedRow && momentum);

        view.viewModel()->complete(answered, false);
        renamed->setTitle(QStringLiteral("Now renamed"));
        context()->save();
        settle(view);
        QVERIFY(rowOf(view, "completedRow", *answered));
        QCOMPARE(rowOf(view, "openRow", *kept), keptRow.data());
        QVERIFY(rowOf(view, "openRow", *renamed) != renamedRow.data());
        QCOMPARE(view.headerCard(), header.data());

        // A tick of the clock that changes nothing on screen changes no widget.
        const QPointer<QWidget> momentumNow = view.momentumCard();
        Clock::advance(60);
        view.refreshTick();
        settle(view);
        QCOMPARE(rowOf(view, "openRow", *kept), keptRow.data());
        QCOMPARE(view.momentumCard(), momentumNow.data());
    }

    void focusStaysInTheListWhenItsRowGoes()
    {
        auto first = makeReminder(context(), fixedAt("First", 10, 0));
        auto second = makeReminder(context(), fixedAt("Second", 11, 0));
        auto &view = show();
        view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&view));
        QAbstractButton *done = buttonNamed(rowOf(view, "overdueRow", *first), "Mark First as done");
        QVERIFY(done);
        done->setFocus(Qt::TabFocusReason);
        QCOMPARE(QApplication::focusWidget(), done);
        QTest::keyClick(done, Qt::Key_Space);
        settle(view);
        QVERIFY(rowOf(view, "completedRow", *first));
        QWidget *focus = QApplication::focusWidget();
        QVERIFY(focus);
        QVERIFY(rowOf(view, "overdueRow", *second)->isAncestorOf(focus));
    }

    void longListsAreBuiltAsTheyAreScrolled()
    {
        const int count = ReminderListView::rowBatch * 2 + 5;
        for (int i = 0; i < count; ++i)
            makeReminder(context(), fixedAt(QStringLiteral("R%1").arg(i), 18, i % 60));
        auto &view = show();
        const auto openRows = [&view] {
            int n = 0;
            for (QWidget *w : view.todayListCard()->findChildren<QWidget *>(QStringLiteral("openRow")))
                n += w->isHidden() ? 0 : 1;
            return n;
        };
        QCOMPARE(openRows(), ReminderListView::rowBatch);
        QCOMPARE(static_cast<today::TodayHeaderCard *>(view.headerCard())->pills().first()->text(),
                 QStringLiteral("%1 Left today").arg(count));
        for (int i = 0; i < 4 && openRows() < count; ++i) {
            QScrollBar *bar = view.scrollArea()->verticalScrollBar();
            bar->setValue(bar->maximum());
            settle(view);
        }
        QCOMPARE(openRows(), count);
    }

    void openRowTurnsOverdueAtTheRefresh()
    {
        auto reminder = makeReminder(context(), fixedAt("Soon", 12, 0));
        auto &view = show();
        QVERIFY(rowOf(view, "openRow", *reminder));
        Clock::advance(60);
        view.refreshTick();
        settle(view);
        QVERIFY(rowOf(view, "overdueRow", *reminder));
    }

    // ---- rows and their buttons

    void rowButtonsAnswerTheReminder()
    {
        auto reminder = makeReminder(context(), fixedAt("Water break", 11, 0, ReminderCategory::water));
        auto &view = show();
        QWidget *overdueRow = rowOf(view, "overdueRow", *reminder);
        QVERIFY(overdueRow);
        QVERIFY(overdueRow->findChild<Pill *>(QStringLiteral("timeCapsule")));

        QTest::mouseClick(buttonNamed(overdueRow, "Skip Water break"), Qt::LeftButton);
        settle(view);
        QWidget *skippedRow = rowOf(view, "skippedRow", *reminder);
        QVERIFY(skippedRow);
        QCOMPARE(today::opacityOf(skippedRow->findChild<QWidget *>(QStringLiteral("skippedContent"))), 0.85);
        QVERIFY(buttonNamed(skippedRow, "Mark Water break as done"));

        QTest::mouseClick(buttonNamed(skippedRow, "Undo skip for Water break"), Qt::LeftButton);
        settle(view);
        QVERIFY(rowOf(view, "overdueRow", *reminder));
        QCOMPARE(static_cast<today::TodayListCard *>(view.todayListCard())->title(), QStringLiteral("Needs attention"));

        QTest::mouseClick(buttonNamed(rowOf(view, "overdueRow", *reminder), "Mark Water break as done"),
                          Qt::LeftButton);
        settle(view);
        QWidget *completedRow = rowOf(view, "completedRow", *reminder);
        QVERIFY(completedRow);
        QCOMPARE(today::opacityOf(completedRow), 0.9);
        QVERIFY(completedRow->findChildren<QAbstractButton *>().isEmpty());
        QVERIFY(view.viewModel()->isCompleted(*reminder));
    }

    void doneOnASkippedReminderCompletesItNow()
    {
        auto reminder = makeReminder(context(), fixedAt("Pill", 11, 0));
        addLog(reminder, at(kWednesday, 11, 0), LogStatus::skipped);
        auto &view = show();
        QTest::mouseClick(buttonNamed(rowOf(view, "skippedRow", *reminder), "Mark Pill as done"), Qt::LeftButton);
        settle(view);
        QVERIFY(rowOf(view, "completedRow", *reminder));
        QVERIFY(std::any_of(reminder->logs().cbegin(), reminder->logs().cend(), [](const auto &log) {
            return log->status() == LogStatus::completed && log->scheduledAt() == at(kWednesday, 12, 0);
        }));
    }

    void checkOffAndTapCompleteAnOpenRow_data()
    {
        QTest::addColumn<bool>("byTap");
        QTest::newRow("check-off control") << false;
        QTest::newRow("tap on the row") << true;
    }

    void checkOffAndTapCompleteAnOpenRow()
    {
        QFETCH(bool, byTap);
        auto reminder = makeReminder(context(), fixedAt("Later", 18, 0));
        auto &view = show();
        QWidget *row = rowOf(view, "openRow", *reminder);
        QVERIFY(row);
        auto *check = row->findChild<CheckOffButton *>();
        QVERIFY(check->isEnabled());
        QCOMPARE(check->accessibleName(), QStringLiteral("Mark as complete"));
        if (byTap) {
            auto *panel = row->findChild<today::OpenRow *>();
            QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(panel->width() / 2, panel->height() / 2));
        } else {
            QTest::mouseClick(check, Qt::LeftButton);
        }
        QVERIFY(view.viewModel()->isCompleted(*reminder));
        QVERIFY(view.viewModel()->completionCopy(*reminder).has_value());
        settle(view);
        QVERIFY(rowOf(view, "completedRow", *reminder));
        QVERIFY(!rowOf(view, "openRow", *reminder));
    }

    void checkOffKeepsTheScrollPosition()
    {
        QList<std::shared_ptr<Reminder>> reminders;
        for (int i = 0; i < 12; ++i)
            reminders << makeReminder(context(), fixedAt(QStringLiteral("Later %1").arg(i), 13 + i / 2, 0));
        auto &view = show();
        view.resize(900, 500);
        QApplication::setActiveWindow(&view);
        QVERIFY(QTest::qWaitForWindowActive(&view));
        settle(view);
        QScrollBar *bar = view.scrollArea()->verticalScrollBar();
        QVERIFY(bar->maximum() > 400);
        bar->setValue(400);
        auto *check = rowOf(view, "openRow", *reminders[6])->findChild<CheckOffButton *>();
        const QWidget *focused = QApplication::focusWidget();
        QTest::mouseClick(check, Qt::LeftButton);
        settle(view);
        QVERIFY(view.viewModel()->isCompleted(*reminders[6]));
        // The page stays where it was and the click moved no focus (nothing scrolls to a ring elsewhere).
        QCOMPARE(bar->value(), 400);
        QCOMPARE(QApplication::focusWidget(), focused);
    }

    // A row shows the fixed time only where the reminder fires at it: an interval reminder that still carries
    // one from a store of another version shows none, open, overdue or completed.
    void rowTimeIsAFiringTime_data()
    {
        QTest::addColumn<ScheduleType>("type");
        QTest::addColumn<QTime>("windowStart");
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("timeShown");

        QTest::newRow("fixed") << ScheduleType::fixedTime << QTime(13, 0) << "overdueRow" << true;
        QTest::newRow("interval, window ahead") << ScheduleType::interval << QTime(13, 0) << "openRow" << false;
        QTest::newRow("interval, window under way") << ScheduleType::interval << QTime(10, 0) << "overdueRow" << false;
        QTest::newRow("combined") << ScheduleType::combined << QTime(13, 0) << "overdueRow" << true;
    }

    void rowTimeIsAFiringTime()
    {
        QFETCH(ScheduleType, type);
        QFETCH(QTime, windowStart);
        QFETCH(QString, form);
        QFETCH(bool, timeShown);

        ReminderSpec spec = intervalFrom("Stretch", windowStart, QTime(17, 0), 60);
        spec.scheduleType = type;
        spec.fixedTime = QTime(9, 0);
        if (type == ScheduleType::fixedTime)
            spec.intervalMinutes = std::nullopt;
        const auto reminder = makeReminder(context(), spec);
        auto &view = show();
        const QString time = today::shortTime(at(kWednesday, 9, 0));

        QWidget *row = rowOf(view, qPrintable(form), *reminder);
        QVERIFY(row);
        const auto *capsule = row->findChild<Pill *>(QStringLiteral("timeCapsule"));
        const QString shown = capsule ? capsule->text() : childText(row, "timeText");
        QCOMPARE(shown, timeShown ? time : QString());

        addLog(reminder, Clock::now(), LogStatus::completed);
        QVERIFY(context()->save());
        settle(view);
        row = rowOf(view, "completedRow", *reminder);
        QVERIFY(row);
        QCOMPARE(childText(row, "timeText"), timeShown ? time : QString());
    }

    void completedReminderIgnoresTapAndCheckOff()
    {
        auto reminder = makeReminder(context(), fixedAt("Done", 18, 0));
        addLog(reminder, at(kWednesday, 18, 0), LogStatus::completed);
        ReminderListViewModel model(context());
        today::OpenRow row(&model, reminder);
        auto *check = row.findChild<CheckOffButton *>();
        QVERIFY(!check->isEnabled());
        QVERIFY(check->isCompleted());
        row.tap();
        QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(reminder->logs().size(), 1);
    }

    void unknownCategoryShowsGeneral()
    {
        auto reminder = makeReminder(context(), fixedAt("Odd", 18, 0));
        reminder->setCategory("juggling");
        auto skipped = makeReminder(context(), fixedAt("Odd skipped", 9, 0));
        skipped->setCategory("juggling");
        addLog(skipped, at(kWednesday, 9, 0), LogStatus::skipped);
        auto &view = show();
        QWidget *row = rowOf(view, "openRow", *reminder);
        QCOMPARE(row->findChild<today::IconTile *>()->symbol(), QStringLiteral("bell.fill"));
        QStringList texts;
        for (auto *text : row->findChildren<OvlinText *>())
            texts << text->text();
        QVERIFY(texts.contains(QStringLiteral("General")));
        QCOMPARE(rowOf(view, "skippedRow", *skipped)->findChild<CategoryBadge *>()->category(),
                 ReminderCategory::general);
    }

    // ---- wiring

    void newReminderShowsUpThroughTheQuery()
    {
        auto &view = show();
        QVERIFY(view.emptyState());
        auto reminder = makeReminder(context(), fixedAt("Fresh", 18, 0));
        context()->save();
        settle(view);
        QVERIFY(rowOf(view, "openRow", *reminder));
        QCOMPARE(view.viewModel()->reminders().size(), 1);

        ReminderSpec notToday = fixedAt("Weekend", 18, 0);
        notToday.activeDaysRaw = {6, 7};
        makeReminder(context(), notToday);
        context()->save();
        settle(view);
        QCOMPARE(view.viewModel()->reminders().size(), 2);
        QCOMPARE(view.viewModel()->todaysReminders().size(), 1);
    }

    void eachAppearanceHandsOverTheStore()
    {
        auto &view = show();
        QCOMPARE(view.viewModel()->modelContext(), context());
        QCOMPARE(view.viewModel()->celebrationManager(), m_manager.get());
        view.hide();
        settle(view);
        auto reminder = makeReminder(context(), fixedAt("While hidden", 18, 0));
        context()->save();
        view.show();
        settle(view);
        QVERIFY(rowOf(view, "openRow", *reminder));
    }

    void checkOffCelebratesWithTheWindowsManager()
    {
        ReminderSpec spec = fixedAt("Only", 18, 0);
        spec.createdAt = at(kWednesday, 7, 0);
        auto reminder = makeReminder(context(), spec);
        auto &view = show();
        QTest::mouseClick(rowOf(view, "openRow", *reminder)->findChild<CheckOffButton *>(), Qt::LeftButton);
        QVERIFY(m_manager->activeEvent().has_value());
        QCOMPARE(m_manager->activeEvent()->kind, CelebrationEvent::Kind::allDailyDone);
    }

    // A row's answer rebuilds the list at once, so the next row's control slides under the pointer before
    // the second press of a double-click arrives: that press answers nothing. Space on the control that
    // slid there is not a press and answers; so does a click after the double-click time.
    void secondPressOfADoubleClickAnswersNothing_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("gesture");
        for (const char *control : {"Done", "Skip", "check-off box", "tap on the row"}) {
            for (const char *gesture : {"double-click", "press the platform did not pair", "Space"}) {
                // The row itself takes no keyboard focus.
                if (QByteArray(control) != "tap on the row" || QByteArray(gesture) != "Space")
                    QTest::addRow("%s, %s", control, gesture) << control << gesture;
            }
        }
    }

    void secondPressOfADoubleClickAnswersNothing()
    {
        QFETCH(QString, control);
        QFETCH(QString, gesture);
        // Something handled already, so the card's header keeps its height when the first answer comes.
        auto handled = makeReminder(context(), fixedAt("Stretch", 8, 0));
        addLog(handled, at(kWednesday, 8, 0), LogStatus::completed);
        const bool open = control == "check-off box" || control == "tap on the row";
        auto first = makeReminder(context(), open ? fixedAt("Lunch", 13, 0) : fixedAt("Vitamins", 10, 0));
        auto second =
            makeReminder(context(), open ? fixedAt("Afternoon snack", 15, 0) : fixedAt("Morning water", 10, 30));
        auto &view = show();
        QWidget *pressed = nullptr;
        if (control == "Done")
            pressed = buttonNamed(rowOf(view, "overdueRow", *first), "Mark Vitamins as done");
        else if (control == "Skip")
            pressed = buttonNamed(rowOf(view, "overdueRow", *first), "Skip Vitamins");
        else if (control == "check-off box")
            pressed = rowOf(view, "openRow", *first)->findChild<CheckOffButton *>();
        else
            pressed = rowOf(view, "openRow", *first)->findChild<today::OpenRow *>();
        QVERIFY(pressed);
        // A tap lands on the row's padding, beside its category tile.
        const QPoint point = control == "tap on the row" ? pressed->mapToGlobal(QPoint(4, pressed->height() / 2))
                                                         : pressed->mapToGlobal(pressed->rect().center());
        const LogStatus answer = control == "Skip" ? LogStatus::skipped : LogStatus::completed;
        const auto statuses = [](const Reminder &reminder) {
            QList<LogStatus> list;
            for (const auto &log : reminder.logs())
                list << log->status();
            return list;
        };

        pointertest::EventTime time;
        pointertest::clickThroughWindow(&view, point, time);
        settle(view);
        QCOMPARE(statuses(*first), QList<LogStatus>{answer});
        QWidget *under = view.childAt(view.mapFromGlobal(point));
        while (under && under->property("reminderId").isNull())
            under = under->parentWidget();
        QVERIFY2(under && under->property("reminderId") == second->id().toString(QUuid::WithoutBraces),
                 "the next row is under the pointer");

        time.advance(80);
        if (gesture == "double-click") {
            pointertest::clickThroughWindow(&view, point, time);
        } else if (gesture == "Space") {
            QWidget *target = view.childAt(view.mapFromGlobal(point));
            target->setFocus(Qt::TabFocusReason);
            QTest::keyClick(target, Qt::Key_Space);
        } else {
            pointertest::clickStraightAt(&view, point, time);
        }
        settle(view);
        QCOMPARE(statuses(*first), QList<LogStatus>{answer});
        if (gesture == "Space") {
            QCOMPARE(statuses(*second), QList<LogStatus>{answer});
            return;
        }
        QCOMPARE(statuses(*second), QList<LogStatus>{});

        // A click of its own, after the double-click time, answers the row under the pointer.
        time.advance(QGuiApplication::styleHints()->mouseDoubleClickInterval() + 1);
        pointertest::clickThroughWindow(&view, point, time);
        settle(view);
        QCOMPARE(statuses(*second), QList<LogStatus>{answer});
        QCOMPARE(statuses(*first), QList<LogStatus>{answer});
    }

    // ---- rewards card

    void rewardOrder_data()
    {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("All: earned first, then newest") << "All" << QStringList{"Earned", "New", "Old"};
        QTest::newRow("Nearest: running, closest first") << "Nearest" << QStringList{"Old", "New"};
    }

    void rewardOrder()
    {
        QFETCH(QString, filter);
        QFETCH(QStringList, expected);
        rewardWithProgress(context(), "Old", 10, 7, 20);
        rewardWithProgress(context(), "New", 10, 3, 5);
        rewardWithProgress(context(), "Earned", 5, 5, 30, MilestoneStatus::achieved);
        rewardWithProgress(context(), "Failed", 5, 0, 2, MilestoneStatus::failed);
        auto &view = show();
        view.setRewardFilter(*ReminderListView::rewardFilterFromRaw(filter));
        settle(view);
        QStringList names;
        for (const auto &m : view.shownRewards())
            names << m->name();
        QCOMPARE(names, expected);
    }

    void nearestWithOnlyEarnedRewardsShowsAll()
    {
        rewardWithProgress(context(), "Earned", 5, 5, 30, MilestoneStatus::achieved);
        auto &view = show();
        view.setRewardFilter(ReminderListView::RewardFilter::nearest);
        QVERIFY(view.filteredRewardItems().isEmpty());
        QCOMPARE(view.shownRewards().size(), 1);
    }

    void atMostFourRewardsShown()
    {
        for (int i = 0; i < 6; ++i)
            rewardWithProgress(context(), QStringLiteral("R%1").arg(i), 10, 1, 10 - i);
        auto &view = show();
        QVERIFY(view.rewardsCard());
        QCOMPARE(view.rewardsCard()->findChildren<QWidget *>(QStringLiteral("featuredReward")).size(), 1);
        QCOMPARE(view.rewardsCard()->findChildren<QWidget *>(QStringLiteral("compactReward")).size(), 3);
    }

    void chipsSwitchTheFilter()
    {
        rewardWithProgress(context(), "Old", 10, 7, 20);
        rewardWithProgress(context(), "Earned", 5, 5, 30, MilestoneStatus::achieved);
        auto &view = show();
        auto *card = static_cast<today::RewardsCard *>(view.rewardsCard());
        QCOMPARE(card->chips().size(), 2);
        QCOMPARE(card->chips()[0]->text(), QStringLiteral("All"));
        QVERIFY(card->chips()[0]->isSelected());
        QTest::mouseClick(card->chips()[1], Qt::LeftButton);
        QCOMPARE(view.rewardFilter(), ReminderListView::RewardFilter::nearest);
        settle(view);
        card = static_cast<today::RewardsCard *>(view.rewardsCard());
        QVERIFY(card->chips()[1]->isSelected());
        QCOMPARE(
            card->findChild<QWidget *>(QStringLiteral("featuredReward"))->findChildren<OvlinText *>().first()->text(),
            QStringLiteral("Old"));
    }

    void rewardsHeaderSharesOneBaseline()
    {
        rewardWithProgress(context(), "Trip", 10, 3, 5);
        auto &view = show();
        auto *card = static_cast<today::RewardsCard *>(view.rewardsCard());
        QVERIFY(card);
        OvlinText *title = nullptr;
        for (auto *text : card->findChildren<OvlinText *>()) {
            if (text->text() == QLatin1String("Rewards"))
                title = text;
        }
        QVERIFY(title);
        const double scale = 4;
        QImage picture((QSizeF(card->size()) * scale).toSize(), QImage::Format_RGB32);
        picture.fill(Qt::white);
        {
            QPainter painter(&picture);
            painter.scale(scale, scale);
            card->render(&painter);
        }
        const auto areaOf = [card](QWidget *w) { return QRect(w->mapTo(card, QPoint(0, 0)), w->size()); };
        // "Rewards", "All" and "Nearest" have no descenders: their ink ends on the baseline.
        const double titleBaseline = inkBottom(picture, scale, areaOf(title), ThemeColors::textPrimary());
        QVERIFY(titleBaseline > 0);
        for (auto *chip : card->chips()) {
            const QColor ink = chip->isSelected() ? ThemeColors::textPrimary() : ThemeColors::textSecondary();
            const double chipBaseline = inkBottom(picture, scale, areaOf(chip), ink);
            // Widgets sit on whole pixels: within half a pixel, plus a quarter for anti-aliasing.
            QVERIFY2(
                std::abs(chipBaseline - titleBaseline) <= 0.75,
                qPrintable(QStringLiteral("%1: %2, title: %3").arg(chip->text()).arg(chipBaseline).arg(titleBaseline)));
        }
    }

    void compactRewardReadsTruncatedPercent()
    {
        rewardWithProgress(context(), "First", 10, 9, 10);
        rewardWithProgress(context(), "Second", 3, 2, 11); // 66.6 %
        rewardWithProgress(context(), "Zero", 10, 0, 12);
        auto &view = show();
        QStringList percents;
        for (auto *row : view.rewardsCard()->findChildren<QWidget *>(QStringLiteral("compactReward")))
            percents << childText(row, "rewardPercent");
        QCOMPARE(percents, (QStringList{"66%", "0%"}));
        auto *zeroBar = view.rewardsCard()
                            ->findChildren<QWidget *>(QStringLiteral("compactReward"))
                            .last()
                            ->findChild<today::ProgressBar *>();
        QCOMPARE(zeroBar->fillWidth(200), 6.0);
    }

    // ---- momentum card

    void momentumCard_data()
    {
        QTest::addColumn<int>("perfectDaysBefore");
        QTest::addColumn<QString>("week");
        QTest::addColumn<QString>("streak");
        QTest::addColumn<QString>("encouragement");
        QTest::newRow("first day") << 0 << "0%"
                                   << "0 day streak"
                                   << "Start one today.";
        // The reminder counts on every day of the window, even before it existed.
        QTest::newRow("one day") << 1 << "14%"
                                 << "1 day streak"
                                 << "Keep it going.";
        QTest::newRow("six perfect days") << 6 << "86%"
                                          << "6 day streak"
                                          << "Keep it going.";
    }

    void momentumCard()
    {
        QFETCH(int, perfectDaysBefore);
        QFETCH(QString, week);
        QFETCH(QString, streak);
        QFETCH(QString, encouragement);
        ReminderSpec spec = fixedAt("Walk", 18, 0);
        spec.createdAt = at(kWednesday.addDays(-perfectDaysBefore), 7, 0);
        auto reminder = makeReminder(context(), spec);
        for (int ago = 1; ago <= perfectDaysBefore; ++ago)
            addLog(reminder, at(kWednesday.addDays(-ago), 18, 0), LogStatus::completed);
        auto &view = show();
        auto *card = static_cast<today::MomentumCard *>(view.momentumCard());
        QVERIFY(card);
        QCOMPARE(card->weekText(), week);
        QCOMPARE(card->streakText(), streak);
        QCOMPARE(card->encouragement(), encouragement);
    }
};

QTEST_MAIN(TestTodayScreen)
#include "tst_todayscreen.moc"
