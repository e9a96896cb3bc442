#include "TableDef.h"

namespace lerk {

const FieldDef *TableDef::field(const QString &fieldName) const
{
    for (const FieldDef &f : fields)
        if (f.name.compare(fieldName, Qt::CaseInsensitive) == 0)
            return &f;
    return nullptr;
}

QString TableDef::autoIncField() const
{
    for (const FieldDef &f : fields)
        if (f.type == FieldType::AutoInc)
            return f.name;
    return {};
}

} // namespace lerk
