#include "ColumnInfo.h"

namespace lerk {

QString quoteIdentifier(const QString &name)
{
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

} // namespace lerk
