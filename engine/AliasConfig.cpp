#include "AliasConfig.h"

#include "EngineError.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace lerk {

namespace {
const QString WorkstationSection = QStringLiteral("Workstation");
const QString PathKey = QStringLiteral("PATH");
const QString DriverKey = QStringLiteral("DRIVER");
const QString ShortDateKey = QStringLiteral("ShortDateFormat");
const QString LongTimeKey = QStringLiteral("LongTimeFormat");

QPair<QString, QString> splitParam(const QString &line)
{
    const int eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return {line.trimmed(), QString()};
    return {line.left(eq).trimmed(), line.mid(eq + 1).trimmed()};
}
} // namespace

AliasConfig::AliasConfig(const QString &configDir)
    : m_dir(configDir.isEmpty() ? defaultConfigDir() : configDir)
{
    load();
}

QString AliasConfig::defaultConfigDir()
{
    const QString env = qEnvironmentVariable("LERK_CONFIG_DIR");
    if (!env.isEmpty())
        return env;
    return QDir::homePath() + QStringLiteral("/.config/lerk");
}

QString AliasConfig::filePath() const
{
    return QDir(m_dir).filePath(QStringLiteral("aliases.ini"));
}

void AliasConfig::load()
{
    m_aliases.clear();
    m_formats = Formats();
    QFile file(filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    QString section;
    Alias *current = nullptr;
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    for (QString line : lines) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')) || line.startsWith(QLatin1Char('#')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = line.mid(1, line.size() - 2).trimmed();
            current = nullptr;
            if (section.compare(WorkstationSection, Qt::CaseInsensitive) != 0) {
                m_aliases.append(Alias{section, QString(), {}});
                current = &m_aliases.last();
            }
            continue;
        }
        const auto [key, value] = splitParam(line);
        if (current) {
            if (key.compare(DriverKey, Qt::CaseInsensitive) == 0)
                current->driver = value;
            else if (key.compare(PathKey, Qt::CaseInsensitive) == 0)
                current->params.prepend({PathKey, value});
            else
                current->params.append({key, value});
        } else if (key == ShortDateKey && !value.isEmpty()) {
            m_formats.shortDate = value;
        } else if (key == LongTimeKey && !value.isEmpty()) {
            m_formats.longTime = value;
        }
    }
}

void AliasConfig::save() const
{
    QDir().mkpath(m_dir);
    QString text;
    text += QLatin1Char('[') + WorkstationSection + QStringLiteral("]\n");
    text += ShortDateKey + QLatin1Char('=') + m_formats.shortDate + QLatin1Char('\n');
    text += LongTimeKey + QLatin1Char('=') + m_formats.longTime + QLatin1Char('\n');
    for (const Alias &a : m_aliases) {
        text += QStringLiteral("\n[") + a.name + QStringLiteral("]\n");
        for (const auto &[key, value] : a.params)
            text += key + QLatin1Char('=') + value + QLatin1Char('\n');
        text += DriverKey + QLatin1Char('=') + a.driver + QLatin1Char('\n');
    }
    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0 || !file.commit())
        throw EngineError(ErrorCode::Io, QStringLiteral("Konfiguraci aliasů nelze uložit do \"%1\": %2")
                                             .arg(filePath(), file.errorString()));
}

QStringList AliasConfig::aliasNames() const
{
    QStringList names;
    for (const Alias &a : m_aliases)
        names << a.name;
    return names;
}

const AliasConfig::Alias *AliasConfig::find(const QString &alias) const
{
    for (const Alias &a : m_aliases)
        if (a.name.compare(alias, Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

AliasConfig::Alias *AliasConfig::find(const QString &alias)
{
    return const_cast<Alias *>(std::as_const(*this).find(alias));
}

bool AliasConfig::exists(const QString &alias) const
{
    return find(alias) != nullptr;
}

void AliasConfig::add(const QString &alias, const QString &driver, const QStringList &params)
{
    if (Alias *a = find(alias)) {
        a->driver = driver;
        modify(alias, params);
        return;
    }
    m_aliases.append(Alias{alias, driver, {}});
    modify(alias, params);
}

QStringList AliasConfig::params(const QString &alias) const
{
    QStringList out;
    if (const Alias *a = find(alias)) {
        for (const auto &[key, value] : a->params)
            out << key + QLatin1Char('=') + value;
    }
    return out;
}

void AliasConfig::modify(const QString &alias, const QStringList &params)
{
    Alias *a = find(alias);
    if (!a)
        throw EngineError(ErrorCode::UnknownAlias, QStringLiteral("Alias \"%1\" neexistuje.").arg(alias));
    QList<QPair<QString, QString>> parsed;
    for (const QString &line : params) {
        auto kv = splitParam(line);
        if (kv.first.compare(PathKey, Qt::CaseInsensitive) == 0)
            parsed.prepend({PathKey, kv.second});
        else if (!kv.first.isEmpty())
            parsed.append(kv);
    }
    a->params = parsed;
}

QString AliasConfig::path(const QString &alias) const
{
    if (const Alias *a = find(alias))
        for (const auto &[key, value] : a->params)
            if (key == PathKey)
                return value;
    return {};
}

QString AliasConfig::driver(const QString &alias) const
{
    const Alias *a = find(alias);
    return a ? a->driver : QString();
}

} // namespace lerk
