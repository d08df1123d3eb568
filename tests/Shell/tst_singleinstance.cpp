#include "Shell/SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

using namespace ovlin;

namespace {

// Runs a second launch in its own process while this one keeps its event loop turning.
QString runChild(const QString &folder, int waitMs)
{
    QProcess child;
    child.start(QStringLiteral(SHELL_INSTANCE_CHILD), {folder, QString::number(waitMs)});
    if (!child.waitForStarted(10000))
        return QStringLiteral("not started");
    QElapsedTimer timer;
    timer.start();
    while (child.state() != QProcess::NotRunning && timer.elapsed() < 30000)
        QTest::qWait(10);
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("timed out");
    }
    return QString::fromUtf8(child.readAllStandardOutput()).trimmed();
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private slots:
    void firstLaunchRunsAndListens()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        QVERIFY(instance.isListening());
        QVERIFY(QFile::exists(instance.lockPath()));
        QVERIFY(instance.socketPath().startsWith(dir.path()));
    }

    void secondLaunchReopensTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);

        QCOMPARE(runChild(dir.path(), 5000), QStringLiteral("secondary"));
        QTRY_COMPARE_WITH_TIMEOUT(reopened.size(), 1, 2000);
        QCOMPARE(runChild(dir.path(), 5000), QStringLiteral("secondary"));
        QTRY_COMPARE_WITH_TIMEOUT(reopened.size(), 2, 2000);
    }

    void aFinishedInstanceLeavesNothingInTheWay()
    {
        QTemporaryDir dir;
        {
            SingleInstance instance(dir.path());
            QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        }
        QCOMPARE(runChild(dir.path(), 2000), QStringLiteral("primary"));
    }

    void aDeadInstancesLockAndSocketAreTakenOver()
    {
        QTemporaryDir dir;
        SingleInstance probe(dir.path());
        // A lock naming a process that does not exist, and a socket file nobody listens on.
        QFile lock(probe.lockPath());
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write("999999999\nOvlin\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        lock.close();
        QFile socket(probe.socketPath());
        QVERIFY(socket.open(QIODevice::WriteOnly));
        socket.close();

        QCOMPARE(runChild(dir.path(), 2000), QStringLiteral("primary"));
    }

    void aSilentHolderKeepsTheSecondLaunchOut()
    {
        QTemporaryDir dir;
        SingleInstance probe(dir.path());
        // Held by this live process, but nothing listens: the launch must not run a second instance.
        QLockFile lock(probe.lockPath());
        QVERIFY(lock.tryLock(0));
        QCOMPARE(runChild(dir.path(), 300), QStringLiteral("unreachable"));
    }

    void strangersAreIgnored()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);
        QLocalSocket stranger;
        stranger.connectToServer(instance.socketPath());
        QTRY_VERIFY_WITH_TIMEOUT(stranger.state() == QLocalSocket::ConnectedState, 2000);
        stranger.write("hello there\n");
        stranger.flush();
        QTRY_VERIFY_WITH_TIMEOUT(stranger.state() == QLocalSocket::UnconnectedState, 2000);
        QCOMPARE(reopened.size(), 0);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
