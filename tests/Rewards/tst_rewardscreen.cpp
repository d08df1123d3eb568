// The rewards screen through its public interface on a real store file: counters, empty states and their
// phrases, cards and earned rows, order, the editor sheets it opens, the delete confirmation, and how it
// follows the store.
#include "Support/CopyTestSupport.h"
#include "Support/LayoutTestSupport.h"
#include "Support/RewardsTestSupport.h"

#include "Copy/CopyEngine.h"
#include "DesignSystem/EmptyState.h"
#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/OvlinConfirmationDialog.h"
#include "Rewards/MilestoneFormView.h"
#include "Rewards/MilestoneFormViewModel.h"
#include "Rewards/MilestoneListView.h"
#include "Rewards/MilestoneListViewModel.h"
#include "ScreenParts/MilestoneCard.h"

#include <QAbstractButton>
#include <QLineEdit>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

using namespace ovlin;
using namespace rewardstest;

namespace {

QStringList names(const QList<MilestoneCard *> &cards)
{
    QStringList result;
    for (const MilestoneCard *card : cards)
        result.append(card->milestone()->name());
    return result;
}

// Lets queued store notifications and rebuilds run.
void settle()
{
    for (int i = 0; i < 3; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

} // namespace

class TestRewardScreen : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<FileStore> m_store;
    QStringList m_signals;

    StoreContext *context() const { return m_store->context(); }

    std::unique_ptr<MilestoneListView> screen()
    {
        auto view = std::make_unique<MilestoneListView>(context());
        view->setSignalSender([this](const QString &name) { m_signals.append(name); });
        view->resize(720, 900);
        view->show();
        settle();
        return view;
    }

    std::shared_ptr<Milestone> reward(const QString &name, const QString &status, int age = 0,
                                      const MilestoneSpec &base = {})
    {
        MilestoneSpec spec = base;
        spec.name = name;
        spec.reward = name + QStringLiteral(" reward");
        spec.statusRaw = status;
        spec.startDate = testNow.addDays(-age);
        return makeMilestone(context(), spec);
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgets(); }

    void init()
    {
        Clock::setNow(testNow);
        m_store = std::make_unique<FileStore>();
        m_signals.clear();
    }

    void cleanup()
    {
        Motion::setAnimationsEnabled(false);
        m_store.reset();
        Clock::useSystemTime();
    }

    // In a main window of these widths (the sidebar and margins take 224) the header's title and subtitle
    // wrap short of "New reward"; wider they are as they were, one line each.
    void headerTextsLeaveRoomForTheButton_data()
    {
        QTest::addColumn<int>("windowWidth");
        for (const int width : {700, 800, 860, 1100})
            QTest::addRow("%d", width) << width;
    }

    void headerTextsLeaveRoomForTheButton()
    {
        QFETCH(int, windowWidth);
        auto view = screen();
        view->resize(windowWidth - 224, 520);
        settle();
        QWidget *card = view->newRewardButton()->parentWidget();
        QCOMPARE(layouttest::headerProblems(card, view->newRewardButton(), view->findChild<QScrollArea *>()->viewport(),
                                            windowWidth),
                 QStringList());
    }

    void whatIsShown_data()
    {
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QList<int>>("counters");
        QTest::addColumn<QString>("emptyTitle");
        QTest::addColumn<int>("cards");
        QTest::addColumn<int>("earnedRows");

        QTest::newRow("no rewards") << QStringList() << QList<int>{0, 0, 0} << "No rewards yet" << 0 << 0;
        QTest::newRow("only missed") << QStringList{"failed", "failed"} << QList<int>{0, 0, 2} << "Nothing active" << 0
                                     << 0;
        QTest::newRow("only earned") << QStringList{"achieved", "achieved"} << QList<int>{0, 2, 0} << QString() << 0
                                     << 2;
        QTest::newRow("earned and missed")
            << QStringList{"achieved", "failed"} << QList<int>{0, 1, 1} << QString() << 0 << 1;
        QTest::newRow("unknown text is running")
            << QStringList{"Active", "paused", "failed"} << QList<int>{2, 0, 1} << QString() << 2 << 0;
        QTest::newRow("everything") << QStringList{"active", "achieved", "failed", "active", "achieved", "achieved"}
                                    << QList<int>{2, 3, 1} << QString() << 2 << 3;
    }

    void whatIsShown()
    {
        QFETCH(QStringList, statuses);
        QFETCH(QList<int>, counters);
        QFETCH(QString, emptyTitle);
        QFETCH(int, cards);
        QFETCH(int, earnedRows);
        for (int i = 0; i < statuses.size(); ++i)
            reward(QStringLiteral("R%1").arg(i), statuses[i], i);
        QVERIFY(context()->save());
        const auto view = screen();

        QCOMPARE(view->counterValues(), counters);
        QCOMPARE(view->emptyState() ? view->emptyState()->title() : QString(), emptyTitle);
        if (EmptyState *empty = view->emptyState()) {
            QVERIFY(empty->hasActionButton());
            QCOMPARE(static_cast<OvlinButton *>(empty->actionButton())->title(),
                     statuses.isEmpty() ? QStringLiteral("Add your first reward") : QStringLiteral("New reward"));
            if (statuses.isEmpty())
                QVERIFY(CopyEngine::pool(CopyTrigger::emptyMilestones).contains(empty->message()));
            else
                QCOMPARE(empty->message(), QStringLiteral("Set a reward when you're ready to earn something."));
        }
        QCOMPARE(view->cards().size(), cards);
        for (MilestoneCard *card : view->cards()) {
            QVERIFY(!card->hasTapAction());
            QVERIFY(card->editButton() && card->deleteButton());
        }
        QCOMPARE(view->earnedRowCount(), earnedRows);
        QCOMPARE(view->showsEarnedSection(), earnedRows > 0);
    }

    // Each visit builds the screen anew: one pick of the phrase when it is shown, never the last one shown.
    void consecutiveVisitsNeverRepeatThePhrase()
    {
        const copytest::CountedPicks picks;
        std::optional<QString> previous = CopyEngine::shared().lastShown(CopyTrigger::emptyMilestones);
        for (int visit = 0; visit < 12; ++visit) {
            const int before = picks.count();
            const auto view = screen();
            const QString phrase = view->emptyState()->message();
            QVERIFY(CopyEngine::pool(CopyTrigger::emptyMilestones).contains(phrase));
            QCOMPARE(picks.count() - before, 1);
            QVERIFY2(std::optional<QString>(phrase) != previous, qPrintable(phrase));
            QCOMPARE(CopyEngine::shared().lastShown(CopyTrigger::emptyMilestones), phrase);
            previous = phrase;
        }
    }

    void newestStartFirst()
    {
        reward(QStringLiteral("Old"), QStringLiteral("active"), 30);
        reward(QStringLiteral("New"), QStringLiteral("active"), 1);
        reward(QStringLiteral("Middle"), QStringLiteral("active"), 10);
        reward(QStringLiteral("Earned old"), QStringLiteral("achieved"), 40);
        reward(QStringLiteral("Earned new"), QStringLiteral("achieved"), 2);
        QVERIFY(context()->save());
        const auto view = screen();
        QCOMPARE(names(view->cards()), (QStringList{"New", "Middle", "Old"}));
        QCOMPARE(view->earnedRowMilestone(0)->name(), QStringLiteral("Earned new"));
        QCOMPARE(view->earnedRowMilestone(1)->name(), QStringLiteral("Earned old"));
    }

    void earnedRows_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<bool>>("dividers");
        QTest::newRow("one") << 1 << QList<bool>{false};
        QTest::newRow("three") << 3 << QList<bool>{true, true, false};
    }

    void earnedRows()
    {
        QFETCH(int, count);
        QFETCH(QList<bool>, dividers);
        for (int i = 0; i < count; ++i) {
            MilestoneSpec spec;
            spec.requireDays = 30 + i;
            spec.thumbnailData = i == 0 ? QByteArray("not a picture") : encodedImage(QSize(80, 80), "JPEG");
            reward(QStringLiteral("E%1").arg(i), QStringLiteral("achieved"), i, spec);
        }
        QVERIFY(context()->save());
        const auto view = screen();
        QCOMPARE(view->earnedRowCount(), count);
        for (int i = 0; i < count; ++i) {
            QCOMPARE(view->earnedRowHasDivider(i), dividers[i]);
            QCOMPARE(view->earnedRowDaysText(i), QStringLiteral("%1d").arg(30 + i));
            // Undecodable data shows the trophy.
            QCOMPARE(view->earnedRowShowsPicture(i), i != 0);
        }
    }

    void addSheetFromEveryButton_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("header") << "header";
        QTest::newRow("no rewards yet") << "empty";
        QTest::newRow("nothing active") << "nothing active";
    }

    void addSheetFromEveryButton()
    {
        QFETCH(QString, button);
        if (button == QLatin1String("nothing active")) {
            reward(QStringLiteral("Missed"), QStringLiteral("failed"));
            QVERIFY(context()->save());
        }
        const auto view = screen();
        QSignalSpy presented(view.get(), &MilestoneListView::editorPresented);
        QAbstractButton *target =
            button == QLatin1String("header") ? view->newRewardButton() : view->emptyState()->actionButton();
        QTest::mouseClick(target, Qt::LeftButton);
        QVERIFY(view->showingAddSheet());
        QCOMPARE(presented.count(), 1);
        MilestoneFormView *editor = view->presentedEditor();
        QVERIFY(editor);
        QVERIFY(!editor->isEditing());
        QCOMPARE(editor->windowModality(), Qt::WindowModal);
        QVERIFY(editor->isVisible());
        QCOMPARE(editor->viewModel()->modelContext(), context());

        // Saving a new reward from the sheet: stored, signalled, shown as a card.
        QTest::keyClicks(editor->nameField(), QStringLiteral("Cinema night"));
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        QVERIFY(!view->showingAddSheet());
        QVERIFY(!view->presentedEditor());
        QCOMPARE(m_signals, QStringList{QStringLiteral("milestone.created")});
        QPointer<MilestoneFormView> closed(editor);
        settle();
        QVERIFY(!closed); // deleted after it finished
        QCOMPARE(names(view->cards()), QStringList{QStringLiteral("Cinema night")});
        QVERIFY(!view->emptyState());
        QCOMPARE(view->counterValues().first(), 1);
    }

    void editSheetFromACard()
    {
        reward(QStringLiteral("Burger run"), QStringLiteral("active"));
        QVERIFY(context()->save());
        const auto view = screen();
        MilestoneCard *card = view->cards().first();
        QTest::mouseClick(card->editButton(), Qt::LeftButton);
        QCOMPARE(view->editingMilestone(), card->milestone());
        MilestoneFormView *editor = view->presentedEditor();
        QVERIFY(editor && editor->isEditing());
        QCOMPARE(editor->viewModel()->existingMilestone(), card->milestone());
        // Another request while one sheet is open changes nothing.
        view->showAddSheet();
        QVERIFY(!view->showingAddSheet());
        QCOMPARE(view->presentedEditor(), editor);

        editor->nameField()->selectAll();
        QTest::keyClicks(editor->nameField(), QStringLiteral("Pizza run"));
        QTest::mouseClick(editor->saveButton(), Qt::LeftButton);
        QCOMPARE(view->editingMilestone(), nullptr);
        settle();
        QVERIFY(m_signals.isEmpty());
        // The same card, redrawn with the new name.
        QCOMPARE(view->cards().first(), card);
        QCOMPARE(card->milestone()->name(), QStringLiteral("Pizza run"));
        QVERIFY(card->accessibleName().startsWith(QStringLiteral("Pizza run.")));

        QTest::mouseClick(card->editButton(), Qt::LeftButton);
        QTest::mouseClick(view->presentedEditor()->closeButton(), Qt::LeftButton);
        QCOMPARE(view->editingMilestone(), nullptr);
        QVERIFY(!view->presentedEditor());
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("Cancel") << false;
        QTest::newRow("Delete") << true;
    }

    void deleteAsksFirst()
    {
        QFETCH(bool, confirm);
        const auto gone = reward(QStringLiteral("Gone"), QStringLiteral("active"), 1);
        reward(QStringLiteral("Kept"), QStringLiteral("active"), 2);
        addMetDays(gone, 3, testNow);
        QVERIFY(context()->save());
        const auto view = screen();
        QTest::mouseClick(view->cards().first()->deleteButton(), Qt::LeftButton);
        QCOMPARE(view->milestonePendingDelete(), gone);
        OvlinConfirmationDialog *dialog = view->deleteDialog();
        QVERIFY(dialog);
        QVERIFY(dialog->isVisible());
        QVERIFY(view->deleteOverlayVisible());
        QCOMPARE(view->deleteOverlayPresence(), 1.0);
        QCOMPARE(dialog->confirmButton()->title(), QStringLiteral("Delete"));
        QCOMPARE(dialog->confirmButton()->buttonStyle(), OvlinButtonStyle::destructive);
        QCOMPARE(dialog->cancelButton()->title(), QStringLiteral("Cancel"));

        QTest::mouseClick(confirm ? dialog->confirmButton() : dialog->cancelButton(), Qt::LeftButton);
        QCOMPARE(view->milestonePendingDelete(), nullptr);
        QVERIFY(!view->deleteDialog());
        settle();
        QVERIFY(!view->deleteOverlayVisible());
        QCOMPARE(names(view->cards()), confirm ? QStringList{"Kept"} : (QStringList{"Gone", "Kept"}));
        QCOMPARE(view->counterValues().first(), confirm ? 1 : 2);
        m_store->reopen();
        QCOMPARE(m_store->context()->fetchCount<Milestone>(), confirm ? 1 : 2);
        QCOMPARE(m_store->context()->fetchCount<MilestoneLog>(), confirm ? 0 : 3);
    }

    void followsStatusChanges()
    {
        const auto milestone = reward(QStringLiteral("Spa day"), QStringLiteral("active"));
        QVERIFY(context()->save());
        const auto view = screen();
        QCOMPARE(view->cards().size(), 1);
        // The daily evaluation earns it: the list stays the same, the grouping moves it.
        milestone->setStatusRaw(QStringLiteral("achieved"));
        QVERIFY(context()->save());
        settle();
        QCOMPARE(view->cards().size(), 0);
        QVERIFY(!view->emptyState());
        QCOMPARE(view->earnedRowCount(), 1);
        QCOMPARE(view->counterValues(), (QList<int>{0, 1, 0}));
        milestone->setStatusRaw(QStringLiteral("failed"));
        settle();
        QCOMPARE(view->counterValues(), (QList<int>{0, 0, 1}));
        QCOMPARE(view->emptyState()->title(), QStringLiteral("Nothing active"));
    }

    void comingBackHandsTheModelTheContextAgain()
    {
        reward(QStringLiteral("First store"), QStringLiteral("active"));
        QVERIFY(context()->save());
        const auto view = screen();
        QCOMPARE(view->viewModel()->modelContext(), context());
        view->hide();

        FileStore other;
        makeMilestone(other.context(), {.name = QStringLiteral("Second store")});
        QVERIFY(other.context()->save());
        view->setModelContext(other.context());
        // Nothing changes while the tab is away.
        QCOMPARE(view->viewModel()->modelContext(), context());
        view->show();
        settle();
        QCOMPARE(view->viewModel()->modelContext(), other.context());
        QCOMPARE(names(view->cards()), QStringList{QStringLiteral("Second store")});
        view->setModelContext(nullptr);
    }

    void aStoreThatGoesAwayLeavesAnEmptyScreen()
    {
        reward(QStringLiteral("Burger run"), QStringLiteral("active"));
        QVERIFY(context()->save());
        const auto view = screen();
        m_store.reset();
        view->configureViewModel();
        settle();
        QCOMPARE(view->counterValues(), (QList<int>{0, 0, 0}));
        QCOMPARE(view->emptyState()->title(), QStringLiteral("No rewards yet"));
        m_store = std::make_unique<FileStore>();
    }
};

QTEST_MAIN(TestRewardScreen)
#include "tst_rewardscreen.moc"
