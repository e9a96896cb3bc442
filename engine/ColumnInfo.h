#pragma once

#include "FieldType.h"

#include <QString>
#include <QVariantList>
#include <functional>
#include <optional>

namespace lerk {

// A column as SQL generation sees it: the SQL text that names it (already quoted, maybe qualified)
// and its engine type.
struct ColumnInfo
{
    QString name;    // the column's own name, as stored
    QString sqlName; // how generated SQL refers to it, e.g. "Zavady"."OS" or "OS"
    FieldType type = FieldType::Text;
    int size = 0; // characters of a text(n) column, 0 otherwise
};

// Maps a field name as a person wrote it (any letter case) to its column; nullopt when unknown.
using ColumnResolver = std::function<std::optional<ColumnInfo>(const QString &fieldName)>;

// A piece of SQL with positional placeholders (?) and the values bound to them, in order.
struct SqlFragment
{
    QString sql;
    QVariantList binds;

    bool isEmpty() const { return sql.isEmpty(); }
};

// Quotes an identifier for SQL; the only place identifiers are quoted.
QString quoteIdentifier(const QString &name);

} // namespace lerk
