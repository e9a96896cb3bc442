#include "Aggregate.h"

#include "DataSet.h"

#include <QLocale>

namespace lerk {

namespace {

// Stored values compare as SQLite does for one column: numbers as numbers, the rest as text.
bool less(const QVariant &a, const QVariant &b)
{
    const bool numeric = a.typeId() != QMetaType::QString && b.typeId() != QMetaType::QString;
    if (numeric)
        return a.toDouble() < b.toDouble();
    return a.toString() < b.toString();
}

} // namespace

void Aggregate::add(const Aggregate &o)
{
    rows += o.rows;
    count += o.count;
    sum += o.sum;
    if (!o.min.isNull() && (min.isNull() || less(o.min, min)))
        min = o.min;
    if (!o.max.isNull() && (max.isNull() || less(max, o.max)))
        max = o.max;
}

void Aggregate::addValue(const QVariant &v)
{
    ++rows;
    if (v.isNull())
        return;
    ++count;
    bool ok = false;
    const double d = v.toDouble(&ok);
    if (ok)
        sum += d;
    if (min.isNull() || less(v, min))
        min = v;
    if (max.isNull() || less(max, v))
        max = v;
}

QVariant Aggregate::value(SummaryKind kind, FieldType type) const
{
    switch (kind) {
    case SummaryKind::None:
        return {};
    case SummaryKind::Count:
        return rows;
    case SummaryKind::Sum:
        return sum;
    case SummaryKind::Average:
        return count > 0 ? QVariant(sum / double(count)) : QVariant();
    case SummaryKind::Min:
        return DataSet::fromStorage(min, type);
    case SummaryKind::Max:
        return DataSet::fromStorage(max, type);
    }
    return {};
}

QString formatSummary(const QVariant &value, SummaryKind kind, FieldType type, const QString &format)
{
    if (value.isNull())
        return {};
    const bool numeric = kind == SummaryKind::Count || kind == SummaryKind::Sum ||
                         kind == SummaryKind::Average || isNumericType(type);
    if (!numeric) {
        if (value.typeId() == QMetaType::QDate)
            return value.toDate().toString(format.isEmpty() ? QStringLiteral("d.M.yyyy") : format);
        return value.toString();
    }
    const double d = value.toDouble();
    int decimals = 0;
    bool grouping = false;
    if (format.isEmpty()) {
        decimals = (kind == SummaryKind::Average || type == FieldType::Number) && d != std::floor(d) ? 2 : 0;
    } else {
        const int point = format.indexOf(QLatin1Char('.'));
        decimals = point < 0 ? 0 : int(format.size() - point - 1);
        grouping = format.contains(QLatin1Char(','));
    }
    QLocale locale(QLocale::Czech);
    if (!grouping)
        locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(d, 'f', decimals);
}

} // namespace lerk
