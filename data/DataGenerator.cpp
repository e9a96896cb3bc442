#include "DataGenerator.h"

#include "Calendar.h"
#include "Database.h"
#include "DefaultAliases.h"
#include "EngineError.h"
#include "Schema.h"
#include "Session.h"

#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <vector>

namespace lerk {

namespace {

struct Centre
{
    const char *name;
    std::vector<const char *> towns;
};

// Centres of one regional road administration with the towns their roads run through.
const std::vector<Centre> &centres()
{
    static const std::vector<Centre> list = {
        {"Benešov",
         {"Benešov", "Vlašim", "Votice", "Sázava", "Týnec nad Sázavou", "Neveklov", "Bystřice", "Čechtice"}},
        {"Beroun",
         {"Beroun", "Hořovice", "Králův Dvůr", "Zdice", "Žebrák", "Karlštejn", "Nižbor", "Cerhovice"}},
        {"Kladno", {"Kladno", "Slaný", "Unhošť", "Buštěhrad", "Stochov", "Velvary", "Zlonice", "Smečno"}},
        {"Kolín",
         {"Kolín", "Český Brod", "Pečky", "Kouřim", "Zásmuky", "Velim", "Ovčáry", "Týnec nad Labem"}},
        {"Kutná Hora",
         {"Kutná Hora", "Čáslav", "Uhlířské Janovice", "Žleby", "Kácov", "Zbraslavice", "Vrdy", "Malín"}},
        {"Mělník",
         {"Mělník", "Neratovice", "Kralupy nad Vltavou", "Mšeno", "Liběchov", "Veltrusy", "Byšice",
          "Obříství"}},
        {"Mladá Boleslav",
         {"Mladá Boleslav", "Mnichovo Hradiště", "Bělá pod Bezdězem", "Benátky nad Jizerou", "Dobrovice",
          "Kosmonosy", "Bakov nad Jizerou", "Dolní Bousov"}},
        {"Nymburk",
         {"Nymburk", "Poděbrady", "Lysá nad Labem", "Městec Králové", "Sadská", "Rožďalovice", "Milovice",
          "Křinec"}},
        {"Praha-východ",
         {"Brandýs nad Labem", "Úvaly", "Říčany", "Čelákovice", "Odolena Voda", "Kostelec n. Č. lesy",
          "Mnichovice", "Jirny"}},
        {"Praha-západ",
         {"Černošice", "Jílové u Prahy", "Hostivice", "Rudná", "Roztoky", "Mníšek pod Brdy", "Dobřichovice",
          "Řevnice"}},
        {"Příbram",
         {"Příbram", "Dobříš", "Sedlčany", "Rožmitál pod Třemšínem", "Březnice", "Milín", "Petrovice",
          "Sedlec-Prčice"}},
        {"Rakovník",
         {"Rakovník", "Nové Strašecí", "Jesenice", "Krupá", "Lužná", "Křivoklát", "Senomaty", "Kněževes"}},
    };
    return list;
}

const char *const Surnames[] = {"Novák",   "Svoboda",  "Novotný", "Dvořák",  "Černý",   "Procházka",
                                "Kučera",  "Veselý",   "Horák",   "Němec",   "Marek",   "Pospíšil",
                                "Pokorný", "Hájek",    "Král",    "Jelínek", "Růžička", "Beneš",
                                "Fiala",   "Sedláček", "Doležal", "Zeman",   "Kolář",   "Navrátil",
                                "Čermák",  "Vaněk",    "Urban",   "Blažek",  "Kříž",    "Kovář"};
const char *const FirstNames[] = {"Jan",      "Petr",      "Josef",    "Pavel",    "Martin",
                                  "Tomáš",    "Jiří",      "Jaroslav", "Miroslav", "Zdeněk",
                                  "Václav",   "Karel",     "Milan",    "Michal",   "Luboš",
                                  "Vladimír", "Stanislav", "Ladislav", "Roman",    "František"};

struct DefectType
{
    const char *text;
    int days; // usual time allowed for the removal
};

const DefectType DefectTypes[] = {
    {"Výtluk ve vozovce", 14},
    {"Výtluky ve vozovce - souvislé", 30},
    {"Síťové trhliny v krytu vozovky", 90},
    {"Podélná trhlina v krytu vozovky", 90},
    {"Příčná trhlina v krytu vozovky", 90},
    {"Vyjeté koleje", 90},
    {"Propad vozovky", 1},
    {"Poškozený okraj vozovky", 30},
    {"Olejová skvrna na vozovce", 1},
    {"Znečištěná vozovka - bláto", 1},
    {"Znečištěná vozovka - štěrk", 1},
    {"Uvolněné kamenivo na vozovce", 7},
    {"Nerovnost vozovky u mostu", 30},
    {"Poškozená dlažba v obci", 30},
    {"Nezpevněná krajnice", 30},
    {"Vyjetá krajnice", 30},
    {"Krajnice převyšuje vozovku", 30},
    {"Zarostlá krajnice", 30},
    {"Zanesený příkop", 30},
    {"Zarostlý příkop", 30},
    {"Ucpaný propustek", 14},
    {"Poškozený propustek", 30},
    {"Ucpaná uliční vpusť", 7},
    {"Poškozená mříž uliční vpusti", 7},
    {"Poškozený odvodňovací žlab", 30},
    {"Stojící voda na vozovce", 7},
    {"Chybějící svislá dopravní značka", 1},
    {"Poškozená svislá dopravní značka", 7},
    {"Znečištěná dopravní značka", 14},
    {"Natočená dopravní značka", 7},
    {"Nečitelná směrová tabule", 30},
    {"Chybějící dodatková tabulka", 7},
    {"Dopravní značka zakrytá vegetací", 14},
    {"Opotřebované vodorovné dopravní značení", 90},
    {"Chybějící vodorovné dopravní značení", 30},
    {"Chybějící směrový sloupek", 14},
    {"Poškozený směrový sloupek", 14},
    {"Chybějící odrazka směrového sloupku", 30},
    {"Poškozené svodidlo", 7},
    {"Uvolněné svodidlo", 7},
    {"Chybějící koncovka svodidla", 14},
    {"Poškozené zábradlí mostu", 7},
    {"Poškozená mostní římsa", 90},
    {"Poškozený mostní závěr", 30},
    {"Zatékání do mostní konstrukce", 90},
    {"Poškozená opěrná zeď", 90},
    {"Sesuv svahu", 7},
    {"Uvolněné kameny na svahu", 7},
    {"Padající kameny ze skalního zářezu", 1},
    {"Nebezpečný strom u silnice", 7},
    {"Suché větve nad vozovkou", 14},
    {"Vegetace omezující rozhled", 30},
    {"Spadlý strom na vozovce", 1},
    {"Poškozený zpomalovací práh", 30},
    {"Poškozený dopravní ostrůvek", 30},
    {"Poškozený obrubník", 30},
    {"Poškozený chodník podél silnice", 30},
    {"Poškozená zastávka autobusu", 30},
    {"Poškozený kanalizační poklop", 7},
    {"Vystouplý poklop v jízdním pruhu", 7},
    {"Poškozené zábradlí podél silnice", 14},
    {"Poškozený sloup veřejného osvětlení", 14},
    {"Nefunkční světelná signalizace", 1},
    {"Poškozená protihluková stěna", 90},
    {"Poškozené oplocení silnice", 30},
    {"Černá skládka v silničním pozemku", 30},
    {"Nepovolená reklama u silnice", 30},
    {"Nepovolený sjezd na silnici", 30},
    {"Znečištěný sjezd z pole", 7},
    {"Poškozený kryt železničního přejezdu", 14},
    {"Zbytky posypového materiálu", 30},
    {"Poškozený zásobník posypového materiálu", 30},
    {"Chybějící sněhové tyče", 14},
    {"Poškozené zábrany proti sněhu", 30},
    {"Zúžený průjezdný profil", 7},
    {"Poškozené dopravní zařízení", 7},
    {"Neoznačená překážka na vozovce", 1},
    {"Neoznačené pracovní místo", 1},
    {"Poškozený kilometrovník", 30},
    {"Poškozený hektometrovník", 30},
};

const char *const Sides[] = {"vpravo ve směru staničení",
                             "vlevo ve směru staničení",
                             "obě strany silnice",
                             "v jízdním pruhu",
                             "na krajnici",
                             "v zatáčce",
                             "u křižovatky",
                             "na mostě",
                             "v obci",
                             "za železničním přejezdem"};

// Random helpers bound to one generator, so that a seed gives one sequence of data.
class Dice
{
public:
    explicit Dice(quint32 seed) : m_rng(seed) {}
    int below(int n) { return n <= 1 ? 0 : int(m_rng.bounded(quint32(n))); }
    int between(int low, int high) { return low + below(high - low + 1); } // both included
    double real() { return m_rng.generateDouble(); }
    bool chance(double p) { return real() < p; }
    template <typename T, size_t N> const T &pick(const T (&items)[N]) { return items[below(int(N))]; }

private:
    QRandomGenerator m_rng;
};

QString s(const char *text)
{
    return QString::fromUtf8(text);
}

QString cut(const QString &text, int size)
{
    return text.size() > size ? text.left(size).trimmed() : text;
}

struct Road
{
    QString roadClass;
    QString number;
};

struct Section
{
    QString okruh;
    int poradi = 0;
    QString designation;
    double kmFrom = 0;
    double kmTo = 0;
    QString from;
    QString to;
};

struct District
{
    QString os;
    QString okruh;
    QString master;
    std::vector<int> sections; // indexes into the section list
};

// A prepared INSERT reused for every row of one table.
class Inserter
{
public:
    Inserter(Database &db, const QString &table, const QStringList &fields)
        : m_db(db), m_table(table), m_query(db.connection())
    {
        QStringList columns;
        QStringList marks;
        for (const QString &f : fields) {
            columns << quoteIdentifier(f);
            marks << QStringLiteral("?");
        }
        m_query.setForwardOnly(true);
        if (!m_query.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                                 .arg(quoteIdentifier(table), columns.join(QStringLiteral(", ")),
                                      marks.join(QStringLiteral(", ")))))
            throw db.backend().translateError(m_query.lastError(), table);
    }

    void insert(std::initializer_list<QVariant> values)
    {
        int i = 0;
        for (const QVariant &v : values)
            m_query.bindValue(i++, v);
        if (!m_query.exec())
            throw m_db.backend().translateError(m_query.lastError(), m_table);
    }

private:
    Database &m_db;
    QString m_table;
    QSqlQuery m_query;
};

QVariant iso(const QDate &d)
{
    return d.isValid() ? QVariant(d.toString(Qt::ISODate)) : QVariant();
}

} // namespace

GeneratorResult generateData(Session &session, const GeneratorOptions &options,
                             const GeneratorProgress &progress)
{
    ensureSchema(session);
    Database &db = session.database(DataAlias);
    for (const char *table : {"Os", "Ciszav", "Okruh", "Silnice", "Tyden", "Protokol", "Zavady"}) {
        QSqlQuery q = db.exec(QStringLiteral("SELECT count(*) FROM ") + quoteIdentifier(s(table)));
        if (q.next() && q.value(0).toLongLong() > 0)
            throw EngineError(
                ErrorCode::General,
                QStringLiteral("Datový adresář %1 už obsahuje data (tabulka %2); generátor plní jen "
                               "prázdný adresář.")
                    .arg(db.directory(), s(table)));
    }

    const int centreCount = std::clamp(options.centres, 1, int(centres().size()));
    const int districtCount = std::max(options.districts, centreCount);
    const int sectionCount = std::max(options.sections, districtCount);
    const int typeCount = std::clamp(options.defectTypes, 1, int(std::size(DefectTypes)));
    const QDate lastDay = options.lastDay.isValid() ? options.lastDay : QDate(2024, 12, 31);
    const QDate firstDay = lastDay.addYears(-std::max(options.years, 1)).addDays(1);
    Dice dice(options.seed);
    GeneratorResult result;

    // A big page cache for the bulk load keeps the index updates in memory.
    const QVariant oldCacheSize = [&] {
        QSqlQuery q = db.exec(QStringLiteral("PRAGMA cache_size"));
        return q.next() ? q.value(0) : QVariant(-16000);
    }();
    db.exec(QStringLiteral("PRAGMA cache_size = -131072"));
    struct RestoreCache
    {
        Database &db;
        QVariant size;
        ~RestoreCache()
        {
            try {
                db.exec(QStringLiteral("PRAGMA cache_size = %1").arg(size.toLongLong()));
            } catch (...) {
            }
        }
    } restoreCache{db, oldCacheSize};

    Transaction transaction(db);

    // Centres.
    Inserter os(db, QStringLiteral("Os"), {QStringLiteral("OS"), QStringLiteral("STREDISKO")});
    QStringList centreCodes;
    for (int c = 0; c < centreCount; ++c) {
        centreCodes << QStringLiteral("%1").arg(c + 1, 2, 10, QLatin1Char('0'));
        os.insert({centreCodes.last(), s(centres()[size_t(c)].name)});
        ++result.centres;
    }

    // Defect types.
    Inserter ciszav(db, QStringLiteral("Ciszav"),
                    {QStringLiteral("DRUH"), QStringLiteral("Popis"), QStringLiteral("Vyber"),
                     QStringLiteral("Poznamka")});
    QStringList typeCodes;
    for (int t = 0; t < typeCount; ++t) {
        typeCodes << QStringLiteral("%1").arg(t + 1, 3, 10, QLatin1Char('0'));
        const DefectType &type = DefectTypes[t];
        ciszav.insert({typeCodes.last(), s(type.text), 0,
                       type.days <= 1 ? QVariant(QStringLiteral("Havarijní stav - odstranit neprodleně"))
                                      : QVariant()});
        ++result.defectTypes;
    }

    // Each centre's road network: a few class I roads, more class II, many class III.
    std::vector<std::vector<Road>> networks(static_cast<size_t>(centreCount));
    static const int FirstClassNumbers[] = {2, 3, 4, 6, 7, 9, 10, 11, 12, 16, 18, 19, 32, 38, 61};
    for (int c = 0; c < centreCount; ++c) {
        std::vector<Road> &roads = networks[size_t(c)];
        for (int i = 0; i < 2; ++i)
            roads.push_back({QStringLiteral("1"), QString::number(dice.pick(FirstClassNumbers))});
        const int base = 101 + c * 40;
        for (int i = 0; i < 8; ++i)
            roads.push_back({QStringLiteral("2"), QString::number(base + dice.below(40))});
        for (int i = 0; i < 24; ++i)
            roads.push_back(
                {QStringLiteral("3"), QString::number((base + dice.below(40)) * 100 + dice.between(1, 99))});
    }

    // Districts with their sections, in inspection order.
    Inserter okruh(db, QStringLiteral("Okruh"),
                   {QStringLiteral("OS"), QStringLiteral("OKRUH"), QStringLiteral("POCTYDEN"),
                    QStringLiteral("PRICTI"), QStringLiteral("CESTMISTR"), QStringLiteral("DELKA")});
    Inserter silnice(db, QStringLiteral("Silnice"),
                     {QStringLiteral("OKRUH"), QStringLiteral("TRIDA"), QStringLiteral("SILNICE1"),
                      QStringLiteral("PORADI"), QStringLiteral("POPIS"), QStringLiteral("Silnice")});
    Inserter tyden(db, QStringLiteral("Tyden"), {QStringLiteral("Okruh"), QStringLiteral("Tyden")});
    std::vector<District> districts;
    std::vector<Section> sections;
    static const int Intervals[] = {1, 2, 2, 2, 4, 4};
    for (int d = 0; d < districtCount; ++d) {
        const int c = d % centreCount;
        District district;
        district.os = centreCodes[c];
        district.okruh =
            cut(district.os + QStringLiteral("%1").arg(d / centreCount + 1, 2, 10, QLatin1Char('0')), 4);
        district.master = cut(s(dice.pick(Surnames)) + QLatin1Char(' ') + s(dice.pick(FirstNames)), 15);
        const std::vector<const char *> &towns = centres()[size_t(c)].towns;
        const std::vector<Road> &network = networks[size_t(c)];
        const int count = sectionCount / districtCount + (d < sectionCount % districtCount ? 1 : 0);
        double length = 0;
        int poradi = 0;
        while (poradi < count) {
            const Road &road = network[size_t(dice.below(int(network.size())))];
            const int pieces = std::min(dice.between(1, 5), count - poradi);
            double km = dice.between(0, 40) + dice.real();
            QString from = s(towns[size_t(dice.below(int(towns.size())))]);
            for (int p = 0; p < pieces; ++p) {
                Section sec;
                sec.okruh = district.okruh;
                sec.poradi = ++poradi;
                sec.designation = RoadDesignation(road.roadClass, road.number);
                sec.kmFrom = km;
                sec.kmTo = km + 0.5 + dice.real() * 7.5;
                sec.from = from;
                sec.to = s(towns[size_t(dice.below(int(towns.size())))]);
                if (sec.to == sec.from)
                    sec.to = QStringLiteral("hranice okrsku");
                length += sec.kmTo - sec.kmFrom;
                km = sec.kmTo;
                from = sec.to;
                const QString popis = dice.chance(0.2) ? QStringLiteral("průtah obcí ") + sec.from
                                                       : sec.from + QStringLiteral(" - ") + sec.to;
                silnice.insert(
                    {sec.okruh, road.roadClass, road.number, sec.poradi, cut(popis, 50), sec.designation});
                district.sections.push_back(int(sections.size()));
                sections.push_back(sec);
                ++result.sections;
            }
        }
        const int firstWeek = dice.between(1, 4);
        const int interval = dice.pick(Intervals);
        okruh.insert({district.os, district.okruh, double(firstWeek), double(interval), district.master,
                      double(qRound(length * 1000)) / 1000});
        for (int week = firstWeek; week < 53; week += interval) {
            tyden.insert({district.okruh, double(week)});
            ++result.schedules;
        }
        districts.push_back(std::move(district));
        ++result.districts;
    }

    // Protocols: a working day each, numbered per centre and year in the order of their dates.
    struct Protocol
    {
        QDate date;
        int district;
    };
    std::vector<Protocol> protocols;
    protocols.reserve(size_t(std::max(options.protocols, 0)));
    const int span = int(firstDay.daysTo(lastDay)) + 1;
    for (int i = 0; i < options.protocols; ++i) {
        QDate date = firstDay.addDays(dice.below(span));
        while (date.dayOfWeek() > 5)
            date = date.addDays(date > firstDay.addDays(3) ? -1 : 1);
        protocols.push_back({date, dice.below(int(districts.size()))});
    }
    std::stable_sort(protocols.begin(), protocols.end(),
                     [](const Protocol &a, const Protocol &b) { return a.date < b.date; });

    Inserter protokol(db, QStringLiteral("Protokol"),
                      {QStringLiteral("CISLO"), QStringLiteral("OSP"), QStringLiteral("OKRUH"),
                       QStringLiteral("DATUM"), QStringLiteral("JMENO"), QStringLiteral("PZ"),
                       QStringLiteral("PN"), QStringLiteral("OS")});
    Inserter zavady(db, QStringLiteral("Zavady"),
                    {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                     QStringLiteral("OKRUH"), QStringLiteral("SILNICE"), QStringLiteral("PORADI"),
                     QStringLiteral("USEK"), QStringLiteral("DRUH"), QStringLiteral("CAS"),
                     QStringLiteral("ODSTRANENO"), QStringLiteral("DATUMO"), QStringLiteral("ZAVADA"),
                     QStringLiteral("POPIS"), QStringLiteral("TERMINO"), QStringLiteral("KM")});
    QHash<QString, int> numbers; // next protocol number by centre and year
    const qint64 total = qint64(protocols.size());
    qint64 done = 0;
    for (const Protocol &p : protocols) {
        const District &district = districts[size_t(p.district)];
        const QString cislo = QString::number(++numbers[district.os + QString::number(p.date.year())]);
        const QVariant datum = iso(p.date);
        const QString inspector =
            dice.chance(0.8) ? district.master
                             : cut(s(dice.pick(Surnames)) + QLatin1Char(' ') + s(dice.pick(FirstNames)), 20);
        // About ten defects; now and then an inspection finds nothing.
        const int defectCount = dice.chance(0.01) ? 0 : dice.between(4, 16);
        std::vector<int> found;
        for (int k = 0; k < defectCount; ++k)
            found.push_back(district.sections[size_t(dice.below(int(district.sections.size())))]);
        std::sort(found.begin(), found.end()); // the inspector drives the district in section order
        const int age = int(p.date.daysTo(lastDay));
        const double removedShare = age > 365 ? 0.97 : age > 90 ? 0.85 : 0.5;
        int open = 0;
        for (int sectionIndex : found) {
            const Section &sec = sections[size_t(sectionIndex)];
            const int t = std::min(dice.below(typeCount), dice.below(typeCount)); // low codes are common
            const DefectType &type = DefectTypes[t];
            const double km =
                double(qRound((sec.kmFrom + dice.real() * (sec.kmTo - sec.kmFrom)) * 1000)) / 1000;
            QString usek;
            switch (dice.below(4)) {
            case 0:
                usek = QStringLiteral("v obci ") + sec.from;
                break;
            case 1:
                usek = QStringLiteral("za obcí ") + sec.from;
                break;
            case 2:
                usek = QStringLiteral("před obcí ") + sec.to;
                break;
            default:
                usek = sec.from + QStringLiteral(" - ") + sec.to;
                break;
            }
            QDate removedOn;
            if (dice.chance(removedShare)) {
                removedOn = p.date.addDays(dice.between(1, 2 * type.days + 10));
                if (removedOn > lastDay)
                    removedOn = QDate();
            }
            if (!removedOn.isValid())
                ++open;
            zavady.insert({cislo, district.os, datum, district.okruh, sec.designation, sec.poradi,
                           cut(usek, 40), typeCodes[t], QString::number(type.days),
                           removedOn.isValid() ? 1 : 0, iso(removedOn), cut(s(type.text), 70),
                           dice.chance(0.6) ? QVariant(s(dice.pick(Sides))) : QVariant(),
                           iso(p.date.addDays(type.days)), km});
            ++result.defects;
            if (removedOn.isValid())
                ++result.removed;
        }
        protokol.insert(
            {cislo, district.os, district.okruh, datum, inspector, defectCount, open, district.os});
        ++result.protocols;
        ++done;
        if (progress && (done % 1000 == 0 || done == total))
            progress(done, total);
    }

    transaction.commit();
    for (const char *table : {"Os", "Ciszav", "Okruh", "Silnice", "Tyden", "Protokol", "Zavady"})
        db.notifyChanged(s(table));
    return result;
}

} // namespace lerk
