#include "Platform/Store.h"

#include "Base/Log.h"
#include "Base/MainThread.h"
#include "Base/UserFiles.h"
#include "Platform/StoreMapping.h"
#include "Platform/StoreTables.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ovlin {

using detail::StoreTables;

namespace {

std::atomic<quint64> g_connectionCounter{0};

bool fail(QString *errorDescription, const QString &text)
{
    if (errorDescription)
        *errorDescription = text;
    return false;
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Looks at what lies at `path` without changing it. A missing file is created empty with mode 0600, so
// the database SQLite writes into it (and its WAL and shared-memory files, which copy the mode) stays
// private to the user. `identity` is the file's device and inode, taken before SQLite opens it: should
// another file take its place meanwhile, the first save finds them differ.
bool prepareFile(const QString &path, QString *errorDescription, std::pair<quint64, quint64> *identity)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info
    {
    };
    if (::stat(native.constData(), &info) != 0) {
        if (errno != ENOENT)
            return fail(errorDescription, systemError(errno));
        const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0)
            return fail(errorDescription, systemError(errno));
        const bool known = ::fstat(fd, &info) == 0;
        const int error = errno;
        ::close(fd);
        if (!known)
            return fail(errorDescription, systemError(error));
        *identity = {info.st_dev, info.st_ino};
        return true;
    }
    *identity = {info.st_dev, info.st_ino};
    if (S_ISDIR(info.st_mode))
        return fail(errorDescription, QStringLiteral("A folder is in the place of the store file."));
    if (!S_ISREG(info.st_mode))
        return fail(errorDescription, QStringLiteral("The store path is not a regular file."));

    static const QByteArray sqliteHeader("SQLite format 3\0", 16);
    // Read from what is opened, which cannot block, in case something else took the file's place.
    const FileRead file = readRegularFile(path, sqliteHeader.size(), true);
    if (file.status != FileRead::Status::ok)
        return fail(errorDescription, file.error.isEmpty() ? QStringLiteral("The store file is gone.") : file.error);
    const QByteArray &head = file.bytes;
    // An empty file is an empty database to SQLite; anything else must start with its header.
    if (!head.isEmpty() && head != sqliteHeader)
        return fail(errorDescription, QStringLiteral("file is not a database"));
    if (::access(native.constData(), W_OK) != 0)
        return fail(errorDescription, QStringLiteral("The store file is not writable: %1").arg(systemError(errno)));
    return true;
}

// SQLite opens its journal, write-ahead log and shared memory beside the file it opened (links
// resolved) and removes them by name: a FIFO or device there would fail every save and be removed, so
// the store is not opened over anything but regular files (or nothing).
bool companionsAreRegular(const QString &path, QString *errorDescription)
{
    QByteArray base = QFile::encodeName(path);
    char resolved[PATH_MAX];
    if (::realpath(base.constData(), resolved))
        base = resolved;
    else if (errno != ENOENT) // a missing file is made where the path says
        return fail(errorDescription, systemError(errno));
    for (const char *suffix : {"-journal", "-wal", "-shm"}) {
        const QByteArray companion = base + suffix;
        struct stat info
        {
        };
        if (::stat(companion.constData(), &info) != 0) {
            if (errno == ENOENT)
                continue;
            return fail(errorDescription,
                        QStringLiteral("%1: %2").arg(QFile::decodeName(companion), systemError(errno)));
        }
        if (!S_ISREG(info.st_mode))
            return fail(
                errorDescription,
                QStringLiteral("%1 is not a regular file; it is left as it is.").arg(QFile::decodeName(companion)));
    }
    return true;
}

// The identity of what `path` names now (following links), or the error.
std::optional<std::pair<quint64, quint64>> identityOf(const QByteArray &path, int *error)
{
    struct stat info
    {
    };
    if (::stat(path.constData(), &info) != 0) {
        *error = errno;
        return std::nullopt;
    }
    return std::pair<quint64, quint64>(info.st_dev, info.st_ino);
}

bool execute(QSqlQuery &query, const QString &sql, QString *errorDescription)
{
    if (query.exec(sql))
        return true;
    return fail(errorDescription, StoreTables::errorText(query.lastError()));
}

} // namespace

StoreContainer::StoreContainer(const QString &filePath, const QString &connectionName)
    : m_filePath(filePath), m_connectionName(connectionName)
{
}

StoreContainer::~StoreContainer()
{
    m_context.reset();
    if (QSqlDatabase::contains(m_connectionName)) {
        // Closing checkpoints the log and deletes it by its name, unless the file was moved: then SQLite
        // leaves the log where it is, for the next opening of whatever has the name now to take in. So the
        // log is emptied into the file opened first, and its name, which may be another file's now, is
        // left alone.
        if (QString why; !filesAreTheOpenedOnes(&why)) {
            qCWarning(lcStore).noquote() << why << "Closing the store without touching what is there now.";
            // Another program's reader may hold the log for a moment; one that holds on longer would
            // leave it to be taken in by the file that has the name now.
            setBusyTimeout(closingCheckpointTimeoutMs);
            if (!keepToTheOpenedFiles())
                moveLogAside();
            if (sqlite3 *handle = sqliteHandle(QSqlDatabase::database(m_connectionName, false))) {
                int persist = 1;
                sqlite3_file_control(handle, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
            }
        }
        {
            QSqlDatabase database = QSqlDatabase::database(m_connectionName, false);
            database.close();
        }
        QSqlDatabase::removeDatabase(m_connectionName);
    }
}

std::unique_ptr<StoreContainer> StoreContainer::open(const QString &filePath, QString *errorDescription,
                                                     int busyTimeoutMs)
{
    OVLIN_ASSERT_MAIN_THREAD();
    if (filePath.isEmpty()) {
        fail(errorDescription, QStringLiteral("No store file was given."));
        return nullptr;
    }
    const QString path = QFileInfo(filePath).absoluteFilePath();
    std::pair<quint64, quint64> identity;
    if (!companionsAreRegular(path, errorDescription) || !prepareFile(path, errorDescription, &identity))
        return nullptr;
    std::unique_ptr<StoreContainer> container(
        new StoreContainer(path, QStringLiteral("ovlin-store-%1").arg(++g_connectionCounter)));
    container->m_fileIdentity = FileIdentity{identity.first, identity.second};
    if (!container->connect(busyTimeoutMs, errorDescription))
        return nullptr;
    container->setBusyTimeout(runningBusyTimeoutMs);
    return container;
}

bool StoreContainer::isLockedError(const QString &errorDescription)
{
    return errorDescription.contains(QLatin1String("database is locked")) ||
           errorDescription.contains(QLatin1String("database table is locked")) ||
           errorDescription.contains(QLatin1String("database schema is locked"));
}

void StoreContainer::setBusyTimeout(int ms)
{
    if (isInMemory())
        return;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(qMax(0, ms))))
        qCWarning(lcStore) << "Cannot set the busy timeout of" << m_filePath;
}

bool StoreContainer::retryWhileLocked(std::chrono::milliseconds budget, QString *errorDescription,
                                      const std::function<bool(int waitMs, QString *error)> &attempt)
{
    QString error;
    const qint64 budgetMs = std::clamp<qint64>(budget.count(), 0, std::numeric_limits<int>::max());
    const QDeadlineTimer deadline(budgetMs);
    bool done = false;
    for (;;) {
        // SQLite itself waits for the lock within the time left.
        done = attempt(int(std::clamp<qint64>(deadline.remainingTime(), 0, budgetMs)), &error);
        if (done || !isLockedError(error) || deadline.hasExpired())
            break;
        // Some locks are reported without waiting; look again shortly.
        QThread::msleep(20);
    }
    if (!done && errorDescription)
        *errorDescription = error;
    return done;
}

int StoreContainer::busyTimeout() const
{
    if (isInMemory())
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_connectionName, false));
    if (!query.exec(QStringLiteral("PRAGMA busy_timeout")) || !query.next())
        return 0;
    return query.value(0).toInt();
}

bool StoreContainer::saveBeforeClosing(std::chrono::milliseconds budget)
{
    OVLIN_ASSERT_MAIN_THREAD();
    StoreContext *context = m_context.get();
    if (!context || !context->hasChanges())
        return true;
    const qsizetype waiting = context->describeChanges().size();
    qCInfo(lcStore).noquote() << "Closing" << (isInMemory() ? QStringLiteral("the memory store") : m_filePath)
                              << "- saving" << waiting << (waiting == 1 ? "change" : "changes") << "that waited first";
    const int running = busyTimeout();
    QString error;
    const bool saved = retryWhileLocked(budget, &error, [this, context](int waitMs, QString *attemptError) {
        setBusyTimeout(waitMs);
        return context->savePending(attemptError);
    });
    setBusyTimeout(running);
    if (saved)
        return true;
    qCWarning(lcStore).noquote() << "Closing" << (isInMemory() ? QStringLiteral("the memory store") : m_filePath)
                                 << "with changes that could not be saved:" << error;
    for (const QString &change : context->describeChanges())
        qCWarning(lcStore).noquote() << "Not saved:" << change;
    return false;
}

void StoreContainer::noteOpenedLog(const QSqlDatabase &database)
{
    // SQLite names the log after the file it opened (links resolved), and keeps it open from the first read.
    sqlite3 *handle = sqliteHandle(database);
    const char *file = handle ? sqlite3_db_filename(handle, "main") : nullptr;
    if (!file || !*file)
        return;
    QSqlQuery query(database);
    if (execute(query, QStringLiteral("PRAGMA journal_mode"), nullptr) && query.next() &&
        query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) == 0) {
        m_walPath = QByteArray(sqlite3_filename_wal(file));
        int error = 0;
        if (const auto identity = identityOf(m_walPath, &error))
            m_walIdentity = FileIdentity{identity->first, identity->second};
    }
}

void StoreContainer::watchFiles()
{
    m_context->setWriteGuard([this](QString *errorDescription) {
        m_changedFilePath.clear();
        if (filesAreTheOpenedOnes(errorDescription, &m_changedFilePath))
            return true;
        // Should Ovlin end without closing the store, nothing it wrote is left for the file there now.
        keepToTheOpenedFiles();
        return false;
    });
}

bool StoreContainer::filesAreTheOpenedOnes(QString *errorDescription, QString *changedFile) const
{
    int error = 0;
    if (changedFile)
        *changedFile = m_filePath;
    if (m_fileIdentity) {
        const auto now = identityOf(QFile::encodeName(m_filePath), &error);
        if (!now && error == ENOENT)
            return fail(
                errorDescription,
                QStringLiteral("The store file %1 was removed or renamed while Ovlin was running.").arg(m_filePath));
        if (!now)
            return fail(
                errorDescription,
                QStringLiteral("The store file %1 cannot be looked at: %2").arg(m_filePath, systemError(error)));
        if (FileIdentity{now->first, now->second} != *m_fileIdentity)
            return fail(errorDescription,
                        QStringLiteral("The store file %1 was replaced by another file while Ovlin was running.")
                            .arg(m_filePath));
    }
    if (changedFile)
        *changedFile = QFile::decodeName(m_walPath);
    if (m_walIdentity) {
        const auto now = identityOf(m_walPath, &error);
        if (!now || FileIdentity{now->first, now->second} != *m_walIdentity)
            return fail(
                errorDescription,
                QStringLiteral("The store's write-ahead log %1 was removed or replaced while Ovlin was running.")
                    .arg(QFile::decodeName(m_walPath)));
    }
    if (changedFile)
        changedFile->clear();
    return true;
}

bool StoreContainer::keepToTheOpenedFiles()
{
    if (m_walPath.isEmpty())
        return true;
    sqlite3 *handle = sqliteHandle(QSqlDatabase::database(m_connectionName, false));
    if (!handle)
        return false;
    // Through the descriptors SQLite holds, never through the names.
    const int result = sqlite3_wal_checkpoint_v2(handle, "main", SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
    if (result == SQLITE_OK)
        return true;
    qCWarning(lcStore).noquote() << "Could not empty the write-ahead log of the store file Ovlin opened:"
                                 << QString::fromUtf8(sqlite3_errstr(result));
    return false;
}

void StoreContainer::moveLogAside()
{
    int error = 0;
    const auto now = identityOf(m_walPath, &error);
    // Only the log opened: whatever has its name now belongs to someone else.
    if (!now || !m_walIdentity || FileIdentity{now->first, now->second} != *m_walIdentity)
        return;
    const QByteArray base = m_walPath + ".aside";
    QByteArray aside = base;
    struct stat info
    {
    };
    for (int i = 2; ::lstat(aside.constData(), &info) == 0; ++i)
        aside = base + '.' + QByteArray::number(i);
    if (::rename(m_walPath.constData(), aside.constData()) != 0) {
        qCWarning(lcStore).noquote() << "Could not move the write-ahead log" << QFile::decodeName(m_walPath)
                                     << "aside:" << systemError(errno);
        return;
    }
    qCWarning(lcStore).noquote() << "Moved the write-ahead log of the store file Ovlin opened to"
                                 << QFile::decodeName(aside)
                                 << "- it holds changes of that file, not of the file there now.";
}

std::unique_ptr<StoreContainer> StoreContainer::openInMemory(QString *errorDescription)
{
    OVLIN_ASSERT_MAIN_THREAD();
    std::unique_ptr<StoreContainer> container(
        new StoreContainer(QString(), QStringLiteral("ovlin-memory-store-%1").arg(++g_connectionCounter)));
    if (!container->connect(0, errorDescription))
        return nullptr;
    return container;
}

bool StoreContainer::connect(int busyTimeoutMs, QString *errorDescription)
{
    QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    if (!database.isValid())
        return fail(
            errorDescription,
            QStringLiteral("The SQLite driver is not available: %1").arg(StoreTables::errorText(database.lastError())));
    database.setDatabaseName(isInMemory() ? QStringLiteral(":memory:") : m_filePath);
    if (!isInMemory())
        database.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(qMax(0, busyTimeoutMs)));
    if (!database.open())
        return fail(errorDescription, StoreTables::errorText(database.lastError()));

    QSqlQuery query(database);
    // SQLite opens lazily: reading the schema makes it read and check the file. Until the file has
    // proven to be an empty database or one of ours, nothing is written to it.
    const auto inspect = [&](int *objects, int *version) {
        if (!execute(query, QStringLiteral("SELECT count(*) FROM sqlite_master"), errorDescription) || !query.next())
            return false;
        *objects = query.value(0).toInt();
        if (!execute(query, QStringLiteral("PRAGMA user_version"), errorDescription) || !query.next())
            return false;
        *version = query.value(0).toInt();
        return true;
    };
    const auto check = [&](int objects, int version, bool *fresh) {
        *fresh = objects == 0 && version == 0;
        if (*fresh)
            return true;
        if (version > StoreTables::schemaVersion())
            return fail(errorDescription, QStringLiteral("The store was written by a newer version of Ovlin."));
        if (version != StoreTables::schemaVersion())
            return fail(errorDescription, QStringLiteral("The database is not an Ovlin store."));
        return StoreTables::verify(database, errorDescription);
    };

    int objects = 0;
    int version = 0;
    bool fresh = false;
    if (!inspect(&objects, &version) || !check(objects, version, &fresh))
        return false;

    // A new, empty file holds nothing to lose: it is set up without waiting for the disk (the syncs would
    // hold up the first window), and the store syncs as usual from its first save on. Should the machine
    // go down before the setup reaches the disk, the next start finds an empty file and sets it up again.
    int synchronous = -1;
    if (fresh && !isInMemory() && execute(query, QStringLiteral("PRAGMA synchronous"), nullptr) && query.next()) {
        synchronous = query.value(0).toInt();
        if (!execute(query, QStringLiteral("PRAGMA synchronous=OFF"), nullptr))
            synchronous = -1;
    }
    const auto restoreSynchronous = [&] {
        if (synchronous >= 0)
            execute(query, QStringLiteral("PRAGMA synchronous=%1").arg(synchronous), nullptr);
    };

    if (!isInMemory()) {
        if (!execute(query, QStringLiteral("PRAGMA journal_mode=WAL"), errorDescription))
            return false;
        if (!query.next() || query.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0)
            qCWarning(lcStore) << "The store at" << m_filePath << "keeps its rollback journal; WAL is not available";
    }

    if (fresh) {
        if (!execute(query, QStringLiteral("BEGIN IMMEDIATE"), errorDescription))
            return false;
        // Another connection may have set the store up while this one waited for the lock.
        bool stillFresh = false;
        bool ok = inspect(&objects, &version) && check(objects, version, &stillFresh);
        if (ok && stillFresh) {
            for (const QString &statement : StoreTables::createStatements()) {
                if (!(ok = execute(query, statement, errorDescription)))
                    break;
            }
            ok = ok && execute(query, QStringLiteral("PRAGMA user_version = %1").arg(StoreTables::schemaVersion()),
                               errorDescription);
        }
        ok = ok && execute(query, QStringLiteral("COMMIT"), errorDescription);
        if (!ok) {
            QSqlQuery rollback(database);
            rollback.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    restoreSynchronous();
    // Before the history is read, which may take a while: a log replaced meanwhile must show.
    if (!isInMemory())
        noteOpenedLog(database);

    m_context.reset(new StoreContext(database, isInMemory()));
    if (!m_context->load(errorDescription)) {
        m_context.reset();
        return false;
    }
    if (!isInMemory())
        watchFiles();
    return true;
}

} // namespace ovlin
