#pragma once

#include <QString>

namespace lerk {

// The value types a stored, calculated or lookup field can have.
enum class FieldType {
    Text,    // text(n): cut to n characters when assigned through a field
    Short,   // 16-bit signed integer
    Integer, // 32-bit signed integer
    AutoInc, // integer the engine assigns on insert, never reused
    Number,  // double
    Logical, // true/false, stored 0/1, or empty
    Date,    // calendar date, stored as ISO text YYYY-MM-DD
    Time,    // time of day, stored as HH:MM:SS
};

bool isNumericType(FieldType type);
bool isIntegerType(FieldType type);
// Czech name of the type for messages ("text", "datum", ...).
QString fieldTypeCzechName(FieldType type);

} // namespace lerk
