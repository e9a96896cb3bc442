// Cursor semantics, events and errors of tables as the windows use them.
#include "Database.h"
#include "Query.h"
#include "Session.h"
#include "Table.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;

namespace {

TableDef protokolDef()
{
    return {
        QStringLiteral("Protokol"),
        {{QStringLiteral("CISLO"), FieldType::Text, 5},
         {QStringLiteral("OS"), FieldType::Text, 2},
         {QStringLiteral("DATUM"), FieldType::Date, 0},
         {QStringLiteral("OKRUH"), FieldType::Text, 4},
         {QStringLiteral("JMENO"), FieldType::Text, 20},
         {QStringLiteral("PZ"), FieldType::Short, 0}},
        {{QStringLiteral("Klic"),
          {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"), QStringLiteral("OKRUH")},
          true}}};
}

TableDef zavadyDef()
{
    return {QStringLiteral("Zavady"),
            {{QStringLiteral("CISLO"), FieldType::Text, 5},
             {QStringLiteral("OS"), FieldType::Text, 2},
             {QStringLiteral("DATUM"), FieldType::Date, 0},
             {QStringLiteral("OKRUH"), FieldType::Text, 4},
             {QStringLiteral("IN"), FieldType::AutoInc, 0},
             {QStringLiteral("DRUH"), FieldType::Text, 3},
             {QStringLiteral("ODSTRANENO"), FieldType::Logical, 0},
             {QStringLiteral("ZAVADA"), FieldType::Text, 70},
             {QStringLiteral("KM"), FieldType::Number, 0}},
            {{QStringLiteral("Klic"),
              {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
               QStringLiteral("OKRUH"), QStringLiteral("IN")}}}};
}

RelationDef protokolZavady()
{
    const QStringList key{QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                          QStringLiteral("OKRUH")};
    return {QStringLiteral("ProtokolZavady"), QStringLiteral("Protokol"), key, QStringLiteral("Zavady"), key};
}

struct Fixture
{
    QTemporaryDir dir;
    std::unique_ptr<Session> session;

    Fixture()
    {
        QDir(dir.path()).mkpath(QStringLiteral("data"));
        session = std::make_unique<Session>(dir.filePath(QStringLiteral("config")));
        session->aliases().add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"),
                               {QStringLiteral("PATH=") + dir.filePath(QStringLiteral("data"))});
        session->aliases().save();
        Database &db = session->database(QStringLiteral("DevaReru"));
        db.createTable(protokolDef());
        db.createTable(zavadyDef());
        db.createRelation(protokolZavady());
    }
    Database &db() { return session->database(QStringLiteral("DevaReru")); }

    void addProtokol(const QString &cislo, const QString &os, const QDate &datum, const QString &okruh)
    {
        db().exec(QStringLiteral("INSERT INTO Protokol (CISLO, OS, DATUM, OKRUH) VALUES (?, ?, ?, ?)"),
                  {cislo, os, datum.toString(Qt::ISODate), okruh});
    }
    void addZavada(const QString &cislo, const QString &os, const QDate &datum, const QString &okruh,
                   const QVariant &odstraneno = false, const QString &druh = QStringLiteral("01"))
    {
        db().exec(
            QStringLiteral(
                "INSERT INTO Zavady (CISLO, OS, DATUM, OKRUH, ODSTRANENO, DRUH) VALUES (?, ?, ?, ?, ?, ?)"),
            {cislo, os, datum.toString(Qt::ISODate), okruh, odstraneno, druh});
    }
};

const QDate May3(2008, 5, 3);

} // namespace

class TestDataSet : public QObject
{
    Q_OBJECT

private slots:
    void navigationAndStates();
    void orderByFieldListAndIndex();
    void bookmarksAndLocate();
    void insertTakesItsPlaceInTheOrder();
    void textIsCutToFieldSize();
    void fieldChangeEventOrder();
    void postErrorAnswers_data();
    void postErrorAnswers();
    void deleteErrorCascadeIsAllOrNothing();
    void masterLinkIsARange();
    void masterKeyChangeCarriesDetails();
    void staleRowIsRefused();
    void readOnlyTableRefusesEdits();
    void filterSwitchAndMalformedFilter();
    void lookupAndCalculatedFields();
    void emptyTableAndRefreshSeeOthersWrites();
    void viewNarrowsAndReordersWithoutTouchingTheFilter();
};

void TestDataSet::navigationAndStates()
{
    Fixture f;
    for (int i = 1; i <= 3; ++i)
        f.addProtokol(QString::number(i), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("protokol"));
    t.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    QCOMPARE(t.state(), DataSetState::Inactive);
    t.open();
    QCOMPARE(t.state(), DataSetState::Browse);
    QCOMPARE(t.recordCount(), 3);
    QVERIFY(t.bof());
    QCOMPARE(t.fieldByName(QStringLiteral("cislo")).asString(), QStringLiteral("1"));
    t.next();
    t.next();
    QCOMPARE(t.recNo(), 3);
    QVERIFY(!t.eof());
    t.next();
    QVERIFY(t.eof());
    QCOMPARE(t.recNo(), 3);
    t.first();
    t.prior();
    QVERIFY(t.bof());

    t.edit();
    QCOMPARE(t.state(), DataSetState::Edit);
    t.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("Novák"));
    t.cancel();
    QCOMPARE(t.state(), DataSetState::Browse);
    QVERIFY(t.fieldByName(QStringLiteral("JMENO")).isNull());

    // Moving while editing posts the record.
    t.edit();
    t.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("Dvořák"));
    t.next();
    QCOMPARE(t.state(), DataSetState::Browse);
    t.first();
    QCOMPARE(t.fieldByName(QStringLiteral("JMENO")).asString(), QStringLiteral("Dvořák"));

    // Assigning in browse state is refused with a Czech message.
    try {
        t.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("x"));
        QFAIL("assignment in browse state accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::WrongState);
    }
    t.close();
    QCOMPARE(t.state(), DataSetState::Inactive);
}

void TestDataSet::orderByFieldListAndIndex()
{
    Fixture f;
    f.addProtokol(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("1"), QStringLiteral("02"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("3"), QStringLiteral("01"), May3.addDays(1), QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setIndexFieldNames(QStringLiteral("OS;CISLO"));
    t.open();
    QStringList seen;
    for (t.first(); !t.eof(); t.next())
        seen << t.fieldByName(QStringLiteral("OS")).asString() +
                    t.fieldByName(QStringLiteral("CISLO")).asString();
    QCOMPARE(seen, (QStringList{QStringLiteral("012"), QStringLiteral("013"), QStringLiteral("021")}));
    t.setIndexName(QStringLiteral("Klic"));
    t.first();
    QCOMPARE(t.fieldByName(QStringLiteral("CISLO")).asString(), QStringLiteral("1"));
    QVERIFY(t.findKey({QStringLiteral("3")}));
    QCOMPARE(t.fieldByName(QStringLiteral("OS")).asString(), QStringLiteral("01"));
    QVERIFY(!t.findKey({QStringLiteral("9")}));
}

void TestDataSet::bookmarksAndLocate()
{
    Fixture f;
    for (int i = 1; i <= 5; ++i)
        f.addProtokol(QString::number(i), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setIndexFieldNames(QStringLiteral("CISLO"));
    t.open();
    t.moveBy(3);
    const auto mark = t.bookmark();
    t.first();
    t.gotoBookmark(mark);
    QCOMPARE(t.fieldByName(QStringLiteral("CISLO")).asString(), QStringLiteral("4"));
    QVERIFY(t.locate(QStringLiteral("CISLO;OS"), {QStringLiteral("2"), QStringLiteral("01")}));
    QCOMPARE(t.recNo(), 2);
    QVERIFY(!t.locate(QStringLiteral("CISLO"), {QStringLiteral("x")}));
    t.deleteRecord();
    QVERIFY(
        !t.bookmarkValid(t.bookmark().toLongLong() == 2 ? QVariant(qlonglong(999)) : QVariant(qlonglong(2))));
}

void TestDataSet::insertTakesItsPlaceInTheOrder()
{
    Fixture f;
    for (const char *c : {"10", "30", "50"})
        f.addProtokol(QString::fromLatin1(c), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setIndexFieldNames(QStringLiteral("CISLO"));
    t.open();
    t.last();
    t.insert();
    QCOMPARE(t.state(), DataSetState::Insert);
    t.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("20"));
    t.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral("01"));
    t.fieldByName(QStringLiteral("DATUM")).setAsString(QStringLiteral("3.5.2008"));
    t.post();
    QCOMPARE(t.recordCount(), 4);
    QCOMPARE(t.recNo(), 2);
    QCOMPARE(t.fieldByName(QStringLiteral("DATUM")).asDate(), May3);
    // Editing the order field moves the record.
    t.edit();
    t.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("60"));
    t.post();
    QCOMPARE(t.recNo(), 4);
    QStringList seen;
    for (t.first(); !t.eof(); t.next())
        seen << t.fieldByName(QStringLiteral("CISLO")).asString();
    QCOMPARE(seen, (QStringList{QStringLiteral("10"), QStringLiteral("30"), QStringLiteral("50"),
                                QStringLiteral("60")}));
}

void TestDataSet::textIsCutToFieldSize()
{
    Fixture f;
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.open();
    t.append();
    t.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("1234567"));
    QCOMPARE(t.fieldByName(QStringLiteral("CISLO")).asString(), QStringLiteral("12345"));
    t.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral("Č'Ř; DROP TABLE Protokol"));
    QCOMPARE(t.fieldByName(QStringLiteral("OS")).asString(), QStringLiteral("Č'"));
    try {
        t.fieldByName(QStringLiteral("DATUM")).setAsString(QStringLiteral("31.2.2008"));
        QFAIL("invalid date accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::InvalidValue);
        QVERIFY(e.message().contains(QStringLiteral("DATUM")));
    }
    t.post();
    QVERIFY(f.db().hasTable(QStringLiteral("Protokol")));
    QCOMPARE(t.recordCount(), 1);
}

void TestDataSet::fieldChangeEventOrder()
{
    Fixture f;
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    QStringList log;
    t.addCalculatedField(QStringLiteral("Rok"), FieldType::Integer);
    t.onCalcFields = [&](DataSet &ds) {
        const QDate d = ds.fieldByName(QStringLiteral("DATUM")).asDate();
        ds.fieldByName(QStringLiteral("Rok")).setValue(d.isValid() ? QVariant(d.year()) : QVariant());
        log << QStringLiteral("calc");
    };
    t.fieldByName(QStringLiteral("DATUM")).onValidate = [&](Field &, QVariant &v) {
        log << QStringLiteral("validate");
        if (v.isNull())
            v = QDate(2001, 1, 1);
    };
    t.fieldByName(QStringLiteral("DATUM")).onChange = [&](Field &fd) {
        // The change handler already sees the recomputed derived field.
        log << QStringLiteral("change:%1").arg(fd.dataSet().fieldByName(QStringLiteral("Rok")).asInteger());
        if (fd.dataSet().fieldByName(QStringLiteral("ZAVADA")).isNull())
            fd.dataSet().fieldByName(QStringLiteral("ZAVADA")).setValue(QStringLiteral("auto"));
    };
    t.fieldByName(QStringLiteral("ZAVADA")).onChange = [&](Field &) { log << QStringLiteral("zavada"); };
    t.open();
    t.append();
    log.clear();
    t.fieldByName(QStringLiteral("DATUM")).setValue(QDate(2008, 5, 3));
    QCOMPARE(log,
             (QStringList{QStringLiteral("validate"), QStringLiteral("calc"), QStringLiteral("change:2008"),
                          QStringLiteral("calc"), QStringLiteral("zavada")}));
    log.clear();
    t.fieldByName(QStringLiteral("DATUM")).clear();
    QCOMPARE(t.fieldByName(QStringLiteral("DATUM")).asDate(), QDate(2001, 1, 1));
    QCOMPARE(log.first(), QStringLiteral("validate"));
}

void TestDataSet::postErrorAnswers_data()
{
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("expectedCode");
    QTest::addColumn<int>("rows");
    QTest::newRow("fail") << int(DataAction::Fail) << ErrorCode::KeyViolation << 1;
    QTest::newRow("abort") << int(DataAction::Abort) << ErrorCode::Aborted << 1;
    QTest::newRow("retry") << int(DataAction::Retry) << 0 << 2;
}

void TestDataSet::postErrorAnswers()
{
    QFETCH(int, answer);
    QFETCH(int, expectedCode);
    QFETCH(int, rows);
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    int calls = 0;
    t.onPostError = [&](DataSet &ds, const EngineError &e) {
        ++calls;
        [&] { QCOMPARE(e.code(), ErrorCode::KeyViolation); }();
        if (DataAction(answer) == DataAction::Retry)
            ds.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("2")); // corrected, then retried
        return DataAction(answer);
    };
    t.open();
    t.append();
    t.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("1"));
    t.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral("01"));
    t.fieldByName(QStringLiteral("DATUM")).setValue(May3);
    t.fieldByName(QStringLiteral("OKRUH")).setValue(QStringLiteral("0105"));
    int code = 0;
    try {
        t.post();
    } catch (const EngineError &e) {
        code = e.code();
    }
    QCOMPARE(calls, 1);
    QCOMPARE(code, expectedCode);
    if (expectedCode != 0) {
        // The refused record stays in insert state with what was typed.
        QCOMPARE(t.state(), DataSetState::Insert);
        QCOMPARE(t.fieldByName(QStringLiteral("OKRUH")).asString(), QStringLiteral("0105"));
        t.cancel();
    }
    t.refresh();
    QCOMPARE(t.recordCount(), rows);
}

void TestDataSet::deleteErrorCascadeIsAllOrNothing()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    for (int i = 0; i < 3; ++i)
        f.addZavada(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addZavada(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setIndexFieldNames(QStringLiteral("CISLO"));
    t.open();
    auto zavadyCount = [&] {
        QSqlQuery q = f.db().exec(QStringLiteral("SELECT count(*) FROM Zavady"));
        q.next();
        return q.value(0).toInt();
    };

    // No handler: the engine's 9734 reaches the caller and nothing changes.
    try {
        t.deleteRecord();
        QFAIL("master with details deleted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::DetailRecordsExist);
    }
    // A handler that deletes the details and then gives up: its deletions are rolled back.
    t.onDeleteError = [&](DataSet &ds, const EngineError &) {
        f.db().exec(QStringLiteral("DELETE FROM Zavady WHERE CISLO = ?"),
                    {ds.fieldByName(QStringLiteral("CISLO")).value()});
        return DataAction::Abort;
    };
    QVERIFY_THROWS_EXCEPTION(EngineError, t.deleteRecord());
    QCOMPARE(zavadyCount(), 4);
    QCOMPARE(t.recordCount(), 2);
    // Retry after deleting the details deletes the master too, and no other protocol's defect.
    t.onDeleteError = [&](DataSet &ds, const EngineError &e) {
        [&] { QCOMPARE(e.code(), ErrorCode::DetailRecordsExist); }();
        f.db().exec(QStringLiteral("DELETE FROM Zavady WHERE CISLO = ?"),
                    {ds.fieldByName(QStringLiteral("CISLO")).value()});
        return DataAction::Retry;
    };
    t.deleteRecord();
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(zavadyCount(), 1);
    QCOMPARE(f.db().transactionDepth(), 0);
}

void TestDataSet::masterLinkIsARange()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    for (int i = 0; i < 3; ++i)
        f.addZavada(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addZavada(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table master(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    master.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    Table detail(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    detail.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    master.open();
    detail.setMasterSource(&master, QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    detail.open();
    QCOMPARE(detail.recordCount(), 3);
    master.next();
    QCOMPARE(detail.recordCount(), 1);
    // A new detail takes the master's values.
    detail.append();
    QCOMPARE(detail.fieldByName(QStringLiteral("CISLO")).asString(), QStringLiteral("2"));
    QCOMPARE(detail.fieldByName(QStringLiteral("DATUM")).asDate(), May3);
    detail.fieldByName(QStringLiteral("DRUH")).setValue(QStringLiteral("07"));
    detail.post();
    QCOMPARE(detail.recordCount(), 2);
    QVERIFY(!detail.fieldByName(QStringLiteral("IN")).isNull());
    master.first();
    QCOMPARE(detail.recordCount(), 3);
    detail.setMasterSource(nullptr, {});
    QCOMPARE(detail.recordCount(), 5);
}

void TestDataSet::masterKeyChangeCarriesDetails()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addZavada(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addZavada(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table master(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    master.open();
    master.edit();
    master.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("7"));
    master.post();
    QSqlQuery q = f.db().exec(QStringLiteral("SELECT count(*) FROM Zavady WHERE CISLO = '7'"));
    q.next();
    QCOMPARE(q.value(0).toInt(), 2);
}

void TestDataSet::staleRowIsRefused()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    // A second session is a second workstation on the same directory.
    Session other(f.dir.filePath(QStringLiteral("config")));
    Table mine(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    Table theirs(other, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    mine.open();
    theirs.open();
    theirs.edit();
    theirs.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("Jejich"));
    theirs.post();
    mine.edit();
    mine.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("Moje"));
    try {
        mine.post();
        QFAIL("stale row overwritten");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::RecordChanged);
        QVERIFY(e.message().contains(QStringLiteral("jiný uživatel")));
    }
    mine.cancel();
    mine.refresh();
    QCOMPARE(mine.fieldByName(QStringLiteral("JMENO")).asString(), QStringLiteral("Jejich"));
    mine.edit();
    mine.fieldByName(QStringLiteral("JMENO")).setValue(QStringLiteral("Moje"));
    mine.post();
    theirs.refresh();
    QCOMPARE(theirs.fieldByName(QStringLiteral("JMENO")).asString(), QStringLiteral("Moje"));
}

void TestDataSet::readOnlyTableRefusesEdits()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.open();
    QVERIFY_THROWS_EXCEPTION(EngineError, t.setReadOnly(true)); // only while closed
    t.close();
    t.setReadOnly(true);
    t.open();
    for (auto action :
         {std::function<void()>([&] { t.edit(); }), std::function<void()>([&] { t.append(); }),
          std::function<void()>([&] { t.deleteRecord(); }), std::function<void()>([&] { t.emptyTable(); })}) {
        try {
            action();
            QFAIL("edit of a read-only table accepted");
        } catch (const EngineError &e) {
            QCOMPARE(e.code(), ErrorCode::ReadOnly);
            QVERIFY(e.message().contains(QStringLiteral("jen pro čtení")));
        }
    }
    QCOMPARE(t.recordCount(), 1);
}

void TestDataSet::filterSwitchAndMalformedFilter()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("2"), QStringLiteral("02"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setFilter(QStringLiteral("OS='01'"));
    t.open();
    QCOMPARE(t.recordCount(), 2); // switched off
    t.setFiltered(true);
    QCOMPARE(t.recordCount(), 1);
    try {
        t.setFilter(QStringLiteral("OS='01"));
        QFAIL("malformed filter accepted");
    } catch (const EngineError &e) {
        QCOMPARE(e.code(), ErrorCode::FilterSyntax);
        QVERIFY(e.message().contains(QStringLiteral("OS='01")));
    }
    QCOMPARE(t.filter(), QStringLiteral("OS='01'"));
    QCOMPARE(t.recordCount(), 1);
    // An unknown field leaves the previous filter in force.
    QVERIFY_THROWS_EXCEPTION(EngineError, t.setFilter(QStringLiteral("NIC='1'")));
    QCOMPARE(t.recordCount(), 1);
    // A record posted outside the filter leaves the set.
    t.edit();
    t.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral("03"));
    t.post();
    QCOMPARE(t.recordCount(), 0);
}

void TestDataSet::lookupAndCalculatedFields()
{
    Fixture f;
    f.db().createTable(
        {QStringLiteral("Ciszav"),
         {{QStringLiteral("DRUH"), FieldType::Text, 3}, {QStringLiteral("Popis"), FieldType::Text, 50}},
         {{QStringLiteral("Druh"), {QStringLiteral("DRUH")}, true}}});
    f.db().exec(
        QStringLiteral("INSERT INTO Ciszav (DRUH, Popis) VALUES ('01', 'Výtluk'), ('02', 'Trhlina')"));
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addZavada(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"), false,
                QStringLiteral("01"));
    for (bool cached : {true, false}) {
        Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
        t.addLookupField(QStringLiteral("CisZavada"), FieldType::Text, 50,
                         {{QStringLiteral("DRUH")},
                          QStringLiteral("Ciszav"),
                          {QStringLiteral("DRUH")},
                          QStringLiteral("Popis"),
                          cached,
                          {}});
        t.open();
        QCOMPARE(t.fieldByName(QStringLiteral("CisZavada")).asString(), QStringLiteral("Výtluk"));
        t.edit();
        t.fieldByName(QStringLiteral("DRUH")).setValue(QStringLiteral("02"));
        QCOMPARE(t.fieldByName(QStringLiteral("CisZavada")).asString(), QStringLiteral("Trhlina"));
        t.fieldByName(QStringLiteral("DRUH")).setValue(QStringLiteral("99"));
        QVERIFY(t.fieldByName(QStringLiteral("CisZavada")).isNull());
        t.cancel();
        // A change of the lookup table through the engine shows at once.
        f.db().exec(QStringLiteral("UPDATE Ciszav SET Popis = 'Díra' WHERE DRUH = '01'"));
        f.db().notifyChanged(QStringLiteral("Ciszav"));
        t.refresh();
        QCOMPARE(t.fieldByName(QStringLiteral("CisZavada")).asString(), QStringLiteral("Díra"));
        f.db().exec(QStringLiteral("UPDATE Ciszav SET Popis = 'Výtluk' WHERE DRUH = '01'"));
    }
}

void TestDataSet::emptyTableAndRefreshSeeOthersWrites()
{
    Fixture f;
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.open();
    QVERIFY(t.isEmpty());
    Session other(f.dir.filePath(QStringLiteral("config")));
    other.database(QStringLiteral("DevaReru"))
        .exec(QStringLiteral("INSERT INTO Protokol (CISLO, OS) VALUES ('5', '01')"));
    QCOMPARE(t.recordCount(), 0);
    t.refresh();
    QCOMPARE(t.recordCount(), 1);
    t.emptyTable();
    QCOMPARE(t.recordCount(), 0);
    QVERIFY(t.eof() && t.bof());
}

void TestDataSet::viewNarrowsAndReordersWithoutTouchingTheFilter()
{
    Fixture f;
    f.addProtokol(QStringLiteral("1"), QStringLiteral("01"), May3, QStringLiteral("0105"));
    f.addProtokol(QStringLiteral("2"), QStringLiteral("01"), May3, QStringLiteral("0107"));
    f.addProtokol(QStringLiteral("3"), QStringLiteral("01"), May3, QStringLiteral("0106"));
    f.addProtokol(QStringLiteral("4"), QStringLiteral("02"), May3, QStringLiteral("0105"));
    Table t(*f.session, QStringLiteral("DevaReru"), QStringLiteral("Protokol"));
    t.setIndexFieldNames(QStringLiteral("CISLO"));
    t.setFilter(QStringLiteral("OS='01'"));
    t.setFiltered(true);
    t.open();
    t.setView(FilterExpr::parse(QStringLiteral("OKRUH<>'0105'")), {SortKey{QStringLiteral("okruh"), true}});
    QCOMPARE(t.filter(), QStringLiteral("OS='01'"));
    QStringList seen;
    for (t.first(); !t.eof(); t.next())
        seen << t.fieldByName(QStringLiteral("CISLO")).asString();
    QCOMPARE(seen, (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    const RowsSql rows = t.rowsSql();
    QSqlQuery q = rows.database->exec(QStringLiteral("SELECT count(*) FROM ") + rows.from +
                                          QStringLiteral(" WHERE ") + rows.where.sql,
                                      rows.where.binds);
    q.next();
    QCOMPARE(q.value(0).toInt(), 2);
    // A view naming an unknown field leaves the previous one.
    QVERIFY_THROWS_EXCEPTION(EngineError, t.setView(FilterExpr::parse(QStringLiteral("NIC=1")), {}));
    QCOMPARE(t.recordCount(), 2);
    t.setView(FilterExpr(), {});
    QCOMPARE(t.recordCount(), 3);
    // Ties of the view's keys keep the table's own order.
    t.setFiltered(false);
    t.setView(FilterExpr(), {SortKey{QStringLiteral("OS"), true}});
    seen.clear();
    for (t.first(); !t.eof(); t.next())
        seen << t.fieldByName(QStringLiteral("CISLO")).asString();
    QCOMPARE(seen, (QStringList{QStringLiteral("4"), QStringLiteral("1"), QStringLiteral("2"),
                                QStringLiteral("3")}));
    // A record posted under a view takes its place in the view's order.
    t.first();
    t.edit();
    t.fieldByName(QStringLiteral("OS")).setValue(QStringLiteral("00"));
    t.post();
    QCOMPARE(t.recNo(), 4);
}

QTEST_GUILESS_MAIN(TestDataSet)
#include "tst_dataset.moc"
