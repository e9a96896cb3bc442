#include "DefaultAliases.h"

#include "AliasConfig.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

namespace lerk {

namespace {
bool isWritableDir(const QString &dir)
{
    if (!QFileInfo(dir).isDir())
        return false;
    // QFileInfo::isWritable looks only at permission bits; a read-only mount says yes too.
    QTemporaryFile probe(QDir(dir).filePath(QStringLiteral(".lerk-probe-XXXXXX")));
    return probe.open();
}
} // namespace

QString defaultDataRoot(const QString &programDir)
{
    if (!programDir.isEmpty() && isWritableDir(programDir))
        return QDir(programDir).absolutePath();
    return QDir::homePath() + QStringLiteral("/.local/share/lerk");
}

bool ensureDefaultAliases(AliasConfig &aliases, const QString &programDir)
{
    bool added = false;
    const QString root = defaultDataRoot(programDir);
    const struct
    {
        QString alias;
        QString dir;
    } defaults[] = {{DataAlias, QStringLiteral("data")}, {LocalAlias, QStringLiteral("dataLO")}};
    for (const auto &d : defaults) {
        if (aliases.exists(d.alias))
            continue;
        const QString path = QDir(root).filePath(d.dir);
        QDir().mkpath(path);
        aliases.add(d.alias, QStringLiteral("SQLITE"), {QStringLiteral("PATH=") + path});
        added = true;
    }
    if (added)
        aliases.save();
    return added;
}

} // namespace lerk
