#include "Query.h"

#include "Database.h"
#include "Session.h"

namespace lerk {

Query::Query(Session &session, const QString &alias, QObject *parent)
    : DataSet(session, parent), m_alias(alias)
{}

void Query::setSql(const QStringList &lines)
{
    close();
    m_lines = lines;
    m_plan.reset();
    resetFieldsCache();
}

const SelectPlan &Query::plan()
{
    if (!m_plan)
        m_plan = LocalSql(session(), m_alias).planSelect(m_lines);
    return *m_plan;
}

int Query::execSql()
{
    close();
    return LocalSql(session(), m_alias).execute(m_lines);
}

DataSet::Source Query::describeSource()
{
    m_plan.reset(); // a statement runs anew at every opening
    const SelectPlan &p = plan();
    Source s;
    s.database = p.database;
    if (p.keyed) {
        s.table = p.table;
        s.rowIdColumn = p.database->rowIdColumn(p.table);
        s.where = p.where;
        s.order = p.orderBy;
    } else {
        s.materialized = true;
        s.sql = p.sql;
        s.columns = p.columns;
    }
    return s;
}

QList<FieldDef> Query::storedFieldDefs()
{
    const SelectPlan &p = plan();
    QList<FieldDef> defs;
    if (p.keyed) {
        const TableDef &def = p.database->tableDef(p.table);
        for (const QString &name : p.fieldNames)
            if (const FieldDef *f = def.field(name))
                defs << *f;
    } else {
        for (const ColumnInfo &c : p.columns)
            defs << FieldDef{c.name, c.type, c.size};
    }
    return defs;
}

QString Query::displayName() const
{
    return objectName().isEmpty() ? QStringLiteral("dotazu") : objectName();
}

void Query::checkCanModify() const
{
    throw EngineError(
        ErrorCode::ReadOnly,
        QStringLiteral("Výsledek dotazu %1 je jen pro čtení; změny nejsou povoleny.").arg(displayName()));
}

} // namespace lerk
