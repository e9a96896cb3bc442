#include "ViewTable.h"

#include "Database.h"
#include "Session.h"

namespace lerk {

ColumnResolver ViewTable::columnResolver() const
{
    const QList<ColumnInfo> columns = database().columns(tableName());
    return [columns](const QString &name) -> std::optional<ColumnInfo> {
        for (const ColumnInfo &c : columns)
            if (c.name.compare(name, Qt::CaseInsensitive) == 0)
                return c;
        return std::nullopt;
    };
}

DataSet::Source ViewTable::describeSource()
{
    Source s = Table::describeSource();
    if (m_plainSource)
        return s;
    if (!m_viewFilter.isEmpty())
        s.where = m_viewFilter.toSql(columnResolver(), session().formats());
    if (!m_viewOrder.isEmpty()) {
        QList<QPair<QString, bool>> order;
        for (const SortKey &k : m_viewOrder)
            order << qMakePair(k.field, k.descending);
        for (const auto &o : std::as_const(s.order)) {
            const bool taken = std::any_of(m_viewOrder.begin(), m_viewOrder.end(), [&](const SortKey &k) {
                return k.field.compare(o.first, Qt::CaseInsensitive) == 0;
            });
            if (!taken)
                order << o;
        }
        s.order = order;
    }
    return s;
}

void ViewTable::setView(const FilterExpr &filter, const QList<SortKey> &order)
{
    // Checked before anything changes, so that a refused filter leaves the rows as they were.
    if (!filter.isEmpty())
        filter.toSql(columnResolver(), session().formats());
    const ColumnResolver columns = columnResolver();
    for (const SortKey &k : order)
        if (!columns(k.field))
            throw EngineError(
                ErrorCode::UnknownField,
                QStringLiteral("Pole %1 pro třídění tabulky %2 neexistuje.").arg(k.field, tableName()));
    const FilterExpr oldFilter = m_viewFilter;
    const QList<SortKey> oldOrder = m_viewOrder;
    m_viewFilter = filter;
    m_viewOrder = order;
    if (!isActive())
        return;
    checkBrowseMode();
    const Bookmark keep = bookmark();
    try {
        close();
        open();
    } catch (...) {
        m_viewFilter = oldFilter;
        m_viewOrder = oldOrder;
        open();
        throw;
    }
    if (bookmarkValid(keep))
        gotoBookmark(keep);
}

bool ViewTable::caseInsensitiveOrder() const
{
    if (indexName().isEmpty())
        return false;
    for (const IndexDef &idx : database().tableDef(tableName()).indexes)
        if (idx.name.compare(indexName(), Qt::CaseInsensitive) == 0)
            return idx.caseInsensitive;
    return false;
}

SqlFragment ViewTable::rowsWhere()
{
    return rowsWhere(m_viewFilter);
}

SqlFragment ViewTable::rowsWhere(const FilterExpr &view)
{
    const ColumnResolver columns = columnResolver();
    QStringList parts;
    SqlFragment out;
    auto add = [&](const SqlFragment &f) {
        if (f.isEmpty())
            return;
        parts << QLatin1Char('(') + f.sql + QLatin1Char(')');
        out.binds << f.binds;
    };
    if (isFiltered() && !filter().isEmpty())
        add(FilterExpr::parse(filter()).toSql(columns, session().formats()));
    if (DataSet *master = masterSource()) {
        const QStringList masterNames = masterFields().split(QLatin1Char(';'), Qt::SkipEmptyParts);
        QStringList detailNames = m_detailFields.split(QLatin1Char(';'), Qt::SkipEmptyParts);
        if (detailNames.isEmpty())
            detailNames = orderFields().mid(0, masterNames.size());
        for (int i = 0; i < masterNames.size() && i < detailNames.size(); ++i) {
            Field *mf = master->findField(masterNames[i].trimmed());
            Field *df = findField(detailNames[i].trimmed());
            if (!df)
                continue;
            const QVariant v = mf && master->isActive() ? mf->value() : QVariant();
            // An empty master value matches no detail, as in the table's own range.
            parts << quoteIdentifier(df->name()) + QStringLiteral(" = ?");
            out.binds << toStorage(v.isNull() ? QVariant() : df->convert(v), df->type());
        }
    }
    if (!view.isEmpty())
        add(view.toSql(columns, session().formats()));
    out.sql = parts.join(QStringLiteral(" AND "));
    return out;
}

void ViewTable::setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields)
{
    m_detailFields = detailFields;
    m_plainSource = true;
    try {
        DataSet::setMasterSource(master, masterFields, detailFields);
    } catch (...) {
        m_plainSource = false;
        throw;
    }
    m_plainSource = false;
}

} // namespace lerk
