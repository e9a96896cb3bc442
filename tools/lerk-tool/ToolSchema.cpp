#include "ToolSchema.h"

#include "EngineError.h"
#include "Session.h"

namespace lerk::tool {

// Bridges to the data module; until it lands the tool knows no schema.
int ensureSchema(Session &session)
{
    session.database(QStringLiteral("DevaReru"));
    session.database(QStringLiteral("LerkLO"));
    return 0;
}

int generateData(Session &, int, quint32, QTextStream &)
{
    throw EngineError(ErrorCode::General, QStringLiteral("Generátor dat zatím není k dispozici."));
}

int recount(Session &, QTextStream &)
{
    throw EngineError(ErrorCode::General, QStringLiteral("Přepočet zatím není k dispozici."));
}

} // namespace lerk::tool
