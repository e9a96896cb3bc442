#include "Table.h"

#include "Database.h"
#include "Session.h"

namespace lerk {

Table::Table(Session &session, const QString &alias, const QString &tableName, QObject *parent)
    : DataSet(session, parent), m_alias(alias), m_tableName(tableName)
{}

Database &Table::database() const
{
    return session().database(m_alias);
}

bool Table::exists() const
{
    return database().hasTable(m_tableName);
}

void Table::setIndexName(const QString &name)
{
    m_indexName = name;
    m_indexFields.clear();
    reorder();
}

void Table::setIndexFieldNames(const QString &fields)
{
    m_indexFields.clear();
    for (const QString &f : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        m_indexFields << f.trimmed();
    m_indexName.clear();
    reorder();
}

QString Table::indexFieldNames() const
{
    return m_indexFields.join(QLatin1Char(';'));
}

QList<QPair<QString, bool>> Table::resolveOrder(bool *caseInsensitive) const
{
    QList<QPair<QString, bool>> order;
    *caseInsensitive = false;
    const TableDef &def = database().tableDef(m_tableName);
    if (!m_indexName.isEmpty()) {
        for (const IndexDef &idx : def.indexes) {
            if (idx.name.compare(m_indexName, Qt::CaseInsensitive) == 0) {
                for (const QString &f : idx.fields)
                    order << qMakePair(f, idx.descending);
                *caseInsensitive = idx.caseInsensitive;
                return order;
            }
        }
        throw EngineError(
            ErrorCode::UnknownField,
            QStringLiteral("Index \"%1\" tabulky %2 neexistuje.").arg(m_indexName, m_tableName));
    }
    for (const QString &f : m_indexFields) {
        const FieldDef *fd = def.field(f);
        if (!fd)
            throw EngineError(
                ErrorCode::UnknownField,
                QStringLiteral("Pole %1 pro třídění tabulky %2 neexistuje.").arg(f, m_tableName));
        order << qMakePair(fd->name, false);
    }
    return order;
}

QStringList Table::orderFields() const
{
    bool ci = false;
    QStringList out;
    for (const auto &o : resolveOrder(&ci))
        out << o.first;
    return out;
}

DataSet::Source Table::describeSource()
{
    Source s;
    s.database = &database();
    const TableDef &def = s.database->tableDef(m_tableName);
    s.table = def.name;
    s.rowIdColumn = s.database->rowIdColumn(def.name);
    s.order = resolveOrder(&s.caseInsensitiveOrder);
    return s;
}

QList<FieldDef> Table::storedFieldDefs()
{
    return database().tableDef(m_tableName).fields;
}

void Table::checkCanModify() const
{
    if (m_readOnly)
        throw EngineError(
            ErrorCode::ReadOnly,
            QStringLiteral("Tabulka %1 je otevřena jen pro čtení; změny nejsou povoleny.").arg(m_tableName));
}

void Table::setReadOnly(bool readOnly)
{
    if (isActive())
        throw EngineError(
            ErrorCode::WrongState,
            QStringLiteral("Tabulku %1 nelze přepnout pouze pro čtení, dokud je otevřená.").arg(m_tableName));
    m_readOnly = readOnly;
}

bool Table::findKey(const QVariantList &values)
{
    const QStringList order = orderFields();
    QStringList names;
    for (int i = 0; i < values.size() && i < order.size(); ++i)
        names << order[i];
    return locate(names.join(QLatin1Char(';')), values);
}

void Table::findNearest(const QVariantList &values)
{
    if (findKey(values))
        return;
    // Not present: the first record after where the key would stand.
    const QStringList order = orderFields();
    for (int r = 0; r < recordCount(); ++r) {
        const Row &row = rowAt(r);
        bool after = false;
        for (int i = 0; i < values.size() && i < order.size(); ++i) {
            Field &f = fieldByName(order[i]);
            const QVariant want = f.convert(values[i]);
            const QVariant have = row.value(f.index());
            if (have == want)
                continue;
            after = !have.isNull() &&
                    (want.isNull() || QVariant::compare(have, want) == QPartialOrdering::Greater);
            break;
        }
        if (after) {
            goToRow(r);
            return;
        }
    }
    last();
}

void Table::emptyTable()
{
    checkCanModify();
    Database &db = database();
    db.execAffected(QStringLiteral("DELETE FROM ") + quoteIdentifier(db.tableDef(m_tableName).name), {},
                    m_tableName);
    db.notifyChanged(m_tableName);
    if (isActive())
        requery(false);
}

void Table::flushBuffers()
{
    if (isActive())
        checkBrowseMode();
}

} // namespace lerk
