// Sheets and overlays driven from the keyboard: where the focus starts in a sheet opened by a key, where
// it stays while the sheet moves on, and that the control it comes back to shows its ring.
#include "Shell/ShellTestSupport.h"

#include "Banners/BannerManager.h"
#include "Banners/CelebrationManager.h"
#include "Banners/CelebrationOverlay.h"
#include "Banners/VirtualTimerSource.h"
#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "Editor/ReminderFormCategoryStep.h"
#include "Editor/ReminderFormFooter.h"
#include "Editor/ReminderFormView.h"
#include "Editor/ReminderFormViewModel.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneListView.h"
#include "Shell/ContentView.h"
#include "Support/DesktopTestSupport.h"
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

QWidget *named(QWidget *window, const QString &name)
{
    for (auto *w : window->findChildren<QWidget *>())
        if (w->accessibleName() == name && w->isVisible())
            return w;
    return nullptr;
}

// Reaches `control` as Tab would and presses `key` on it.
void press(QWidget *control, Qt::Key key = Qt::Key_Space)
{
    QVERIFY(control);
    QTest::keyClick(control, Qt::Key_Shift);
    if (!control->hasFocus())
        control->setFocus(Qt::TabFocusReason);
    QTest::keyClick(control, key);
    settleEvents();
}

QString focusName()
{
    return focustest::describe(QApplication::focusWidget());
}

} // namespace

class TestSheetFocus : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_config;
    std::unique_ptr<StoreContainer> m_store;
    std::unique_ptr<ContentView> m_view;

    StoreContext *context() const { return m_store->mainContext(); }

    ContentView *openWindow(bool onboarded)
    {
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), onboarded}});
        auto services = fakeServices(std::make_shared<Journal>());
        services->makeScreen = ShellServices::live()->makeScreen;
        services->makeReminderForm = ShellServices::live()->makeReminderForm;
        m_view = std::make_unique<ContentView>(context(), services);
        m_view->resize(1000, 900);
        m_view->show();
        // Not yet onboarded, the window opens with onboarding's sheet over it, which takes the keyboard.
        if (onboarded ? !waitForWindow() : !waitForSheet())
            return nullptr;
        settleEvents();
        return m_view.get();
    }

    // Until the window has the keyboard. On a desktop the window manager gives it the focus, when it opens
    // and when a sheet over it is gone; offscreen, the test does.
    bool waitForWindow()
    {
        if (!desktoptest::onX11() && QApplication::activeWindow() != m_view.get())
            QApplication::setActiveWindow(m_view.get());
        return desktoptest::waitForKeyboard(m_view.get());
    }

    // The sheet on top of the window: the editor, the reward editor or onboarding.
    QWidget *sheet() const
    {
        if (SheetDialog *dialog = m_view->newHabitSheet())
            return dialog;
        if (SheetDialog *dialog = m_view->onboardingSheet())
            return dialog;
        auto *rewards = qobject_cast<MilestoneListView *>(m_view->currentScreen());
        return rewards ? rewards->presentedEditor() : nullptr;
    }

    ReminderFormView *form() const
    {
        SheetDialog *dialog = m_view->newHabitSheet();
        return dialog ? qobject_cast<ReminderFormView *>(dialog->content()) : nullptr;
    }

    bool waitForSheet()
    {
        // Not QTest::qWaitForWindowActive: it calls a sheet active while its parent window is.
        if (!QTest::qWaitFor([this] { return sheet() != nullptr; }, desktoptest::kSettle) ||
            !desktoptest::waitForKeyboard(sheet()))
            return false;
        settleEvents();
        return true;
    }

private Q_SLOTS:
    void initTestCase()
    {
        KeyboardFocus::install();
        Motion::setAnimationsEnabled(false);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
        Defaults::resetSharedForTesting();
    }

    void init()
    {
        Clock::setNow(enginetest::at(kToday, 14, 0));
        m_store = enginetest::openStore();
        BannerManager::shared().dismiss();
    }

    void cleanup()
    {
        m_view.reset();
        settleEvents();
        m_store.reset();
        Clock::useSystemTime();
    }

    // A sheet opened by a key starts on its first control, not on its close button; stepping on keeps the
    // focus on the footer's main button. Either way with the ring, so the next key does what it shows.
    void sheetKeepsTheFocusOnItsControls_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("lands");
        QTest::newRow("habit editor opened") << "editor"
                                             << "selected tile";
        QTest::newRow("habit editor, Next onto a named name step") << "editor, Next"
                                                                   << "Go to next step";
        QTest::newRow("habit editor, Next onto the last step") << "editor, Next, Next, Next"
                                                               << "Save reminder";
        QTest::newRow("reward editor opened") << "reward editor"
                                              << "Choose image";
        QTest::newRow("onboarding shown after a key") << "onboarding"
                                                      << "Continue";
    }

    void sheetKeepsTheFocusOnItsControls()
    {
        QFETCH(QString, what);
        QFETCH(QString, lands);
        const QStringList steps = what.split(QStringLiteral(", "));
        ContentView *view = openWindow(steps.first() != "onboarding");
        QVERIFY(view);
        if (steps.first() == "onboarding") {
            // Shown again while the keyboard is in use.
            view->setShowOnboarding(false);
            settleEvents();
            QVERIFY(waitForWindow());
            QTest::keyClick(view, Qt::Key_Shift);
            view->setShowOnboarding(true);
        } else if (steps.first() == "editor") {
            press(view->newHabitButton());
        } else {
            view->selectTab(OvlinTab::milestones);
            settleEvents();
            press(qobject_cast<MilestoneListView *>(view->currentScreen())->newRewardButton());
        }
        QVERIFY(waitForSheet());
        if (steps.size() > 1) {
            form()->viewModel()->setTitle(QStringLiteral("Walk"));
            for (int i = 1; i < steps.size(); ++i)
                press(form()->footer()->nextButton());
        }

        QWidget *now = QApplication::focusWidget();
        QVERIFY2(now && now->window() == sheet(), qPrintable(focusName()));
        if (lands == "selected tile")
            QCOMPARE(now, form()->categoryStep()->tile(form()->viewModel()->category()));
        else
            QCOMPARE(now->accessibleName(), lands);
        QVERIFY2(focustest::drawsRing(now), qPrintable(focusName()));
    }

    // The keyboard closes a sheet or a celebration: the control that gets the focus back shows its ring.
    void focusComesBackWithItsRing_data()
    {
        QTest::addColumn<QString>("what");
        QTest::newRow("Escape on the habit editor") << "editor";
        QTest::newRow("Escape on the reward editor") << "reward editor";
        QTest::newRow("onboarding's last button") << "onboarding";
        QTest::newRow("celebration after a keyboard check-off") << "celebration";
    }

    void focusComesBackWithItsRing()
    {
        QFETCH(QString, what);
        if (what == "celebration")
            enginetest::makeReminder(context(), todaytest::fixedAt(QStringLiteral("Walk"), 9, 0));
        ContentView *view = openWindow(what != "onboarding");
        QVERIFY(view);
        if (what == "editor") {
            press(view->newHabitButton());
            QVERIFY(waitForSheet());
            press(QApplication::focusWidget(), Qt::Key_Escape);
        } else if (what == "reward editor") {
            view->selectTab(OvlinTab::milestones);
            settleEvents();
            press(qobject_cast<MilestoneListView *>(view->currentScreen())->newRewardButton());
            QVERIFY(waitForSheet());
            press(QApplication::focusWidget(), Qt::Key_Escape);
        } else if (what == "onboarding") {
            QVERIFY(waitForSheet());
            QWidget *onboarding = sheet();
            for (const char *button : {"Continue", "Continue", "Get started with Ovlin"})
                press(named(onboarding, QString::fromLatin1(button)));
        } else {
            auto timers = std::make_shared<VirtualTimerSource>();
            view->celebrationManager()->setTimerSource(timers);
            press(named(view, QStringLiteral("Mark Walk as done")));
            QVERIFY(view->celebrationManager()->activeEvent());
            QWidget *card = QApplication::focusWidget();
            QVERIFY(view->celebrationOverlay()->isAncestorOf(card));
            press(card);
            QVERIFY(!view->celebrationManager()->activeEvent());
        }
        QVERIFY(waitForWindow());
        settleEvents();

        QWidget *now = QApplication::focusWidget();
        QVERIFY2(now && now->window() == view && now != view, qPrintable(focusName()));
        QVERIFY2(focustest::drawsRing(now), qPrintable(focusName()));
    }
};

QTEST_MAIN(TestSheetFocus)
#include "tst_sheetfocus.moc"
