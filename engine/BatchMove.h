#pragma once

#include <QString>

namespace lerk {

class Database;
class Session;

// Moving whole tables between an alias database and transfer files (standalone files holding one
// table, read back through TransferFileReader or any reader the session knows).

// Writes every row of a table into a transfer file at filePath, replacing an existing one; the table
// in the file is named like the file without its extension ("ProtokolE.DB" holds "ProtokolE"). The file
// is written under a temporary name beside it and renamed into place, so the old file stays whole until
// the new one is. Returns the number of rows. Throws NoDirectory, UnknownTable or Io.
int copyTableToFile(Database &db, const QString &table, const QString &filePath);

enum class BatchMode {
    Append,       // every row of the file is added (a key already present fails the whole move)
    AppendUpdate, // a row whose key exists replaces that row's fields; others are added
};

// Moves every row of a file into a table, field by field by name: fields the file lacks stay empty, the
// table's auto-increment field gets new values. The key of AppendUpdate is the table's first unique
// index without its auto-increment field; a table without such a key is only appended to. Everything
// happens in one transaction; returns the number of rows moved.
int moveFileToTable(Session &session, Database &db, const QString &filePath, const QString &table,
                    BatchMode mode);

} // namespace lerk
