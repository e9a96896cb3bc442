#include "Session.h"

#include "TransferFileReader.h"

namespace lerk {

Session::Session(const QString &configDir, QObject *parent) : QObject(parent), m_aliases(configDir)
{
    m_readers.registerReader(QStringLiteral("db"), [](const QString &path) {
        return std::unique_ptr<FileTableReader>(new TransferFileReader(path));
    });
}

Session::~Session() = default;

QString Session::databaseFileName(const QString &alias)
{
    if (alias.compare(QLatin1String("LerkLO"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("lerk-local.sqlite");
    return QStringLiteral("lerk-data.sqlite");
}

Database &Session::database(const QString &alias)
{
    const QString key = alias.toLower();
    if (Database *db = m_databases.value(key))
        return *db;
    if (!m_aliases.exists(alias))
        throw EngineError(ErrorCode::UnknownAlias, QStringLiteral("Alias \"%1\" neexistuje.").arg(alias));
    auto *db = new Database(m_aliases.path(alias), databaseFileName(alias), this);
    m_databases.insert(key, db);
    return *db;
}

bool Session::isOpen(const QString &alias) const
{
    return m_databases.contains(alias.toLower());
}

void Session::closeDatabase(const QString &alias)
{
    delete m_databases.take(alias.toLower());
}

} // namespace lerk
