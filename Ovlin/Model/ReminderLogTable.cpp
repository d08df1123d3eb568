#include "Model/RecordTables.h"
#include "Model/Reminder.h"
#include "Model/ReminderLog.h"
#include "Platform/StoreMapping.h"

#include <QHash>

#include <algorithm>

namespace ovlin {

namespace {

QVariant logDate(std::optional<qint64> msecs)
{
    return msecs ? storeValue::dateMSecs(*msecs) : QVariant();
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

} // namespace

// The logs are nearly all of a store (a million rows): at open they are read straight from SQLite, without a
// QVariant per value, and those of a reminder scheduled before the recent days stay in the file, listed in
// the reminder's archive.
class ReminderLogTable final : public RecordTable<ReminderLog>
{
    using Logs = detail::OneToMany<Reminder, ReminderLog>;

public:
    ReminderLogTable()
        : RecordTable(
              "ReminderLog",
              {field("id", &ReminderLog::m_id),
               Field{"scheduledAt", "INTEGER", [](const ReminderLog &log) { return logDate(log.scheduledMSecs()); },
                     [](ReminderLog &log, const StoreRow &row, int column, StoreLoad &) {
                         log.m_scheduledMs = row.isNull(column) ? ReminderLog::invalidDate
                                                                : ReminderLog::msecsOfStored(row.msecs(column));
                     }},
               Field{"completedAt", "INTEGER", [](const ReminderLog &log) { return logDate(log.completedMSecs()); },
                     [](ReminderLog &log, const StoreRow &row, int column, StoreLoad &) {
                         log.m_completedMs =
                             row.isNull(column) ? ReminderLog::noDate : ReminderLog::msecsOfStored(row.msecs(column));
                     }},
               Field{"statusRaw", "TEXT NOT NULL",
                     [](const ReminderLog &log) { return storeValue::text(log.statusRaw()); },
                     [](ReminderLog &log, const StoreRow &row, int column, StoreLoad &) {
                         log.setStatusText(row.text(column));
                     }},
               owner("reminder", &ReminderLog::m_owner)}),
          m_id(selectColumn("id")), m_scheduledAt(selectColumn("scheduledAt")),
          m_completedAt(selectColumn("completedAt")), m_statusRaw(selectColumn("statusRaw")),
          m_reminder(selectColumn("reminder"))
    {
    }

    bool load(StoreLoad &load) const override;
    bool loadKeptRows(StoreRecord &owner, qint64 fromMs, qint64 toMs, StoreLoad &load) const override;

    QString deleteRowsOfOwnerSql(RecordType owner) const override
    {
        if (owner != Reminder::staticRecordType)
            return {};
        return QStringLiteral("DELETE FROM %1 WHERE reminder = ?").arg(QLatin1String(tableName()));
    }

protected:
    std::shared_ptr<ReminderLog> make() const override { return std::make_shared<ReminderLog>(ReminderLog::Token{}); }

private:
    // A non-null date column, in milliseconds clear of the log's own markers.
    static qint64 storedMSecs(const SqliteStatement &row, int column)
    {
        return std::max(storeValue::msecsOfMicros(row.integer(column)), std::numeric_limits<qint64>::min() + 2);
    }

    // The stored fields of a log row (row key and reminder left to the caller).
    std::shared_ptr<ReminderLog> readRow(const SqliteStatement &row) const;
    static void keepInArchive(Reminder &reminder, qint64 rowKey, qint64 scheduled, LogStatus status);
    static void shrinkArchives(StoreLoad &load);
    // Out of the archive go the rows in `taken` (sorted); a row that is no longer in the file goes too.
    static void takeFromArchive(Reminder &reminder, const std::vector<qint64> &taken);

    const int m_id;
    const int m_scheduledAt;
    const int m_completedAt;
    const int m_statusRaw;
    const int m_reminder;
};

std::shared_ptr<ReminderLog> ReminderLogTable::readRow(const SqliteStatement &row) const
{
    auto log = make();
    log->m_id = QUuid::fromString(row.text(m_id));
    log->m_scheduledMs = row.isNull(m_scheduledAt) ? ReminderLog::invalidDate
                                                   : ReminderLog::msecsOfStored(storedMSecs(row, m_scheduledAt));
    log->m_completedMs =
        row.isNull(m_completedAt) ? ReminderLog::noDate : ReminderLog::msecsOfStored(storedMSecs(row, m_completedAt));
    const QUtf8StringView status = row.text(m_statusRaw);
    if (const auto known = statusOf(status)) {
        log->m_status = quint8(*known);
    } else {
        const QString other = status.toString();
        log->setStatusText(other.isNull() ? QStringLiteral("") : other);
    }
    return log;
}

void ReminderLogTable::keepInArchive(Reminder &reminder, qint64 rowKey, qint64 scheduled, LogStatus status)
{
    if (!reminder.m_archived)
        reminder.m_archived = std::make_unique<ArchivedLogs>();
    ArchivedLogs &archive = *reminder.m_archived;
    archive.rowKeys.push_back(rowKey);
    archive.instants.push_back(scheduled);
    archive.statuses.push_back(quint8(status));
    archive.latest = std::max(archive.latest, scheduled);
}

void ReminderLogTable::shrinkArchives(StoreLoad &load)
{
    for (const auto &record : load.records(Reminder::staticRecordType)) {
        if (ArchivedLogs *archive = static_cast<Reminder &>(*record).m_archived.get()) {
            archive->rowKeys.shrink_to_fit();
            archive->instants.shrink_to_fit();
            archive->statuses.shrink_to_fit();
        }
    }
}

bool ReminderLogTable::load(StoreLoad &load) const
{
    if (!load.sqlite())
        return RecordTable::load(load);
    SqliteStatement row(load.sqlite(), selectSql().toUtf8());
    if (!row)
        return load.failSqlite();
    auto &logs = load.records(ReminderLog::staticRecordType);
    const std::size_t first = logs.size();
    std::vector<Reminder *> owners;
    QHash<Reminder *, qsizetype> memberCounts;
    // Rows of one reminder tend to follow each other: the last one looked up is kept.
    qint64 lastOwnerKey = 0;
    Reminder *lastOwner = nullptr;
    while (row.next()) {
        const qint64 rowKey = row.integer(0);
        Reminder *owner = nullptr;
        // A row whose reminder is gone reads as a log without a reminder.
        if (!row.isNull(m_reminder)) {
            const qint64 ownerKey = row.integer(m_reminder);
            if (!lastOwner || ownerKey != lastOwnerKey) {
                lastOwner = static_cast<Reminder *>(load.record(Reminder::staticRecordType, ownerKey));
                lastOwnerKey = ownerKey;
            }
            owner = lastOwner;
        }
        if (owner && !row.isNull(m_scheduledAt)) {
            const qint64 scheduled = storedMSecs(row, m_scheduledAt);
            if (scheduled < load.recentFromMs()) {
                keepInArchive(*owner, rowKey, scheduled, statusOf(row.text(m_statusRaw)).value_or(LogStatus::missed));
                load.keepRowInFile(ReminderLog::staticRecordType, rowKey);
                continue;
            }
        }
        if (owner)
            ++memberCounts[owner];
        owners.push_back(owner);
        load.add(readRow(row), rowKey);
    }
    // Each reminder's list made to its size: growing them by doubling leaves holes a long history never fills.
    for (auto it = memberCounts.cbegin(); it != memberCounts.cend(); ++it)
        Logs::reserveMembers(*it.key(), it.value());
    std::shared_ptr<Reminder> shared;
    for (std::size_t i = 0; i < owners.size(); ++i) {
        if (!owners[i])
            continue;
        if (shared.get() != owners[i])
            shared = std::static_pointer_cast<Reminder>(owners[i]->shared_from_this());
        Logs::linkLoaded(shared, std::static_pointer_cast<ReminderLog>(logs[first + i]));
    }
    logs.shrink_to_fit();
    shrinkArchives(load);
    if (row.failed())
        return load.failSqlite();
    return true;
}

void ReminderLogTable::takeFromArchive(Reminder &reminder, const std::vector<qint64> &taken)
{
    ArchivedLogs &archive = *reminder.m_archived;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < archive.size(); ++i) {
        if (std::binary_search(taken.begin(), taken.end(), archive.rowKeys[i]))
            continue;
        archive.rowKeys[kept] = archive.rowKeys[i];
        archive.instants[kept] = archive.instants[i];
        archive.statuses[kept] = archive.statuses[i];
        ++kept;
    }
    archive.rowKeys.resize(kept);
    archive.instants.resize(kept);
    archive.statuses.resize(kept);
    if (archive.empty())
        reminder.m_archived.reset();
}

bool ReminderLogTable::loadKeptRows(StoreRecord &owner, qint64 fromMs, qint64 toMs, StoreLoad &load) const
{
    if (owner.recordType() != Reminder::staticRecordType)
        return true;
    auto &reminder = static_cast<Reminder &>(owner);
    const ArchivedLogs *archive = reminder.m_archived.get();
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

    if (!load.sqlite())
        return load.failSqlite();
    SqliteStatement row(load.sqlite(), selectSql(QStringLiteral("reminder = ?1")).toUtf8());
    if (!row || !row.bind(1, reminder.persistentId()))
        return load.failSqlite();
    const auto self = std::static_pointer_cast<Reminder>(reminder.shared_from_this());
    auto &found = load.records(ReminderLog::staticRecordType);
    const std::size_t first = found.size();
    while (row.next()) {
        const qint64 rowKey = row.integer(0);
        if (!std::binary_search(wanted.begin(), wanted.end(), rowKey))
            continue;
        auto log = readRow(row);
        log->m_owner = self;
        load.add(std::move(log), rowKey);
    }
    if (row.failed())
        return load.failSqlite();

    takeFromArchive(reminder, wanted);
    // Into the list in row-key order.
    QList<std::shared_ptr<ReminderLog>> merged;
    merged.reserve(reminder.m_members.size() + qsizetype(found.size() - first));
    std::size_t next = first;
    for (const auto &member : std::as_const(reminder.m_members)) {
        while (next < found.size() && found[next]->persistentId() < member->persistentId())
            merged.append(std::static_pointer_cast<ReminderLog>(found[next++]));
        merged.append(member);
    }
    while (next < found.size())
        merged.append(std::static_pointer_cast<ReminderLog>(found[next++]));
    reminder.m_members = std::move(merged);
    reminder.membersDidChange();
    return true;
}

const StoreTableMapping &reminderLogTable()
{
    static const ReminderLogTable table;
    return table;
}

} // namespace ovlin
