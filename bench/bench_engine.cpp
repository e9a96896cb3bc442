// Table engine on a million defects: open with a filter and count, read all rows in order, read rows
// at random, and posts; each beside the raw SQLite statement that gives the same answer.
#include "BenchUtil.h"
#include "Database.h"
#include "Session.h"
#include "Table.h"

#include <QCoreApplication>
#include <QDir>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace lerk;

namespace {

TableDef zavadyShape()
{
    return {QStringLiteral("Zavady"),
            {{QStringLiteral("CISLO"), FieldType::Text, 5},
             {QStringLiteral("OS"), FieldType::Text, 2},
             {QStringLiteral("DATUM"), FieldType::Date, 0},
             {QStringLiteral("OKRUH"), FieldType::Text, 4},
             {QStringLiteral("IN"), FieldType::AutoInc, 0},
             {QStringLiteral("SILNICE"), FieldType::Text, 10},
             {QStringLiteral("PORADI"), FieldType::Integer, 0},
             {QStringLiteral("USEK"), FieldType::Text, 40},
             {QStringLiteral("DRUH"), FieldType::Text, 3},
             {QStringLiteral("CAS"), FieldType::Text, 3},
             {QStringLiteral("ODSTRANENO"), FieldType::Logical, 0},
             {QStringLiteral("DATUMO"), FieldType::Date, 0},
             {QStringLiteral("ZAVADA"), FieldType::Text, 70},
             {QStringLiteral("POPIS"), FieldType::Text, 45},
             {QStringLiteral("TERMINO"), FieldType::Date, 0},
             {QStringLiteral("KM"), FieldType::Number, 0}},
            {{QStringLiteral("Klic"),
              {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
               QStringLiteral("OKRUH"), QStringLiteral("IN")}}}};
}

void fill(const QString &path, int rows)
{
    bench::RawDb raw(path);
    raw.exec("BEGIN");
    sqlite3_stmt *st = nullptr;
    sqlite3_prepare_v2(
        raw.handle(),
        "INSERT INTO Zavady (CISLO, OS, DATUM, OKRUH, SILNICE, PORADI, USEK, DRUH, CAS, ODSTRANENO, "
        "DATUMO, ZAVADA, POPIS, TERMINO, KM) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
        -1, &st, nullptr);
    QRandomGenerator rng(7);
    const QDate start(2015, 1, 1);
    for (int i = 0; i < rows; ++i) {
        const int protocol = i / 10;
        const QByteArray cislo = QByteArray::number(protocol % 99999 + 1);
        const QByteArray os = QByteArray::number(protocol % 12 + 1).rightJustified(2, '0');
        const QDate datum = start.addDays((protocol * 37) % 3650);
        const QByteArray okruh = QByteArray::number(protocol % 200 + 100).rightJustified(4, '0');
        const bool removed = rng.bounded(10) < 9;
        const QByteArray d = datum.toString(Qt::ISODate).toLatin1();
        const QByteArray dOut = datum.addDays(rng.bounded(60)).toString(Qt::ISODate).toLatin1();
        const QByteArray silnice = "II/" + QByteArray::number(rng.bounded(100, 700));
        sqlite3_bind_text(st, 1, cislo.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, os.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 3, d.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 4, okruh.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 5, silnice.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 6, rng.bounded(1, 40));
        sqlite3_bind_text(st, 7, "km 12,5 - 13,1 u obce Lhota", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 8, "012", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 9, "A", -1, SQLITE_STATIC);
        sqlite3_bind_int(st, 10, removed ? 1 : 0);
        if (removed)
            sqlite3_bind_text(st, 11, dOut.constData(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_null(st, 11);
        sqlite3_bind_text(st, 12, "Výtluky v obrusné vrstvě vozovky, nutná oprava", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 13, "pravá strana", -1, SQLITE_STATIC);
        sqlite3_bind_text(st, 14, dOut.constData(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_double(st, 15, rng.bounded(100000) / 1000.0);
        sqlite3_step(st);
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    raw.exec("COMMIT");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("data"));
    const QString dataDir = tmp.filePath(QStringLiteral("data"));
    Session session(tmp.filePath(QStringLiteral("config")));
    session.aliases().add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + dataDir});
    Database &db = session.database(QStringLiteral("DevaReru"));
    db.createTable(zavadyShape());
    const QString file = db.filePath();
    bench::Report report;
    const double fillTime = bench::seconds([&] { fill(file, rows); });
    report.out << "Rows: " << rows << " (filled in " << QString::number(fillTime, 'f', 1) << " s)\n";

    bench::RawDb raw(file);
    raw.exec("PRAGMA cache_size = -32000"); // the engine's connection setting
    report.header(QStringLiteral("Table engine, %1 rows shaped like Zavady").arg(rows));

    // Warm both the same way so neither pays for the first read from disk.
    raw.scalar("SELECT count(*) FROM Zavady");

    qint64 baseCount = 0;
    const double baseOpen = bench::seconds(
        [&] { baseCount = raw.scalar("SELECT count(*) FROM Zavady WHERE ODSTRANENO = 0 AND OS = '05'"); });
    const double rssBefore = bench::residentMiB();
    Table t(session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    t.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    int ourCount = 0;
    const double ourOpen = bench::seconds([&] {
        t.setFilter(QStringLiteral("Odstraneno=False AND OS='05'"));
        t.setFiltered(true);
        t.open();
        ourCount = t.recordCount();
    });
    if (ourCount != baseCount)
        report.out << "COUNT MISMATCH " << ourCount << " vs " << baseCount << '\n';
    report.row(QStringLiteral("open with filter + count (%1 rows)").arg(ourCount), ourOpen, baseOpen,
               QStringLiteral("s"), QStringLiteral("<= 2x"));
    t.close();

    const double baseAll =
        bench::seconds([&] { raw.stepAll("SELECT * FROM Zavady ORDER BY CISLO, OS, DATUM, OKRUH, \"IN\""); });
    qint64 seen = 0;
    double rssOpen = 0;
    const double ourAll = bench::seconds([&] {
        t.setFiltered(false);
        t.open();
        rssOpen = bench::residentMiB();
        const int fields = t.fieldCount();
        for (int r = 0; r < t.recordCount(); ++r) {
            const Row &row = t.rowAt(r);
            for (int c = 0; c < fields; ++c)
                seen += row[c].isNull() ? 0 : 1;
        }
    });
    report.row(QStringLiteral("read all rows in order"), ourAll, baseAll, QStringLiteral("s"),
               QStringLiteral("<= 3x"));
    const double rssAfter = bench::residentMiB();
    report.out << "| memory of an open cursor over all rows: " << QString::number(rssOpen - rssBefore, 'f', 1)
               << " MiB after open, " << QString::number(rssAfter - rssBefore, 'f', 1)
               << " MiB after reading every row (SQLite page cache of up to 32 MiB included) | | | | <= 32 "
                  "MiB beyond the "
                  "cache |\n";

    if (qEnvironmentVariableIsSet("BENCH_READ_ONLY"))
        return 0;
    // Random reads: 100 000 positions.
    QRandomGenerator rng(3);
    const int reads = 100000;
    std::vector<int> positions(reads);
    for (int &p : positions)
        p = int(rng.bounded(t.recordCount()));
    const double ourRandom = bench::seconds([&] {
        for (int p : positions)
            t.goToRow(p);
    });
    sqlite3_stmt *byId = nullptr;
    sqlite3_prepare_v2(raw.handle(), "SELECT * FROM Zavady WHERE \"IN\" = ?", -1, &byId, nullptr);
    std::vector<qint64> ids;
    for (int p : positions)
        ids.push_back(t.bookmark().isValid() ? p + 1 : p + 1);
    const double baseRandom = bench::seconds([&] {
        for (qint64 id : ids) {
            sqlite3_bind_int64(byId, 1, id);
            if (sqlite3_step(byId) == SQLITE_ROW)
                for (int c = 0; c < 17; ++c)
                    (void)sqlite3_column_text(byId, c);
            sqlite3_reset(byId);
        }
    });
    sqlite3_finalize(byId);
    report.row(QStringLiteral("%1 random reads").arg(reads), ourRandom, baseRandom, QStringLiteral("s"),
               QStringLiteral("-"));
    t.close();

    // Posts: appends with the key order kept, in one transaction, against prepared raw INSERTs.
    const int posts = 100000;
    Table p(session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    p.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    p.setFilter(QStringLiteral("OS='99'"));
    p.setFiltered(true);
    p.open();
    Field &cislo = p.fieldByName(QStringLiteral("CISLO"));
    Field &os = p.fieldByName(QStringLiteral("OS"));
    Field &datum = p.fieldByName(QStringLiteral("DATUM"));
    Field &zavada = p.fieldByName(QStringLiteral("ZAVADA"));
    const double ourPosts = bench::seconds([&] {
        db.begin();
        for (int i = 0; i < posts; ++i) {
            p.append();
            cislo.setValue(QString::number(i % 1000));
            os.setValue(QStringLiteral("99"));
            datum.setValue(QDate(2020, 1, 1).addDays(i % 365));
            zavada.setValue(QStringLiteral("Poškozené svodidlo"));
            p.post();
        }
        db.commit();
    });
    sqlite3_stmt *ins = nullptr;
    sqlite3_prepare_v2(raw.handle(), "INSERT INTO Zavady (CISLO, OS, DATUM, ZAVADA) VALUES (?, '98', ?, ?)",
                       -1, &ins, nullptr);
    const double basePosts = bench::seconds([&] {
        raw.exec("BEGIN");
        for (int i = 0; i < posts; ++i) {
            const QByteArray c = QByteArray::number(i % 1000);
            const QByteArray d = QDate(2020, 1, 1).addDays(i % 365).toString(Qt::ISODate).toLatin1();
            sqlite3_bind_text(ins, 1, c.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 2, d.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(ins, 3, "Poškozené svodidlo", -1, SQLITE_STATIC);
            sqlite3_step(ins);
            sqlite3_reset(ins);
        }
        raw.exec("COMMIT");
    });
    sqlite3_finalize(ins);
    report.row(QStringLiteral("%1 posts (one transaction)").arg(posts), ourPosts, basePosts,
               QStringLiteral("s"), QStringLiteral("-"));
    if (p.recordCount() != posts)
        report.out << "POST COUNT MISMATCH " << p.recordCount() << '\n';
    return 0;
}
