#include "SqliteBackend.h"

#include "ColumnInfo.h"
#include "DataSet.h"

#include <QDate>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlQuery>
#include <QTime>
#include <sqlite3.h>

namespace lerk {

namespace {

const QString IndexSeparator = QStringLiteral("_");
const QString DetailRecordsTag = QStringLiteral("LERK9734:");

QString columnType(const FieldDef &f)
{
    switch (f.type) {
    case FieldType::Text:
        return f.size > 0 ? QStringLiteral("VARCHAR(%1)").arg(f.size) : QStringLiteral("TEXT");
    case FieldType::Short:
        return QStringLiteral("SMALLINT");
    case FieldType::Integer:
        return QStringLiteral("INTEGER");
    case FieldType::AutoInc:
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    case FieldType::Number:
        return QStringLiteral("DOUBLE");
    case FieldType::Logical:
        return QStringLiteral("BOOLEAN");
    case FieldType::Date:
        return QStringLiteral("DATE");
    case FieldType::Time:
        return QStringLiteral("TIME");
    }
    return QStringLiteral("TEXT");
}

// Constraints that keep a value in its type whoever writes it (a statement, another tool); their
// names let translateError name the field.
QString columnChecks(const FieldDef &f)
{
    const QString c = quoteIdentifier(f.name);
    switch (f.type) {
    case FieldType::Text:
        if (f.size > 0)
            return QStringLiteral(" CONSTRAINT %1 CHECK (length(%2) <= %3)")
                .arg(quoteIdentifier(f.name + QStringLiteral("_max") + QString::number(f.size)), c)
                .arg(f.size);
        return {};
    case FieldType::Date:
        return QStringLiteral(" CONSTRAINT %1 CHECK (%2 IS NULL OR ifnull(date(%2) = %2, 0))")
            .arg(quoteIdentifier(f.name + QStringLiteral("_date")), c);
    case FieldType::Time:
        return QStringLiteral(" CONSTRAINT %1 CHECK (%2 IS NULL OR ifnull(time(%2) = %2, 0))")
            .arg(quoteIdentifier(f.name + QStringLiteral("_time")), c);
    case FieldType::Logical:
        return QStringLiteral(" CONSTRAINT %1 CHECK (%2 IS NULL OR %2 IN (0, 1))")
            .arg(quoteIdentifier(f.name + QStringLiteral("_logical")), c);
    default:
        return {};
    }
}

FieldDef fieldFromDeclaredType(const QString &name, const QString &declared, bool autoInc)
{
    FieldDef f;
    f.name = name;
    const QString t = declared.trimmed().toUpper();
    static const QRegularExpression sized(
        QStringLiteral("^(?:VARCHAR|CHAR|CHARACTER|TEXT)\\s*\\((\\d+)\\)$"));
    if (const auto m = sized.match(t); m.hasMatch()) {
        f.type = FieldType::Text;
        f.size = m.captured(1).toInt();
    } else if (t == QLatin1String("SMALLINT")) {
        f.type = FieldType::Short;
    } else if (t.startsWith(QLatin1String("INT"))) {
        f.type = autoInc ? FieldType::AutoInc : FieldType::Integer;
    } else if (t == QLatin1String("DOUBLE") || t == QLatin1String("REAL") || t == QLatin1String("FLOAT") ||
               t == QLatin1String("NUMERIC")) {
        f.type = FieldType::Number;
    } else if (t == QLatin1String("BOOLEAN") || t == QLatin1String("LOGICAL")) {
        f.type = FieldType::Logical;
    } else if (t == QLatin1String("DATE")) {
        f.type = FieldType::Date;
    } else if (t == QLatin1String("TIME")) {
        f.type = FieldType::Time;
    } else {
        f.type = FieldType::Text;
    }
    return f;
}

QString joinedColumns(const QStringList &fields, const QString &prefix = {})
{
    QStringList out;
    for (const QString &f : fields)
        out << prefix + quoteIdentifier(f);
    return out.join(QStringLiteral(", "));
}

// "d1 = OLD.m1 AND d2 = OLD.m2"
QString pairedCondition(const QStringList &left, const QString &leftPrefix, const QStringList &right,
                        const QString &rightPrefix)
{
    QStringList terms;
    for (int i = 0; i < left.size() && i < right.size(); ++i)
        terms << leftPrefix + quoteIdentifier(left[i]) + QStringLiteral(" = ") + rightPrefix +
                     quoteIdentifier(right[i]);
    return terms.join(QStringLiteral(" AND "));
}

} // namespace

void SqliteBackend::configure(QSqlDatabase &db)
{
    QSqlQuery q(db);
    // Rollback journal rather than WAL: WAL needs shared memory that network shares do not give.
    for (const char *pragma :
         {"PRAGMA journal_mode = DELETE", "PRAGMA synchronous = FULL", "PRAGMA foreign_keys = OFF",
          "PRAGMA recursive_triggers = OFF", "PRAGMA cache_size = -32000"})
        q.exec(QString::fromLatin1(pragma));
    q.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(BusyTimeoutMs));
}

QStringList SqliteBackend::createTableStatements(const TableDef &def) const
{
    QStringList columns;
    const bool hasAutoInc = !def.autoIncField().isEmpty();
    if (!hasAutoInc)
        columns << quoteIdentifier(RowIdColumn) + QStringLiteral(" INTEGER PRIMARY KEY AUTOINCREMENT");
    for (const FieldDef &f : def.fields)
        columns << quoteIdentifier(f.name) + QLatin1Char(' ') + columnType(f) + columnChecks(f);
    columns << quoteIdentifier(RowVersionColumn) + QStringLiteral(" INTEGER NOT NULL DEFAULT 0");

    QStringList statements;
    statements << QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
                      .arg(quoteIdentifier(def.name), columns.join(QStringLiteral(",\n  ")));
    for (const IndexDef &idx : def.indexes) {
        QStringList parts;
        for (const QString &f : idx.fields) {
            QString part = quoteIdentifier(f);
            const FieldDef *fd = def.field(f);
            if (idx.caseInsensitive && fd && fd->type == FieldType::Text)
                part += QStringLiteral(" COLLATE NOCASE");
            if (idx.descending)
                part += QStringLiteral(" DESC");
            parts << part;
        }
        statements << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                          .arg(idx.unique ? QStringLiteral("UNIQUE ") : QString(),
                               quoteIdentifier(def.name + IndexSeparator + idx.name),
                               quoteIdentifier(def.name), parts.join(QStringLiteral(", ")));
    }
    return statements;
}

QStringList SqliteBackend::createRelationStatements(const RelationDef &rel) const
{
    const QString master = quoteIdentifier(rel.master);
    const QString detail = quoteIdentifier(rel.detail);
    const QString otherMasterKeepsKey =
        QStringLiteral("EXISTS (SELECT 1 FROM %1 AS m WHERE %2 AND m.rowid <> OLD.rowid)")
            .arg(master, pairedCondition(rel.masterFields, QStringLiteral("m."), rel.masterFields,
                                         QStringLiteral("OLD.")));
    const QString hasDetails = QStringLiteral("EXISTS (SELECT 1 FROM %1 AS d WHERE %2)")
                                   .arg(detail, pairedCondition(rel.detailFields, QStringLiteral("d."),
                                                                rel.masterFields, QStringLiteral("OLD.")));
    QStringList changed;
    QStringList assignments;
    for (int i = 0; i < rel.masterFields.size() && i < rel.detailFields.size(); ++i) {
        changed << QStringLiteral("OLD.%1 IS NOT NEW.%1").arg(quoteIdentifier(rel.masterFields[i]));
        assignments << QStringLiteral("%1 = NEW.%2")
                           .arg(quoteIdentifier(rel.detailFields[i]), quoteIdentifier(rel.masterFields[i]));
    }
    assignments << QStringLiteral("%1 = %1 + 1").arg(quoteIdentifier(RowVersionColumn));

    QStringList statements;
    statements << QStringLiteral("CREATE TRIGGER %1 BEFORE DELETE ON %2 WHEN %3 AND NOT %4 BEGIN "
                                 "SELECT RAISE(ABORT, '%5%6'); END")
                      .arg(quoteIdentifier(rel.name + QStringLiteral("_delete")), master, hasDetails,
                           otherMasterKeepsKey, DetailRecordsTag, rel.detail);
    statements << QStringLiteral("CREATE TRIGGER %1 AFTER UPDATE OF %2 ON %3 WHEN (%4) AND NOT %5 BEGIN "
                                 "UPDATE %6 SET %7 WHERE %8; END")
                      .arg(quoteIdentifier(rel.name + QStringLiteral("_update")),
                           joinedColumns(rel.masterFields), master, changed.join(QStringLiteral(" OR ")),
                           otherMasterKeepsKey, detail, assignments.join(QStringLiteral(", ")),
                           pairedCondition(rel.detailFields, QString(), rel.masterFields,
                                           QStringLiteral("OLD.")));
    return statements;
}

QStringList SqliteBackend::tableNames(QSqlDatabase &db) const
{
    QStringList names;
    QSqlQuery q(db);
    q.exec(
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                       "ESCAPE '\\' ORDER BY name"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

TableDef SqliteBackend::readTableDef(QSqlDatabase &db, const QString &table) const
{
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT name, sql FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"));
    q.addBindValue(table);
    if (!q.exec() || !q.next())
        throw EngineError(ErrorCode::UnknownTable, QStringLiteral("Tabulka \"%1\" neexistuje.").arg(table));
    TableDef def;
    def.name = q.value(0).toString();
    const bool autoIncrement =
        q.value(1).toString().contains(QLatin1String("AUTOINCREMENT"), Qt::CaseInsensitive);

    QSqlQuery info(db);
    info.exec(QStringLiteral("PRAGMA table_info(%1)").arg(quoteIdentifier(def.name)));
    while (info.next()) {
        const QString name = info.value(1).toString();
        if (name == RowIdColumn || name == RowVersionColumn)
            continue;
        const bool pk = info.value(5).toInt() > 0;
        def.fields << fieldFromDeclaredType(name, info.value(2).toString(), pk && autoIncrement);
    }

    QSqlQuery list(db);
    list.exec(QStringLiteral("PRAGMA index_list(%1)").arg(quoteIdentifier(def.name)));
    const QString prefix = def.name + IndexSeparator;
    while (list.next()) {
        const QString stored = list.value(1).toString();
        if (!stored.startsWith(prefix, Qt::CaseInsensitive))
            continue; // SQLite's own autoindexes
        IndexDef idx;
        idx.name = stored.mid(prefix.size());
        idx.unique = list.value(2).toInt() != 0;
        QSqlQuery cols(db);
        cols.exec(QStringLiteral("PRAGMA index_xinfo(%1)").arg(quoteIdentifier(stored)));
        while (cols.next()) {
            if (cols.value(5).toInt() == 0) // not a key column
                continue;
            idx.fields << cols.value(2).toString();
            idx.descending = idx.descending || cols.value(3).toInt() != 0;
            idx.caseInsensitive =
                idx.caseInsensitive ||
                cols.value(4).toString().compare(QLatin1String("NOCASE"), Qt::CaseInsensitive) == 0;
        }
        def.indexes << idx;
    }
    return def;
}

QString SqliteBackend::rowIdColumn(const TableDef &def) const
{
    const QString autoInc = def.autoIncField();
    return autoInc.isEmpty() ? RowIdColumn : autoInc;
}

EngineError SqliteBackend::translateError(const QSqlError &error, const QString &context) const
{
    const QString text = error.databaseText().isEmpty() ? error.text() : error.databaseText();
    auto withContext = [&](const QString &message) {
        return context.isEmpty() ? message : message + QStringLiteral(" (") + context + QLatin1Char(')');
    };
    if (text.contains(QLatin1String("UNIQUE constraint failed"))) {
        QString fields = text.section(QLatin1String("failed:"), 1).trimmed();
        return EngineError(
            ErrorCode::KeyViolation,
            withContext(QStringLiteral("Porušení klíče: záznam se stejnými hodnotami (%1) už existuje.")
                            .arg(fields)));
    }
    if (const int at = text.indexOf(DetailRecordsTag); at >= 0) {
        const QString detail = text.mid(at + DetailRecordsTag.size()).section(QLatin1Char(' '), 0, 0);
        return EngineError(
            ErrorCode::DetailRecordsExist,
            withContext(QStringLiteral("Záznam nelze smazat: existují k němu podřízené záznamy v tabulce %1.")
                            .arg(detail)));
    }
    static const QRegularExpression check(
        QStringLiteral("CHECK constraint failed: (\\w+)_(max(\\d+)|date|time|logical)"));
    if (const auto m = check.match(text); m.hasMatch()) {
        const QString field = m.captured(1);
        if (m.captured(2).startsWith(QLatin1String("max")))
            return EngineError(
                ErrorCode::ValueTooLong,
                withContext(
                    QStringLiteral("Hodnota pole %1 je delší než %2 znaků.").arg(field, m.captured(3))));
        return EngineError(
            ErrorCode::InvalidValue,
            withContext(QStringLiteral("Hodnota pole %1 není platné %2.")
                            .arg(field, m.captured(2) == QLatin1String("date") ? QStringLiteral("datum")
                                        : m.captured(2) == QLatin1String("time")
                                            ? QStringLiteral("čas")
                                            : QStringLiteral("logická hodnota"))));
    }
    if (text.contains(QLatin1String("database is locked")) ||
        text.contains(QLatin1String("database table is locked")))
        return EngineError(
            ErrorCode::Busy,
            withContext(QStringLiteral("Data jsou právě zamčena jinou stanicí. Zkuste to prosím znovu.")));
    if (text.contains(QLatin1String("no such table")))
        return EngineError(
            ErrorCode::UnknownTable,
            withContext(
                QStringLiteral("Tabulka neexistuje: %1").arg(text.section(QLatin1Char(':'), 1).trimmed())));
    if (text.contains(QLatin1String("no such column")))
        return EngineError(
            ErrorCode::UnknownField,
            withContext(
                QStringLiteral("Pole neexistuje: %1").arg(text.section(QLatin1Char(':'), 1).trimmed())));
    if (text.contains(QLatin1String("unable to open")) || text.contains(QLatin1String("disk I/O")) ||
        text.contains(QLatin1String("readonly database")))
        return EngineError(ErrorCode::Io,
                           withContext(QStringLiteral("Chyba při práci se souborem databáze: %1").arg(text)));
    return EngineError(ErrorCode::General, withContext(QStringLiteral("Chyba databáze: %1").arg(text)));
}

namespace {

sqlite3 *nativeHandle(QSqlDatabase &db)
{
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3 *const *>(v.constData());
}

int twoDigits(const unsigned char *p)
{
    return (p[0] - '0') * 10 + (p[1] - '0');
}

QVariant typedColumn(sqlite3_stmt *st, int col, FieldType type)
{
    switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        if (type == FieldType::Logical)
            return sqlite3_column_int64(st, col) != 0;
        if (type == FieldType::Number)
            return double(sqlite3_column_int64(st, col));
        if (type == FieldType::Text)
            break;
        return qlonglong(sqlite3_column_int64(st, col));
    case SQLITE_FLOAT:
        if (type == FieldType::Number)
            return sqlite3_column_double(st, col);
        if (isIntegerType(type))
            return qlonglong(sqlite3_column_double(st, col));
        break;
    default:
        break;
    }
    const auto *text = sqlite3_column_text(st, col);
    const int bytes = sqlite3_column_bytes(st, col);
    switch (type) {
    case FieldType::Date:
        // Stored as YYYY-MM-DD; a value of another shape was not written by the engine.
        if (bytes == 10 && text[4] == '-' && text[7] == '-') {
            const QDate d((text[0] - '0') * 1000 + (text[1] - '0') * 100 + twoDigits(text + 2),
                          twoDigits(text + 5), twoDigits(text + 8));
            return d.isValid() ? QVariant(d) : QVariant();
        }
        return DataSet::fromStorage(QString::fromUtf8(reinterpret_cast<const char *>(text), bytes), type);
    case FieldType::Text: {
        if (bytes == 0)
            return {};
        return QString::fromUtf8(reinterpret_cast<const char *>(text), bytes);
    }
    default:
        return DataSet::fromStorage(QString::fromUtf8(reinterpret_cast<const char *>(text), bytes), type);
    }
}

} // namespace

void SqliteBackend::readRowsById(QSqlDatabase &db, const QString &sql, const QList<FieldType> &types,
                                 const qint64 *ids, int n,
                                 const std::function<void(qint64, QVariant *)> &sink)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle) {
        SqlBackend::readRowsById(db, sql, types, ids, n, sink);
        return;
    }
    sqlite3_stmt *st = m_statements.value(sql);
    if (!st) {
        const QByteArray utf8 = sql.toUtf8();
        if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK)
            throw translateError(
                QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(handle)), QSqlError::StatementError),
                {});
        m_statements.insert(sql, st);
    }
    for (int i = 0; i < n; ++i)
        sqlite3_bind_int64(st, i + 1, ids[i]);
    QVarLengthArray<QVariant, 32> values(types.size());
    int rc = SQLITE_OK;
    try {
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            for (int i = 0; i < types.size(); ++i)
                values[i] = typedColumn(st, i + 1, types[i]);
            sink(sqlite3_column_int64(st, 0), values.data());
        }
    } catch (...) {
        sqlite3_reset(st);
        throw;
    }
    const QString message = QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_reset(st);
    if (rc != SQLITE_DONE)
        throw translateError(QSqlError(QString(), message, QSqlError::StatementError), {});
}

void SqliteBackend::readRows(QSqlDatabase &db, const QString &sql, const QVariantList &binds,
                             const QList<FieldType> &types, const std::function<void(QVariant *)> &sink)
{
    sqlite3 *handle = nativeHandle(db);
    if (!handle) {
        SqlBackend::readRows(db, sql, binds, types, sink);
        return;
    }
    sqlite3_stmt *st = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v2(handle, utf8.constData(), int(utf8.size()), &st, nullptr) != SQLITE_OK)
        throw translateError(
            QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(handle)), QSqlError::StatementError), {});
    struct Finalize
    {
        sqlite3_stmt *st;
        ~Finalize() { sqlite3_finalize(st); }
    } finalize{st};
    for (int i = 0; i < binds.size(); ++i) {
        const QVariant &b = binds[i];
        if (b.isNull())
            sqlite3_bind_null(st, i + 1);
        else if (b.typeId() == QMetaType::Double)
            sqlite3_bind_double(st, i + 1, b.toDouble());
        else if (b.typeId() == QMetaType::LongLong || b.typeId() == QMetaType::Int ||
                 b.typeId() == QMetaType::Bool)
            sqlite3_bind_int64(st, i + 1, b.toLongLong());
        else {
            const QByteArray text = b.toString().toUtf8();
            sqlite3_bind_text(st, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        }
    }
    QVarLengthArray<QVariant, 32> values(types.size());
    int rc = SQLITE_OK;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int i = 0; i < types.size(); ++i)
            values[i] = typedColumn(st, i, types[i]);
        sink(values.data());
    }
    if (rc != SQLITE_DONE)
        throw translateError(
            QSqlError(QString(), QString::fromUtf8(sqlite3_errmsg(handle)), QSqlError::StatementError), {});
}

void SqliteBackend::releaseConnection(QSqlDatabase &)
{
    for (sqlite3_stmt *st : std::as_const(m_statements))
        sqlite3_finalize(st);
    m_statements.clear();
}

QString SqliteBackend::savepoint(const QString &name) const
{
    return QStringLiteral("SAVEPOINT ") + quoteIdentifier(name);
}

QString SqliteBackend::releaseSavepoint(const QString &name) const
{
    return QStringLiteral("RELEASE SAVEPOINT ") + quoteIdentifier(name);
}

QString SqliteBackend::rollbackToSavepoint(const QString &name) const
{
    return QStringLiteral("ROLLBACK TO SAVEPOINT ") + quoteIdentifier(name);
}

QString SqliteBackend::scratchTable(const QString &name) const
{
    return quoteIdentifier(QStringLiteral("temp")) + QLatin1Char('.') + quoteIdentifier(name);
}

QString SqliteBackend::createScratchTableStatement(const QString &name, const TableDef &def) const
{
    QStringList columns;
    for (const FieldDef &f : def.fields) {
        QString type = QStringLiteral("TEXT");
        if (isIntegerType(f.type) || f.type == FieldType::Logical)
            type = QStringLiteral("INTEGER");
        else if (f.type == FieldType::Number)
            type = QStringLiteral("REAL");
        columns << quoteIdentifier(f.name) + QLatin1Char(' ') + type;
    }
    return QStringLiteral("CREATE TABLE %1 (%2)").arg(scratchTable(name), columns.join(QStringLiteral(", ")));
}

QStringList SqliteBackend::scratchTables(QSqlDatabase &db, const QString &prefix) const
{
    QStringList names;
    QSqlQuery q(db);
    q.prepare(QStringLiteral(
        "SELECT name FROM sqlite_temp_master WHERE type = 'table' AND substr(name, 1, ?) = ?"));
    q.addBindValue(prefix.size());
    q.addBindValue(prefix);
    q.exec();
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QString SqliteBackend::attachStatement() const
{
    return QStringLiteral("ATTACH DATABASE ? AS %1");
}

QString SqliteBackend::detachStatement(const QString &schema) const
{
    return QStringLiteral("DETACH DATABASE ") + quoteIdentifier(schema);
}

} // namespace lerk
