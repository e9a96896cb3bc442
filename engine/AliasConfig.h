#pragma once

#include "Formats.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace lerk {

// The workstation's alias configuration: aliases.ini in the configuration directory, one section per
// alias with PATH= and DRIVER=, plus a [Workstation] section with the date and time formats. Alias names
// compare without case.
class AliasConfig
{
public:
    // configDir empty: $LERK_CONFIG_DIR, else ~/.config/lerk. Reads the file when it exists.
    explicit AliasConfig(const QString &configDir = {});

    static QString defaultConfigDir();
    QString configDir() const { return m_dir; }
    QString filePath() const;

    void load();
    void save() const; // throws EngineError(Io)

    QStringList aliasNames() const;
    bool exists(const QString &alias) const;
    // Adds an alias, e.g. add("DevaReru", "SQLITE", {"PATH=/srv/lerk/data"}). Replaces a same-named one.
    void add(const QString &alias, const QString &driver, const QStringList &params);
    // Parameters as "KEY=value" lines, the first being "PATH=" plus the directory.
    QStringList params(const QString &alias) const;
    void modify(const QString &alias, const QStringList &params);
    QString path(const QString &alias) const; // empty when unknown
    QString driver(const QString &alias) const;

    const Formats &formats() const { return m_formats; }
    void setFormats(const Formats &formats) { m_formats = formats; }

private:
    struct Alias
    {
        QString name;
        QString driver;
        QList<QPair<QString, QString>> params; // PATH first
    };
    const Alias *find(const QString &alias) const;
    Alias *find(const QString &alias);

    QString m_dir;
    QList<Alias> m_aliases;
    Formats m_formats;
};

} // namespace lerk
