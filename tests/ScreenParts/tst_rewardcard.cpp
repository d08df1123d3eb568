// The reward card in both styles: derived values, what it shows for each status, its action row, its
// thumbnail, clicks and hover, and redrawing when the reward changes in its store.
#include "Support/RewardsTestSupport.h"

#include "DesignSystem/OvlinButton.h"
#include "DesignSystem/ThemeColors.h"
#include "ScreenParts/MilestoneCard.h"

#include <QAccessible>
#include <QEnterEvent>
#include <QSignalSpy>
#include <QtTest>

using namespace ovlin;
using namespace rewardstest;

class TestRewardCard : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<StoreContainer> m_store;

    StoreContext *context() const { return m_store->mainContext(); }

    std::unique_ptr<MilestoneCard> card(const std::shared_ptr<Milestone> &milestone, std::function<void()> onTap,
                                        std::function<void()> onEdit, std::function<void()> onDelete,
                                        MilestoneCardStyle style = MilestoneCardStyle::full, int width = 460)
    {
        auto widget =
            std::make_unique<MilestoneCard>(milestone, std::move(onTap), std::move(onEdit), std::move(onDelete), style);
        widget->resize(width, widget->heightForWidth(width));
        widget->show();
        QCoreApplication::processEvents();
        return widget;
    }

private Q_SLOTS:
    void initTestCase() { prepareWidgets(); }

    void init()
    {
        Clock::setNow(testNow);
        QString error;
        m_store = StoreContainer::openInMemory(&error);
        QVERIFY2(m_store, qPrintable(error));
    }

    void cleanup()
    {
        m_store.reset();
        Clock::useSystemTime();
    }

    void derivedValues_data()
    {
        QTest::addColumn<QString>("statusRaw");
        QTest::addColumn<qint64>("requireDays");
        QTest::addColumn<int>("metBefore");
        QTest::addColumn<bool>("metToday");
        QTest::addColumn<qint64>("daysMet");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<qint64>("remaining");
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("toGo");
        QTest::addColumn<bool>("earnedLine");

        QTest::newRow("active, halfway") << "active" << qint64(10) << 5 << false << qint64(5) << 0.5 << qint64(5)
                                         << "Active"
                                         << "5 to go" << false;
        QTest::newRow("active, today counts")
            << "active" << qint64(4) << 2 << true << qint64(3) << 0.75 << qint64(1) << "Active"
            << "1 to go" << false;
        QTest::newRow("zero days required")
            << "active" << qint64(0) << 0 << false << qint64(0) << 0.0 << qint64(0) << "Active"
            << "0 to go" << false;
        QTest::newRow("more met than required")
            << "active" << qint64(3) << 7 << false << qint64(7) << 1.0 << qint64(0) << "Active"
            << "0 to go" << false;
        QTest::newRow("earned") << "achieved" << qint64(7) << 7 << false << qint64(7) << 1.0 << qint64(0) << "Earned"
                                << QString() << true;
        QTest::newRow("missed") << "failed" << qint64(10) << 2 << false << qint64(2) << 0.2 << qint64(8) << "Ended"
                                << QString() << false;
        QTest::newRow("unknown status text is active")
            << "Paused" << qint64(10) << 1 << false << qint64(1) << 0.1 << qint64(9) << "Active"
            << "9 to go" << false;
    }

    void derivedValues()
    {
        QFETCH(QString, statusRaw);
        QFETCH(qint64, requireDays);
        QFETCH(int, metBefore);
        QFETCH(bool, metToday);
        QFETCH(qint64, daysMet);
        QFETCH(double, fraction);
        QFETCH(qint64, remaining);
        QFETCH(QString, label);
        QFETCH(QString, toGo);
        QFETCH(bool, earnedLine);

        const auto milestone = makeMilestone(
            context(), {.name = QStringLiteral("Burger run"), .requireDays = requireDays, .statusRaw = statusRaw});
        addMetDays(milestone, metBefore, testNow, metToday);
        const auto widget = card(
            milestone, {}, [] {}, [] {});
        QCOMPARE(widget->daysMet(), daysMet);
        QCOMPARE(widget->progressFraction(), fraction);
        QCOMPARE(widget->daysRemaining(), remaining);
        QCOMPARE(widget->statusLabel(), label);
        QCOMPARE(widget->toGoText().value_or(QString()), toGo);
        QCOMPARE(widget->showsEarnedLine(), earnedLine);
        QCOMPARE(widget->goalText(), QStringLiteral("%1 day goal").arg(requireDays));
        QCOMPARE(widget->countText(), QStringLiteral("%1/%2 days").arg(daysMet).arg(requireDays));

        const MilestoneStatus status = milestone->status();
        // The stored status, never the badge.
        const QString stored = rawValue(status);
        QCOMPARE(widget->accessibilityText(),
                 QStringLiteral("Burger run. %1 of %2 days completed. %3.").arg(daysMet).arg(requireDays).arg(stored));
    }

    void extremeStoredValuesStayDefined_data()
    {
        QTest::addColumn<qint64>("requireDays");
        QTest::addColumn<double>("fraction");
        QTest::addColumn<qint64>("remaining");
        QTest::newRow("largest") << std::numeric_limits<qint64>::max() << 0.0 << std::numeric_limits<qint64>::max();
        QTest::newRow("smallest") << std::numeric_limits<qint64>::min() << 0.0 << qint64(0);
        QTest::newRow("negative") << qint64(-5) << 0.0 << qint64(0);
    }

    void extremeStoredValuesStayDefined()
    {
        QFETCH(qint64, requireDays);
        QFETCH(double, fraction);
        QFETCH(qint64, remaining);
        QCOMPARE(MilestoneCard::progressFraction(0, requireDays), fraction);
        QCOMPARE(MilestoneCard::daysRemaining(0, requireDays), remaining);
        QCOMPARE(MilestoneCard::daysRemaining(-3, qint64(10)), qint64(10));
    }

    void actionRow_data()
    {
        QTest::addColumn<bool>("withEdit");
        QTest::addColumn<bool>("withDelete");
        QTest::newRow("both") << true << true;
        QTest::newRow("edit only") << true << false;
        QTest::newRow("delete only") << false << true;
        QTest::newRow("neither") << false << false;
    }

    void actionRow()
    {
        QFETCH(bool, withEdit);
        QFETCH(bool, withDelete);
        int edits = 0;
        int deletes = 0;
        const auto milestone = makeMilestone(context());
        const auto widget =
            card(milestone, {}, withEdit ? std::function<void()>([&] { ++edits; }) : std::function<void()>(),
                 withDelete ? std::function<void()>([&] { ++deletes; }) : std::function<void()>());
        QCOMPARE(widget->showsActions(), withEdit || withDelete);
        QCOMPARE(widget->dividerRect().isEmpty(), !(withEdit || withDelete));
        QCOMPARE(widget->editButton() != nullptr, withEdit);
        QCOMPARE(widget->deleteButton() != nullptr, withDelete);
        if (OvlinButton *del = widget->deleteButton()) {
            QCOMPARE(del->title(), QStringLiteral("Delete"));
            QTest::mouseClick(del, Qt::LeftButton);
        }
        if (OvlinButton *edit = widget->editButton()) {
            QCOMPARE(edit->title(), QStringLiteral("Edit"));
            QTest::mouseClick(edit, Qt::LeftButton);
        }
        QCOMPARE(edits, withEdit ? 1 : 0);
        QCOMPARE(deletes, withDelete ? 1 : 0);
        QVERIFY(!context()->hasChanges() || milestone->hasChanges());
    }

    void compactShowsOneRowWhateverItIsGiven()
    {
        const auto milestone = makeMilestone(context(), {.statusRaw = QStringLiteral("achieved")});
        int calls = 0;
        const auto compact = card(
            milestone, {}, [&] { ++calls; }, [&] { ++calls; }, MilestoneCardStyle::compact, 320);
        const auto full = card(
            milestone, {}, [&] { ++calls; }, [&] { ++calls; });
        QCOMPARE(compact->style(), MilestoneCardStyle::compact);
        QVERIFY(!compact->showsActions());
        QVERIFY(!compact->editButton());
        QVERIFY(!compact->deleteButton());
        QVERIFY(!compact->showsEarnedLine());
        QVERIFY(compact->progressTrackRect().isEmpty());
        QVERIFY(compact->dividerRect().isEmpty());
        QCOMPARE(compact->statusLabel(), QStringLiteral("Earned"));
        QVERIFY(compact->height() < full->height());
        QCOMPARE(calls, 0);
    }

    void clicks_data()
    {
        QTest::addColumn<bool>("withTap");
        QTest::newRow("no tap action") << false;
        QTest::newRow("tap action") << true;
    }

    void clicks()
    {
        QFETCH(bool, withTap);
        int taps = 0;
        int edits = 0;
        const auto milestone = makeMilestone(context());
        QVERIFY(context()->save());
        const auto widget = card(
            milestone, withTap ? std::function<void()>([&] { ++taps; }) : std::function<void()>(), [&] { ++edits; },
            [] {});
        QCOMPARE(widget->hasTapAction(), withTap);
        QCOMPARE(widget->accessibleValueRole(), withTap ? QAccessible::Button : QAccessible::Grouping);
        // In the padding, on the texts, and on the progress bar.
        QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(6, widget->height() / 2));
        QTest::mouseClick(widget.get(), Qt::LeftButton, {}, widget->progressTrackRect().center().toPoint());
        QCOMPARE(taps, withTap ? 2 : 0);
        // Outside the rounded corner does not count.
        QTest::mouseClick(widget.get(), Qt::LeftButton, {}, QPoint(1, 1));
        QCOMPARE(taps, withTap ? 2 : 0);
        QCOMPARE(edits, 0);
        QVERIFY(!context()->hasChanges());
    }

    void followsTheRewardInItsStore()
    {
        const auto milestone = makeMilestone(context(), {.requireDays = 4});
        QVERIFY(context()->save());
        const auto widget = card(
            milestone, {}, [] {}, [] {});
        const int activeHeight = widget->heightForWidth(460);
        QCOMPARE(widget->daysMet(), qint64(0));

        // The evaluation adds day logs and later earns the reward.
        addMetDays(milestone, 3, testNow);
        QCoreApplication::processEvents();
        QCOMPARE(widget->progressFillRect().width(), widget->progressTrackRect().width() * 0.75);
        milestone->setStatusRaw(QStringLiteral("achieved"));
        QCoreApplication::processEvents();
        QCOMPARE(widget->statusLabel(), QStringLiteral("Earned"));
        QVERIFY(widget->showsEarnedLine());
        QVERIFY(widget->heightForWidth(460) > activeHeight);
        QVERIFY(widget->accessibleName().endsWith(QStringLiteral("achieved.")));
    }

    void aMissingRewardDrawsAnEmptyCard()
    {
        const auto widget = card(nullptr, {}, {}, {});
        QCOMPARE(widget->daysMet(), qint64(0));
        QCOMPARE(widget->statusLabel(), QStringLiteral("Active"));
        widget->grab();
    }
};

QTEST_MAIN(TestRewardCard)
#include "tst_rewardcard.moc"
