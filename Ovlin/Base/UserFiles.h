#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

#include <optional>

namespace ovlin {

// The files Ovlin keeps (settings, caches, stores, the autostart entry) sit in the user's folders, where
// anything may take their place: a FIFO, a device, a socket, a folder, a link to one of them. Reading
// such a thing could block forever or never end, and writing could replace it, so these helpers read
// and replace only regular files.

struct FileRead
{
    enum class Status {
        ok,
        absent,         // nothing at the path (or a link to nothing)
        notRegularFile, // a FIFO, device, socket or folder, or a link to one: not read, not opened for long
        tooLarge,       // a regular file over the limit: not read
        failed,         // a regular file that could not be opened or read
    };
    Status status = Status::failed;
    QByteArray bytes;
    // Why it was not read, for a log line.
    QString error;
};

// Reads the regular file at `path` (a link to one counts) if it holds at most `maxBytes`. It is opened
// so that nothing can block (a FIFO is seen for what it is before anything is read) and never read
// more than one byte past the limit, also when it grows meanwhile. With `firstBytesOnly`, a longer
// file is not refused: only its first `maxBytes` are read.
FileRead readRegularFile(const QString &path, qint64 maxBytes, bool firstBytesOnly = false);

// Whether a save may replace what `path` names: nothing yet, a regular file, or a link (through any
// number of links) to a regular file or to nothing, whose target is then replaced and the link kept.
// Anything else is left alone, and `errorDescription` says what it is.
bool mayReplaceFile(const QString &path, QString *errorDescription);

// Replaces `path` with `data` only once every byte is written and on disk: on any failure (a full disk,
// a file size limit, a path that is no regular file) the old file stays as it was and
// `errorDescription` says why. A link is kept and its target replaced.
bool saveFileAtomically(const QString &path, const QByteArray &data, QFileDevice::Permissions permissions,
                        QString *errorDescription);

// Like saveFileAtomically, for a file that cannot stay: the regular file at `path` (or the link there) is
// moved to `aside` (replacing what is there) only once `data` is wholly on disk beside it, and the new file
// takes its place at once; if the new file cannot be written or put in place, the old one stays (or is put
// back) where it was and `errorDescription` says why.
bool saveFileMovingOldAside(const QString &path, const QString &aside, const QByteArray &data,
                            QFileDevice::Permissions permissions, QString *errorDescription);

// Removes `path` if it is a regular file; anything else there stays.
void removeRegularFile(const QString &path);

// Creates the folder `path` with any missing parents, each folder it creates private to the user
// (0700); folders that exist already are left as they are.
bool makePrivateFolder(const QString &path, QString *errorDescription);

// A lock that the kernel holds for this process (flock) and releases when it ends, however it ends: a
// lock file left behind by a copy that crashed, was killed, ran on another machine, in another process
// namespace or as another user never keeps anyone out, whatever it says. The file stays in place (taking
// the lock over removes no one's), and while held it names the holder's process and host, for messages
// only. Another user's file that cannot be written, or not even read, is replaced by one of this user's.
class LockFile
{
public:
    explicit LockFile(QString path);
    ~LockFile();
    LockFile(const LockFile &) = delete;
    LockFile &operator=(const LockFile &) = delete;

    enum class Result {
        taken,      // this process holds it now
        held,       // a running process holds it
        notRegular, // a folder, FIFO, socket, device or link is in its place: left alone
        failed,     // it cannot be made, opened or locked: see errorString()
    };
    // Held from the first call that answers `taken` until this object goes.
    Result tryLock();

    QString path() const { return m_path; }
    // The process the file names as its holder, "2211" or "2211 on otherhost", or "unknown".
    QString holder() const;
    QString errorString() const { return m_error; }

private:
    Result fail(const QString &error);
    std::optional<Result> replaceForeignFile(int foreign);

    QString m_path;
    QString m_error;
    int m_fd = -1;
};

} // namespace ovlin
