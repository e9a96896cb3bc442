#pragma once

#include "SqlBackend.h"

#include <QHash>

struct sqlite3_stmt;

namespace lerk {

// SQLite: one file per alias directory, rollback journal (works on network shares), busy timeout,
// hidden auto-increment row id, relations kept by triggers.
class SqliteBackend : public SqlBackend
{
public:
    QString driverName() const override { return QStringLiteral("QSQLITE"); }
    void configure(QSqlDatabase &db) override;

    QStringList createTableStatements(const TableDef &def) const override;
    QStringList createRelationStatements(const RelationDef &rel) const override;
    QStringList tableNames(QSqlDatabase &db) const override;
    TableDef readTableDef(QSqlDatabase &db, const QString &table) const override;
    QString rowIdColumn(const TableDef &def) const override;

    EngineError translateError(const QSqlError &error, const QString &context) const override;

    QString savepoint(const QString &name) const override;
    QString releaseSavepoint(const QString &name) const override;
    QString rollbackToSavepoint(const QString &name) const override;
    void readRowsById(QSqlDatabase &db, const QString &sql, const QList<FieldType> &types, const qint64 *ids,
                      int n, const std::function<void(qint64 id, QVariant *values)> &sink) override;
    void readRows(QSqlDatabase &db, const QString &sql, const QVariantList &binds,
                  const QList<FieldType> &types, const std::function<void(QVariant *values)> &sink) override;
    void releaseConnection(QSqlDatabase &db) override;
    QString withoutIndex(const QString &columnSql) const override { return QLatin1Char('+') + columnSql; }
    QString scratchTable(const QString &name) const override;
    QString createScratchTableStatement(const QString &name, const TableDef &def) const override;
    QStringList scratchTables(QSqlDatabase &db, const QString &prefix) const override;
    QString attachStatement() const override;
    QString detachStatement(const QString &schema) const override;

    static constexpr int BusyTimeoutMs = 8000;

private:
    QHash<QString, sqlite3_stmt *> m_statements; // readRowsById, prepared once per text
};

} // namespace lerk
