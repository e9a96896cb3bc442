#pragma once

#include "Formats.h"
#include "TableDef.h"

#include <QVariant>

namespace lerk {

// Turns a value into what a column of the field's type stores: ISO text for dates and times, 0/1 for
// logical values, qlonglong / double for numbers, text for text; blank becomes NULL. Accepts typed
// values (as file readers hand them over) and text as a person types it (dates in the short date
// format or ISO, True/False, numbers with a decimal point or comma). Throws EngineError(InvalidValue)
// naming the value and the field when the value does not fit; a too-long text is left to the table's
// own check so that every writer reports it the same way.
QVariant toStoredValue(const QVariant &value, const FieldDef &field, const Formats &formats);

// The typed value of a stored one: QDate, QTime, bool, qlonglong, double, QString, or a null QVariant
// for an empty field. A stored value that does not read as its type is handed over as found.
QVariant fromStoredValue(const QVariant &stored, FieldType type);

} // namespace lerk
