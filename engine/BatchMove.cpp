#include "BatchMove.h"

#include "Database.h"
#include "EngineError.h"
#include "LocalSqlValues.h"
#include "Session.h"
#include "SqliteBackend.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <filesystem>

namespace lerk {

namespace {

QAtomicInt connectionCounter;

QString marks(qsizetype count)
{
    QStringList out;
    for (qsizetype i = 0; i < count; ++i)
        out << QStringLiteral("?");
    return out.join(QStringLiteral(", "));
}

// The transfer file under construction: its own connection to a temporary file beside the target. Until
// commit() the temporary file is removed on destruction, whatever happened.
class TransferFileWriter
{
public:
    TransferFileWriter(const QString &target) : m_target(target)
    {
        const QFileInfo info(target);
        m_temp = QDir(info.absolutePath())
                     .filePath(QStringLiteral(".%1.%2.tmp")
                                   .arg(info.fileName(), QUuid::createUuid().toString(QUuid::WithoutBraces)));
        m_connectionName =
            QStringLiteral("lerk-transfer-out-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connectionName);
        m_db.setDatabaseName(m_temp);
        if (!m_db.open())
            fail(m_db.lastError().text());
        // No journal: until the rename nobody but us sees the file, and a failure throws it away. FULL
        // synchronisation still puts the data on disk before the rename makes it the real file.
        exec(QStringLiteral("PRAGMA journal_mode = OFF"));
        exec(QStringLiteral("PRAGMA synchronous = FULL"));
    }

    ~TransferFileWriter()
    {
        closeConnection();
        if (!m_committed) {
            QFile::remove(m_temp);
            QFile::remove(m_temp + QStringLiteral("-journal"));
        }
    }

    QSqlDatabase &connection() { return m_db; }

    void exec(const QString &sql)
    {
        QSqlQuery q(m_db);
        if (!q.exec(sql))
            fail(q.lastError().text());
    }

    [[noreturn]] void fail(const QString &reason) const
    {
        throw EngineError(ErrorCode::Io,
                          QStringLiteral("Soubor \"%1\" nelze zapsat: %2").arg(m_target, reason));
    }

    void commit()
    {
        closeConnection();
        std::error_code ec;
        // rename() replaces an existing target in one step, so readers see the old file or the new one.
        std::filesystem::rename(std::filesystem::path(m_temp.toStdU16String()),
                                std::filesystem::path(m_target.toStdU16String()), ec);
        if (ec)
            fail(QString::fromStdString(ec.message()));
        m_committed = true;
    }

private:
    void closeConnection()
    {
        if (m_connectionName.isEmpty())
            return;
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_connectionName);
        m_connectionName.clear();
    }

    QString m_target;
    QString m_temp;
    QString m_connectionName;
    QSqlDatabase m_db;
    bool m_committed = false;
};

// The key AppendUpdate matches rows by: the first unique index, without the auto-increment field
// (its values are new in every copy, so they identify nothing).
QList<const FieldDef *> updateKey(const TableDef &def)
{
    QList<const FieldDef *> key;
    for (const IndexDef &idx : def.indexes) {
        if (!idx.unique)
            continue;
        for (const QString &name : idx.fields)
            if (const FieldDef *f = def.field(name); f && f->type != FieldType::AutoInc)
                key << f;
        break;
    }
    return key;
}

bool keyIsCaseInsensitive(const TableDef &def)
{
    for (const IndexDef &idx : def.indexes)
        if (idx.unique)
            return idx.caseInsensitive;
    return false;
}

class PreparedStatement
{
public:
    PreparedStatement(Database &db, const QString &sql, const QString &context)
        : m_db(db), m_query(db.connection()), m_context(context)
    {
        m_query.setForwardOnly(true);
        if (!m_query.prepare(sql))
            throw m_db.backend().translateError(m_query.lastError(), m_context);
    }
    QSqlQuery &run(const QVariantList &binds)
    {
        for (int i = 0; i < binds.size(); ++i)
            m_query.bindValue(i, binds.at(i));
        if (!m_query.exec())
            throw m_db.backend().translateError(m_query.lastError(), m_context);
        return m_query;
    }

private:
    Database &m_db;
    QSqlQuery m_query;
    QString m_context;
};

} // namespace

int copyTableToFile(Database &db, const QString &table, const QString &filePath)
{
    const QFileInfo info(filePath);
    if (!QFileInfo(info.absolutePath()).isDir())
        throw EngineError(ErrorCode::NoDirectory,
                          QStringLiteral("Adresář \"%1\" neexistuje (soubor \"%2\").")
                              .arg(QDir::toNativeSeparators(info.absolutePath()), filePath));
    const TableDef &source = db.tableDef(table);
    TableDef fileDef = source;
    fileDef.name = info.completeBaseName();

    QStringList columns;
    for (const FieldDef &f : source.fields)
        columns << quoteIdentifier(f.name);
    const QString columnList = columns.join(QStringLiteral(", "));

    TransferFileWriter writer(info.absoluteFilePath());
    for (const QString &sql : SqliteBackend().createTableStatements(fileDef))
        writer.exec(sql);

    int count = 0;
    writer.exec(QStringLiteral("BEGIN"));
    {
        QSqlQuery insert(writer.connection());
        if (!insert.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                .arg(quoteIdentifier(fileDef.name), columnList, marks(columns.size()))))
            writer.fail(insert.lastError().text());
        // Stored values go over as they are: the file keeps the same storage conventions.
        QSqlQuery rows = db.exec(
            QStringLiteral("SELECT %1 FROM %2 ORDER BY %3")
                .arg(columnList, quoteIdentifier(source.name), quoteIdentifier(db.rowIdColumn(source.name))),
            {}, source.name);
        while (rows.next()) {
            for (int i = 0; i < columns.size(); ++i)
                insert.bindValue(i, rows.value(i));
            if (!insert.exec())
                writer.fail(insert.lastError().text());
            ++count;
        }
    }
    writer.exec(QStringLiteral("COMMIT"));
    writer.commit();
    return count;
}

namespace {

int moveRows(Session &session, Database &db, const QString &filePath, const QString &table, BatchMode mode)
{
    std::unique_ptr<FileTableReader> reader = session.readers().open(filePath);
    const TableDef fileDef = reader->definition();
    const TableDef dest = db.tableDef(table);
    const Formats &formats = session.formats();

    // Which file column fills which table field.
    struct Mapping
    {
        const FieldDef *field;
        int fileColumn;
    };
    QList<Mapping> mapping;
    for (const FieldDef &f : dest.fields) {
        if (f.type == FieldType::AutoInc)
            continue;
        for (int i = 0; i < fileDef.fields.size(); ++i)
            if (fileDef.fields.at(i).name.compare(f.name, Qt::CaseInsensitive) == 0)
                mapping << Mapping{&f, i};
    }
    if (mapping.isEmpty())
        throw EngineError(
            ErrorCode::UnknownField,
            QStringLiteral("Soubor \"%1\" nemá žádné pole tabulky %2.").arg(filePath, dest.name));

    QStringList columns;
    QStringList assignments;
    for (const Mapping &m : mapping) {
        columns << quoteIdentifier(m.field->name);
        assignments << quoteIdentifier(m.field->name) + QStringLiteral(" = ?");
    }
    assignments << QStringLiteral("%1 = %1 + 1").arg(quoteIdentifier(RowVersionColumn));
    const QString rowId = quoteIdentifier(db.rowIdColumn(dest.name));
    const QString context = QStringLiteral("%1 → %2").arg(filePath, dest.name);

    // Key fields are matched only when the file fills every one of them; otherwise rows are appended.
    QList<int> keyPositions; // into mapping
    QStringList keyTerms;
    if (mode == BatchMode::AppendUpdate) {
        const QString collate = keyIsCaseInsensitive(dest) ? QStringLiteral(" COLLATE NOCASE") : QString();
        for (const FieldDef *k : updateKey(dest)) {
            int at = -1;
            for (int i = 0; i < mapping.size(); ++i)
                if (mapping.at(i).field == k)
                    at = i;
            if (at < 0) {
                keyPositions.clear();
                keyTerms.clear();
                break;
            }
            keyPositions << at;
            // IS: an empty key field matches an empty one, as a blank is a value of the key.
            keyTerms << quoteIdentifier(k->name) + QStringLiteral(" IS ?") +
                            (k->type == FieldType::Text ? collate : QString());
        }
    }

    Transaction tx(db);
    PreparedStatement insert(
        db,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoteIdentifier(dest.name), columns.join(QStringLiteral(", ")), marks(columns.size())),
        context);
    std::optional<PreparedStatement> find;
    std::optional<PreparedStatement> update;
    if (!keyTerms.isEmpty()) {
        find.emplace(db,
                     QStringLiteral("SELECT %1 FROM %2 WHERE %3 LIMIT 1")
                         .arg(rowId, quoteIdentifier(dest.name), keyTerms.join(QStringLiteral(" AND "))),
                     context);
        update.emplace(db,
                       QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                           .arg(quoteIdentifier(dest.name), assignments.join(QStringLiteral(", ")), rowId),
                       context);
    }

    int moved = 0;
    QVariantList values;
    reader->readRows([&](const QVariantList &row) {
        values.clear();
        for (const Mapping &m : std::as_const(mapping))
            values << toStoredValue(row.value(m.fileColumn), *m.field, formats);
        QVariant existing;
        if (find) {
            QVariantList key;
            for (int at : std::as_const(keyPositions))
                key << values.at(at);
            QSqlQuery &q = find->run(key);
            if (q.next())
                existing = q.value(0);
            q.finish();
        }
        if (existing.isValid())
            update->run(QVariantList(values) << existing);
        else
            insert.run(values);
        ++moved;
    });
    tx.commit();
    if (moved > 0)
        db.notifyChanged(dest.name);
    return moved;
}

} // namespace

int moveFileToTable(Session &session, Database &db, const QString &filePath, const QString &table,
                    BatchMode mode)
{
    try {
        return moveRows(session, db, filePath, table, mode);
    } catch (const EngineError &e) {
        // A value that does not fit names its field; the person also needs to know which file it came from.
        if (e.isSilent() || e.message().contains(filePath))
            throw;
        throw EngineError(e.code(),
                          QStringLiteral("%1 (soubor \"%2\", tabulka %3)").arg(e.message(), filePath, table));
    }
}

} // namespace lerk
