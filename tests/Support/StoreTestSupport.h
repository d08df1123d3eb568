#pragma once

#include <QByteArray>
#include <QCryptographicHash>
#include <QDateTime>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QUuid>
#include <QVariant>

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
