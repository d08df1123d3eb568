#pragma once

#include "Platform/LiveQuery.h"
#include "Platform/StoreContext.h"
#include "Platform/StoreRecord.h"

#include <QByteArray>
#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace ovlin {

// A store of the four record types over SQLite: a file or memory only. Opening loads every record
// into the main context, except reminder logs of before the last eight days, which stay in the file as a
// compact list in their reminder (see StoreContext). Main thread only.
//
// A file store is opened only when the file really is a store this program can use: a folder in its
// place, bytes that are not an SQLite database, a database of another schema or of a newer version all
// fail with a description, and such a file is left exactly as it was (nothing is created in it, its
// journal mode is not touched); so is anything but a regular file in the place of its journal,
// write-ahead log or shared memory. A missing file is created (mode 0600) with the schema. File stores use
// a WAL journal. Opening waits up to `busyTimeoutMs` for another connection's lock; once open, a statement
// waits only `runningBusyTimeoutMs`: the store works on the main thread, and a save that finds the file
// locked keeps its changes and tries again later (see StoreContext).
//
// Another program may remove, rename or replace the file (or its write-ahead log) while it is open. Before
// each write the store checks that its path still names the files it opened (device and inode); if not,
// nothing is written, the changes wait (StoreContext::isFileLost()), and what the log holds goes only to
// the file opened, so nothing of it reaches a file that now has that name, at close either: a log that
// cannot be emptied then (another reader holds on to it) is renamed aside and kept.
class StoreContainer
{
public:
    static constexpr int defaultBusyTimeoutMs = 5000;
    static constexpr int runningBusyTimeoutMs = 100;
    // How long closing a store whose file was replaced waits for other readers of its write-ahead log.
    static constexpr int closingCheckpointTimeoutMs = 2000;

    static std::unique_ptr<StoreContainer> open(const QString &filePath, QString *errorDescription,
                                                int busyTimeoutMs = defaultBusyTimeoutMs);
    static std::unique_ptr<StoreContainer> openInMemory(QString *errorDescription);
    // Whether a failure of open() or of a save came from another connection's lock, so that trying again
    // later may succeed (SQLite's own texts for its busy and locked results).
    static bool isLockedError(const QString &errorDescription);
    // Runs `attempt` with how long SQLite may wait for another connection's lock (the time left), and
    // again while it fails on such a lock and `budget` is not spent; any other failure ends it at once.
    // `attempt` answers whether it succeeded and describes a failure in its error text, which ends up in
    // `errorDescription`.
    static bool retryWhileLocked(std::chrono::milliseconds budget, QString *errorDescription,
                                 const std::function<bool(int waitMs, QString *error)> &attempt);
    // How long a file store's statements wait for another connection's lock from now on.
    void setBusyTimeout(int ms);
    // The wait the connection uses now (0 for a memory-only store).
    int busyTimeout() const;

    // The last save before the store closes: what the main context still holds unsaved is written,
    // waiting up to `budget` for another connection's lock. Answers whether nothing is left unsaved;
    // otherwise every change that stays unwritten is logged.
    bool saveBeforeClosing(std::chrono::milliseconds budget);

    ~StoreContainer();
    StoreContainer(const StoreContainer &) = delete;
    StoreContainer &operator=(const StoreContainer &) = delete;

    StoreContext *mainContext() const { return m_context.get(); }
    // The absolute path of the store file; empty for a memory-only store.
    QString filePath() const { return m_filePath; }
    bool isInMemory() const { return m_filePath.isEmpty(); }
    // Which file the last save found no longer the one opened: filePath() or its write-ahead log; empty
    // while both are (see StoreContext::isFileLost()).
    QString changedFilePath() const { return m_changedFilePath; }

private:
    struct FileIdentity
    {
        quint64 device = 0;
        quint64 inode = 0;
        bool operator==(const FileIdentity &) const = default;
    };

    StoreContainer(const QString &filePath, const QString &connectionName);
    bool connect(int busyTimeoutMs, QString *errorDescription);
    // Remembers which write-ahead log the connection opened (the file's identity is taken as it is opened).
    void noteOpenedLog(const QSqlDatabase &database);
    // Checks the files opened before every write from now on.
    void watchFiles();
    // Whether the path (and the write-ahead log's) still names the file opened; if not, says why and
    // which of the two it is.
    bool filesAreTheOpenedOnes(QString *errorDescription, QString *changedFile = nullptr) const;
    // Moves what the write-ahead log holds into the file opened and empties the log; false if it could not.
    bool keepToTheOpenedFiles();
    // Renames the log opened, if it still has its name, so that no file opened under the name takes it in.
    void moveLogAside();

    QString m_filePath;
    std::optional<FileIdentity> m_fileIdentity;
    QByteArray m_walPath;
    std::optional<FileIdentity> m_walIdentity;
    QString m_changedFilePath;
    QString m_connectionName;
    std::unique_ptr<StoreContext> m_context;
};

} // namespace ovlin
