#include "Shell/ShellTestSupport.h"

#include "Analytics/ApplicationEvents.h"
#include "Banners/BannerManager.h"
#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationOverlay.h"
#include "Banners/InAppBannerSlot.h"
#include "Banners/InAppBannerView.h"
#include "Banners/VirtualTimerSource.h"
#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "MenuBar/MenuBarMirrorStore.h"
#include "Model/AppSettings.h"
#include "Rewards/MilestoneListView.h"
#include "Shell/AppDelegate.h"
#include "Shell/ContentView.h"
#include "Shell/OnboardingView.h"
#include "Shell/OvlinApp.h"
#include "Shell/SettingsView.h"
#include "Shell/SheetDialog.h"
#include "Support/FakeNotificationCenter.h"
#include "Today/HabitListView.h"
#include "Today/ReminderListView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using namespace shelltest;
using enginetest::at;

namespace {

// Wednesday 10 June 2026, 14:00.
const QDate kToday(2026, 6, 10);

std::shared_ptr<Milestone> makeMilestone(StoreContext *context, const QString &name, const QString &statusRaw)
{
    auto milestone = Milestone::create(QUuid::createUuid(), name, QStringLiteral("A treat"), 3, 0.8, std::nullopt,
                                       at(kToday.addDays(-5), 0, 0), MilestoneStatus::active);
    milestone->setStatusRaw(statusRaw);
    context->insert(milestone);
    return milestone;
}

// Lets the store's queued notifications and the queries' signals arrive.
void settle()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

// Whether `sheet` sits in the middle of `window` (to the pixel: odd sizes round).
bool centredOn(const QWidget *sheet, const QWidget *window)
{
    const QPoint offset = sheet->frameGeometry().center() - window->frameGeometry().center();
    if (offset.manhattanLength() <= 2)
        return true;
    qWarning() << "sheet" << sheet->frameGeometry() << "window" << window->frameGeometry();
    return false;
}

} // namespace

class TestContentView : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::shared_ptr<Journal> m_journal;
    std::unique_ptr<StoreContainer> m_store;
    std::shared_ptr<ShellServices> m_services;
    QList<std::pair<OvlinTab, ScreenEnvironment>> m_screensBuilt;
    QList<std::shared_ptr<Reminder>> m_formsBuilt;
    std::function<void()> m_lastDismiss;

    std::unique_ptr<ContentView> makeView(bool show = true)
    {
        auto view = std::make_unique<ContentView>(m_store->mainContext(), m_services);
        view->resize(860, 620);
        if (show) {
            view->show();
            // Sheets wait for the window to be on screen.
            if (!QTest::qWaitForWindowExposed(view.get()))
                qWarning("window not exposed");
        }
        return view;
    }

    std::shared_ptr<ShellServices> servicesWith(FakeNotificationCenter *center)
    {
        auto services = fakeServices(m_journal, center);
        services->makeScreen = m_services->makeScreen;
        return services;
    }

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        Clock::setNow(at(kToday, 14, 0));
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), true}});
        m_journal = std::make_shared<Journal>();
        m_store = enginetest::openStore();
        m_services = fakeServices(m_journal);
        m_screensBuilt.clear();
        m_formsBuilt.clear();
        m_services->makeScreen = [this](OvlinTab tab, const ScreenEnvironment &env) -> QWidget * {
            m_screensBuilt.append({tab, env});
            auto *label = new QLabel(tabTitle(tab));
            label->setObjectName(tabTitle(tab));
            return label;
        };
        m_services->makeReminderForm = [this](const ScreenEnvironment &, const std::shared_ptr<Reminder> &existing,
                                              std::function<void()> dismiss) -> QWidget * {
            m_formsBuilt.append(existing);
            m_lastDismiss = std::move(dismiss);
            auto *form = new QLabel(QStringLiteral("Editor"));
            form->setFixedSize(480, 300);
            return form;
        };
        BannerManager::shared().dismiss();
    }

    void cleanup()
    {
        BannerManager::shared().dismiss();
        Clock::useSystemTime();
    }

    void opensOnHome()
    {
        auto view = makeView();
        QCOMPARE(view->selectedTab(), OvlinTab::reminders);
        QCOMPARE(view->currentScreen()->objectName(), QStringLiteral("Home"));
        QCOMPARE(m_screensBuilt.size(), 1);
        // Every screen gets the store and the window's celebration manager.
        QCOMPARE(m_screensBuilt.first().second.modelContext, m_store->mainContext());
        QCOMPARE(m_screensBuilt.first().second.celebrationManager, view->celebrationManager());
        QVERIFY(view->tabRow(OvlinTab::reminders)->isChecked());
        QVERIFY(!view->showOnboarding());
        QVERIFY(!view->onboardingSheet());
    }

    void sidebarLayout()
    {
        auto view = makeView();
        QCOMPARE(view->sidebar()->width(), 200);
        QCOMPARE(view->sidebar()->geometry().topLeft(), QPoint(8, 8));
        QCOMPARE(view->tabContent()->geometry(), QRect(216, 8, 860 - 216 - 8, 620 - 16));
        QStringList titles;
        for (OvlinTab tab : allOvlinTabs)
            titles << view->tabRow(tab)->accessibleName();
        QCOMPARE(titles, (QStringList{"Home", "Habits", "Rewards", "Settings"}));
        // Settings sits at the bottom, 32 above the sidebar's edge.
        QAbstractButton *settings = view->tabRow(OvlinTab::settings);
        QCOMPARE(settings->mapTo(view->sidebar(), QPoint(0, settings->height())).y(), view->sidebar()->height() - 32);
        QVERIFY(view->tabRow(OvlinTab::milestones)->mapTo(view->sidebar(), QPoint()).y() <
                settings->mapTo(view->sidebar(), QPoint()).y());

        QCOMPARE(view->celebrationOverlay()->geometry(), view->rect());
        QCOMPARE(view->celebrationOverlay()->manager(), view->celebrationManager());

        view->resize(700, 520);
        QCOMPARE(view->sidebar()->width(), 200);
        QCOMPARE(view->celebrationOverlay()->geometry(), view->rect());
    }

    void tabSwitching_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("screen");
        QTest::newRow("habits") << int(OvlinTab::habits) << "Habits";
        QTest::newRow("rewards") << int(OvlinTab::milestones) << "Rewards";
        QTest::newRow("settings") << int(OvlinTab::settings) << "Settings";
    }

    void tabSwitching()
    {
        QFETCH(int, tab);
        QFETCH(QString, screen);
        auto view = makeView();
        QPointer<QWidget> home = view->currentScreen();
        view->tabRow(OvlinTab(tab))->click();
        QCOMPARE(view->selectedTab(), OvlinTab(tab));
        QCOMPARE(view->currentScreen()->objectName(), screen);
        QVERIFY(view->tabRow(OvlinTab(tab))->isChecked());
        QVERIFY(!view->tabRow(OvlinTab::reminders)->isChecked());
        // The screen that was left is gone with its state.
        QTRY_VERIFY(!home);

        // Choosing the selected row again changes nothing.
        QWidget *current = view->currentScreen();
        view->tabRow(OvlinTab(tab))->click();
        QCOMPARE(view->currentScreen(), current);
        QCOMPARE(m_screensBuilt.size(), 2);

        // Coming back builds Home afresh.
        view->tabRow(OvlinTab::reminders)->click();
        QCOMPARE(view->currentScreen()->objectName(), QStringLiteral("Home"));
        QCOMPARE(m_screensBuilt.size(), 3);
    }

    void theRealScreens()
    {
        m_services->makeScreen = ShellServices::live()->makeScreen;
        auto view = makeView();
        auto *home = qobject_cast<ReminderListView *>(view->currentScreen());
        QVERIFY(home);
        QCOMPARE(home->modelContext(), m_store->mainContext());
        QCOMPARE(home->celebrationManager(), view->celebrationManager());
        Q_EMIT home->newReminderRequested();
        QTRY_VERIFY(view->newHabitSheet());
        m_lastDismiss();
        QTRY_VERIFY(!view->newHabitSheet());

        view->selectTab(OvlinTab::habits);
        auto *habits = qobject_cast<HabitListView *>(view->currentScreen());
        QVERIFY(habits);
        auto reminder = enginetest::makeReminder(m_store->mainContext());
        Q_EMIT habits->editRequested(reminder);
        QTRY_VERIFY(view->editorSheet());
        QCOMPARE(m_formsBuilt.last(), reminder);
        m_lastDismiss();
        QTRY_VERIFY(!view->editorSheet());
        Q_EMIT habits->newHabitRequested();
        QTRY_VERIFY(view->newHabitSheet());
        m_lastDismiss();
        QTRY_VERIFY(!view->newHabitSheet());

        view->selectTab(OvlinTab::milestones);
        auto *rewards = qobject_cast<MilestoneListView *>(view->currentScreen());
        QVERIFY(rewards);
        QCOMPARE(rewards->modelContext(), m_store->mainContext());
        view->selectTab(OvlinTab::settings);
        QVERIFY(qobject_cast<SettingsView *>(view->currentScreen()));
    }

    void aMissingScreenShowsAPlaceholder()
    {
        m_services->makeScreen = [](OvlinTab, const ScreenEnvironment &) -> QWidget * { return nullptr; };
        auto view = makeView();
        QVERIFY(view->currentScreen());
        view->selectTab(OvlinTab::habits);
        QVERIFY(view->currentScreen());
    }

    void newHabitOpensTheEditorFromAnyTab()
    {
        auto view = makeView();
        view->selectTab(OvlinTab::milestones);
        view->newHabitButton()->click();
        QVERIFY(view->showNewHabitSheet());
        QVERIFY(view->newHabitSheet());
        QVERIFY(view->newHabitSheet()->isVisible());
        QCOMPARE(view->newHabitSheet()->windowModality(), Qt::WindowModal);
        QCOMPARE(m_formsBuilt.size(), 1);
        QCOMPARE(m_formsBuilt.first(), nullptr);
        // A second press while it is open builds no second editor.
        view->setShowNewHabitSheet(true);
        QCOMPARE(m_formsBuilt.size(), 1);

        QPointer<SheetDialog> sheet = view->newHabitSheet();
        m_lastDismiss();
        QVERIFY(!view->showNewHabitSheet());
        QTRY_VERIFY(!sheet);
        QCOMPARE(view->selectedTab(), OvlinTab::milestones);
    }

    void theRealEditor()
    {
        m_services->makeReminderForm = ShellServices::live()->makeReminderForm;
        auto view = makeView();
        view->newHabitButton()->click();
        QPointer<SheetDialog> sheet = view->newHabitSheet();
        QVERIFY(sheet);
        auto *form = qobject_cast<ReminderFormView *>(sheet->content());
        QVERIFY(form);
        QCOMPARE(form->modelContext(), m_store->mainContext());
        QCOMPARE(form->titleText(), QStringLiteral("New reminder"));
        QVERIFY(sheet->width() >= form->minimumWidth());
        form->cancel();
        QVERIFY(!view->showNewHabitSheet());
        QTRY_VERIFY(!sheet);
        QVERIFY(m_store->mainContext()->fetch<Reminder>().isEmpty());
    }

    // Escape leaves the reminder editor as its close button does, storing and sending nothing; onboarding
    // refuses it, since it must be finished once.
    void escapeInASheet_data()
    {
        QTest::addColumn<QString>("sheet");
        QTest::addColumn<bool>("closes");
        QTest::newRow("new habit") << "new" << true;
        QTest::newRow("edit habit") << "edit" << true;
        QTest::newRow("onboarding") << "onboarding" << false;
    }

    void escapeInASheet()
    {
        QFETCH(QString, sheet);
        QFETCH(bool, closes);
        m_services->makeReminderForm = ShellServices::live()->makeReminderForm;
        if (sheet == "onboarding")
            enginetest::resetSettings();
        StoreContext *context = m_store->mainContext();
        auto walk = enginetest::makeReminder(context, enginetest::ReminderSpec{});
        context->save();
        auto view = makeView();
        if (sheet == "new")
            view->newHabitButton()->click();
        else if (sheet == "edit")
            view->presentReminderEditor(walk);
        QPointer<SheetDialog> shown = sheet == "onboarding"
                                          ? view->onboardingSheet()
                                          : (sheet == "new" ? view->newHabitSheet() : view->editorSheet());
        QVERIFY(shown);
        QTRY_VERIFY(shown->isVisible());
        QApplication::setActiveWindow(shown);
        QVERIFY(QTest::qWaitForWindowActive(shown));
        if (auto *form = qobject_cast<ReminderFormView *>(shown->content()))
            form->viewModel()->setTitle(QStringLiteral("Changed"));
        QWidget *focus = QApplication::focusWidget();
        QTest::keyClick(focus ? focus : shown.data(), Qt::Key_Escape);
        if (closes) {
            QTRY_VERIFY(!shown);
            QVERIFY(!view->showNewHabitSheet());
            QVERIFY(!view->editorSheet());
            const auto stored = context->fetch<Reminder>();
            QCOMPARE(stored.size(), 1);
            QCOMPARE(stored.first()->title(), walk->title());
            QVERIFY(!context->hasChanges());
        } else {
            QCoreApplication::processEvents();
            QVERIFY(shown && shown->isVisible());
            QVERIFY(view->showOnboarding());
        }
        QCOMPARE(m_journal->signalsSent, QStringList());
    }

    // While a celebration is on screen the window behind it takes no key: Tab and Space there do not open
    // the editor. The card ends by its button, Escape or its timer, and the focus goes back.
    void celebrationHoldsTheKeyboard_data()
    {
        QTest::addColumn<int>("streak");
        QTest::addColumn<QString>("action");
        for (const char *action : {"Tab, Space", "Escape", "Return", "timer"}) {
            QTest::addRow("streak, %s", action) << 7 << action;
            QTest::addRow("all done, %s", action) << 0 << action;
        }
    }

    void celebrationHoldsTheKeyboard()
    {
        QFETCH(int, streak);
        QFETCH(QString, action);
        auto view = makeView();
        QApplication::setActiveWindow(view.get());
        QVERIFY(QTest::qWaitForWindowActive(view.get()));
        auto timers = std::make_shared<VirtualTimerSource>();
        CelebrationManager *manager = view->celebrationManager();
        manager->setTimerSource(timers);
        QAbstractButton *newHabit = view->newHabitButton();
        newHabit->setFocus(Qt::TabFocusReason);

        auto walk = enginetest::makeReminder(m_store->mainContext(), enginetest::ReminderSpec{});
        if (streak)
            manager->checkForCelebrations({}, {}, {}, streak);
        else
            manager->checkForCelebrations({walk}, {walk}, {}, 0);
        QVERIFY(manager->activeEvent());
        QWidget *onCard = QApplication::focusWidget();
        QVERIFY(onCard && view->celebrationOverlay()->isAncestorOf(onCard));

        // Every control of the window behind is tried: none takes the focus or a Space.
        QList<QPointer<QWidget>> behind;
        for (QWidget *w : view->findChildren<QWidget *>()) {
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !view->celebrationOverlay()->isAncestorOf(w))
                behind.append(w);
        }
        QVERIFY(behind.contains(newHabit));
        for (const QPointer<QWidget> &target : std::as_const(behind)) {
            if (!target)
                continue;
            target->setFocus(Qt::TabFocusReason);
            QCOMPARE(QApplication::focusWidget(), onCard);
            QTest::keyClick(target, Qt::Key_Space);
            settle();
        }
        QVERIFY(manager->activeEvent());
        QCOMPARE(view->selectedTab(), OvlinTab::reminders);

        if (action == "timer") {
            timers->advance(CelebrationManager::displayMs);
        } else if (action == "Tab, Space") {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), onCard);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
        } else {
            QTest::keyClick(QApplication::focusWidget(), action == "Escape" ? Qt::Key_Escape : Qt::Key_Return);
        }
        settle();
        QVERIFY(!manager->activeEvent());
        QVERIFY(!view->showNewHabitSheet());
        QVERIFY(!view->newHabitSheet());
        QCOMPARE(m_formsBuilt.size(), 0);
        QCOMPARE(view->selectedTab(), OvlinTab::reminders);
        QCOMPARE(QApplication::focusWidget(), newHabit);
    }

    void screensAskForTheEditor()
    {
        auto view = makeView();
        auto reminder = enginetest::makeReminder(m_store->mainContext());
        const ScreenEnvironment env = m_screensBuilt.last().second;
        env.requestEdit(reminder);
        // Not inside the screen's handler.
        QVERIFY(m_formsBuilt.isEmpty());
        QTRY_COMPARE(m_formsBuilt, QList<std::shared_ptr<Reminder>>{reminder});
        m_lastDismiss();
        QTRY_VERIFY(!view->editorSheet());
        env.requestNewHabit();
        QTRY_VERIFY(view->showNewHabitSheet());
        QCOMPARE(m_formsBuilt.last(), nullptr);
    }

    void onboardingSheet()
    {
        enginetest::resetSettings();
        auto view = makeView(false);
        QVERIFY(view->showOnboarding());
        // Nothing is presented before the window is on screen.
        QVERIFY(!view->onboardingSheet());
        view->show();
        QPointer<SheetDialog> sheet = view->onboardingSheet();
        QVERIFY(sheet);
        // Over the window once it is on screen.
        QTRY_VERIFY(sheet->isVisible());
        QCOMPARE(sheet->width(), 480);
        QVERIFY(!sheet->isDismissible());
        QCOMPARE(view->selectedTab(), OvlinTab::reminders);

        auto *onboarding = qobject_cast<OnboardingView *>(sheet->content());
        QVERIFY(onboarding);
        onboarding->skipButton()->click();
        QVERIFY(!view->showOnboarding());
        QTRY_VERIFY(!sheet);
        QCOMPARE(m_journal->signalsSent, QStringList{"onboarding.completed"});

        // Setting the flag back brings it up again, from the first page; setting it closes it.
        AppSettings::shared().setHasCompletedOnboarding(false);
        QVERIFY(view->onboardingSheet());
        QCOMPARE(qobject_cast<OnboardingView *>(view->onboardingSheet()->content())->currentPage(), 0);
        sheet = view->onboardingSheet();
        AppSettings::shared().setHasCompletedOnboarding(true);
        QTRY_VERIFY(!sheet);
    }

    void onboardingWaitsForThePlacedWindow()
    {
        enginetest::resetSettings();
        auto view = makeView(false);
        view->show();
        // Where the window manager puts the window once it is mapped (the test screen is 800 by 600).
        view->move(60, 20);
        QPointer<SheetDialog> sheet = view->onboardingSheet();
        QVERIFY(sheet);
        QTRY_VERIFY(sheet->isVisible());
        QVERIFY(QTest::qWaitForWindowExposed(sheet.data()));
        QVERIFY(centredOn(sheet, view.get()));
    }

    void aSheetFollowsItsWindowUntilItIsDrawn()
    {
        QWidget window;
        window.resize(600, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        auto *content = new QLabel(QStringLiteral("Sheet"));
        content->setFixedSize(480, 300);
        QPointer<SheetDialog> sheet = new SheetDialog(content, &window);
        sheet->present();
        window.move(150, 100);
        QVERIFY(QTest::qWaitForWindowExposed(sheet.data()));
        QVERIFY(centredOn(sheet, &window));
        sheet->closeSheet();
        QTRY_VERIFY(!sheet);
    }

    void bannerOverlay()
    {
        auto view = makeView();
        QVERIFY(!view->bannerView());
        BannerManager::shared().present(QStringLiteral("Water"), QStringLiteral("Drink something."),
                                        BannerStyle::reminder, {});
        InAppBannerView *first = view->bannerView();
        QVERIFY(first);
        QCOMPARE(first->banner().title, QStringLiteral("Water"));
        // 8 from the top, the card alone, centred between margins of 32.
        const QRect placed(first->mapTo(view.get(), QPoint()), first->size());
        QCOMPARE(placed, QRect(32 + (860 - 64 - 560) / 2, 8, 560, InAppBannerView::cardHeight(first->banner(), 560)));
        QCOMPARE(first->cardRect(), first->rect());
        // Above the screens, below the celebration overlay.
        const QList<QObject *> order = view->children();
        QVERIFY(order.indexOf(first->parent()) < order.indexOf(view->celebrationOverlay()));

        BannerManager::shared().present(QStringLiteral("Stretch"), QString(), BannerStyle::reminder, {});
        QCOMPARE(view->bannerView()->banner().title, QStringLiteral("Stretch"));

        // Its OK button dismisses it everywhere.
        // A window opened meanwhile shows the current banner too.
        auto second = makeView();
        QVERIFY(second->bannerView());

        view->bannerView()->buttons().first()->click();
        QVERIFY(!BannerManager::shared().current());
        QVERIFY(!view->bannerView());
        QVERIFY(!second->bannerView());
    }

    void bannerMotion()
    {
        auto view = makeView();
        Motion::setAnimationsEnabled(true);
        BannerManager::shared().present(QStringLiteral("Water"), QStringLiteral("Drink something."),
                                        BannerStyle::reminder, {});
        QPointer<InAppBannerSlot> slot = qobject_cast<InAppBannerSlot *>(view->bannerView()->parentWidget());
        QVERIFY(slot);
        const QRect rest = InAppBannerSlot::restingRect(view->bannerView()->banner(), view->width());
        // In from above the top edge, faded out and at 0.98 of its size.
        QCOMPARE(slot->scale(), 0.98);
        QCOMPARE(slot->opacity(), 0.0);
        QVERIFY(slot->geometry().bottom() < 0);
        QTRY_COMPARE(slot->scale(), 1.0);
        QTRY_COMPARE(slot->geometry(), rest);
        QCOMPARE(slot->opacity(), 1.0);

        // Out to the top edge with a fade and without the scale.
        BannerManager::shared().dismiss();
        QVERIFY(slot && slot->isLeaving());
        QCOMPARE(slot->scale(), 1.0);
        QTRY_VERIFY(!slot);
        Motion::setAnimationsEnabled(false);
    }

    void clicksBesideTheBannerReachTheWindow_data()
    {
        QTest::addColumn<int>("tab");
        QTest::newRow("sidebar") << int(OvlinTab::reminders);
        QTest::newRow("habits screen") << int(OvlinTab::habits);
    }

    void clicksBesideTheBannerReachTheWindow()
    {
        QFETCH(int, tab);
        m_services->makeScreen = ShellServices::live()->makeScreen;
        auto view = makeView();
        QVERIFY(QTest::qWaitForWindowExposed(view.get()));
        view->selectTab(OvlinTab(tab));
        QWidget *button = view->newHabitButton();
        if (auto *habits = qobject_cast<HabitListView *>(view->currentScreen()))
            button = habits->newHabitButton();
        BannerManager::shared().present(QStringLiteral("Water"), QStringLiteral("Drink something."),
                                        BannerStyle::reminder, {});
        QVERIFY(view->bannerView());

        const QPoint centre = button->mapTo(view.get(), button->rect().center());
        QCOMPARE(view->childAt(centre), button);
        QCOMPARE(QApplication::widgetAt(view->mapToGlobal(centre)), button);
        QTest::mouseClick(view->windowHandle(), Qt::LeftButton, {}, centre);
        QTRY_VERIFY(view->newHabitSheet());

        // The card keeps its own clicks.
        QAbstractButton *ok = view->bannerView()->buttons().first();
        QCOMPARE(view->childAt(ok->mapTo(view.get(), ok->rect().center())), ok);
    }

    void appearTask()
    {
        StoreContext *context = m_store->mainContext();
        makeMilestone(context, QStringLiteral("Open"), QStringLiteral("active"));
        makeMilestone(context, QStringLiteral("Earned"), QStringLiteral("achieved"));
        makeMilestone(context, QStringLiteral("Lost"), QStringLiteral("failed"));
        makeMilestone(context, QStringLiteral("Misspelt"), QStringLiteral("actve"));
        QVERIFY(context->save());
        settle();

        auto view = makeView();
        QCOMPARE(m_journal->evaluations, QList<bool>{true});
        QCOMPARE(m_journal->evaluatedRewards.first(), (QStringList{"Open", "Misspelt"}));
        QCOMPARE(m_journal->mirrorUpdates, 1);
        // Shown again (restored from the taskbar) is no new appearance.
        view->hide();
        view->show();
        QCOMPARE(m_journal->evaluations.size(), 1);
    }

    void theRealMenuBarMirror()
    {
        m_services->updateMenuBarMirror = ShellServices::live()->updateMenuBarMirror;
        auto reminder = enginetest::makeReminder(m_store->mainContext());
        QVERIFY(m_store->mainContext()->save());
        const qint64 before = MenuBarMirrorStore::shared().version();
        auto view = makeView();
        QCOMPARE(MenuBarMirrorStore::shared().version(), before + 1);
        QCOMPARE(MenuBarMirrorStore::shared().reminders(), QList<std::shared_ptr<Reminder>>{reminder});
    }

    void storeObservers_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("iconRedrawn");
        QTest::newRow("new reminder") << "reminder" << true;
        QTest::newRow("new log") << "log" << true;
        QTest::newRow("new reward") << "reward" << false;
        QTest::newRow("deleted reward") << "delete reward" << false;
    }

    void storeObservers()
    {
        QFETCH(QString, change);
        QFETCH(bool, iconRedrawn);
        AppDelegate delegate(enginetest::openStore(), m_services);
        delegate.applicationDidFinishLaunching();
        StoreContext *context = m_store->mainContext();
        auto reminder = enginetest::makeReminder(context);
        auto reward = makeMilestone(context, QStringLiteral("Open"), QStringLiteral("active"));
        QVERIFY(context->save());
        settle();
        auto view = makeView();
        settle();
        m_journal->evaluations.clear();
        m_journal->mirrorUpdates = 0;
        m_journal->icons.clear();

        if (change == QLatin1String("reminder"))
            enginetest::makeReminder(context);
        else if (change == QLatin1String("log"))
            enginetest::addLog(reminder, at(kToday, 9, 0), LogStatus::completed);
        else if (change == QLatin1String("reward"))
            makeMilestone(context, QStringLiteral("Another"), QStringLiteral("active"));
        else
            context->remove(reward);
        QVERIFY(context->save());
        settle();

        QCOMPARE(m_journal->evaluations, QList<bool>{false});
        QCOMPARE(m_journal->mirrorUpdates, 1);
        QCOMPARE(m_journal->icons.size(), iconRedrawn ? 1 : 0);
    }

    void menuBarIcon_data()
    {
        QTest::addColumn<QStringList>(
            "reminders"); // "<status> <hour>": status pending, completed, skipped, paused, elsewhen
        QTest::addColumn<bool>("hasOverdue");
        QTest::addColumn<int>("overdueCount");
        QTest::addColumn<double>("progress");
        QTest::newRow("nothing today") << QStringList{} << false << 0 << 0.0;
        QTest::newRow("one each") << QStringList{"completed 9", "skipped 10", "pending 11"} << true << 1 << 1.0 / 3;
        QTest::newRow("pending later today") << QStringList{"pending 18"} << false << 0 << 0.0;
        QTest::newRow("all done") << QStringList{"completed 9", "completed 10"} << false << 0 << 1.0;
        QTest::newRow("paused and other days do not count")
            << QStringList{"paused 9", "elsewhen 9", "completed 10"} << false << 0 << 1.0;
    }

    void menuBarIcon()
    {
        QFETCH(QStringList, reminders);
        QFETCH(bool, hasOverdue);
        QFETCH(int, overdueCount);
        QFETCH(double, progress);
        AppDelegate delegate(enginetest::openStore(), m_services);
        auto view = makeView();
        // Before the menu-bar item exists nothing is drawn.
        view->refreshMenuBarIcon();
        QVERIFY(m_journal->icons.isEmpty());
        delegate.applicationDidFinishLaunching();

        StoreContext *context = m_store->mainContext();
        for (const QString &spec : reminders) {
            const QString status = spec.section(QLatin1Char(' '), 0, 0);
            const int hour = spec.section(QLatin1Char(' '), 1, 1).toInt();
            enginetest::ReminderSpec rs;
            rs.fixedTime = QTime(hour, 0);
            rs.isActive = status != QLatin1String("paused");
            if (status == QLatin1String("elsewhen"))
                rs.activeDaysRaw = {1}; // Mondays only; today is a Wednesday
            auto reminder = enginetest::makeReminder(context, rs);
            if (status == QLatin1String("completed"))
                enginetest::addLog(reminder, at(kToday, hour, 0), LogStatus::completed);
            else if (status == QLatin1String("skipped"))
                enginetest::addLog(reminder, at(kToday, hour, 0), LogStatus::skipped);
        }
        m_journal->icons.clear();
        view->refreshMenuBarIcon();
        QCOMPARE(m_journal->icons.size(), 1);
        QCOMPARE(m_journal->icons.first().hasOverdue, hasOverdue);
        QCOMPARE(m_journal->icons.first().overdueCount, overdueCount);
        QVERIFY(qAbs(m_journal->icons.first().progress - progress) < 1e-9);
    }

    void launchTask_data()
    {
        QTest::addColumn<bool>("granted");
        QTest::newRow("permission granted") << true;
        QTest::newRow("permission refused") << false;
    }

    void launchTask()
    {
        QFETCH(bool, granted);
        FakeNotificationCenter center;
        center.setAuthorizationGranted(granted);
        auto delegate = std::make_unique<AppDelegate>(enginetest::openStore(), servicesWith(&center));
        StoreContext *context = delegate->sharedContainer()->mainContext();
        enginetest::makeReminder(context);
        enginetest::ReminderSpec paused;
        paused.isActive = false;
        enginetest::makeReminder(context, paused);
        OvlinApp app(std::move(delegate));
        app.start();
        QVERIFY(app.mainWindow());
        QCOMPARE(app.mainWindow()->minimumSize(), QSize(700, 520));
        // The answer comes later; a reminder saved meanwhile is included.
        QVERIFY(m_journal->rescheduledCounts.isEmpty());
        enginetest::makeReminder(context);
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->rescheduledCounts, QList<int>{3}, 2000);
        QCOMPARE(center.authorizationStatus(), granted ? AuthorizationStatus::Authorized : AuthorizationStatus::Denied);
    }

    void startDrawsTheWindowBeforeTheRest()
    {
        FakeNotificationCenter center;
        OvlinApp app(std::make_unique<AppDelegate>(enginetest::openStore(), servicesWith(&center)));
        app.start();
        QVERIFY(app.mainWindow() && app.mainWindow()->isVisible());
        // Only what the first frame needs has run.
        QCOMPARE(m_journal->calls, QStringList{QStringLiteral("appearance")});
        QVERIFY(m_journal->evaluations.isEmpty());
        QTRY_COMPARE(m_journal->evaluations, QList<bool>{true});
        const QStringList launch = launchCalls();
        QCOMPARE(m_journal->calls.mid(0, launch.size()), launch);
        // The menu-bar item exists by the time the window's appear task draws its icon.
        QCOMPARE(m_journal->icons.size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->rescheduledCounts.size(), 1, 2000);
    }

    void aWindowClosedAtOnceStillLaunches()
    {
        OvlinApp app(std::make_unique<AppDelegate>(enginetest::openStore(), m_services));
        app.start();
        app.mainWindow()->close();
        QTRY_VERIFY(m_journal->calls.contains(QStringLiteral("presentation.start")));
        QVERIFY(app.appDelegate()->hasFinishedLaunching());
    }

    // The analytics client hears of activity as the focus comes to Ovlin's window and leaves it, also by
    // closing it, which leaves Qt's application state active. Before any window has the focus, it hears
    // that Ovlin is not active, so a session begun then counts nothing.
    void applicationActivityReachesAnalytics()
    {
        analytics::ApplicationEvents::resetForTesting();
        QSignalSpy resigned(analytics::ApplicationEvents::instance(), &analytics::ApplicationEvents::didResignActive);
        QSignalSpy active(analytics::ApplicationEvents::instance(), &analytics::ApplicationEvents::willBecomeActive);
        OvlinApp app(std::make_unique<AppDelegate>(enginetest::openStore(), m_services));
        QCOMPARE(resigned.size(), 1);
        QVERIFY(!analytics::ApplicationEvents::isActive());
        app.start();
        app.mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.mainWindow()));
        QTRY_COMPARE(active.size(), 1);
        QVERIFY(analytics::ApplicationEvents::isActive());
        QCOMPARE(resigned.size(), 1);
        QPointer<ContentView> first = app.mainWindow();
        first->close();
        QTRY_COMPARE(resigned.size(), 2);
        QTRY_VERIFY(!first);
        app.handleReopen();
        app.mainWindow()->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(app.mainWindow()));
        QTRY_COMPARE(active.size(), 2);
        QCOMPARE(resigned.size(), 2);
    }

    // A run on the recovery store or in memory says so in the main window from the start.
    void storeNoticeIsShownAtOnce_data()
    {
        QTest::addColumn<QString>("notice");
        QTest::newRow("usual store") << QString();
        QTest::newRow("recovery store") << QStringLiteral("Ovlin could not open its data file /x/Ovlin.store");
    }

    void storeNoticeIsShownAtOnce()
    {
        QFETCH(QString, notice);
        auto delegate = std::make_unique<AppDelegate>(enginetest::openStore(), m_services);
        delegate->setStoreNotice(notice);
        OvlinApp app(std::move(delegate));
        app.start();
        QLabel *shown = app.mainWindow()->findChild<QLabel *>(QStringLiteral("storeNotice"));
        QCOMPARE(shown && shown->isVisible(), !notice.isEmpty());
        if (shown)
            QCOMPARE(shown->text(), notice);
        // It stays whichever tab is chosen.
        app.mainWindow()->selectTab(OvlinTab::settings);
        QCOMPARE(shown && shown->isVisible(), !notice.isEmpty());
    }

    // A store file that another program moves away takes no more changes: the window says so until it is
    // back, on top of any notice of how the store was opened, and so does a window opened meanwhile.
    void lostStoreFileIsShownInTheWindow()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ovlin.store"));
        QString error;
        auto store = StoreContainer::open(path, &error);
        QVERIFY2(store, qPrintable(error));
        auto delegate = std::make_unique<AppDelegate>(std::move(store), m_services);
        const QString opening = QStringLiteral("Ovlin could not open its data file /x/Ovlin.store");
        delegate->setStoreNotice(opening);
        OvlinApp app(std::move(delegate));
        app.start();
        StoreContext *context = app.appDelegate()->sharedContainer()->mainContext();
        const auto notice = [&app] {
            QLabel *label = app.mainWindow()->findChild<QLabel *>(QStringLiteral("storeNotice"));
            return label && label->isVisible() ? label->text() : QString();
        };
        QCOMPARE(notice(), opening);

        QVERIFY(QFile::rename(path, dir.filePath(QStringLiteral("Elsewhere.store"))));
        enginetest::makeReminder(context);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("removed or renamed")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context->save());
        QTRY_VERIFY(notice().startsWith(QDir::toNativeSeparators(path) + QStringLiteral(" was moved, removed or "
                                                                                        "replaced")));
        QVERIFY(notice().contains(QStringLiteral("nothing you change now is saved")));
        QPointer<ContentView> first = app.mainWindow();
        first->close();
        QTRY_VERIFY(!first);
        app.handleReopen();
        QVERIFY(notice().contains(QStringLiteral("nothing you change now is saved")));

        QVERIFY(QFile::rename(dir.filePath(QStringLiteral("Elsewhere.store")), path));
        QVERIFY(context->retryFailedSave());
        QTRY_COMPARE(notice(), opening);
    }

    void closingAndReopeningTheWindow()
    {
        auto delegate = std::make_unique<AppDelegate>(enginetest::openStore(), m_services);
        OvlinApp app(std::move(delegate));
        app.start();
        QPointer<ContentView> first = app.mainWindow();
        first->selectTab(OvlinTab::settings);
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->rescheduledCounts.size(), 1, 2000);

        first->close();
        QTRY_VERIFY(!first);
        QVERIFY(app.windows().isEmpty());

        app.handleReopen();
        ContentView *second = app.mainWindow();
        QVERIFY(second);
        QVERIFY(second->isVisible());
        QCOMPARE(second->selectedTab(), OvlinTab::reminders);
        // A new window runs the launch task again.
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->rescheduledCounts.size(), 2, 2000);

        // Reopening while it is visible keeps the same window.
        app.handleReopen();
        QCOMPARE(app.mainWindow(), second);
    }
};

QTEST_MAIN(TestContentView)
#include "tst_contentview.moc"
