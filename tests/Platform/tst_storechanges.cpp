// What the store says changed, and live queries kept current from it: after any mix of inserts, deletes
// and field changes a query's result is exactly what a fresh fetch gives, and it signals exactly when
// its list changed.
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/LiveQuery.h"
#include "Platform/Store.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QtTest>

using namespace ovlin;

Q_DECLARE_METATYPE(std::shared_ptr<ovlin::StoreRecord>)

namespace {

std::unique_ptr<StoreContainer> openStore()
{
    QString error;
    auto store = StoreContainer::openInMemory(&error);
    if (!store)
        qFatal("Cannot open an in-memory store: %s", qPrintable(error));
    return store;
}

std::shared_ptr<Reminder> makeReminder(StoreContext *context, const QString &title)
{
    const QDateTime created(QDate(2026, 1, 1), QTime(8, 0));
    auto reminder =
        Reminder::create(QUuid::createUuid(), title, ReminderCategory::water, std::nullopt, ScheduleType::fixedTime,
                         created, std::nullopt, std::nullopt, std::nullopt, {Weekday::monday}, true, created);
    context->insert(reminder);
    return reminder;
}

// Few distinct times, so many logs sort equal and the store order among them matters.
QDateTime someTime(QRandomGenerator &random)
{
    return QDateTime(QDate(2026, 3, 28).addDays(random.bounded(3)), QTime(random.bounded(4), 0));
}

} // namespace

class TestStoreChanges : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void recordsChangedNamesEachChangedRecordOnce()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        const auto reminder = makeReminder(context, QStringLiteral("Water"));
        const auto kept = ReminderLog::create(QUuid::createUuid(), reminder, QDateTime::currentDateTime(), std::nullopt,
                                              LogStatus::skipped);
        const auto gone = ReminderLog::create(QUuid::createUuid(), reminder, QDateTime::currentDateTime(), std::nullopt,
                                              LogStatus::skipped);
        context->save();
        QCoreApplication::processEvents();

        QSignalSpy types(context, &StoreContext::objectsChanged);
        QSignalSpy records(context, &StoreContext::recordsChanged);
        kept->setStatusRaw(QStringLiteral("completed"));
        kept->setStatusRaw(QStringLiteral("missed"));
        context->remove(gone);
        const auto added = ReminderLog::create(QUuid::createUuid(), reminder, QDateTime::currentDateTime(),
                                               std::nullopt, LogStatus::completed);
        QCOMPARE(records.count(), 0); // never from inside the change
        QCoreApplication::processEvents();
        QCOMPARE(types.count(), 1);
        QCOMPARE(records.count(), 1);
        const auto changed = records.at(0).at(0).value<QList<std::shared_ptr<StoreRecord>>>();
        QCOMPARE(changed, (QList<std::shared_ptr<StoreRecord>>{kept, gone, added}));

        // A save alone changes no record.
        context->save();
        QCoreApplication::processEvents();
        QCOMPARE(records.count(), 1);
    }

    void changesSinceForgetsWhatIsTooOld()
    {
        auto store = openStore();
        StoreContext *context = store->mainContext();
        const auto reminder = makeReminder(context, QStringLiteral("Water"));
        const quint64 start = context->revision();
        std::vector<StoreContext::ChangedRecord> changes;
        QVERIFY(context->changesSince(start, &changes, nullptr));
        QVERIFY(changes.empty());
        for (int i = 0; i < 20000; ++i)
            reminder->setTitle(QString::number(i));
        QVERIFY(!context->changesSince(start, &changes, nullptr));
        QVERIFY(context->changesSince(context->revision() - 1, &changes, nullptr));
        QCOMPARE(changes.size(), std::size_t(1));
        QCOMPARE(changes.front().record, std::static_pointer_cast<StoreRecord>(reminder));
    }

    void liveQueriesMatchAFreshFetch_data()
    {
        QTest::addColumn<bool>("sorted");
        QTest::addColumn<bool>("filtered");
        QTest::addColumn<bool>("saveEachStep");
        QTest::newRow("sorted, every log") << true << false << false;
        QTest::newRow("sorted, filtered") << true << true << false;
        QTest::newRow("store order, every log") << false << false << true;
        QTest::newRow("store order, filtered, saved") << false << true << true;
    }

    void liveQueriesMatchAFreshFetch()
    {
        QFETCH(bool, sorted);
        QFETCH(bool, filtered);
        QFETCH(bool, saveEachStep);
        auto store = openStore();
        StoreContext *context = store->mainContext();
        QRandomGenerator random(42);
        QList<std::shared_ptr<Reminder>> reminders{makeReminder(context, QStringLiteral("A")),
                                                   makeReminder(context, QStringLiteral("B"))};
        for (int i = 0; i < 60; ++i)
            ReminderLog::create(QUuid::createUuid(), reminders.at(i % 2), someTime(random), std::nullopt,
                                LogStatus::completed);
        context->save();

        const StoreContext::Predicate<ReminderLog> predicate =
            filtered ? [](const ReminderLog &log) { return log.statusRaw() != QLatin1String("snoozed"); }
                     : StoreContext::Predicate<ReminderLog>();
        const StoreContext::LessThan<ReminderLog> lessThan =
            sorted ? [](const ReminderLog &a, const ReminderLog &b) { return a.scheduledAt() > b.scheduledAt(); }
                   : StoreContext::LessThan<ReminderLog>();
        LiveQuery<ReminderLog> query(context, predicate, lessThan);
        QSignalSpy signalled(&query, &LiveQueryBase::resultChanged);
        auto previous = query.result();

        for (int step = 0; step < 300; ++step) {
            const auto logs = context->fetch<ReminderLog>();
            switch (random.bounded(step % 50 == 49 ? 6 : 5)) {
            case 0:
            case 1:
                ReminderLog::create(QUuid::createUuid(), reminders.at(random.bounded(2)), someTime(random),
                                    std::nullopt, random.bounded(4) ? LogStatus::completed : LogStatus::snoozed);
                break;
            case 2:
                if (!logs.isEmpty())
                    context->remove(logs.at(random.bounded(int(logs.size()))));
                break;
            case 3:
                if (!logs.isEmpty())
                    logs.at(random.bounded(int(logs.size())))->setScheduledAt(someTime(random));
                break;
            case 4:
                if (!logs.isEmpty())
                    logs.at(random.bounded(int(logs.size())))
                        ->setStatusRaw(random.bounded(2) ? QStringLiteral("snoozed") : QStringLiteral("completed"));
                break;
            case 5: reminders.at(0)->setTitle(QString::number(step)); break;
            }
            if (saveEachStep || random.bounded(3) == 0)
                context->save();
            const int before = int(signalled.count());
            const auto expected = context->fetch<ReminderLog>(predicate, lessThan);
            QCOMPARE(query.result(), expected);
            QCoreApplication::processEvents();
            QCOMPARE(int(signalled.count()) - before, expected == previous ? 0 : 1);
            QCOMPARE(query.result(), expected);
            previous = expected;
        }
    }
};

QTEST_MAIN(TestStoreChanges)
#include "tst_storechanges.moc"
