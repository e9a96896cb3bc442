#include "FileTableReader.h"

#include "EngineError.h"

#include <QFileInfo>

namespace lerk {

void FileReaderRegistry::registerReader(const QString &extension, FileTableReaderFactory factory)
{
    m_factories.insert(extension.toLower(), std::move(factory));
}

bool FileReaderRegistry::canRead(const QString &path) const
{
    return m_factories.contains(QFileInfo(path).suffix().toLower());
}

std::unique_ptr<FileTableReader> FileReaderRegistry::open(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        throw EngineError(ErrorCode::Io, QStringLiteral("Soubor \"%1\" neexistuje.").arg(path));
    const auto it = m_factories.constFind(info.suffix().toLower());
    if (it == m_factories.constEnd())
        throw EngineError(
            ErrorCode::Io,
            QStringLiteral("Soubor \"%1\" nelze číst: neznámý typ souboru \"%2\".").arg(path, info.suffix()));
    return (*it)(path);
}

} // namespace lerk
