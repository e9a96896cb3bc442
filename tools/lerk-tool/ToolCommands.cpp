#include "ToolCommands.h"

#include "DefaultAliases.h"
#include "EngineError.h"
#include "GenData.h"
#include "LocalSql.h"
#include "Query.h"
#include "ReportCommand.h"
#include "Schema.h"
#include "Session.h"
#include "Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace lerk::tool {

namespace {

QTextStream &out()
{
    static QTextStream s(stdout);
    return s;
}

QTextStream &err()
{
    static QTextStream s(stderr);
    return s;
}

const char *const Usage = R"(Použití: lerk-tool [--config ADRESÁŘ] PŘÍKAZ ...

Příkazy:
  init                          vytvoří chybějící aliasy DevaReru a LerkLO a prázdné tabulky
  sql [--alias ALIAS] ŘÁDEK...  provede jeden příkaz SQL zadaný po řádcích (výchozí alias DevaReru)
  count TABULKA [--filter VÝRAZ] vypíše počet záznamů tabulky s daným filtrem
  gen-data [--protocols N] [--seed S]
                                naplní prázdný datový adresář ukázkovými daty
  recount                       přepočítá počty závad všech protokolů
  report N --pdf SOUBOR [--filter VÝRAZ] [--title TEXT] [--subtitle TEXT]
                                vytiskne sestavu N do souboru PDF bez náhledu
)";

// Plain text of a stored value for the command line: ISO dates, True/False, empty as nothing.
QString cellText(const QVariant &v)
{
    if (v.isNull())
        return {};
    switch (v.typeId()) {
    case QMetaType::QDate:
        return v.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return v.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::number(v.toDouble(), 'g', 15);
    default:
        return v.toString();
    }
}

QString takeOption(QStringList &args, const QString &name, const QString &fallback = {})
{
    const int at = args.indexOf(name);
    if (at < 0)
        return fallback;
    if (at + 1 >= args.size())
        throw EngineError(ErrorCode::General, QStringLiteral("Volba %1 vyžaduje hodnotu.").arg(name));
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

int takeIntOption(QStringList &args, const QString &name, int fallback)
{
    const QString text = takeOption(args, name);
    if (text.isEmpty())
        return fallback;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < 0)
        throw EngineError(ErrorCode::General,
                          QStringLiteral("Volba %1: \"%2\" není nezáporné celé číslo.").arg(name, text));
    return value;
}

int cmdInit(Session &session)
{
    ensureDefaultAliases(session.aliases(), QCoreApplication::applicationDirPath());
    const int created = int(lerk::ensureSchema(session).size());
    for (const QString &alias : {DataAlias, LocalAlias})
        out() << alias << '\t' << session.aliases().path(alias) << '\n';
    if (created > 0)
        out() << "Vytvořeno tabulek: " << created << '\n';
    return 0;
}

int cmdSql(Session &session, QStringList args)
{
    const QString alias = takeOption(args, QStringLiteral("--alias"), DataAlias);
    if (args.isEmpty())
        throw EngineError(ErrorCode::SqlSyntax, QStringLiteral("Chybí příkaz SQL."));
    if (!LocalSql::isSelect(args)) {
        const int touched = LocalSql(session, alias).execute(args);
        out() << touched << '\n';
        return 0;
    }
    Query q(session, alias);
    q.setSql(args);
    q.open();
    QStringList header;
    for (Field *f : q.fields())
        if (f->isStored())
            header << f->name();
    out() << header.join(QLatin1Char('\t')) << '\n';
    const int columns = int(header.size());
    for (int r = 0; r < q.recordCount(); ++r) {
        const Row &row = q.rowAt(r);
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << cellText(row.value(c));
        out() << cells.join(QLatin1Char('\t')) << '\n';
    }
    return 0;
}

int cmdCount(Session &session, QStringList args)
{
    const QString filter = takeOption(args, QStringLiteral("--filter"));
    if (args.size() != 1)
        throw EngineError(ErrorCode::General, QStringLiteral("Příkaz count očekává právě jednu tabulku."));
    QString table = args.first();
    QString alias = DataAlias;
    if (!session.database(DataAlias).hasTable(table) && session.aliases().exists(LocalAlias) &&
        session.database(LocalAlias).hasTable(table))
        alias = LocalAlias;
    Table t(session, alias, table);
    t.setFilter(filter);
    t.setFiltered(!filter.isEmpty());
    t.open();
    out() << t.recordCount() << '\n';
    return 0;
}

} // namespace

int run(const QStringList &arguments)
{
    QStringList args = arguments;
    try {
        const QString configDir = takeOption(args, QStringLiteral("--config"));
        if (args.isEmpty() || args.first() == QLatin1String("--help") ||
            args.first() == QLatin1String("-h")) {
            (args.isEmpty() ? err() : out()) << QString::fromUtf8(Usage);
            return args.isEmpty() ? 2 : 0;
        }
        const QString command = args.takeFirst();
        Session session(configDir);
        if (command == QLatin1String("init"))
            return cmdInit(session);
        if (command != QLatin1String("sql") && command != QLatin1String("count") &&
            command != QLatin1String("gen-data") && command != QLatin1String("recount") &&
            command != QLatin1String("report")) {
            err() << QStringLiteral("Neznámý příkaz \"%1\".\n").arg(command) << QString::fromUtf8(Usage);
            return 2;
        }
        for (const QString &alias : {DataAlias, LocalAlias})
            if (!session.aliases().exists(alias))
                throw EngineError(
                    ErrorCode::UnknownAlias,
                    QStringLiteral("Alias %1 neexistuje; spusťte nejprve \"lerk-tool init\".").arg(alias));
        if (command == QLatin1String("sql"))
            return cmdSql(session, args);
        if (command == QLatin1String("count"))
            return cmdCount(session, args);
        if (command == QLatin1String("gen-data")) {
            const int protocols = takeIntOption(args, QStringLiteral("--protocols"), 2000);
            const int seed = takeIntOption(args, QStringLiteral("--seed"), 1);
            return runGenData(session, protocols, quint32(seed), out());
        }
        if (command == QLatin1String("report"))
            return runReportCommand(session, args, out());
        return runRecount(session, out());
    } catch (const EngineError &e) {
        out().flush();
        err() << e.message() << '\n';
        return 1;
    }
}

} // namespace lerk::tool
