#pragma once

#include "ColumnInfo.h"
#include "SqlBackend.h"
#include "TableDef.h"

#include <QHash>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <memory>

namespace lerk {

// One connection to the database file of an alias directory. Tables and queries of one process share
// it; a second Database on the same file is a second connection (another workstation, as far as
// locking and stale-row checks go). Every failure surfaces as an EngineError with a Czech message.
class Database : public QObject
{
    Q_OBJECT
public:
    // Opens (and creates when missing) fileName inside directory; throws NoDirectory when the directory
    // does not exist.
    Database(const QString &directory, const QString &fileName, QObject *parent = nullptr);
    ~Database() override;

    QString directory() const { return m_directory; }
    QString filePath() const { return m_filePath; }
    QSqlDatabase connection() const { return m_db; }
    SqlBackend &backend() const { return *m_backend; }

    QStringList tableNames() const;
    bool hasTable(const QString &name) const;
    // The stored definition; name compared without case. Throws UnknownTable.
    const TableDef &tableDef(const QString &name) const;
    QString rowIdColumn(const QString &table) const;
    // Columns of a table for SQL generation, hidden columns excluded.
    QList<ColumnInfo> columns(const QString &table, const QString &qualifier = {}) const;

    void createTable(const TableDef &def);
    void createRelation(const RelationDef &rel);
    void dropTable(const QString &name);

    // Runs a statement with bound values; throws the translated error. A returned query is positioned
    // before its first row. Hot paths keep their own prepared QSqlQuery instead.
    QSqlQuery exec(const QString &sql, const QVariantList &binds = {}, const QString &context = {});
    int execAffected(const QString &sql, const QVariantList &binds = {}, const QString &context = {});
    QVariant lastInsertId(const QSqlQuery &query) const;
    // Runs a statement and hands each row to sink as typed values, in the order of types. The fast way
    // to read many rows; throws the translated error.
    void forEachRow(const QString &sql, const QVariantList &binds, const QList<FieldType> &types,
                    const std::function<void(QVariant *values)> &sink);

    // Nested transactions; the outermost is a real transaction, inner ones are savepoints.
    void begin();
    void commit();
    void rollback();
    int transactionDepth() const { return m_depth; }

    // Tells tables and caches that rows of a table changed through this connection.
    void notifyChanged(const QString &table);

signals:
    void tableChanged(const QString &table);

private:
    QString m_directory;
    QString m_filePath;
    QString m_connectionName;
    QSqlDatabase m_db;
    std::unique_ptr<SqlBackend> m_backend;
    mutable QHash<QString, TableDef> m_defs; // by lower-case name
    int m_depth = 0;
};

// Commits on commit(); rolls back when destroyed without it (an exception unwinding).
class Transaction
{
public:
    explicit Transaction(Database &db) : m_db(db) { m_db.begin(); }
    ~Transaction()
    {
        if (!m_done) {
            try {
                m_db.rollback();
            } catch (...) {
            }
        }
    }
    void commit()
    {
        m_db.commit();
        m_done = true;
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

private:
    Database &m_db;
    bool m_done = false;
};

} // namespace lerk
