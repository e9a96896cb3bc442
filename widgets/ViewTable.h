#pragma once

#include "Table.h"

namespace lerk {

// A grid's own sort key: a stored field and its direction.
struct SortKey
{
    QString field;
    bool descending = false;
    bool operator==(const SortKey &) const = default;
};

// A table whose rows can be narrowed and reordered by a grid without touching the filter and order
// that windows set: the view filter is AND-ed onto the table's own conditions and the view order comes
// before the table's own order. filter() and orderFields() keep answering what the window set.
//
// This is where the grid meets SQL for its own sort, filter, grouping and summaries; everything else of
// the grid works with any DataSet.
class ViewTable : public Table
{
    Q_OBJECT
public:
    using Table::Table;

    // Re-reads the rows (the cursor stays on the same record when it still shows). Throws EngineError
    // for an unknown field or a value that does not fit its field; the previous view then stays.
    void setView(const FilterExpr &filter, const QList<SortKey> &order);
    const FilterExpr &viewFilter() const { return m_viewFilter; }
    const QList<SortKey> &viewOrder() const { return m_viewOrder; }

    // The condition that selects exactly the rows the table shows: its filter, its master range and a
    // view filter (the current one unless given). Empty SQL for every row.
    SqlFragment rowsWhere();
    SqlFragment rowsWhere(const FilterExpr &view);
    // Whether text compares without case in the table's order (a case-insensitive index).
    bool caseInsensitiveOrder() const;
    ColumnResolver columnResolver() const;

    // The table's own rows without a view order, for the master link's default detail fields.
    void setMasterSource(DataSet *master, const QString &masterFields, const QString &detailFields = {});

protected:
    Source describeSource() override;

private:
    FilterExpr m_viewFilter;
    QList<SortKey> m_viewOrder;
    bool m_plainSource = false;
    QString m_detailFields;
};

} // namespace lerk
