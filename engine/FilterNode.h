#pragma once

#include <QString>
#include <memory>
#include <vector>

namespace lerk {

enum class FilterOp { Equal, NotEqual, Less, LessEqual, Greater, GreaterEqual };

// A value as written in a filter. Its meaning (date, number, logical) is only known once the field it
// is compared with has been resolved, so the literal is kept as the person wrote it.
struct FilterValue
{
    enum class Kind {
        Text,    // in apostrophes; text holds it with '' already undone
        Number,  // unquoted number; text holds the literal, e.g. "-1.5" or "01"
        Logical, // unquoted True or False
    };

    Kind kind = Kind::Text;
    QString text;
    bool logical = false;
    int position = 0; // 1-based position in the filter text, for messages
};

// One node of a parsed filter. The tree is immutable once parsed and shared between copies of a
// FilterExpr.
struct FilterNode
{
    enum class Kind {
        And,     // children: two or more
        Or,      // children: two or more
        Not,     // children: one
        Compare, // field op values[0]; field = NULL and field <> NULL become IsNull
        IsNull,  // field IS [NOT] NULL
        Like,    // field [NOT] LIKE values[0]
        Between, // field [NOT] BETWEEN values[0] AND values[1]
        In,      // field [NOT] IN (values...)
    };

    Kind kind = Kind::Compare;
    std::vector<std::unique_ptr<const FilterNode>> children;

    QString field;         // as written, without square brackets
    int fieldPosition = 0; // 1-based
    FilterOp op = FilterOp::Equal;
    bool negated = false; // IS NOT NULL, NOT LIKE, NOT BETWEEN, NOT IN
    std::vector<FilterValue> values;

    bool isCondition() const { return kind != Kind::And && kind != Kind::Or && kind != Kind::Not; }
};

} // namespace lerk
