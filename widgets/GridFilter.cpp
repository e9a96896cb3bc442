#include "GridFilter.h"

#include "GridTexts.h"

#include <QLocale>

namespace lerk {

namespace {

QString quoted(const QString &text)
{
    QString doubled = text;
    doubled.replace(QLatin1Char('\''), QStringLiteral("''"));
    return QLatin1Char('\'') + doubled + QLatin1Char('\'');
}

// A person's text inside a LIKE pattern: the engine's LIKE escapes with a backslash.
QString likeEscaped(const QString &text)
{
    QString out;
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString literal(const QVariant &value, FieldType type, const Formats &formats)
{
    switch (type) {
    case FieldType::Text:
        return quoted(value.toString());
    case FieldType::Date:
        return quoted(formats.formatDate(value.toDate()));
    case FieldType::Time:
        return quoted(formats.formatTime(value.toTime()));
    case FieldType::Logical:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case FieldType::Number:
        return QString::number(value.toDouble(), 'g', 15);
    default:
        return QString::number(value.toLongLong());
    }
}

QDate mondayOf(const QDate &d)
{
    return d.addDays(1 - d.dayOfWeek());
}

QString conditionExpression(const ColumnFilter &c, const FilterCondition &f, const Formats &formats,
                            const QDate &today)
{
    const QString &n = c.field;
    auto lit = [&](const QVariant &v) { return literal(v, c.type, formats); };
    // A text ending in * would be a prefix match in the engine's "="; LIKE takes it literally.
    const bool starText = c.type == FieldType::Text && f.value.toString().endsWith(QLatin1Char('*'));
    const bool blankText = c.type == FieldType::Text && f.value.toString().isEmpty();
    switch (f.op) {
    case FilterOperator::Equal:
        if (f.value.isNull() || blankText)
            return n + QStringLiteral(" IS NULL");
        if (starText)
            return n + QStringLiteral(" LIKE ") + quoted(likeEscaped(f.value.toString()));
        return n + QLatin1Char('=') + lit(f.value);
    case FilterOperator::NotEqual:
        if (f.value.isNull() || blankText)
            return n + QStringLiteral(" IS NOT NULL");
        if (starText)
            return n + QStringLiteral(" NOT LIKE ") + quoted(likeEscaped(f.value.toString()));
        return n + QStringLiteral("<>") + lit(f.value);
    case FilterOperator::Less:
        return n + QLatin1Char('<') + lit(f.value);
    case FilterOperator::LessEqual:
        return n + QStringLiteral("<=") + lit(f.value);
    case FilterOperator::Greater:
        return n + QLatin1Char('>') + lit(f.value);
    case FilterOperator::GreaterEqual:
        return n + QStringLiteral(">=") + lit(f.value);
    case FilterOperator::Like:
        return n + QStringLiteral(" LIKE ") + quoted(f.value.toString());
    case FilterOperator::NotLike:
        return n + QStringLiteral(" NOT LIKE ") + quoted(f.value.toString());
    case FilterOperator::Between:
        return n + QStringLiteral(" BETWEEN ") + lit(f.value) + QStringLiteral(" AND ") + lit(f.value2);
    case FilterOperator::NotBetween:
        return n + QStringLiteral(" NOT BETWEEN ") + lit(f.value) + QStringLiteral(" AND ") + lit(f.value2);
    case FilterOperator::In:
    case FilterOperator::NotIn: {
        QStringList items;
        for (const QVariant &v : f.values)
            items << lit(v);
        return n + (f.op == FilterOperator::In ? QStringLiteral(" IN (") : QStringLiteral(" NOT IN (")) +
               items.join(QStringLiteral(", ")) + QLatin1Char(')');
    }
    case FilterOperator::Blank:
        return n + QStringLiteral(" IS NULL");
    case FilterOperator::NotBlank:
        return n + QStringLiteral(" IS NOT NULL");
    case FilterOperator::BeginsWith:
        return n + QStringLiteral(" LIKE ") + quoted(likeEscaped(f.value.toString()) + QLatin1Char('%'));
    case FilterOperator::NotBeginsWith:
        return n + QStringLiteral(" NOT LIKE ") + quoted(likeEscaped(f.value.toString()) + QLatin1Char('%'));
    case FilterOperator::EndsWith:
        return n + QStringLiteral(" LIKE ") + quoted(QLatin1Char('%') + likeEscaped(f.value.toString()));
    case FilterOperator::NotEndsWith:
        return n + QStringLiteral(" NOT LIKE ") + quoted(QLatin1Char('%') + likeEscaped(f.value.toString()));
    case FilterOperator::Contains:
        return n + QStringLiteral(" LIKE ") +
               quoted(QLatin1Char('%') + likeEscaped(f.value.toString()) + QLatin1Char('%'));
    case FilterOperator::NotContains:
        return n + QStringLiteral(" NOT LIKE ") +
               quoted(QLatin1Char('%') + likeEscaped(f.value.toString()) + QLatin1Char('%'));
    default:
        break;
    }
    const auto [from, to] = GridFilter::period(f.op, today);
    auto date = [&](const QDate &d) { return quoted(formats.formatDate(d)); };
    if (!from.isValid())
        return n + QLatin1Char('<') + date(to);
    if (!to.isValid())
        return n + QLatin1Char('>') + date(from);
    if (from == to)
        return n + QLatin1Char('=') + date(from);
    return n + QStringLiteral(" BETWEEN ") + date(from) + QStringLiteral(" AND ") + date(to);
}

QString conditionText(const ColumnFilter &c, const FilterCondition &f, const Formats &formats)
{
    const QString op = GridFilter::operatorText(f.op).trimmed();
    auto value = [&](const QVariant &v) { return GridFilter::formatValue(v, c.type, formats); };
    switch (GridFilter::valueCount(f.op)) {
    case 0:
        return c.caption + QLatin1Char(' ') + op;
    case 2:
        return c.caption + QLatin1Char(' ') + op + QLatin1Char(' ') + value(f.value) + QLatin1Char(' ') +
               GridTexts::And + QLatin1Char(' ') + value(f.value2);
    case -1: {
        QStringList items;
        for (const QVariant &v : f.values)
            items << value(v);
        return c.caption + QLatin1Char(' ') + op + QStringLiteral(" (") + items.join(QStringLiteral(", ")) +
               QLatin1Char(')');
    }
    default:
        if ((f.op == FilterOperator::Equal || f.op == FilterOperator::NotEqual) &&
            (f.value.isNull() || (c.type == FieldType::Text && f.value.toString().isEmpty())))
            return c.caption + QLatin1Char(' ') +
                   (f.op == FilterOperator::Equal ? GridTexts::IsBlank : GridTexts::IsNotBlank);
        return c.caption + QLatin1Char(' ') + op + QLatin1Char(' ') + value(f.value);
    }
}

template <typename Fn>
QString joinColumn(const ColumnFilter &c, const QString &andWord, const QString &orWord,
                   const QString &notWord, Fn each)
{
    QStringList parts;
    for (const FilterCondition &f : c.conditions)
        parts << each(f);
    QString out = parts.join(c.orJoin ? orWord : andWord);
    if (parts.size() > 1 || c.negated)
        out = QLatin1Char('(') + out + QLatin1Char(')');
    if (c.negated)
        out = notWord + out;
    return out;
}

} // namespace

const ColumnFilter *GridFilter::column(const QString &field) const
{
    for (const ColumnFilter &c : m_columns)
        if (c.field.compare(field, Qt::CaseInsensitive) == 0)
            return &c;
    return nullptr;
}

void GridFilter::setColumn(const ColumnFilter &filter)
{
    for (int i = 0; i < m_columns.size(); ++i) {
        if (m_columns[i].field.compare(filter.field, Qt::CaseInsensitive) == 0) {
            if (filter.conditions.isEmpty())
                m_columns.removeAt(i);
            else
                m_columns[i] = filter;
            return;
        }
    }
    if (!filter.conditions.isEmpty())
        m_columns << filter;
}

void GridFilter::removeColumn(const QString &field)
{
    ColumnFilter none;
    none.field = field;
    setColumn(none);
}

QString GridFilter::columnExpression(const ColumnFilter &column, const Formats &formats, const QDate &today)
{
    return joinColumn(
        column, QStringLiteral(" AND "), QStringLiteral(" OR "), QStringLiteral("NOT "),
        [&](const FilterCondition &f) { return conditionExpression(column, f, formats, today); });
}

QString GridFilter::columnText(const ColumnFilter &column, const Formats &formats)
{
    const QString space = QStringLiteral(" ");
    return joinColumn(column, space + GridTexts::And + space, space + GridTexts::Or + space,
                      GridTexts::Not + space,
                      [&](const FilterCondition &f) { return conditionText(column, f, formats); });
}

QString GridFilter::expression(const Formats &formats, const QDate &today) const
{
    QStringList parts;
    for (const ColumnFilter &c : m_columns) {
        QString e = columnExpression(c, formats, today);
        // Columns are AND-ed, so a column of one OR-less condition needs no parentheses of its own.
        parts << e;
    }
    return parts.join(QStringLiteral(" AND "));
}

QString GridFilter::text(const Formats &formats) const
{
    QStringList parts;
    for (const ColumnFilter &c : m_columns)
        parts << columnText(c, formats);
    return parts.join(QLatin1Char(' ') + GridTexts::And + QLatin1Char(' '));
}

QString GridFilter::operatorText(FilterOperator op)
{
    using namespace GridTexts;
    switch (op) {
    case FilterOperator::Equal:
        return OpEqual;
    case FilterOperator::NotEqual:
        return OpNotEqual;
    case FilterOperator::Less:
        return OpLess;
    case FilterOperator::LessEqual:
        return OpLessEqual;
    case FilterOperator::Greater:
        return OpGreater;
    case FilterOperator::GreaterEqual:
        return OpGreaterEqual;
    case FilterOperator::Like:
        return OpLike;
    case FilterOperator::NotLike:
        return OpNotLike;
    case FilterOperator::Between:
        return OpBetween;
    case FilterOperator::NotBetween:
        return OpNotBetween;
    case FilterOperator::In:
        return OpIn;
    case FilterOperator::NotIn:
        return OpNotIn;
    case FilterOperator::Blank:
        return IsBlank;
    case FilterOperator::NotBlank:
        return IsNotBlank;
    case FilterOperator::BeginsWith:
        return GridTexts::BeginsWith;
    case FilterOperator::NotBeginsWith:
        return GridTexts::NotBeginsWith;
    case FilterOperator::EndsWith:
        return GridTexts::EndsWith;
    case FilterOperator::NotEndsWith:
        return GridTexts::NotEndsWith;
    case FilterOperator::Contains:
        return GridTexts::Contains;
    case FilterOperator::NotContains:
        return GridTexts::NotContains;
    case FilterOperator::Yesterday:
        return DateYesterday;
    case FilterOperator::Today:
        return DateToday;
    case FilterOperator::Tomorrow:
        return DateTomorrow;
    case FilterOperator::ThisWeek:
        return DateThisWeek;
    case FilterOperator::ThisMonth:
        return DateThisMonth;
    case FilterOperator::ThisYear:
        return DateThisYear;
    case FilterOperator::Last7Days:
        return DateLast7Days;
    case FilterOperator::LastWeek:
        return DateLastWeek;
    case FilterOperator::Last14Days:
        return DateLast14Days;
    case FilterOperator::LastTwoWeeks:
        return DateLastTwoWeeks;
    case FilterOperator::Last30Days:
        return DateLast30Days;
    case FilterOperator::LastMonth:
        return DateLastMonth;
    case FilterOperator::LastYear:
        return DateLastYear;
    case FilterOperator::Past:
        return DatePast;
    case FilterOperator::Next7Days:
        return DateNext7Days;
    case FilterOperator::NextWeek:
        return DateNextWeek;
    case FilterOperator::Next14Days:
        return DateNext14Days;
    case FilterOperator::NextTwoWeeks:
        return DateNextTwoWeeks;
    case FilterOperator::Next30Days:
        return DateNext30Days;
    case FilterOperator::NextMonth:
        return DateNextMonth;
    case FilterOperator::NextYear:
        return DateNextYear;
    case FilterOperator::Future:
        return DateFuture;
    }
    return {};
}

QList<FilterOperator> GridFilter::operatorsFor(FieldType type)
{
    using O = FilterOperator;
    QList<O> ops = {O::Equal, O::NotEqual, O::Less, O::LessEqual, O::Greater, O::GreaterEqual};
    if (type == FieldType::Logical)
        ops = {O::Equal, O::NotEqual};
    if (type == FieldType::Text)
        ops << O::Like << O::NotLike;
    if (type != FieldType::Logical)
        ops << O::Between << O::NotBetween << O::In << O::NotIn;
    ops << O::Blank << O::NotBlank;
    if (type == FieldType::Text)
        ops << O::BeginsWith << O::NotBeginsWith << O::EndsWith << O::NotEndsWith << O::Contains
            << O::NotContains;
    if (type == FieldType::Date) {
        for (int p = int(O::Yesterday); p <= int(O::Future); ++p)
            ops << O(p);
    }
    return ops;
}

int GridFilter::valueCount(FilterOperator op)
{
    switch (op) {
    case FilterOperator::Between:
    case FilterOperator::NotBetween:
        return 2;
    case FilterOperator::In:
    case FilterOperator::NotIn:
        return -1;
    case FilterOperator::Blank:
    case FilterOperator::NotBlank:
        return 0;
    default:
        return isDatePeriod(op) ? 0 : 1;
    }
}

bool GridFilter::isDatePeriod(FilterOperator op)
{
    return int(op) >= int(FilterOperator::Yesterday);
}

std::pair<QDate, QDate> GridFilter::period(FilterOperator op, const QDate &t)
{
    const QDate monday = mondayOf(t);
    const QDate month(t.year(), t.month(), 1);
    const QDate year(t.year(), 1, 1);
    using O = FilterOperator;
    switch (op) {
    case O::Yesterday:
        return {t.addDays(-1), t.addDays(-1)};
    case O::Today:
        return {t, t};
    case O::Tomorrow:
        return {t.addDays(1), t.addDays(1)};
    case O::ThisWeek:
        return {monday, monday.addDays(6)};
    case O::ThisMonth:
        return {month, month.addMonths(1).addDays(-1)};
    case O::ThisYear:
        return {year, year.addYears(1).addDays(-1)};
    case O::Last7Days:
        return {t.addDays(-7), t.addDays(-1)};
    case O::LastWeek:
        return {monday.addDays(-7), monday.addDays(-1)};
    case O::Last14Days:
        return {t.addDays(-14), t.addDays(-1)};
    case O::LastTwoWeeks:
        return {monday.addDays(-14), monday.addDays(-1)};
    case O::Last30Days:
        return {t.addDays(-30), t.addDays(-1)};
    case O::LastMonth:
        return {month.addMonths(-1), month.addDays(-1)};
    case O::LastYear:
        return {year.addYears(-1), year.addDays(-1)};
    case O::Past:
        return {QDate(), t};
    case O::Next7Days:
        return {t.addDays(1), t.addDays(7)};
    case O::NextWeek:
        return {monday.addDays(7), monday.addDays(13)};
    case O::Next14Days:
        return {t.addDays(1), t.addDays(14)};
    case O::NextTwoWeeks:
        return {monday.addDays(7), monday.addDays(20)};
    case O::Next30Days:
        return {t.addDays(1), t.addDays(30)};
    case O::NextMonth:
        return {month.addMonths(1), month.addMonths(2).addDays(-1)};
    case O::NextYear:
        return {year.addYears(1), year.addYears(2).addDays(-1)};
    case O::Future:
        return {t, QDate()};
    default:
        return {};
    }
}

std::optional<QVariant> GridFilter::parseValue(const QString &input, FieldType type, const Formats &formats)
{
    const QString text = input.trimmed();
    switch (type) {
    case FieldType::Text:
        return QVariant(input);
    case FieldType::Date:
        if (auto d = formats.parseDate(text))
            return QVariant(*d);
        return std::nullopt;
    case FieldType::Time:
        if (auto t = formats.parseTime(text))
            return QVariant(*t);
        return std::nullopt;
    case FieldType::Logical: {
        const QString l = text.toLower();
        if (l == GridTexts::Yes || l == QStringLiteral("true") || l == QStringLiteral("1") ||
            l == QStringLiteral("a"))
            return QVariant(true);
        if (l == GridTexts::No || l == QStringLiteral("false") || l == QStringLiteral("0") ||
            l == QStringLiteral("n"))
            return QVariant(false);
        return std::nullopt;
    }
    case FieldType::Number: {
        bool ok = false;
        double d = QLocale(QLocale::Czech).toDouble(text, &ok);
        if (!ok)
            d = QLocale::c().toDouble(text, &ok);
        return ok ? std::optional<QVariant>(d) : std::nullopt;
    }
    default: {
        bool ok = false;
        const qlonglong v = text.toLongLong(&ok);
        return ok ? std::optional<QVariant>(v) : std::nullopt;
    }
    }
}

QString GridFilter::formatValue(const QVariant &value, FieldType type, const Formats &formats)
{
    switch (type) {
    case FieldType::Text:
        return QLatin1Char('\'') + value.toString() + QLatin1Char('\'');
    case FieldType::Date:
        return formats.formatDate(value.toDate());
    case FieldType::Time:
        return formats.formatTime(value.toTime());
    case FieldType::Logical:
        return value.toBool() ? GridTexts::Yes : GridTexts::No;
    case FieldType::Number:
        return QLocale(QLocale::Czech).toString(value.toDouble(), 'g', 15);
    default:
        return QString::number(value.toLongLong());
    }
}

} // namespace lerk
