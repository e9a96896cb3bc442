#pragma once

#include "EngineError.h"
#include "TableDef.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>
#include <QVariant>
#include <functional>

namespace lerk {

// Everything that differs between SQL dialects lives behind this interface: connection set-up, DDL of
// tables, indexes and relations, reading a table definition back, and turning native errors into
// engine errors. Nothing outside engine/ sees a dialect.
class SqlBackend
{
public:
    virtual ~SqlBackend() = default;

    virtual QString driverName() const = 0;       // Qt Sql driver, e.g. "QSQLITE"
    virtual void configure(QSqlDatabase &db) = 0; // after open: timeouts, journal, collations

    virtual QStringList createTableStatements(const TableDef &def) const = 0;
    virtual QStringList createRelationStatements(const RelationDef &rel) const = 0;
    virtual QStringList tableNames(QSqlDatabase &db) const = 0;
    // The definition as stored, with the table's real name; throws UnknownTable.
    virtual TableDef readTableDef(QSqlDatabase &db, const QString &table) const = 0;
    // Name of the column that identifies a row of the table for the engine.
    virtual QString rowIdColumn(const TableDef &def) const = 0;

    virtual EngineError translateError(const QSqlError &error, const QString &context) const = 0;

    // Savepoint statements for nested transactions.
    virtual QString savepoint(const QString &name) const = 0;
    virtual QString releaseSavepoint(const QString &name) const = 0;
    virtual QString rollbackToSavepoint(const QString &name) const = 0;

    // Reads the rows with the given ids of "SELECT <id>, <columns...> FROM ... WHERE <id> IN (?, ...)"
    // (n placeholders) and hands each row to sink as typed values (QString, qlonglong, double, bool,
    // QDate, QTime or null), the id first. This is the path every row a grid shows takes, so a backend
    // may read its native API instead of going through Qt Sql's generic values.
    virtual void readRowsById(QSqlDatabase &db, const QString &sql, const QList<FieldType> &types,
                              const qint64 *ids, int n,
                              const std::function<void(qint64 id, QVariant *values)> &sink);
    // Runs a statement and hands each row to sink as typed values. For bulk reads (recounts, exports)
    // that would otherwise pay for a generic value per cell.
    virtual void readRows(QSqlDatabase &db, const QString &sql, const QVariantList &binds,
                          const QList<FieldType> &types, const std::function<void(QVariant *values)> &sink);
    // Drops whatever the backend keeps per connection; called before the connection closes.
    virtual void releaseConnection(QSqlDatabase &) {}

    // A column term that the planner should not answer through an index (when every row is read anyway,
    // a scan and a sort beat walking an index and fetching each row by it).
    virtual QString withoutIndex(const QString &columnSql) const { return columnSql; }

    // Scratch tables: private to the connection, gone when it closes. They hold rows in stored form
    // so that a file or another connection's table can take part in one statement.
    virtual QString scratchTable(const QString &name) const = 0; // how SQL refers to it
    virtual QString createScratchTableStatement(const QString &name, const TableDef &def) const = 0;
    virtual QStringList scratchTables(QSqlDatabase &db, const QString &prefix) const = 0;

    // Makes another database file reachable under a schema name (for transfer files).
    virtual QString attachStatement() const = 0; // binds: file path, then the schema name is inlined
    virtual QString detachStatement(const QString &schema) const = 0;
};

} // namespace lerk
