// The ovlin program itself, ended by the signals a logout or a closed terminal sends, while another program
// holds its store locked or its settings cannot be read: it ends through its quit path, once, and writes
// what waited (or names it in the log). Runs on an X server with a window manager inside a private session
// bus.
#include "Base/Defaults.h"
#include "Model/Milestone.h"
#include "Platform/Store.h"
#include "Support/StoreTestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using namespace ovlin;

namespace {

int signalNumber(const QString &name)
{
    if (name == QLatin1String("HUP"))
        return SIGHUP;
    if (name == QLatin1String("INT"))
        return SIGINT;
    return SIGTERM;
}

} // namespace

class TestQuitSignals : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_home;
    std::unique_ptr<QProcess> m_ovlin;
    QByteArray m_output;

    QString storePath() const { return m_home->filePath(QStringLiteral("data/Ovlin/Ovlin.store")); }

    // A home past onboarding whose store holds a reward in play: the first window's evaluation of it
    // writes today's entry, a change that has to wait while the store is locked.
    void makeHome()
    {
        m_home = std::make_unique<QTemporaryDir>();
        QDir home(m_home->path());
        QVERIFY(home.mkpath(QStringLiteral("data/Ovlin")) && home.mkpath(QStringLiteral("runtime")));
        QVERIFY(QFile::setPermissions(home.filePath(QStringLiteral("runtime")),
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QString error;
        auto store = StoreContainer::open(storePath(), &error);
        QVERIFY2(store, qPrintable(error));
        store->mainContext()->insert(
            Milestone::create(QUuid::createUuid(), QStringLiteral("Trip"), QStringLiteral("A trip"), 5, 0.8,
                              std::nullopt, QDateTime::currentDateTime().addDays(-3), MilestoneStatus::active));
        QVERIFY(store->mainContext()->save());
        Defaults settings(home.filePath(QStringLiteral("config/Ovlin/" OVLIN_APP_ID ".defaults")));
        QVERIFY(settings.setBool(QStringLiteral("hasCompletedOnboarding"), true));
    }

    void start()
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), m_home->path());
        for (const char *folder : {"config", "data", "cache", "state", "runtime"}) {
            const QString name = QStringLiteral("XDG_%1_%2")
                                     .arg(QString::fromLatin1(folder).toUpper(),
                                          QLatin1String(qstrcmp(folder, "runtime") == 0 ? "DIR" : "HOME"));
            environment.insert(name, m_home->filePath(QString::fromLatin1(folder)));
        }
        m_output.clear();
        m_ovlin = std::make_unique<QProcess>();
        m_ovlin->setProcessEnvironment(environment);
        m_ovlin->setProcessChannelMode(QProcess::MergedChannels);
        connect(m_ovlin.get(), &QProcess::readyRead, this, [this] { m_output += m_ovlin->readAll(); });
        m_ovlin->start(QStringLiteral(OVLIN_BINARY), {});
        QVERIFY(m_ovlin->waitForStarted());
    }

    bool ended() const { return m_ovlin->state() == QProcess::NotRunning; }

    void send(const QStringList &names)
    {
        for (const QString &name : names)
            QVERIFY(::kill(pid_t(m_ovlin->processId()), signalNumber(name)) == 0);
    }

private Q_SLOTS:
    void cleanup()
    {
        if (m_ovlin && !ended()) {
            m_ovlin->kill();
            m_ovlin->waitForFinished();
        }
        if (QTest::currentTestFailed())
            qInfo().noquote() << "ovlin said:\n" << m_output;
        m_ovlin.reset();
        m_home.reset();
    }

    void quitPathRunsOnceForEverySignal_data()
    {
        QTest::addColumn<QStringList>("first");   // once a change waits for the lock
        QTest::addColumn<QStringList>("waiting"); // while the quit path waits for the lock
        QTest::addColumn<bool>("released");       // the lock is let go while it waits
        QTest::newRow("TERM") << QStringList{"TERM"} << QStringList{} << true;
        QTest::newRow("TERM and HUP, as at logout") << QStringList{"TERM", "HUP"} << QStringList{} << true;
        QTest::newRow("HUP, as from a closed terminal") << QStringList{"HUP"} << QStringList{} << true;
        QTest::newRow("HUP then TERM") << QStringList{"HUP", "TERM"} << QStringList{} << true;
        QTest::newRow("INT, HUP, HUP, TERM") << QStringList{"INT", "HUP", "HUP", "TERM"} << QStringList{} << true;
        QTest::newRow("TERM, then HUP, TERM and INT while waiting")
            << QStringList{"TERM"} << QStringList{"HUP", "TERM", "INT"} << true;
        QTest::newRow("TERM, then HUP while waiting, lock kept")
            << QStringList{"TERM"} << QStringList{"HUP", "HUP"} << false;
        QTest::newRow("HUP and TERM, lock kept") << QStringList{"HUP", "TERM"} << QStringList{} << false;
    }

    void quitPathRunsOnceForEverySignal()
    {
        QFETCH(QStringList, first);
        QFETCH(QStringList, waiting);
        QFETCH(bool, released);
        makeHome();
        if (QTest::currentTestFailed())
            return;
        storetest::StoreLockHolder holder(storePath(), 120000);
        QVERIFY(holder.lock());
        start();
        QTRY_VERIFY_WITH_TIMEOUT(m_output.contains("Save failed") || ended(), 60000);
        QVERIFY(!ended());
        // The usual store, read while locked: the change waits for it.
        QVERIFY(m_output.contains("Using store at " + QFile::encodeName(storePath())));

        send(first);
        const QByteArray quitting("that waited first");
        QTRY_VERIFY_WITH_TIMEOUT(m_output.contains(quitting) || ended(), 30000);
        send(waiting);
        if (released)
            holder.release();
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 60000);
        holder.release();
        holder.wait();

        QCOMPARE(m_ovlin->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_ovlin->exitCode(), 0);
        QCOMPARE(m_output.count(quitting), 1);
        QCOMPARE(m_output.count("with changes that could not be saved"), released ? 0 : 1);
        QCOMPARE(m_output.count("Not saved: MilestoneLog"), released ? 0 : 1);
        storetest::RawConnection store(storePath());
        QCOMPARE(store.scalar(QStringLiteral("SELECT count(*) FROM MilestoneLog")).toInt(), released ? 1 : 0);
    }

    // Settings that cannot be read for the whole run (a first start's launch date, written once the window
    // is up, waits for them): the quit a signal brings leaves the file it never read as it is, and says
    // which change was not saved and why.
    void settingsNeverReadAreLeftAtQuit()
    {
        makeHome();
        if (QTest::currentTestFailed())
            return;
        const QString settings = m_home->filePath(QStringLiteral("config/Ovlin/" OVLIN_APP_ID ".defaults"));
        QVERIFY(QFile::remove(settings));
        // A regular file whose reading fails (EIO), also for root.
        QVERIFY(QFile::link(QStringLiteral("/proc/self/mem"), settings));
        start();
        QTRY_VERIFY_WITH_TIMEOUT(m_output.contains("the changes wait") || ended(), 60000);
        QVERIFY(!ended());
        send({QStringLiteral("TERM")});
        QTRY_VERIFY_WITH_TIMEOUT(ended(), 60000);
        QCOMPARE(m_ovlin->exitStatus(), QProcess::NormalExit);
        QCOMPARE(m_ovlin->exitCode(), 0);
        QCOMPARE(m_output.count("Not saved: the changes to firstLaunchDate - cannot read"), 1);
        QVERIFY(QFileInfo(settings).isSymLink());
        QCOMPARE(QDir(QFileInfo(settings).path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestQuitSignals)
#include "tst_quitsignals.moc"
