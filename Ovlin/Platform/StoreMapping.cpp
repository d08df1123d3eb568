#include "Platform/StoreMapping.h"

#include "Base/Log.h"
#include "Base/Uuid.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <sqlite3.h>

#include <algorithm>
#include <cmath>

namespace ovlin {

namespace storeValue {

// SQLite binds a null QString as NULL; a required or present text must stay text, even when empty.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant dateMSecs(qint64 msecs)
{
    constexpr qint64 limit = std::numeric_limits<qint64>::max() / 1000;
    if (msecs > limit || msecs < -limit) {
        qCWarning(lcStore, "A date beyond the storable range was clamped");
        msecs = std::clamp(msecs, -limit, limit);
    }
    return QVariant(msecs * 1000);
}

QVariant date(const QDateTime &value)
{
    return value.isValid() ? dateMSecs(value.toMSecsSinceEpoch()) : QVariant();
}

QVariant integer(qint64 value)
{
    return QVariant(value);
}

QVariant boolean(bool value)
{
    return QVariant(qint64(value ? 1 : 0));
}

QVariant real(double value)
{
    // SQLite cannot hold NaN (it becomes NULL); NULL reads back as NaN.
    return std::isnan(value) ? QVariant() : QVariant(value);
}

QVariant integerList(const QList<qint64> &values)
{
    QString joined = QStringLiteral("");
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            joined += QLatin1Char(',');
        joined += QString::number(values[i]);
    }
    return QVariant(joined);
}

QVariant bytes(const QByteArray &value)
{
    // A null QByteArray binds as NULL; present-but-empty bytes stay an empty blob.
    return value.isNull() ? QVariant(QByteArray("", 0)) : QVariant(value);
}

QVariant uuid(const QUuid &value)
{
    return uuidText(value);
}

QVariant owner(const StoreRecord *record)
{
    return record ? QVariant(record->persistentId()) : QVariant();
}

qint64 msecsOfMicros(qint64 micros)
{
    qint64 msecs = micros / 1000;
    if (micros % 1000 < 0)
        --msecs;
    return msecs;
}

} // namespace storeValue

QString storeErrorText(const QSqlError &error)
{
    const QString engine = error.databaseText().trimmed();
    if (!engine.isEmpty())
        return engine;
    const QString driver = error.driverText().trimmed();
    return driver.isEmpty() ? QStringLiteral("Unknown database error") : driver;
}

// --- Rows -----------------------------------------------------------------------------------------

bool StoreRow::isNull(int column) const
{
    return m_query.isNull(column);
}

qint64 StoreRow::integer(int column) const
{
    return m_query.value(column).toLongLong();
}

QString StoreRow::text(int column) const
{
    QString value = m_query.value(column).toString();
    return value.isNull() ? QStringLiteral("") : value;
}

QString StoreRow::internedText(int column, const std::vector<QString> &known) const
{
    const QString value = text(column);
    for (const QString &candidate : known) {
        if (candidate == value)
            return candidate;
    }
    return value;
}

QUuid StoreRow::uuid(int column) const
{
    return QUuid::fromString(m_query.value(column).toString());
}

QDateTime StoreRow::date(int column) const
{
    if (isNull(column))
        return {};
    return QDateTime::fromMSecsSinceEpoch(msecs(column));
}

double StoreRow::real(int column) const
{
    if (isNull(column))
        return std::numeric_limits<double>::quiet_NaN();
    return m_query.value(column).toDouble();
}

QList<qint64> StoreRow::integerList(int column) const
{
    QList<qint64> values;
    const QString joined = text(column);
    if (joined.isEmpty())
        return values;
    for (const QStringView part : QStringView(joined).split(QLatin1Char(','))) {
        bool ok = false;
        const qint64 value = part.toLongLong(&ok);
        if (ok)
            values.append(value);
    }
    return values;
}

QByteArray StoreRow::bytes(int column) const
{
    QByteArray value = m_query.value(column).toByteArray();
    return value.isNull() ? QByteArray("", 0) : value;
}

// --- SQLite's own statements ----------------------------------------------------------------------

SqliteStatement::SqliteStatement(sqlite3 *handle, const QByteArray &sql)
{
    if (handle && sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_statement);
        m_statement = nullptr;
    }
}

SqliteStatement::~SqliteStatement()
{
    sqlite3_finalize(m_statement);
}

bool SqliteStatement::bind(int index, qint64 value)
{
    return m_statement && sqlite3_bind_int64(m_statement, index, value) == SQLITE_OK;
}

// --- One load -------------------------------------------------------------------------------------

sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.constData());
    return nullptr;
}

namespace {

std::size_t slot(RecordType type)
{
    return std::size_t(recordTypeIndex(type));
}

} // namespace

StoreLoad::StoreLoad(const QSqlDatabase &database, qint64 recentFromMs)
    : m_database(database), m_sqlite(sqliteHandle(database)), m_recentFromMs(recentFromMs)
{
}

std::vector<std::shared_ptr<StoreRecord>> &StoreLoad::records(RecordType type)
{
    return m_records[slot(type)];
}

StoreRecord *StoreLoad::record(RecordType type, qint64 rowKey) const
{
    const auto &records = m_records[slot(type)];
    const auto found = std::lower_bound(records.begin(), records.end(), rowKey,
                                        [](const auto &record, qint64 key) { return record->persistentId() < key; });
    return found != records.end() && (*found)->persistentId() == rowKey ? found->get() : nullptr;
}

void StoreLoad::add(std::shared_ptr<StoreRecord> record, qint64 rowKey)
{
    record->m_persistentId = rowKey;
    const std::size_t type = slot(record->recordType());
    m_largestRowKey[type] = std::max(m_largestRowKey[type], rowKey);
    m_records[type].push_back(std::move(record));
}

void StoreLoad::keepRowInFile(RecordType type, qint64 rowKey)
{
    auto &largest = m_largestRowKey[slot(type)];
    largest = std::max(largest, rowKey);
}

qint64 StoreLoad::largestRowKey(RecordType type) const
{
    return m_largestRowKey[slot(type)];
}

bool StoreLoad::fail(const QString &errorText)
{
    m_error = errorText;
    return false;
}

bool StoreLoad::failSqlite()
{
    return fail(m_sqlite ? QString::fromUtf8(sqlite3_errmsg(m_sqlite))
                         : QStringLiteral("The store is not an SQLite database."));
}

// --- Tables ---------------------------------------------------------------------------------------

StoreTableMapping::~StoreTableMapping() = default;

QString StoreTableMapping::selectSql(const QString &condition) const
{
    QString sql = QStringLiteral("SELECT pk");
    for (const StoreColumn &column : columns())
        sql += QStringLiteral(", ") + QLatin1String(column.name);
    sql += QStringLiteral(" FROM ") + QLatin1String(tableName());
    if (!condition.isEmpty())
        sql += QStringLiteral(" WHERE ") + condition;
    return sql + QStringLiteral(" ORDER BY pk");
}

int StoreTableMapping::selectColumn(const char *name) const
{
    const std::vector<StoreColumn> all = columns();
    for (std::size_t i = 0; i < all.size(); ++i) {
        if (qstrcmp(all[i].name, name) == 0)
            return int(i) + 1;
    }
    return -1;
}

bool StoreTableMapping::load(StoreLoad &load) const
{
    QSqlQuery query(load.database());
    query.setForwardOnly(true);
    if (!query.exec(selectSql()))
        return load.fail(storeErrorText(query.lastError()));
    while (query.next()) {
        const StoreRow row(query);
        load.add(read(row, load), row.integer(0));
    }
    if (query.lastError().isValid())
        return load.fail(storeErrorText(query.lastError()));
    return true;
}

void StoreTableMapping::finishLoad(StoreLoad &) const
{
}

bool StoreTableMapping::loadKeptRows(StoreRecord &, qint64, qint64, StoreLoad &) const
{
    return true;
}

QString StoreTableMapping::deleteRowsOfOwnerSql(RecordType) const
{
    return {};
}

} // namespace ovlin
