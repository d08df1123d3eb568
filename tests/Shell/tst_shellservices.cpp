#include "Analytics/DefaultSignalPayload.h"
#include "Shell/ShellServices.h"

#include <QApplication>
#include <QPalette>
#include <QScreen>
#include <QtTest>

#include <functional>
#include <thread>

using namespace ovlin;

namespace {

// The payload as a client thread of its own builds it.
analytics::Parameters parametersOnAnotherThread()
{
    analytics::Parameters parameters;
    std::thread builder([&parameters] { parameters = analytics::DefaultSignalPayload::parameters(); });
    builder.join();
    return parameters;
}

} // namespace

// The live services' side of the analytics client: the facts only the GUI knows.
class TestShellServices : public QObject
{
    Q_OBJECT

private:
    QPalette m_palette;

private Q_SLOTS:
    void initTestCase()
    {
        m_palette = QGuiApplication::palette();
        ShellServices::live()->initializeAnalytics();
    }

    void cleanup()
    {
        QGuiApplication::setLayoutDirection(Qt::LeftToRight);
        QGuiApplication::setPalette(m_palette);
    }

    void factsAsTheyAreAtLaunch()
    {
        const QScreen *screen = QGuiApplication::primaryScreen();
        QVERIFY(screen);
        const analytics::Parameters p = analytics::DefaultSignalPayload::parameters();
        QCOMPARE(p.value("Analytics.Device.screenResolutionWidth"), QStringLiteral("%1.0").arg(screen->size().width()));
        QCOMPARE(p.value("Analytics.Device.screenResolutionHeight"),
                 QStringLiteral("%1.0").arg(screen->size().height()));
        QCOMPARE(p.value("Analytics.UserPreference.colorScheme"), QStringLiteral("Light"));
        QCOMPARE(p.value("Analytics.UserPreference.layoutDirection"), QStringLiteral("leftToRight"));
    }

    // A change after launch shows in the next payload.
    void changedFactsReachTheNextPayload_data()
    {
        QTest::addColumn<std::function<void()>>("change");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("value");
        QTest::newRow("right to left") << std::function<void()>([] {
            QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        }) << "Analytics.UserPreference.layoutDirection"
                                       << "rightToLeft";
        QTest::newRow("dark appearance") << std::function<void()>([] {
            QPalette dark = QGuiApplication::palette();
            dark.setColor(QPalette::Window, Qt::black);
            dark.setColor(QPalette::WindowText, Qt::white);
            QGuiApplication::setPalette(dark);
        }) << "Analytics.UserPreference.colorScheme"
                                         << "Dark";
    }

    void changedFactsReachTheNextPayload()
    {
        QFETCH(std::function<void()>, change);
        QFETCH(QString, key);
        QFETCH(QString, value);
        QVERIFY(analytics::DefaultSignalPayload::parameters().value(key) != value);
        change();
        QCOMPARE(analytics::DefaultSignalPayload::parameters().value(key), value);
        QCOMPARE(parametersOnAnotherThread().value(key), value);
    }

    // Off the GUI thread no screen is read: the facts are those the GUI thread saw last, renewed when
    // they change.
    void otherThreadsSeeTheLatestChange()
    {
        QCOMPARE(parametersOnAnotherThread().value("Analytics.UserPreference.layoutDirection"),
                 QStringLiteral("leftToRight"));
        QGuiApplication::setLayoutDirection(Qt::RightToLeft);
        QCOMPARE(parametersOnAnotherThread().value("Analytics.UserPreference.layoutDirection"),
                 QStringLiteral("rightToLeft"));
    }
};

QTEST_MAIN(TestShellServices)
#include "tst_shellservices.moc"
