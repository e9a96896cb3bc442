#pragma once

#include <QTextStream>
#include <QtGlobal>
#include <functional>

namespace lerk {
class Session;
namespace tool {

// Fills the empty shared data directory of the session with reproducible generated data: 12 centres,
// 200 districts with schedules, 5000 road sections, 80 defect types and the given number of protocols
// with about ten defects each. Missing tables are created first. Throws EngineError on a directory that
// already holds data.
void generateData(Session &session, int protocols, quint32 seed,
                  const std::function<void(qint64 done, qint64 total)> &progress = {});

// "lerk-tool gen-data": generateData with progress and a summary written to out; returns the exit status.
int runGenData(Session &session, int protocols, quint32 seed, QTextStream &out);

// "lerk-tool recount": brings PZ and PN of every protocol up to date; returns the exit status.
int runRecount(Session &session, QTextStream &out);

} // namespace tool
} // namespace lerk
