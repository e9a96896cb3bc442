#include "FilterSql.h"

#include "EngineError.h"
#include "FilterNode.h"

#include <QLocale>
#include <QStringList>
#include <cmath>
#include <optional>

namespace lerk {

namespace {

// The smallest text above every text that starts with prefix, in code point order (which is the byte
// order SQLite's BINARY collation sees in UTF-8). Bumping the last code point is exact: anything in
// [prefix, bound) has to share the prefix. None when the prefix is made of U+10FFFF only.
std::optional<QString> prefixUpperBound(const QString &prefix)
{
    QList<uint> codePoints = prefix.toUcs4();
    while (!codePoints.isEmpty()) {
        uint &last = codePoints.last();
        if (last < 0x10FFFF) {
            // Surrogates are no characters of their own; nothing sorts between U+D7FF and U+E000.
            last = last == 0xD7FF ? 0xE000 : last + 1;
            return QString::fromUcs4(reinterpret_cast<const char32_t *>(codePoints.constData()),
                                     codePoints.size());
        }
        codePoints.removeLast();
    }
    return std::nullopt;
}

const char *sqlOperator(FilterOp op)
{
    switch (op) {
    case FilterOp::Equal:
        return "=";
    case FilterOp::NotEqual:
        return "<>";
    case FilterOp::Less:
        return "<";
    case FilterOp::LessEqual:
        return "<=";
    case FilterOp::Greater:
        return ">";
    case FilterOp::GreaterEqual:
        return ">=";
    }
    return "=";
}

bool isPrefixPattern(const ColumnInfo &column, const FilterValue &value)
{
    return column.type == FieldType::Text && value.kind == FilterValue::Kind::Text &&
           value.text.endsWith(QLatin1Char('*'));
}

bool isEmptyText(const FilterValue &value)
{
    return value.kind == FilterValue::Kind::Text && value.text.isEmpty();
}

class SqlWriter
{
public:
    SqlWriter(const QString &text, const ColumnResolver &columns, const Formats &formats)
        : m_text(text), m_columns(columns), m_formats(formats)
    {}

    SqlFragment write(const FilterNode &root)
    {
        m_result.sql = node(root);
        return std::move(m_result);
    }

private:
    QString node(const FilterNode &n)
    {
        switch (n.kind) {
        case FilterNode::Kind::And:
        case FilterNode::Kind::Or: {
            QStringList parts;
            for (const auto &child : n.children)
                parts.append(node(*child));
            const QString glue =
                n.kind == FilterNode::Kind::And ? QStringLiteral(" AND ") : QStringLiteral(" OR ");
            return QLatin1Char('(') + parts.join(glue) + QLatin1Char(')');
        }
        case FilterNode::Kind::Not:
            return QStringLiteral("(NOT ") + node(*n.children.front()) + QLatin1Char(')');
        case FilterNode::Kind::Compare:
            return compare(n);
        case FilterNode::Kind::IsNull:
            return emptiness(column(n), n.negated);
        case FilterNode::Kind::Like: {
            const ColumnInfo c = column(n);
            // The pattern is taken as written: % and _ are the person's wildcards, \ escapes them.
            return QStringLiteral("(%1 %2 %3 ESCAPE '\\')")
                .arg(c.sqlName, n.negated ? QStringLiteral("NOT LIKE") : QStringLiteral("LIKE"),
                     bind(n.values.front().text));
        }
        case FilterNode::Kind::Between: {
            const ColumnInfo c = column(n);
            const QString low = bind(convert(c, n.values.at(0), n));
            const QString high = bind(convert(c, n.values.at(1), n));
            return QStringLiteral("(%1 %2 %3 AND %4)")
                .arg(c.sqlName, n.negated ? QStringLiteral("NOT BETWEEN") : QStringLiteral("BETWEEN"), low,
                     high);
        }
        case FilterNode::Kind::In:
            return in(n);
        }
        return {};
    }

    QString compare(const FilterNode &n)
    {
        const ColumnInfo c = column(n);
        const FilterValue &value = n.values.front();
        const bool equality = n.op == FilterOp::Equal || n.op == FilterOp::NotEqual;
        const bool negated = n.op == FilterOp::NotEqual;
        if (equality && isEmptyText(value))
            return emptiness(c, negated);
        if (equality && isPrefixPattern(c, value)) {
            const QString positive = prefix(c, value.text.chopped(1));
            return negated ? QStringLiteral("(NOT (%1))").arg(positive)
                           : QLatin1Char('(') + positive + QLatin1Char(')');
        }
        const QString placeholder = bind(convert(c, value, n));
        return QStringLiteral("(%1 %2 %3)").arg(c.sqlName, QLatin1String(sqlOperator(n.op)), placeholder);
    }

    // Stored empty text is NULL, but a text column may still hold '' written by other means; both are
    // empty. These tests are plain true or false, never unknown, so NOT of them behaves.
    QString emptiness(const ColumnInfo &c, bool negated)
    {
        if (c.type != FieldType::Text)
            return QStringLiteral("(%1 %2)").arg(c.sqlName, negated ? QStringLiteral("IS NOT NULL")
                                                                    : QStringLiteral("IS NULL"));
        const QString empty = bind(QString());
        return negated ? QStringLiteral("(%1 IS NOT NULL AND %1 <> %2)").arg(c.sqlName, empty)
                       : QStringLiteral("(%1 IS NULL OR %1 = %2)").arg(c.sqlName, empty);
    }

    // A case-sensitive prefix match as a range, so that an index on the column can serve it. Unparenthesised:
    // callers combine it. An empty field is unknown here, like in every comparison.
    QString prefix(const ColumnInfo &c, const QString &start)
    {
        if (start.isEmpty())
            return QStringLiteral("%1 <> %2").arg(c.sqlName, bind(QString()));
        const QString low = bind(start);
        const std::optional<QString> bound = prefixUpperBound(start);
        if (!bound)
            return QStringLiteral("%1 >= %2").arg(c.sqlName, low);
        return QStringLiteral("%1 >= %2 AND %1 < %3").arg(c.sqlName, low, bind(*bound));
    }

    // IN is a row of equalities, so its values get what = gives them: '' means empty and 'I/*' a prefix.
    QString in(const FilterNode &n)
    {
        const ColumnInfo c = column(n);
        QStringList placeholders;
        QStringList prefixes;
        bool empty = false;
        for (const FilterValue &value : n.values) {
            if (isPrefixPattern(c, value)) {
                prefixes.append(value.text.chopped(1));
            } else if (isEmptyText(value)) {
                empty = true;
                if (c.type == FieldType::Text)
                    placeholders.append(bind(value.text));
            } else {
                placeholders.append(bind(convert(c, value, n)));
            }
        }
        const QString list = QStringLiteral("(%1)").arg(placeholders.join(QStringLiteral(", ")));
        if (prefixes.isEmpty() && !empty)
            return QStringLiteral("(%1 %2 %3)")
                .arg(c.sqlName, n.negated ? QStringLiteral("NOT IN") : QStringLiteral("IN"), list);

        QStringList alternatives;
        if (!placeholders.isEmpty())
            alternatives.append(QStringLiteral("%1 IN %2").arg(c.sqlName, list));
        for (const QString &start : std::as_const(prefixes))
            alternatives.append(QLatin1Char('(') + prefix(c, start) + QLatin1Char(')'));
        if (empty)
            alternatives.append(QStringLiteral("%1 IS NULL").arg(c.sqlName));
        const QString positive = alternatives.join(QStringLiteral(" OR "));
        return n.negated ? QStringLiteral("(NOT (%1))").arg(positive)
                         : QLatin1Char('(') + positive + QLatin1Char(')');
    }

    ColumnInfo column(const FilterNode &n) const
    {
        std::optional<ColumnInfo> c = m_columns ? m_columns(n.field) : std::nullopt;
        if (!c)
            throw EngineError(ErrorCode::UnknownField,
                              QStringLiteral("Neznámé pole \"%1\" ve filtru \"%2\".").arg(n.field, m_text));
        if (c->sqlName.isEmpty())
            c->sqlName = quoteIdentifier(c->name.isEmpty() ? n.field : c->name);
        return *c;
    }

    QString bind(const QVariant &value)
    {
        // The SQL driver binds a null QString as NULL, which would turn '' into "unknown".
        if (value.typeId() == QMetaType::QString && value.toString().isNull())
            m_result.binds.append(QString(QLatin1String("")));
        else
            m_result.binds.append(value);
        return QStringLiteral("?");
    }

    [[noreturn]] void invalid(const FilterValue &value, const FilterNode &n, const QString &expected) const
    {
        throw EngineError(ErrorCode::InvalidValue,
                          QStringLiteral("Chybný filtr \"%1\": hodnota \"%2\" není %3 pro pole \"%4\".")
                              .arg(m_text, value.text, expected, n.field));
    }

    QVariant convert(const ColumnInfo &c, const FilterValue &value, const FilterNode &n) const
    {
        switch (c.type) {
        case FieldType::Text:
            if (value.kind == FilterValue::Kind::Logical)
                invalid(value, n, QStringLiteral("text (text se píše do apostrofů)"));
            return value.text;
        case FieldType::Short:
        case FieldType::Integer:
        case FieldType::AutoInc:
        case FieldType::Number:
            return number(value, n);
        case FieldType::Logical:
            return logical(value, n);
        case FieldType::Date:
            if (value.kind == FilterValue::Kind::Text) {
                if (const std::optional<QDate> d = m_formats.parseDate(value.text))
                    return d->toString(Qt::ISODate);
            }
            invalid(value, n, QStringLiteral("platné datum (%1)").arg(m_formats.shortDate));
        case FieldType::Time:
            if (value.kind == FilterValue::Kind::Text) {
                if (const std::optional<QTime> t = m_formats.parseTime(value.text))
                    return t->toString(QStringLiteral("HH:mm:ss"));
            }
            invalid(value, n, QStringLiteral("platný čas"));
        }
        return value.text;
    }

    QVariant number(const FilterValue &value, const FilterNode &n) const
    {
        if (value.kind == FilterValue::Kind::Logical)
            invalid(value, n, QStringLiteral("číslo"));
        // A quoted number may come from a person used to the Czech decimal comma.
        QString s = value.text.trimmed();
        s.replace(QLatin1Char(','), QLatin1Char('.'));
        const QLocale c = QLocale::c();
        bool ok = false;
        if (!s.contains(QLatin1Char('.'))) {
            const qlonglong whole = c.toLongLong(s, &ok);
            if (ok)
                return whole;
        }
        const double d = c.toDouble(s, &ok);
        if (!ok || !std::isfinite(d))
            invalid(value, n, QStringLiteral("číslo"));
        return d;
    }

    QVariant logical(const FilterValue &value, const FilterNode &n) const
    {
        if (value.kind == FilterValue::Kind::Logical)
            return value.logical ? 1 : 0;
        const QString s = value.text.trimmed();
        for (const char *yes : {"True", "T", "1"}) {
            if (s.compare(QLatin1String(yes), Qt::CaseInsensitive) == 0)
                return 1;
        }
        for (const char *no : {"False", "F", "0"}) {
            if (s.compare(QLatin1String(no), Qt::CaseInsensitive) == 0)
                return 0;
        }
        invalid(value, n, QStringLiteral("logická hodnota (True nebo False)"));
    }

    const QString &m_text;
    const ColumnResolver &m_columns;
    const Formats &m_formats;
    SqlFragment m_result;
};

} // namespace

SqlFragment filterToSql(const FilterNode &root, const QString &text, const ColumnResolver &columns,
                        const Formats &formats)
{
    return SqlWriter(text, columns, formats).write(root);
}

} // namespace lerk
