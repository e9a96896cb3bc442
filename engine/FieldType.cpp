#include "FieldType.h"

namespace lerk {

bool isIntegerType(FieldType type)
{
    return type == FieldType::Short || type == FieldType::Integer || type == FieldType::AutoInc;
}

bool isNumericType(FieldType type)
{
    return isIntegerType(type) || type == FieldType::Number;
}

QString fieldTypeCzechName(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("text");
    case FieldType::Short:
    case FieldType::Integer:
    case FieldType::AutoInc:
        return QStringLiteral("celé číslo");
    case FieldType::Number:
        return QStringLiteral("číslo");
    case FieldType::Logical:
        return QStringLiteral("logická hodnota");
    case FieldType::Date:
        return QStringLiteral("datum");
    case FieldType::Time:
        return QStringLiteral("čas");
    }
    return {};
}

} // namespace lerk
