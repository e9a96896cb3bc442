#pragma once

#include "ColumnInfo.h"
#include "Formats.h"

#include <QString>

namespace lerk {

struct FilterNode;

// The SQL for a parsed filter: every node parenthesised, every value a bound placeholder. text is the
// whole filter as written, quoted in messages. Throws EngineError(UnknownField) or (InvalidValue).
SqlFragment filterToSql(const FilterNode &root, const QString &text, const ColumnResolver &columns,
                        const Formats &formats);

} // namespace lerk
