#pragma once

#include "TableDef.h"

#include <QList>
#include <QString>

namespace lerk {

class Session;

// Physical definitions of the program's tables: the shared data directory (alias DevaReru) and the
// workstation's own directory (alias LerkLO).
namespace schema {

// Every table of the shared directory, in a stable order (masters before their details).
QList<TableDef> sharedTables();
// The tables of the workstation's directory (PARAM).
QList<TableDef> localTables();
// The master/detail relations of the shared directory.
QList<RelationDef> sharedRelations();

// One definition by table name (without regard to case), from either directory; throws UnknownTable.
TableDef table(const QString &name);

} // namespace schema

// Creates, in both alias directories, the tables that are missing there and the relations of the tables
// it created. Existing tables are left as they are. Returns the names of the tables created.
QStringList ensureSchema(Session &session);

} // namespace lerk
