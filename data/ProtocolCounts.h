#pragma once

namespace lerk {

class Database;

// Brings PZ (defects) and PN (defects whose ODSTRANENO is false) of every protocol of the shared
// database up to date: one grouped statement for each count, then one pass of updates, all in one
// transaction. Gives what the per-protocol recount gives: a key field that is empty matches defects whose
// field is empty, and a protocol without defects gets 0 and 0. Returns the number of protocols changed;
// their row versions move on, so a cursor holding an old copy notices.
int recountAllProtocols(Database &db);

} // namespace lerk
