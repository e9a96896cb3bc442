#include "EngineError.h"

namespace lerk {

EngineError::EngineError(int code, QString message)
    : m_code(code), m_message(std::move(message)), m_utf8(m_message.toUtf8())
{}

EngineError EngineError::aborted()
{
    return EngineError(ErrorCode::Aborted, QStringLiteral("Operace byla přerušena."));
}

} // namespace lerk
