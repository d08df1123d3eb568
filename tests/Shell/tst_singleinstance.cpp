#include "Base/UserFiles.h"
#include "Shell/SingleInstance.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "Support/NonRegularFiles.h"

#include <memory>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

using namespace ovlin;

namespace {

// An unprivileged user for launches of another user than the one that left a lock file, when the test
// runs as root (as in CI); otherwise launches run as this user.
constexpr uint kOtherUser = 65534;

bool runsAsRoot()
{
    return ::geteuid() == 0;
}

// What a launch needs to run as the unprivileged user when the test runs as root.
QStringList asLauncher()
{
    return runsAsRoot() ? QStringList{QStringLiteral("--as"), QString::number(kOtherUser)} : QStringList{};
}

// Gives `path` to the user the launches run as, so that they can use it.
bool giveToLauncher(const QString &path)
{
    return !runsAsRoot() || ::chown(QFile::encodeName(path).constData(), kOtherUser, kOtherUser) == 0;
}

std::unique_ptr<QProcess> launch(const QString &folder, int waitMs, const QString &dataFolder,
                                 const QStringList &options = {})
{
    auto child = std::make_unique<QProcess>();
    child->start(QStringLiteral(SHELL_INSTANCE_CHILD),
                 QStringList{folder, QString::number(waitMs), dataFolder} + options);
    return child;
}

// The role a launch printed, once it did, while this process keeps its event loop turning.
QString roleOf(QProcess &child)
{
    // A launch that has ended already is no launch that failed to start.
    child.waitForStarted(10000);
    if (child.error() == QProcess::FailedToStart || child.state() == QProcess::Starting)
        return QStringLiteral("not started");
    QElapsedTimer timer;
    timer.start();
    while (!child.canReadLine() && child.state() != QProcess::NotRunning && timer.elapsed() < 30000)
        QTest::qWait(10);
    if (!child.canReadLine() && child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished();
        return QStringLiteral("timed out");
    }
    return QString::fromUtf8(child.readLine()).trimmed();
}

// Runs a second launch in its own process to its end while this one keeps its event loop turning.
QString runChild(const QString &folder, int waitMs, const QString &dataFolder = {}, QString *said = nullptr,
                 const QStringList &options = {})
{
    const std::unique_ptr<QProcess> child = launch(folder, waitMs, dataFolder, options);
    const QString role = roleOf(*child);
    QElapsedTimer timer;
    timer.start();
    while (child->state() != QProcess::NotRunning && timer.elapsed() < 30000)
        QTest::qWait(10);
    if (said)
        *said = QString::fromUtf8(child->readAllStandardError()).trimmed();
    return child->state() == QProcess::NotRunning ? role : QStringLiteral("never ended");
}

// Ends a launch that holds on (--hold).
void endLaunch(QProcess &child)
{
    child.closeWriteChannel();
    if (!child.waitForFinished(10000))
        child.kill();
    child.waitForFinished();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(bytes), bytes.size());
}

} // namespace

class TestSingleInstance : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void secondLaunchReopensTheFirst()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        QVERIFY(instance.isListening());
        QVERIFY(QFile::exists(instance.lockPath()));
        QVERIFY(instance.socketPath().startsWith(dir.path()));
        QSignalSpy reopened(&instance, &SingleInstance::reopenRequested);

        // A stranger's words are no reopen request.
        QLocalSocket stranger;
        stranger.connectToServer(instance.socketPath());
        QTRY_VERIFY_WITH_TIMEOUT(stranger.state() == QLocalSocket::ConnectedState, 2000);
        stranger.write("hello there\n");
        stranger.flush();
        QTRY_VERIFY_WITH_TIMEOUT(stranger.state() == QLocalSocket::UnconnectedState, 2000);
        QCOMPARE(reopened.size(), 0);

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

    // Only a running process holds a lock: whatever a lock file left behind says (a process that ended, one
    // on another machine, one whose number a process in another namespace now has, nothing at all) and
    // whoever owns it (a copy run as root), a launch takes it over at once, with the stale note and socket.
    void staleLocksKeepNoLaunchOut_data()
    {
        QTest::addColumn<QString>("lock");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode"); // of a lock file left by another user; 0: the launcher's own
        const QByteArray here = QSysInfo::machineHostName().toUtf8();
        for (const char *lock : {"runtime", "data"}) {
            QTest::addRow("%s lock, a process that ended", lock) << lock << "999999999\nOvlin\n" + here + "\n" << 0;
            QTest::addRow("%s lock, left empty", lock) << lock << QByteArray() << 0;
            QTest::addRow("%s lock, another machine's", lock) << lock << QByteArray("424242\nOvlin\notherhost\n") << 0;
            QTest::addRow("%s lock, a live process that holds nothing", lock) << lock << "1\nOvlin\n" + here + "\n"
                                                                              << 0;
            QTest::addRow("%s lock, another user's, readable", lock) << lock << "999999999\nOvlin\n" + here + "\n"
                                                                     << 0644;
            QTest::addRow("%s lock, another user's, unreadable", lock) << lock << "999999999\nOvlin\n" + here + "\n"
                                                                       << 0600;
        }
    }

    void staleLocksKeepNoLaunchOut()
    {
        QFETCH(QString, lock);
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        if (mode != 0 && !runsAsRoot())
            QSKIP("leaving another user's lock file needs root");
        QTemporaryDir dir;
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        const QString data = dir.filePath(QStringLiteral("data"));
        const SingleInstance probe(runtime, data);
        const QString lockPath = lock == QLatin1String("runtime") ? probe.lockPath() : probe.dataLockPath();
        const QString folder = QFileInfo(lockPath).path();
        QVERIFY(QDir().mkpath(runtime) && QDir().mkpath(QFileInfo(probe.dataLockPath()).path()));
        QVERIFY(::chmod(QFile::encodeName(runtime).constData(), 0700) == 0);
        for (const QString &path : {dir.path(), runtime, data, QFileInfo(probe.dataLockPath()).path()})
            QVERIFY(giveToLauncher(path));
        writeFile(lockPath, content);
        // A note and a socket of the copy that left the lock, nobody listening on it.
        writeFile(probe.socketPath(), {});
        writeFile(folder + QStringLiteral("/Ovlin.lock.socket-path"), QFile::encodeName(probe.socketPath()) + '\n');
        if (mode != 0)
            QVERIFY(::chmod(QFile::encodeName(lockPath).constData(), mode_t(mode)) == 0);
        else
            QVERIFY(giveToLauncher(lockPath));

        // It would wait a minute for a holder that is alive.
        QCOMPARE(runChild(runtime, 60000, data, nullptr, asLauncher()), QStringLiteral("primary"));
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(lockPath).constData(), &info), 0);
        QCOMPARE(info.st_uid, runsAsRoot() ? uid_t(kOtherUser) : ::getuid());
        // Taken again at once, now that the launch that took it has ended.
        QCOMPARE(runChild(runtime, 60000, data, nullptr, asLauncher()), QStringLiteral("primary"));
    }

    void aSilentHolderKeepsTheSecondLaunchOut()
    {
        QTemporaryDir dir;
        SingleInstance probe(dir.path());
        // Held by this live process, but nothing listens: the launch must not run a second instance.
        LockFile lock(probe.lockPath());
        QCOMPARE(lock.tryLock(), LockFile::Result::taken);
        QString said;
        QCOMPARE(runChild(dir.path(), 300, {}, &said), QStringLiteral("unreachable"));
        // One line, naming the holder and its lock file.
        QVERIFY2(said.contains(QStringLiteral("(process %1, which holds the lock file %2)")
                                   .arg(QCoreApplication::applicationPid())
                                   .arg(probe.lockPath())) &&
                     !said.contains(QLatin1Char('\n')),
                 qPrintable(said));
    }

    // One copy per store, whatever the runtime folder: a launch with another one (unset after su, or set
    // aside) reaches the copy on the same data through the socket it noted, or stays out.
    void oneCopyPerStore_data()
    {
        QTest::addColumn<QString>("holder");
        QTest::addColumn<bool>("sameData");
        QTest::addColumn<QString>("role");
        // Ends long before a minute: what it finds will not change.
        QTest::addColumn<int>("waitMs");
        QTest::newRow("the same data") << "instance" << true << "secondary" << 500;
        QTest::newRow("other data") << "instance" << false << "primary" << 500;
        QTest::newRow("its socket gone") << "instance, socket removed" << true << "unreachable" << 60000;
        QTest::newRow("its socket folder open to others")
            << "instance, folder opened" << true << "unreachable" << 60000;
        QTest::newRow("a holder that does not answer") << "silent" << true << "unreachable" << 500;
        QTest::newRow("another user's copy") << "instance of another user" << true << "unreachable" << 500;
        QTest::newRow("a data folder that cannot be written") << "read-only" << true << "primary" << 500;
        QTest::newRow("a data folder that cannot be made") << "file in its place" << true << "primary" << 500;
    }

    void oneCopyPerStore()
    {
        QFETCH(QString, holder);
        QFETCH(bool, sameData);
        QFETCH(QString, role);
        QFETCH(int, waitMs);
        const bool otherUser = holder.endsWith(QLatin1String("of another user"));
        if (otherUser && !runsAsRoot())
            QSKIP("a copy of another user needs root");
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(data + QStringLiteral("/Ovlin")));
        const QString firstRuntime = dir.filePath(QStringLiteral("first"));
        SingleInstance first(firstRuntime, data);
        QSignalSpy reopened(&first, &SingleInstance::reopenRequested);
        LockFile silent(first.dataLockPath());
        if (holder.startsWith(QLatin1String("instance"))) {
            // Its lock file stays readable to the other user, whatever the umask, for it to be seen held.
            const mode_t umask = ::umask(077);
            QCOMPARE(first.start(0), SingleInstance::Role::primary);
            ::umask(umask);
        } else if (holder == QLatin1String("silent")) {
            QCOMPARE(silent.tryLock(), LockFile::Result::taken);
        } else if (holder == QLatin1String("read-only")) {
            // A launch of root would write into it anyway: the launch runs as an unprivileged user then.
            QVERIFY(QDir(data).rmdir(QStringLiteral("Ovlin")));
            QVERIFY(giveToLauncher(dir.path()) && giveToLauncher(data));
            QVERIFY(QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        } else if (holder == QLatin1String("file in its place")) {
            QVERIFY(QDir(data).removeRecursively());
            QFile file(data);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        if (holder.endsWith(QLatin1String("socket removed")))
            QVERIFY(QFile::remove(first.socketPath()));
        if (holder.endsWith(QLatin1String("folder opened")))
            QVERIFY(QFile::setPermissions(firstRuntime, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                            QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                                            QFileDevice::ExeOther));

        QString said;
        const QString otherData = sameData ? data : dir.filePath(QStringLiteral("other data"));
        if (otherUser) {
            for (const QString &path : {dir.path(), data, data + QStringLiteral("/Ovlin")})
                QVERIFY(giveToLauncher(path));
        }
        const QStringList options = holder == QLatin1String("read-only") || otherUser ? asLauncher() : QStringList{};
        QCOMPARE(runChild(dir.filePath(QStringLiteral("second")), waitMs, otherData, &said, options), role);
        QTRY_COMPARE_WITH_TIMEOUT(reopened.size(), role == QLatin1String("secondary") ? 1 : 0, 2000);
        if (role == QLatin1String("unreachable")) {
            // One line, naming the lock file and its holder.
            QCOMPARE(said.count(QLatin1Char('\n')), 0);
            QVERIFY2(said.contains(QStringLiteral("already runs for the store in %1 (process %2, which holds the lock "
                                                  "file %3)")
                                       .arg(QFileInfo(first.dataLockPath()).path())
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(first.dataLockPath())),
                     qPrintable(said));
        }
        QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    // Launches that race, with or without a runtime folder in common, over whatever lock files are left:
    // exactly one runs, and the others reach it. Also where the data folder cannot be written but the
    // store's folder in it can (the lock goes where the store is).
    void racingLaunchesRunOneCopy_data()
    {
        QTest::addColumn<QString>("left");
        QTest::newRow("nothing") << QString();
        QTest::newRow("another machine's lock files") << QStringLiteral("424242\nOvlin\notherhost\n");
        QTest::newRow("another user's unreadable lock files") << QStringLiteral("another user");
        QTest::newRow("a data folder that cannot be written") << QStringLiteral("read-only");
    }

    void racingLaunchesRunOneCopy()
    {
        QFETCH(QString, left);
        const bool otherUser = left == QLatin1String("another user");
        if (otherUser && !runsAsRoot())
            QSKIP("leaving another user's lock file needs root");
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(data + QStringLiteral("/Ovlin")));
        for (const QString &path : {dir.path(), data, data + QStringLiteral("/Ovlin")})
            QVERIFY(giveToLauncher(path));
        QStringList runtimes;
        for (int i = 0; i < 3; ++i) {
            runtimes << dir.filePath(QStringLiteral("runtime %1").arg(i));
            QVERIFY(QDir().mkdir(runtimes.last()) &&
                    ::chmod(QFile::encodeName(runtimes.last()).constData(), 0700) == 0);
            QVERIFY(giveToLauncher(runtimes.last()));
        }
        QStringList locks{SingleInstance(runtimes.first(), data).dataLockPath()};
        for (const QString &runtime : std::as_const(runtimes))
            locks << SingleInstance(runtime, data).lockPath();
        for (const QString &lock : std::as_const(locks)) {
            if (otherUser) {
                writeFile(lock, "999999999\nOvlin\nhere\n");
                QVERIFY(::chmod(QFile::encodeName(lock).constData(), 0600) == 0);
            } else if (left.contains(QLatin1Char('\n'))) {
                writeFile(lock, left.toUtf8());
                QVERIFY(giveToLauncher(lock));
            }
        }
        if (left == QLatin1String("read-only"))
            QVERIFY(::chmod(QFile::encodeName(data).constData(), 0500) == 0);
        std::vector<std::unique_ptr<QProcess>> launches;
        for (int i = 0; i < 9; ++i)
            launches.push_back(launch(runtimes.at(i % 3), 20000, data, asLauncher() << QStringLiteral("--hold")));
        QStringList roles;
        for (const auto &child : launches)
            roles << roleOf(*child);
        for (const auto &child : launches)
            endLaunch(*child);
        ::chmod(QFile::encodeName(data).constData(), 0700);
        QCOMPARE(roles.count(QStringLiteral("primary")), 1);
        QCOMPARE(roles.count(QStringLiteral("secondary")), 8);
    }

    // The lock and the socket only ever live in a folder of this user's own.
    void unsafeFoldersAreRefused_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("missing: created private") << "" << false << true;
        QTest::newRow("private") << "private" << false << true;
        QTest::newRow("open to everyone") << "open" << false << false;
        QTest::newRow("link to a private folder") << "link" << false << false;
        QTest::newRow("file in its place") << "file" << false << false;
        QTest::newRow("another user's") << "private" << true << false;
    }

    void unsafeFoldersAreRefused()
    {
        QFETCH(QString, setup);
        QFETCH(bool, otherOwner);
        QFETCH(bool, accepted);
        QTemporaryDir dir;
        const QString folder = dir.filePath(QStringLiteral("ovlin-%1").arg(::getuid()));
        const QString elsewhere = dir.filePath(QStringLiteral("elsewhere"));
        QVERIFY(QDir().mkdir(elsewhere));
        QFile::setPermissions(elsewhere, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        if (setup == QLatin1String("private") || setup == QLatin1String("open")) {
            QVERIFY(QDir().mkdir(folder));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), setup == QLatin1String("open") ? 0777 : 0700) == 0);
        } else if (setup == QLatin1String("link")) {
            QVERIFY(QFile::link(elsewhere, folder));
        } else if (setup == QLatin1String("file")) {
            QFile file(folder);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QString error;
        const uint owner = otherOwner ? ::getuid() + 1 : ::getuid();
        QCOMPARE(SingleInstance::ensurePrivateFolder(folder, owner, &error), accepted);
        QCOMPARE(error.isEmpty(), accepted);
        if (accepted) {
            struct stat info = {};
            QCOMPARE(::lstat(QFile::encodeName(folder).constData(), &info), 0);
            QCOMPARE(info.st_mode & 07777, mode_t(0700));
        }
        if (otherOwner)
            return;
        SingleInstance instance(folder);
        QCOMPARE(instance.start(0), accepted ? SingleInstance::Role::primary : SingleInstance::Role::refused);
        QCOMPARE(instance.errorString().contains(folder), !accepted);
        QCOMPARE(instance.isListening(), accepted);
    }

    // A runtime folder that is not safe is set aside for Ovlin's own folder instead of stopping the start;
    // only when that one is not safe either (another user made it first) is the start refused.
    void anUnsafeRuntimeFolderIsSetAside_data()
    {
        QTest::addColumn<QString>("runtimeMode");
        QTest::addColumn<bool>("runtimeOthers");
        QTest::addColumn<QString>("fallbackMode");
        QTest::addColumn<bool>("fallbackOthers");
        QTest::addColumn<QString>("used");
        QTest::newRow("private runtime folder") << "700" << false << "" << false << "runtime";
        QTest::newRow("runtime open to others") << "755" << false << "" << false << "fallback";
        QTest::newRow("another user's runtime") << "700" << true << "" << false << "fallback";
        QTest::newRow("own folder open to others") << "755" << false << "777" << false << "refused";
        QTest::newRow("own folder made by another user") << "755" << false << "700" << true << "refused";
    }

    void anUnsafeRuntimeFolderIsSetAside()
    {
        QFETCH(QString, runtimeMode);
        QFETCH(bool, runtimeOthers);
        QFETCH(QString, fallbackMode);
        QFETCH(bool, fallbackOthers);
        QFETCH(QString, used);
        if ((runtimeOthers || fallbackOthers) && ::getuid() != 0)
            QSKIP("giving a folder to another user needs root");
        QTemporaryDir dir;
        const QString runtime = dir.filePath(QStringLiteral("runtime"));
        const QString temporary = dir.filePath(QStringLiteral("tmp"));
        const QString fallback = temporary + QStringLiteral("/ovlin-") + QString::number(::getuid());
        const auto makeFolder = [](const QString &path, const QString &mode, bool others) {
            return QDir().mkpath(path) && ::chmod(QFile::encodeName(path).constData(), mode.toUInt(nullptr, 8)) == 0 &&
                   (!others || ::chown(QFile::encodeName(path).constData(), 65534, 65534) == 0);
        };
        QVERIFY(makeFolder(runtime, runtimeMode, runtimeOthers));
        QVERIFY(QDir().mkpath(temporary));
        if (!fallbackMode.isEmpty())
            QVERIFY(makeFolder(fallback, fallbackMode, fallbackOthers));
        const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        const QByteArray savedTemporary = qgetenv("TMPDIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime));
        qputenv("TMPDIR", QFile::encodeName(temporary));
        const auto restore = qScopeGuard([&] {
            for (const auto &[name, value] : {std::pair{"XDG_RUNTIME_DIR", savedRuntime}, {"TMPDIR", savedTemporary}})
                value.isNull() ? qunsetenv(name) : qputenv(name, value);
        });

        SingleInstance instance;
        const SingleInstance::Role role = instance.start(0);
        if (used == QLatin1String("refused")) {
            QCOMPARE(role, SingleInstance::Role::refused);
            QVERIFY2(instance.errorString().contains(fallback) &&
                         instance.errorString().contains(QLatin1String("XDG_RUNTIME_DIR")),
                     qPrintable(instance.errorString()));
            return;
        }
        QCOMPARE(role, SingleInstance::Role::primary);
        QCOMPARE(QFileInfo(instance.socketPath()).path(), used == QLatin1String("runtime") ? runtime : fallback);
        struct stat info = {};
        QCOMPARE(::stat(QFile::encodeName(runtime).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, runtimeMode.toUInt(nullptr, 8));
        if (used == QLatin1String("fallback")) {
            QVERIFY(QDir(runtime).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
            QCOMPARE(::stat(QFile::encodeName(fallback).constData(), &info), 0);
            QCOMPARE(info.st_mode & 07777, mode_t(0700));
        }
    }

    // A lock file that cannot be made is said so at once, not taken for a silent running instance; what
    // is in its place is neither waited on nor read.
    void aLockFileThatCannotBeMadeIsItsOwnError_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("FIFO") << QStringLiteral("fifo");
        QTest::newRow("socket") << QStringLiteral("socket");
    }

    void aLockFileThatCannotBeMadeIsItsOwnError()
    {
        QFETCH(QString, kind);
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        if (kind == QLatin1String("folder"))
            QVERIFY(QDir().mkdir(instance.lockPath()));
        else if (kind == QLatin1String("fifo"))
            QVERIFY(special_files::makeFifo(instance.lockPath()));
        else
            QVERIFY(special_files::makeSocket(instance.lockPath()));
        const mode_t before = special_files::entryKind(instance.lockPath());
        special_files::FifoUnblocker unblocker(instance.lockPath(), std::chrono::seconds(5));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(instance.start(20000), SingleInstance::Role::refused);
        QVERIFY(!unblocker.hadToUnblock());
        QCOMPARE(special_files::entryKind(instance.lockPath()), before);
        QVERIFY(timer.elapsed() < 10000);
        QVERIFY(instance.errorString().contains(instance.lockPath()));
        QVERIFY(!instance.isListening());
    }

    // Connections beyond a few at a time, and those that stay silent, are closed.
    void idleAndSurplusConnectionsAreClosed()
    {
        QTemporaryDir dir;
        SingleInstance instance(dir.path());
        instance.setIdleTimeoutMs(3600 * 1000);
        QCOMPARE(instance.start(0), SingleInstance::Role::primary);
        std::vector<std::unique_ptr<QLocalSocket>> idle;
        for (int i = 0; i < SingleInstance::maximumConnections; ++i) {
            idle.push_back(std::make_unique<QLocalSocket>());
            idle.back()->connectToServer(instance.socketPath());
        }
        QTRY_COMPARE_WITH_TIMEOUT(instance.connectionCount(), SingleInstance::maximumConnections, 5000);
        QLocalSocket surplus;
        surplus.connectToServer(instance.socketPath());
        QTRY_VERIFY_WITH_TIMEOUT(surplus.state() == QLocalSocket::UnconnectedState, 5000);
        for (const auto &socket : idle)
            QCOMPARE(socket->state(), QLocalSocket::ConnectedState);
        idle.clear();
        QTRY_COMPARE_WITH_TIMEOUT(instance.connectionCount(), 0, 5000);

        instance.setIdleTimeoutMs(50);
        QLocalSocket silent;
        silent.connectToServer(instance.socketPath());
        QVERIFY(silent.waitForConnected(5000));
        QTRY_VERIFY_WITH_TIMEOUT(silent.state() == QLocalSocket::UnconnectedState, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(instance.connectionCount(), 0, 5000);
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
