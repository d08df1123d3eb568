#pragma once

#include "Platform/StoreRecord.h"

#include <QString>
#include <QStringList>

#include <array>
#include <memory>
#include <vector>

struct sqlite3_stmt;
class QSqlDatabase;
class QSqlError;
class QSqlQuery;

namespace ovlin {
class Reminder;
class ReminderLog;
} // namespace ovlin

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
    // Deletes the log rows of a reminder (bind its pk): the cascade for rows that were never loaded.
    static QString deleteLogsOfReminderSql();
    // Binds the record's stored fields in column order (pk not included) to the placeholders from
    // `firstIndex` on; answers the index after the last one bound.
    static int bindFields(QSqlQuery &query, int firstIndex, const StoreRecord &record);

    using Loaded = std::array<std::vector<std::shared_ptr<StoreRecord>>, recordTypeCount>;
    // Reads every row in pk order into records (persistent ids set, relationships linked), except reminder
    // logs scheduled before `archiveLogsBefore` (ms since 1970) that have a reminder: those go to the
    // reminder's archived logs.
    static bool load(const QSqlDatabase &database, Loaded &loaded, qint64 archiveLogsBefore, QString *errorDescription);
    // Reads the archived logs of `reminder` scheduled in [fromMs, toMs) into `logs` (pk order), links them
    // to the reminder and takes them out of its archive.
    static bool loadArchivedLogs(const QSqlDatabase &database, Reminder &reminder, qint64 fromMs, qint64 toMs,
                                 std::vector<std::shared_ptr<StoreRecord>> &logs, QString *errorDescription);

private:
    // The fields of a log row as selectSql(reminderLog) lists them (pk and owner left to the caller).
    static std::shared_ptr<ReminderLog> readLog(sqlite3_stmt *statement);
};

} // namespace ovlin::detail
