#include "Base/UserFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
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
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

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
    // disk, so every byte is written to the descriptor, checked and synced before the commit (which also
    // keeps the system's reason: Qt reports a full disk as "Unknown error").
    for (qsizetype done = 0; done < data.size();) {
        const ssize_t n = ::write(file.handle(), data.constData() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(systemError(n < 0 ? errno : EIO));
        done += n;
    }
    if (::fsync(file.handle()) != 0)
        return fail(systemError(errno));
    QString error;
    if (!mayReplaceFile(path, &error))
        return fail(error);
    if (!file.commit())
        return fail(file.errorString());
    return true;
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

} // namespace ovlin
