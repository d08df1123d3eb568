#include "Platform/StoreTables.h"

#include "Platform/StoreMapping.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace ovlin::detail {

namespace {

bool fail(QString *errorDescription, const QString &text)
{
    if (errorDescription)
        *errorDescription = text;
    return false;
}

} // namespace

int StoreTables::schemaVersion()
{
    return storeSchema().version;
}

QString StoreTables::errorText(const QSqlError &error)
{
    return storeErrorText(error);
}

const StoreTableMapping &StoreTables::table(RecordType type)
{
    for (const StoreTableMapping *mapping : storeSchema().tables) {
        if (mapping->recordType() == type)
            return *mapping;
    }
    qFatal("A record type without a table");
}

QString StoreTables::tableName(RecordType type)
{
    return QLatin1String(table(type).tableName());
}

QStringList StoreTables::createStatements()
{
    QStringList statements;
    for (const StoreTableMapping *mapping : storeSchema().tables) {
        QString sql = QStringLiteral("CREATE TABLE ") + QLatin1String(mapping->tableName()) +
                      QStringLiteral(" (pk INTEGER PRIMARY KEY");
        for (const StoreColumn &column : mapping->columns())
            sql += QStringLiteral(", ") + QLatin1String(column.name) + QLatin1Char(' ') +
                   QLatin1String(column.declaration);
        statements.append(sql + QStringLiteral(") STRICT"));
    }
    return statements;
}

bool StoreTables::verify(const QSqlDatabase &database, QString *errorDescription)
{
    for (const StoreTableMapping *mapping : storeSchema().tables) {
        const QLatin1String name(mapping->tableName());
        QSqlQuery query(database);
        if (!query.exec(QStringLiteral("PRAGMA table_info(") + name + QLatin1Char(')')))
            return fail(errorDescription, errorText(query.lastError()));
        QStringList found;
        while (query.next())
            found.append(query.value(1).toString());
        QStringList expected{QStringLiteral("pk")};
        for (const StoreColumn &column : mapping->columns())
            expected.append(QLatin1String(column.name));
        if (found != expected)
            return fail(errorDescription,
                        QStringLiteral("The store's table %1 does not have the expected columns.").arg(name));
    }
    return true;
}

QString StoreTables::insertSql(RecordType type)
{
    const StoreTableMapping &mapping = table(type);
    QString names = QStringLiteral("pk");
    QString marks = QStringLiteral("?");
    for (const StoreColumn &column : mapping.columns()) {
        names += QStringLiteral(", ") + QLatin1String(column.name);
        marks += QStringLiteral(", ?");
    }
    return QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)").arg(QLatin1String(mapping.tableName()), names, marks);
}

QString StoreTables::updateSql(RecordType type)
{
    const StoreTableMapping &mapping = table(type);
    QStringList assignments;
    for (const StoreColumn &column : mapping.columns())
        assignments.append(QLatin1String(column.name) + QStringLiteral(" = ?"));
    return QStringLiteral("UPDATE %1 SET %2 WHERE pk = ?")
        .arg(QLatin1String(mapping.tableName()), assignments.join(QStringLiteral(", ")));
}

QString StoreTables::deleteSql(RecordType type)
{
    return QStringLiteral("DELETE FROM %1 WHERE pk = ?").arg(QLatin1String(table(type).tableName()));
}

QStringList StoreTables::deleteRowsOfOwnerSql(RecordType owner)
{
    QStringList statements;
    for (const StoreTableMapping *mapping : storeSchema().tables) {
        const QString sql = mapping->deleteRowsOfOwnerSql(owner);
        if (!sql.isEmpty())
            statements.append(sql);
    }
    return statements;
}

int StoreTables::bindFields(QSqlQuery &query, int firstIndex, const StoreRecord &record)
{
    int index = firstIndex;
    table(record.recordType()).bind(record, query, index);
    return index;
}

QString StoreTables::describe(const StoreRecord &record, const QString &what)
{
    const StoreTableMapping &mapping = table(record.recordType());
    const std::vector<StoreColumn> columns = mapping.columns();
    const QVariantList values = mapping.values(record);
    QStringList fields;
    for (std::size_t i = 0; i < columns.size() && i < std::size_t(values.size()); ++i) {
        const QVariant &value = values[qsizetype(i)];
        QString text;
        if (value.isNull())
            text = QStringLiteral("NULL");
        else if (value.typeId() == QMetaType::QByteArray)
            text = QStringLiteral("<%1 bytes>").arg(value.toByteArray().size());
        else if (value.typeId() == QMetaType::QString)
            text = QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
        else
            text = value.toString();
        fields.append(QLatin1String(columns[i].name) + QLatin1Char('=') + text);
    }
    return QStringLiteral("%1 %2 %3: %4")
        .arg(QLatin1String(mapping.tableName()))
        .arg(record.persistentId())
        .arg(what, fields.join(QStringLiteral(", ")));
}

bool StoreTables::load(const QSqlDatabase &database, Loaded &loaded, qint64 recentFromMs, QString *errorDescription)
{
    StoreLoad load(database, recentFromMs);
    const auto &tables = storeSchema().tables;
    for (const StoreTableMapping *mapping : tables) {
        if (!mapping->load(load))
            return fail(errorDescription, load.errorText());
    }
    for (const StoreTableMapping *mapping : tables)
        mapping->finishLoad(load);
    for (const StoreTableMapping *mapping : tables) {
        const RecordType type = mapping->recordType();
        const auto slot = std::size_t(recordTypeIndex(type));
        loaded.records[slot] = std::move(load.records(type));
        loaded.largestRowKey[slot] = load.largestRowKey(type);
    }
    return true;
}

bool StoreTables::loadKeptRows(const QSqlDatabase &database, StoreRecord &owner, qint64 fromMs, qint64 toMs,
                               std::vector<std::shared_ptr<StoreRecord>> &records, QString *errorDescription)
{
    StoreLoad load(database, std::numeric_limits<qint64>::min());
    for (const StoreTableMapping *mapping : storeSchema().tables) {
        if (!mapping->loadKeptRows(owner, fromMs, toMs, load))
            return fail(errorDescription, load.errorText());
        auto &found = load.records(mapping->recordType());
        records.insert(records.end(), found.begin(), found.end());
    }
    return true;
}

} // namespace ovlin::detail
