#include "TransferFileReader.h"

#include "ColumnInfo.h"
#include "EngineError.h"
#include "LocalSqlValues.h"
#include "SqliteBackend.h"

#include <QAtomicInt>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace lerk {

namespace {
QAtomicInt readerCounter;
}

TransferFileReader::TransferFileReader(const QString &path)
    : m_path(path),
      m_connectionName(QStringLiteral("lerk-transfer-%1").arg(readerCounter.fetchAndAddRelaxed(1)))
{
    if (!QFileInfo(path).isFile())
        throw EngineError(ErrorCode::Io, QStringLiteral("Soubor \"%1\" neexistuje.").arg(path));
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
    m_db.setDatabaseName(path);
    // Read-only: opening a file that is not a database must not turn it into one.
    m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!m_db.open())
        fail(m_db.lastError().text());

    QStringList tables;
    {
        // SQLite reads the header only on the first statement: this is where a foreign file shows.
        QSqlQuery q(m_db);
        if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE "
                                   "'sqlite\\_%' ESCAPE '\\'")))
            fail(q.lastError().databaseText());
        while (q.next())
            tables << q.value(0).toString();
    }
    if (tables.size() != 1)
        fail(QStringLiteral("počet tabulek v něm je %1, má být právě jedna").arg(tables.size()));
    try {
        m_def = SqliteBackend().readTableDef(m_db, tables.first());
    } catch (const EngineError &e) {
        fail(e.message());
    }
}

TransferFileReader::~TransferFileReader()
{
    close();
}

void TransferFileReader::close()
{
    if (m_connectionName.isEmpty())
        return;
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
    m_connectionName.clear();
}

void TransferFileReader::fail(const QString &reason)
{
    close();
    throw EngineError(ErrorCode::Io, QStringLiteral("Soubor \"%1\" není přenosový soubor (databáze s jednou "
                                                    "tabulkou): %2")
                                         .arg(m_path, reason));
}

void TransferFileReader::readRows(const std::function<void(const QVariantList &row)> &sink)
{
    QStringList columns;
    for (const FieldDef &f : m_def.fields)
        columns << quoteIdentifier(f.name);
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // rowid order is the order the rows were written in.
    if (!q.exec(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
                    .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(m_def.name))))
        throw EngineError(
            ErrorCode::Io,
            QStringLiteral("Soubor \"%1\" nelze číst: %2").arg(m_path, q.lastError().databaseText()));
    QVariantList row;
    while (q.next()) {
        row.clear();
        for (int i = 0; i < m_def.fields.size(); ++i)
            row << fromStoredValue(q.value(i), m_def.fields.at(i).type);
        sink(row);
    }
    if (q.lastError().isValid())
        throw EngineError(
            ErrorCode::Io,
            QStringLiteral("Soubor \"%1\" nelze číst: %2").arg(m_path, q.lastError().databaseText()));
}

} // namespace lerk
