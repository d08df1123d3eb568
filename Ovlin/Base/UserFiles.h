#pragma once

#include <QByteArray>
#include <QFileDevice>
#include <QString>

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

// Creates the folder `path` with any missing parents, each folder it creates private to the user
// (0700); folders that exist already are left as they are.
bool makePrivateFolder(const QString &path, QString *errorDescription);

} // namespace ovlin
