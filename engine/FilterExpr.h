#pragma once

#include "ColumnInfo.h"
#include "Formats.h"

#include <QString>
#include <QStringList>
#include <memory>

namespace lerk {

struct FilterNode;

// A parsed filter in the engine's filter syntax, kept beside the text a person wrote. Parsing checks
// only the syntax; field names and the meaning of values (dates, logical, numbers) are resolved when
// the filter is turned into SQL against a concrete set of columns.
//
// Syntax: comparisons field op value with op one of = <> < <= > >=; value a quoted text ('it''s'),
// a number, True or False; AND, OR, NOT and parentheses; a trailing * inside quotes is a prefix match
// (Silnice='I/*'); besides: field IS NULL, field IS NOT NULL, field LIKE 'pattern' (% and _),
// field BETWEEN value AND value, field IN (value, ...). Keywords and field names ignore letter case.
class FilterExpr
{
public:
    FilterExpr(); // empty: no restriction
    ~FilterExpr();
    FilterExpr(const FilterExpr &);
    FilterExpr &operator=(const FilterExpr &);

    // Throws EngineError(ErrorCode::FilterSyntax) whose Czech message quotes the text and says what is
    // wrong. A blank text gives an empty filter.
    static FilterExpr parse(const QString &text);

    bool isEmpty() const { return !m_root; }
    const QString &text() const { return m_text; }
    const FilterNode *root() const { return m_root.get(); }

    // Field names the filter refers to, as written, without duplicates.
    QStringList fieldNames() const;

    // A boolean SQL expression with bound values, empty for an empty filter. Throws
    // EngineError(UnknownField) naming the field and the filter, or EngineError(InvalidValue) for a
    // value that does not fit the field's type (a date that is not a date in the short date format).
    // Comparisons with an empty field are neither true nor false.
    SqlFragment toSql(const ColumnResolver &columns, const Formats &formats) const;

private:
    QString m_text;
    std::shared_ptr<const FilterNode> m_root;
};

} // namespace lerk
