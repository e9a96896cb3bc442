// The data module's objects, their set-up and its table operations.

#include "DataFixture.h"

using namespace lerk;
using namespace lerk::test;

class TestDataModule : public QObject
{
    Q_OBJECT
private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void objectsByName_data();
    void objectsByName();
    void loadingOpensOnlyTheRoadList();
    void openAndCloseTables();
    void readOnlyNeedsClosedTables();
    void readOnlyTablesRefuseEdits_data();
    void readOnlyTablesRefuseEdits();
    void paramAndLogStayWritable();
    void reportDataSets();
    void queryStatements();
    void fieldLists();
    void labelsAndFormats_data();
    void labelsAndFormats();
    void lookups();

private:
    Field &field(DataSet &d, const char *name) { return d.fieldByName(QString::fromLatin1(name)); }
    const QList<Table *> sevenTables()
    {
        return {&f.dm->PodnikTable, &f.dm->OSTable,       &f.dm->OkruhTable, &f.dm->SilniceTable,
                &f.dm->CDruhTable,  &f.dm->ProtokolTable, &f.dm->ZavadyTable};
    }
    const QList<Table *> nineTables()
    {
        return {&f.dm->ParamTable, &f.dm->UzivatelTable, &f.dm->PodnikTable,
                &f.dm->OSTable,    &f.dm->OkruhTable,    &f.dm->SilniceTable,
                &f.dm->CDruhTable, &f.dm->ProtokolTable, &f.dm->ZavadyTable};
    }

    DataFixture f;
};

void TestDataModule::objectsByName_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("dataSet");
    QTest::addColumn<QString>("table"); // empty for queries
    QTest::newRow("Param") << "ParamSource"
                           << "ParamTable"
                           << "PARAM";
    QTest::newRow("Uzivatel") << "UzivatelSource"
                              << "UzivatelTable"
                              << "Uzivatel";
    QTest::newRow("Podnik") << "PodnikSource"
                            << "PodnikTable"
                            << "Podnik";
    QTest::newRow("OS") << "OSSource"
                        << "OSTable"
                        << "Os";
    QTest::newRow("CDruh") << "CDruhSource"
                           << "CDruhTable"
                           << "Ciszav";
    QTest::newRow("Okruh") << "OkruhSource"
                           << "OkruhTable"
                           << "Okruh";
    QTest::newRow("Silnice") << "SilniceSource"
                             << "SilniceTable"
                             << "Silnice";
    QTest::newRow("SilniceV") << "SilniceVSource"
                              << "SilniceVTable"
                              << "Silnice";
    QTest::newRow("Tyden") << "TydenSource"
                           << "TydenTable"
                           << "Tyden";
    QTest::newRow("Protokol") << "ProtokolSource"
                              << "ProtokolTable"
                              << "Protokol";
    QTest::newRow("Zavady") << "ZavadySource"
                            << "ZavadyTable"
                            << "Zavady";
    QTest::newRow("Pocet") << "PocetSource"
                           << "PocetQuery"
                           << "";
    QTest::newRow("PocetN") << "PocetNSource"
                            << "PocetNQuery"
                            << "";
    QTest::newRow("ZavadyQ") << "ZavadyQSource"
                             << "ZavadyQuery"
                             << "";
}

void TestDataModule::objectsByName()
{
    QFETCH(QString, source);
    QFETCH(QString, dataSet);
    QFETCH(QString, table);
    auto *s = f.dm->findChild<DataSource *>(source);
    QVERIFY(s);
    DataSet *d = f.dm->findChild<DataSet *>(dataSet);
    QVERIFY(d);
    QCOMPARE(s->dataSet(), d);
    if (table.isEmpty()) {
        QVERIFY(qobject_cast<Query *>(d));
    } else {
        auto *t = qobject_cast<Table *>(d);
        QVERIFY(t);
        QCOMPARE(t->tableName(), table);
    }
}

void TestDataModule::loadingOpensOnlyTheRoadList()
{
    for (DataSet *d : f.dm->findChildren<DataSet *>())
        QCOMPARE(d->isActive(), d == &f.dm->SilniceVTable);
}

void TestDataModule::openAndCloseTables()
{
    f.dm->OpenTables();
    f.dm->OpenTables(); // open tables stay open
    for (Table *t : nineTables())
        QVERIFY2(t->isActive(), qPrintable(t->objectName()));
    QVERIFY(!f.dm->TydenTable.isActive());
    QVERIFY(!f.dm->PocetQuery.isActive());
    QVERIFY(!f.dm->ZavadyQuery.isActive());

    f.dm->CloseTables();
    for (Table *t : nineTables())
        QVERIFY2(!t->isActive(), qPrintable(t->objectName()));
    QVERIFY(f.dm->SilniceVTable.isActive());
}

void TestDataModule::readOnlyNeedsClosedTables()
{
    f.dm->OpenTables();
    QCOMPARE(DataFixture::errorCode([&] { f.dm->SetReadOnlyTables(); }), ErrorCode::WrongState);
}

void TestDataModule::readOnlyTablesRefuseEdits_data()
{
    QTest::addColumn<QString>("component");
    for (const char *name : {"PodnikTable", "OSTable", "OkruhTable", "SilniceTable", "CDruhTable",
                             "ProtokolTable", "ZavadyTable"})
        QTest::newRow(name) << QString::fromLatin1(name);
}

void TestDataModule::readOnlyTablesRefuseEdits()
{
    QFETCH(QString, component);
    Table *t = f.dm->findChild<Table *>(component);
    QVERIFY(t);
    f.db().exec(QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(quoteIdentifier(t->tableName())));
    f.dm->CloseTables();
    f.dm->SetReadOnlyTables();
    f.dm->OpenTables();
    QVERIFY(t->isReadOnly());
    QCOMPARE(t->recordCount(), 1);
    QCOMPARE(DataFixture::errorCode([&] { t->edit(); }), ErrorCode::ReadOnly);
    QCOMPARE(DataFixture::errorCode([&] { t->append(); }), ErrorCode::ReadOnly);
    QCOMPARE(DataFixture::errorCode([&] { t->deleteRecord(); }), ErrorCode::ReadOnly);
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(f.count(t->tableName()), 1);
    // The mark stays for the rest of the run.
    f.dm->CloseTables();
    f.dm->OpenTables();
    QCOMPARE(DataFixture::errorCode([&] { t->edit(); }), ErrorCode::ReadOnly);
}

void TestDataModule::paramAndLogStayWritable()
{
    pinToday(QDate(2008, 5, 3));
    f.dm->CloseTables();
    f.dm->SetReadOnlyTables();
    f.dm->OpenTables();
    QVERIFY(!f.dm->ParamTable.isReadOnly());
    QVERIFY(!f.dm->UzivatelTable.isReadOnly());

    // An empty PARAM gets its one record at the first edit.
    Table &param = f.dm->ParamTable;
    param.edit();
    field(param, "P_jmeno").setValue(QStringLiteral("Novák"));
    field(param, "P_kod").setValue(1);
    param.post();
    param.edit();
    field(param, "P_kod").setValue(2);
    param.post();
    QSqlQuery q = f.localDb().exec(QStringLiteral("SELECT count(*), max(P_jmeno), max(P_kod) FROM PARAM"));
    QVERIFY(q.next());
    QCOMPARE(q.value(0).toInt(), 1);
    QCOMPARE(q.value(1).toString(), QStringLiteral("Novák"));
    QCOMPARE(q.value(2).toInt(), 2);

    Table &log = f.dm->UzivatelTable;
    log.append();
    field(log, "Jmeno").setValue(QStringLiteral("Novák"));
    field(log, "DatumP").setValue(QDate(2008, 5, 3));
    field(log, "CasP").setValue(QTime(8, 15));
    field(log, "Klic").setValue(QStringLiteral("3.5.2008 8:15:00Novák"));
    log.post();
    log.edit();
    field(log, "CasU").setValue(QTime(16, 0));
    log.post();
    QCOMPARE(f.count(QStringLiteral("Uzivatel"), QStringLiteral("CasU = '16:00:00'")), 1);
}

void TestDataModule::reportDataSets()
{
    const struct
    {
        const char *name;
        DataSet *dataSet;
        bool currentOnly;
    } expected[] = {{"Silnice", &f.dm->SilniceTable, false}, {"Protokol", &f.dm->ProtokolTable, true},
                    {"Tyden", &f.dm->TydenTable, false},     {"Okruh", &f.dm->OkruhTable, true},
                    {"Zavady", &f.dm->ZavadyTable, false},   {"ZavadyQ", &f.dm->ZavadyQuery, false}};
    QCOMPARE(f.dm->reportDataSets().size(), int(std::size(expected)));
    for (const auto &e : expected) {
        const auto r = f.dm->reportDataSet(QString::fromLatin1(e.name));
        QVERIFY2(r, e.name);
        QCOMPARE(r->dataSet(), e.dataSet);
        QCOMPARE(r->currentRecordOnly, e.currentOnly);
    }
    QVERIFY(!f.dm->reportDataSet(QStringLiteral("Hesla")));
    // A report dataset reads through its data source, so retargeting the source moves it too.
    f.dm->SilniceSource.setDataSet(&f.dm->SilniceVTable);
    QCOMPARE(f.dm->reportDataSet(QStringLiteral("Silnice"))->dataSet(), &f.dm->SilniceVTable);
}

void TestDataModule::queryStatements()
{
    QCOMPARE(f.dm->PocetQuery.sql(), (QStringList{"SELECT Cislo,OS,Datum,Okruh,count(*) As PZ", "FROM ZAVADY",
                                                  "GROUP BY Cislo,OS,Datum,Okruh"}));
    QCOMPARE(f.dm->PocetNQuery.sql(),
             (QStringList{"SELECT Cislo,OS,Datum,Okruh,count(*) As PN", "FROM ZAVADY",
                          "WHERE Odstraneno=false", "GROUP BY Cislo,OS,Datum,Okruh"}));
    QCOMPARE(f.dm->ZavadyQuery.sql(),
             (QStringList{"SELECT * FROM \":DevaReru:Zavady.DB\"", "ORDER BY Okruh,Poradi,KM,Datum"}));
    QStringList pocet;
    for (Field *fd : f.dm->PocetQuery.fields())
        pocet << fd->name();
    QCOMPARE(pocet, (QStringList{"Cislo", "OS", "Datum", "Okruh", "PZ"}));
    QVERIFY(isIntegerType(field(f.dm->PocetNQuery, "PN").type()));

    // The defect query in its order, over every defect.
    f.insert(QStringLiteral("Zavady"),
             {QStringLiteral("CISLO"), QStringLiteral("OKRUH"), QStringLiteral("PORADI")},
             {{"1", "0102", 1}, {"2", "0101", 5}, {"3", "0101", 2}});
    Query &q = f.dm->ZavadyQuery;
    q.open();
    QStringList order;
    for (q.first(); !q.eof(); q.next())
        order << field(q, "CISLO").asString();
    QCOMPARE(order, (QStringList{"3", "2", "1"}));
}

void TestDataModule::fieldLists()
{
    auto names = [](DataSet &d) {
        QStringList out;
        for (Field *fd : d.fields())
            out << fd->name();
        return out;
    };
    QCOMPARE(names(f.dm->ZavadyTable),
             (QStringList{"CISLO", "OS",       "DATUM",      "OKRUH",  "SILNICE", "PORADI", "USEK",
                          "DRUH",  "CAS",      "ODSTRANENO", "DATUMO", "ZAVADA",  "POPIS",  "TERMINO",
                          "KM",    "Silnicee", "CisZavada",  "Dnu",    "Mesic",   "Rok",    "Vyber"}));
    QCOMPARE(names(f.dm->ProtokolTable),
             (QStringList{"CISLO", "OSP", "OKRUH", "DATUM", "JMENO", "PZ", "PN", "OS", "OS_Popis", "Rok",
                          "Mesic", "Cestmistr", "Tyden"}));
    QCOMPARE(names(f.dm->SilniceVTable),
             (QStringList{"OKRUH", "PORADI", "TRIDA", "SILNICE1", "POPIS", "Silnice"}));
    QCOMPARE(names(f.dm->SilniceTable),
             (QStringList{"OKRUH", "TRIDA", "SILNICE1", "PORADI", "POPIS", "Silnice", "Silnicee"}));
    QVERIFY(f.dm->ZavadyQuery.findField(QStringLiteral("IN")));
    QCOMPARE(f.dm->ProtokolTable.indexFieldNames(), QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    QCOMPARE(f.dm->ZavadyTable.indexFieldNames(), QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    QCOMPARE(f.dm->SilniceTable.indexFieldNames(), QStringLiteral("OKRUH;PORADI"));
    QCOMPARE(f.dm->OkruhTable.indexFieldNames(), QStringLiteral("OKRUH"));
    QCOMPARE(f.dm->TydenTable.indexFieldNames(), QStringLiteral("Okruh"));
}

void TestDataModule::labelsAndFormats_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("label");
    QTest::newRow("centre name") << "OSTable"
                                 << "STREDISKO"
                                 << "Středisko";
    QTest::newRow("type description") << "CDruhTable"
                                      << "Popis"
                                      << "Popis druhu závad";
    QTest::newRow("first week") << "OkruhTable"
                                << "POCTYDEN"
                                << "Poč.týden";
    QTest::newRow("road class") << "SilniceTable"
                                << "TRIDA"
                                << "Třída";
    QTest::newRow("protocol number") << "ProtokolTable"
                                     << "CISLO"
                                     << "Číslo";
    QTest::newRow("protocol month") << "ProtokolTable"
                                    << "Mesic"
                                    << "Měsíc";
    QTest::newRow("defect protocol") << "ZavadyTable"
                                     << "CISLO"
                                     << "Protokol";
    QTest::newRow("defect removal date") << "ZavadyTable"
                                         << "DATUMO"
                                         << "Dat.odstranění";
    QTest::newRow("query number") << "ZavadyQuery"
                                  << "CISLO"
                                  << "Číslo";
    QTest::newRow("query removal date") << "ZavadyQuery"
                                        << "DATUMO"
                                        << "Datum odstranění";
    QTest::newRow("query deadline") << "ZavadyQuery"
                                    << "TERMINO"
                                    << "Termín odstranění";
    QTest::newRow("query description without label") << "ZavadyQuery"
                                                     << "POPIS"
                                                     << "POPIS";
    QTest::newRow("query days") << "ZavadyQuery"
                                << "Dnu"
                                << "Dnů";
}

void TestDataModule::labelsAndFormats()
{
    QFETCH(QString, component);
    QFETCH(QString, fieldName);
    QFETCH(QString, label);
    DataSet *d = f.dm->findChild<DataSet *>(component);
    QVERIFY(d);
    QCOMPARE(d->fieldByName(fieldName).displayLabel(), label);
}

void TestDataModule::lookups()
{
    f.insert(QStringLiteral("Os"), {QStringLiteral("OS"), QStringLiteral("STREDISKO")},
             {{"01", "Benešov"}, {"02", "Beroun"}});
    f.insert(
        QStringLiteral("Okruh"),
        {QStringLiteral("OS"), QStringLiteral("OKRUH"), QStringLiteral("CESTMISTR"), QStringLiteral("DELKA")},
        {{"01", "0105", "Novák Jan", 12.5}});
    f.insert(QStringLiteral("Ciszav"),
             {QStringLiteral("DRUH"), QStringLiteral("Popis"), QStringLiteral("Vyber")},
             {{"001", "Výtluk ve vozovce", true}});
    f.insert(QStringLiteral("Silnice"),
             {QStringLiteral("OKRUH"), QStringLiteral("PORADI"), QStringLiteral("TRIDA"),
              QStringLiteral("SILNICE1"), QStringLiteral("Silnice")},
             {{"0105", 2, "2", "101", "II/101"}});
    f.insertProtocol("12", "01", QDate(2008, 5, 3), "0105", 0, 0);
    f.insert(
        QStringLiteral("Zavady"),
        {QStringLiteral("CISLO"), QStringLiteral("OKRUH"), QStringLiteral("PORADI"), QStringLiteral("DRUH")},
        {{"12", "0105", 2, "001"}});
    f.localDb().exec(QStringLiteral("INSERT INTO PARAM (OS) VALUES ('02')"));

    f.dm->OpenTables();
    QCOMPARE(field(f.dm->ProtokolTable, "OS_Popis").asString(), QStringLiteral("Benešov"));
    QCOMPARE(field(f.dm->ProtokolTable, "Cestmistr").asString(), QStringLiteral("Novák Jan"));
    QCOMPARE(field(f.dm->OkruhTable, "OS_Popis").asString(), QStringLiteral("Benešov"));
    QCOMPARE(field(f.dm->OkruhTable, "DELKA").displayText(), QStringLiteral("12,500"));
    QCOMPARE(field(f.dm->ZavadyTable, "Silnicee").asString(), QStringLiteral("II/101"));
    QCOMPARE(field(f.dm->ZavadyTable, "CisZavada").asString(), QStringLiteral("Výtluk ve vozovce"));
    QCOMPARE(field(f.dm->ZavadyTable, "Vyber").value(), QVariant(true));
    f.dm->ZavadyQuery.open();
    QCOMPARE(field(f.dm->ZavadyQuery, "Silnicee").asString(), QStringLiteral("II/101"));

    // PARAM lies in the workstation's directory, the centres in the shared one.
    QCOMPARE(field(f.dm->ParamTable, "OS_Popis").asString(), QStringLiteral("Beroun"));
    Table &os = f.dm->OSTable;
    QVERIFY(os.locate(QStringLiteral("OS"), {QStringLiteral("02")}));
    os.edit();
    field(os, "STREDISKO").setValue(QStringLiteral("Beroun-sever"));
    os.post();
    f.dm->ParamTable.refresh();
    QCOMPARE(field(f.dm->ParamTable, "OS_Popis").asString(), QStringLiteral("Beroun-sever"));
    f.dm->ParamTable.edit();
    field(f.dm->ParamTable, "OS").setValue(QStringLiteral("01"));
    QCOMPARE(field(f.dm->ParamTable, "OS_Popis").asString(), QStringLiteral("Benešov"));
}

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
