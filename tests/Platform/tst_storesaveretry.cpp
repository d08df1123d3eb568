#include "Base/Clock.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/Store.h"

#include "Support/StoreTestSupport.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

using namespace ovlin;
using namespace storetest;
using namespace std::chrono_literals;

namespace {

std::shared_ptr<Reminder> makeReminder(const QString &title)
{
    return Reminder::create(QUuid::createUuid(), title, ReminderCategory::water, std::nullopt, ScheduleType::fixedTime,
                            utc("2026-01-01T08:00:00Z"), std::nullopt, std::nullopt, std::nullopt, {Weekday::monday},
                            true, utc("2026-01-01T07:00:00Z"));
}

std::shared_ptr<ReminderLog> makeLog(const std::shared_ptr<Reminder> &reminder, const char *scheduledAt)
{
    return ReminderLog::create(QUuid::createUuid(), reminder, utc(scheduledAt), std::nullopt, LogStatus::completed);
}

// What a store holds, the same whether read from the file or from a context: reminder titles in row order,
// then per reminder the number of its logs.
QString fileState(RawConnection &raw)
{
    return raw
        .scalar(QStringLiteral(
            "SELECT coalesce(group_concat(title || ':' || (SELECT count(*) FROM ReminderLog l WHERE l.reminder = "
            "r.pk), "
            "' '), '') || ' / ' || (SELECT count(*) FROM ReminderLog) || ' logs, ' || "
            "(SELECT count(DISTINCT id) FROM ReminderLog) || ' ids' FROM (SELECT * FROM Reminder ORDER BY pk) r"))
        .toString();
}

QString contextState(StoreContext &context)
{
    QStringList reminders;
    for (const auto &reminder : context.fetch<Reminder>())
        reminders.append(QStringLiteral("%1:%2").arg(reminder->title()).arg(reminder->logs().size()));
    QSet<QUuid> ids;
    const auto logs = context.fetch<ReminderLog>();
    for (const auto &log : logs)
        ids.insert(log->id());
    return QStringLiteral("%1 / %2 logs, %3 ids")
        .arg(reminders.join(QLatin1Char(' ')))
        .arg(logs.size())
        .arg(ids.size());
}

} // namespace

class TestStoreSaveRetry : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StoreContainer> m_store;
    std::shared_ptr<Reminder> m_water;
    std::shared_ptr<Reminder> m_walk;

    QString storePath() const { return m_dir->filePath(QStringLiteral("Test.store")); }

    void reopen()
    {
        m_water.reset();
        m_walk.reset();
        m_store.reset();
        QString error;
        m_store = StoreContainer::open(storePath(), &error);
        QVERIFY2(m_store, qPrintable(error));
    }

    // Makes the change named `change`; answers the state the store holds once it is saved.
    QString makeChange(const QString &change)
    {
        StoreContext &context = *m_store->mainContext();
        if (change == QLatin1String("insert") || change == QLatin1String("all"))
            makeLog(m_water, "2026-01-02T08:00:00Z");
        if (change == QLatin1String("update") || change == QLatin1String("all"))
            m_water->setTitle(QStringLiteral("Water daily"));
        if (change == QLatin1String("delete") || change == QLatin1String("all"))
            context.remove(m_water->logs().first());
        if (change == QLatin1String("cascade") || change == QLatin1String("all"))
            context.remove(m_walk);
        static const QHash<QString, QString> saved{
            {QStringLiteral("insert"), QStringLiteral("Water:2 Walk:2 / 4 logs, 4 ids")},
            {QStringLiteral("update"), QStringLiteral("Water daily:1 Walk:2 / 3 logs, 3 ids")},
            {QStringLiteral("delete"), QStringLiteral("Water:0 Walk:2 / 2 logs, 2 ids")},
            {QStringLiteral("cascade"), QStringLiteral("Water:1 / 1 logs, 1 ids")},
            {QStringLiteral("all"), QStringLiteral("Water daily:1 / 1 logs, 1 ids")},
        };
        return saved.value(change);
    }

private Q_SLOTS:
    void init()
    {
        Clock::setNow(utc("2026-01-04T12:00:00Z"));
        m_dir = std::make_unique<QTemporaryDir>();
        QString error;
        m_store = StoreContainer::open(storePath(), &error);
        QVERIFY2(m_store, qPrintable(error));
        StoreContext &context = *m_store->mainContext();
        m_water = makeReminder(QStringLiteral("Water"));
        m_walk = makeReminder(QStringLiteral("Walk"));
        context.insert(m_water);
        context.insert(m_walk);
        makeLog(m_water, "2026-01-01T08:00:00Z");
        makeLog(m_walk, "2026-01-01T09:00:00Z");
        makeLog(m_walk, "2026-01-02T09:00:00Z");
        QVERIFY(context.save());
        QCoreApplication::processEvents(); // the seeding's notifications
    }

    void cleanup()
    {
        m_water.reset();
        m_walk.reset();
        m_store.reset();
        m_dir.reset();
        Clock::useSystemTime();
    }

    // An open store waits only briefly for another program's lock: long enough for a short write of
    // someone else to pass, never long enough to freeze the window.
    void openStoreWaitsBriefly()
    {
        QCOMPARE(m_store->busyTimeout(), StoreContainer::runningBusyTimeoutMs);
        QCOMPARE_LT(StoreContainer::runningBusyTimeoutMs, 500);
    }

    void lockedSaveIsRetried_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("retry");
        for (const char *change : {"insert", "update", "delete", "cascade", "all"}) {
            for (const char *retry : {"retry handler", "retry timer", "next save"})
                QTest::addRow("%s, %s", change, retry) << QString::fromLatin1(change) << QString::fromLatin1(retry);
        }
    }

    // A save that finds the file locked fails at once and keeps the change, shown as made; once the lock is
    // gone the retry writes exactly what waited, once, and announces only the save.
    void lockedSaveIsRetried()
    {
        QFETCH(QString, change);
        QFETCH(QString, retry);
        StoreContext &context = *m_store->mainContext();
        RawConnection other(storePath());
        const QString before = fileState(other);
        QCOMPARE(before, contextState(context));
        if (retry == QLatin1String("retry timer"))
            context.setRetryDelays(1ms, 5ms);

        LiveQuery<ReminderLog> logs(&context);
        LiveQuery<Reminder> reminders(&context);
        QSignalSpy logsChanged(&logs, &LiveQueryBase::resultChanged);
        QSignalSpy remindersChanged(&reminders, &LiveQueryBase::resultChanged);
        QSignalSpy objectsChanged(&context, &StoreContext::objectsChanged);
        QSignalSpy saved(&context, &StoreContext::didSave);

        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        const QString expected = makeChange(change);
        QVERIFY(context.hasChanges());

        QString error;
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed: .*database is locked")));
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(!context.save(&error));
        QCOMPARE_LT(elapsed.elapsed(), 2000);
        QVERIFY2(StoreContainer::isLockedError(error), qPrintable(error));
        QVERIFY(context.hasChanges());
        QVERIFY(context.saveRetryTimer().isActive());
        QCOMPARE(contextState(context), expected);
        QCOMPARE(fileState(other), before);

        // The change itself was announced; nothing more until it is written.
        QTRY_COMPARE(objectsChanged.count(), 1);
        const auto logsSignals = logsChanged.count();
        const auto remindersSignals = remindersChanged.count();
        QCOMPARE(saved.count(), 0);
        QCOMPARE(fileState(other), before);
        QVERIFY(context.hasChanges());

        QVERIFY(other.exec(QStringLiteral("ROLLBACK")));
        if (retry == QLatin1String("retry handler"))
            QVERIFY(context.retryFailedSave());
        else if (retry == QLatin1String("next save"))
            QVERIFY(context.save());
        QTRY_VERIFY(!context.hasChanges());
        QVERIFY(!context.saveRetryTimer().isActive());
        QCOMPARE(fileState(other), expected);
        QCOMPARE(contextState(context), expected);

        QTRY_COMPARE(saved.count(), 1);
        QCOMPARE(objectsChanged.count(), 1);
        QCOMPARE(logsChanged.count(), logsSignals);
        QCOMPARE(remindersChanged.count(), remindersSignals);
        QCOMPARE(logs.result(), context.fetch<ReminderLog>());

        // Nothing was written twice, and nothing is left to write.
        QVERIFY(context.save());
        reopen();
        QCOMPARE(contextState(*m_store->mainContext()), expected);
        QCOMPARE(fileState(other), expected);
    }

    // The retry waits longer after each failure, and stops as soon as nothing waits.
    void retryTimerRunsOnlyWhileChangesWait()
    {
        StoreContext &context = *m_store->mainContext();
        RawConnection other(storePath());
        QVERIFY(!context.saveRetryTimer().isActive());
        QVERIFY(other.exec(QStringLiteral("BEGIN EXCLUSIVE")));
        auto log = makeLog(m_water, "2026-01-02T08:00:00Z");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context.save());

        QList<qint64> intervals{context.saveRetryTimer().intervalAsDuration().count()};
        for (int i = 0; i < 6; ++i) {
            QVERIFY(!context.retryFailedSave());
            QVERIFY(context.saveRetryTimer().isActive());
            intervals.append(context.saveRetryTimer().intervalAsDuration().count());
        }
        QCOMPARE(intervals, (QList<qint64>{1000, 2000, 4000, 8000, 16000, 30000, 30000}));

        // The log that waited is taken back: nothing is left to write, and the retry stops.
        context.remove(log);
        QVERIFY(!context.hasChanges());
        QVERIFY(context.retryFailedSave());
        QVERIFY(!context.saveRetryTimer().isActive());
        QVERIFY(other.exec(QStringLiteral("ROLLBACK")));
        QCOMPARE(fileState(other), QStringLiteral("Water:1 Walk:2 / 3 logs, 3 ids"));

        // A save that succeeds leaves no retry behind either.
        makeLog(m_water, "2026-01-02T08:00:00Z");
        QVERIFY(context.save());
        QVERIFY(!context.saveRetryTimer().isActive());
    }

    void saveBeforeClosing_data()
    {
        QTest::addColumn<bool>("locked");
        QTest::addColumn<int>("releaseAfterMs");
        QTest::addColumn<int>("budgetMs");
        QTest::addColumn<bool>("saved");
        QTest::newRow("not locked") << false << 0 << 1000 << true;
        QTest::newRow("lock released within the wait") << true << 300 << 20000 << true;
        QTest::newRow("lock held throughout") << true << 60000 << 300 << false;
    }

    // The last save waits a while for another program's lock; what it still cannot write is named in the log.
    void saveBeforeClosing()
    {
        QFETCH(bool, locked);
        QFETCH(int, releaseAfterMs);
        QFETCH(int, budgetMs);
        QFETCH(bool, saved);
        StoreContext &context = *m_store->mainContext();
        QVERIFY(m_store->saveBeforeClosing(0ms)); // nothing waits

        StoreLockHolder holder(storePath(), 60000);
        if (locked)
            QVERIFY(holder.lock());
        auto log = makeLog(m_water, "2026-01-02T08:00:00Z");
        m_water->setTitle(QStringLiteral("Water daily"));
        if (locked) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
            QVERIFY(!context.save());
        }
        if (!saved) {
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                                   "Closing .*Test.store with changes that could not be saved: "
                                                   ".*database is locked")));
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(
                    QStringLiteral(
                        "^Not saved: ReminderLog %1 inserted: id='%2', .*statusRaw='completed', reminder=%3$")
                        .arg(log->persistentId())
                        .arg(log->id().toString(QUuid::WithoutBraces))
                        .arg(m_water->persistentId()),
                    QRegularExpression::CaseInsensitiveOption));
            QTest::ignoreMessage(
                QtWarningMsg,
                QRegularExpression(QStringLiteral("^Not saved: Reminder %1 updated: id='.*', title='Water daily', ")
                                       .arg(m_water->persistentId())));
        }

        holder.releaseAfter(releaseAfterMs);
        QCOMPARE(m_store->saveBeforeClosing(std::chrono::milliseconds(budgetMs)), saved);
        QCOMPARE(context.hasChanges(), !saved);
        QCOMPARE(m_store->busyTimeout(), StoreContainer::runningBusyTimeoutMs);
        holder.release();
        holder.wait();
        RawConnection other(storePath());
        QCOMPARE(fileState(other), saved ? QStringLiteral("Water daily:2 Walk:2 / 4 logs, 4 ids")
                                         : QStringLiteral("Water:1 Walk:2 / 3 logs, 3 ids"));
    }

    // The last save's log line counts what waits in words that fit the number.
    void closingCountsWhatWaits_data()
    {
        QTest::addColumn<bool>("two");
        QTest::addColumn<QString>("count");
        QTest::newRow("one change") << false << "1 change";
        QTest::newRow("two changes") << true << "2 changes";
    }

    void closingCountsWhatWaits()
    {
        QFETCH(bool, two);
        QFETCH(QString, count);
        makeLog(m_water, "2026-01-02T08:00:00Z");
        if (two)
            m_water->setTitle(QStringLiteral("Water daily"));
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression(QStringLiteral("- saving %1 that waited first$").arg(count)));
        QVERIFY(m_store->saveBeforeClosing(1s));
    }
};

QTEST_MAIN(TestStoreSaveRetry)
#include "tst_storesaveretry.moc"
