// The keyboard in every screen and sheet: Tab goes through controls only, each drawing its ring, in the
// order the screen reads (sidebar first, then top to bottom, leading to trailing); and an answer given
// from the keyboard leaves a focus the user can see, on a control that answers what it shows.
#include "Shell/ShellTestSupport.h"

#include "Banners/BannerManager.h"
#include "Banners/InAppBannerView.h"
#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "DesignSystem/ThemeColors.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "MenuBar/MenuBarPopover.h"
#include "MenuBar/MenuBarPopoverView.h"
#include "Model/ReminderLog.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneListView.h"
#include "ScreenParts/MilestoneCard.h"
#include "Shell/ContentView.h"
#include "Shell/OnboardingView.h"
#include "Shell/SheetDialog.h"
#include "Support/FocusChainTestSupport.h"
#include "Support/TodayTestSupport.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using namespace shelltest;

namespace {

const QDate kToday(2026, 6, 10);

bool activate(QWidget *window)
{
    window->show();
    QApplication::setActiveWindow(window);
    const bool active = QTest::qWaitForWindowActive(window);
    settleEvents();
    return active;
}

// The visible stop nearest the top (then the leading edge): where reading a sheet starts.
QWidget *topmostStop(QWidget *window)
{
    QWidget *best = nullptr;
    QPoint bestAt;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        if (!w->isVisible() || !w->isEnabled() || (w->focusPolicy() & Qt::TabFocus) != Qt::TabFocus || w->focusProxy())
            continue;
        const QPoint at = w->mapTo(window, QPoint(0, 0));
        if (!best || at.y() < bestAt.y() || (at.y() == bestAt.y() && at.x() < bestAt.x())) {
            best = w;
            bestAt = at;
        }
    }
    return best;
}

} // namespace

class TestKeyboardFocus : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<StoreContainer> m_store;
    std::unique_ptr<todaytest::RecordingHooks> m_hooks;
    std::unique_ptr<ContentView> m_view;
    std::unique_ptr<MenuBarPopover> m_popover;

    StoreContext *context() const { return m_store->mainContext(); }

    std::shared_ptr<Reminder> habit(const QString &title, int hour, int minute = 0)
    {
        enginetest::ReminderSpec spec = todaytest::fixedAt(title, hour, minute);
        spec.createdAt = enginetest::at(kToday.addDays(-3), 8, hour);
        return enginetest::makeReminder(context(), spec);
    }

    void answered(const std::shared_ptr<Reminder> &reminder, LogStatus status)
    {
        context()->insert(enginetest::addLog(
            reminder,
            enginetest::at(kToday, reminder->fixedTime()->time().hour(), reminder->fixedTime()->time().minute()),
            status));
    }

    // Two overdue habits, two later today, one skipped, three done; two rewards running and one earned.
    void fill()
    {
        habit("Walk", 9);
        habit("Read", 10);
        habit("Stretch", 16);
        habit("Journal", 17);
        answered(habit("Tea", 11), LogStatus::skipped);
        for (const auto &[name, hour] : {std::pair{"Water", 7}, {"Fruit", 8}, {"Nap", 12}})
            answered(habit(name, hour), LogStatus::completed);
        todaytest::makeMilestone(context(), "Cinema", 5, MilestoneStatus::active,
                                 enginetest::at(kToday.addDays(-2), 8, 0));
        todaytest::makeMilestone(context(), "Concert", 7, MilestoneStatus::active,
                                 enginetest::at(kToday.addDays(-1), 8, 0));
        todaytest::makeMilestone(context(), "Book", 3, MilestoneStatus::achieved,
                                 enginetest::at(kToday.addDays(-9), 8, 0));
        context()->save();
    }

    ContentView *openWindow(bool onboarded = true)
    {
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), onboarded}});
        auto services = fakeServices(std::make_shared<Journal>());
        services->makeScreen = ShellServices::live()->makeScreen;
        services->makeReminderForm = ShellServices::live()->makeReminderForm;
        m_view = std::make_unique<ContentView>(context(), services);
        m_view->resize(1000, 900);
        return m_view.get();
    }

    QWidget *sidebarNewHabit() const { return sidebarButton(QStringLiteral("New habit")); }

    QWidget *sidebarButton(const QString &name) const
    {
        for (auto *button : m_view->findChildren<QAbstractButton *>())
            if (button->accessibleName() == name && button->mapTo(m_view.get(), QPoint()).x() < 200)
                return button;
        return nullptr;
    }

    // Opens what the row names and answers the window to walk and the stop to start from.
    std::pair<QWidget *, QWidget *> open(const QString &what)
    {
        if (what == "popover") {
            m_popover = std::make_unique<MenuBarPopover>();
            auto *view = new MenuBarPopoverView(context(), [] {});
            m_popover->setContent(view);
            m_popover->setContentSize(QSize(320, 480));
            m_popover->showRelativeTo(QRect(300, 10, 20, 20));
            activate(m_popover.get());
            return {m_popover.get(), topmostStop(m_popover.get())};
        }
        ContentView *view = openWindow(what != "onboarding");
        if (what == "habits")
            view->selectTab(OvlinTab::habits);
        else if (what == "rewards" || what == "reward sheet")
            view->selectTab(OvlinTab::milestones);
        else if (what == "settings")
            view->selectTab(OvlinTab::settings);
        if (!activate(view))
            qWarning("window not active");
        if (what == "onboarding") {
            QWidget *sheet = view->onboardingSheet();
            activate(sheet);
            return {sheet, topmostStop(sheet)};
        }
        if (what.startsWith("editor")) {
            view->setShowNewHabitSheet(true);
            settleEvents();
            SheetDialog *sheet = view->newHabitSheet();
            auto *form = sheet ? qobject_cast<ReminderFormView *>(sheet->content()) : nullptr;
            if (!form)
                return {nullptr, nullptr};
            const int step = what.back().digitValue();
            form->viewModel()->setTitle("Walk");
            form->viewModel()->setScheduleType(ScheduleType::combined);
            for (int i = 1; i < step; ++i)
                form->goNext();
            activate(sheet);
            return {sheet, topmostStop(sheet)};
        }
        if (what == "reward sheet") {
            auto *rewards = qobject_cast<MilestoneListView *>(view->currentScreen());
            rewards->showAddSheet();
            settleEvents();
            QWidget *sheet = rewards->presentedEditor();
            activate(sheet);
            return {sheet, topmostStop(sheet)};
        }
        return {view, sidebarNewHabit()};
    }

    // Which record `w` answers for, with its own name: "Mark Read as done @ Read".
    QString where(QWidget *w) const
    {
        if (!w)
            return QStringLiteral("(nothing)");
        QString owner;
        for (QWidget *p = w; p && owner.isEmpty(); p = p->parentWidget()) {
            if (const QString id = p->property("reminderId").toString(); !id.isEmpty()) {
                for (const auto &r : context()->fetch<Reminder>())
                    if (r->id().toString(QUuid::WithoutBraces) == id)
                        owner = r->title();
            } else if (auto *card = qobject_cast<MilestoneCard *>(p)) {
                owner = card->milestone()->name();
            }
        }
        return w->accessibleName() + QStringLiteral(" @ ") + owner;
    }

    // Each habit's pause state and today's answers, each reward's presence.
    QMap<QString, QString> state() const
    {
        QMap<QString, QString> out;
        for (const auto &r : context()->fetch<Reminder>()) {
            QStringList answers;
            for (const auto &log : context()->fetch<ReminderLog>())
                if (log->reminder() == r)
                    answers << rawValue(log->status());
            answers.sort();
            out.insert(r->title(), (r->isActive() ? "on " : "off ") + answers.join(','));
        }
        for (const auto &m : context()->fetch<Milestone>())
            out.insert(m->name(), QStringLiteral("kept"));
        return out;
    }

    // Tabs from `start` to the first control named `control` (as where() names it), as the user would.
    QWidget *tabTo(QWidget *start, const QString &control) const
    {
        QTest::keyClick(start, Qt::Key_Shift);
        start->clearFocus();
        start->setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 80 && where(QApplication::focusWidget()) != control; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        return QApplication::focusWidget();
    }

    static QStringList changed(const QMap<QString, QString> &before, const QMap<QString, QString> &after)
    {
        QStringList names;
        for (auto it = before.cbegin(); it != before.cend(); ++it)
            if (after.value(it.key()) != it.value())
                names << it.key();
        return names;
    }

private Q_SLOTS:
    void initTestCase() { KeyboardFocus::install(); }

    void init()
    {
        Motion::setAnimationsEnabled(false);
        Clock::setNow(enginetest::at(kToday, 14, 0));
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        m_store = enginetest::openStore();
        m_hooks = std::make_unique<todaytest::RecordingHooks>();
        BannerManager::shared().dismiss();
    }

    void cleanup()
    {
        m_popover.reset();
        m_view.reset();
        settleEvents();
        m_hooks.reset();
        m_store.reset();
        Clock::useSystemTime();
    }

    void tabFollowsTheScreen_data()
    {
        QTest::addColumn<QString>("what");
        for (const char *what : {"today", "habits", "rewards", "settings", "editor step 1", "editor step 2",
                                 "editor step 3", "editor step 4", "reward sheet", "onboarding", "popover"})
            QTest::newRow(what) << QString::fromLatin1(what);
    }

    void tabFollowsTheScreen()
    {
        QFETCH(QString, what);
        fill();
        const auto [window, start] = open(what);
        QVERIFY(window && start);
        QVERIFY(QApplication::activeWindow() == window || QApplication::activePopupWidget() == window);

        const QList<focustest::Stop> stops = focustest::walkTabChain(start);
        const QString all = focustest::names(stops).join(QStringLiteral("\n  "));
        QVERIFY2(stops.size() >= 2, qPrintable(all));
        QVERIFY2(focustest::badStop(stops).isEmpty(), qPrintable(focustest::badStop(stops) + "\n  " + all));
        QVERIFY2(focustest::orderBreach(stops).isEmpty(), qPrintable(focustest::orderBreach(stops) + "\n  " + all));
        // Every stop once, and back to the start.
        QCOMPARE(stops.size(), focustest::tabStopCount(window));
        QCOMPARE(QApplication::focusWidget(), start);
    }

    void answerLeavesAFocusInSight_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("control");    // the control Space is pressed on, reached by Tab
        QTest::addColumn<QString>("lands");      // where the focus must be after the list is rebuilt
        QTest::addColumn<QStringList>("second"); // what the next Space changes

        QTest::newRow("today, Done") << "today"
                                     << "Mark Walk as done @ Walk"
                                     << "Mark Read as done @ Read" << QStringList{"Read"};
        QTest::newRow("today, Skip") << "today"
                                     << "Skip Walk @ Walk"
                                     << "Undo skip for Walk @ Walk" << QStringList{"Walk"};
        QTest::newRow("today, Done on the last overdue row") << "today"
                                                             << "Mark Read as done @ Read"
                                                             << "Mark as complete @ Stretch" << QStringList{"Stretch"};
        QTest::newRow("today, Undo skip") << "today"
                                          << "Undo skip for Tea @ Tea"
                                          << "Skip Tea @ Tea" << QStringList{"Tea"};
        QTest::newRow("habits, pause switch") << "habits"
                                              << "Active @ Walk"
                                              << "Inactive @ Walk" << QStringList{"Walk"};
        QTest::newRow("popover, Done") << "popover"
                                       << "Done @ Walk"
                                       << "Done @ Read" << QStringList{"Read"};
        QTest::newRow("rewards, Delete") << "rewards"
                                         << "Delete reward @ Concert"
                                         << "Delete reward @ Cinema" << QStringList{"Cinema"};
    }

    void answerLeavesAFocusInSight()
    {
        QFETCH(QString, what);
        QFETCH(QString, control);
        QFETCH(QString, lands);
        QFETCH(QStringList, second);
        fill();
        const auto [window, start] = open(what);
        QVERIFY(window && start);

        QWidget *first = tabTo(start, control);
        QCOMPARE(where(first), control);
        QVERIFY(KeyboardFocus::hasRing(first));

        QTest::keyClick(first, Qt::Key_Space);
        if (what == "rewards") {
            // The confirmation opens on Cancel; Tab to Delete and confirm.
            settleEvents();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        }
        settleEvents();
        QTest::qWait(0);
        settleEvents();

        QWidget *now = QApplication::focusWidget();
        QCOMPARE(where(now), lands);
        QVERIFY(now->isVisible() && !now->visibleRegion().isEmpty());
        QVERIFY2(focustest::drawsRing(now), qPrintable(focustest::describe(now)));

        // The next Space answers what the ring shows, nothing else.
        const QMap<QString, QString> before = state();
        QTest::keyClick(now, Qt::Key_Space);
        if (what == "rewards") {
            settleEvents();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        }
        settleEvents();
        QCOMPARE(changed(before, state()), second);
    }

    // A ring in a dimmed row (skipped, say) is the design system's, as clear as anywhere else.
    void ringsInDimmedRowsAreClear_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("control");
        QTest::newRow("today, Undo skip") << "today"
                                          << "Undo skip for Tea @ Tea";
        QTest::newRow("popover, Undo") << "popover"
                                       << "Undo @ Tea";
        QTest::newRow("popover, check-off box of a skipped row") << "popover"
                                                                 << "Mark as complete @ Tea";
    }

    void ringsInDimmedRowsAreClear()
    {
        QFETCH(QString, what);
        QFETCH(QString, control);
        fill();
        const auto [window, start] = open(what);
        QVERIFY(window && start);
        QWidget *focus = tabTo(start, control);
        QCOMPARE(where(focus), control);
        QVERIFY(KeyboardFocus::hasRing(focus));

        // What the ring changes around the control, drawn in full: some of it in the ring's own colour.
        const QRect area = QRect(focus->mapTo(window, QPoint(0, 0)), focus->size()).adjusted(-4, -4, 4, 4);
        const QImage with = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        focus->clearFocus();
        settleEvents();
        const QImage without = window->grab(area).toImage().convertToFormat(QImage::Format_RGB32);
        const QColor ring = ThemeColors::neutral700();
        int full = 0;
        for (int y = 0; y < with.height(); ++y) {
            for (int x = 0; x < with.width(); ++x) {
                const QColor c = with.pixelColor(x, y);
                if (c != without.pixelColor(x, y) && std::abs(c.red() - ring.red()) <= 6 &&
                    std::abs(c.green() - ring.green()) <= 6 && std::abs(c.blue() - ring.blue()) <= 6)
                    ++full;
            }
        }
        QVERIFY2(full >= focus->width(), qPrintable(QString::number(full)));
    }

    // The ring that came back with the focus after Escape on a sheet goes with the first click, as any
    // ring does: the mouse is in use now.
    void aClickHidesTheRing_data()
    {
        QTest::addColumn<QString>("click");
        QTest::newRow("on the page") << "page";
        QTest::newRow("on another tab") << "tab";
        QTest::newRow("on New habit, then on the sheet's close button") << "sheet";
    }

    void aClickHidesTheRing()
    {
        QFETCH(QString, click);
        const auto [window, newHabit] = open("today");
        QVERIFY(window && newHabit);
        QTest::keyClick(newHabit, Qt::Key_Shift);
        newHabit->setFocus(Qt::TabFocusReason);
        QTest::keyClick(newHabit, Qt::Key_Space);
        settleEvents();
        QVERIFY(m_view->newHabitSheet() && activate(m_view->newHabitSheet()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        settleEvents();
        QVERIFY(!m_view->newHabitSheet() && activate(window));
        QCOMPARE(QApplication::focusWidget(), newHabit);
        QVERIFY(focustest::drawsRing(newHabit));

        if (click == "page") {
            QWidget *page = m_view->currentScreen();
            QTest::mouseClick(page, Qt::LeftButton, {}, QPoint(page->width() / 2, page->height() - 8));
        } else if (click == "tab") {
            QTest::mouseClick(sidebarButton(QStringLiteral("Habits")), Qt::LeftButton);
        } else {
            QTest::mouseClick(newHabit, Qt::LeftButton);
            settleEvents();
            SheetDialog *sheet = m_view->newHabitSheet();
            QVERIFY(sheet && activate(sheet));
            QTest::mouseClick(qobject_cast<ReminderFormView *>(sheet->content())->closeButton(), Qt::LeftButton);
            settleEvents();
            QVERIFY(!m_view->newHabitSheet() && activate(window));
        }
        settleEvents();
        QWidget *now = QApplication::focusWidget();
        QVERIFY(now);
        QVERIFY2(!focustest::drawsRing(now), qPrintable(focustest::describe(now)));
    }

    // The banner in the window answers the keyboard: its buttons come first in Tab order, with rings;
    // Escape closes it without an answer; either way the focus goes on to the window's next control.
    void bannerTakesTheKeyboard_data()
    {
        QTest::addColumn<QString>("key"); // pressed on the banner's button, reached by Tab
        QTest::addColumn<QStringList>("answers");
        QTest::newRow("Tab") << "" << QStringList{};
        QTest::newRow("Escape") << "Escape" << QStringList{};
        QTest::newRow("Space on Done") << "Space" << QStringList{"Done"};
    }

    void bannerTakesTheKeyboard()
    {
        QFETCH(QString, key);
        QFETCH(QStringList, answers);
        fill();
        const auto [window, start] = open("today");
        QVERIFY(window && start);
        QStringList answered;
        QList<BannerAction> actions;
        for (const auto &[title, role] : {std::pair{"Skip", BannerAction::Role::destructive},
                                          {"In 15 min", BannerAction::Role::secondary},
                                          {"Done", BannerAction::Role::primary}}) {
            BannerAction action;
            action.title = QString::fromLatin1(title);
            action.role = role;
            action.handler = [&answered, name = action.title] { answered << name; };
            actions << action;
        }
        BannerManager::shared().present("Walk", "Time for a walk", BannerStyle::reminder, actions);
        settleEvents();
        QVERIFY(m_view->bannerView());

        // From nothing focused, Tab goes to the banner first, then on to the sidebar.
        QTest::keyClick(window, Qt::Key_Shift);
        if (QApplication::focusWidget())
            QApplication::focusWidget()->clearFocus();
        QTest::keyClick(window, Qt::Key_Tab);
        QWidget *first = QApplication::focusWidget();
        QVERIFY(first);
        const QList<focustest::Stop> stops = focustest::walkTabChain(first);
        QStringList names = focustest::names(stops).mid(0, 4);
        QCOMPARE(names.size(), 4);
        for (QString &name : names)
            name = name.section('"', 1, 1);
        QCOMPARE(names, (QStringList{"Skip", "In 15 min", "Done", "New habit"}));
        QVERIFY2(focustest::badStop(stops.mid(0, 3)).isEmpty(), qPrintable(focustest::badStop(stops.mid(0, 3))));
        if (key.isEmpty())
            return;

        QWidget *button = tabTo(first, key == "Escape" ? QStringLiteral("In 15 min @ ") : QStringLiteral("Done @ "));
        QVERIFY(m_view->bannerView() && m_view->bannerView()->isAncestorOf(button));
        QTest::keyClick(button, key == "Escape" ? Qt::Key_Escape : Qt::Key_Space);
        settleEvents();
        QVERIFY(!BannerManager::shared().current());
        QVERIFY(!m_view->bannerView());
        QCOMPARE(answered, answers);
        QWidget *now = QApplication::focusWidget();
        QCOMPARE(now, sidebarNewHabit());
        QVERIFY2(focustest::drawsRing(now), qPrintable(focustest::describe(now)));
    }
};

QTEST_MAIN(TestKeyboardFocus)
#include "tst_keyboardfocus.moc"
