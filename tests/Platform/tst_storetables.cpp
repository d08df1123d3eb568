#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include "Support/StoreTestSupport.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;

class TestStoreTables : public QObject
{
    Q_OBJECT

private slots:
    // Users' files outlive versions: a new store is laid out exactly as the stores already on disk.
    void newStoresAreLaidOutAsTodaysFiles_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("sql");
        QTest::newRow("Reminder")
            << "Reminder"
            << "CREATE TABLE Reminder (pk INTEGER PRIMARY KEY, id TEXT NOT NULL, title TEXT NOT "
               "NULL, category TEXT NOT NULL, detail TEXT, scheduleType TEXT NOT NULL, fixedTime "
               "INTEGER, intervalMinutes INTEGER, intervalStart INTEGER, intervalEnd INTEGER, "
               "activeDaysRaw TEXT NOT NULL, isActive INTEGER NOT NULL, createdAt INTEGER) STRICT";
        QTest::newRow("ReminderLog")
            << "ReminderLog"
            << "CREATE TABLE ReminderLog (pk INTEGER PRIMARY KEY, id TEXT NOT NULL, scheduledAt "
               "INTEGER, completedAt INTEGER, statusRaw TEXT NOT NULL, reminder INTEGER) STRICT";
        QTest::newRow("Milestone")
            << "Milestone"
            << "CREATE TABLE Milestone (pk INTEGER PRIMARY KEY, id TEXT NOT NULL, name TEXT NOT "
               "NULL, reward TEXT NOT NULL, requireDays INTEGER NOT NULL, requirePercent REAL, "
               "linkedCategoryRaw TEXT, startDate INTEGER, statusRaw TEXT NOT NULL, thumbnailData "
               "BLOB) STRICT";
        QTest::newRow("MilestoneLog") << "MilestoneLog"
                                      << "CREATE TABLE MilestoneLog (pk INTEGER PRIMARY KEY, id TEXT NOT NULL, date "
                                         "INTEGER, completionRate REAL, didMeetThreshold INTEGER NOT NULL, milestone "
                                         "INTEGER) STRICT";
    }

    void newStoresAreLaidOutAsTodaysFiles()
    {
        QFETCH(QString, table);
        QFETCH(QString, sql);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ovlin.store"));
        QString error;
        QVERIFY2(StoreContainer::open(path, &error), qPrintable(error));

        storetest::RawConnection raw(path);
        QCOMPARE(raw.scalar(QStringLiteral("PRAGMA user_version")).toInt(), 1);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT count(*) FROM sqlite_master")).toInt(), 4);
        QCOMPARE(raw.scalar(QStringLiteral("SELECT sql FROM sqlite_master WHERE name = '%1'").arg(table)).toString(),
                 sql);
    }

    // Only reminders keep rows in the file: asking any other record for them loads nothing and changes nothing.
    void recordsWithoutKeptRowsLoadNothing()
    {
        QTemporaryDir dir;
        QString error;
        auto container = StoreContainer::open(dir.filePath(QStringLiteral("Ovlin.store")), &error);
        QVERIFY2(container, qPrintable(error));
        StoreContext *context = container->mainContext();
        const auto milestone =
            Milestone::create(QUuid::createUuid(), QStringLiteral("Week"), QStringLiteral("Cake"), 3, 0.8, std::nullopt,
                              QDateTime::fromSecsSinceEpoch(0), MilestoneStatus::active);
        context->insert(milestone);
        MilestoneLog::create(QUuid::createUuid(), milestone, QDateTime::fromSecsSinceEpoch(0), 1.0, true);
        QVERIFY(context->save());
        const quint64 revision = context->revision();

        QVERIFY(context->loadArchivedLogs(*milestone));
        QVERIFY(context->loadArchivedLogs(*milestone->dailyLogs().first()));
        QCOMPARE(context->revision(), revision);
        QCOMPARE(milestone->dailyLogs().size(), 1);
        QVERIFY(!context->hasChanges());
    }
};

QTEST_MAIN(TestStoreTables)
#include "tst_storetables.moc"
