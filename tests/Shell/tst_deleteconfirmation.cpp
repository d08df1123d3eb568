// The delete confirmations of the habits and rewards screens in the real window: while one is shown the
// keyboard stays in it, nothing on the screen behind it reacts, and its answer touches only the record it
// was opened for.
#include "Shell/ShellTestSupport.h"

#include "Banners/BannerManager.h"
#include "Base/Clock.h"
#include "Base/Defaults.h"
#include "DesignSystem/Motion.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "Rewards/MilestoneListView.h"
#include "ScreenParts/MilestoneCard.h"
#include "Shell/ContentView.h"
#include "Support/TodayTestSupport.h"
#include "Today/HabitListView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;
using namespace shelltest;

namespace {

const QDate kToday(2026, 6, 10);
const QStringList kNames{"Walk", "Read", "Stretch"};

void settle()
{
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// A key as the user types it: to whatever has the focus.
void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QWidget *focus = QApplication::focusWidget();
    if (!focus)
        QFAIL("nothing has the focus");
    QTest::keyClick(focus, key, modifiers);
}

// What the test needs of either screen.
struct Screen
{
    QWidget *widget = nullptr;
    std::function<QAbstractButton *(const QString &)> deleteButton;
    std::function<QString()> pending;
    std::function<OvlinConfirmationDialog *()> dialog;
    std::function<QStringList()> stored;
    std::function<bool()> sheetOpen;
};

} // namespace

class TestDeleteConfirmation : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_config;
    std::unique_ptr<StoreContainer> m_store;
    std::unique_ptr<todaytest::RecordingHooks> m_hooks;
    std::unique_ptr<ContentView> m_view;

    StoreContext *context() const { return m_store->mainContext(); }

    Screen open(const QString &which)
    {
        for (int i = 0; i < kNames.size(); ++i) {
            if (which == "habits") {
                enginetest::ReminderSpec spec = todaytest::fixedAt(kNames.at(i), 9, 0);
                spec.createdAt = enginetest::at(kToday.addDays(-3), 8, i);
                enginetest::makeReminder(context(), spec);
            } else {
                todaytest::makeMilestone(context(), kNames.at(i), 5 + i, MilestoneStatus::active,
                                         enginetest::at(kToday.addDays(-2), 8, i));
            }
        }
        context()->save();
        auto services = fakeServices(std::make_shared<Journal>());
        services->makeScreen = ShellServices::live()->makeScreen;
        m_view = std::make_unique<ContentView>(context(), services);
        m_view->resize(900, 900);
        m_view->selectTab(which == "habits" ? OvlinTab::habits : OvlinTab::milestones);
        m_view->show();
        QApplication::setActiveWindow(m_view.get());
        if (!QTest::qWaitForWindowActive(m_view.get()))
            qWarning("window not active");
        settle();

        Screen screen;
        screen.widget = m_view->currentScreen();
        screen.sheetOpen = [view = m_view.get()] { return view->newHabitSheet() || view->editorSheet(); };
        if (auto *habits = qobject_cast<HabitListView *>(screen.widget)) {
            habits->flushPendingRebuild();
            screen.deleteButton = [habits](const QString &name) -> QAbstractButton * {
                for (auto *button : habits->findChildren<QAbstractButton *>())
                    if (button->accessibleName() == "Delete " + name)
                        return button;
                return nullptr;
            };
            screen.pending = [habits] {
                return habits->reminderPendingDelete() ? habits->reminderPendingDelete()->title() : QString();
            };
            screen.dialog = [habits] { return habits->confirmationDialog(); };
            screen.stored = [this] {
                QStringList names;
                for (const auto &r : context()->fetch<Reminder>())
                    names << r->title() + (r->isActive() ? "" : " (paused)");
                names.sort();
                return names;
            };
        } else if (auto *rewards = qobject_cast<MilestoneListView *>(screen.widget)) {
            screen.deleteButton = [rewards](const QString &name) -> QAbstractButton * {
                for (MilestoneCard *card : rewards->cards())
                    if (card->milestone()->name() == name)
                        return card->deleteButton();
                return nullptr;
            };
            screen.pending = [rewards] {
                return rewards->milestonePendingDelete() ? rewards->milestonePendingDelete()->name() : QString();
            };
            screen.dialog = [rewards] { return rewards->deleteDialog(); };
            screen.stored = [this] {
                QStringList names;
                for (const auto &m : context()->fetch<Milestone>())
                    names << m->name();
                names.sort();
                return names;
            };
            screen.sheetOpen = [rewards, view = m_view.get()] {
                return rewards->presentedEditor() || view->newHabitSheet() || view->editorSheet();
            };
        }
        return screen;
    }

private Q_SLOTS:
    void init()
    {
        Motion::setAnimationsEnabled(false);
        Clock::setNow(enginetest::at(kToday, 14, 0));
        m_config = std::make_unique<QTemporaryDir>();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config->path()));
        Defaults::resetSharedForTesting();
        enginetest::resetSettings({{QStringLiteral("hasCompletedOnboarding"), true}});
        m_store = enginetest::openStore();
        m_hooks = std::make_unique<todaytest::RecordingHooks>();
        BannerManager::shared().dismiss();
    }

    void cleanup()
    {
        m_view.reset();
        settle();
        m_hooks.reset();
        m_store.reset();
        Clock::useSystemTime();
    }

    void keyboardStaysInTheConfirmation_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("answer");
        for (const char *screen : {"habits", "rewards"}) {
            for (const char *answer : {"Escape", "Cancel", "Delete"})
                QTest::addRow("%s, %s", screen, answer) << screen << answer;
        }
    }

    void keyboardStaysInTheConfirmation()
    {
        QFETCH(QString, screen);
        QFETCH(QString, answer);
        const Screen s = open(screen);
        QVERIFY(s.widget);
        const QStringList before = s.stored();
        QCOMPARE(before.size(), 3);

        // Opened from the keyboard for "Read": the focus moves into the dialog.
        QAbstractButton *opener = s.deleteButton("Read");
        QVERIFY(opener);
        opener->setFocus(Qt::TabFocusReason);
        press(Qt::Key_Space);
        QCOMPARE(s.pending(), QStringLiteral("Read"));
        OvlinConfirmationDialog *dialog = s.dialog();
        QVERIFY(dialog && dialog->isVisible());
        QWidget *cancel = dialog->cancelButton();
        QWidget *confirm = dialog->confirmButton();
        QCOMPARE(QApplication::focusWidget(), cancel);

        // Tab and Shift+Tab go round its two buttons.
        for (int i = 0; i < 5; ++i) {
            press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), i % 2 == 0 ? confirm : cancel);
        }
        for (int i = 0; i < 5; ++i) {
            press(Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), i % 2 == 0 ? cancel : confirm);
        }

        // Nothing behind it takes the focus or a key: every control of the screen is tried, last first.
        QList<QPointer<QWidget>> behind;
        for (QWidget *w : s.widget->findChildren<QWidget *>()) {
            if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && !dialog->isAncestorOf(w))
                behind.prepend(w);
        }
        QVERIFY(behind.size() >= 6);
        for (const QPointer<QWidget> &target : std::as_const(behind)) {
            if (!target)
                continue;
            target->setFocus(Qt::TabFocusReason);
            QVERIFY(QApplication::focusWidget() == cancel || QApplication::focusWidget() == confirm);
            if (target)
                QTest::keyClick(target, Qt::Key_Space);
            settle();
            QCOMPARE(s.pending(), QStringLiteral("Read"));
            QCOMPARE(s.dialog(), dialog);
        }
        QCOMPARE(s.stored(), before);
        QVERIFY(!s.sheetOpen());
        QCOMPARE(m_hooks->calls, QStringList());

        if (answer == "Escape") {
            press(Qt::Key_Escape);
        } else {
            QWidget *button = answer == "Delete" ? confirm : cancel;
            if (QApplication::focusWidget() != button)
                press(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), button);
            press(Qt::Key_Space);
        }
        QCOMPARE(s.pending(), QString());
        QVERIFY(!s.dialog());
        if (answer == "Delete") {
            QCOMPARE(s.stored(), (QStringList{"Stretch", "Walk"}));
        } else {
            QCOMPARE(s.stored(), before);
            // Back where it was.
            QCOMPARE(QApplication::focusWidget(), opener);
        }
        settle();
        QVERIFY(!s.sheetOpen());
    }

    // Asked again while it is shown, the confirmation keeps its record.
    void secondRequestKeepsTheFirstRecord_data()
    {
        QTest::addColumn<QString>("screen");
        QTest::newRow("habits") << "habits";
        QTest::newRow("rewards") << "rewards";
    }

    void secondRequestKeepsTheFirstRecord()
    {
        QFETCH(QString, screen);
        const Screen s = open(screen);
        s.deleteButton("Read")->click();
        QCOMPARE(s.pending(), QStringLiteral("Read"));
        OvlinConfirmationDialog *dialog = s.dialog();
        if (auto *habits = qobject_cast<HabitListView *>(s.widget))
            habits->requestDelete(
                context()->fetch<Reminder>([](const Reminder &r) { return r.title() == "Walk"; }).first());
        if (auto *rewards = qobject_cast<MilestoneListView *>(s.widget))
            rewards->requestDelete(
                context()->fetch<Milestone>([](const Milestone &m) { return m.name() == "Walk"; }).first());
        QCOMPARE(s.pending(), QStringLiteral("Read"));
        QCOMPARE(s.dialog(), dialog);
        dialog->confirmButton()->click();
        QCOMPARE(s.stored(), (QStringList{"Stretch", "Walk"}));
    }
};

QTEST_MAIN(TestDeleteConfirmation)
#include "tst_deleteconfirmation.moc"
