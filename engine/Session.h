#pragma once

#include "AliasConfig.h"
#include "Database.h"
#include "FileTableReader.h"

#include <QHash>
#include <QObject>
#include <memory>

namespace lerk {

// The engine's root for one process: the alias configuration, one database connection per alias,
// and the registered file readers. Tables and queries name their data by alias.
class Session : public QObject
{
    Q_OBJECT
public:
    explicit Session(const QString &configDir = {}, QObject *parent = nullptr);
    ~Session() override;

    AliasConfig &aliases() { return m_aliases; }
    const AliasConfig &aliases() const { return m_aliases; }
    const Formats &formats() const { return m_aliases.formats(); }
    FileReaderRegistry &readers() { return m_readers; }
    const FileReaderRegistry &readers() const { return m_readers; }

    // The database of an alias, opened on first use. Throws UnknownAlias or NoDirectory.
    Database &database(const QString &alias);
    bool isOpen(const QString &alias) const;
    // Drops the connection, e.g. after the alias was pointed elsewhere; open datasets must be closed.
    void closeDatabase(const QString &alias);

    // File name of the database inside an alias directory.
    static QString databaseFileName(const QString &alias);

private:
    AliasConfig m_aliases;
    FileReaderRegistry m_readers;
    QHash<QString, Database *> m_databases; // by lower-case alias; owned as QObject children
};

} // namespace lerk
