#pragma once

#include "FileTableReader.h"

#include <QSqlDatabase>

namespace lerk {

// A transfer file: a standalone SQLite file holding exactly one table, as BatchMove writes it. It is
// read on a connection of its own, read-only, so that reading never locks or changes an alias database.
class TransferFileReader : public FileTableReader
{
public:
    // Throws EngineError(Io) naming the file when it is missing or is not such a database.
    explicit TransferFileReader(const QString &path);
    ~TransferFileReader() override;

    TableDef definition() const override { return m_def; }
    void readRows(const std::function<void(const QVariantList &row)> &sink) override;

private:
    [[noreturn]] void fail(const QString &reason);
    void close();

    QString m_path;
    QString m_connectionName;
    QSqlDatabase m_db;
    TableDef m_def;
};

} // namespace lerk
