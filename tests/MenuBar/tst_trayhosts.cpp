// The real tray item with trays that come and go: a StatusNotifier watcher or an XEmbed tray in a process
// of its own (tray_host_standin), on a private session bus and a display server of the test's own.
// Qt settles the tray protocol once per process, so CTest runs each case in a process of its own.
#include "MenuBar/MenuBarController.h"
#include "MenuBar/MenuBarPopover.h"
#include "MenuBar/MenuBarStatusItem.h"

#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QtTest>

#include <memory>

using namespace ovlin;

namespace {

// A panel's tray in another process; keeps the lines it reports.
class TrayHost
{
public:
    explicit TrayHost(const QStringList &arguments)
    {
        m_process.setProgram(QStringLiteral(TRAY_HOST_STANDIN));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QObject::connect(&m_process, &QProcess::readyReadStandardOutput, [this] {
            while (m_process.canReadLine())
                m_lines.append(QString::fromUtf8(m_process.readLine()).trimmed());
        });
        m_process.start();
    }
    TrayHost(const TrayHost &) = delete;
    TrayHost &operator=(const TrayHost &) = delete;
    ~TrayHost() { stop(); }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        m_process.waitForFinished(5000);
    }

    bool isReady() const { return m_lines.contains(QStringLiteral("ready")); }
    bool hasLost() const { return m_lines.contains(QStringLiteral("lost")); }
    // The words after `event` on each line that begins with it.
    QStringList events(const QString &event) const
    {
        QStringList found;
        for (const QString &line : m_lines) {
            if (line.startsWith(event + QLatin1Char(' ')))
                found.append(line.mid(event.size() + 1));
        }
        return found;
    }
    void send(const QByteArray &command) { m_process.write(command + '\n'); }

private:
    QProcess m_process;
    QStringList m_lines;
};

bool ownedByThisProcess(const QString &service)
{
    const auto pid = QDBusConnection::sessionBus().interface()->servicePid(service);
    return pid.isValid() && qint64(pid.value()) == QCoreApplication::applicationPid();
}

bool onX11()
{
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// How long the item took to reach a tray, as the tray measured it from its start.
void reportDelay(const TrayHost &host, const char *what)
{
    qInfo("%s %s ms after the tray came up", what, qPrintable(host.events(QStringLiteral("after")).value(0)));
}

// The host's registration must follow within a second of its watcher coming up.
constexpr int kRegistrationMs = 1000;

} // namespace

class TrayHostsTest : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void statusNotifierHostLater();
    void hostAfterWatcher();
    void xembedTray_data();
    void xembedTray();
};

void TrayHostsTest::initTestCase()
{
    QVERIFY2(QDBusConnection::sessionBus().isConnected(), "needs a private session bus");
    const QString platform = QGuiApplication::platformName();
    QVERIFY2(platform == QLatin1String("xcb") || platform == QLatin1String("wayland"),
             "needs a display server of its own (tests/with-display)");
}

void TrayHostsTest::statusNotifierHostLater()
{
    MenuBarController controller;
    controller.setQuitHandler([] {});
    controller.setup();
    MenuBarStatusItem *item = controller.statusItem();
    QVERIFY(item->isVisible());

    // The panel comes up a moment after Ovlin, as at login.
    QTest::qWait(3000);
    QVERIFY(!item->hasButton());
    auto panel = std::make_unique<TrayHost>(QStringList{QStringLiteral("statusnotifier")});
    QTRY_VERIFY(panel->isReady());
    QTRY_VERIFY_WITH_TIMEOUT(!panel->events(QStringLiteral("registered")).isEmpty(), kRegistrationMs);
    reportDelay(*panel, "registered");
    const QString service = panel->events(QStringLiteral("registered")).constFirst();
    QVERIFY(ownedByThisProcess(service));
    // The icon and name given before any tray existed reached the item.
    QTRY_COMPARE(panel->events(QStringLiteral("item")),
                 QStringList{service + QStringLiteral(" icon ") + item->accessibleName()});
    QVERIFY(item->hasButton());

    // Clicks through the host act as on any tray. It tells nothing of the item's place, so the popover
    // opens at the pointer.
    const QPoint pointer(640, 400);
    if (onX11())
        QCursor::setPos(pointer);
    panel->send("activate");
    QTRY_VERIFY(controller.isPopoverShown());
    if (onX11()) {
        QCOMPARE(item->geometry(), QRect());
        const QRect popover = controller.popover()->frameGeometry();
        QVERIFY2(qAbs(popover.center().x() - pointer.x()) <= 1 && popover.top() > pointer.y(),
                 qPrintable(QStringLiteral("popover at %1,%2").arg(popover.x()).arg(popover.y())));
    }
    panel->send("context");
    QTRY_VERIFY(controller.contextMenu()->isVisible());
    QVERIFY(!controller.isPopoverShown());
    controller.contextMenu()->hide();

    // The panel restarts: its new watcher learns of the item again.
    panel.reset();
    QTRY_VERIFY(!item->hasButton());
    auto restarted = std::make_unique<TrayHost>(QStringList{QStringLiteral("statusnotifier")});
    QTRY_VERIFY(restarted->isReady());
    QTRY_COMPARE_WITH_TIMEOUT(restarted->events(QStringLiteral("registered")), QStringList{service}, kRegistrationMs);
    reportDelay(*restarted, "registered again");
    QTRY_VERIFY(item->hasButton());

    // Another watcher takes the name over while the first still runs.
    TrayHost takeover({QStringLiteral("statusnotifier")});
    QTRY_VERIFY(takeover.isReady());
    QTRY_VERIFY(restarted->hasLost());
    QTRY_VERIFY_WITH_TIMEOUT(!takeover.events(QStringLiteral("registered")).isEmpty(), kRegistrationMs);
    QVERIFY(ownedByThisProcess(takeover.events(QStringLiteral("registered")).constLast()));
    reportDelay(takeover, "registered with the new watcher");
    QTRY_VERIFY(item->hasButton());
}

void TrayHostsTest::hostAfterWatcher()
{
    // Desktops where the watcher is a service of its own and the panel's host registers with it later.
    TrayHost panel({QStringLiteral("statusnotifier"), QStringLiteral("--host-later")});
    QTRY_VERIFY(panel.isReady());
    MenuBarController controller;
    controller.setQuitHandler([] {});
    controller.setup();
    MenuBarStatusItem *item = controller.statusItem();

    // A watcher alone shows nothing: no tray yet.
    QTest::qWait(kRegistrationMs);
    QVERIFY(!item->hasButton());
    QVERIFY(panel.events(QStringLiteral("registered")).isEmpty());

    panel.send("host");
    QTRY_VERIFY_WITH_TIMEOUT(!panel.events(QStringLiteral("registered")).isEmpty(), kRegistrationMs);
    reportDelay(panel, "registered");
    QVERIFY(ownedByThisProcess(panel.events(QStringLiteral("registered")).constFirst()));
    QVERIFY(item->hasButton());
}

void TrayHostsTest::xembedTray_data()
{
    QTest::addColumn<bool>("trayFirst");
    QTest::newRow("first") << true;
    QTest::newRow("later") << false;
}

void TrayHostsTest::xembedTray()
{
    QFETCH(bool, trayFirst);
    if (!onX11())
        QSKIP("XEmbed trays exist only on X11");

    std::unique_ptr<TrayHost> tray;
    if (trayFirst) {
        tray = std::make_unique<TrayHost>(QStringList{QStringLiteral("xembed")});
        QTRY_VERIFY(tray->isReady());
    }
    MenuBarController controller;
    controller.setQuitHandler([] {});
    controller.setup();
    MenuBarStatusItem *item = controller.statusItem();
    if (!trayFirst) {
        QVERIFY(!item->hasButton());
        tray = std::make_unique<TrayHost>(QStringList{QStringLiteral("xembed")});
        QTRY_VERIFY(tray->isReady());
    }
    QTRY_COMPARE_WITH_TIMEOUT(tray->events(QStringLiteral("docked")).size(), 1, kRegistrationMs);
    reportDelay(*tray, "docked");
    QTRY_VERIFY(item->hasButton());
    // Embedded, the item has a place of its own for the popover.
    QTRY_VERIFY(item->geometry().isValid());

    // The run keeps the tray it found first: a StatusNotifier panel that comes later gets nothing.
    TrayHost panel({QStringLiteral("statusnotifier")});
    QTRY_VERIFY(panel.isReady());
    QTest::qWait(kRegistrationMs);
    QVERIFY(panel.events(QStringLiteral("registered")).isEmpty());
    QCOMPARE(tray->events(QStringLiteral("docked")).size(), 1);
}

QTEST_MAIN(TrayHostsTest)
#include "tst_trayhosts.moc"
