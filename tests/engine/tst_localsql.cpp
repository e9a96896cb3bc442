#include "EngineError.h"
#include "EngineFixture.h"
#include "LocalSql.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

using namespace lerk;
using namespace lerk::test;

namespace {

// A file table of our own extension, so that reading a file path needs no real file format.
class FakeReader : public FileTableReader
{
public:
    TableDef definition() const override
    {
        TableDef def;
        def.name = QStringLiteral("OS");
        def.fields = {textField(QStringLiteral("OS"), 2), textField(QStringLiteral("STREDISKO"), 20),
                      field(QStringLiteral("ZALOZENO"), FieldType::Date),
                      field(QStringLiteral("AKTIVNI"), FieldType::Logical)};
        return def;
    }
    void readRows(const std::function<void(const QVariantList &)> &sink) override
    {
        sink({QStringLiteral("03"), QStringLiteral("Ostrava"), QDate(2008, 5, 3), true});
        sink({QStringLiteral("04"), QStringLiteral("Plzeň"), QDate(2008, 5, 4), false});
        sink({QStringLiteral("05"), QStringLiteral("Jihlava"), QDate(2008, 5, 3), QVariant()});
    }
};

QString typeName(FieldType type)
{
    switch (type) {
    case FieldType::Text:
        return QStringLiteral("Text");
    case FieldType::Short:
        return QStringLiteral("Short");
    case FieldType::Integer:
        return QStringLiteral("Integer");
    case FieldType::AutoInc:
        return QStringLiteral("AutoInc");
    case FieldType::Number:
        return QStringLiteral("Number");
    case FieldType::Logical:
        return QStringLiteral("Logical");
    case FieldType::Date:
        return QStringLiteral("Date");
    case FieldType::Time:
        return QStringLiteral("Time");
    }
    return {};
}

// "name Type size" per column, size only for text.
QStringList describe(const QList<ColumnInfo> &columns)
{
    QStringList out;
    for (const ColumnInfo &c : columns)
        out << c.name + QLatin1Char(' ') + typeName(c.type) +
                   (c.type == FieldType::Text ? QLatin1Char(' ') + QString::number(c.size) : QString());
    return out;
}

// Every row of every table of a database, hidden columns included: what "nothing changed" means.
QMap<QString, QStringList> snapshot(Database &db)
{
    QMap<QString, QStringList> out;
    for (const QString &table : db.tableNames())
        out.insert(table,
                   rowsAsText(selectRows(
                       db, QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(quoteIdentifier(table)))));
    return out;
}

int temporaryTableCount(Database &db)
{
    return selectValue(db, QStringLiteral("SELECT count(*) FROM sqlite_temp_master WHERE type = 'table'"))
        .toInt();
}

} // namespace

class TestLocalSql : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void statementShapes_data();
    void statementShapes();
    void copiedRowsKeepValues();
    void groupedSelect_data();
    void groupedSelect();
    void keyedPlan_data();
    void keyedPlan();
    void isSelect_data();
    void isSelect();
    void valuesFollowColumnType_data();
    void valuesFollowColumnType();
    void updateBumpsRowVersion();
    void autoIncrementOfCopies_data();
    void autoIncrementOfCopies();
    void valuesAreNeverSql_data();
    void valuesAreNeverSql();
    void filePathThroughReader_data();
    void filePathThroughReader();
    void selectFromFile();
    void tableOfAnotherAlias_data();
    void tableOfAnotherAlias();
    void errors_data();
    void errors();

private:
    std::unique_ptr<EngineFixture> m_fx;
    QString m_readerPath; // the path the fake reader was asked for
};

void TestLocalSql::init()
{
    m_fx = std::make_unique<EngineFixture>();
    tables::createSampleTables(m_fx->deva());
    m_fx->local().createTable(tables::os(QStringLiteral("OsLocal")));
    insertRows(m_fx->local(), QStringLiteral("OsLocal"), {QStringLiteral("OS"), QStringLiteral("STREDISKO")},
               {{"05", "Jihlava"}, {"06", "Zlín"}});
    m_readerPath.clear();
    m_fx->session().readers().registerReader(QStringLiteral("tst"), [this](const QString &path) {
        m_readerPath = path;
        return std::unique_ptr<FileTableReader>(new FakeReader);
    });
    QFile marker(QDir(m_fx->filesDir()).filePath(QStringLiteral("OS.TST")));
    QVERIFY(marker.open(QIODevice::WriteOnly));
}

void TestLocalSql::cleanup()
{
    m_fx.reset();
}

void TestLocalSql::statementShapes_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("affected");
    QTest::addColumn<QString>("table");
    QTest::addColumn<int>("remaining");

    const QString copyProtocol = QStringLiteral("INSERT INTO \":DevaReru:ProtokolE.db\"");
    const QString copyFields = QStringLiteral("(Cislo,OSP,Okruh,Datum,Jmeno,PZ,PN,OS)");
    const QString copySource =
        QStringLiteral("SELECT Cislo,OSP,Okruh,Datum,Jmeno,PZ,PN,OS FROM \":DevaReru:Protokol.db\"");
    const QString protocolCondition =
        QStringLiteral("WHERE Cislo='12' AND OS='01' AND OKRUH='0105' AND DATUM='3.5.2008'");

    QTest::newRow("delete all") << QStringList{"DELETE FROM OS"} << 2 << "Os" << 0;
    QTest::newRow("table name in other case") << QStringList{"DELETE FROM CisZav"} << 2 << "Ciszav" << 0;
    QTest::newRow("quoted table name") << QStringList{"DELETE FROM \"Os.DB\""} << 2 << "Os" << 0;
    QTest::newRow("alias path") << QStringList{"DELETE FROM \":DevaReru:ZAVADYE.db\""} << 1 << "ZavadyE" << 0;
    QTest::newRow("delete where") << QStringList{"DELETE FROM ZAVADY", " WHERE OS='01'"} << 4 << "Zavady"
                                  << 2;
    QTest::newRow("delete protocol with date")
        << QStringList{"DELETE FROM \":DevaReru:Zavady.db\"", protocolCondition} << 3 << "Zavady" << 3;
    QTest::newRow("copy all protocols")
        << QStringList{copyProtocol, copyFields, copySource} << 3 << "ProtokolE" << 3;
    QTest::newRow("copy protocols of OS")
        << QStringList{copyProtocol, copyFields, copySource, "WHERE OS='01'"} << 2 << "ProtokolE" << 2;
    QTest::newRow("copy one protocol")
        << QStringList{copyProtocol, copyFields, copySource, protocolCondition} << 1 << "ProtokolE" << 1;
    QTest::newRow("insert values")
        << QStringList{"INSERT INTO Os (OS, Stredisko) VALUES ('03','Ostrava'), ('04', 'Plzeň')"} << 2 << "Os"
        << 4;
    QTest::newRow("update") << QStringList{"UPDATE Zavady SET ODSTRANENO=True, DATUMO='1.6.2008'",
                                           "WHERE OS='02'"}
                            << 2 << "Zavady" << 6;
    QTest::newRow("nothing matches") << QStringList{"DELETE FROM Zavady WHERE Cislo='77'"} << 0 << "Zavady"
                                     << 6;
    QTest::newRow("trailing semicolon")
        << QStringList{"DELETE FROM Uzivatel WHERE Jmeno='Novák';"} << 2 << "Uzivatel" << 1;
}

void TestLocalSql::statementShapes()
{
    QFETCH(QStringList, lines);
    QFETCH(int, affected);
    QFETCH(QString, table);
    QFETCH(int, remaining);

    Database &db = m_fx->deva();
    QSignalSpy changed(&db, &Database::tableChanged);
    QCOMPARE(LocalSql(m_fx->session(), QStringLiteral("DevaReru")).execute(lines), affected);
    QCOMPARE(rowCount(db, table), remaining);
    // Open tables refresh only when told; a statement that touched nothing tells nobody.
    if (affected > 0) {
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().first().toString(), table);
    } else {
        QCOMPARE(changed.count(), 0);
    }
    QCOMPARE(db.transactionDepth(), 0);
}

void TestLocalSql::copiedRowsKeepValues()
{
    Database &db = m_fx->deva();
    LocalSql sql(m_fx->session(), QStringLiteral("DevaReru"));
    QCOMPARE(sql.execute({"INSERT INTO \":DevaReru:ProtokolE.db\"", "(Cislo,OSP,Okruh,Datum,Jmeno,PZ,PN,OS)",
                          "SELECT Cislo,OSP,Okruh,Datum,Jmeno,PZ,PN,OS FROM \":DevaReru:Protokol.db\""}),
             3);
    const QString columns = QStringLiteral("CISLO, OSP, OKRUH, DATUM, JMENO, PZ, PN, OS");
    QCOMPARE(
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM ProtokolE ORDER BY CISLO").arg(columns))),
        rowsAsText(selectRows(db, QStringLiteral("SELECT %1 FROM Protokol ORDER BY CISLO").arg(columns))));
}

void TestLocalSql::groupedSelect_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<QStringList>("rows");

    const QStringList listColumns = {"Cislo Text 5", "OS Text 2", "Datum Date", "Okruh Text 4"};
    // PZ counts every defect of a list, PN only those not removed: an empty ODSTRANENO is neither.
    QTest::newRow("defects per list")
        << QStringList{"SELECT Cislo,OS,Datum,Okruh,count(*) As PZ", "FROM ZAVADY",
                       "GROUP BY Cislo,OS,Datum,Okruh"}
        << (listColumns + QStringList{"PZ Integer"})
        << QStringList{"12|01|2008-05-03|0105|3", "12|01|2008-05-04|0105|1", "13|02|2008-05-04|0201|2"};
    QTest::newRow("open defects per list")
        << QStringList{"SELECT Cislo,OS,Datum,Okruh,count(*) As PN", "FROM ZAVADY", "WHERE Odstraneno=false",
                       "GROUP BY Cislo,OS,Datum,Okruh"}
        << (listColumns + QStringList{"PN Integer"})
        << QStringList{"12|01|2008-05-03|0105|1", "12|01|2008-05-04|0105|1", "13|02|2008-05-04|0201|2"};
    QTest::newRow("user names") << QStringList{"SELECT Jmeno FROM Uzivatel", "GROUP BY Jmeno"}
                                << QStringList{"Jmeno Text 20"} << QStringList{"Novák", "Svoboda"};
    QTest::newRow("roads") << QStringList{"Select Silnice", "FROM SILNICE", "GROUP BY SILNICE"}
                           << QStringList{"Silnice Text 10"} << QStringList{"I/3", "II/112"};
    QTest::newRow("aggregates ordered by alias")
        << QStringList{"SELECT OS, sum(KM) AS Delka, max(DATUM) AS Posledni, min(PORADI), count(ODSTRANENO) "
                       "AS N",
                       "FROM Zavady GROUP BY OS ORDER BY Delka DESC"}
        << QStringList{"OS Text 2", "Delka Number", "Posledni Date", "min(PORADI) Integer", "N Integer"}
        << QStringList{"01|11|2008-05-04|1|3", "02|7.25|2008-05-04|1|2"};
    QTest::newRow("distinct renamed")
        << QStringList{"SELECT DISTINCT Silnice AS Road FROM Zavady ORDER BY Road DESC"}
        << QStringList{"Road Text 10"} << QStringList{"III/1121", "II/112", "I/3"};
}

void TestLocalSql::groupedSelect()
{
    QFETCH(QStringList, lines);
    QFETCH(QStringList, columns);
    QFETCH(QStringList, rows);

    const SelectPlan plan = LocalSql(m_fx->session(), QStringLiteral("DevaReru")).planSelect(lines);
    QVERIFY(!plan.keyed);
    QCOMPARE(plan.database, &m_fx->deva());
    QCOMPARE(describe(plan.columns), columns);
    QCOMPARE(rowsAsText(selectRows(*plan.database, plan.sql.sql, plan.sql.binds)), rows);
}

void TestLocalSql::keyedPlan_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("alias");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QStringList>("order");
    QTest::addColumn<QString>("rowIds"); // the rows the plan reads, in its order

    QTest::newRow("all fields in key order")
        << QStringList{"SELECT * FROM \":DevaReru:Zavady.DB\"", "ORDER BY Okruh,Poradi,KM,Datum"}
        << "DevaReru"
        << "Zavady" << QStringList{"CISLO",  "OS",         "DATUM",  "OKRUH",  "IN", "SILNICE",
                                   "PORADI", "ODSTRANENO", "DATUMO", "ZAVADA", "KM"}
        << QStringList{"OKRUH", "PORADI", "KM", "DATUM"} << "101,104,102,103,105,106";
    QTest::newRow("fields with a condition")
        << QStringList{"SELECT Cislo, os AS OS FROM zavady WHERE Odstraneno=false ORDER BY IN DESC"}
        << "DevaReru"
        << "Zavady" << QStringList{"CISLO", "OS"} << QStringList{"IN desc"} << "106,105,104,101";
    QTest::newRow("table of another alias")
        << QStringList{"SELECT OS FROM \":LerkLO:oslocal.db\""} << "LerkLO"
        << "OsLocal" << QStringList{"OS"} << QStringList{} << "1,2";
}

void TestLocalSql::keyedPlan()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, alias);
    QFETCH(QString, table);
    QFETCH(QStringList, fields);
    QFETCH(QStringList, order);
    QFETCH(QString, rowIds);

    const SelectPlan plan = LocalSql(m_fx->session(), QStringLiteral("DevaReru")).planSelect(lines);
    QVERIFY(plan.keyed);
    Database &db = m_fx->session().database(alias);
    QCOMPARE(plan.database, &db);
    QCOMPARE(plan.table, table);
    QCOMPARE(plan.fieldNames, fields);
    QStringList planOrder;
    QStringList orderSql;
    for (const auto &[field, descending] : plan.orderBy) {
        planOrder << field + (descending ? QStringLiteral(" desc") : QString());
        orderSql << quoteIdentifier(field) + (descending ? QStringLiteral(" DESC") : QString());
    }
    QCOMPARE(planOrder, order);

    // The parts must make a statement that reads the intended rows.
    QString sql = QStringLiteral("SELECT %1 FROM %2")
                      .arg(quoteIdentifier(db.rowIdColumn(table)), quoteIdentifier(table));
    if (!plan.where.isEmpty())
        sql += QStringLiteral(" WHERE ") + plan.where.sql;
    if (!orderSql.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + orderSql.join(QStringLiteral(", "));
    QCOMPARE(rowsAsText(selectRows(db, sql, plan.where.binds)).join(QLatin1Char(',')), rowIds);
}

void TestLocalSql::isSelect_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("select");
    QTest::newRow("select") << QStringList{"SELECT Jmeno FROM Uzivatel"} << true;
    QTest::newRow("any case, split") << QStringList{"  Select Silnice", "FROM SILNICE"} << true;
    QTest::newRow("first line blank") << QStringList{"", "select *", "from Os"} << true;
    QTest::newRow("delete") << QStringList{"DELETE FROM OS"} << false;
    QTest::newRow("insert select") << QStringList{"INSERT INTO Os (OS) SELECT OS FROM Protokol"} << false;
    QTest::newRow("word starting with select") << QStringList{"SELECTED"} << false;
    QTest::newRow("nothing") << QStringList{} << false;
}

void TestLocalSql::isSelect()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, select);
    QCOMPARE(LocalSql::isSelect(lines), select);
}

void TestLocalSql::valuesFollowColumnType_data()
{
    QTest::addColumn<QString>("column");
    QTest::addColumn<QString>("literal");
    QTest::addColumn<QVariant>("stored");

    QTest::newRow("short date") << "DATUM"
                                << "'3.5.2008'" << QVariant("2008-05-03");
    QTest::newRow("ISO date") << "DATUM"
                              << "'2008-05-03'" << QVariant("2008-05-03");
    QTest::newRow("two-digit year") << "DATUM"
                                    << "'3.5.08'" << QVariant("2008-05-03");
    QTest::newRow("logical keyword") << "ODSTRANENO"
                                     << "True" << QVariant(1);
    QTest::newRow("logical text") << "ODSTRANENO"
                                  << "'false'" << QVariant(0);
    QTest::newRow("number") << "KM"
                            << "1.5" << QVariant(1.5);
    QTest::newRow("negative number") << "KM"
                                     << "-2" << QVariant(-2.0);
    QTest::newRow("decimal comma") << "KM"
                                   << "'2,75'" << QVariant(2.75);
    QTest::newRow("integer from text") << "PORADI"
                                       << "'7'" << QVariant(7);
    QTest::newRow("apostrophe") << "ZAVADA"
                                << "'it''s'" << QVariant("it's");
    QTest::newRow("number into text keeps digits") << "SILNICE"
                                                   << "012" << QVariant("012");
    QTest::newRow("null") << "DATUMO"
                          << "NULL" << QVariant();
    QTest::newRow("empty text is empty") << "ZAVADA"
                                         << "''" << QVariant();
}

void TestLocalSql::valuesFollowColumnType()
{
    QFETCH(QString, column);
    QFETCH(QString, literal);
    QFETCH(QVariant, stored);

    Database &db = m_fx->deva();
    LocalSql sql(m_fx->session(), QStringLiteral("DevaReru"));
    auto check = [&](const QString &cislo) {
        const QList<QVariantList> rows = selectRows(
            db, QStringLiteral("SELECT %1 FROM Zavady WHERE CISLO = ?").arg(quoteIdentifier(column)),
            {cislo});
        QVERIFY(!rows.isEmpty());
        for (const QVariantList &row : rows) {
            QCOMPARE(row.first().isNull(), stored.isNull());
            QCOMPARE(row.first().toString(), stored.toString());
        }
    };
    QCOMPARE(sql.execute({QStringLiteral("INSERT INTO Zavady (CISLO, OS, %1) VALUES ('99', '09', %2)")
                              .arg(column, literal)}),
             1);
    check(QStringLiteral("99"));
    QCOMPARE(sql.execute({QStringLiteral("UPDATE Zavady SET %1 = %2 WHERE CISLO='13'").arg(column, literal)}),
             2);
    check(QStringLiteral("13"));
}

void TestLocalSql::updateBumpsRowVersion()
{
    Database &db = m_fx->deva();
    QCOMPARE(LocalSql(m_fx->session(), QStringLiteral("DevaReru"))
                 .execute({"UPDATE Zavady SET ODSTRANENO=True, DATUMO='1.6.2008'", "WHERE OS='02'"}),
             2);
    QCOMPARE(
        rowsAsText(selectRows(db, "SELECT \"IN\", ODSTRANENO, DATUMO, _RowVer FROM Zavady ORDER BY \"IN\"")),
        (QStringList{"101|0|∅|0", "102|1|2008-06-01|0", "103|∅|∅|0", "104|0|∅|0", "105|1|2008-06-01|1",
                     "106|1|2008-06-01|1"}));
}

void TestLocalSql::autoIncrementOfCopies_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("numbers");

    const QString fields = QStringLiteral("CISLO,OS,DATUM,OKRUH,SILNICE,PORADI,ODSTRANENO,DATUMO,ZAVADA,KM");
    QTest::newRow("field lists") << QStringList{"INSERT INTO ZavadyE (" + fields + ")",
                                                "SELECT " + fields + " FROM Zavady ORDER BY IN"}
                                 << "1,2,3,4,5,6,7";
    QTest::newRow("no field lists") << QStringList{"INSERT INTO ZavadyE SELECT * FROM Zavady"}
                                    << "1,2,3,4,5,6,7";
    QTest::newRow("auto-increment written")
        << QStringList{"INSERT INTO ZavadyE (IN, CISLO) SELECT IN, CISLO FROM Zavady"}
        << "1,101,102,103,104,105,106";
}

void TestLocalSql::autoIncrementOfCopies()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, numbers);

    Database &db = m_fx->deva();
    QCOMPARE(LocalSql(m_fx->session(), QStringLiteral("DevaReru")).execute(lines), 6);
    QCOMPARE(rowsAsText(selectRows(db, "SELECT \"IN\" FROM ZavadyE ORDER BY \"IN\"")).join(QLatin1Char(',')),
             numbers);
    QCOMPARE(rowsAsText(selectRows(db, "SELECT CISLO FROM ZavadyE WHERE \"IN\" > 1 ORDER BY \"IN\"")),
             rowsAsText(selectRows(db, "SELECT CISLO FROM Zavady ORDER BY \"IN\"")));
}

void TestLocalSql::valuesAreNeverSql_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("affected");
    QTest::addColumn<QString>("popis"); // a description that must be stored verbatim, empty for none

    QTest::newRow("delete") << QStringList{"DELETE FROM OS WHERE OS='x''; DROP TABLE OS; --'"} << 0 << "";
    QTest::newRow("always-true attempt")
        << QStringList{"DELETE FROM Ciszav WHERE Popis='x'' OR ''1''=''1'"} << 0 << "";
    QTest::newRow("insert")
        << QStringList{"INSERT INTO Ciszav (DRUH, Popis) VALUES ('Z', '''); DROP TABLE Os; --')"} << 1
        << "'); DROP TABLE Os; --";
    QTest::newRow("update")
        << QStringList{"UPDATE Ciszav SET Popis='SELECT * FROM Os; DELETE FROM Os' WHERE DRUH='A'"} << 1
        << "SELECT * FROM Os; DELETE FROM Os";
}

void TestLocalSql::valuesAreNeverSql()
{
    QFETCH(QStringList, lines);
    QFETCH(int, affected);
    QFETCH(QString, popis);

    Database &db = m_fx->deva();
    QCOMPARE(LocalSql(m_fx->session(), QStringLiteral("DevaReru")).execute(lines), affected);
    QVERIFY(db.hasTable(QStringLiteral("Os")));
    QCOMPARE(rowCount(db, QStringLiteral("Os")), 2);
    QCOMPARE(rowCount(db, QStringLiteral("Ciszav")), 2 + (lines.first().startsWith("INSERT") ? 1 : 0));
    if (!popis.isEmpty())
        QCOMPARE(selectValue(db, "SELECT count(*) FROM Ciszav WHERE Popis = ?", {popis}).toInt(), 1);
}

void TestLocalSql::filePathThroughReader_data()
{
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QStringList>("added");

    QTest::newRow("every row") << "" << QStringList{"03|Ostrava", "04|Plzeň", "05|Jihlava"};
    // The file's own types count: a date in the short date format and a logical value.
    QTest::newRow("date and logical condition")
        << "WHERE ZALOZENO='3.5.2008' AND AKTIVNI=True" << QStringList{"03|Ostrava"};
    QTest::newRow("empty logical") << "WHERE AKTIVNI IS NULL" << QStringList{"05|Jihlava"};
}

void TestLocalSql::filePathThroughReader()
{
    QFETCH(QString, condition);
    QFETCH(QStringList, added);

    Database &db = m_fx->deva();
    // Written as on Windows: backslashes separate the directories.
    const QString windowsPath = QString(m_fx->filesDir() + QStringLiteral("/OS.TST")).replace('/', '\\');
    QStringList lines = {"INSERT INTO \":DevaReru:Os.db\"", "(OS,Stredisko)",
                         "SELECT OS,Stredisko FROM \"" + windowsPath + "\""};
    if (!condition.isEmpty())
        lines << condition;
    QCOMPARE(LocalSql(m_fx->session(), QStringLiteral("LerkLO")).execute(lines), added.size());
    QCOMPARE(m_readerPath, m_fx->filesDir() + QStringLiteral("/OS.TST"));
    QCOMPARE(rowsAsText(selectRows(db, "SELECT OS, STREDISKO FROM Os WHERE OS > '02' ORDER BY OS")), added);
    QCOMPARE(temporaryTableCount(db), 0);
}

void TestLocalSql::selectFromFile()
{
    LocalSql sql(m_fx->session(), QStringLiteral("DevaReru"));
    const QStringList lines = {"SELECT OS, Stredisko AS Nazev, ZALOZENO FROM \"" + m_fx->filesDir() +
                               "/OS.TST\" WHERE AKTIVNI=False"};
    for (int opening = 0; opening < 2; ++opening) {
        const SelectPlan plan = sql.planSelect(lines);
        QVERIFY(!plan.keyed);
        QCOMPARE(plan.database, &m_fx->deva());
        QCOMPARE(describe(plan.columns), (QStringList{"OS Text 2", "Nazev Text 20", "ZALOZENO Date"}));
        QCOMPARE(rowsAsText(selectRows(*plan.database, plan.sql.sql, plan.sql.binds)),
                 QStringList{"04|Plzeň|2008-05-04"});
        // A new opening replaces the rows the previous one loaded.
        QCOMPARE(temporaryTableCount(m_fx->deva()), 1);
    }
}

void TestLocalSql::tableOfAnotherAlias_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("defaultAlias");
    QTest::addColumn<bool>("inTransaction");
    QTest::addColumn<QString>("destAlias");
    QTest::addColumn<QString>("destTable");
    QTest::addColumn<QStringList>("rows");

    const QStringList toShared = {"INSERT INTO \":DevaReru:Os.db\" (OS,Stredisko)",
                                  "SELECT OS,Stredisko FROM \":LerkLO:OsLocal.db\" WHERE OS='05'"};
    const QStringList shared = {"01|Praha", "02|Brno", "05|Jihlava"};
    QTest::newRow("attached") << toShared << "DevaReru" << false << "DevaReru"
                              << "Os" << shared;
    QTest::newRow("default alias is neither") << toShared << "Neni" << false << "DevaReru"
                                              << "Os" << shared;
    // ATTACH is refused inside a transaction: the rows come over another way.
    QTest::newRow("inside a transaction") << toShared << "DevaReru" << true << "DevaReru"
                                          << "Os" << shared;
    QTest::newRow("into the other alias")
        << QStringList{"INSERT INTO \":LerkLO:OsLocal.db\" SELECT * FROM Os ORDER BY OS DESC"} << "DevaReru"
        << false << "LerkLO"
        << "OsLocal" << QStringList{"05|Jihlava", "06|Zlín", "02|Brno", "01|Praha"};
}

void TestLocalSql::tableOfAnotherAlias()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, defaultAlias);
    QFETCH(bool, inTransaction);
    QFETCH(QString, destAlias);
    QFETCH(QString, destTable);
    QFETCH(QStringList, rows);

    Database &dest = m_fx->session().database(destAlias);
    if (inTransaction)
        dest.begin();
    QCOMPARE(LocalSql(m_fx->session(), defaultAlias).execute(lines), rows.size() - 2);
    if (inTransaction)
        dest.commit();
    QCOMPARE(rowsAsText(selectRows(dest, QStringLiteral("SELECT OS, STREDISKO FROM %1 ORDER BY rowid")
                                             .arg(quoteIdentifier(destTable)))),
             rows);
    // Nothing stays attached or loaded after the statement.
    for (const QVariantList &schema : selectRows(dest, QStringLiteral("PRAGMA database_list")))
        QVERIFY2(schema.value(1) == QStringLiteral("main") || schema.value(1) == QStringLiteral("temp"),
                 qPrintable(schema.value(1).toString()));
    QCOMPARE(temporaryTableCount(dest), 0);
}

void TestLocalSql::errors_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("select"); // planned as a query rather than executed
    QTest::addColumn<int>("code");
    QTest::addColumn<QStringList>("mentions");

    using namespace ErrorCode;
    auto row = [](const char *name, const QStringList &lines, bool select, int code,
                  const QStringList &mentions) {
        QTest::newRow(name) << lines << select << code << mentions;
    };
    row("unknown command", {"DELET FROM OS"}, false, SqlSyntax, {"DELET"});
    row("empty statement", {""}, false, SqlSyntax, {"prázdný"});
    row("FROM missing", {"DELETE OS"}, false, SqlSyntax, {"FROM"});
    row("table missing", {"DELETE FROM"}, false, SqlSyntax, {"tabulky"});
    row("condition missing", {"DELETE FROM OS WHERE"}, false, SqlSyntax, {"WHERE"});
    row("broken condition", {"DELETE FROM OS WHERE OS="}, false, SqlSyntax, {"WHERE"});
    row("unterminated text", {"DELETE FROM OS WHERE OS='01"}, false, SqlSyntax, {"apostrof"});
    row("second statement", {"DELETE FROM OS; DROP TABLE OS"}, false, SqlSyntax, {"DROP"});
    row("alias path without table", {"DELETE FROM \":DevaReru\""}, false, SqlSyntax, {":DevaReru"});
    row("too few values", {"INSERT INTO OS (OS,Stredisko) VALUES ('03')"}, false, SqlSyntax, {"VALUES"});
    row("select gives too few", {"INSERT INTO Os SELECT OS FROM Protokol"}, false, SqlSyntax, {"SELECT"});
    row("field twice in SET", {"UPDATE Os SET OS='07', os='08'"}, false, SqlSyntax, {"OS"});
    row("select executed", {"SELECT * FROM OS"}, false, SqlSyntax, {"SELECT"});
    row("delete as query", {"DELETE FROM OS"}, true, SqlSyntax, {"SELECT"});
    row("field not grouped", {"SELECT Cislo, count(*) FROM Zavady"}, true, SqlSyntax, {"Cislo", "GROUP BY"});
    row("star with grouping", {"SELECT * FROM Zavady GROUP BY Cislo"}, true, SqlSyntax, {"*"});
    row("sum of text", {"SELECT OS, sum(ZAVADA) FROM Zavady GROUP BY OS"}, true, SqlSyntax, {"ZAVADA"});
    row("same column twice", {"SELECT OS, Cislo AS os FROM Zavady"}, true, SqlSyntax, {"os"});
    row("unknown table", {"DELETE FROM Nic"}, false, UnknownTable, {"Nic"});
    row("table of the other alias", {"DELETE FROM \":LerkLO:Os.db\""}, false, UnknownTable, {"Os", "LerkLO"});
    row("unknown alias", {"DELETE FROM \":Neni:Zavady.db\""}, false, UnknownAlias, {"Neni"});
    row("unknown field in condition", {"DELETE FROM OS WHERE Mesto='x'"}, false, UnknownField, {"Mesto"});
    row("unknown insert field", {"INSERT INTO OS (OS, Mesto) VALUES ('03','x')"}, false, UnknownField,
        {"Mesto"});
    row("unknown field in SET", {"UPDATE Os SET Mesto='x'"}, false, UnknownField, {"Mesto"});
    row("unknown selected field", {"INSERT INTO Os (OS) SELECT Kraj FROM Protokol"}, false, UnknownField,
        {"Kraj"});
    row("unknown group field", {"SELECT Jmeno FROM Uzivatel GROUP BY Prijmeni"}, true, UnknownField,
        {"Prijmeni"});
    row("unknown order field", {"SELECT * FROM Zavady ORDER BY Km2"}, true, UnknownField, {"Km2"});
    row("bad date in condition", {"DELETE FROM Zavady WHERE DATUM='31.2.2008'"}, false, InvalidValue,
        {"31.2.2008"});
    row("bad date value", {"INSERT INTO Zavady (CISLO, DATUM) VALUES ('99', '32.1.2008')"}, false,
        InvalidValue, {"32.1.2008", "DATUM"});
    row("short out of range", {"INSERT INTO Protokol (CISLO, PZ) VALUES ('99', 70000)"}, false, InvalidValue,
        {"70000", "PZ"});
    row("fraction into integer", {"UPDATE Zavady SET PORADI=1.5"}, false, InvalidValue, {"1.5", "PORADI"});
    row("not a number", {"UPDATE Zavady SET KM='daleko'"}, false, InvalidValue, {"daleko", "KM"});
    row("not logical", {"UPDATE Zavady SET ODSTRANENO='snad'"}, false, InvalidValue, {"snad", "ODSTRANENO"});
    row("too long in second row",
        {"INSERT INTO Os (OS, Stredisko) VALUES ('03','Ostrava'), ('04','Velmi dlouhé středisko X')"}, false,
        ValueTooLong, {"STREDISKO"});
    row("too long update", {"UPDATE Os SET Stredisko='Velmi dlouhé středisko X'"}, false, ValueTooLong,
        {"STREDISKO"});
    row("too long copy", {"INSERT INTO Os (OS, Stredisko) SELECT OKRUH, ZAVADA FROM Zavady WHERE OS='02'"},
        false, ValueTooLong, {"OS"});
    row("key exists", {"INSERT INTO Os (OS, Stredisko) VALUES ('05','Jihlava'), ('01','Praha 2')"}, false,
        KeyViolation, {"OS"});
    row("write into a file", {"DELETE FROM \"/tmp/dir/OS.DBF\""}, false, ReadOnly, {"/tmp/dir/OS.DBF"});
    row("missing file", {"INSERT INTO Os (OS, Stredisko) SELECT OS, Stredisko FROM \"C:\\neni\\OS.DBF\""},
        false, Io, {"C:/neni/OS.DBF"});
}

void TestLocalSql::errors()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, select);
    QFETCH(int, code);
    QFETCH(QStringList, mentions);

    Database &db = m_fx->deva();
    const auto before = snapshot(db);
    LocalSql sql(m_fx->session(), QStringLiteral("DevaReru"));
    try {
        if (select)
            sql.planSelect(lines);
        else
            sql.execute(lines);
        QFAIL("no error");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), code);
        // Every message says which statement failed, besides what was wrong in it.
        QVERIFY2(e.message().contains(lines.join(QLatin1Char(' '))), qPrintable(e.message()));
        for (const QString &m : mentions)
            QVERIFY2(e.message().contains(m), qPrintable(e.message()));
    }
    QCOMPARE(snapshot(db), before);
    QCOMPARE(db.transactionDepth(), 0);
    QCOMPARE(temporaryTableCount(db), 0);
}

QTEST_GUILESS_MAIN(TestLocalSql)
#include "tst_localsql.moc"
