#pragma once

#include "FieldType.h"
#include "Formats.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>
#include <utility>

namespace lerk {

enum class FilterOperator {
    Equal,
    NotEqual,
    Less,
    LessEqual,
    Greater,
    GreaterEqual,
    Like,
    NotLike,
    Between,
    NotBetween,
    In,
    NotIn,
    Blank,
    NotBlank,
    BeginsWith,
    NotBeginsWith,
    EndsWith,
    NotEndsWith,
    Contains,
    NotContains,
    // Date periods, resolved against the day the filter is applied.
    Yesterday,
    Today,
    Tomorrow,
    ThisWeek,
    ThisMonth,
    ThisYear,
    Last7Days,
    LastWeek,
    Last14Days,
    LastTwoWeeks,
    Last30Days,
    LastMonth,
    LastYear,
    Past,
    Next7Days,
    NextWeek,
    Next14Days,
    NextTwoWeeks,
    Next30Days,
    NextMonth,
    NextYear,
    Future,
};

// One test of a column. Values are typed as the field's values are (QString, qlonglong, double, bool,
// QDate, QTime): value for the one-value operators, value and value2 for between, values for in.
struct FilterCondition
{
    FilterOperator op = FilterOperator::Equal;
    QVariant value;
    QVariant value2;
    QVariantList values;
};

// The filter of one column: its conditions joined by "a" or "nebo", the whole maybe negated.
struct ColumnFilter
{
    QString field;   // bare field name, as the engine's filter syntax wants it
    QString caption; // as the grid shows the column, for the readable form
    FieldType type = FieldType::Text;
    QList<FilterCondition> conditions;
    bool orJoin = false;
    bool negated = false;
};

// The grid's own filter, kept as data: typed conditions per column. It hands out an engine filter
// expression over bare field names and a readable Czech form, and is never parsed back from either.
class GridFilter
{
public:
    bool isEmpty() const { return m_columns.isEmpty(); }
    // Switched off, the filter keeps its conditions but restricts nothing.
    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    const QList<ColumnFilter> &columns() const { return m_columns; }
    const ColumnFilter *column(const QString &field) const;
    void setColumn(const ColumnFilter &filter); // replaces the column's filter; no conditions removes it
    void removeColumn(const QString &field);
    void clear() { m_columns.clear(); }

    // Engine filter syntax, e.g. "DRUH='05' AND (KM>=1 OR KM IS NULL)"; empty for no restriction.
    // Date periods are resolved against today. Independent of isActive().
    QString expression(const Formats &formats, const QDate &today) const;
    // Readable form with captions and Czech operator texts, e.g. "Druh rovná se '05' a Datum je dnes".
    QString text(const Formats &formats) const;

    static QString columnExpression(const ColumnFilter &column, const Formats &formats, const QDate &today);
    static QString columnText(const ColumnFilter &column, const Formats &formats);

    static QString operatorText(FilterOperator op);
    static QList<FilterOperator> operatorsFor(FieldType type);
    static int valueCount(FilterOperator op); // 0, 1, 2, or -1 for a list
    static bool isDatePeriod(FilterOperator op);
    // First and last day of a period (equal for a single day); Past and Future give an open end as an
    // invalid date.
    static std::pair<QDate, QDate> period(FilterOperator op, const QDate &today);

    // Reads a value a person typed for a field of this type; nullopt when it is not one.
    static std::optional<QVariant> parseValue(const QString &text, FieldType type, const Formats &formats);
    static QString formatValue(const QVariant &value, FieldType type, const Formats &formats);

private:
    QList<ColumnFilter> m_columns;
    bool m_active = true;
};

} // namespace lerk
