#pragma once

#include "TableDef.h"

#include <QHash>
#include <QVariantList>
#include <functional>
#include <memory>

namespace lerk {

// Reads a table kept in a file of its own (a transfer file, a dBase file of the DOS version). Values are
// handed over typed: QString, qlonglong, double, bool, QDate, QTime, or a null QVariant for empty.
class FileTableReader
{
public:
    virtual ~FileTableReader() = default;
    virtual TableDef definition() const = 0;
    virtual void readRows(const std::function<void(const QVariantList &row)> &sink) = 0;
};

using FileTableReaderFactory = std::function<std::unique_ptr<FileTableReader>(const QString &path)>;

// Readers chosen by the file's extension (without case), so that a new file kind needs no change to
// the statements that read it.
class FileReaderRegistry
{
public:
    void registerReader(const QString &extension, FileTableReaderFactory factory);
    bool canRead(const QString &path) const;
    // Throws EngineError(Io) when the file is missing or no reader knows its extension.
    std::unique_ptr<FileTableReader> open(const QString &path) const;

private:
    QHash<QString, FileTableReaderFactory> m_factories; // by lower-case extension
};

} // namespace lerk
