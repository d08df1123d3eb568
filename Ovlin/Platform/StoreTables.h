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

namespace ovlin::detail {

// How the four record types lie in SQLite: one table per type in schema order, the row key in
// INTEGER PRIMARY KEY column `pk`, then one column per stored field in field order. Dates are INTEGER
// microseconds since 1970 (UTC); optional fields are NULL when absent (an empty text or empty bytes
// stay empty); activeDaysRaw is the integers joined by ","; thumbnailData is a BLOB; a relationship
// is the owner's pk in the member's row. A required date column holds NULL only for an invalid date.
class StoreTables
{
public:
    static constexpr int schemaVersion = 1;

    // The engine's own words for an error ("database is locked"), else the driver's.
    static QString errorText(const QSqlError &error);

    static QString tableName(RecordType type);
    static QStringList createStatements();
    // Checks that the four tables exist with their columns in order.
    static bool verify(const QSqlDatabase &database, QString *errorDescription);

    static QString insertSql(RecordType type);
    static QString updateSql(RecordType type);
    static QString deleteSql(RecordType type);
    // Binds the record's stored fields in column order (pk not included) to the placeholders from
    // `firstIndex` on; answers the index after the last one bound.
    static int bindFields(QSqlQuery &query, int firstIndex, const StoreRecord &record);

    using Loaded = std::array<std::vector<std::shared_ptr<StoreRecord>>, recordTypeCount>;
    // Reads every row in pk order into records (persistent ids set, relationships linked).
    static bool load(const QSqlDatabase &database, Loaded &loaded, QString *errorDescription);
};

} // namespace ovlin::detail
