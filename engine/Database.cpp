#include "Database.h"

#include "SqliteBackend.h"

#include <QAtomicInt>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>

namespace lerk {

namespace {
QAtomicInt connectionCounter;
}

Database::Database(const QString &directory, const QString &fileName, QObject *parent)
    : QObject(parent), m_backend(std::make_unique<SqliteBackend>())
{
    const QFileInfo dirInfo(directory);
    if (directory.isEmpty() || !dirInfo.isDir())
        throw EngineError(ErrorCode::NoDirectory,
                          QStringLiteral("Adresář \"%1\" neexistuje.").arg(directory));
    m_directory = dirInfo.absoluteFilePath();
    m_filePath = QDir(m_directory).filePath(fileName);
    m_connectionName = QStringLiteral("lerk-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    m_db = QSqlDatabase::addDatabase(m_backend->driverName(), m_connectionName);
    m_db.setDatabaseName(m_filePath);
    m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SqliteBackend::BusyTimeoutMs));
    if (!m_db.open()) {
        const QString text = m_db.lastError().text();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        throw EngineError(ErrorCode::Io,
                          QStringLiteral("Databázi \"%1\" nelze otevřít: %2").arg(m_filePath, text));
    }
    m_backend->configure(m_db);
}

Database::~Database()
{
    if (m_depth > 0)
        m_db.rollback();
    m_backend->releaseConnection(m_db);
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

QStringList Database::tableNames() const
{
    QSqlDatabase db = m_db;
    return m_backend->tableNames(db);
}

bool Database::hasTable(const QString &name) const
{
    for (const QString &t : tableNames())
        if (t.compare(name, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

const TableDef &Database::tableDef(const QString &name) const
{
    const QString key = name.toLower();
    auto it = m_defs.constFind(key);
    if (it != m_defs.constEnd())
        return *it;
    QSqlDatabase db = m_db;
    return *m_defs.insert(key, m_backend->readTableDef(db, name));
}

QString Database::rowIdColumn(const QString &table) const
{
    return m_backend->rowIdColumn(tableDef(table));
}

QList<ColumnInfo> Database::columns(const QString &table, const QString &qualifier) const
{
    const TableDef &def = tableDef(table);
    QList<ColumnInfo> out;
    for (const FieldDef &f : def.fields) {
        ColumnInfo c;
        c.name = f.name;
        c.sqlName = qualifier.isEmpty() ? quoteIdentifier(f.name)
                                        : qualifier + QLatin1Char('.') + quoteIdentifier(f.name);
        c.type = f.type;
        c.size = f.size;
        out << c;
    }
    return out;
}

void Database::createTable(const TableDef &def)
{
    Transaction t(*this);
    for (const QString &sql : m_backend->createTableStatements(def))
        exec(sql, {}, def.name);
    t.commit();
    m_defs.remove(def.name.toLower());
}

void Database::createRelation(const RelationDef &rel)
{
    Transaction t(*this);
    for (const QString &sql : m_backend->createRelationStatements(rel))
        exec(sql, {}, rel.name);
    t.commit();
}

void Database::dropTable(const QString &name)
{
    exec(QStringLiteral("DROP TABLE ") + quoteIdentifier(tableDef(name).name));
    m_defs.remove(name.toLower());
}

QSqlQuery Database::exec(const QString &sql, const QVariantList &binds, const QString &context)
{
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw m_backend->translateError(q.lastError(), context);
    for (const QVariant &v : binds)
        q.addBindValue(v);
    if (!q.exec())
        throw m_backend->translateError(q.lastError(), context);
    return q;
}

int Database::execAffected(const QString &sql, const QVariantList &binds, const QString &context)
{
    QSqlQuery q = exec(sql, binds, context);
    return q.numRowsAffected();
}

void Database::forEachRow(const QString &sql, const QVariantList &binds, const QList<FieldType> &types,
                          const std::function<void(QVariant *)> &sink)
{
    m_backend->readRows(m_db, sql, binds, types, sink);
}

QVariant Database::lastInsertId(const QSqlQuery &query) const
{
    return query.lastInsertId();
}

void Database::begin()
{
    if (m_depth == 0) {
        if (!m_db.transaction())
            throw m_backend->translateError(m_db.lastError(), QStringLiteral("BEGIN"));
    } else {
        exec(m_backend->savepoint(QStringLiteral("lerk%1").arg(m_depth)));
    }
    ++m_depth;
}

void Database::commit()
{
    if (m_depth == 0)
        return;
    if (m_depth == 1) {
        if (!m_db.commit())
            throw m_backend->translateError(m_db.lastError(), QStringLiteral("COMMIT"));
    } else {
        exec(m_backend->releaseSavepoint(QStringLiteral("lerk%1").arg(m_depth - 1)));
    }
    --m_depth;
}

void Database::rollback()
{
    if (m_depth == 0)
        return;
    --m_depth;
    if (m_depth == 0) {
        m_db.rollback();
    } else {
        const QString name = QStringLiteral("lerk%1").arg(m_depth);
        exec(m_backend->rollbackToSavepoint(name));
        exec(m_backend->releaseSavepoint(name));
    }
}

void Database::notifyChanged(const QString &table)
{
    emit tableChanged(table);
}

} // namespace lerk
