#include "LocalSql.h"

#include "Database.h"
#include "EngineError.h"
#include "FilterExpr.h"
#include "LocalSqlParser.h"
#include "LocalSqlValues.h"
#include "Session.h"

#include <QAtomicInt>
#include <QCryptographicHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace lerk {

using namespace localsql;

namespace {

QAtomicInt nameCounter;

// A unique name for a scratch table or an attached schema; never derived from user text.
QString scratchName(const QString &prefix)
{
    return prefix + QString::number(nameCounter.fetchAndAddRelaxed(1));
}

[[noreturn]] void syntaxError(const QString &statement, const QString &what)
{
    throw EngineError(ErrorCode::SqlSyntax, syntaxMessage(statement, what));
}

QList<ColumnInfo> columnsOf(const TableDef &def)
{
    QList<ColumnInfo> out;
    for (const FieldDef &f : def.fields)
        out << ColumnInfo{f.name, quoteIdentifier(f.name), f.type, f.size};
    return out;
}

const FieldDef &fieldOf(const TableDef &def, const QString &name)
{
    if (const FieldDef *f = def.field(name))
        return *f;
    throw EngineError(ErrorCode::UnknownField,
                      QStringLiteral("Pole \"%1\" v tabulce %2 neexistuje.").arg(name, def.name));
}

using RowSink = std::function<void(const QVariantList &row)>;
using RowSource = std::function<void(const RowSink &sink)>;

// Copies rows (already in stored form) into a TEMP table of the connection, so that a file or a table
// another connection owns can take part in one SQL statement. Returns the table as SQL refers to it.
QString stageRows(Database &db, const TableDef &def, const QString &name, const RowSource &rows)
{
    const QStringList marks(def.fields.size(), QStringLiteral("?"));
    const QString table = db.backend().scratchTable(name);
    db.exec(db.backend().createScratchTableStatement(name, def), {}, name);

    QSqlQuery insert(db.connection());
    if (!insert.prepare(
            QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(table, marks.join(QLatin1Char(',')))))
        throw db.backend().translateError(insert.lastError(), name);
    const int width = int(def.fields.size());
    rows([&](const QVariantList &row) {
        for (int i = 0; i < width; ++i)
            insert.bindValue(i, row.value(i));
        if (!insert.exec())
            throw db.backend().translateError(insert.lastError(), name);
    });
    return table;
}

// Keeps another database file reachable from a connection for one statement. SQLite refuses ATTACH
// inside a transaction, so the attachment is made before the statement's transaction and outlives it.
class Attachment
{
public:
    Attachment(Database &db, const QString &filePath)
        : m_db(db), m_schema(scratchName(QStringLiteral("lerk_src")))
    {
        m_db.exec(m_db.backend().attachStatement().arg(quoteIdentifier(m_schema)), {filePath}, filePath);
    }
    ~Attachment()
    {
        try {
            m_db.exec(m_db.backend().detachStatement(m_schema));
        } catch (const EngineError &) {
            // The connection stays usable; the schema goes when the connection closes.
        }
    }
    Attachment(const Attachment &) = delete;
    Attachment &operator=(const Attachment &) = delete;

    QString table(const QString &name) const
    {
        return quoteIdentifier(m_schema) + QLatin1Char('.') + quoteIdentifier(name);
    }

private:
    Database &m_db;
    QString m_schema;
};

// A table a statement names, resolved: an alias table (db set) or a file (reader set).
struct Target
{
    Database *db = nullptr;
    TableDef def;
    std::unique_ptr<FileTableReader> reader;
};

struct BuiltSelect
{
    SqlFragment sql;
    QList<ColumnInfo> columns;
};

// Translates one parsed statement over the session's tables.
class Translator
{
public:
    Translator(Session &session, const QString &defaultAlias, const QString &statement)
        : m_session(session), m_defaultAlias(defaultAlias), m_statement(statement)
    {}

    // Every error but a syntax error (which quotes the statement already) gets told which statement
    // failed: the same message may come from any of a procedure's statements.
    template <typename F> auto guarded(F &&run)
    {
        try {
            return run();
        } catch (const EngineError &e) {
            if (e.code() == ErrorCode::SqlSyntax || e.isSilent())
                throw;
            throw EngineError(e.code(), QStringLiteral("%1 Příkaz: %2").arg(e.message(), m_statement));
        }
    }

    int run(const SelectStatement &)
    {
        syntaxError(m_statement, QStringLiteral("příkaz SELECT nemění data, spouští se jako dotaz"));
    }

    int run(const DeleteStatement &del)
    {
        Target t = resolveWritable(del.from);
        const SqlFragment where = whereSql(del.where, t.def);
        QString sql = QStringLiteral("DELETE FROM ") + quoteIdentifier(t.def.name);
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where.sql;
        Transaction tx(*t.db);
        const int n = t.db->execAffected(sql, where.binds, t.def.name);
        tx.commit();
        if (n > 0)
            t.db->notifyChanged(t.def.name);
        return n;
    }

    int run(const UpdateStatement &upd)
    {
        Target t = resolveWritable(upd.table);
        QStringList sets;
        QVariantList binds;
        QStringList assigned;
        for (const Assignment &a : upd.assignments) {
            const FieldDef &f = fieldOf(t.def, a.field);
            if (assigned.contains(f.name))
                syntaxError(m_statement, QStringLiteral("pole %1 je za SET uvedeno dvakrát").arg(f.name));
            assigned << f.name;
            sets << quoteIdentifier(f.name) + QStringLiteral(" = ?");
            binds << literalValue(a.value, f);
        }
        // Open tables notice that a row changed under them by its version.
        sets << QStringLiteral("%1 = %1 + 1").arg(quoteIdentifier(RowVersionColumn));
        const SqlFragment where = whereSql(upd.where, t.def);
        QString sql = QStringLiteral("UPDATE %1 SET %2")
                          .arg(quoteIdentifier(t.def.name), sets.join(QStringLiteral(", ")));
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where.sql;
        binds << where.binds;
        Transaction tx(*t.db);
        const int n = t.db->execAffected(sql, binds, t.def.name);
        tx.commit();
        if (n > 0)
            t.db->notifyChanged(t.def.name);
        return n;
    }

    int run(const InsertStatement &ins)
    {
        Target dest = resolveWritable(ins.into);
        const QList<const FieldDef *> columns = insertColumns(ins, dest.def);
        QStringList names;
        for (const FieldDef *f : columns)
            names << quoteIdentifier(f->name);
        const QString head = QStringLiteral("INSERT INTO %1 (%2) ")
                                 .arg(quoteIdentifier(dest.def.name), names.join(QStringLiteral(", ")));
        const int n =
            ins.select ? insertSelect(ins, dest, columns, head) : insertValues(ins, dest, columns, head);
        if (n > 0)
            dest.db->notifyChanged(dest.def.name);
        return n;
    }

    SelectPlan plan(const SelectStatement &sel)
    {
        Target src = resolve(sel.from);
        SelectPlan plan;
        if (src.db && isKeyedShape(sel)) {
            plan.database = src.db;
            plan.keyed = true;
            plan.table = src.def.name;
            plan.where = whereSql(sel.where, src.def);
            for (const SelectItem &item : sel.items) {
                const QStringList fields = item.kind == SelectItem::Kind::Star
                                               ? fieldNames(src.def)
                                               : QStringList{fieldOf(src.def, item.field).name};
                for (const QString &f : fields) {
                    if (plan.fieldNames.contains(f))
                        syntaxError(m_statement, QStringLiteral("pole %1 je v seznamu polí dvakrát").arg(f));
                    plan.fieldNames << f;
                }
            }
            for (const OrderTerm &term : sel.orderBy)
                plan.orderBy << qMakePair(fieldOf(src.def, term.field).name, term.descending);
            return plan;
        }

        if (src.db) {
            const BuiltSelect built = buildSelect(sel, src.def, quoteIdentifier(src.def.name), false);
            plan.database = src.db;
            plan.sql = built.sql;
            plan.columns = built.columns;
            return plan;
        }

        // A file: its rows are loaded into a scratch table of the default alias's connection, where the
        // query reads them. The scratch table outlives this call (the query runs it later); the ones a
        // previous opening of the same file left behind are dropped first.
        Database &db = m_session.database(m_defaultAlias);
        const QString prefix =
            QStringLiteral("lerk_file_%1_")
                .arg(QString::fromLatin1(QCryptographicHash::hash(src.def.name.toUtf8() + m_filePath.toUtf8(),
                                                                  QCryptographicHash::Md5)
                                             .toHex()
                                             .left(12)));
        const QString name = scratchName(prefix);
        const QString table = db.backend().scratchTable(name);
        const BuiltSelect built = buildSelect(sel, src.def, table, false);
        dropScratchTables(db, prefix);
        Transaction tx(db);
        stageRows(db, src.def, name, fileRows(src));
        tx.commit();
        plan.database = &db;
        plan.sql = built.sql;
        plan.columns = built.columns;
        return plan;
    }

private:
    Target resolve(const TableRef &ref)
    {
        Target t;
        if (ref.kind == TableRef::Kind::FilePath) {
            m_filePath = ref.filePath;
            t.reader = m_session.readers().open(ref.filePath);
            t.def = t.reader->definition();
            return t;
        }
        const QString alias = ref.kind == TableRef::Kind::AliasPath ? ref.alias : m_defaultAlias;
        t.db = &m_session.database(alias);
        if (!t.db->hasTable(ref.table))
            throw EngineError(ErrorCode::UnknownTable,
                              QStringLiteral("Tabulka \"%1\" v aliasu %2 neexistuje.").arg(ref.table, alias));
        t.def = t.db->tableDef(ref.table);
        return t;
    }

    Target resolveWritable(const TableRef &ref)
    {
        if (ref.kind == TableRef::Kind::FilePath)
            throw EngineError(
                ErrorCode::ReadOnly,
                QStringLiteral("Do souboru \"%1\" nelze zapisovat, soubory lze jen číst.").arg(ref.filePath));
        return resolve(ref);
    }

    static QStringList fieldNames(const TableDef &def)
    {
        QStringList names;
        for (const FieldDef &f : def.fields)
            names << f.name;
        return names;
    }

    // The condition is in the filter syntax; its own errors become errors of the statement.
    SqlFragment whereSql(const QString &where, const TableDef &def) const
    {
        if (where.isEmpty())
            return {};
        FilterExpr filter;
        try {
            filter = FilterExpr::parse(where);
        } catch (const EngineError &e) {
            if (e.code() != ErrorCode::FilterSyntax)
                throw;
            syntaxError(m_statement, QStringLiteral("chybná podmínka za WHERE – %1").arg(e.message()));
        }
        const QList<ColumnInfo> columns = columnsOf(def);
        const ColumnResolver resolver = [&columns](const QString &name) -> std::optional<ColumnInfo> {
            for (const ColumnInfo &c : columns)
                if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                    return c;
            return std::nullopt;
        };
        return filter.toSql(resolver, m_session.formats());
    }

    QVariant literalValue(const Literal &lit, const FieldDef &field) const
    {
        switch (lit.kind) {
        case Literal::Kind::Null:
            return QVariant();
        case Literal::Kind::Logical:
            return toStoredValue(lit.logical, field, m_session.formats());
        case Literal::Kind::Text:
        case Literal::Kind::Number:
            break;
        }
        return toStoredValue(lit.text, field, m_session.formats());
    }

    static bool isKeyedShape(const SelectStatement &sel)
    {
        if (sel.distinct || !sel.groupBy.isEmpty() || sel.hasAggregates())
            return false;
        for (const SelectItem &item : sel.items)
            if (item.kind == SelectItem::Kind::Field && !item.alias.isEmpty() &&
                item.alias.compare(item.field, Qt::CaseInsensitive) != 0)
                return false; // a renamed column is not a stored field any more
        return true;
    }

    QList<const FieldDef *> insertColumns(const InsertStatement &ins, const TableDef &def) const
    {
        QList<const FieldDef *> columns;
        if (ins.columns.isEmpty()) {
            // Copies get new auto-increment values unless the field is named.
            for (const FieldDef &f : def.fields)
                if (f.type != FieldType::AutoInc)
                    columns << &f;
            return columns;
        }
        for (const QString &name : ins.columns) {
            const FieldDef *f = &fieldOf(def, name);
            if (columns.contains(f))
                syntaxError(m_statement, QStringLiteral("pole %1 je v seznamu polí dvakrát").arg(f->name));
            columns << f;
        }
        return columns;
    }

    int insertValues(const InsertStatement &ins, Target &dest, const QList<const FieldDef *> &columns,
                     const QString &head)
    {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const QString sql = head + QStringLiteral("VALUES (%1)").arg(marks.join(QStringLiteral(", ")));
        QList<QVariantList> rows;
        for (qsizetype r = 0; r < ins.rows.size(); ++r) {
            const QList<Literal> &row = ins.rows.at(r);
            if (row.size() != columns.size())
                syntaxError(
                    m_statement,
                    QStringLiteral("počet hodnot v %1. řádku za VALUES (%2) se liší od počtu polí (%3)")
                        .arg(r + 1)
                        .arg(row.size())
                        .arg(columns.size()));
            QVariantList binds;
            for (qsizetype i = 0; i < row.size(); ++i)
                binds << literalValue(row.at(i), *columns.at(i));
            rows << binds;
        }
        Transaction tx(*dest.db);
        for (const QVariantList &binds : rows)
            dest.db->exec(sql, binds, dest.def.name);
        tx.commit();
        return int(rows.size());
    }

    int insertSelect(const InsertStatement &ins, Target &dest, const QList<const FieldDef *> &columns,
                     const QString &head)
    {
        const SelectStatement &sel = *ins.select;
        Target src = resolve(sel.from);
        Database &db = *dest.db;

        // Where the rows come from, as SQL on the destination's connection: the table itself, an
        // attached database, or a scratch table loaded from a file or from another connection (inside
        // an open transaction, where ATTACH is refused).
        std::optional<Attachment> attachment;
        QString stageName;
        QString from;
        RowSource stageSource;
        if (src.db == &db) {
            from = quoteIdentifier(src.def.name);
        } else if (src.db && db.transactionDepth() == 0) {
            attachment.emplace(db, src.db->filePath());
            from = attachment->table(src.def.name);
        } else {
            stageName = scratchName(QStringLiteral("lerk_stage_"));
            from = db.backend().scratchTable(stageName);
            stageSource = src.db ? tableRows(src) : fileRows(src);
        }

        const BuiltSelect built = buildSelect(sel, src.def, from, true);
        if (built.columns.size() != columns.size())
            syntaxError(
                m_statement,
                QStringLiteral("počet vkládaných polí (%1) se liší od počtu sloupců, které vrací SELECT (%2)")
                    .arg(columns.size())
                    .arg(built.columns.size()));

        Transaction tx(db);
        if (stageSource)
            stageRows(db, src.def, stageName, stageSource);
        const int n = db.execAffected(head + built.sql.sql, built.sql.binds, dest.def.name);
        if (stageSource)
            db.exec(QStringLiteral("DROP TABLE ") + from);
        tx.commit();
        return n;
    }

    RowSource fileRows(Target &src) const
    {
        return [this, &src](const RowSink &sink) {
            QVariantList stored;
            src.reader->readRows([&](const QVariantList &row) {
                stored.clear();
                for (qsizetype i = 0; i < src.def.fields.size(); ++i)
                    stored << toStoredValue(row.value(i), src.def.fields.at(i), m_session.formats());
                sink(stored);
            });
        };
    }

    static RowSource tableRows(Target &src)
    {
        return [&src](const RowSink &sink) {
            QSqlQuery q =
                src.db->exec(QStringLiteral("SELECT %1 FROM %2")
                                 .arg(quotedList(fieldNames(src.def)), quoteIdentifier(src.def.name)),
                             {}, src.def.name);
            QVariantList row;
            while (q.next()) {
                row.clear();
                for (qsizetype i = 0; i < src.def.fields.size(); ++i)
                    row << q.value(int(i));
                sink(row);
            }
        };
    }

    static QString quotedList(const QStringList &names)
    {
        QStringList out;
        for (const QString &n : names)
            out << quoteIdentifier(n);
        return out.join(QStringLiteral(", "));
    }

    static void dropScratchTables(Database &db, const QString &prefix)
    {
        QSqlDatabase connection = db.connection();
        for (const QString &name : db.backend().scratchTables(connection, prefix)) {
            try {
                db.exec(QStringLiteral("DROP TABLE ") + db.backend().scratchTable(name));
            } catch (const EngineError &) {
                // Still read by an open query; a later opening drops it.
            }
        }
    }

    BuiltSelect buildSelect(const SelectStatement &sel, const TableDef &def, const QString &from,
                            bool starWithoutAutoInc) const
    {
        const bool grouped = !sel.groupBy.isEmpty() || sel.hasAggregates();
        QStringList groupFields;
        for (const QString &name : sel.groupBy) {
            const QString real = fieldOf(def, name).name;
            if (!groupFields.contains(real))
                groupFields << real;
        }

        BuiltSelect out;
        QStringList expressions;
        auto addColumn = [&](const QString &expression, const QString &name, FieldType type, int size) {
            for (const ColumnInfo &c : std::as_const(out.columns))
                if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                    syntaxError(m_statement,
                                QStringLiteral("sloupec %1 je ve výsledku dvakrát; přejmenujte jej pomocí AS")
                                    .arg(name));
            expressions << expression + QStringLiteral(" AS ") + quoteIdentifier(name);
            out.columns << ColumnInfo{name, quoteIdentifier(name), type, size};
        };

        for (const SelectItem &item : sel.items) {
            switch (item.kind) {
            case SelectItem::Kind::Star:
                if (grouped)
                    syntaxError(m_statement,
                                QStringLiteral("\"*\" nelze použít spolu s GROUP BY ani se souhrnnými "
                                               "funkcemi"));
                for (const FieldDef &f : def.fields)
                    if (!(starWithoutAutoInc && f.type == FieldType::AutoInc))
                        addColumn(quoteIdentifier(f.name), f.name, f.type, f.size);
                break;
            case SelectItem::Kind::Field: {
                const FieldDef &f = fieldOf(def, item.field);
                if (grouped && !groupFields.contains(f.name))
                    syntaxError(
                        m_statement,
                        QStringLiteral("pole %1 je v seznamu polí, ale ne v GROUP BY").arg(item.field));
                addColumn(quoteIdentifier(f.name), item.alias.isEmpty() ? item.written : item.alias, f.type,
                          f.size);
                break;
            }
            case SelectItem::Kind::Aggregate: {
                const QString name = item.alias.isEmpty() ? item.written : item.alias;
                if (item.field.isEmpty()) {
                    addColumn(QStringLiteral("count(*)"), name, FieldType::Integer, 0);
                    break;
                }
                const FieldDef &f = fieldOf(def, item.field);
                const QString expression =
                    item.function.toLower() + QLatin1Char('(') + quoteIdentifier(f.name) + QLatin1Char(')');
                const bool needsNumber =
                    item.function == QLatin1String("SUM") || item.function == QLatin1String("AVG");
                if (needsNumber && !isNumericType(f.type))
                    syntaxError(m_statement,
                                QStringLiteral("%1 lze použít jen pro číselné pole, pole %2 je %3")
                                    .arg(item.function, f.name, fieldTypeCzechName(f.type)));
                if (item.function == QLatin1String("COUNT"))
                    addColumn(expression, name, FieldType::Integer, 0);
                else if (item.function == QLatin1String("SUM"))
                    addColumn(expression, name,
                              isIntegerType(f.type) ? FieldType::Integer : FieldType::Number, 0);
                else if (item.function == QLatin1String("AVG"))
                    addColumn(expression, name, FieldType::Number, 0);
                else // MIN, MAX
                    addColumn(expression, name, f.type == FieldType::AutoInc ? FieldType::Integer : f.type,
                              f.size);
                break;
            }
            }
        }

        QString sql = QStringLiteral("SELECT ") + (sel.distinct ? QStringLiteral("DISTINCT ") : QString()) +
                      expressions.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from;
        const SqlFragment where = whereSql(sel.where, def);
        if (!where.isEmpty())
            sql += QStringLiteral(" WHERE ") + where.sql;
        if (!groupFields.isEmpty())
            sql += QStringLiteral(" GROUP BY ") + quotedList(groupFields);

        QStringList order;
        for (const OrderTerm &term : sel.orderBy) {
            QString expression;
            for (const ColumnInfo &c : std::as_const(out.columns))
                if (c.name.compare(term.field, Qt::CaseInsensitive) == 0)
                    expression = c.sqlName;
            if (expression.isEmpty()) {
                const FieldDef &f = fieldOf(def, term.field);
                if (grouped && !groupFields.contains(f.name))
                    syntaxError(
                        m_statement,
                        QStringLiteral("pole %1 v ORDER BY není ve výsledku ani v GROUP BY").arg(term.field));
                expression = quoteIdentifier(f.name);
            }
            order << expression + (term.descending ? QStringLiteral(" DESC") : QString());
        }
        // Groups come out ordered by their fields, as the program's lists expect; SQLite only happens to.
        if (order.isEmpty() && !groupFields.isEmpty())
            order << quotedList(groupFields);
        if (!order.isEmpty())
            sql += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));

        out.sql = SqlFragment{sql, where.binds};
        return out;
    }

    Session &m_session;
    QString m_defaultAlias;
    QString m_statement;
    QString m_filePath; // the file a statement reads, for naming its scratch table
};

} // namespace

LocalSql::LocalSql(Session &session, const QString &defaultAlias)
    : m_session(session), m_defaultAlias(defaultAlias)
{}

int LocalSql::execute(const QStringList &lines)
{
    const Statement statement = parseStatement(joinLines(lines));
    Translator translator(m_session, m_defaultAlias, statement.text);
    return translator.guarded(
        [&] { return std::visit([&](const auto &body) { return translator.run(body); }, statement.body); });
}

SelectPlan LocalSql::planSelect(const QStringList &lines)
{
    const Statement statement = parseStatement(joinLines(lines));
    const auto *select = std::get_if<SelectStatement>(&statement.body);
    if (!select)
        syntaxError(statement.text,
                    QStringLiteral("dotaz musí být příkaz SELECT; změny dat se spouštějí jinak"));
    Translator translator(m_session, m_defaultAlias, statement.text);
    return translator.guarded([&] { return translator.plan(*select); });
}

bool LocalSql::isSelect(const QStringList &lines)
{
    static const QRegularExpression select(QStringLiteral("^\\s*select\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return select.match(joinLines(lines)).hasMatch();
}

} // namespace lerk
