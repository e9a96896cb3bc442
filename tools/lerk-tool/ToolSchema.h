#pragma once

#include <QTextStream>

namespace lerk {
class Session;
namespace tool {

// Creates the empty tables of every alias directory that has none; returns the number created.
int ensureSchema(Session &session);
// Fills an empty data directory with generated data.
int generateData(Session &session, int protocols, quint32 seed, QTextStream &out);
// Recounts PZ and PN of every protocol.
int recount(Session &session, QTextStream &out);

} // namespace tool
} // namespace lerk
