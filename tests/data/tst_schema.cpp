// The physical tables of both directories: what ensureSchema creates and what the keys refuse.

#include "DataFixture.h"

using namespace lerk;
using namespace lerk::test;

class TestSchema : public QObject
{
    Q_OBJECT
private slots:
    void init() { f.setUp(false); }
    void cleanup() { f.tearDown(); }

    void createsEveryTableOnce();
    void storedDefinitionsMatch_data();
    void storedDefinitionsMatch();
    void uniqueKeys_data();
    void uniqueKeys();
    void logIndexes();
    void relationsRefuseDeletingMasters_data();
    void relationsRefuseDeletingMasters();

private:
    DataFixture f;
};

void TestSchema::createsEveryTableOnce()
{
    QStringList shared = f.db().tableNames();
    shared.sort();
    QCOMPARE(shared, (QStringList{"Ciszav", "Hesla", "Okruh", "Os", "Podnik", "Protokol", "ProtokolE",
                                  "Silnice", "Tyden", "Uzivatel", "Zavady", "ZavadyE"}));
    QCOMPARE(f.localDb().tableNames(), QStringList{"PARAM"});
    QVERIFY(ensureSchema(*f.session).isEmpty());

    // A table lost from a directory comes back; the others are left alone.
    f.insert(QStringLiteral("Os"), {QStringLiteral("OS")}, {{"01"}});
    f.db().dropTable(QStringLiteral("Tyden"));
    QCOMPARE(ensureSchema(*f.session), QStringList{"Tyden"});
    QCOMPARE(f.count(QStringLiteral("Os")), 1);
}

void TestSchema::storedDefinitionsMatch_data()
{
    QTest::addColumn<QString>("table");
    for (const TableDef &def : schema::sharedTables())
        QTest::newRow(qPrintable(def.name)) << def.name;
    QTest::newRow("PARAM") << "PARAM";
}

void TestSchema::storedDefinitionsMatch()
{
    QFETCH(QString, table);
    const TableDef wanted = schema::table(table);
    Database &db = table == QLatin1String("PARAM") ? f.localDb() : f.db();
    const TableDef &stored = db.tableDef(table);
    QCOMPARE(stored.fields.size(), wanted.fields.size());
    for (int i = 0; i < wanted.fields.size(); ++i) {
        QCOMPARE(stored.fields[i].name, wanted.fields[i].name);
        QCOMPARE(int(stored.fields[i].type), int(wanted.fields[i].type));
        QCOMPARE(stored.fields[i].size, wanted.fields[i].size);
    }
    QCOMPARE(stored.indexes.size(), wanted.indexes.size());
}

void TestSchema::uniqueKeys_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QVariantList>("first");
    QTest::addColumn<QVariantList>("second");
    QTest::addColumn<bool>("refused");
    QTest::newRow("centre") << "Os" << QStringList{"OS"} << QVariantList{"01"} << QVariantList{"01"} << true;
    QTest::newRow("defect type") << "Ciszav" << QStringList{"DRUH"} << QVariantList{"001"}
                                 << QVariantList{"001"} << true;
    QTest::newRow("district") << "Okruh" << QStringList{"OS", "OKRUH", "POCTYDEN"}
                              << QVariantList{"01", "0101", 1.0} << QVariantList{"01", "0101", 1.0} << true;
    QTest::newRow("district, other first week")
        << "Okruh" << QStringList{"OS", "OKRUH", "POCTYDEN"} << QVariantList{"01", "0101", 1.0}
        << QVariantList{"01", "0101", 2.0} << false;
    QTest::newRow("section") << "Silnice" << QStringList{"OKRUH", "TRIDA", "SILNICE1", "PORADI"}
                             << QVariantList{"0101", "2", "101", 1} << QVariantList{"0101", "2", "101", 1}
                             << true;
    QTest::newRow("section, other position")
        << "Silnice" << QStringList{"OKRUH", "TRIDA", "SILNICE1", "PORADI"}
        << QVariantList{"0101", "2", "101", 1} << QVariantList{"0101", "2", "101", 2} << false;
    QTest::newRow("protocol") << "Protokol" << QStringList{"CISLO", "OS", "DATUM", "OKRUH"}
                              << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"}
                              << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"} << true;
    QTest::newRow("protocol, other district") << "Protokol" << QStringList{"CISLO", "OS", "DATUM", "OKRUH"}
                                              << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"}
                                              << QVariantList{"12", "01", QDate(2008, 5, 3), "0106"} << false;
    QTest::newRow("defects of one protocol") << "Zavady" << QStringList{"CISLO", "OS", "DATUM", "OKRUH"}
                                             << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"}
                                             << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"} << false;
}

void TestSchema::uniqueKeys()
{
    QFETCH(QString, table);
    QFETCH(QStringList, fields);
    QFETCH(QVariantList, first);
    QFETCH(QVariantList, second);
    QFETCH(bool, refused);
    f.insert(table, fields, {first});
    const int code = DataFixture::errorCode([&] { f.insert(table, fields, {second}); });
    QCOMPARE(code, refused ? ErrorCode::KeyViolation : 0);
    QCOMPARE(f.count(table), refused ? 1 : 2);
}

void TestSchema::logIndexes()
{
    const QStringList fields{QStringLiteral("Jmeno"), QStringLiteral("DatumP"), QStringLiteral("CasP"),
                             QStringLiteral("Klic")};
    f.insert(QStringLiteral("Uzivatel"), fields,
             {{"Novák", QDate(2008, 5, 3), "08:00:00", "abc"},
              {"Novák", QDate(2008, 5, 4), "07:00:00", "def"},
              {"Beneš", QDate(2008, 5, 3), "09:30:00", "ghi"}});
    // KlicX is unique without regard to case; the primary key is the name with the login time.
    QCOMPARE(
        DataFixture::errorCode([&] {
            f.insert(QStringLiteral("Uzivatel"), fields, {{"Král", QDate(2008, 6, 1), "08:00:00", "ABC"}});
        }),
        ErrorCode::KeyViolation);
    QCOMPARE(
        DataFixture::errorCode([&] {
            f.insert(QStringLiteral("Uzivatel"), fields, {{"Novák", QDate(2008, 5, 3), "08:00:00", "xyz"}});
        }),
        ErrorCode::KeyViolation);

    Table log(*f.session, DataAlias, QStringLiteral("Uzivatel"));
    auto order = [&](const QString &index) {
        log.close();
        log.setIndexName(index);
        log.open();
        QStringList keys;
        for (log.first(); !log.eof(); log.next())
            keys << log.fieldByName(QStringLiteral("Klic")).asString();
        return keys;
    };
    QCOMPARE(order(QStringLiteral("Sestup")), (QStringList{"def", "ghi", "abc"}));
    QCOMPARE(order(QStringLiteral("DatumCas")), (QStringList{"abc", "ghi", "def"}));
    QCOMPARE(order(QStringLiteral("KlicX")), (QStringList{"abc", "def", "ghi"}));
    QCOMPARE(order(QStringLiteral("Primary")), (QStringList{"ghi", "abc", "def"}));
}

void TestSchema::relationsRefuseDeletingMasters_data()
{
    QTest::addColumn<QString>("master");
    QTest::addColumn<QString>("detail");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QVariantList>("key");
    QTest::newRow("protocol with defects") << "Protokol"
                                           << "Zavady" << QStringList{"CISLO", "OS", "DATUM", "OKRUH"}
                                           << QVariantList{"12", "01", QDate(2008, 5, 3), "0105"};
    QTest::newRow("district with roads") << "Okruh"
                                         << "Silnice" << QStringList{"OKRUH"} << QVariantList{"0105"};
}

void TestSchema::relationsRefuseDeletingMasters()
{
    QFETCH(QString, master);
    QFETCH(QString, detail);
    QFETCH(QStringList, fields);
    QFETCH(QVariantList, key);
    f.insert(master, fields, {key});
    f.insert(detail, fields, {key});
    Table t(*f.session, DataAlias, master);
    t.open();
    QCOMPARE(DataFixture::errorCode([&] { t.deleteRecord(); }), ErrorCode::DetailRecordsExist);
    QCOMPARE(f.count(master), 1);
    f.db().exec(QStringLiteral("DELETE FROM ") + quoteIdentifier(detail));
    t.refresh();
    t.deleteRecord();
    QCOMPARE(f.count(master), 0);
}

QTEST_GUILESS_MAIN(TestSchema)
#include "tst_schema.moc"
