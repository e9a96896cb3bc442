// The data generator, and the set-based recount checked against the per-protocol one on its data.

#include "Calendar.h"
#include "DataFixture.h"
#include "DataGenerator.h"
#include "ProtocolCounts.h"

#include <QCryptographicHash>

using namespace lerk;
using namespace lerk::test;

namespace {

// A digest of every stored value of the generated tables, row by row in key order.
QByteArray digest(Database &db)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char *table : {"Os", "Ciszav", "Okruh", "Silnice", "Tyden", "Protokol", "Zavady"}) {
        QSqlQuery q = db.exec(QStringLiteral("SELECT * FROM %1 ORDER BY 1, 2, 3, 4")
                                  .arg(quoteIdentifier(QString::fromLatin1(table))));
        while (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                hash.addData(q.value(i).toString().toUtf8() + '\x1f');
    }
    return hash.result();
}

} // namespace

class TestGenerator : public QObject
{
    Q_OBJECT
private slots:
    void init() { f.setUp(false); }
    void cleanup() { f.tearDown(); }

    void shapeOfTheData();
    void sameSeedSameData();
    void refusesADirectoryWithData();
    void setBasedRecountEqualsPerProtocol();

private:
    GeneratorOptions small(quint32 seed = 7)
    {
        GeneratorOptions o;
        o.protocols = 400;
        o.seed = seed;
        return o;
    }

    DataFixture f;
};

void TestGenerator::shapeOfTheData()
{
    qint64 lastDone = 0;
    qint64 lastTotal = 0;
    const GeneratorResult r = generateData(*f.session, small(), [&](qint64 done, qint64 total) {
        QVERIFY(done > lastDone);
        lastDone = done;
        lastTotal = total;
    });
    QCOMPARE(lastDone, 400);
    QCOMPARE(lastTotal, 400);
    QCOMPARE(r.centres, 12);
    QCOMPARE(r.districts, 200);
    QCOMPARE(r.sections, 5000);
    QCOMPARE(r.defectTypes, 80);
    QCOMPARE(r.protocols, 400);
    QCOMPARE(f.count(QStringLiteral("Os")), 12);
    QCOMPARE(f.count(QStringLiteral("Okruh")), 200);
    QCOMPARE(f.count(QStringLiteral("Silnice")), 5000);
    QCOMPARE(f.count(QStringLiteral("Ciszav")), 80);
    QCOMPARE(f.count(QStringLiteral("Protokol")), 400);
    QCOMPARE(qint64(f.count(QStringLiteral("Zavady"))), r.defects);
    QCOMPARE(qint64(f.count(QStringLiteral("Tyden"))), qint64(r.schedules));
    QVERIFY(r.defects > 8 * 400 && r.defects < 12 * 400);
    QVERIFY2(r.removed > r.defects * 7 / 10, "most defects are removed");

    // Every district has a schedule below week 53 and sections numbered from 1.
    QCOMPARE(f.count(QStringLiteral("Okruh"), QStringLiteral("OKRUH NOT IN (SELECT Okruh FROM Tyden)")), 0);
    QCOMPARE(f.count(QStringLiteral("Tyden"), QStringLiteral("Tyden >= 53 OR Tyden < 1")), 0);
    QCOMPARE(f.count(QStringLiteral("Silnice"), QStringLiteral("OKRUH NOT IN (SELECT OKRUH FROM Okruh)")), 0);
    QCOMPARE(f.count(QStringLiteral("Silnice"), QStringLiteral("TRIDA NOT IN ('1', '2', '3')")), 0);
    // Stored designations agree with the rule.
    QSqlQuery roads = f.db().exec(QStringLiteral("SELECT TRIDA, SILNICE1, Silnice FROM Silnice"));
    while (roads.next())
        QCOMPARE(roads.value(2).toString(),
                 RoadDesignation(roads.value(0).toString(), roads.value(1).toString()));
    // A defect names its section's designation and belongs to an existing protocol.
    QCOMPARE(f.count(QStringLiteral("Zavady"),
                     QStringLiteral(
                         "SILNICE IS NOT (SELECT s.Silnice FROM Silnice s WHERE s.OKRUH = Zavady.OKRUH AND "
                         "s.PORADI = Zavady.PORADI)")),
             0);
    QCOMPARE(
        f.count(QStringLiteral("Zavady"),
                QStringLiteral("NOT EXISTS (SELECT 1 FROM Protokol p WHERE p.CISLO = Zavady.CISLO AND p.OS = "
                               "Zavady.OS AND p.DATUM = Zavady.DATUM AND p.OKRUH = Zavady.OKRUH)")),
        0);
    // Removed defects have a later removal date; the others none.
    QCOMPARE(f.count(QStringLiteral("Zavady"),
                     QStringLiteral("ODSTRANENO = 1 AND (DATUMO IS NULL OR DATUMO <= DATUM)")),
             0);
    QCOMPARE(f.count(QStringLiteral("Zavady"), QStringLiteral("ODSTRANENO = 0 AND DATUMO IS NOT NULL")), 0);
    // Ten years of protocols.
    QCOMPARE(f.value(QStringLiteral(
                         "SELECT min(DATUM) >= '2015-01-01' AND max(DATUM) <= '2024-12-31' FROM Protokol"))
                 .toInt(),
             1);
    QVERIFY(f.value(QStringLiteral("SELECT count(DISTINCT substr(DATUM, 1, 4)) FROM Protokol")).toInt() ==
            10);
    // The counts are right as generated.
    QCOMPARE(recountAllProtocols(f.db()), 0);
}

void TestGenerator::sameSeedSameData()
{
    generateData(*f.session, small(11));
    const QByteArray first = digest(f.db());
    f.setUp(false);
    generateData(*f.session, small(11));
    QCOMPARE(digest(f.db()), first);
    f.setUp(false);
    generateData(*f.session, small(12));
    QVERIFY(digest(f.db()) != first);
}

void TestGenerator::refusesADirectoryWithData()
{
    f.insert(QStringLiteral("Os"), {QStringLiteral("OS")}, {{"01"}});
    QCOMPARE(DataFixture::errorCode([&] { generateData(*f.session, small()); }), ErrorCode::General);
    QCOMPARE(f.count(QStringLiteral("Os")), 1);
    QCOMPARE(f.count(QStringLiteral("Protokol")), 0);
}

void TestGenerator::setBasedRecountEqualsPerProtocol()
{
    GeneratorOptions o = small(3);
    o.protocols = 150;
    generateData(*f.session, o);
    // Defects with an empty removal mark, and a protocol without defects, on top of what the generator makes.
    f.db().exec(QStringLiteral("UPDATE Zavady SET ODSTRANENO = NULL WHERE \"IN\" % 7 = 0"));
    f.insertProtocol("99", "01", QDate(2020, 2, 3), "0101", 5, 5);
    f.dm = std::make_unique<TDataModule1>(*f.session, f.ui);

    Table &p = f.dm->ProtokolTable;
    p.open();
    QHash<qlonglong, QPair<qlonglong, qlonglong>> expected;
    for (p.first(); !p.eof(); p.next()) {
        f.dm->RecountProtocol();
        expected.insert(p.bookmark().toLongLong(), {p.fieldByName(QStringLiteral("PZ")).asInteger(),
                                                    p.fieldByName(QStringLiteral("PN")).asInteger()});
    }
    p.checkBrowseMode();
    QCOMPARE(expected.size(), 151);

    f.db().exec(QStringLiteral("UPDATE Protokol SET PZ = 999, PN = NULL"));
    p.refresh();
    QCOMPARE(f.dm->RecountAllProtocols(), 151);
    QSqlQuery q = f.db().exec(QStringLiteral("SELECT _RowId, PZ, PN FROM Protokol"));
    int checked = 0;
    while (q.next()) {
        const auto want = expected.value(q.value(0).toLongLong());
        QCOMPARE(q.value(1).toLongLong(), want.first);
        QCOMPARE(q.value(2).toLongLong(), want.second);
        ++checked;
    }
    QCOMPARE(checked, 151);
    // The open table shows the new counts.
    QVERIFY(p.locate(QStringLiteral("CISLO"), {QStringLiteral("99")}));
    QCOMPARE(p.fieldByName(QStringLiteral("PZ")).asInteger(), 0);
}

QTEST_GUILESS_MAIN(TestGenerator)
#include "tst_generator.moc"
