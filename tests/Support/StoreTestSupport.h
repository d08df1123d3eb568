#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QThread>
#include <QUuid>
#include <QVariant>

#include <atomic>
#include <limits>
#include <optional>

#include <sys/stat.h>

namespace storetest {

// A second, independent connection to a store file, for looking at (or interfering with) what the
// store wrote.
class RawConnection
{
public:
    explicit RawConnection(const QString &path)
        : m_name(QStringLiteral("raw-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces)))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000"));
        db.open();
    }
    ~RawConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    RawConnection(const RawConnection &) = delete;
    RawConnection &operator=(const RawConnection &) = delete;

    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

    bool exec(const QString &sql)
    {
        QSqlQuery query(database());
        return query.exec(sql);
    }

    QVariant scalar(const QString &sql)
    {
        QSqlQuery query(database());
        if (!query.exec(sql) || !query.next())
            return {};
        return query.value(0);
    }

private:
    QString m_name;
};

// Another program's connection holding the write lock on a store (`BEGIN EXCLUSIVE`) from its own thread,
// until release() or for `holdMs`, as a backup tool or the sqlite3 shell would. With `rollbackJournal` it
// first takes the file out of WAL mode (possible only while nothing else has it open), so that even
// reading it waits.
class StoreLockHolder : public QThread
{
public:
    StoreLockHolder(const QString &path, int holdMs, bool rollbackJournal = false)
        : m_path(path), m_holdMs(holdMs), m_rollbackJournal(rollbackJournal)
    {
    }
    ~StoreLockHolder() override
    {
        release();
        wait();
    }
    StoreLockHolder(const StoreLockHolder &) = delete;
    StoreLockHolder &operator=(const StoreLockHolder &) = delete;

    // Starts the thread and answers once the lock is held.
    bool lock()
    {
        start();
        return waitUntilLocked();
    }
    bool waitUntilLocked()
    {
        QDeadlineTimer deadline(10000);
        while (!m_locked && !isFinished() && !deadline.hasExpired())
            QThread::msleep(5);
        return m_locked;
    }
    void release() { m_release = true; }
    // Lets go `ms` from now, from the holder's own thread (while this one waits on the lock).
    void releaseAfter(int ms) { m_releaseAt = QDeadlineTimer(ms).deadline(); }

protected:
    void run() override
    {
        const QString name = QStringLiteral("lock-holder-%1").arg(QUuid::createUuid().toString(QUuid::WithoutBraces));
        {
            QSqlDatabase database = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
            database.setDatabaseName(m_path);
            if (database.open()) {
                QSqlQuery query(database);
                if ((!m_rollbackJournal || query.exec(QStringLiteral("PRAGMA journal_mode=DELETE"))) &&
                    query.exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
                    m_locked = true;
                    const QDeadlineTimer deadline(m_holdMs);
                    while (!m_release && !deadline.hasExpired() && QDeadlineTimer::current().deadline() < m_releaseAt)
                        QThread::msleep(10);
                    query.exec(QStringLiteral("COMMIT"));
                }
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

private:
    QString m_path;
    int m_holdMs;
    bool m_rollbackJournal;
    std::atomic<bool> m_locked{false};
    std::atomic<bool> m_release{false};
    std::atomic<qint64> m_releaseAt{std::numeric_limits<qint64>::max()};
};

inline QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

inline int fileMode(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 0777);
}

// Bytes that are certainly not a database: text, a NUL and high bytes.
inline QByteArray garbageBytes()
{
    QByteArray bytes("This is not a database.\n");
    bytes.append('\0');
    for (int i = 0; i < 4096; ++i)
        bytes.append(char((i * 37 + 11) & 0xff));
    return bytes;
}

inline QDateTime utc(const char *iso)
{
    QDateTime moment = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODateWithMs);
    return moment;
}

} // namespace storetest
