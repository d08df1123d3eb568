#include "Shell/SingleInstance.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/UserFiles.h"
#include "Base/UserFolders.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace ovlin {

namespace {

constexpr int kRetryPauseMs = 100;
constexpr int kConnectAttemptMs = 2000;

// Ovlin's own folder in the temporary folder, for when the runtime folder is missing or not safe.
QString fallbackFolder()
{
    QString temporary = QDir::tempPath();
    if (!QDir::isAbsolutePath(temporary))
        temporary = QStringLiteral("/tmp");
    return QDir(temporary).filePath(QStringLiteral("ovlin-") + QString::number(::getuid()));
}

// The user's runtime folder when it is private to this user; otherwise (unset, relative, shared like /tmp
// after `su`, or another user's) it is set aside with one log line and Ovlin's own folder is used: a
// runtime folder that is not safe must not keep Ovlin from starting.
QString instanceFolder(const QString &given, QString *error)
{
    if (!given.isEmpty()) {
        SingleInstance::ensurePrivateFolder(given, ::getuid(), error);
        return given;
    }
    const QString runtime = userFolder(UserFolder::runtime);
    const QString fallback = fallbackFolder();
    QString why;
    if (!runtime.isEmpty()) {
        if (SingleInstance::ensurePrivateFolder(runtime, ::getuid(), &why))
            return runtime;
        qCWarning(lcApp).noquote()
            << QStringLiteral("Using %1 instead of XDG_RUNTIME_DIR=%2. %3").arg(fallback, runtime, why);
    }
    if (!SingleInstance::ensurePrivateFolder(fallback, ::getuid(), &why))
        *error = QStringLiteral("%1 Remove %2, or set XDG_RUNTIME_DIR to a folder of your own with mode 0700.")
                     .arg(why, fallback);
    return fallback;
}
QByteArray acknowledgement()
{
    return QByteArrayLiteral("ok\n");
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, QObject *parent) : QObject(parent)
{
    // Whoever controls the folder controls the lock and the socket that later launches talk to.
    const QString dir = instanceFolder(folder, &m_error);
    const QString base = QDir(dir).filePath(QStringLiteral(OVLIN_APP_ID));
    m_socketPath = base + QStringLiteral(".socket");
    m_lockPath = base + QStringLiteral(".lock");
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    m_server.reset(); // its connections report their end while this object is whole
}

bool SingleInstance::ensurePrivateFolder(const QString &path, uint owner, QString *errorDescription)
{
    const QByteArray native = QFile::encodeName(path);
    const QString parent = QFileInfo(path).path();
    if (!makePrivateFolder(parent, errorDescription))
        return false;
    if (::mkdir(native.constData(), 0700) == 0) {
        ::chmod(native.constData(), 0700); // whatever the umask
    } else if (errno != EEXIST) {
        *errorDescription =
            QStringLiteral("Cannot create the folder %1: %2.").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    struct stat info = {};
    if (::lstat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        *errorDescription = QStringLiteral("%1 is not a folder.").arg(path);
        return false;
    }
    if (info.st_uid != owner || (info.st_mode & 07777) != 0700) {
        *errorDescription = QStringLiteral("The folder %1 is not private to this user (owner %2, mode %3); "
                                           "another user could take Ovlin's place in it.")
                                .arg(path)
                                .arg(info.st_uid)
                                .arg(info.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return false;
    }
    return true;
}

SingleInstance::Role SingleInstance::start(int waitMs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_error.isEmpty())
        return Role::refused;
    // QLockFile reads a lock file it finds in its way: a FIFO there would block it, a device never end.
    struct stat existing = {};
    if (::lstat(QFile::encodeName(m_lockPath).constData(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        m_error = QStringLiteral("Cannot use the lock file %1: it is no regular file.").arg(m_lockPath);
        return Role::refused;
    }
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Held for the whole run: it must never turn stale by age, only when its holder has died.
    m_lock->setStaleLockTime(0);
    const QDeadlineTimer deadline(std::max(0, waitMs));
    for (;;) {
        if (m_lock->tryLock(0)) {
            if (!listen())
                qCWarning(lcApp) << "Cannot listen for later launches at" << m_socketPath << ":"
                                 << (m_server ? m_server->errorString() : QString());
            return Role::primary;
        }
        // Only a lock another process holds is worth waiting for.
        struct stat info = {};
        const bool lockIsFile = ::lstat(QFile::encodeName(m_lockPath).constData(), &info) == 0 && S_ISREG(info.st_mode);
        if (m_lock->error() != QLockFile::LockFailedError || !lockIsFile) {
            m_error = QStringLiteral("Cannot create the lock file %1.").arg(m_lockPath);
            return Role::refused;
        }
        const int remaining = int(std::min<qint64>(deadline.remainingTime(), kConnectAttemptMs));
        if (tellRunningInstance(std::max(remaining, 1)))
            return Role::secondary;
        if (deadline.hasExpired())
            return Role::unreachable;
        // The running instance may still be starting up and not yet listening.
        QThread::msleep(kRetryPauseMs);
    }
}

bool SingleInstance::tellRunningInstance(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(reopenMessage());
    if (!socket.waitForBytesWritten(timeoutMs))
        return false;
    QByteArray answer;
    const QDeadlineTimer deadline(timeoutMs);
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        answer += socket.readAll();
    }
    return answer == acknowledgement();
}

bool SingleInstance::listen()
{
    // We hold the lock, so a socket left at the path belongs to an instance that is gone.
    QLocalServer::removeServer(m_socketPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
    return m_server->listen(m_socketPath);
}

void SingleInstance::acceptConnections()
{
    while (QLocalSocket *socket = m_server->nextPendingConnection()) {
        // Launches only ever need a moment; many idle connections are someone else's.
        if (m_connections >= maximumConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        connect(socket, &QObject::destroyed, this, [this] { --m_connections; });
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QTimer::singleShot(m_idleTimeoutMs, socket, [socket] {
            if (!socket->property("answered").toBool()) {
                socket->abort();
                socket->deleteLater();
            }
        });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // One short line per launch; anything longer is not ours.
            if (socket->bytesAvailable() > 64 || socket->property("answered").toBool()) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine())
                return;
            const QByteArray line = socket->readLine();
            socket->setProperty("answered", true);
            if (line != reopenMessage()) {
                socket->abort();
                return;
            }
            socket->write(acknowledgement());
            socket->flush();
            socket->disconnectFromServer();
            qCInfo(lcApp) << "Launched again: reopening";
            Q_EMIT reopenRequested();
        });
    }
}

} // namespace ovlin
