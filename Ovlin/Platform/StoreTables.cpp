#include "Platform/StoreTables.h"

#include "Base/Log.h"
#include "Base/Uuid.h"
#include "Model/Milestone.h"
#include "Model/MilestoneLog.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"

#include <QHash>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace ovlin::detail {

namespace {

struct Column
{
    const char *name;
    const char *declaration;
};

struct Table
{
    const char *name;
    std::vector<Column> columns;
};

const std::array<Table, recordTypeCount> &tables()
{
    static const std::array<Table, recordTypeCount> all{{
        {"Reminder",
         {{"id", "TEXT NOT NULL"},
          {"title", "TEXT NOT NULL"},
          {"category", "TEXT NOT NULL"},
          {"detail", "TEXT"},
          {"scheduleType", "TEXT NOT NULL"},
          {"fixedTime", "INTEGER"},
          {"intervalMinutes", "INTEGER"},
          {"intervalStart", "INTEGER"},
          {"intervalEnd", "INTEGER"},
          {"activeDaysRaw", "TEXT NOT NULL"},
          {"isActive", "INTEGER NOT NULL"},
          {"createdAt", "INTEGER"}}},
        {"ReminderLog",
         {{"id", "TEXT NOT NULL"},
          {"scheduledAt", "INTEGER"},
          {"completedAt", "INTEGER"},
          {"statusRaw", "TEXT NOT NULL"},
          {"reminder", "INTEGER"}}},
        {"Milestone",
         {{"id", "TEXT NOT NULL"},
          {"name", "TEXT NOT NULL"},
          {"reward", "TEXT NOT NULL"},
          {"requireDays", "INTEGER NOT NULL"},
          {"requirePercent", "REAL"},
          {"linkedCategoryRaw", "TEXT"},
          {"startDate", "INTEGER"},
          {"statusRaw", "TEXT NOT NULL"},
          {"thumbnailData", "BLOB"}}},
        {"MilestoneLog",
         {{"id", "TEXT NOT NULL"},
          {"date", "INTEGER"},
          {"completionRate", "REAL"},
          {"didMeetThreshold", "INTEGER NOT NULL"},
          {"milestone", "INTEGER"}}},
    }};
    return all;
}

const Table &table(RecordType type)
{
    return tables()[std::size_t(recordTypeIndex(type))];
}

constexpr std::array<RecordType, recordTypeCount> allTypes{RecordType::reminder, RecordType::reminderLog,
                                                           RecordType::milestone, RecordType::milestoneLog};

// --- Encoding -------------------------------------------------------------------------------------

// SQLite binds a null QString as NULL; a required or present text must stay text, even when empty.
QVariant text(const QString &value)
{
    return value.isNull() ? QVariant(QStringLiteral("")) : QVariant(value);
}

QVariant optionalText(const std::optional<QString> &value)
{
    return value ? text(*value) : QVariant();
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

QVariant logDate(std::optional<qint64> msecs)
{
    return msecs ? dateMSecs(*msecs) : QVariant();
}

QVariant optionalDate(const std::optional<QDateTime> &value)
{
    return value ? date(*value) : QVariant();
}

QVariant optionalInteger(const std::optional<qint64> &value)
{
    return value ? QVariant(*value) : QVariant();
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

QVariant optionalBytes(const std::optional<QByteArray> &value)
{
    if (!value)
        return {};
    // A null QByteArray binds as NULL; present-but-empty bytes stay an empty blob.
    return value->isNull() ? QVariant(QByteArray("", 0)) : QVariant(*value);
}

QVariant owner(const StoreRecord *record)
{
    return record ? QVariant(record->persistentId()) : QVariant();
}

// --- Decoding -------------------------------------------------------------------------------------

qint64 msecsOfMicros(qint64 micros)
{
    qint64 msecs = micros / 1000;
    if (micros % 1000 < 0)
        --msecs;
    return msecs;
}

// The connection under the Qt driver, when it is SQLite's own.
sqlite3 *sqliteHandle(const QSqlDatabase &database)
{
    const QVariant handle = database.driver() ? database.driver()->handle() : QVariant();
    if (handle.isValid() && qstrcmp(handle.typeName(), "sqlite3*") == 0)
        return *static_cast<sqlite3 *const *>(handle.constData());
    return nullptr;
}

// A prepared statement that finalizes itself.
class Statement
{
public:
    Statement(sqlite3 *handle, const QByteArray &sql)
    {
        if (handle &&
            sqlite3_prepare_v2(handle, sql.constData(), int(sql.size()), &m_statement, nullptr) != SQLITE_OK) {
            sqlite3_finalize(m_statement);
            m_statement = nullptr;
        }
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    explicit operator bool() const { return m_statement != nullptr; }
    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

QUtf8StringView textOf(sqlite3_stmt *statement, int column)
{
    const auto *bytes = reinterpret_cast<const char *>(sqlite3_column_text(statement, column));
    return QUtf8StringView(bytes, bytes ? sqlite3_column_bytes(statement, column) : 0);
}

// A non-null date column of a log, in milliseconds clear of the log's own markers.
qint64 storedLogMSecs(sqlite3_stmt *statement, int column)
{
    return std::max(msecsOfMicros(sqlite3_column_int64(statement, column)), std::numeric_limits<qint64>::min() + 2);
}

// The status a log's text names, if any.
std::optional<LogStatus> statusOf(QUtf8StringView text)
{
    static const std::array<std::pair<QByteArray, LogStatus>, 4> names{
        {{rawValue(LogStatus::completed).toUtf8(), LogStatus::completed},
         {rawValue(LogStatus::skipped).toUtf8(), LogStatus::skipped},
         {rawValue(LogStatus::missed).toUtf8(), LogStatus::missed},
         {rawValue(LogStatus::snoozed).toUtf8(), LogStatus::snoozed}}};
    const QByteArrayView bytes(text.data(), text.size());
    for (const auto &[name, status] : names) {
        if (bytes == name)
            return status;
    }
    return std::nullopt;
}

class Row
{
public:
    explicit Row(const QSqlQuery &query) : m_query(query) {}

    bool isNull(int column) const { return m_query.isNull(column); }
    qint64 integer(int column) const { return m_query.value(column).toLongLong(); }

    QString text(int column) const
    {
        QString value = m_query.value(column).toString();
        return value.isNull() ? QStringLiteral("") : value;
    }

    // Shares one string per common value, so 200,000 logs do not hold 200,000 copies of "completed".
    template <std::size_t N> QString internedText(int column, const std::array<QString, N> &known) const
    {
        const QString value = text(column);
        for (const QString &candidate : known) {
            if (candidate == value)
                return candidate;
        }
        return value;
    }

    std::optional<QString> optionalText(int column) const
    {
        if (isNull(column))
            return std::nullopt;
        return text(column);
    }

    QUuid uuid(int column) const { return QUuid::fromString(m_query.value(column).toString()); }

    // Milliseconds of a non-null date column.
    qint64 msecs(int column) const { return msecsOfMicros(integer(column)); }

    QDateTime date(int column) const
    {
        if (isNull(column))
            return {};
        return QDateTime::fromMSecsSinceEpoch(msecs(column));
    }

    std::optional<QDateTime> optionalDate(int column) const
    {
        if (isNull(column))
            return std::nullopt;
        return date(column);
    }

    std::optional<qint64> optionalInteger(int column) const
    {
        if (isNull(column))
            return std::nullopt;
        return integer(column);
    }

    double real(int column) const
    {
        if (isNull(column))
            return std::numeric_limits<double>::quiet_NaN();
        return m_query.value(column).toDouble();
    }

    QList<qint64> integerList(int column) const
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

    std::optional<QByteArray> optionalBytes(int column) const
    {
        if (isNull(column))
            return std::nullopt;
        QByteArray bytes = m_query.value(column).toByteArray();
        return bytes.isNull() ? QByteArray("", 0) : bytes;
    }

private:
    const QSqlQuery &m_query;
};

QString selectSql(RecordType type)
{
    const Table &t = table(type);
    QString sql = QStringLiteral("SELECT pk");
    for (const Column &column : t.columns)
        sql += QStringLiteral(", ") + QLatin1String(column.name);
    return sql + QStringLiteral(" FROM ") + QLatin1String(t.name) + QStringLiteral(" ORDER BY pk");
}

QString fail(QString *errorDescription, const QString &text)
{
    if (errorDescription)
        *errorDescription = text;
    return text;
}

const std::array<QString, 6> &categoryNames()
{
    static const std::array<QString, 6> names{
        rawValue(ReminderCategory::meal),       rawValue(ReminderCategory::snack),
        rawValue(ReminderCategory::water),      rawValue(ReminderCategory::movement),
        rawValue(ReminderCategory::meditation), rawValue(ReminderCategory::general)};
    return names;
}

const std::array<QString, 3> &scheduleTypeNames()
{
    static const std::array<QString, 3> names{rawValue(ScheduleType::fixedTime), rawValue(ScheduleType::interval),
                                              rawValue(ScheduleType::combined)};
    return names;
}

const std::array<QString, 3> &milestoneStatusNames()
{
    static const std::array<QString, 3> names{rawValue(MilestoneStatus::active), rawValue(MilestoneStatus::achieved),
                                              rawValue(MilestoneStatus::failed)};
    return names;
}

} // namespace

QString StoreTables::errorText(const QSqlError &error)
{
    const QString engine = error.databaseText().trimmed();
    if (!engine.isEmpty())
        return engine;
    const QString driver = error.driverText().trimmed();
    return driver.isEmpty() ? QStringLiteral("Unknown database error") : driver;
}

QString StoreTables::tableName(RecordType type)
{
    return QLatin1String(table(type).name);
}

QStringList StoreTables::createStatements()
{
    QStringList statements;
    for (const Table &t : tables()) {
        QString sql =
            QStringLiteral("CREATE TABLE ") + QLatin1String(t.name) + QStringLiteral(" (pk INTEGER PRIMARY KEY");
        for (const Column &column : t.columns)
            sql += QStringLiteral(", ") + QLatin1String(column.name) + QLatin1Char(' ') +
                   QLatin1String(column.declaration);
        statements.append(sql + QStringLiteral(") STRICT"));
    }
    return statements;
}

bool StoreTables::verify(const QSqlDatabase &database, QString *errorDescription)
{
    for (const Table &t : tables()) {
        QSqlQuery query(database);
        if (!query.exec(QStringLiteral("PRAGMA table_info(") + QLatin1String(t.name) + QLatin1Char(')'))) {
            fail(errorDescription, errorText(query.lastError()));
            return false;
        }
        QStringList found;
        while (query.next())
            found.append(query.value(1).toString());
        QStringList expected{QStringLiteral("pk")};
        for (const Column &column : t.columns)
            expected.append(QLatin1String(column.name));
        if (found != expected) {
            fail(errorDescription,
                 QStringLiteral("The store's table %1 does not have the expected columns.").arg(QLatin1String(t.name)));
            return false;
        }
    }
    return true;
}

QString StoreTables::insertSql(RecordType type)
{
    const Table &t = table(type);
    QString names = QStringLiteral("pk");
    QString marks = QStringLiteral("?");
    for (const Column &column : t.columns) {
        names += QStringLiteral(", ") + QLatin1String(column.name);
        marks += QStringLiteral(", ?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(QLatin1String(t.name), names, marks);
}

QString StoreTables::updateSql(RecordType type)
{
    const Table &t = table(type);
    QStringList assignments;
    for (const Column &column : t.columns)
        assignments.append(QLatin1String(column.name) + QStringLiteral(" = ?"));
    return QStringLiteral("UPDATE %1 SET %2 WHERE pk = ?")
        .arg(QLatin1String(t.name), assignments.join(QStringLiteral(", ")));
}

QString StoreTables::deleteSql(RecordType type)
{
    return QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(QLatin1String(table(type).name));
}

int StoreTables::bindFields(QSqlQuery &query, int firstIndex, const StoreRecord &record)
{
    int index = firstIndex;
    const auto bind = [&](const QVariant &value) { query.bindValue(index++, value); };
    switch (record.recordType()) {
    case RecordType::reminder: {
        const auto &r = static_cast<const Reminder &>(record);
        bind(uuidText(r.m_id));
        bind(text(r.m_title));
        bind(text(r.m_category));
        bind(optionalText(r.m_detail));
        bind(text(r.m_scheduleType));
        bind(optionalDate(r.m_fixedTime));
        bind(optionalInteger(r.m_intervalMinutes));
        bind(optionalDate(r.m_intervalStart));
        bind(optionalDate(r.m_intervalEnd));
        bind(integerList(r.m_activeDaysRaw));
        bind(QVariant(qint64(r.m_isActive ? 1 : 0)));
        bind(date(r.m_createdAt));
        return index;
    }
    case RecordType::reminderLog: {
        const auto &l = static_cast<const ReminderLog &>(record);
        bind(uuidText(l.m_id));
        bind(logDate(l.scheduledMSecs()));
        bind(logDate(l.completedMSecs()));
        bind(text(l.statusRaw()));
        bind(owner(l.m_owner.lock().get()));
        return index;
    }
    case RecordType::milestone: {
        const auto &m = static_cast<const Milestone &>(record);
        bind(uuidText(m.m_id));
        bind(text(m.m_name));
        bind(text(m.m_reward));
        bind(QVariant(m.m_requireDays));
        bind(real(m.m_requirePercent));
        bind(optionalText(m.m_linkedCategoryRaw));
        bind(date(m.m_startDate));
        bind(text(m.m_statusRaw));
        bind(optionalBytes(m.m_thumbnailData));
        return index;
    }
    case RecordType::milestoneLog: {
        const auto &l = static_cast<const MilestoneLog &>(record);
        bind(uuidText(l.m_id));
        bind(date(l.m_date));
        bind(real(l.m_completionRate));
        bind(QVariant(qint64(l.m_didMeetThreshold ? 1 : 0)));
        bind(owner(l.m_owner.lock().get()));
        return index;
    }
    }
    return index;
}

std::shared_ptr<ReminderLog> StoreTables::readLog(sqlite3_stmt *row)
{
    const auto isNull = [row](int column) { return sqlite3_column_type(row, column) == SQLITE_NULL; };
    auto l = std::make_shared<ReminderLog>(ReminderLog::Token{});
    l->m_id = QUuid::fromString(textOf(row, 1));
    l->m_scheduledMs = isNull(2) ? ReminderLog::invalidDate : ReminderLog::msecsOfStored(storedLogMSecs(row, 2));
    l->m_completedMs = isNull(3) ? ReminderLog::noDate : ReminderLog::msecsOfStored(storedLogMSecs(row, 3));
    const QUtf8StringView status = textOf(row, 4);
    if (const auto known = statusOf(status)) {
        l->m_status = quint8(*known);
    } else {
        const QString other = status.toString();
        l->setStatusText(other.isNull() ? QStringLiteral("") : other);
    }
    return l;
}

bool StoreTables::loadArchivedLogs(const QSqlDatabase &database, Reminder &reminder, qint64 fromMs, qint64 toMs,
                                   std::vector<std::shared_ptr<StoreRecord>> &logs, QString *errorDescription)
{
    ArchivedLogs *archive = reminder.m_archived.get();
    if (!archive)
        return true;
    std::vector<qint64> wanted;
    for (std::size_t i = 0; i < archive->size(); ++i) {
        if (archive->instants[i] >= fromMs && archive->instants[i] < toMs)
            wanted.push_back(archive->rowKeys[i]);
    }
    if (wanted.empty())
        return true;
    std::sort(wanted.begin(), wanted.end());

    sqlite3 *handle = sqliteHandle(database);
    if (!handle) {
        fail(errorDescription, QStringLiteral("The store is not an SQLite database."));
        return false;
    }
    Statement statement(handle,
                        selectSql(RecordType::reminderLog)
                            .replace(QStringLiteral(" ORDER BY"), QStringLiteral(" WHERE reminder = ?1 ORDER BY"))
                            .toUtf8());
    sqlite3_stmt *const row = statement.get();
    if (!row || sqlite3_bind_int64(row, 1, reminder.m_persistentId) != SQLITE_OK) {
        fail(errorDescription, QString::fromUtf8(sqlite3_errmsg(handle)));
        return false;
    }
    const auto self = std::static_pointer_cast<Reminder>(reminder.shared_from_this());
    std::vector<std::shared_ptr<ReminderLog>> found;
    int step = SQLITE_ROW;
    while ((step = sqlite3_step(row)) == SQLITE_ROW) {
        const qint64 pk = sqlite3_column_int64(row, 0);
        if (!std::binary_search(wanted.begin(), wanted.end(), pk))
            continue;
        auto l = readLog(row);
        l->m_persistentId = pk;
        l->m_owner = self;
        found.push_back(std::move(l));
    }
    if (step != SQLITE_DONE) {
        fail(errorDescription, QString::fromUtf8(sqlite3_errmsg(handle)));
        return false;
    }

    // Out of the archive (a row that is no longer in the file goes too), into the list in row-key order.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < archive->size(); ++i) {
        if (std::binary_search(wanted.begin(), wanted.end(), archive->rowKeys[i]))
            continue;
        archive->rowKeys[kept] = archive->rowKeys[i];
        archive->instants[kept] = archive->instants[i];
        archive->statuses[kept] = archive->statuses[i];
        ++kept;
    }
    archive->rowKeys.resize(kept);
    archive->instants.resize(kept);
    archive->statuses.resize(kept);
    if (archive->empty())
        reminder.m_archived.reset();

    QList<std::shared_ptr<ReminderLog>> merged;
    merged.reserve(reminder.m_members.size() + qsizetype(found.size()));
    std::size_t next = 0;
    for (const auto &member : std::as_const(reminder.m_members)) {
        while (next < found.size() && found[next]->m_persistentId < member->m_persistentId)
            merged.append(found[next++]);
        merged.append(member);
    }
    while (next < found.size())
        merged.append(found[next++]);
    reminder.m_members = std::move(merged);
    reminder.membersDidChange();
    logs.assign(found.begin(), found.end());
    return true;
}

QString StoreTables::deleteLogsOfReminderSql()
{
    return QStringLiteral("DELETE FROM ReminderLog WHERE reminder = ?");
}

bool StoreTables::load(const QSqlDatabase &database, Loaded &loaded, qint64 archiveLogsBefore,
                       QString *errorDescription)
{
    QHash<qint64, std::shared_ptr<Reminder>> reminders;
    QHash<qint64, std::shared_ptr<Milestone>> milestones;

    // The logs are nearly all of a store: read them straight from SQLite, without a QVariant per value.
    const auto loadLogs = [&](sqlite3 *handle, std::vector<std::shared_ptr<StoreRecord>> &records) {
        Statement statement(handle, selectSql(RecordType::reminderLog).toUtf8());
        if (!statement) {
            fail(errorDescription, QString::fromUtf8(sqlite3_errmsg(handle)));
            return false;
        }
        sqlite3_stmt *const row = statement.get();
        std::vector<Reminder *> owners;
        QHash<Reminder *, qsizetype> memberCounts;
        int step = SQLITE_ROW;
        while ((step = sqlite3_step(row)) == SQLITE_ROW) {
            Reminder *owner = nullptr;
            if (sqlite3_column_type(row, 5) != SQLITE_NULL) {
                // A row whose reminder is gone reads as a log without a reminder.
                const auto found = reminders.constFind(sqlite3_column_int64(row, 5));
                if (found != reminders.constEnd())
                    owner = found->get();
            }
            if (owner && sqlite3_column_type(row, 2) != SQLITE_NULL) {
                const qint64 scheduled = storedLogMSecs(row, 2);
                if (scheduled < archiveLogsBefore) {
                    if (!owner->m_archived)
                        owner->m_archived = std::make_unique<ArchivedLogs>();
                    ArchivedLogs &archive = *owner->m_archived;
                    archive.rowKeys.push_back(sqlite3_column_int64(row, 0));
                    archive.instants.push_back(scheduled);
                    archive.statuses.push_back(quint8(statusOf(textOf(row, 4)).value_or(LogStatus::missed)));
                    archive.latest = std::max(archive.latest, scheduled);
                    continue;
                }
            }
            auto l = readLog(row);
            if (owner) {
                l->m_owner = std::static_pointer_cast<Reminder>(owner->shared_from_this());
                ++memberCounts[owner];
            }
            owners.push_back(owner);
            l->m_persistentId = sqlite3_column_int64(row, 0);
            records.push_back(std::move(l));
        }
        // Each reminder's list made to its size: growing them by doubling leaves holes a long history never
        // fills.
        for (auto it = memberCounts.cbegin(); it != memberCounts.cend(); ++it)
            it.key()->m_members.reserve(it.key()->m_members.size() + it.value());
        for (std::size_t i = 0; i < records.size(); ++i) {
            if (owners[i])
                owners[i]->m_members.append(std::static_pointer_cast<ReminderLog>(records[i]));
        }
        records.shrink_to_fit();
        for (const auto &reminder : std::as_const(reminders)) {
            if (ArchivedLogs *archive = reminder->m_archived.get()) {
                archive->rowKeys.shrink_to_fit();
                archive->instants.shrink_to_fit();
                archive->statuses.shrink_to_fit();
            }
        }
        if (step != SQLITE_DONE) {
            fail(errorDescription, QString::fromUtf8(sqlite3_errmsg(handle)));
            return false;
        }
        return true;
    };

    sqlite3 *handle = sqliteHandle(database);
    for (const RecordType type : allTypes) {
        if (type == RecordType::reminderLog && handle) {
            if (!loadLogs(handle, loaded[std::size_t(recordTypeIndex(type))]))
                return false;
            continue;
        }
        QSqlQuery query(database);
        query.setForwardOnly(true);
        if (!query.exec(selectSql(type))) {
            fail(errorDescription, errorText(query.lastError()));
            return false;
        }
        auto &records = loaded[std::size_t(recordTypeIndex(type))];
        while (query.next()) {
            const Row row(query);
            const qint64 pk = row.integer(0);
            std::shared_ptr<StoreRecord> record;
            switch (type) {
            case RecordType::reminder: {
                auto r = std::make_shared<Reminder>(Reminder::Token{});
                r->m_id = row.uuid(1);
                r->m_title = row.text(2);
                r->m_category = row.internedText(3, categoryNames());
                r->m_detail = row.optionalText(4);
                r->m_scheduleType = row.internedText(5, scheduleTypeNames());
                r->m_fixedTime = row.optionalDate(6);
                r->m_intervalMinutes = row.optionalInteger(7);
                r->m_intervalStart = row.optionalDate(8);
                r->m_intervalEnd = row.optionalDate(9);
                r->m_activeDaysRaw = row.integerList(10);
                r->m_isActive = row.integer(11) != 0;
                r->m_createdAt = row.date(12);
                reminders.insert(pk, r);
                record = r;
                break;
            }
            case RecordType::reminderLog: {
                auto l = std::make_shared<ReminderLog>(ReminderLog::Token{});
                l->m_id = row.uuid(1);
                l->m_scheduledMs = row.isNull(2) ? ReminderLog::invalidDate : ReminderLog::msecsOfStored(row.msecs(2));
                l->m_completedMs = row.isNull(3) ? ReminderLog::noDate : ReminderLog::msecsOfStored(row.msecs(3));
                l->setStatusText(row.text(4));
                if (!row.isNull(5)) {
                    // A row whose reminder is gone reads as a log without a reminder.
                    if (const auto owner = reminders.value(row.integer(5))) {
                        l->m_owner = owner;
                        owner->m_members.append(l);
                    }
                }
                record = l;
                break;
            }
            case RecordType::milestone: {
                auto m = std::make_shared<Milestone>(Milestone::Token{});
                m->m_id = row.uuid(1);
                m->m_name = row.text(2);
                m->m_reward = row.text(3);
                m->m_requireDays = row.integer(4);
                m->m_requirePercent = row.real(5);
                m->m_linkedCategoryRaw = row.optionalText(6);
                m->m_startDate = row.date(7);
                m->m_statusRaw = row.internedText(8, milestoneStatusNames());
                m->m_thumbnailData = row.optionalBytes(9);
                milestones.insert(pk, m);
                record = m;
                break;
            }
            case RecordType::milestoneLog: {
                auto l = std::make_shared<MilestoneLog>(MilestoneLog::Token{});
                l->m_id = row.uuid(1);
                l->m_date = row.date(2);
                l->m_completionRate = row.real(3);
                l->m_didMeetThreshold = row.integer(4) != 0;
                if (!row.isNull(5)) {
                    if (const auto owner = milestones.value(row.integer(5))) {
                        l->m_owner = owner;
                        owner->m_members.append(l);
                    }
                }
                record = l;
                break;
            }
            }
            record->m_persistentId = pk;
            records.push_back(std::move(record));
        }
        if (query.lastError().isValid()) {
            fail(errorDescription, errorText(query.lastError()));
            return false;
        }
    }
    // Appending grew the member lists by doubling; a long history would keep up to half as much again.
    for (const auto &reminder : std::as_const(reminders))
        reminder->m_members.squeeze();
    return true;
}

} // namespace ovlin::detail
