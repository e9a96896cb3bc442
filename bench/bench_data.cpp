// The data module on generated data: generating the shared directory, recounting the protocols set-based
// and one by one, and opening the defect table with a filter and its derived fields; each beside the raw
// SQLite work that gives the same result, measured in the same run.
//
//   bench_data [protocols = 100000] [repetitions = 3]
#include "BenchUtil.h"
#include "DataGenerator.h"
#include "Database.h"
#include "DefaultAliases.h"
#include "ProtocolCounts.h"
#include "Schema.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TDataModule1.h"

#include <QCoreApplication>
#include <QDir>
#include <QHash>
#include <QTemporaryDir>
#include <algorithm>
#include <limits>
#include <memory>
#include <vector>

using namespace lerk;

namespace {

// A scratch pair of alias directories with the program's tables, as the program sets them up.
struct Env
{
    std::unique_ptr<QTemporaryDir> dir = std::make_unique<QTemporaryDir>();
    std::unique_ptr<Session> session;

    Env()
    {
        const QDir root(dir->path());
        for (const char *sub : {"config", "data", "dataLO"})
            root.mkpath(QString::fromLatin1(sub));
        session = std::make_unique<Session>(root.filePath(QStringLiteral("config")));
        session->aliases().add(DataAlias, QStringLiteral("SQLITE"),
                               {QStringLiteral("PATH=") + root.filePath(QStringLiteral("data"))});
        session->aliases().add(LocalAlias, QStringLiteral("SQLITE"),
                               {QStringLiteral("PATH=") + root.filePath(QStringLiteral("dataLO"))});
        ensureSchema(*session);
    }
    ~Env()
    {
        session.reset(); // connections go before their files
        dir.reset();
    }
    Env(const Env &) = delete;
    Env &operator=(const Env &) = delete;

    Database &db() { return session->database(DataAlias); }
};

struct Best
{
    double ours = std::numeric_limits<double>::max();
    double base = std::numeric_limits<double>::max();
};

// The machine is shared: the two sides take turns, so a change of load falls on both, and the best run of
// each counts.
Best alternate(int repetitions, const std::function<double()> &ours, const std::function<double()> &base)
{
    Best b;
    for (int i = 0; i < repetitions; ++i) {
        b.ours = std::min(b.ours, ours());
        b.base = std::min(b.base, base());
    }
    return b;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll().split(' ').mid(0, 3).join(' '))
                                       : QStringLiteral("?");
}

// Reads a file through once so that the first measured reader does not pay for the disk alone.
void warmFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return;
    while (!f.read(1 << 20).isEmpty()) {
    }
}

void prepare(sqlite3 *db, const char *sql, sqlite3_stmt **st)
{
    if (sqlite3_prepare_v2(db, sql, -1, st, nullptr) != SQLITE_OK) {
        std::fprintf(stderr, "prepare failed: %s\n  %s\n", sqlite3_errmsg(db), sql);
        std::exit(2);
    }
}

// ---------------------------------------------------------------------------------------------------
// generation baseline

// Inserts, with prepared raw statements in one transaction, the very rows the generator wrote into
// Zavady, into an empty table created by the same statements (indexes included) in a new file with the
// connection settings and page cache the generator uses. Rows are copied over in chunks whose reading
// stays outside the measured time, so the baseline pays only for binding and inserting.
double rawDefectInsert(const QString &generated, const QString &target, qint64 *rows)
{
    bench::RawDb src(generated);
    bench::RawDb dst(target);
    dst.exec("PRAGMA journal_mode = DELETE");
    dst.exec("PRAGMA synchronous = FULL");
    dst.exec("PRAGMA cache_size = -131072");
    {
        sqlite3_stmt *st = nullptr;
        prepare(src.handle(),
                "SELECT sql FROM sqlite_master WHERE tbl_name = 'Zavady' AND sql IS NOT NULL "
                "ORDER BY type = 'index'",
                &st);
        while (sqlite3_step(st) == SQLITE_ROW)
            dst.exec(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    const char *columns = "CISLO, OS, DATUM, OKRUH, SILNICE, PORADI, USEK, DRUH, CAS, ODSTRANENO, DATUMO, "
                          "ZAVADA, POPIS, TERMINO, KM";
    constexpr int Width = 15;
    sqlite3_stmt *read = nullptr;
    sqlite3_stmt *insert = nullptr;
    prepare(src.handle(), QByteArray("SELECT ") + columns + " FROM Zavady ORDER BY \"IN\"", &read);
    prepare(dst.handle(),
            QByteArray("INSERT INTO Zavady (") + columns + ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)",
            &insert);

    constexpr int Chunk = 50000;
    std::vector<sqlite3_value *> values;
    values.reserve(size_t(Chunk) * Width);
    double elapsed = 0;
    qint64 written = 0;
    elapsed += bench::seconds([&] { dst.exec("BEGIN"); });
    bool more = true;
    while (more) {
        for (sqlite3_value *v : values)
            sqlite3_value_free(v);
        values.clear();
        int n = 0;
        while (n < Chunk && (more = sqlite3_step(read) == SQLITE_ROW)) {
            for (int c = 0; c < Width; ++c)
                values.push_back(sqlite3_value_dup(sqlite3_column_value(read, c)));
            ++n;
        }
        elapsed += bench::seconds([&] {
            for (int r = 0; r < n; ++r) {
                for (int c = 0; c < Width; ++c)
                    sqlite3_bind_value(insert, c + 1, values[size_t(r) * Width + size_t(c)]);
                if (sqlite3_step(insert) != SQLITE_DONE)
                    std::fprintf(stderr, "raw insert failed: %s\n", sqlite3_errmsg(dst.handle()));
                sqlite3_reset(insert);
            }
        });
        written += n;
    }
    for (sqlite3_value *v : values)
        sqlite3_value_free(v);
    sqlite3_finalize(read);
    sqlite3_finalize(insert);
    elapsed += bench::seconds([&] { dst.exec("COMMIT"); });
    *rows = written;
    return elapsed;
}

// ---------------------------------------------------------------------------------------------------
// recount

const char *const CountAll = "SELECT \"CISLO\", \"OS\", \"DATUM\", \"OKRUH\", count(*) FROM \"Zavady\" "
                             "GROUP BY \"CISLO\", \"OS\", \"DATUM\", \"OKRUH\"";
const char *const CountOpen = "SELECT \"CISLO\", \"OS\", \"DATUM\", \"OKRUH\", count(*) FROM \"Zavady\" "
                              "WHERE \"ODSTRANENO\" = 0 GROUP BY \"CISLO\", \"OS\", \"DATUM\", \"OKRUH\"";

void spoilCounts(Database &db)
{
    db.exec(QStringLiteral("UPDATE Protokol SET PZ = NULL, PN = NULL"));
    db.notifyChanged(QStringLiteral("Protokol"));
}

// The raw form of the same set-based recount: both grouped counts into a hash by key, then an UPDATE by
// row id of every protocol whose counts differ, in one transaction.
int rawRecountWithWrites(sqlite3 *db, const QString &rowIdColumn)
{
    QHash<QByteArray, QPair<int, int>> counts;
    auto key = [](sqlite3_stmt *st) {
        QByteArray k;
        for (int c = 0; c < 4; ++c) {
            k += reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            k += '\x1f';
        }
        return k;
    };
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    for (int pass = 0; pass < 2; ++pass) {
        sqlite3_stmt *st = nullptr;
        prepare(db, pass == 0 ? CountAll : CountOpen, &st);
        while (sqlite3_step(st) == SQLITE_ROW) {
            QPair<int, int> &c = counts[key(st)];
            (pass == 0 ? c.first : c.second) = sqlite3_column_int(st, 4);
        }
        sqlite3_finalize(st);
    }
    const QByteArray id = quoteIdentifier(rowIdColumn).toUtf8();
    sqlite3_stmt *protocols = nullptr;
    prepare(db, "SELECT CISLO, OS, DATUM, OKRUH, " + id + ", PZ, PN FROM Protokol", &protocols);
    sqlite3_stmt *update = nullptr;
    const QByteArray version = quoteIdentifier(RowVersionColumn).toUtf8();
    prepare(db,
            "UPDATE Protokol SET PZ = ?, PN = ?, " + version + " = " + version + " + 1 WHERE " + id + " = ?",
            &update);
    int changed = 0;
    while (sqlite3_step(protocols) == SQLITE_ROW) {
        const QPair<int, int> c = counts.value(key(protocols));
        if (sqlite3_column_type(protocols, 5) == SQLITE_NULL ||
            sqlite3_column_type(protocols, 6) == SQLITE_NULL || sqlite3_column_int(protocols, 5) != c.first ||
            sqlite3_column_int(protocols, 6) != c.second) {
            sqlite3_bind_int(update, 1, c.first);
            sqlite3_bind_int(update, 2, c.second);
            sqlite3_bind_int64(update, 3, sqlite3_column_int64(protocols, 4));
            sqlite3_step(update);
            sqlite3_reset(update);
            ++changed;
        }
    }
    sqlite3_finalize(protocols);
    sqlite3_finalize(update);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    return changed;
}

// ---------------------------------------------------------------------------------------------------
// the filtered defect table

const char *const FirstOpenDefects =
    "SELECT z.\"IN\", s.Silnice, c.Popis, c.Vyber, "
    "CAST(julianday(coalesce(z.DATUMO, date('now', 'localtime'))) - julianday(z.DATUM) AS INTEGER), "
    "CAST(strftime('%m', z.DATUM) AS INTEGER), CAST(strftime('%Y', z.DATUM) AS INTEGER), z.* "
    "FROM Zavady z LEFT JOIN Silnice s ON s.OKRUH = z.OKRUH AND s.PORADI = z.PORADI "
    "LEFT JOIN Ciszav c ON c.DRUH = z.DRUH "
    "WHERE z.ODSTRANENO = 0 AND z.OS = '05' "
    "ORDER BY z.CISLO, z.OS, z.DATUM, z.OKRUH, z.\"IN\" LIMIT 100";

struct DerivedRow
{
    qint64 id = 0;
    QString silnice;
    QString zavada;
    bool vyber = false;
    qint64 dnu = 0;
    qint64 mesic = 0;
    qint64 rok = 0;

    bool operator==(const DerivedRow &) const = default;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int protocols = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    // Generating is long, so it runs as often as asked; the short measurements run at least five times.
    const int repetitions = std::max(argc > 2 ? QByteArray(argv[2]).toInt() : 3, 1);
    const int quick = std::max(repetitions, 5);
    bench::Report report;
    report.out << "Protocols: " << protocols << "; generation best of " << repetitions
               << " runs, the rest best of " << quick << " alternating runs; load average at start "
               << loadAverage() << '\n';
    report.out.flush();

    // --- 1. generation
    std::unique_ptr<Env> env;
    GeneratorResult generated;
    Best gen;
    qint64 copiedRows = 0;
    for (int r = 0; r < repetitions; ++r) {
        env.reset(); // one generated directory on disk at a time
        env = std::make_unique<Env>();
        GeneratorOptions options;
        options.protocols = protocols;
        options.seed = 1;
        gen.ours =
            std::min(gen.ours, bench::seconds([&] { generated = generateData(*env->session, options); }));
        const QString target = env->dir->filePath(QStringLiteral("raw-insert.sqlite"));
        gen.base = std::min(gen.base, rawDefectInsert(env->db().filePath(), target, &copiedRows));
        QFile::remove(target);
    }
    report.header(QStringLiteral("Data module on generated data: %1 protocols, %2 defects")
                      .arg(generated.protocols)
                      .arg(generated.defects));
    if (copiedRows != generated.defects)
        report.out << "ROW COUNT MISMATCH " << copiedRows << " copied vs " << generated.defects << '\n';
    report.row(QStringLiteral("generate %1 protocols (lerk: whole generator; baseline: raw prepared INSERT "
                              "of the same %2 defect rows into an identically indexed empty table, without "
                              "the protocols, code tables and random values)")
                   .arg(generated.protocols)
                   .arg(generated.defects),
               gen.ours, gen.base, QStringLiteral("s"), QStringLiteral("-"));

    // --- 2. recount
    Database &db = env->db();
    const QString file = db.filePath();
    const QString protokolId = db.rowIdColumn(QStringLiteral("Protokol"));
    warmFile(file);
    bench::RawDb raw(file);
    raw.exec("PRAGMA cache_size = -32000"); // the engine's connection setting
    raw.stepAll(CountAll);
    raw.stepAll(CountOpen);
    recountAllProtocols(db);

    // Every protocol stale: the set-based recount writes them all.
    int staleChanged = 0;
    int rawChanged = 0;
    const Best stale = alternate(
        quick,
        [&] {
            spoilCounts(db);
            return bench::seconds([&] { staleChanged = recountAllProtocols(db); });
        },
        [&] {
            spoilCounts(db);
            return bench::seconds([&] { rawChanged = rawRecountWithWrites(raw.handle(), protokolId); });
        });
    // The stored counts are the set-based recount's, for the comparison with the per-protocol one below.
    spoilCounts(db);
    recountAllProtocols(db);

    int currentChanged = -1;
    const Best current = alternate(
        quick, [&] { return bench::seconds([&] { currentChanged = recountAllProtocols(db); }); },
        [&] {
            return bench::seconds([&] {
                raw.stepAll(CountAll);
                raw.stepAll(CountOpen);
            });
        });
    // The recount must also read every protocol (a protocol without defects gets 0 and 0), which the
    // two grouped statements alone leave out; this baseline reads what the recount reads.
    const QByteArray readProtocols =
        "SELECT CISLO, OS, DATUM, OKRUH, " + protokolId.toUtf8() + ", PZ, PN FROM Protokol";
    const Best currentWithProtocols = alternate(
        quick, [&] { return bench::seconds([&] { recountAllProtocols(db); }); },
        [&] {
            return bench::seconds([&] {
                raw.stepAll(CountAll);
                raw.stepAll(CountOpen);
                raw.stepAll(readProtocols.constData());
            });
        });
    if (staleChanged != generated.protocols || rawChanged != generated.protocols || currentChanged != 0)
        report.out << "RECOUNT MISMATCH: changed " << staleChanged << " (raw " << rawChanged << ") of "
                   << generated.protocols << " stale, " << currentChanged << " when current\n";
    report.row(QStringLiteral("set-based recount of all %1 protocols, counts current (%2 changed) vs the two "
                              "grouped SELECTs over Zavady, raw")
                   .arg(generated.protocols)
                   .arg(currentChanged),
               current.ours, current.base, QStringLiteral("s"), QStringLiteral("<= 1.5x"));
    report.row(QStringLiteral("set-based recount of all %1 protocols, counts current, vs the two grouped "
                              "SELECTs and the read of every protocol, raw")
                   .arg(generated.protocols),
               currentWithProtocols.ours, currentWithProtocols.base, QStringLiteral("s"),
               QStringLiteral("<= 1.5x"));
    report.row(QStringLiteral("set-based recount, all %1 protocols stale (%2 changed) vs the same counts + "
                              "UPDATE by row id, raw")
                   .arg(generated.protocols)
                   .arg(staleChanged),
               stale.ours, stale.base, QStringLiteral("s"), QStringLiteral("-"));

    // Per protocol, as the protocol window does it, on an evenly spread sample.
    const int sampleSize = std::min(200, generated.protocols);
    ScriptedUi ui;
    Best per;
    int mismatches = 0;
    {
        TDataModule1 dm(*env->session, ui);
        Table &p = dm.ProtokolTable;
        p.open();
        const int total = p.recordCount();
        std::vector<int> sample;
        for (int i = 0; i < sampleSize; ++i)
            sample.push_back(int(qint64(i) * total / sampleSize));
        Field &pz = p.fieldByName(QStringLiteral("PZ"));
        Field &pn = p.fieldByName(QStringLiteral("PN"));

        // The raw per-protocol counts: two prepared count statements on the protocol's key.
        struct Key
        {
            QByteArray cislo, os, datum, okruh;
        };
        std::vector<Key> keys;
        for (int row : sample) {
            p.goToRow(row);
            keys.push_back({p.fieldByName(QStringLiteral("CISLO")).asString().toUtf8(),
                            p.fieldByName(QStringLiteral("OS")).asString().toUtf8(),
                            p.fieldByName(QStringLiteral("DATUM")).asDate().toString(Qt::ISODate).toUtf8(),
                            p.fieldByName(QStringLiteral("OKRUH")).asString().toUtf8()});
        }
        sqlite3_stmt *all = nullptr;
        sqlite3_stmt *open = nullptr;
        prepare(raw.handle(),
                "SELECT count(*) FROM Zavady WHERE CISLO = ? AND OS = ? AND DATUM = ? AND OKRUH = ?", &all);
        prepare(raw.handle(),
                "SELECT count(*) FROM Zavady WHERE CISLO = ? AND OS = ? AND DATUM = ? AND OKRUH = ? AND "
                "ODSTRANENO = 0",
                &open);

        per = alternate(
            quick,
            [&] {
                double t = 0;
                mismatches = 0;
                for (int row : sample) {
                    p.goToRow(row);
                    // What is stored is what the set-based recount wrote.
                    const qlonglong setPz = pz.asInteger(), setPn = pn.asInteger();
                    t += bench::seconds([&] {
                        dm.RecountProtocol();
                        p.checkBrowseMode();
                    });
                    if (pz.asInteger() != setPz || pn.asInteger() != setPn) {
                        if (++mismatches <= 5)
                            report.out << "MISMATCH protocol "
                                       << p.fieldByName(QStringLiteral("CISLO")).asString() << '/'
                                       << p.fieldByName(QStringLiteral("OS")).asString() << ": set-based "
                                       << setPz << '/' << setPn << ", per protocol " << pz.asInteger() << '/'
                                       << pn.asInteger() << '\n';
                    }
                }
                return t;
            },
            [&] {
                return bench::seconds([&] {
                    for (const Key &k : keys) {
                        for (sqlite3_stmt *st : {all, open}) {
                            sqlite3_bind_text(st, 1, k.cislo.constData(), -1, SQLITE_STATIC);
                            sqlite3_bind_text(st, 2, k.os.constData(), -1, SQLITE_STATIC);
                            sqlite3_bind_text(st, 3, k.datum.constData(), -1, SQLITE_STATIC);
                            sqlite3_bind_text(st, 4, k.okruh.constData(), -1, SQLITE_STATIC);
                            sqlite3_step(st);
                            (void)sqlite3_column_int(st, 0);
                            sqlite3_reset(st);
                        }
                    }
                });
            });
        sqlite3_finalize(all);
        sqlite3_finalize(open);
    }
    report.row(QStringLiteral("per-protocol recount (RecountProtocol + post) of %1 sampled protocols vs two "
                              "prepared count(*) by key each, raw; %2")
                   .arg(sampleSize)
                   .arg(mismatches ? QStringLiteral("%1 MISMATCH with the set-based counts").arg(mismatches)
                                   : QStringLiteral("same counts as set-based on the whole sample")),
               per.ours, per.base, QStringLiteral("s"), QStringLiteral("-"));
    report.row(QStringLiteral("per-protocol recount projected to all %1 protocols from the sample of %2 vs "
                              "the set-based recount of all (stale), both lerk")
                   .arg(generated.protocols)
                   .arg(sampleSize),
               per.ours / sampleSize * generated.protocols, stale.ours, QStringLiteral("s"),
               QStringLiteral("-"));

    // --- 3. the defect table filtered, with its derived fields
    warmFile(file);
    std::vector<DerivedRow> rawRows;
    std::vector<DerivedRow> ourRows;
    int openCount = 0;
    const Best opened = alternate(
        quick,
        [&] {
            // A new module each time: nothing of a previous opening (lookup caches, pages) carries over.
            TDataModule1 dm(*env->session, ui);
            Table &z = dm.ZavadyTable;
            std::vector<DerivedRow> rows;
            const double t = bench::seconds([&] {
                z.setFilter(QStringLiteral("Odstraneno=False AND OS='05'"));
                z.setFiltered(true);
                z.open();
                Field &dnu = z.fieldByName(QStringLiteral("Dnu"));
                Field &mesic = z.fieldByName(QStringLiteral("Mesic"));
                Field &rok = z.fieldByName(QStringLiteral("Rok"));
                Field &silnice = z.fieldByName(QStringLiteral("Silnicee"));
                Field &zavada = z.fieldByName(QStringLiteral("CisZavada"));
                Field &vyber = z.fieldByName(QStringLiteral("Vyber"));
                for (z.first(); !z.eof() && rows.size() < 100; z.next())
                    rows.push_back({z.bookmark().toLongLong(), silnice.value().toString(),
                                    zavada.value().toString(), vyber.value().toBool(),
                                    qint64(dnu.value().toDouble()), qint64(mesic.value().toDouble()),
                                    qint64(rok.value().toDouble())});
            });
            openCount = z.recordCount();
            ourRows = std::move(rows);
            return t;
        },
        [&] {
            std::vector<DerivedRow> rows;
            const double t = bench::seconds([&] {
                sqlite3_stmt *st = nullptr;
                prepare(raw.handle(), FirstOpenDefects, &st);
                const int cols = sqlite3_column_count(st);
                while (sqlite3_step(st) == SQLITE_ROW) {
                    for (int c = 0; c < cols; ++c)
                        (void)sqlite3_column_text(st, c);
                    rows.push_back(
                        {sqlite3_column_int64(st, 0),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 1))),
                         QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(st, 2))),
                         sqlite3_column_int(st, 3) != 0, sqlite3_column_int64(st, 4),
                         sqlite3_column_int64(st, 5), sqlite3_column_int64(st, 6)});
                }
                sqlite3_finalize(st);
            });
            rawRows = std::move(rows);
            return t;
        });
    int rowMismatches = rawRows.size() == ourRows.size() ? 0 : 1;
    for (size_t i = 0; i < std::min(rawRows.size(), ourRows.size()); ++i)
        if (!(rawRows[i] == ourRows[i]) && ++rowMismatches <= 3)
            report.out << "MISMATCH row " << i << ": IN " << ourRows[i].id << " vs " << rawRows[i].id << ", "
                       << ourRows[i].silnice << " vs " << rawRows[i].silnice << ", " << ourRows[i].dnu
                       << " vs " << rawRows[i].dnu << '\n';
    report.row(
        QStringLiteral("open ZavadyTable with filter Odstraneno=False AND OS='05' (%1 rows), read Dnu, "
                       "Mesic, Rok, Silnicee, CisZavada, Vyber of the first %2 vs the joined SELECT "
                       "... LIMIT 100, raw; %3")
            .arg(openCount)
            .arg(ourRows.size())
            .arg(rowMismatches ? QStringLiteral("%1 MISMATCH").arg(rowMismatches)
                               : QStringLiteral("same rows and values")),
        opened.ours, opened.base, QStringLiteral("s"), QStringLiteral("<= 2x"));
    report.out << "\nLoad average at the end: " << loadAverage() << '\n';
    return 0;
}
