#include "Schema.h"

#include "Database.h"
#include "DefaultAliases.h"
#include "EngineError.h"
#include "Session.h"

namespace lerk::schema {

namespace {

FieldDef text(const char *name, int size)
{
    return FieldDef{QString::fromLatin1(name), FieldType::Text, size};
}

FieldDef typed(const char *name, FieldType type)
{
    return FieldDef{QString::fromLatin1(name), type, 0};
}

IndexDef index(const char *name, const QStringList &fields, bool unique = false, bool caseInsensitive = false,
               bool descending = false)
{
    IndexDef idx;
    idx.name = QString::fromLatin1(name);
    idx.fields = fields;
    idx.unique = unique;
    idx.caseInsensitive = caseInsensitive;
    idx.descending = descending;
    return idx;
}

QList<FieldDef> protokolFields()
{
    return {text("CISLO", 5),
            text("OSP", 2),
            text("OKRUH", 4),
            typed("DATUM", FieldType::Date),
            text("JMENO", 20),
            typed("PZ", FieldType::Short),
            typed("PN", FieldType::Short),
            text("OS", 2)};
}

QList<FieldDef> zavadyFields()
{
    return {text("CISLO", 5),
            text("OS", 2),
            typed("DATUM", FieldType::Date),
            text("OKRUH", 4),
            typed("IN", FieldType::AutoInc),
            text("SILNICE", 10),
            typed("PORADI", FieldType::Integer),
            text("USEK", 40),
            text("DRUH", 3),
            text("CAS", 3),
            typed("ODSTRANENO", FieldType::Logical),
            typed("DATUMO", FieldType::Date),
            text("ZAVADA", 70),
            text("POPIS", 45),
            typed("TERMINO", FieldType::Date),
            typed("KM", FieldType::Number)};
}

const QStringList ProtocolKey = {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                                 QStringLiteral("OKRUH")};

} // namespace

QList<TableDef> sharedTables()
{
    QList<TableDef> out;

    TableDef uzivatel;
    uzivatel.name = QStringLiteral("Uzivatel");
    uzivatel.fields = {text("Jmeno", 15),
                       typed("DatumP", FieldType::Date),
                       typed("CasP", FieldType::Time),
                       typed("Kod", FieldType::Integer),
                       typed("Datum", FieldType::Date),
                       typed("CasU", FieldType::Time),
                       text("Klic", 30)};
    uzivatel.indexes = {
        index("Primary", {QStringLiteral("Jmeno"), QStringLiteral("DatumP"), QStringLiteral("CasP")}, true),
        index("KlicX", {QStringLiteral("Klic")}, true, true),
        index("DatumCas", {QStringLiteral("DatumP"), QStringLiteral("CasP")}, false, true),
        index("Sestup", {QStringLiteral("DatumP"), QStringLiteral("CasP")}, false, true, true)};
    out << uzivatel;

    TableDef hesla;
    hesla.name = QStringLiteral("Hesla");
    hesla.fields = {text("Jmeno", 15), text("Heslo", 10), typed("Kod", FieldType::Integer), text("OS", 40)};
    hesla.indexes = {index("Jmeno", {QStringLiteral("Jmeno")})};
    out << hesla;

    TableDef podnik;
    podnik.name = QStringLiteral("Podnik");
    podnik.fields = {text("Podnik", 30), text("ICO", 10),  text("DIC", 14),
                     text("Adresa", 50), text("Heslo", 6), typed("Rok", FieldType::Integer)};
    out << podnik;

    TableDef os;
    os.name = QStringLiteral("Os");
    os.fields = {text("OS", 2), text("STREDISKO", 20)};
    os.indexes = {index("Primary", {QStringLiteral("OS")}, true)};
    out << os;

    TableDef ciszav;
    ciszav.name = QStringLiteral("Ciszav");
    ciszav.fields = {text("DRUH", 3), text("Popis", 50), typed("Vyber", FieldType::Logical),
                     text("Poznamka", 50)};
    ciszav.indexes = {index("Primary", {QStringLiteral("DRUH")}, true)};
    out << ciszav;

    TableDef okruh;
    okruh.name = QStringLiteral("Okruh");
    okruh.fields = {text("OS", 2),
                    text("OKRUH", 4),
                    typed("POCTYDEN", FieldType::Number),
                    typed("PRICTI", FieldType::Number),
                    text("CESTMISTR", 15),
                    typed("DELKA", FieldType::Number),
                    typed("P", FieldType::Short)};
    okruh.indexes = {
        index("Primary", {QStringLiteral("OS"), QStringLiteral("OKRUH"), QStringLiteral("POCTYDEN")}, true),
        index("Okruh", {QStringLiteral("OKRUH")})};
    out << okruh;

    TableDef silnice;
    silnice.name = QStringLiteral("Silnice");
    silnice.fields = {text("OKRUH", 4),    text("TRIDA", 1),
                      text("SILNICE1", 6), typed("PORADI", FieldType::Short),
                      text("POPIS", 50),   text("Silnice", 10)};
    silnice.indexes = {index("Primary",
                             {QStringLiteral("OKRUH"), QStringLiteral("TRIDA"), QStringLiteral("SILNICE1"),
                              QStringLiteral("PORADI")},
                             true),
                       index("OkruhPoradi", {QStringLiteral("OKRUH"), QStringLiteral("PORADI")})};
    out << silnice;

    TableDef tyden;
    tyden.name = QStringLiteral("Tyden");
    tyden.fields = {text("Okruh", 4), typed("Tyden", FieldType::Number)};
    tyden.indexes = {index("Okruh", {QStringLiteral("Okruh")})};
    out << tyden;

    TableDef protokol;
    protokol.name = QStringLiteral("Protokol");
    protokol.fields = protokolFields();
    protokol.indexes = {index("Primary", ProtocolKey, true)};
    out << protokol;

    TableDef zavady;
    zavady.name = QStringLiteral("Zavady");
    zavady.fields = zavadyFields();
    // The first index serves the order of the entry window and the relation to the protocols; the others
    // the defect query's order and the overview filters by centre and by removal.
    zavady.indexes = {index("Protokol", ProtocolKey + QStringList{QStringLiteral("IN")}),
                      index("OkruhPoradi", {QStringLiteral("OKRUH"), QStringLiteral("PORADI"),
                                            QStringLiteral("KM"), QStringLiteral("DATUM")}),
                      index("OS", {QStringLiteral("OS")}),
                      index("Odstraneno", {QStringLiteral("ODSTRANENO")})};
    out << zavady;

    // The exchange tables carry no keys: they only pass rows through.
    TableDef protokolE;
    protokolE.name = QStringLiteral("ProtokolE");
    protokolE.fields = protokolFields();
    out << protokolE;

    TableDef zavadyE;
    zavadyE.name = QStringLiteral("ZavadyE");
    zavadyE.fields = zavadyFields();
    out << zavadyE;

    return out;
}

QList<TableDef> localTables()
{
    TableDef param;
    param.name = QStringLiteral("PARAM");
    param.fields = {typed("DruhT", FieldType::Logical),
                    text("Druh", 3),
                    typed("ROK", FieldType::Integer),
                    typed("RokT", FieldType::Logical),
                    typed("RokOD", FieldType::Integer),
                    typed("RokDO", FieldType::Integer),
                    typed("CisloT", FieldType::Logical),
                    typed("CisloOD", FieldType::Integer),
                    typed("CisloDO", FieldType::Integer),
                    typed("DatumUzT", FieldType::Logical),
                    typed("DatumUzOd", FieldType::Date),
                    typed("DatumUzDo", FieldType::Date),
                    typed("DatumUkT", FieldType::Logical),
                    typed("DatumUkOd", FieldType::Date),
                    typed("DatumUkDo", FieldType::Date),
                    typed("DatumPrT", FieldType::Logical),
                    typed("DatumPrOd", FieldType::Date),
                    typed("DatumPrDo", FieldType::Date),
                    typed("Tridit", FieldType::Integer),
                    typed("Obsahuji", FieldType::Integer),
                    typed("NazevT", FieldType::Logical),
                    text("Nazev", 150),
                    typed("ICOT", FieldType::Logical),
                    text("ICO", 10),
                    typed("Prij_jmenoT", FieldType::Logical),
                    text("Prij_Jmeno", 30),
                    typed("Filtr", FieldType::Logical),
                    typed("SkupinaT", FieldType::Logical),
                    text("Skupina", 3),
                    typed("DatumUhOd", FieldType::Date),
                    typed("DatumUhDo", FieldType::Date),
                    typed("Ukoncene", FieldType::Logical),
                    typed("Platne", FieldType::Logical),
                    text("P_jmeno", 15),
                    typed("P_kod", FieldType::Integer),
                    typed("P_DatumP", FieldType::Date),
                    typed("P_CasP", FieldType::Time),
                    text("Klic", 30),
                    text("Silnice", 1),
                    text("CSilnice", 12),
                    text("CESTA", 100),
                    text("Tisk", 100),
                    text("OkruhP", 4),
                    text("SilniceP", 10),
                    text("OS", 2),
                    text("Import", 100),
                    text("Export", 100)};
    return {param};
}

QList<RelationDef> sharedRelations()
{
    RelationDef protokolZavady;
    protokolZavady.name = QStringLiteral("ProtokolZavady");
    protokolZavady.master = QStringLiteral("Protokol");
    protokolZavady.masterFields = ProtocolKey;
    protokolZavady.detail = QStringLiteral("Zavady");
    protokolZavady.detailFields = ProtocolKey;

    RelationDef okruhSilnice;
    okruhSilnice.name = QStringLiteral("OkruhSilnice");
    okruhSilnice.master = QStringLiteral("Okruh");
    okruhSilnice.masterFields = {QStringLiteral("OKRUH")};
    okruhSilnice.detail = QStringLiteral("Silnice");
    okruhSilnice.detailFields = {QStringLiteral("OKRUH")};

    return {protokolZavady, okruhSilnice};
}

TableDef table(const QString &name)
{
    for (const QList<TableDef> &set : {sharedTables(), localTables()})
        for (const TableDef &def : set)
            if (def.name.compare(name, Qt::CaseInsensitive) == 0)
                return def;
    throw EngineError(ErrorCode::UnknownTable, QStringLiteral("Tabulka \"%1\" neexistuje.").arg(name));
}

} // namespace lerk::schema

namespace lerk {

namespace {

QStringList ensureTables(Database &db, const QList<TableDef> &tables, const QList<RelationDef> &relations)
{
    QStringList created;
    Transaction t(db);
    for (const TableDef &def : tables) {
        if (db.hasTable(def.name))
            continue;
        db.createTable(def);
        created << def.name;
    }
    // A relation lives with its master table: a master that already existed keeps the one it has.
    for (const RelationDef &rel : relations)
        if (created.contains(rel.master, Qt::CaseInsensitive))
            db.createRelation(rel);
    t.commit();
    return created;
}

} // namespace

QStringList ensureSchema(Session &session)
{
    QStringList created =
        ensureTables(session.database(DataAlias), schema::sharedTables(), schema::sharedRelations());
    created << ensureTables(session.database(LocalAlias), schema::localTables(), {});
    return created;
}

} // namespace lerk
