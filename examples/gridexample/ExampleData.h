#pragma once

#include <QString>

namespace lerk {
class Database;
}

// A defect table shaped like the program's, with generated rows, and the two code tables its lookup
// columns list.
void createExampleTables(lerk::Database &db, int rows);
