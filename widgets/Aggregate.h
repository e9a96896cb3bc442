#pragma once

#include "FieldType.h"
#include "GridColumn.h"

#include <QVariant>

namespace lerk {

// Running totals of one column over a set of rows, composable so that group totals add up to their
// parent's. Values are stored values as SQL returns them (dates as ISO text).
struct Aggregate
{
    qint64 rows = 0;  // every row
    qint64 count = 0; // rows with a value
    double sum = 0;
    QVariant min;
    QVariant max;

    void add(const Aggregate &other);
    void addValue(const QVariant &storedValue);
    // The summary as a value of the field's type (dates as QDate), null when there is none.
    QVariant value(SummaryKind kind, FieldType type) const;
};

// A summary as the footer shows it, through a display format such as "###0" or "#,##0.00".
QString formatSummary(const QVariant &value, SummaryKind kind, FieldType type, const QString &format);

} // namespace lerk
