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

#include <algorithm>
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

QString socketName()
{
    return QStringLiteral(OVLIN_APP_ID ".socket");
}

// Whether `path` is a real folder, not a link, owned by `owner` with mode 0700; if not, says why.
bool isPrivateFolder(const QString &path, uint owner, QString *errorDescription)
{
    struct stat info = {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
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

int attemptMs(const QDeadlineTimer &deadline)
{
    return int(std::clamp<qint64>(deadline.remainingTime(), 1, kConnectAttemptMs));
}

} // namespace

SingleInstance::SingleInstance(const QString &folder, const QString &dataFolder, QObject *parent) : QObject(parent)
{
    // Whoever controls the folder controls the lock and the socket that later launches talk to.
    const QString dir = instanceFolder(folder, &m_error);
    m_socketPath = QDir(dir).filePath(socketName());
    m_lockPath = QDir(dir).filePath(QStringLiteral(OVLIN_APP_ID ".lock"));
    m_dataFolder = dataFolder.isEmpty() ? userFolder(UserFolder::data) : dataFolder;
    placeDataLock(QDir(m_dataFolder).filePath(QStringLiteral("Ovlin")));
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
    m_server.reset(); // its connections report their end while this object is whole
    if (m_dataLock)
        removeRegularFile(m_socketNotePath);
    m_dataLock.reset();
    m_lock.reset();
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
    return isPrivateFolder(path, owner, errorDescription);
}

SingleInstance::Role SingleInstance::start(int waitMs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (!m_error.isEmpty())
        return Role::refused;
    m_lock = std::make_unique<LockFile>(m_lockPath);
    const QDeadlineTimer deadline(std::max(0, waitMs));
    for (;;) {
        const LockFile::Result result = m_lock->tryLock();
        if (result == LockFile::Result::taken)
            break;
        if (result != LockFile::Result::held) {
            m_error = m_lock->errorString();
            return Role::refused;
        }
        if (tellRunningInstance(m_socketPath, attemptMs(deadline)) == Answer::reopened)
            return Role::secondary;
        if (deadline.hasExpired()) {
            m_error = QStringLiteral("Ovlin already runs (process %1, which holds the lock file %2) but does not "
                                     "answer; not starting a second one.")
                          .arg(m_lock->holder(), m_lockPath);
            return Role::unreachable;
        }
        // The running instance may still be starting up and not yet listening.
        QThread::msleep(kRetryPauseMs);
    }
    // Taken before anything listens, so that no launch reaches this one before it is sure to run.
    if (const Role role = lockTheData(deadline); role != Role::primary)
        return role;
    if (!listen()) {
        qCWarning(lcApp) << "Cannot listen for later launches at" << m_socketPath << ":"
                         << (m_server ? m_server->errorString() : QString());
    } else if (m_dataLock) {
        // Where a launch with another runtime folder finds this instance.
        QString why;
        if (!saveFileAtomically(m_socketNotePath, QFile::encodeName(m_socketPath) + '\n',
                                QFileDevice::ReadOwner | QFileDevice::WriteOwner, &why))
            qCWarning(lcApp).noquote() << QStringLiteral("Cannot write %1: %2").arg(m_socketNotePath, why);
    }
    return Role::primary;
}

void SingleInstance::placeDataLock(const QString &folder)
{
    m_dataLockPath = QDir(folder).filePath(QStringLiteral("Ovlin.lock"));
    m_socketNotePath = QDir(folder).filePath(QStringLiteral("Ovlin.lock.socket-path"));
}

bool SingleInstance::chooseDataLockFolder(QString *why)
{
    // In the folder of the store, so that it can be taken whenever the store can be written: the product's
    // folder, or the older store's where only that one can be written (that store is the one opened then).
    const QDir data(m_dataFolder);
    const QString legacy = data.filePath(QStringLiteral("Tamsi"));
    why->clear();
    for (const QString &folder : {data.filePath(QStringLiteral("Ovlin")), legacy}) {
        if (folder == legacy && !QFileInfo(legacy).isDir())
            break;
        QString reason;
        if (makePrivateFolder(folder, &reason) && ::access(QFile::encodeName(folder).constData(), W_OK) == 0) {
            placeDataLock(folder);
            return true;
        }
        if (reason.isEmpty())
            reason = QString::fromLocal8Bit(std::strerror(errno));
        if (why->isEmpty())
            *why = reason;
    }
    return false;
}

SingleInstance::Role SingleInstance::lockTheData(const QDeadlineTimer &deadline)
{
    QString why;
    // A data folder that cannot be written (a read-only home) must not keep Ovlin from starting: it runs
    // unlocked on whatever store opens (usually the memory store there).
    if (!chooseDataLockFolder(&why)) {
        qCWarning(lcApp).noquote()
            << QStringLiteral("Cannot lock %1 (%2); starting without it.").arg(m_dataLockPath, why);
        return Role::primary;
    }
    auto lock = std::make_unique<LockFile>(m_dataLockPath);
    bool hopelessBefore = false;
    for (;;) {
        switch (lock->tryLock()) {
        case LockFile::Result::taken:
            m_dataLock = std::move(lock);
            removeRegularFile(m_socketNotePath); // a dead instance's
            return Role::primary;
        case LockFile::Result::notRegular: m_error = lock->errorString(); return Role::refused;
        case LockFile::Result::failed:
            qCWarning(lcApp).noquote() << lock->errorString() + QStringLiteral("; starting without it.");
            return Role::primary;
        case LockFile::Result::held: break;
        }
        bool noted = false;
        const QString socket = notedSocket(&noted);
        const Answer answer =
            socket.isEmpty() ? Answer::nobodyListens : tellRunningInstance(socket, attemptMs(deadline));
        if (answer == Answer::reopened)
            return Role::secondary;
        // The holder notes its socket once it listens: a noted socket nobody listens on (or one that may not
        // be used) does not answer later either. Looked at twice, in case a new holder is just replacing the
        // note of a dead one.
        const bool hopeless = noted && answer == Answer::nobodyListens;
        if ((hopeless && std::exchange(hopelessBefore, true)) || deadline.hasExpired()) {
            m_error = QStringLiteral("Ovlin already runs for the store in %1 (process %2, which holds the lock file "
                                     "%3); not starting a second one.")
                          .arg(QDir::toNativeSeparators(QFileInfo(m_dataLockPath).path()), lock->holder(),
                               QDir::toNativeSeparators(m_dataLockPath));
            return Role::unreachable;
        }
        hopelessBefore = hopeless;
        // The running instance may still be starting up.
        QThread::msleep(kRetryPauseMs);
    }
}

QString SingleInstance::notedSocket(bool *noted) const
{
    const FileRead note = readRegularFile(m_socketNotePath, 4096);
    *noted = note.status == FileRead::Status::ok;
    if (!*noted)
        return {};
    const QString path = QFile::decodeName(note.bytes.trimmed());
    // Only Ovlin's socket, in a folder no one else can put a socket into.
    QString why;
    if (!QDir::isAbsolutePath(path) || QDir::cleanPath(path) != path || QFileInfo(path).fileName() != socketName() ||
        !isPrivateFolder(QFileInfo(path).path(), ::getuid(), &why))
        return {};
    return path;
}

SingleInstance::Answer SingleInstance::tellRunningInstance(const QString &socketPath, int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(timeoutMs))
        return socket.error() == QLocalSocket::SocketTimeoutError ? Answer::none : Answer::nobodyListens;
    socket.write(reopenMessage());
    if (!socket.waitForBytesWritten(timeoutMs))
        return Answer::none;
    QByteArray answer;
    const QDeadlineTimer deadline(timeoutMs);
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
            break;
        answer += socket.readAll();
    }
    return answer == acknowledgement() ? Answer::reopened : Answer::none;
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
