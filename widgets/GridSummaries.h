#pragma once

#include "DataSet.h"
#include "GroupLayout.h"

#include <QStringList>
#include <vector>

namespace lerk {

class DataSet;

// The grid's set-based reads: totals for the footer, innermost groups with their totals, and the
// distinct values of a column for its filter list. Over a Table each is one SQL statement on the
// rows the table shows; over any other dataset the rows are read through the dataset (small sets:
// catalogues and materialized queries).
namespace GridSummaries {

// One Aggregate per field, over every row the dataset shows.
QList<Aggregate> totals(DataSet &dataSet, const QStringList &fields);

// Innermost groups in the dataset's order, which must start with the group keys.
std::vector<GroupLayout::Leaf> groups(DataSet &table, const QList<SortKey> &groupKeys,
                                      const QStringList &fields);

// Distinct values of a field (as field values, not stored ones) over the rows that pass the table's
// own conditions and the given view filter; at most limit values, in ascending order, empty values left
// out. hasBlank tells whether some row has no value.
QVariantList distinctValues(DataSet &dataSet, const QString &field, const FilterExpr &view, int limit,
                            bool *hasBlank = nullptr);

} // namespace GridSummaries

} // namespace lerk
