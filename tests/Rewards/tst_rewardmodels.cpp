// The reward editor's model (validation, insert and edit) and the rewards list model (grouping, order,
// deletion), on real store files.
#include "Support/RewardsTestSupport.h"
#include "Support/StoreTestSupport.h"

#include "Rewards/MilestoneFormViewModel.h"
#include "Rewards/MilestoneListViewModel.h"

#include <QSignalSpy>
#include <QtTest>

using namespace ovlin;
using namespace rewardstest;

Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(std::optional<ovlin::ReminderCategory>)

namespace {

QStringList names(const QList<std::shared_ptr<Milestone>> &milestones)
{
    QStringList result;
    for (const auto &milestone : milestones)
        result.append(milestone->name());
    return result;
}

} // namespace

class TestRewardModels : public QObject
{
    Q_OBJECT

private:
private Q_SLOTS:
    void init() { Clock::setNow(testNow); }
    void cleanup() { Clock::useSystemTime(); }

    // ---- Editor model ----

    void newModelStartsWithDefaults()
    {
        FileStore store;
        MilestoneFormViewModel model(nullptr, store.context());
        QCOMPARE(model.name(), QString());
        QCOMPARE(model.requireDays(), qint64(10));
        QCOMPARE(model.requirePercent(), 0.8);
        QCOMPARE(model.linkedCategory(), std::nullopt);
        QCOMPARE(model.startDate(), testNow);
        QCOMPARE(model.thumbnailData(), std::nullopt);
        QVERIFY(!model.isEditing());
        QCOMPARE(model.existingMilestone(), nullptr);
        QCOMPARE(model.modelContext(), store.context());
        QVERIFY(!model.isValid());
    }

    void editModelCopiesTheReward_data()
    {
        QTest::addColumn<std::optional<QString>>("categoryRaw");
        QTest::addColumn<std::optional<ReminderCategory>>("category");
        QTest::newRow("none") << std::optional<QString>() << std::optional<ReminderCategory>();
        QTest::newRow("water") << std::optional<QString>(QStringLiteral("water"))
                               << std::optional<ReminderCategory>(ReminderCategory::water);
        QTest::newRow("other letter case")
            << std::optional<QString>(QStringLiteral("Water")) << std::optional<ReminderCategory>();
        QTest::newRow("unknown text") << std::optional<QString>(QStringLiteral("sleep"))
                                      << std::optional<ReminderCategory>();
    }

    void editModelCopiesTheReward()
    {
        QFETCH(std::optional<QString>, categoryRaw);
        QFETCH(std::optional<ReminderCategory>, category);
        FileStore store;
        MilestoneSpec spec;
        spec.name = QStringLiteral("Spa day");
        spec.reward = QStringLiteral("Something else");
        spec.requireDays = 21;
        spec.requirePercent = 0.65;
        spec.linkedCategoryRaw = categoryRaw;
        spec.thumbnailData = QByteArray("picture");
        const auto milestone = makeMilestone(store.context(), spec);

        MilestoneFormViewModel model(milestone, store.context());
        QVERIFY(model.isEditing());
        QCOMPARE(model.existingMilestone(), milestone);
        QCOMPARE(model.name(), QStringLiteral("Spa day"));
        QCOMPARE(model.requireDays(), qint64(21));
        QCOMPARE(model.requirePercent(), 0.65);
        QCOMPARE(model.linkedCategory(), category);
        QCOMPARE(model.startDate(), spec.startDate);
        QCOMPARE(model.thumbnailData(), std::optional<QByteArray>(QByteArray("picture")));
    }

    void validity_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("days");
        QTest::addColumn<bool>("valid");
        QTest::newRow("empty") << QString() << qint64(10) << false;
        QTest::newRow("spaces") << QStringLiteral("    ") << qint64(10) << false;
        QTest::newRow("spaces and line breaks") << QStringLiteral(" \n\t\r\n ") << qint64(10) << false;
        QTest::newRow("no-break and em spaces") << QStringLiteral("\u00A0\u2003\u3000") << qint64(10) << false;
        QTest::newRow("line and paragraph separators") << QStringLiteral("\u2028\u2029") << qint64(10) << false;
        QTest::newRow("one letter") << QStringLiteral("a") << qint64(10) << true;
        QTest::newRow("surrounded by blanks") << QStringLiteral("  Burger run \n") << qint64(10) << true;
        QTest::newRow("zero-width space is visible") << QStringLiteral("\u200B") << qint64(10) << true;
        QTest::newRow("one day") << QStringLiteral("Burger") << qint64(1) << true;
        QTest::newRow("zero days") << QStringLiteral("Burger") << qint64(0) << false;
        QTest::newRow("negative days") << QStringLiteral("Burger") << qint64(-3) << false;
    }

    void validity()
    {
        QFETCH(QString, name);
        QFETCH(qint64, days);
        QFETCH(bool, valid);
        FileStore store;
        MilestoneFormViewModel model(nullptr, store.context());
        model.setName(name);
        model.setRequireDays(days);
        QCOMPARE(model.isValid(), valid);

        // An invalid form writes nothing; a valid one inserts exactly one reward.
        model.save();
        QCOMPARE(store.context()->fetchCount<Milestone>(), valid ? 1 : 0);
        store.reopen();
        QCOMPARE(store.context()->fetchCount<Milestone>(), valid ? 1 : 0);
    }

    void creatingInsertsAnActiveReward()
    {
        FileStore store;
        const QByteArray picture = encodedImage(QSize(64, 48), "JPEG");
        MilestoneFormViewModel model(nullptr, store.context());
        // Saved later than the sheet was opened: the start stays at the opening.
        Clock::advance(600);
        model.setName(QStringLiteral("  Burger run\n"));
        model.setRequireDays(14);
        model.setRequirePercent(0.95);
        model.setLinkedCategory(ReminderCategory::snack);
        model.setThumbnailData(picture);
        model.save();

        store.reopen();
        const auto saved = store.context()->fetch<Milestone>();
        QCOMPARE(saved.size(), 1);
        const auto &milestone = saved.first();
        QCOMPARE(milestone->name(), QStringLiteral("Burger run"));
        QCOMPARE(milestone->reward(), QStringLiteral("Burger run"));
        QCOMPARE(milestone->requireDays(), qint64(14));
        QCOMPARE(milestone->requirePercent(), 0.95);
        QCOMPARE(milestone->linkedCategoryRaw(), std::optional<QString>(QStringLiteral("snack")));
        QCOMPARE(milestone->startDate(), testNow);
        QCOMPARE(milestone->statusRaw(), QStringLiteral("active"));
        QCOMPARE(milestone->thumbnailData(), std::optional<QByteArray>(picture));
        QVERIFY(!milestone->id().isNull());
        QVERIFY(milestone->dailyLogs().isEmpty());
    }

    void editingKeepsStatusStartAndLogs_data()
    {
        QTest::addColumn<QString>("statusRaw");
        QTest::newRow("active") << QStringLiteral("active");
        QTest::newRow("achieved") << QStringLiteral("achieved");
        QTest::newRow("failed") << QStringLiteral("failed");
        QTest::newRow("unknown text") << QStringLiteral("paused");
    }

    void editingKeepsStatusStartAndLogs()
    {
        QFETCH(QString, statusRaw);
        FileStore store;
        MilestoneSpec spec;
        spec.statusRaw = statusRaw;
        spec.reward = QStringLiteral("Old reward text");
        spec.thumbnailData = QByteArray("old picture");
        spec.linkedCategoryRaw = QStringLiteral("water");
        const auto milestone = makeMilestone(store.context(), spec);
        addMetDays(milestone, 3, testNow);
        QVERIFY(store.context()->save());
        const QUuid id = milestone->id();

        MilestoneFormViewModel model(milestone, store.context());
        model.setName(QStringLiteral("\tNew name  "));
        model.setRequireDays(30);
        model.setRequirePercent(0.5);
        model.setLinkedCategory(std::nullopt);
        model.setThumbnailData(std::nullopt);
        model.save();

        store.reopen();
        const auto saved = store.context()->fetch<Milestone>();
        QCOMPARE(saved.size(), 1);
        const auto &edited = saved.first();
        QCOMPARE(edited->id(), id);
        QCOMPARE(edited->name(), QStringLiteral("New name"));
        QCOMPARE(edited->reward(), QStringLiteral("New name"));
        QCOMPARE(edited->requireDays(), qint64(30));
        QCOMPARE(edited->requirePercent(), 0.5);
        QCOMPARE(edited->linkedCategoryRaw(), std::nullopt);
        QCOMPARE(edited->thumbnailData(), std::nullopt);
        QCOMPARE(edited->startDate(), spec.startDate);
        QCOMPARE(edited->statusRaw(), statusRaw);
        QCOMPARE(edited->dailyLogs().size(), 3);
    }

    void editingAnUnknownCategoryWritesNone()
    {
        FileStore store;
        MilestoneSpec spec;
        spec.linkedCategoryRaw = QStringLiteral("sleep");
        const auto milestone = makeMilestone(store.context(), spec);
        QVERIFY(store.context()->save());
        MilestoneFormViewModel model(milestone, store.context());
        model.save();
        store.reopen();
        QCOMPARE(store.context()->fetch<Milestone>().first()->linkedCategoryRaw(), std::nullopt);
    }

    void savesGoToTheContextGivenLast()
    {
        FileStore placeholder;
        FileStore real;
        MilestoneFormViewModel model(nullptr, placeholder.context());
        model.setModelContext(real.context());
        model.setName(QStringLiteral("Reward"));
        model.save();
        QCOMPARE(placeholder.context()->fetchCount<Milestone>(), 0);
        real.reopen();
        QCOMPARE(real.context()->fetchCount<Milestone>(), 1);
    }

    // The reward lives in the application's store while the form still holds its placeholder: the edit
    // must still reach the reward's own store file.
    void editReachesTheRewardsOwnStore()
    {
        FileStore placeholder;
        FileStore real;
        const auto milestone = makeMilestone(real.context());
        QVERIFY(real.context()->save());
        MilestoneFormViewModel model(milestone, placeholder.context());
        model.setName(QStringLiteral("Renamed"));
        model.save();
        real.reopen();
        QCOMPARE(real.context()->fetch<Milestone>().first()->name(), QStringLiteral("Renamed"));
    }

    void withoutAnyContextNothingHappens()
    {
        MilestoneFormViewModel model(nullptr, nullptr);
        model.setName(QStringLiteral("Reward"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("no store")));
        model.save(); // no crash, nothing to write into
        QCOMPARE(model.modelContext(), nullptr);
    }

    void failedSaveIsDroppedAndKeepsTheInsert()
    {
        FileStore store;
        storetest::RawConnection raw(store.path());
        QVERIFY(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON Milestone "
                                        "BEGIN SELECT RAISE(ABORT, 'disk says no'); END")));
        MilestoneFormViewModel model(nullptr, store.context());
        model.setName(QStringLiteral("Reward"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        model.save();
        // Still in the context, waiting for the next save.
        QCOMPARE(store.context()->fetchCount<Milestone>(), 1);
        QVERIFY(store.context()->hasChanges());
        QVERIFY(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
        QVERIFY(store.context()->save());
        store.reopen();
        QCOMPARE(store.context()->fetchCount<Milestone>(), 1);
    }

    void cancelWritesNothing()
    {
        FileStore store;
        const auto milestone = makeMilestone(store.context());
        QVERIFY(store.context()->save());
        MilestoneFormViewModel model(milestone, store.context());
        model.setName(QStringLiteral("Changed"));
        model.setThumbnailData(QByteArray("new"));
        model.cancel();
        QVERIFY(!store.context()->hasChanges());
        QCOMPARE(milestone->name(), QStringLiteral("Burger run"));
    }

    // ---- List model ----

    void groupsByStatusText_data()
    {
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<QStringList>("active");
        QTest::addColumn<QStringList>("achieved");
        QTest::addColumn<QStringList>("failed");
        QTest::newRow("nothing") << QStringList() << QStringList() << QStringList() << QStringList();
        QTest::newRow("one of each") << QStringList{"active", "achieved", "failed"} << QStringList{"0"}
                                     << QStringList{"1"} << QStringList{"2"};
        QTest::newRow("unknown texts count as active")
            << QStringList{"Active", "", "ACHIEVED", "Failed", " failed", "paused"}
            << QStringList{"0", "1", "2", "3", "4", "5"} << QStringList() << QStringList();
        QTest::newRow("order kept within each group")
            << QStringList{"achieved", "active", "failed", "achieved", "active", "failed"} << QStringList{"1", "4"}
            << QStringList{"0", "3"} << QStringList{"2", "5"};
    }

    void groupsByStatusText()
    {
        QFETCH(QStringList, statuses);
        QFETCH(QStringList, active);
        QFETCH(QStringList, achieved);
        QFETCH(QStringList, failed);
        FileStore store;
        QList<std::shared_ptr<Milestone>> milestones;
        for (int i = 0; i < statuses.size(); ++i) {
            MilestoneSpec spec;
            spec.name = QString::number(i);
            spec.statusRaw = statuses[i];
            milestones.append(makeMilestone(store.context(), spec));
        }
        MilestoneListViewModel model(store.context());
        QVERIFY(model.milestones().isEmpty());
        model.setMilestones(milestones);
        QCOMPARE(names(model.activeMilestones()), active);
        QCOMPARE(names(model.achievedMilestones()), achieved);
        QCOMPARE(names(model.failedMilestones()), failed);
        QCOMPARE(model.activeMilestones().size() + model.achievedMilestones().size() + model.failedMilestones().size(),
                 milestones.size());
    }

    void deleteRemovesTheRewardAndItsLogs()
    {
        FileStore store;
        const auto kept = makeMilestone(store.context(), {.name = QStringLiteral("Kept")});
        const auto gone = makeMilestone(store.context(), {.name = QStringLiteral("Gone")});
        addMetDays(gone, 4, testNow);
        addMetDays(kept, 2, testNow);
        QVERIFY(store.context()->save());
        MilestoneListViewModel model(store.context());
        model.setMilestones({kept, gone});
        model.delete_(gone);
        // The list itself waits for the screen's query.
        QCOMPARE(model.milestones().size(), 2);
        store.reopen();
        QCOMPARE(names(store.context()->fetch<Milestone>()), QStringList{QStringLiteral("Kept")});
        QCOMPARE(store.context()->fetchCount<MilestoneLog>(), 2);
    }

    void deleteWhoseSaveFailsIsSilent()
    {
        FileStore store;
        const auto milestone = makeMilestone(store.context());
        QVERIFY(store.context()->save());
        storetest::RawConnection raw(store.path());
        QVERIFY(raw.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE DELETE ON Milestone "
                                        "BEGIN SELECT RAISE(ABORT, 'disk says no'); END")));
        MilestoneListViewModel model(store.context());
        model.setMilestones({milestone});
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        model.delete_(milestone);
        // Gone from what the context answers (the screen's query), still on disk.
        QCOMPARE(store.context()->fetchCount<Milestone>(), 0);
        QVERIFY(raw.exec(QStringLiteral("DROP TRIGGER refuse")));
        store.reopen();
        QCOMPARE(store.context()->fetchCount<Milestone>(), 1);
    }

    void deleteWithoutContextOrRewardDoesNothing()
    {
        MilestoneListViewModel model(nullptr);
        model.delete_(makeMilestone(nullptr));
        FileStore store;
        model.setModelContext(store.context());
        model.delete_(nullptr);
        QVERIFY(!store.context()->hasChanges());
    }
};

QTEST_GUILESS_MAIN(TestRewardModels)
#include "tst_rewardmodels.moc"
