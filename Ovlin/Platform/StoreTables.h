#pragma once

#include "Platform/StoreRecord.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace ovlin {
class StoreTableMapping;
} // namespace ovlin

namespace ovlin::detail {

// The SQL of the whole store, from the tables of storeSchema(): one table per record type in schema
// order (see StoreTableMapping for how a record lies in its row).
class StoreTables
{
public:
    static int schemaVersion();

    // The engine's own words for an error ("database is locked"), else the driver's.
    static QString errorText(const QSqlError &error);

    static const StoreTableMapping &table(RecordType type);
    static QString tableName(RecordType type);
    static QStringList createStatements();
    // Checks that every table exists with its columns in order.
    static bool verify(const QSqlDatabase &database, QString *errorDescription);

    static QString insertSql(RecordType type);
    static QString updateSql(RecordType type);
    static QString deleteSql(RecordType type);
    // Statements that delete the rows left in the file that belong to a deleted record of `owner`'s type
    // (bind its row key): the cascade for rows that were never loaded.
    static QStringList deleteRowsOfOwnerSql(RecordType owner);
    // Binds the record's stored fields in column order (pk not included) to the placeholders from
    // `firstIndex` on; answers the index after the last one bound.
    static int bindFields(QSqlQuery &query, int firstIndex, const StoreRecord &record);
    // "<table> <row key> <what>: <column>=<value>, …" with the values the row is written with (texts
    // quoted, bytes by their length), for the log.
    static QString describe(const StoreRecord &record, const QString &what);

    struct Loaded
    {
        std::array<std::vector<std::shared_ptr<StoreRecord>>, recordTypeCount> records;
        // Per type, the largest row key in the file (rows left in the file included).
        std::array<qint64, recordTypeCount> largestRowKey{};
    };
    // Reads every table in schema order into records (persistent ids set, relationships linked). Rows
    // dated before `recentFromMs` (ms since 1970) may stay in the file, listed in their owner.
    static bool load(const QSqlDatabase &database, Loaded &loaded, qint64 recentFromMs, QString *errorDescription);
    // Turns the rows of `owner` left in the file and dated in [fromMs, toMs) into records (row-key order per
    // type), linked to the owner and no longer listed as left in the file.
    static bool loadKeptRows(const QSqlDatabase &database, StoreRecord &owner, qint64 fromMs, qint64 toMs,
                             std::vector<std::shared_ptr<StoreRecord>> &records, QString *errorDescription);
};

} // namespace ovlin::detail
