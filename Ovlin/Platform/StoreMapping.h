#pragma once

#include "Platform/OneToMany.h"
#include "Platform/StoreRecord.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QUtf8StringView>
#include <QUuid>
#include <QVariant>

#include <sqlite3.h>

#include <array>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

class QSqlError;

namespace ovlin {

// Column values as the store keeps them in SQLite. Dates are INTEGER microseconds since 1970 (UTC);
// optional fields are NULL when absent (an empty text or empty bytes stay empty); a list of integers is
// TEXT joined by ","; a relationship is the owner's row key in the member's row. A required date column
// holds NULL only for an invalid date.
namespace storeValue {
QVariant text(const QString &value);
QVariant dateMSecs(qint64 msecs);
QVariant date(const QDateTime &value);
QVariant integer(qint64 value);
QVariant boolean(bool value);
QVariant real(double value);
QVariant integerList(const QList<qint64> &values);
QVariant bytes(const QByteArray &value);
QVariant uuid(const QUuid &value);
QVariant owner(const StoreRecord *record);
// Floor division: a date before 1970 reads back as the millisecond it was stored from.
qint64 msecsOfMicros(qint64 micros);
} // namespace storeValue

// The engine's own words for an error ("database is locked"), else the driver's.
QString storeErrorText(const QSqlError &error);

// One row read through Qt SQL: column 0 is the row key, the stored fields follow in column order.
class StoreRow
{
public:
    explicit StoreRow(const QSqlQuery &query) : m_query(query) {}

    bool isNull(int column) const;
    qint64 integer(int column) const;
    QString text(int column) const;
    // Shares one string per common value, so thousands of rows do not hold thousands of copies of one name.
    QString internedText(int column, const std::vector<QString> &known) const;
    QUuid uuid(int column) const;
    // Milliseconds of a non-null date column.
    qint64 msecs(int column) const { return storeValue::msecsOfMicros(integer(column)); }
    QDateTime date(int column) const;
    double real(int column) const;
    QList<qint64> integerList(int column) const;
    QByteArray bytes(int column) const;

private:
    const QSqlQuery &m_query;
};

// How a field of C++ type V lies in its column: the SQL type and the conversions both ways.
template <class V> struct StoreColumnType;

template <> struct StoreColumnType<QUuid>
{
    static constexpr const char *declaration = "TEXT NOT NULL";
    static QVariant encode(const QUuid &value) { return storeValue::uuid(value); }
    static QUuid decode(const StoreRow &row, int column) { return row.uuid(column); }
};
template <> struct StoreColumnType<QString>
{
    static constexpr const char *declaration = "TEXT NOT NULL";
    static constexpr const char *nullableDeclaration = "TEXT";
    static QVariant encode(const QString &value) { return storeValue::text(value); }
    static QString decode(const StoreRow &row, int column) { return row.text(column); }
};
template <> struct StoreColumnType<QDateTime>
{
    // An invalid date is stored as NULL, so even a required date column is nullable.
    static constexpr const char *declaration = "INTEGER";
    static constexpr const char *nullableDeclaration = "INTEGER";
    static QVariant encode(const QDateTime &value) { return storeValue::date(value); }
    static QDateTime decode(const StoreRow &row, int column) { return row.date(column); }
};
template <> struct StoreColumnType<qint64>
{
    static constexpr const char *declaration = "INTEGER NOT NULL";
    static constexpr const char *nullableDeclaration = "INTEGER";
    static QVariant encode(qint64 value) { return storeValue::integer(value); }
    static qint64 decode(const StoreRow &row, int column) { return row.integer(column); }
};
template <> struct StoreColumnType<bool>
{
    static constexpr const char *declaration = "INTEGER NOT NULL";
    static QVariant encode(bool value) { return storeValue::boolean(value); }
    static bool decode(const StoreRow &row, int column) { return row.integer(column) != 0; }
};
template <> struct StoreColumnType<double>
{
    // NaN is stored as NULL.
    static constexpr const char *declaration = "REAL";
    static QVariant encode(double value) { return storeValue::real(value); }
    static double decode(const StoreRow &row, int column) { return row.real(column); }
};
template <> struct StoreColumnType<QList<qint64>>
{
    static constexpr const char *declaration = "TEXT NOT NULL";
    static QVariant encode(const QList<qint64> &value) { return storeValue::integerList(value); }
    static QList<qint64> decode(const StoreRow &row, int column) { return row.integerList(column); }
};
template <> struct StoreColumnType<QByteArray>
{
    static constexpr const char *declaration = "BLOB NOT NULL";
    static constexpr const char *nullableDeclaration = "BLOB";
    static QVariant encode(const QByteArray &value) { return storeValue::bytes(value); }
    static QByteArray decode(const StoreRow &row, int column) { return row.bytes(column); }
};
// An optional field is NULL when absent.
template <class V> struct StoreColumnType<std::optional<V>>
{
    static constexpr const char *declaration = StoreColumnType<V>::nullableDeclaration;
    static QVariant encode(const std::optional<V> &value)
    {
        return value ? StoreColumnType<V>::encode(*value) : QVariant();
    }
    static std::optional<V> decode(const StoreRow &row, int column)
    {
        if (row.isNull(column))
            return std::nullopt;
        return StoreColumnType<V>::decode(row, column);
    }
};

// The connection under the Qt driver, when it is SQLite's own; null otherwise.
sqlite3 *sqliteHandle(const QSqlDatabase &database);

// A prepared statement on SQLite's own connection that finalizes itself.
class SqliteStatement
{
public:
    SqliteStatement(sqlite3 *handle, const QByteArray &sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement &) = delete;
    SqliteStatement &operator=(const SqliteStatement &) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    bool bind(int index, qint64 value);
    // Steps to the next row; false at the end or on an error (see failed()).
    bool next()
    {
        const int step = sqlite3_step(m_statement);
        m_failed = step != SQLITE_ROW && step != SQLITE_DONE;
        return step == SQLITE_ROW;
    }
    // Whether the last step ended in an error rather than at the end of the rows.
    bool failed() const { return m_failed; }
    // The columns of the current row; inline, since a store's logs read a million rows through them.
    QUtf8StringView text(int column) const
    {
        const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return QUtf8StringView(bytes, bytes ? sqlite3_column_bytes(m_statement, column) : 0);
    }
    bool isNull(int column) const { return sqlite3_column_type(m_statement, column) == SQLITE_NULL; }
    qint64 integer(int column) const { return sqlite3_column_int64(m_statement, column); }

private:
    sqlite3_stmt *m_statement = nullptr;
    bool m_failed = false;
};

// What one opening (or one later read) of the store has loaded so far, handed to each table in turn.
class StoreLoad
{
public:
    StoreLoad(const QSqlDatabase &database, qint64 recentFromMs);

    const QSqlDatabase &database() const { return m_database; }
    // The connection under the Qt driver, when it is SQLite's own; null otherwise.
    sqlite3 *sqlite() const { return m_sqlite; }
    // Rows dated before this instant (ms since 1970) may stay in the file rather than become objects.
    qint64 recentFromMs() const { return m_recentFromMs; }

    // The records of a type read so far, in row-key order.
    std::vector<std::shared_ptr<StoreRecord>> &records(RecordType type);
    // The loaded record of `type` with that row key, or null.
    StoreRecord *record(RecordType type, qint64 rowKey) const;
    // Adds a record read from the row `rowKey`.
    void add(std::shared_ptr<StoreRecord> record, qint64 rowKey);
    // A row left in the file: the keys of new rows must still come after it.
    void keepRowInFile(RecordType type, qint64 rowKey);
    // The largest row key seen of a type, loaded or left in the file (0 for none).
    qint64 largestRowKey(RecordType type) const;

    // Records the failure and answers false.
    bool fail(const QString &errorText);
    bool failSqlite();
    QString errorText() const { return m_error; }

private:
    QSqlDatabase m_database;
    sqlite3 *m_sqlite = nullptr;
    qint64 m_recentFromMs;
    std::array<std::vector<std::shared_ptr<StoreRecord>>, recordTypeCount> m_records;
    std::array<qint64, recordTypeCount> m_largestRowKey{};
    QString m_error;
};

struct StoreColumn
{
    const char *name;
    const char *declaration;
};

// How one record type lies in its table: the row key in INTEGER PRIMARY KEY column `pk`, then one column
// per stored field in field order. Each record type describes its own table next to the record; the store
// knows the types only through these descriptions (see storeSchema()).
class StoreTableMapping
{
public:
    virtual ~StoreTableMapping();

    virtual RecordType recordType() const = 0;
    virtual const char *tableName() const = 0;
    virtual std::vector<StoreColumn> columns() const = 0;
    // The record's stored fields in column order, as they are written.
    virtual QVariantList values(const StoreRecord &record) const = 0;
    // Binds them from placeholder `index` on, moving `index` past them.
    void bind(const StoreRecord &record, QSqlQuery &query, int &index) const
    {
        for (const QVariant &value : values(record))
            query.bindValue(index++, value);
    }

    // Reads the whole table into `load`, in row-key order. Tables are read in schema order, so the owners
    // of a relationship are there when their members are read.
    virtual bool load(StoreLoad &load) const;
    // Called once every table is read.
    virtual void finishLoad(StoreLoad &load) const;
    // Turns rows of this table that belong to `owner` and were left in the file, dated in [fromMs, toMs),
    // into records added to `load`. Nothing stored changes.
    virtual bool loadKeptRows(StoreRecord &owner, qint64 fromMs, qint64 toMs, StoreLoad &load) const;
    // A statement that deletes the rows of this table belonging to a deleted record of type `owner` (bind
    // the owner's row key), for rows that never became objects; empty when none can be left in the file.
    virtual QString deleteRowsOfOwnerSql(RecordType owner) const;

    // SELECT of the row key and every column, `condition` (if any) as its WHERE clause, in row-key order.
    QString selectSql(const QString &condition = {}) const;
    // The position of a column in selectSql()'s rows (the row key is 0), -1 for an unknown name.
    int selectColumn(const char *name) const;

protected:
    StoreTableMapping() = default;
    // A record of this table's type made from one row; the generic load() calls it per row.
    virtual std::shared_ptr<StoreRecord> read(const StoreRow &row, StoreLoad &load) const = 0;
};

// A table described field by field: adding a stored field is one line in the field list of its record's
// table. R is the record class; the subclass is its friend and makes new, empty records.
template <class R> class RecordTable : public StoreTableMapping
{
public:
    struct Field
    {
        const char *name;
        const char *declaration;
        std::function<QVariant(const R &)> write;
        std::function<void(R &, const StoreRow &, int, StoreLoad &)> read;
    };

    RecordType recordType() const override { return R::staticRecordType; }
    const char *tableName() const override { return m_name; }

    std::vector<StoreColumn> columns() const override
    {
        std::vector<StoreColumn> all;
        all.reserve(m_fields.size());
        for (const Field &field : m_fields)
            all.push_back(StoreColumn{field.name, field.declaration});
        return all;
    }

    QVariantList values(const StoreRecord &record) const override
    {
        const R &typed = static_cast<const R &>(record);
        QVariantList all;
        all.reserve(qsizetype(m_fields.size()));
        for (const Field &field : m_fields)
            all.append(field.write(typed));
        return all;
    }

protected:
    RecordTable(const char *name, std::vector<Field> fields) : m_name(name), m_fields(std::move(fields)) {}

    virtual std::shared_ptr<R> make() const = 0;

    std::shared_ptr<StoreRecord> read(const StoreRow &row, StoreLoad &load) const override
    {
        std::shared_ptr<R> record = make();
        for (std::size_t i = 0; i < m_fields.size(); ++i)
            m_fields[i].read(*record, row, int(i) + 1, load);
        return record;
    }

    // A field stored as its C++ type says (see StoreColumnType).
    template <class V> static Field field(const char *name, V R::*member)
    {
        return Field{name, StoreColumnType<V>::declaration,
                     [member](const R &record) { return StoreColumnType<V>::encode(record.*member); },
                     [member](R &record, const StoreRow &row, int column, StoreLoad &) {
                         record.*member = StoreColumnType<V>::decode(row, column);
                     }};
    }

    // A text that nearly always holds one of `known` (a case name).
    static Field namedCase(const char *name, QString R::*member, std::vector<QString> known)
    {
        return Field{name, StoreColumnType<QString>::declaration,
                     [member](const R &record) { return storeValue::text(record.*member); },
                     [member, known = std::move(known)](R &record, const StoreRow &row, int column, StoreLoad &) {
                         record.*member = row.internedText(column, known);
                     }};
    }

    // The member's end of a one-to-many relationship: the owner's row key. A row whose owner is gone
    // reads as a record without one.
    template <class Owner> static Field owner(const char *name, std::weak_ptr<Owner> R::*member)
    {
        return Field{name, "INTEGER",
                     [member](const R &record) { return storeValue::owner((record.*member).lock().get()); },
                     [](R &record, const StoreRow &row, int column, StoreLoad &load) {
                         if (row.isNull(column))
                             return;
                         if (StoreRecord *found = load.record(Owner::staticRecordType, row.integer(column)))
                             detail::OneToMany<Owner, R>::linkLoaded(
                                 std::static_pointer_cast<Owner>(found->shared_from_this()),
                                 std::static_pointer_cast<R>(static_cast<StoreRecord &>(record).shared_from_this()));
                     }};
    }

private:
    const char *m_name;
    std::vector<Field> m_fields;
};

// The record types of the store in schema order, and the schema's version (SQLite's user_version).
struct StoreSchema
{
    int version = 0;
    std::vector<const StoreTableMapping *> tables;
};

// The application's schema; defined beside the records it lists.
const StoreSchema &storeSchema();

// The case names of an enumeration's cases, in order.
template <class Cases> std::vector<QString> caseNames(const Cases &cases)
{
    std::vector<QString> names;
    for (const auto value : cases)
        names.push_back(rawValue(value));
    return names;
}

} // namespace ovlin
