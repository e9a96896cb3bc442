// Derived fields and field-change rules of the data module.

#include "DataFixture.h"

using namespace lerk;
using namespace lerk::test;

class TestDerived : public QObject
{
    Q_OBJECT
private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void roadDesignationOnRead_data();
    void roadDesignationOnRead();
    void roadClassChange_data();
    void roadClassChange();
    void roadNumberChange();
    void sectionNumberCheck_data();
    void sectionNumberCheck();
    void defectDays_data();
    void defectDays();
    void protocolFields_data();
    void protocolFields();
    void removalMark_data();
    void removalMark();
    void defectType_data();
    void defectType();
    void defectSection_data();
    void defectSection();
    void newDefectStartsNotRemoved();

private:
    void insertRoad(const QVariant &trida, const QVariant &silnice1, const QVariant &silnice = {})
    {
        f.insert(QStringLiteral("Okruh"), {QStringLiteral("OS"), QStringLiteral("OKRUH")}, {{"01", "0101"}});
        f.insert(QStringLiteral("Silnice"),
                 {QStringLiteral("OKRUH"), QStringLiteral("TRIDA"), QStringLiteral("SILNICE1"),
                  QStringLiteral("PORADI"), QStringLiteral("Silnice")},
                 {{"0101", trida, silnice1, 1, silnice}});
    }
    Field &field(DataSet &d, const char *name) { return d.fieldByName(QString::fromLatin1(name)); }

    DataFixture f;
};

void TestDerived::roadDesignationOnRead_data()
{
    QTest::addColumn<QVariant>("trida");
    QTest::addColumn<QVariant>("silnice1");
    QTest::addColumn<QVariant>("designation");
    QTest::newRow("class 3 road 123") << QVariant("3") << QVariant("123") << QVariant("III/123");
    QTest::newRow("class 3, empty number") << QVariant("3") << QVariant() << QVariant();
    QTest::newRow("empty class, number 12") << QVariant() << QVariant("12") << QVariant("?/12");
}

void TestDerived::roadDesignationOnRead()
{
    QFETCH(QVariant, trida);
    QFETCH(QVariant, silnice1);
    QFETCH(QVariant, designation);
    insertRoad(trida, silnice1);
    Table &t = f.dm->SilniceTable;
    t.open();
    QCOMPARE(t.recordCount(), 1);
    QCOMPARE(field(t, "Silnicee").value(), designation);
}

void TestDerived::roadClassChange_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("message");
    QTest::addColumn<QString>("trida");
    QTest::addColumn<QString>("silnice");
    QTest::newRow("class 5") << "5" << true << "1"
                             << "I/12";
    QTest::newRow("class cleared") << "" << true << "1"
                                   << "I/12";
    QTest::newRow("class 0") << "0" << true << "1"
                             << "I/12";
    QTest::newRow("class 4") << "4" << true << "1"
                             << "I/12";
    QTest::newRow("class not a digit") << "x" << true << "1"
                                       << "I/12";
    QTest::newRow("class 3") << "3" << false << "3"
                             << "III/12";
    QTest::newRow("class 1") << "1" << false << "1"
                             << "I/12";
}

void TestDerived::roadClassChange()
{
    QFETCH(QString, typed);
    QFETCH(bool, message);
    QFETCH(QString, trida);
    QFETCH(QString, silnice);
    insertRoad("2", "12", "II/12");
    Table &t = f.dm->SilniceTable;
    t.open();
    t.edit();
    field(t, "TRIDA").setAsString(typed);
    const QStringList expected =
        message ? QStringList{QStringLiteral("Špatné číslo třídy - 1, 2, 3 !!!")} : QStringList();
    QCOMPARE(f.ui.texts(), expected);
    QCOMPARE(field(t, "TRIDA").asString(), trida);
    QCOMPARE(field(t, "Silnicee").asString(), silnice);
    QCOMPARE(field(t, "Silnice").asString(), silnice);
    QCOMPARE(t.state(), DataSetState::Edit); // the rule never posts
    t.post();
    QCOMPARE(f.value(QStringLiteral("SELECT TRIDA || '|' || Silnice FROM Silnice")).toString(),
             trida + "|" + silnice);
}

void TestDerived::roadNumberChange()
{
    insertRoad("2", "12", "II/12");
    Table &t = f.dm->SilniceTable;
    t.open();
    t.edit();
    field(t, "SILNICE1").setValue(QStringLiteral("605"));
    QCOMPARE(field(t, "Silnice").asString(), QStringLiteral("II/605"));
    field(t, "SILNICE1").clear();
    QVERIFY(field(t, "Silnice").isNull());
    QVERIFY(f.ui.calls.isEmpty());
}

void TestDerived::sectionNumberCheck_data()
{
    QTest::addColumn<QVariant>("poradi");
    QTest::addColumn<bool>("message");
    QTest::newRow("0") << QVariant(0) << true;
    QTest::newRow("negative") << QVariant(-3) << true;
    QTest::newRow("empty") << QVariant() << true;
    QTest::newRow("1") << QVariant(1) << false;
    QTest::newRow("14") << QVariant(14) << false;
}

void TestDerived::sectionNumberCheck()
{
    QFETCH(QVariant, poradi);
    QFETCH(bool, message);
    insertRoad("1", "3", "I/3");
    Table &t = f.dm->SilniceTable;
    t.open();
    t.edit();
    field(t, "PORADI").setValue(poradi);
    QCOMPARE(f.ui.texts(QStringLiteral("information")),
             message ? QStringList{QStringLiteral("Zadejte pořadí úseku !!!")} : QStringList());
    // Nothing is corrected: the value stays as typed.
    QCOMPARE(field(t, "PORADI").value().isNull(), poradi.isNull());
    if (!poradi.isNull())
        QCOMPARE(field(t, "PORADI").asInteger(), poradi.toLongLong());
}

void TestDerived::defectDays_data()
{
    QTest::addColumn<QDate>("datum");
    QTest::addColumn<QDate>("datumo");
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QVariant>("days");
    const QDate march1(2008, 3, 1);
    QTest::newRow("not removed, read 10 days later")
        << march1 << QDate() << QDate(2008, 3, 11) << QVariant(10);
    QTest::newRow("removed after 3 days") << march1 << QDate(2008, 3, 4) << QDate(2008, 3, 11) << QVariant(3);
    QTest::newRow("removed on the day") << march1 << march1 << QDate(2008, 3, 11) << QVariant(0);
    QTest::newRow("removal date before the date")
        << march1 << QDate(2008, 2, 28) << QDate(2008, 3, 11) << QVariant(-2);
    QTest::newRow("no date") << QDate() << QDate(2008, 3, 4) << QDate(2008, 3, 11) << QVariant();
}

void TestDerived::defectDays()
{
    QFETCH(QDate, datum);
    QFETCH(QDate, datumo);
    QFETCH(QDate, today);
    QFETCH(QVariant, days);
    pinToday(today);
    f.insert(QStringLiteral("Zavady"),
             {QStringLiteral("CISLO"), QStringLiteral("DATUM"), QStringLiteral("DATUMO")},
             {{"1", datum.isValid() ? QVariant(datum) : QVariant(),
               datumo.isValid() ? QVariant(datumo) : QVariant()}});

    Table &t = f.dm->ZavadyTable;
    t.open();
    QCOMPARE(field(t, "Dnu").value().isNull(), days.isNull());
    QCOMPARE(field(t, "Rok").value().isNull(), days.isNull());
    QCOMPARE(field(t, "Mesic").value().isNull(), days.isNull());
    Query &q = f.dm->ZavadyQuery;
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(field(q, "Dnu").value().isNull(), days.isNull());
    QCOMPARE(field(q, "Rok").value().isNull(), days.isNull());
    if (days.isNull())
        return;
    QCOMPARE(field(t, "Dnu").value(), QVariant(days.toDouble()));
    QCOMPARE(field(t, "Rok").value(), QVariant(2008.0));
    QCOMPARE(field(t, "Mesic").value(), QVariant(3.0));
    QCOMPARE(field(q, "Dnu").value(), QVariant(days.toLongLong()));
    QCOMPARE(field(q, "Rok").value(), QVariant(QStringLiteral("2008")));
    QCOMPARE(field(q, "Mesic").value(), QVariant(QStringLiteral("3"))); // no leading zero
}

void TestDerived::protocolFields_data()
{
    QTest::addColumn<QDate>("datum");
    QTest::addColumn<QVariant>("rok");
    QTest::addColumn<QVariant>("mesic");
    QTest::addColumn<QVariant>("tyden");
    QTest::newRow("3 May 2008") << QDate(2008, 5, 3) << QVariant(2008LL) << QVariant(5LL) << QVariant(18LL);
    QTest::newRow("29 December 2008")
        << QDate(2008, 12, 29) << QVariant(2008LL) << QVariant(12LL) << QVariant(53LL);
    QTest::newRow("no date") << QDate() << QVariant() << QVariant() << QVariant();
}

void TestDerived::protocolFields()
{
    QFETCH(QDate, datum);
    QFETCH(QVariant, rok);
    QFETCH(QVariant, mesic);
    QFETCH(QVariant, tyden);
    f.insertProtocol("1", "01", datum, "0101");
    Table &t = f.dm->ProtokolTable;
    t.open();
    QCOMPARE(field(t, "Rok").value(), rok);
    QCOMPARE(field(t, "Mesic").value(), mesic);
    QCOMPARE(field(t, "Tyden").value(), tyden);
}

void TestDerived::removalMark_data()
{
    QTest::addColumn<QVariant>("mark");
    QTest::addColumn<QDate>("datumo");
    QTest::addColumn<bool>("newMark");
    QTest::newRow("ticked") << QVariant(false) << QDate() << true;
    QTest::newRow("ticked from an empty mark") << QVariant() << QDate() << true;
    QTest::newRow("unticked") << QVariant(true) << QDate(2008, 5, 10) << false;
}

void TestDerived::removalMark()
{
    QFETCH(QVariant, mark);
    QFETCH(QDate, datumo);
    QFETCH(bool, newMark);
    pinToday(QDate(2008, 6, 20));
    const QDate may3(2008, 5, 3);
    f.insert(QStringLiteral("Zavady"),
             {QStringLiteral("CISLO"), QStringLiteral("DATUM"), QStringLiteral("ODSTRANENO"),
              QStringLiteral("DATUMO")},
             {{"1", may3, mark, datumo.isValid() ? QVariant(datumo) : QVariant()}});
    Table &t = f.dm->ZavadyTable;
    t.open();
    t.edit();
    field(t, "ODSTRANENO").setValue(newMark);
    // The removal date is the inspection's own date, not today.
    QCOMPARE(field(t, "DATUMO").asDate(), may3);
    QCOMPARE(field(t, "Dnu").value(), QVariant(0.0));
    t.post();
    QCOMPARE(f.value(QStringLiteral("SELECT DATUMO FROM Zavady")).toString(), QStringLiteral("2008-05-03"));

    // Changing the mark back leaves the removal date where it is.
    t.edit();
    field(t, "ODSTRANENO").setValue(!newMark);
    QCOMPARE(field(t, "DATUMO").asDate(), may3);
    QVERIFY(f.ui.calls.isEmpty());
}

void TestDerived::defectType_data()
{
    QTest::addColumn<QString>("zavada");
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty text takes the description") << "" << QStringList{"001"} << "Výtluk ve vozovce";
    QTest::newRow("another type keeps the first text")
        << "" << QStringList{"001", "002"} << "Výtluk ve vozovce";
    QTest::newRow("typed text stays") << "Díra u mostu" << QStringList{"002"} << "Díra u mostu";
    QTest::newRow("unknown type") << "" << QStringList{"999"} << "";
    QTest::newRow("unknown, then known type") << "" << QStringList{"999", "002"} << "Poškozené svodidlo";
}

void TestDerived::defectType()
{
    QFETCH(QString, zavada);
    QFETCH(QStringList, types);
    QFETCH(QString, expected);
    f.insert(QStringLiteral("Ciszav"), {QStringLiteral("DRUH"), QStringLiteral("Popis")},
             {{"001", "Výtluk ve vozovce"}, {"002", "Poškozené svodidlo"}});
    f.insert(QStringLiteral("Zavady"), {QStringLiteral("CISLO"), QStringLiteral("ZAVADA")},
             {{"1", zavada.isEmpty() ? QVariant() : QVariant(zavada)}});
    Table &t = f.dm->ZavadyTable;
    t.open();
    t.edit();
    for (const QString &type : std::as_const(types))
        field(t, "DRUH").setValue(type);
    QCOMPARE(field(t, "ZAVADA").asString(), expected);
    QCOMPARE(field(t, "DRUH").asString(), types.last());
}

void TestDerived::defectSection_data()
{
    QTest::addColumn<QString>("okruh");
    QTest::addColumn<int>("poradi");
    QTest::addColumn<QString>("silnice");
    QTest::newRow("section 2 of 0101") << "0101" << 2 << "III/11213";
    QTest::newRow("section 1 of 0102") << "0102" << 1 << "II/101";
    QTest::newRow("no such section") << "0101" << 7 << "";
}

void TestDerived::defectSection()
{
    QFETCH(QString, okruh);
    QFETCH(int, poradi);
    QFETCH(QString, silnice);
    f.insert(QStringLiteral("Silnice"),
             {QStringLiteral("OKRUH"), QStringLiteral("TRIDA"), QStringLiteral("SILNICE1"),
              QStringLiteral("PORADI"), QStringLiteral("Silnice")},
             {{"0101", "1", "3", 1, "I/3"},
              {"0101", "3", "11213", 2, "III/11213"},
              {"0102", "2", "101", 1, "II/101"}});
    f.insert(QStringLiteral("Zavady"),
             {QStringLiteral("CISLO"), QStringLiteral("OKRUH"), QStringLiteral("SILNICE")},
             {{"1", okruh, "old"}});
    Table &t = f.dm->ZavadyTable;
    t.open();
    t.edit();
    field(t, "PORADI").setValue(poradi);
    QCOMPARE(field(t, "SILNICE").asString(), silnice);
    t.post();
    QCOMPARE(f.value(QStringLiteral("SELECT ifnull(SILNICE, '') FROM Zavady")).toString(), silnice);
}

void TestDerived::newDefectStartsNotRemoved()
{
    const QDate datum(2008, 5, 3);
    f.insertProtocol("12", "01", datum, "0105", 0, 0);
    Table &p = f.dm->ProtokolTable;
    Table &z = f.dm->ZavadyTable;
    p.open();
    z.setMasterSource(f.dm->ProtokolSource.dataSet(), QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    z.open();
    z.append();
    QCOMPARE(field(z, "ODSTRANENO").value(), QVariant(false));
    QVERIFY(field(z, "DATUMO").isNull()); // the default is no change of the mark
    QCOMPARE(field(z, "CISLO").asString(), QStringLiteral("12"));
    QCOMPARE(field(z, "DATUM").asDate(), datum);
    field(z, "DRUH").setValue(QStringLiteral("001"));
    z.post();
    QVERIFY(f.ui.calls.isEmpty());
    QCOMPARE(f.count(QStringLiteral("Zavady"),
                     QStringLiteral("ODSTRANENO = 0 AND DATUMO IS NULL AND \"IN\" IS NOT NULL")),
             1);
}

QTEST_GUILESS_MAIN(TestDerived)
#include "tst_derived.moc"
