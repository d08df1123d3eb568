#include "Base/Clock.h"
#include "Base/Days.h"

#include <QtTest>

using namespace ovlin;

// Runs under TZ=Europe/Berlin: clocks go forward on 2026-03-29 at 02:00 and back on 2026-10-25 at 03:00.
class TestDays : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void atTime_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<int>("hour");
        QTest::addColumn<int>("minute");
        QTest::addColumn<QString>("expectedUtc");

        QTest::newRow("ordinary winter") << QDate(2026, 1, 15) << 9 << 0 << "2026-01-15T08:00:00Z";
        QTest::newRow("gap becomes 03:00") << QDate(2026, 3, 29) << 2 << 30 << "2026-03-29T01:00:00Z";
        QTest::newRow("after gap") << QDate(2026, 3, 29) << 3 << 0 << "2026-03-29T01:00:00Z";
        QTest::newRow("repeated takes first") << QDate(2026, 10, 25) << 2 << 30 << "2026-10-25T00:30:00Z";
        QTest::newRow("after repeat") << QDate(2026, 10, 25) << 3 << 0 << "2026-10-25T02:00:00Z";
    }

    void atTime()
    {
        QFETCH(QDate, day);
        QFETCH(int, hour);
        QFETCH(int, minute);
        QFETCH(QString, expectedUtc);
        QCOMPARE(Days::atTime(day, hour, minute).toUTC(), QDateTime::fromString(expectedUtc, Qt::ISODate));
    }

    void dayLengthsAcrossChanges_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<qint64>("hours");
        QTest::newRow("spring forward") << QDate(2026, 3, 29) << qint64(23);
        QTest::newRow("fall back") << QDate(2026, 10, 25) << qint64(25);
        QTest::newRow("ordinary") << QDate(2026, 6, 1) << qint64(24);
    }

    void dayLengthsAcrossChanges()
    {
        QFETCH(QDate, day);
        QFETCH(qint64, hours);
        const QDateTime noon = Days::atTime(day, 12, 0);
        QCOMPARE(Days::startOfDay(noon).secsTo(Days::startOfNextDay(noon)), hours * 3600);
    }

    void addDaysKeepsWallClock()
    {
        const QDateTime before = Days::atTime(QDate(2026, 3, 28), 9, 15);
        const QDateTime after = Days::addDays(before, 1);
        QCOMPARE(after.date(), QDate(2026, 3, 29));
        QCOMPARE(after.time(), QTime(9, 15));
        QCOMPARE(before.secsTo(after), qint64(23 * 3600));
        QCOMPARE(Days::addDays(after, -1), before);
    }

    void calendarWeekday()
    {
        QCOMPARE(Days::calendarWeekday(QDate(2026, 12, 6)), 1);  // Sunday
        QCOMPARE(Days::calendarWeekday(QDate(2026, 12, 7)), 2);  // Monday
        QCOMPARE(Days::calendarWeekday(QDate(2026, 12, 12)), 7); // Saturday
    }

    void dayKeyAndClock()
    {
        ScopedFakeClock clock(Days::atTime(QDate(2026, 2, 3), 23, 59));
        QCOMPARE(Days::dayKey(Clock::now()), QStringLiteral("2026-02-03"));
        Clock::advance(60);
        QCOMPARE(Days::dayKey(Clock::now()), QStringLiteral("2026-02-04"));
    }
};

QTEST_GUILESS_MAIN(TestDays)
#include "tst_days.moc"
