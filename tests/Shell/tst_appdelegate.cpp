#include "Shell/ShellTestSupport.h"

#include "Platform/FakeNotificationCenter.h"
#include "Platform/Uuid.h"
#include "Shell/AppDelegate.h"

#include <QWidget>
#include <QtTest>

using namespace ovlin;
using namespace shelltest;

namespace {

// A scene of plain widgets: windows() lists the open ones, openWindow() opens one.
class FakeScene : public WindowScene
{
public:
    ~FakeScene() override { qDeleteAll(m_windows); }
    QList<QWidget *> windows() const override
    {
        QList<QWidget *> list;
        for (const auto &w : m_windows)
            if (w)
                list << w.data();
        return list;
    }
    QWidget *openWindow() override
    {
        ++opened;
        auto *w = new QWidget;
        w->resize(300, 200);
        m_windows << w;
        return w;
    }
    QWidget *addHiddenWindow()
    {
        auto *w = new QWidget;
        w->resize(300, 200);
        m_windows << w;
        return w;
    }
    int opened = 0;

private:
    QList<QPointer<QWidget>> m_windows;
};

NotificationRequest requestWithInfo(const QVariantMap &info)
{
    NotificationRequest request;
    request.identifier = QStringLiteral("ovlin-test");
    request.content.title = QStringLiteral("Water");
    request.content.categoryIdentifier = QStringLiteral("TAMSI_REMINDER");
    request.content.userInfo = info;
    request.trigger = TimeIntervalTrigger{60};
    return request;
}

} // namespace

class TestAppDelegate : public QObject
{
    Q_OBJECT

private:
    std::shared_ptr<Journal> m_journal;
    std::unique_ptr<FakeNotificationCenter> m_center;

    std::unique_ptr<AppDelegate> makeDelegate()
    {
        return std::make_unique<AppDelegate>(enginetest::openStore(), fakeServices(m_journal, m_center.get()));
    }

private slots:
    void init()
    {
        m_journal = std::make_shared<Journal>();
        m_center = std::make_unique<FakeNotificationCenter>();
    }
    void cleanup() { m_center.reset(); }

    void launchSequenceRunsInOrderOnce()
    {
        auto delegate = makeDelegate();
        QVERIFY(!delegate->menuBarController());
        QVERIFY(m_journal->calls.isEmpty());

        delegate->applicationDidFinishLaunching();
        const QStringList expected{
            QStringLiteral("appearance"),
            QStringLiteral("analytics.initialize"),
            QStringLiteral("analytics.send app.launched"),
            QStringLiteral("notificationCenter"),
            QStringLiteral("menuBar.create"),
            QStringLiteral("menuBar.setup"),
            QStringLiteral("menuBar.attach"),
            QStringLiteral("presentation.start"),
        };
        QCOMPARE(m_journal->calls, expected);
        QVERIFY(delegate->menuBarController());
        QCOMPARE(m_center->delegate(), static_cast<NotificationCenterDelegate *>(delegate.get()));

        delegate->applicationDidFinishLaunching();
        QCOMPARE(m_journal->calls, expected);
    }

    void launchGoesOnWithoutMenuBarOrCentre()
    {
        auto services = fakeServices(m_journal, nullptr);
        services->makeMenuBarController = [] { return std::unique_ptr<StatusItemController>(); };
        AppDelegate delegate(enginetest::openStore(), services);
        delegate.applicationDidFinishLaunching();
        QVERIFY(!delegate.menuBarController());
        QCOMPARE(m_journal->calls.last(), QStringLiteral("presentation.start"));
    }

    void delegateIsTheCurrentOneWhileItLives()
    {
        {
            auto first = makeDelegate();
            auto second = makeDelegate();
            QCOMPARE(AppDelegate::current(), first.get());
        }
        QCOMPARE(AppDelegate::current(), nullptr);
    }

    void releasesTheCentreWhenGone()
    {
        {
            auto delegate = makeDelegate();
            delegate->applicationDidFinishLaunching();
            QVERIFY(m_center->delegate());
        }
        QCOMPARE(m_center->delegate(), nullptr);
    }

    void nothingIsShownWhileFrontmost()
    {
        auto delegate = makeDelegate();
        QCOMPARE(delegate->willPresent(requestWithInfo({})), PresentationOptions());
        QVERIFY(!delegate->applicationShouldTerminateAfterLastWindowClosed());
    }

    void notificationAnswers_data()
    {
        QTest::addColumn<QVariant>("reminderID");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("routed");
        const QString id = QStringLiteral("5E0C8D34-1B7A-4C59-9F3E-2A6B7C8D9E01");
        QTest::newRow("complete") << QVariant(id) << QStringLiteral("COMPLETE") << true;
        QTest::newRow("snooze") << QVariant(id) << QStringLiteral("SNOOZE") << true;
        QTest::newRow("click") << QVariant(id) << NotificationResponse::defaultActionIdentifier << true;
        QTest::newRow("other action still reaches the scheduler") << QVariant(id) << QStringLiteral("X") << true;
        QTest::newRow("lower-case id") << QVariant(id.toLower()) << QStringLiteral("COMPLETE") << true;
        QTest::newRow("no id") << QVariant() << QStringLiteral("COMPLETE") << false;
        QTest::newRow("number") << QVariant(42) << QStringLiteral("COMPLETE") << false;
        QTest::newRow("not a UUID") << QVariant(QStringLiteral("water")) << QStringLiteral("COMPLETE") << false;
        QTest::newRow("braced UUID") << QVariant(QLatin1Char('{') + id + QLatin1Char('}')) << QStringLiteral("SNOOZE")
                                     << false;
    }

    void notificationAnswers()
    {
        QFETCH(QVariant, reminderID);
        QFETCH(QString, action);
        QFETCH(bool, routed);
        auto delegate = makeDelegate();
        delegate->applicationDidFinishLaunching();
        QVariantMap info;
        if (reminderID.isValid())
            info.insert(QStringLiteral("reminderID"), reminderID);
        const QDateTime delivered(QDate(2026, 5, 4), QTime(9, 0));

        m_center->respond(requestWithInfo(info), action, delivered);
        // Never inside the centre's call: the store work comes after.
        QVERIFY(m_journal->responses.isEmpty());
        if (!routed) {
            QTest::qWait(20);
            QVERIFY(m_journal->responses.isEmpty());
            return;
        }
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->responses.size(), 1, 2000);
        const Journal::Response &response = m_journal->responses.first();
        QCOMPARE(uuidText(response.reminderID), reminderID.toString().toUpper());
        QCOMPARE(response.action, action);
        QCOMPARE(response.deliveryDate, delivered);
        QCOMPARE(response.context, delegate->sharedContainer()->mainContext());
    }

    void reopen_data()
    {
        QTest::addColumn<bool>("visible");
        QTest::newRow("window visible") << true;
        QTest::newRow("no window visible") << false;
    }

    void reopen()
    {
        QFETCH(bool, visible);
        auto delegate = makeDelegate();
        FakeScene scene;
        delegate->setWindowScene(&scene);
        QWidget *window = scene.addHiddenWindow();
        if (visible)
            window->show();
        QVERIFY(delegate->applicationShouldHandleReopen(visible));
        // Shown by the delegate only when nothing was visible; never a second window.
        QVERIFY(window->isVisible());
        QCOMPARE(scene.opened, 0);
        QCOMPARE(scene.windows().size(), 1);
    }

    void showMainWindowOpensOneWhenNoneExists()
    {
        auto delegate = makeDelegate();
        FakeScene scene;
        delegate->setWindowScene(&scene);
        delegate->showMainWindow();
        QCOMPARE(scene.opened, 1);
        QVERIFY(scene.windows().first()->isVisible());
        delegate->showMainWindow();
        QCOMPARE(scene.opened, 1);
    }

    void showMainWindowRestoresAMinimisedWindow()
    {
        auto delegate = makeDelegate();
        FakeScene scene;
        delegate->setWindowScene(&scene);
        QWidget *window = scene.addHiddenWindow();
        window->showMinimized();
        delegate->showMainWindow();
        QVERIFY(window->isVisible());
        QVERIFY(!window->isMinimized());
    }

    void notificationClickBringsTheWindowBack()
    {
        auto delegate = makeDelegate();
        FakeScene scene;
        delegate->setWindowScene(&scene);
        delegate->applicationDidFinishLaunching();
        const QString id = uuidText(QUuid::createUuid());
        m_center->respond(requestWithInfo({{QStringLiteral("reminderID"), id}}),
                          NotificationResponse::defaultActionIdentifier, QDateTime(QDate(2026, 5, 4), QTime(9, 0)));
        QCOMPARE(scene.opened, 1);
        QTRY_COMPARE_WITH_TIMEOUT(m_journal->responses.size(), 1, 2000);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
