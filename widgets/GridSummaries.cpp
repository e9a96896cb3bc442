#include "GridSummaries.h"

#include "Database.h"

#include <QSet>
#include <QSqlQuery>
#include <algorithm>

namespace lerk::GridSummaries {

namespace {

QString aggregateColumns(const QStringList &fields)
{
    QStringList cols;
    cols << QStringLiteral("count(*)");
    for (const QString &f : fields) {
        const QString q = quoteIdentifier(f);
        cols << QStringLiteral("count(%1), total(%1), min(%1), max(%1)").arg(q);
    }
    return cols.join(QStringLiteral(", "));
}

QList<Aggregate> readAggregates(const QSqlQuery &q, int first, int fieldCount)
{
    const qint64 rows = q.value(first).toLongLong();
    QList<Aggregate> out;
    for (int i = 0; i < fieldCount; ++i) {
        const int c = first + 1 + i * 4;
        Aggregate a;
        a.rows = rows;
        a.count = q.value(c).toLongLong();
        a.sum = q.value(c + 1).toDouble();
        a.min = q.value(c + 2);
        a.max = q.value(c + 3);
        out << a;
    }
    return out;
}

QString whereSql(const SqlFragment &w)
{
    return w.isEmpty() ? QString() : QStringLiteral(" WHERE ") + w.sql;
}

} // namespace

QList<Aggregate> totals(DataSet &dataSet, const QStringList &fields)
{
    if (dataSet.isActive()) {
        const RowsSql rows = dataSet.rowsSql();
        QSqlQuery q = rows.database->exec(QStringLiteral("SELECT %1 FROM %2%3")
                                              .arg(aggregateColumns(fields), rows.from, whereSql(rows.where)),
                                          rows.where.binds, dataSet.objectName());
        if (q.next())
            return readAggregates(q, 0, int(fields.size()));
        return QList<Aggregate>(fields.size());
    }
    QList<Aggregate> out(fields.size());
    if (!dataSet.isActive())
        return out;
    QList<Field *> fs;
    for (const QString &f : fields)
        fs << dataSet.findField(f);
    for (int r = 0; r < dataSet.recordCount(); ++r) {
        const Row &row = dataSet.rowAt(r);
        for (int i = 0; i < fs.size(); ++i)
            out[i].addValue(fs[i] ? DataSet::toStorage(row.value(fs[i]->index()), fs[i]->type())
                                  : QVariant());
    }
    return out;
}

std::vector<GroupLayout::Leaf> groups(DataSet &t, const QList<SortKey> &groupKeys, const QStringList &fields)
{
    std::vector<GroupLayout::Leaf> leaves;
    if (!t.isActive() || groupKeys.isEmpty())
        return leaves;
    // The same collation as the table's order, so that groups come in the order of the rows.
    const RowsSql rows = t.rowsSql();
    const QString collate = rows.caseInsensitiveOrder ? QStringLiteral(" COLLATE NOCASE") : QString();
    QStringList keys, group, order;
    // With totals to compute every row is read anyway: a scan and a sort beat walking an index and
    // fetching each row by it. Without totals, an index on the group field answers alone.
    const bool scan = !fields.isEmpty();
    for (const SortKey &k : groupKeys) {
        const QString q = quoteIdentifier(k.field);
        keys << q;
        group << (scan ? rows.database->backend().withoutIndex(q) : q) + collate;
        order << q + collate + (k.descending ? QStringLiteral(" DESC") : QString());
    }
    QSqlQuery q = rows.database->exec(
        QStringLiteral("SELECT %1, %2 FROM %3%4 GROUP BY %5 ORDER BY %6")
            .arg(keys.join(QStringLiteral(", ")), aggregateColumns(fields), rows.from, whereSql(rows.where),
                 group.join(QStringLiteral(", ")), order.join(QStringLiteral(", "))),
        rows.where.binds, t.objectName());
    const int n = int(groupKeys.size());
    while (q.next()) {
        GroupLayout::Leaf leaf;
        for (int i = 0; i < n; ++i)
            leaf.keys << q.value(i);
        leaf.totals = readAggregates(q, n, int(fields.size()));
        leaf.rows = q.value(n).toLongLong();
        leaves.push_back(std::move(leaf));
    }
    return leaves;
}

QVariantList distinctValues(DataSet &dataSet, const QString &fieldName, const FilterExpr &view, int limit,
                            bool *hasBlank)
{
    QVariantList out;
    if (hasBlank)
        *hasBlank = false;
    Field *f = dataSet.findField(fieldName);
    if (!f || !dataSet.isActive())
        return out;
    if (f->isStored()) {
        const RowsSql rows = dataSet.rowsSql(view);
        const QString col = quoteIdentifier(f->name());
        QSqlQuery q = rows.database->exec(QStringLiteral("SELECT DISTINCT %1 FROM %2%3 ORDER BY %1 LIMIT %4")
                                              .arg(col, rows.from, whereSql(rows.where))
                                              .arg(limit + 1),
                                          rows.where.binds, dataSet.objectName());
        while (q.next()) {
            if (q.value(0).isNull()) {
                if (hasBlank)
                    *hasBlank = true;
                continue;
            }
            if (out.size() < limit)
                out << DataSet::fromStorage(q.value(0), f->type());
        }
        return out;
    }
    // Read through the dataset: its derived fields have no column to ask for.
    QSet<QString> seen;
    QList<QPair<QVariant, QVariant>> values; // stored, field value
    for (int r = 0; r < dataSet.recordCount() && values.size() < limit; ++r) {
        const QVariant v = dataSet.rowAt(r).value(f->index());
        if (v.isNull()) {
            if (hasBlank)
                *hasBlank = true;
            continue;
        }
        const QVariant stored = DataSet::toStorage(v, f->type());
        if (seen.contains(stored.toString()))
            continue;
        seen.insert(stored.toString());
        values << qMakePair(stored, v);
    }
    std::sort(values.begin(), values.end(), [&](const auto &a, const auto &b) {
        if (isNumericType(f->type()))
            return a.first.toDouble() < b.first.toDouble();
        return a.first.toString() < b.first.toString();
    });
    for (const auto &v : std::as_const(values))
        out << v.second;
    return out;
}

} // namespace lerk::GridSummaries
