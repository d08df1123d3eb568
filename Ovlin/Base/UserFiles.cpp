#include "Base/UserFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSysInfo>

#include <algorithm>
#include <optional>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovlin {

namespace {

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode)
{
    if (S_ISFIFO(mode))
        return QStringLiteral("a FIFO");
    if (S_ISCHR(mode))
        return QStringLiteral("a character device");
    if (S_ISBLK(mode))
        return QStringLiteral("a block device");
    if (S_ISSOCK(mode))
        return QStringLiteral("a socket");
    if (S_ISDIR(mode))
        return QStringLiteral("a folder");
    return QStringLiteral("no regular file");
}

QString notRegularText(const QString &path, mode_t mode)
{
    return QStringLiteral("%1 is %2, not a regular file").arg(QDir::toNativeSeparators(path), kindOf(mode));
}

class Descriptor
{
public:
    explicit Descriptor(int fd = -1) : m_fd(fd) {}
    ~Descriptor() { reset(); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    void reset(int fd = -1)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Every byte of `data` written to `fd` and on disk, or why not (the system's reason: Qt reports a full
// disk as "Unknown error").
std::optional<QString> writeAllAndSync(int fd, const QByteArray &data)
{
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return systemError(n < 0 ? errno : EIO);
        done += n;
    }
    if (::fsync(fd) != 0)
        return systemError(errno);
    return std::nullopt;
}

mode_t modeOf(QFileDevice::Permissions permissions)
{
    const uint bits = uint(permissions.toInt());
    return mode_t(((bits >> 12) & 7) << 6 | ((bits >> 4) & 7) << 3 | (bits & 7));
}

} // namespace

FileRead readRegularFile(const QString &path, qint64 maxBytes, bool firstBytesOnly)
{
    FileRead result;
    if (path.isEmpty()) {
        result.status = FileRead::Status::absent;
        return result;
    }
    const QByteArray native = QFile::encodeName(path);
    // O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer.
    Descriptor fd(::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        const int error = errno;
        struct stat info = {};
        if (error == ENOENT) {
            result.status = FileRead::Status::absent;
        } else if (::stat(native.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            result.status = FileRead::Status::notRegularFile;
            result.error = notRegularText(path, info.st_mode);
        } else {
            result.error = systemError(error);
        }
        return result;
    }
    // What was opened, not what the path named a moment earlier.
    struct stat info = {};
    if (::fstat(fd.get(), &info) != 0) {
        result.error = systemError(errno);
        return result;
    }
    if (!S_ISREG(info.st_mode)) {
        result.status = FileRead::Status::notRegularFile;
        result.error = notRegularText(path, info.st_mode);
        return result;
    }
    const qint64 limit = std::max<qint64>(maxBytes, 0);
    if (!firstBytesOnly && info.st_size > limit) {
        result.status = FileRead::Status::tooLarge;
        result.error = QStringLiteral("%1 holds %2 bytes, more than %3").arg(path).arg(info.st_size).arg(limit);
        return result;
    }
    // A regular file never blocks; one byte past the limit tells a file that grew since.
    const qint64 wanted = firstBytesOnly ? limit : limit + 1;
    QByteArray bytes(qsizetype(std::min<qint64>(std::max<qint64>(info.st_size, 0) + 1, wanted)), Qt::Uninitialized);
    qint64 total = 0;
    while (total < wanted) {
        if (total == bytes.size())
            bytes.resize(qsizetype(std::min<qint64>(wanted, std::max<qint64>(total * 2, 4096))));
        const ssize_t n = ::read(fd.get(), bytes.data() + total, size_t(bytes.size() - total));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            result.error = systemError(errno);
            return result;
        }
        if (n == 0)
            break;
        total += n;
    }
    if (!firstBytesOnly && total > limit) {
        result.status = FileRead::Status::tooLarge;
        result.error = QStringLiteral("%1 grew past %2 bytes while it was read").arg(path).arg(limit);
        return result;
    }
    bytes.truncate(qsizetype(total));
    result.status = FileRead::Status::ok;
    result.bytes = bytes;
    return result;
}

bool mayReplaceFile(const QString &path, QString *errorDescription)
{
    const auto fail = [errorDescription](const QString &error) {
        if (errorDescription)
            *errorDescription = error;
        return false;
    };
    // The same road QSaveFile takes to the file it replaces: link after link.
    QString current = path;
    for (int links = 0; links <= 40; ++links) {
        const QByteArray native = QFile::encodeName(current);
        struct stat info = {};
        if (::lstat(native.constData(), &info) != 0) {
            if (errno == ENOENT)
                return true;
            return fail(QStringLiteral("%1: %2").arg(current, systemError(errno)));
        }
        if (S_ISREG(info.st_mode))
            return true;
        if (!S_ISLNK(info.st_mode))
            return fail(current == path
                            ? notRegularText(path, info.st_mode)
                            : QStringLiteral("%1 leads to %2").arg(path, notRegularText(current, info.st_mode)));
        QByteArray target(4096, Qt::Uninitialized);
        const ssize_t length = ::readlink(native.constData(), target.data(), size_t(target.size()));
        if (length < 0 || length >= target.size())
            return fail(QStringLiteral("Cannot follow the link %1").arg(current));
        target.truncate(length);
        const QString next = QFile::decodeName(target);
        current = QDir::isAbsolutePath(next) ? next : QDir(QFileInfo(current).path()).filePath(next);
    }
    return fail(QStringLiteral("%1: too many levels of links").arg(path));
}

bool saveFileAtomically(const QString &path, const QByteArray &data, QFileDevice::Permissions permissions,
                        QString *errorDescription)
{
    // Checked before the temporary file is made beside the target, and again just before the target is
    // replaced.
    if (!mayReplaceFile(path, errorDescription))
        return false;
    QSaveFile file(path);
    const auto fail = [&](const QString &error) {
        if (errorDescription)
            *errorDescription = error;
        file.cancelWriting();
        return false;
    };
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (!file.setPermissions(permissions))
        return fail(file.errorString());
    // QSaveFile would rename a short file into place when the last buffered bytes fail to reach the
    // disk, so every byte is written to the descriptor, checked and synced before the commit.
    if (const std::optional<QString> writeError = writeAllAndSync(file.handle(), data))
        return fail(*writeError);
    QString error;
    if (!mayReplaceFile(path, &error))
        return fail(error);
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool saveFileMovingOldAside(const QString &path, const QString &aside, const QByteArray &data,
                            QFileDevice::Permissions permissions, QString *errorDescription)
{
    const QByteArray native = QFile::encodeName(path);
    const QByteArray asideNative = QFile::encodeName(aside);
    QByteArray temporary = native + ".XXXXXX";
    const auto fail = [&](const QString &error, bool madeTemporary) {
        if (madeTemporary)
            ::unlink(temporary.constData());
        if (errorDescription)
            *errorDescription = error;
        return false;
    };
    struct stat info = {};
    if (::stat(native.constData(), &info) != 0)
        return fail(QStringLiteral("%1: %2").arg(path, systemError(errno)), false);
    if (!S_ISREG(info.st_mode))
        return fail(notRegularText(path, info.st_mode), false);
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return fail(systemError(errno), false);
    if (::fchmod(fd.get(), modeOf(permissions)) != 0)
        return fail(systemError(errno), true);
    if (const std::optional<QString> writeError = writeAllAndSync(fd.get(), data))
        return fail(*writeError, true);
    if (::rename(native.constData(), asideNative.constData()) != 0)
        return fail(QStringLiteral("Cannot move %1 to %2: %3").arg(path, aside, systemError(errno)), true);
    if (::rename(temporary.constData(), native.constData()) != 0) {
        const int error = errno;
        ::rename(asideNative.constData(), native.constData());
        return fail(systemError(error), true);
    }
    return true;
}

void removeRegularFile(const QString &path)
{
    struct stat info = {};
    const QByteArray native = QFile::encodeName(path);
    if (::lstat(native.constData(), &info) == 0 && S_ISREG(info.st_mode))
        ::unlink(native.constData());
}

bool makePrivateFolder(const QString &path, QString *errorDescription)
{
    const auto fail = [errorDescription](const QString &error) {
        if (errorDescription)
            *errorDescription = error;
        return false;
    };
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    // Each level from the top: only a folder made here is made private.
    qsizetype from = 1;
    for (;;) {
        const qsizetype slash = absolute.indexOf(QLatin1Char('/'), from);
        const QString level = slash < 0 ? absolute : absolute.left(slash);
        const QByteArray native = QFile::encodeName(level);
        if (::mkdir(native.constData(), 0700) == 0) {
            ::chmod(native.constData(), 0700); // whatever the umask
        } else {
            const int error = errno;
            struct stat info = {};
            if (::stat(native.constData(), &info) != 0 || !S_ISDIR(info.st_mode))
                return fail(error == EEXIST
                                ? QStringLiteral("%1 is not a folder").arg(level)
                                : QStringLiteral("Cannot create the folder %1: %2").arg(level, systemError(error)));
        }
        if (slash < 0)
            return true;
        from = slash + 1;
    }
}

namespace {

// A lock file replaced again at every try is someone's doing on purpose: giving up then is fine.
constexpr int kLockAttempts = 8;
constexpr int kLockOpenFlags = O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC;

// Whether the open file `fd` is still the one at `path`: another launch may have replaced it meanwhile.
bool isAt(int fd, const QByteArray &path)
{
    struct stat opened = {};
    struct stat there = {};
    return ::fstat(fd, &opened) == 0 && ::lstat(path.constData(), &there) == 0 && opened.st_dev == there.st_dev &&
           opened.st_ino == there.st_ino;
}

// What a lock file says of its holder, in the lines QLockFile uses too.
void writeHolder(int fd)
{
    const QByteArray text =
        QByteArray::number(qint64(::getpid())) + "\nOvlin\n" + QSysInfo::machineHostName().toUtf8() + '\n';
    // The lines serve messages only: a failed write changes nothing about who holds the lock.
    if (::ftruncate(fd, 0) != 0)
        return;
    [[maybe_unused]] const ssize_t written = ::pwrite(fd, text.constData(), size_t(text.size()), 0);
}

} // namespace

LockFile::LockFile(QString path) : m_path(std::move(path))
{
}

LockFile::~LockFile()
{
    // Closing the descriptor releases the lock; the file stays for the next holder.
    if (m_fd >= 0)
        ::close(m_fd);
}

LockFile::Result LockFile::fail(const QString &error)
{
    m_error = error;
    return Result::failed;
}

LockFile::Result LockFile::tryLock()
{
    if (m_fd >= 0)
        return Result::taken;
    m_error.clear();
    const QByteArray native = QFile::encodeName(m_path);
    for (int attempt = 0; attempt < kLockAttempts; ++attempt) {
        struct stat info = {};
        if (::lstat(native.constData(), &info) == 0 && !S_ISREG(info.st_mode)) {
            m_error = QStringLiteral("Cannot use the lock file %1: it is no regular file.").arg(m_path);
            return Result::notRegular;
        }
        Descriptor fd(::open(native.constData(), O_RDWR | O_CREAT | kLockOpenFlags, 0644));
        const bool writable = fd.get() >= 0;
        // Another user's file can still be locked through a descriptor for reading.
        if (!writable && (errno == EACCES || errno == EPERM))
            fd.reset(::open(native.constData(), O_RDONLY | kLockOpenFlags));
        if (fd.get() < 0 && errno != EACCES && errno != EPERM) {
            // Something else took its place since the look above: the next look names it.
            if (errno == ELOOP || errno == ENXIO || errno == EISDIR)
                continue;
            return fail(QStringLiteral("Cannot open the lock file %1: %2").arg(m_path, systemError(errno)));
        }
        if (fd.get() >= 0) {
            if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
                continue;
            if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
                if (errno == EWOULDBLOCK)
                    return Result::held;
                if (errno == EINTR)
                    continue;
                return fail(QStringLiteral("Cannot lock %1: %2").arg(m_path, systemError(errno)));
            }
            if (!isAt(fd.get(), native))
                continue;
            if (writable) {
                // Readable to every user whatever the umask, so that a launch of another user (root's on
                // this home) can lock it too rather than replace it.
                if (info.st_uid == ::geteuid())
                    ::fchmod(fd.get(), 0644);
                writeHolder(fd.get());
                m_fd = fd.release();
                return Result::taken;
            }
        }
        // Another user's file (a copy run as root left it) that cannot be written, or not even opened: none
        // of this user's processes holds it, so it is replaced by one of this user's.
        if (const std::optional<Result> replaced = replaceForeignFile(fd.get()))
            return *replaced;
    }
    return fail(QStringLiteral("Cannot lock %1: it was replaced at every try.").arg(m_path));
}

// `foreign`: the file at the path, locked by this process, or -1 when it cannot be opened. Nothing when
// another launch replaced it first: that one is then tried.
std::optional<LockFile::Result> LockFile::replaceForeignFile(int foreign)
{
    const QByteArray native = QFile::encodeName(m_path);
    // Two launches replacing the file at once would each hold a file of their own: one at a time, under a
    // lock on the folder, released when its descriptor closes. (Where folders cannot be locked, the check
    // below still narrows the race to a moment.)
    Descriptor folder(
        ::open(QFile::encodeName(QFileInfo(m_path).path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.get() >= 0)
        while (::flock(folder.get(), LOCK_EX) != 0 && errno == EINTR) {
        }
    if (foreign >= 0 ? !isAt(foreign, native) : ::access(native.constData(), R_OK) == 0 || errno == ENOENT)
        return std::nullopt;
    QByteArray temporary = native + ".XXXXXX";
    Descriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (fd.get() < 0)
        return fail(QStringLiteral("Cannot replace the lock file %1: %2").arg(m_path, systemError(errno)));
    ::fchmod(fd.get(), 0644);
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0 || ::rename(temporary.constData(), native.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return fail(QStringLiteral("Cannot replace the lock file %1: %2").arg(m_path, systemError(error)));
    }
    writeHolder(fd.get());
    m_fd = fd.release();
    return Result::taken;
}

QString LockFile::holder() const
{
    const FileRead file = readRegularFile(m_path, 4096);
    const QList<QByteArray> lines = file.bytes.split('\n');
    bool known = false;
    const qint64 pid = lines.value(0).trimmed().toLongLong(&known);
    if (file.status != FileRead::Status::ok || !known || pid <= 0)
        return QStringLiteral("unknown");
    const QString host = QString::fromUtf8(lines.value(2).trimmed());
    if (!host.isEmpty() && host != QSysInfo::machineHostName())
        return QStringLiteral("%1 on %2").arg(pid).arg(host);
    return QString::number(pid);
}

} // namespace ovlin
