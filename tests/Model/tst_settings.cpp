#include "Base/Clock.h"
#include "Base/Days.h"
#include "Base/Defaults.h"
#include "Model/AppSettings.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;

namespace {
QTime timeOf(const QDateTime &d)
{
    return d.toLocalTime().time();
}
} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_path;
    QDateTime m_now = Days::atTime(QDate(2026, 12, 6), 14, 37, 12);

    std::shared_ptr<Defaults> freshDefaults()
    {
        static int n = 0;
        m_path = m_dir.filePath(QStringLiteral("settings-%1.defaults").arg(++n));
        return std::make_shared<Defaults>(m_path);
    }

private Q_SLOTS:
    void init() { Clock::setNow(m_now); }
    void cleanup() { Clock::useSystemTime(); }

    void defaultsWithNoKeys()
    {
        auto defaults = freshDefaults();
        AppSettings s(defaults);
        QCOMPARE(s.soundEnabled(), true);
        QCOMPARE(s.quietHoursEnabled(), false);
        QCOMPARE(timeOf(s.quietStart()), QTime(22, 0));
        QCOMPARE(timeOf(s.quietEnd()), QTime(7, 0));
        QCOMPARE(s.theme(), AppTheme::system);
        QCOMPARE(s.gracePeriodEnabled(), true);
        QVERIFY(!s.graceUsedThisWeek());
        QCOMPARE(s.gracePeriodStart(), Days::startOfDay(m_now));
        QCOMPARE(s.streakThreshold(), 0.8);
        QCOMPARE(s.eveningReminderEnabled(), true);
        QCOMPARE(timeOf(s.eveningReminderTime()), QTime(20, 0));
        QCOMPARE(s.dailySummaryEnabled(), true);
        QCOMPARE(timeOf(s.dailySummaryTime()), QTime(21, 30));
        QCOMPARE(s.graceDaysPerWeek(), qint64(1));
        QCOMPARE(s.launchAtLogin(), false);
        QCOMPARE(s.hasCompletedOnboarding(), false);
        QCOMPARE(s.firstLaunchDate(), m_now);
        // Only the first launch date is written by loading.
        QCOMPARE(defaults->keys(), QStringList{QStringLiteral("firstLaunchDate")});
        QCOMPARE(defaults->numberValue(QStringLiteral("firstLaunchDate")), m_now.toMSecsSinceEpoch() / 1000.0);
    }

    void typedLoadRules_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<QString>("expected");

        QTest::newRow("text for sound reads default true") << "soundEnabled" << QVariant(u"no"_qs) << "true";
        QTest::newRow("stored false") << "soundEnabled" << QVariant(false) << "false";
        QTest::newRow("quiet start zero") << "quietStart" << QVariant(0.0) << "22:00";
        QTest::newRow("quiet start negative") << "quietStart" << QVariant(-5.0) << "22:00";
        QTest::newRow("quiet start positive") << "quietStart" << QVariant(3600.0) << "1970-01-01T01:00:00Z";
        QTest::newRow("quiet start infinite") << "quietStart" << QVariant(qInf()) << "22:00";
        QTest::newRow("grace used zero") << "graceUsedThisWeek" << QVariant(0.0) << "1970-01-01T00:00:00Z";
        QTest::newRow("grace used text") << "graceUsedThisWeek" << QVariant(u"0"_qs) << "absent";
        QTest::newRow("grace used NaN") << "graceUsedThisWeek" << QVariant(qQNaN()) << "absent";
        QTest::newRow("theme dark") << "theme" << QVariant(u"dark"_qs) << "dark";
        QTest::newRow("theme capital") << "theme" << QVariant(u"Dark"_qs) << "system";
        QTest::newRow("threshold integer") << "streakThreshold" << QVariant(1) << "1";
        QTest::newRow("grace days double") << "graceDaysPerWeek" << QVariant(2.0) << "1";
        QTest::newRow("first launch zero") << "firstLaunchDate" << QVariant(0.0) << "now";
    }

    void typedLoadRules()
    {
        QFETCH(QString, key);
        QFETCH(QVariant, stored);
        QFETCH(QString, expected);
        auto defaults = freshDefaults();
        defaults->setObject(key, stored);
        AppSettings s(defaults);

        auto dateText = [](const QDateTime &d) { return d.toUTC().toString(Qt::ISODate); };
        QString actual;
        if (key == u"soundEnabled")
            actual = s.soundEnabled() ? u"true"_qs : u"false"_qs;
        else if (key == u"quietStart")
            actual = expected.size() == 5 ? timeOf(s.quietStart()).toString(u"HH:mm"_qs) : dateText(s.quietStart());
        else if (key == u"graceUsedThisWeek")
            actual = s.graceUsedThisWeek() ? dateText(*s.graceUsedThisWeek()) : u"absent"_qs;
        else if (key == u"theme")
            actual = rawValue(s.theme());
        else if (key == u"streakThreshold")
            actual = QString::number(s.streakThreshold());
        else if (key == u"graceDaysPerWeek")
            actual = QString::number(s.graceDaysPerWeek());
        else if (key == u"firstLaunchDate")
            actual = s.firstLaunchDate() == m_now ? u"now"_qs : dateText(s.firstLaunchDate());
        QCOMPARE(actual, expected);
    }

    void writesThroughAndReadsBack()
    {
        auto defaults = freshDefaults();
        const QDateTime picked = Days::atTime(QDate(2026, 12, 6), 23, 15);
        const QDateTime used = Days::atTime(QDate(2026, 12, 1), 9, 0);
        {
            AppSettings s(defaults);
            QSignalSpy spy(&s, &AppSettings::changed);
            s.setSoundEnabled(false);
            s.setQuietHoursEnabled(true);
            s.setQuietStart(picked);
            s.setGraceUsedThisWeek(used);
            s.setHasCompletedOnboarding(true);
            QCOMPARE(spy.count(), 5);
            QCOMPARE(spy.at(0).at(0).toString(), u"soundEnabled"_qs);
            QCOMPARE(defaults->boolValue(u"soundEnabled"_qs), false);
        }
        AppSettings reread(std::make_shared<Defaults>(m_path));
        QCOMPARE(reread.soundEnabled(), false);
        QCOMPARE(reread.quietHoursEnabled(), true);
        QCOMPARE(reread.quietStart(), picked);
        QCOMPARE(reread.graceUsedThisWeek(), std::optional<QDateTime>(used));
        QCOMPARE(reread.hasCompletedOnboarding(), true);

        reread.setGraceUsedThisWeek(std::nullopt);
        QVERIFY(!std::make_shared<Defaults>(m_path)->contains(u"graceUsedThisWeek"_qs));
        QVERIFY(!AppSettings(std::make_shared<Defaults>(m_path)).graceUsedThisWeek());
    }

    void defaultTimeSurvivesBeingEdited()
    {
        // A time picked from the default keeps a positive date, so the next start reads it back.
        auto defaults = freshDefaults();
        {
            AppSettings s(defaults);
            QDateTime edited = s.eveningReminderTime();
            edited.setTime(QTime(19, 45));
            s.setEveningReminderTime(edited);
        }
        QCOMPARE(timeOf(AppSettings(std::make_shared<Defaults>(m_path)).eveningReminderTime()), QTime(19, 45));
    }

    void quietHours_data()
    {
        QTest::addColumn<QTime>("start");
        QTest::addColumn<QTime>("end");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QTime>("at");
        QTest::addColumn<bool>("quiet");

        const QTime s1(22, 0), e1(7, 0);
        QTest::newRow("overnight 21:59") << s1 << e1 << true << QTime(21, 59) << false;
        QTest::newRow("overnight 22:00") << s1 << e1 << true << QTime(22, 0) << true;
        QTest::newRow("overnight 06:59:59") << s1 << e1 << true << QTime(6, 59, 59) << true;
        QTest::newRow("overnight 07:00") << s1 << e1 << true << QTime(7, 0) << false;
        const QTime s2(13, 0), e2(15, 0);
        QTest::newRow("day 13:00") << s2 << e2 << true << QTime(13, 0) << true;
        QTest::newRow("day 15:00") << s2 << e2 << true << QTime(15, 0) << false;
        QTest::newRow("equal start and end") << s1 << s1 << true << QTime(22, 0) << false;
        QTest::newRow("disabled") << s2 << e2 << false << QTime(14, 0) << false;
    }

    void quietHours()
    {
        QFETCH(QTime, start);
        QFETCH(QTime, end);
        QFETCH(bool, enabled);
        QFETCH(QTime, at);
        QFETCH(bool, quiet);
        AppSettings s(freshDefaults());
        s.setQuietHoursEnabled(enabled);
        // Times of day are taken from whatever day the stored date carries.
        s.setQuietStart(Days::atTime(QDate(2020, 5, 1), start.hour(), start.minute()));
        s.setQuietEnd(Days::atTime(QDate(2024, 1, 9), end.hour(), end.minute()));
        QCOMPARE(s.isInQuietHours(Days::atTime(QDate(2026, 12, 6), at.hour(), at.minute(), at.second())), quiet);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
