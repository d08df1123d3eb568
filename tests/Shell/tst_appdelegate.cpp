#include "Shell/ShellTestSupport.h"

#include "Base/Clock.h"
#include "Base/Uuid.h"
#include "Engine/ReminderPresentationService.h"
#include "Engine/SchedulerService.h"
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarStatusItem.h"
#include "Model/ReminderLog.h"
#include "Shell/AppDelegate.h"
#include "Shell/MenuBarItem.h"
#include "Support/FakeNotificationCenter.h"
#include "Support/NonRegularFiles.h"
#include "Support/StoreTestSupport.h"

#include <QTemporaryDir>
#include <QTimer>
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
        return addHiddenWindow();
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

// A status area that shows nothing.
class StubStatusItem : public MenuBarStatusItem
{
public:
    bool hasButton() const override { return true; }
    void setVisible(bool visible) override { m_visible = visible; }
    bool isVisible() const override { return m_visible; }
    void setIcon(const QIcon &icon) override { m_icon = icon; }
    QIcon icon() const override { return m_icon; }
    void setAccessibleName(const QString &name) override { m_name = name; }
    QString accessibleName() const override { return m_name; }
    QRect geometry() const override { return {}; }

private:
    bool m_visible = false;
    QIcon m_icon;
    QString m_name;
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

private Q_SLOTS:
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
        const QStringList expected = launchCalls();
        QCOMPARE(m_journal->calls, expected);
        QVERIFY(delegate->menuBarController());
        QCOMPARE(m_center->delegate(), static_cast<NotificationCenterDelegate *>(delegate->notificationResponder()));

        delegate->applicationDidFinishLaunching();
        QCOMPARE(m_journal->calls, expected);
    }

    void theRealPresentationLoopStarts()
    {
        ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(9, 3)));
        ReminderPresentationService &presentation = ReminderPresentationService::shared();
        presentation.setNotificationCenter(m_center.get());
        auto services = fakeServices(m_journal, m_center.get());
        services->startPresentation = ShellServices::live()->startPresentation;
        AppDelegate delegate(enginetest::openStore(), services);
        delegate.applicationDidFinishLaunching();
        QVERIFY(presentation.timer());
        QVERIFY(presentation.timer()->isActive());
        QCOMPARE(presentation.timer()->interval(), 15000);
        presentation.start(nullptr);
        presentation.setBannerPresenter(nullptr, nullptr);
        presentation.setNotificationCenter(nullptr);
    }

    void theMenuBarItemBringsTheWindowBack()
    {
        auto *status = new StubStatusItem;
        auto services = fakeServices(m_journal, m_center.get());
        services->makeMenuBarController = [status] {
            return std::unique_ptr<StatusItemController>(
                new MenuBarItem(std::make_unique<MenuBarController>(std::unique_ptr<MenuBarStatusItem>(status))));
        };
        AppDelegate delegate(enginetest::openStore(), services);
        FakeScene scene;
        delegate.setWindowScene(&scene);
        delegate.applicationDidFinishLaunching();
        auto *item = dynamic_cast<MenuBarItem *>(delegate.menuBarController());
        QVERIFY(item);
        item->controller()->showAppFromContextMenu();
        QCOMPARE(scene.opened, 1);
        QVERIFY(scene.windows().first()->isVisible());
        delegate.menuBarController()->updateIcon(true, 2, 0.5);
        QVERIFY(!status->icon().isNull());
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

    void nothingIsShownWhileActive_data()
    {
        QTest::addColumn<bool>("active");
        QTest::newRow("active") << true;
        QTest::newRow("in the background") << false;
    }

    void nothingIsShownWhileActive()
    {
        QFETCH(bool, active);
        auto delegate = makeDelegate();
        QVERIFY(!delegate->notificationResponder());
        delegate->applicationDidFinishLaunching();
        m_journal->appActive = active;
        QCOMPARE(m_center->delegate(), static_cast<NotificationCenterDelegate *>(delegate->notificationResponder()));
        QCOMPARE(delegate->notificationResponder()->willPresent(requestWithInfo({})),
                 active ? PresentationOptions() : NotificationCenter::defaultPresentation);
        QVERIFY(!delegate->applicationShouldTerminateAfterLastWindowClosed());
    }

    void notificationAnswers_data()
    {
        QTest::addColumn<QString>("reminderID"); // "own": the stored reminder's
        QTest::addColumn<QString>("asType");     // how the identifier is stored: text, number or absent
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("logged"); // the status of the log recorded, or nothing
        auto row = [](const char *name, const QString &id, const QString &type, const QString &action,
                      const QString &logged) { QTest::newRow(name) << id << type << action << logged; };
        row("done", "own", "text", "COMPLETE", "completed");
        row("snooze", "own", "text", "SNOOZE", "snoozed");
        row("click", "own", "text", NotificationResponse::defaultActionIdentifier, "completed");
        row("lower-case id", "own lower", "text", "COMPLETE", "completed");
        row("other action", "own", "text", "LATER", "");
        row("unknown reminder", "5E0C8D34-1B7A-4C59-9F3E-2A6B7C8D9E01", "text", "COMPLETE", "");
        row("no id", "", "absent", "COMPLETE", "");
        row("a number", "42", "number", "COMPLETE", "");
        row("not a UUID", "water", "text", "COMPLETE", "");
        row("braced UUID", "{own}", "text", "COMPLETE", "");
    }

    void notificationAnswers()
    {
        QFETCH(QString, reminderID);
        QFETCH(QString, asType);
        QFETCH(QString, action);
        QFETCH(QString, logged);
        ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(9, 3)));
        SchedulerService::shared().setNotificationCenter(m_center.get());
        auto delegate = makeDelegate();
        delegate->applicationDidFinishLaunching();
        StoreContext *context = delegate->sharedContainer()->mainContext();
        auto reminder = enginetest::makeReminder(context);
        QVERIFY(context->save());
        const QString own = uuidText(reminder->id());
        reminderID.replace(QStringLiteral("own lower"), own.toLower()).replace(QStringLiteral("own"), own);

        QVariantMap info;
        if (asType == QLatin1String("text"))
            info.insert(QStringLiteral("reminderID"), reminderID);
        else if (asType == QLatin1String("number"))
            info.insert(QStringLiteral("reminderID"), reminderID.toInt());
        const QDateTime delivered(QDate(2026, 5, 4), QTime(9, 0));
        m_center->respond(requestWithInfo(info), action, delivered);
        // Never inside the centre's call: the store work comes after.
        QVERIFY(context->fetch<ReminderLog>().isEmpty());
        QTest::qWait(20);
        const auto logs = context->fetch<ReminderLog>();
        if (logged.isEmpty()) {
            QVERIFY(logs.isEmpty());
        } else {
            QCOMPARE(logs.size(), 1);
            QCOMPARE(logs.first()->statusRaw(), logged);
            QCOMPARE(logs.first()->scheduledAt(), delivered);
            QCOMPARE(logs.first()->reminder(), reminder);
        }
        SchedulerService::shared().setNotificationCenter(nullptr);
    }

    // Quiet hours changed after notifications were planned reach them: muting covers a planned fixed
    // time or interval step, moving or lifting it plans them again; a burst of changes plans once.
    void quietHoursReachPlannedNotifications_data()
    {
        QTest::addColumn<bool>("interval");
        QTest::addColumn<QTime>("time");
        QTest::newRow("fixed time at 22:35") << false << QTime(22, 35);
        QTest::newRow("interval step at 22:00") << true << QTime(22, 0);
    }

    void quietHoursReachPlannedNotifications()
    {
        QFETCH(bool, interval);
        QFETCH(QTime, time);
        enginetest::resetSettings();
        ScopedFakeClock clock(QDateTime(QDate(2026, 5, 4), QTime(18, 0)));
        SchedulerService::shared().setNotificationCenter(m_center.get());
        const auto detach = qScopeGuard([] { SchedulerService::shared().setNotificationCenter(nullptr); });
        auto services = fakeServices(m_journal, m_center.get());
        services->scheduleReminders = ShellServices::live()->scheduleReminders;
        AppDelegate delegate(enginetest::openStore(), services);
        delegate.applicationDidFinishLaunching();
        StoreContext *context = delegate.sharedContainer()->mainContext();
        enginetest::ReminderSpec spec{.fixedTime = time};
        if (interval)
            spec = {.scheduleType = ScheduleType::interval,
                    .intervalMinutes = 60,
                    .intervalStart = QTime(20, 0),
                    .intervalEnd = QTime(22, 0)};
        const auto reminder = enginetest::makeReminder(context, spec);
        QVERIFY(context->save());
        SchedulerService::shared().schedule(*reminder);
        const auto planned = [&] {
            const QList<NotificationRequest> pending = m_center->pendingRequests();
            return std::any_of(pending.cbegin(), pending.cend(), [&](const NotificationRequest &request) {
                return m_center->nextFireDate(request.identifier).value_or(QDateTime()).time() == time;
            });
        };
        QVERIFY(planned());

        AppSettings &settings = AppSettings::shared();
        const auto quietFrom = [&settings](int hour) {
            settings.setQuietStart(QDateTime(QDate(2026, 5, 4), QTime(hour, 0)));
        };
        m_center->clearRecords();
        settings.setQuietHoursEnabled(true);
        quietFrom(22);
        settings.setQuietEnd(QDateTime(QDate(2026, 5, 4), QTime(7, 0)));
        settleEvents();
        QVERIFY(!planned());
        const QList<FakeNotificationCenter::Operation> operations = m_center->operations();
        QCOMPARE(std::count_if(operations.cbegin(), operations.cend(),
                               [](const auto &operation) {
                                   return operation.kind == FakeNotificationCenter::Operation::Kind::Remove;
                               }),
                 1);
        quietFrom(23);
        settleEvents();
        QVERIFY(planned());
        quietFrom(22);
        settleEvents();
        QVERIFY(!planned());
        settings.setQuietHoursEnabled(false);
        settleEvents();
        QVERIFY(planned());
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

    void showMainWindowOpensOneOrRestoresIt()
    {
        auto delegate = makeDelegate();
        FakeScene scene;
        delegate->setWindowScene(&scene);
        delegate->showMainWindow();
        QCOMPARE(scene.opened, 1);
        QWidget *window = scene.windows().first();
        QVERIFY(window->isVisible());
        window->showMinimized();
        delegate->showMainWindow();
        QCOMPARE(scene.opened, 1);
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
    }

    // A check-off saved while another program held the store waits in memory; quitting (the event loop
    // ending, as on the menu's Quit, Ctrl+Q or SIGTERM) waits for the lock and writes it.
    void quittingWritesWhatWaitsForALockedStore()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("Ovlin.store"));
        QString error;
        auto store = StoreContainer::open(path, &error);
        QVERIFY2(store, qPrintable(error));
        StoreContext *context = store->mainContext();
        auto reminder = enginetest::makeReminder(context);
        QVERIFY(context->save());
        AppDelegate delegate(std::move(store), fakeServices(m_journal, m_center.get()));

        storetest::StoreLockHolder holder(path, 60000);
        QVERIFY(holder.lock());
        auto log = enginetest::addLog(reminder, QDateTime(QDate(2026, 5, 4), QTime(9, 0)), LogStatus::completed);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context->save());

        holder.releaseAfter(300);
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
        QVERIFY(!context->hasChanges());
        storetest::RawConnection other(path);
        QCOMPARE(other.scalar(QStringLiteral("SELECT group_concat(id) FROM ReminderLog")).toString(),
                 uuidText(log->id()));
    }

    // The notice names the file another program took away: the store file, or its write-ahead log,
    // which cannot be put back.
    void theLostStoreNoticeNamesTheFileThatChanged_data()
    {
        QTest::addColumn<QString>("changed");
        QTest::newRow("store file renamed") << QStringLiteral("Ovlin.store");
        QTest::newRow("FIFO in the log's place") << QStringLiteral("Ovlin.store-wal");
    }

    void theLostStoreNoticeNamesTheFileThatChanged()
    {
        QFETCH(QString, changed);
        QTemporaryDir dir;
        const QString path = dir.filePath(changed);
        QString error;
        auto store = StoreContainer::open(dir.filePath(QStringLiteral("Ovlin.store")), &error);
        QVERIFY2(store, qPrintable(error));
        StoreContext *context = store->mainContext();
        enginetest::makeReminder(context);
        QVERIFY(context->save());
        AppDelegate delegate(std::move(store), fakeServices(m_journal, m_center.get()));

        QVERIFY(QFile::rename(path, path + QStringLiteral(".elsewhere")));
        const bool log = changed.endsWith(QLatin1String("-wal"));
        if (log)
            QVERIFY(special_files::makeFifo(path));
        enginetest::makeReminder(context);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Nothing is written")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("Save failed")));
        QVERIFY(!context->save());
        QTRY_VERIFY(!delegate.storeNotice().isEmpty());
        const QString notice = delegate.storeNotice();
        QVERIFY2(notice.contains(QDir::toNativeSeparators(path) + QStringLiteral(" was ")), qPrintable(notice));
        QVERIFY(notice.contains(QStringLiteral("nothing you change now is saved")));
        QCOMPARE(notice.contains(QStringLiteral("Put the file back")), !log);
    }
};

QTEST_MAIN(TestAppDelegate)
#include "tst_appdelegate.moc"
