// Integrity rules of the data module: duplicate warnings, cascading deletes, defaults of a new protocol,
// the protocol date check and the counts of a protocol.

#include "DataFixture.h"

using namespace lerk;
using namespace lerk::test;

namespace {

// A scripted Ui that runs a hook when it is asked a question, to act between the handler's question and
// its work.
class HookUi : public ScriptedUi
{
public:
    std::function<void()> onQuestion;
    bool question(const QString &text) override
    {
        if (onQuestion)
            onQuestion();
        return ScriptedUi::question(text);
    }
};

const QDate May3(2008, 5, 3);

} // namespace

class TestIntegrity : public QObject
{
    Q_OBJECT
private slots:
    void init() { f.setUp(); }
    void cleanup() { f.tearDown(); }

    void duplicateKey_data();
    void duplicateKey();
    void otherPostFailureIsNotIntercepted();
    void protocolCascade_data();
    void protocolCascade();
    void protocolWithoutDefectsIsDeletedWithoutQuestion();
    void districtCascade_data();
    void districtCascade();
    void confirmedCascadeIsAllOrNothing();
    void newProtocolDefaults();
    void protocolDate_data();
    void protocolDate();
    void countFilter();
    void recount_data();
    void recount();
    void recountShown();
    void recountOnEmptyTable();
    void recountAllHandlesEmptyKeys();

private:
    void seedProtocols()
    {
        f.insertProtocol("12", "01", May3, "0105", 0, 0);
        f.insertProtocol("12", "01", May3, "0106", 0, 0); // differs only in the district
        f.insertProtocol("13", "01", May3, "0105", 0, 0);
        f.insertDefects("12", "01", May3, "0105", {false, true, false});
        f.insertDefects("12", "01", May3, "0106", {false, false});
        f.insertDefects("13", "01", May3, "0105", {true});
    }
    bool gotoProtocol(const QString &cislo, const QString &okruh)
    {
        return f.dm->ProtokolTable.locate(QStringLiteral("CISLO;OKRUH"), {cislo, okruh});
    }
    Field &field(DataSet &d, const char *name) { return d.fieldByName(QString::fromLatin1(name)); }

    DataFixture f;
};

void TestIntegrity::duplicateKey_data()
{
    QTest::addColumn<QString>("component");
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("message");
    QTest::newRow("centre") << "OSTable" << QStringList{"OS", "STREDISKO"} << QVariantList{"01", "Benešov"}
                            << " Duplicitní číslo - OS !!! ";
    QTest::newRow("defect type") << "CDruhTable" << QStringList{"DRUH", "Popis"}
                                 << QVariantList{"001", "Výtluk"} << " Duplicitní věta - Druh !!! ";
    QTest::newRow("road section") << "SilniceTable" << QStringList{"PORADI", "OKRUH", "TRIDA", "SILNICE1"}
                                  << QVariantList{1, "0101", "2", "101"}
                                  << " Duplicitní číslo - Okruh, Třída, Silnice, Pořadí !!! ";
    QTest::newRow("district") << "OkruhTable" << QStringList{"POCTYDEN", "OS", "OKRUH", "CESTMISTR"}
                              << QVariantList{2.0, "01", "0101", "Novák Jan"}
                              << " Duplicitní číslo - OS, Okruh, Poč.týden !!! ";
    QTest::newRow("protocol") << "ProtokolTable" << QStringList{"CISLO", "OS", "DATUM", "OKRUH"}
                              << QVariantList{"12", "01", May3, "0105"} << " Duplicitní Protokol !!! ";
}

void TestIntegrity::duplicateKey()
{
    QFETCH(QString, component);
    QFETCH(QStringList, fields);
    QFETCH(QVariantList, values);
    QFETCH(QString, message);
    Table *t = f.dm->findChild<Table *>(component);
    QVERIFY(t);
    f.insert(t->tableName(), fields, {values});
    t->open();
    t->append();
    for (int i = 0; i < fields.size(); ++i)
        t->fieldByName(fields[i]).setValue(values[i]);
    f.ui.clear();

    QCOMPARE(DataFixture::errorCode([&] { t->post(); }), ErrorCode::Aborted);
    QCOMPARE(f.ui.texts(), QStringList{message});
    QCOMPARE(f.ui.calls.first().kind, QStringLiteral("warning"));
    // The new row stays in insert state with what was typed.
    QCOMPARE(t->state(), DataSetState::Insert);
    for (int i = 0; i < fields.size(); ++i)
        QCOMPARE(t->fieldByName(fields[i]).value(), t->fieldByName(fields[i]).convert(values[i]));

    // A corrected key goes through.
    t->fieldByName(fields[0]).setValue(fields[0] == QLatin1String("POCTYDEN") ||
                                               fields[0] == QLatin1String("PORADI")
                                           ? QVariant(3)
                                           : QVariant(QStringLiteral("99")));
    t->post();
    QCOMPARE(t->state(), DataSetState::Browse);
    QCOMPARE(f.count(t->tableName()), 2);
    QCOMPARE(f.ui.calls.size(), 1);
}

void TestIntegrity::otherPostFailureIsNotIntercepted()
{
    f.insertProtocol("12", "01", May3, "0105", 0, 0);
    Table &t = f.dm->ProtokolTable;
    t.open();
    t.edit();
    field(t, "JMENO").setValue(QStringLiteral("Novák"));
    // Another workstation changes the protocol meanwhile.
    f.db().exec(QStringLiteral("UPDATE Protokol SET JMENO = 'Svoboda', _RowVer = _RowVer + 1"));
    QCOMPARE(DataFixture::errorCode([&] { t.post(); }), ErrorCode::RecordChanged);
    QVERIFY(f.ui.calls.isEmpty());
    QCOMPARE(t.state(), DataSetState::Edit);
}

void TestIntegrity::protocolCascade_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void TestIntegrity::protocolCascade()
{
    QFETCH(bool, answer);
    seedProtocols();
    Table &p = f.dm->ProtokolTable;
    Table &z = f.dm->ZavadyTable;
    p.open();
    z.setMasterSource(&p, QStringLiteral("CISLO;OS;DATUM;OKRUH"));
    z.open();
    QVERIFY(gotoProtocol("12", "0105"));
    QCOMPARE(z.recordCount(), 3);

    f.ui.answers.enqueue(answer);
    const int code = DataFixture::errorCode([&] { p.deleteRecord(); });
    QCOMPARE(f.ui.texts(), QStringList{QStringLiteral("Smazat protokol a závady - relaci")});
    QCOMPARE(f.ui.calls.first().kind, QStringLiteral("question"));
    const QString thisKey =
        QStringLiteral("CISLO = '12' AND OS = '01' AND DATUM = '2008-05-03' AND OKRUH = '0105'");
    if (!answer) {
        QCOMPARE(code, ErrorCode::Aborted);
        QCOMPARE(f.count(QStringLiteral("Protokol")), 3);
        QCOMPARE(f.count(QStringLiteral("Zavady")), 6);
        QCOMPARE(field(p, "OKRUH").asString(), QStringLiteral("0105"));
        QCOMPARE(z.recordCount(), 3);
        return;
    }
    QCOMPARE(code, 0);
    QCOMPARE(f.count(QStringLiteral("Protokol")), 2);
    QCOMPARE(f.count(QStringLiteral("Protokol"), thisKey), 0);
    QCOMPARE(f.count(QStringLiteral("Zavady"), thisKey), 0);
    // Defects of the other protocols, also of the one that shares three key fields, stay.
    QCOMPARE(f.count(QStringLiteral("Zavady")), 3);
    QCOMPARE(f.count(QStringLiteral("Zavady"), QStringLiteral("OKRUH = '0106'")), 2);
    QCOMPARE(f.count(QStringLiteral("Zavady"), QStringLiteral("CISLO = '13'")), 1);
    // The linked defects follow the protocol that is now current.
    const int expected = f.count(QStringLiteral("Zavady"), QStringLiteral("CISLO = ? AND OKRUH = ?"),
                                 {field(p, "CISLO").asString(), field(p, "OKRUH").asString()});
    QCOMPARE(z.recordCount(), expected);
}

void TestIntegrity::protocolWithoutDefectsIsDeletedWithoutQuestion()
{
    seedProtocols();
    f.insertProtocol("14", "01", May3, "0105", 0, 0);
    Table &p = f.dm->ProtokolTable;
    p.open();
    QVERIFY(gotoProtocol("14", "0105"));
    p.deleteRecord();
    QVERIFY(f.ui.calls.isEmpty());
    QCOMPARE(f.count(QStringLiteral("Protokol")), 3);
    QCOMPARE(f.count(QStringLiteral("Zavady")), 6);
}

void TestIntegrity::districtCascade_data()
{
    QTest::addColumn<bool>("answer");
    QTest::newRow("No") << false;
    QTest::newRow("Yes") << true;
}

void TestIntegrity::districtCascade()
{
    QFETCH(bool, answer);
    f.insert(QStringLiteral("Okruh"),
             {QStringLiteral("OS"), QStringLiteral("OKRUH"), QStringLiteral("POCTYDEN")},
             {{"01", "0105", 1.0}, {"01", "0106", 2.0}});
    const QStringList roadFields{QStringLiteral("OKRUH"), QStringLiteral("TRIDA"), QStringLiteral("SILNICE1"),
                                 QStringLiteral("PORADI"), QStringLiteral("Silnice")};
    f.insert(QStringLiteral("Silnice"), roadFields,
             {{"0105", "1", "3", 1, "I/3"},
              {"0105", "2", "101", 2, "II/101"},
              {"0105", "3", "10125", 3, "III/10125"},
              {"0106", "2", "105", 1, "II/105"},
              {"0106", "3", "10501", 2, "III/10501"}});
    Table &o = f.dm->OkruhTable;
    Table &v = f.dm->SilniceVTable; // open since the module was created
    v.refresh();
    QCOMPARE(v.recordCount(), 5);
    o.open();
    QVERIFY(o.locate(QStringLiteral("OKRUH"), {QStringLiteral("0105")}));

    f.ui.answers.enqueue(answer);
    const int code = DataFixture::errorCode([&] { o.deleteRecord(); });
    QCOMPARE(f.ui.texts(QStringLiteral("question")),
             QStringList{QStringLiteral("Smazat okruh a silnice - relaci")});
    if (!answer) {
        QCOMPARE(code, ErrorCode::Aborted);
        QCOMPARE(f.count(QStringLiteral("Okruh")), 2);
        QCOMPARE(f.count(QStringLiteral("Silnice")), 5);
        return;
    }
    QCOMPARE(code, 0);
    QCOMPARE(f.count(QStringLiteral("Okruh")), 1);
    QCOMPARE(f.count(QStringLiteral("Silnice")), 2);
    QCOMPARE(f.count(QStringLiteral("Silnice"), QStringLiteral("OKRUH = '0106'")), 2);
    // The road list of the entry windows no longer offers the deleted roads.
    QCOMPARE(v.recordCount(), 2);
    for (int r = 0; r < v.recordCount(); ++r)
        QCOMPARE(v.valueAt(r, v.fieldByName(QStringLiteral("OKRUH")).index()).toString(),
                 QStringLiteral("0106"));
}

void TestIntegrity::confirmedCascadeIsAllOrNothing()
{
    seedProtocols();
    HookUi ui;
    TDataModule1 dm(*f.session, ui);
    // Between the question and the repeated delete, the protocol changes, so deleting it fails.
    ui.onQuestion = [&] {
        f.db().exec(QStringLiteral(
            "UPDATE Protokol SET _RowVer = _RowVer + 1 WHERE CISLO = '12' AND OKRUH = '0105'"));
    };
    ui.answers.enqueue(true);
    dm.ProtokolTable.open();
    QVERIFY(dm.ProtokolTable.locate(QStringLiteral("CISLO;OKRUH"),
                                    {QStringLiteral("12"), QStringLiteral("0105")}));
    QCOMPARE(DataFixture::errorCode([&] { dm.ProtokolTable.deleteRecord(); }), ErrorCode::RecordChanged);
    QCOMPARE(f.count(QStringLiteral("Protokol")), 3);
    QCOMPARE(f.count(QStringLiteral("Zavady")), 6);
    QCOMPARE(f.count(QStringLiteral("Zavady"), QStringLiteral("CISLO = '12' AND OKRUH = '0105'")), 3);
}

void TestIntegrity::newProtocolDefaults()
{
    pinToday(May3);
    Table &p = f.dm->ProtokolTable;
    p.open();
    p.append();
    QCOMPARE(field(p, "DATUM").asDate(), May3);
    QCOMPARE(field(p, "CISLO").asString(), QStringLiteral("0"));
    QCOMPARE(field(p, "OKRUH").asString(), QStringLiteral("0"));
    QCOMPARE(field(p, "OS").asString(), QStringLiteral(".."));
    QCOMPARE(field(p, "PZ").value(), QVariant(0LL));
    QCOMPARE(field(p, "PN").value(), QVariant(0LL));
    QVERIFY(field(p, "JMENO").isNull());
    QVERIFY(field(p, "OSP").isNull());
    QCOMPARE(field(p, "Tyden").value(), QVariant(18LL));
    QVERIFY(f.ui.calls.isEmpty());
    p.post();
    QCOMPARE(f.count(QStringLiteral("Protokol"),
                     QStringLiteral(
                         "CISLO = '0' AND OKRUH = '0' AND OS = '..' AND DATUM = '2008-05-03' AND PZ = 0 AND "
                         "PN = 0")),
             1);
}

void TestIntegrity::protocolDate_data()
{
    QTest::addColumn<QVariant>("typed");
    QTest::addColumn<bool>("message");
    QTest::addColumn<QDate>("stored");
    const QDate today(2009, 1, 20);
    QTest::newRow("cleared") << QVariant() << true << today;
    QTest::newRow("blank text") << QVariant(QStringLiteral("  ")) << true << today;
    QTest::newRow("30.12.1899") << QVariant(QDate(1899, 12, 30)) << true << today;
    QTest::newRow("1.1.1850") << QVariant(QDate(1850, 1, 1)) << true << today;
    QTest::newRow("31.12.1899") << QVariant(QDate(1899, 12, 31)) << false << QDate(1899, 12, 31);
    QTest::newRow("typed 3.5.2008") << QVariant(QStringLiteral("3.5.2008")) << false << May3;
}

void TestIntegrity::protocolDate()
{
    QFETCH(QVariant, typed);
    QFETCH(bool, message);
    QFETCH(QDate, stored);
    pinToday(QDate(2009, 1, 20));
    f.insertProtocol("12", "01", QDate(2008, 6, 1), "0105", 0, 0);
    Table &p = f.dm->ProtokolTable;
    p.open();
    p.edit();
    field(p, "DATUM").setValue(typed);
    QCOMPARE(f.ui.texts(QStringLiteral("information")),
             message ? QStringList{QStringLiteral("      Zadejte datum !!!      ")} : QStringList());
    QCOMPARE(field(p, "DATUM").asDate(), stored);
    QCOMPARE(field(p, "Rok").value(), QVariant(qlonglong(stored.year())));
    p.post();
    QCOMPARE(f.value(QStringLiteral("SELECT DATUM FROM Protokol")).toString(), stored.toString(Qt::ISODate));
}

void TestIntegrity::countFilter()
{
    f.insertProtocol("12", "01", May3, "0105");
    f.dm->ProtokolTable.open();
    QCOMPARE(f.dm->ProtocolCountFilter(),
             QStringLiteral("Cislo='12' AND OS='01' AND DATUM='3.5.2008' AND OKRUH='0105'"));
    QCOMPARE(TDataModule1::ProtocolCountFilter(QStringLiteral("1'2"), QStringLiteral("01"), May3,
                                               QStringLiteral("0105"), f.session->formats()),
             QStringLiteral("Cislo='1''2' AND OS='01' AND DATUM='3.5.2008' AND OKRUH='0105'"));
    f.dm->RecountProtocol();
    QCOMPARE(f.dm->PocetQuery.filter(), f.dm->ProtocolCountFilter());
    QVERIFY(f.dm->PocetQuery.isFiltered());
    QCOMPARE(f.dm->PocetNQuery.filter(), f.dm->ProtocolCountFilter());
}

void TestIntegrity::recount_data()
{
    QTest::addColumn<QVariantList>("marks");
    QTest::addColumn<int>("pz");
    QTest::addColumn<int>("pn");
    QTest::newRow("five defects, two removed, one empty mark")
        << QVariantList{true, false, QVariant(), true, false} << 5 << 2;
    QTest::newRow("no defects") << QVariantList{} << 0 << 0;
    QTest::newRow("all removed") << QVariantList{true, true} << 2 << 0;
}

void TestIntegrity::recount()
{
    QFETCH(QVariantList, marks);
    QFETCH(int, pz);
    QFETCH(int, pn);
    f.insertProtocol("12", "01", May3, "0105", 7, 3);
    f.insertProtocol("12", "01", May3, "0106", 0, 0);
    f.insertDefects("12", "01", May3, "0105", marks);
    f.insertDefects("12", "01", May3, "0106", {false, false, false}); // another protocol's defects
    Table &p = f.dm->ProtokolTable;
    p.open();
    QVERIFY(gotoProtocol("12", "0105"));
    f.dm->RecountProtocol();
    QCOMPARE(p.state(), DataSetState::Edit); // left for the window to post
    QCOMPARE(field(p, "PZ").asInteger(), pz);
    QCOMPARE(field(p, "PN").asInteger(), pn);
    p.post();
    QCOMPARE(f.value(QStringLiteral("SELECT PZ || '/' || PN FROM Protokol WHERE OKRUH = '0105'")).toString(),
             QStringLiteral("%1/%2").arg(pz).arg(pn));
    QCOMPARE(f.value(QStringLiteral("SELECT PZ || '/' || PN FROM Protokol WHERE OKRUH = '0106'")).toString(),
             QStringLiteral("0/0"));
}

void TestIntegrity::recountShown()
{
    f.insertProtocol("12", "01", May3, "0105", 0, 0);
    f.insertDefects("12", "01", May3, "0105", {true, false, QVariant(), false});
    Table &p = f.dm->ProtokolTable;
    p.open();
    f.dm->RecountProtocolShown(4);
    QCOMPARE(field(p, "PZ").asInteger(), 4);
    QCOMPARE(field(p, "PN").asInteger(), 2);
    QCOMPARE(p.state(), DataSetState::Edit);
}

void TestIntegrity::recountOnEmptyTable()
{
    Table &p = f.dm->ProtokolTable;
    p.open();
    f.dm->RecountProtocol();
    QCOMPARE(p.state(), DataSetState::Browse);
    QCOMPARE(f.count(QStringLiteral("Protokol")), 0);
}

// Protocols with empty key fields: the per-protocol filter matches defects whose fields are empty too.
void TestIntegrity::recountAllHandlesEmptyKeys()
{
    f.insertProtocol("12", "01", May3, QString(), 9, 9);
    f.insertProtocol("13", "01", QDate(), "0105", 9, 9);
    f.insertProtocol("14", "01", May3, "0105", 9, 9);
    f.insertDefects("12", "01", May3, QString(), {false, true, QVariant()});
    f.insertDefects("13", "01", QDate(), "0105", {false});
    Table &p = f.dm->ProtokolTable;
    p.open();
    QMap<QString, QString> perProtocol;
    for (p.first(); !p.eof(); p.next()) {
        f.dm->RecountProtocol();
        perProtocol.insert(
            field(p, "CISLO").asString(),
            QStringLiteral("%1/%2").arg(field(p, "PZ").asInteger()).arg(field(p, "PN").asInteger()));
    }
    p.checkBrowseMode();
    QCOMPARE(perProtocol.value("12"), QStringLiteral("3/1"));
    QCOMPARE(perProtocol.value("13"), QStringLiteral("1/1"));
    QCOMPARE(perProtocol.value("14"), QStringLiteral("0/0"));

    f.db().exec(QStringLiteral("UPDATE Protokol SET PZ = 9, PN = 9"));
    QCOMPARE(f.dm->RecountAllProtocols(), 3);
    for (auto it = perProtocol.cbegin(); it != perProtocol.cend(); ++it)
        QCOMPARE(f.value(QStringLiteral("SELECT PZ || '/' || PN FROM Protokol WHERE CISLO = ?"), {it.key()})
                     .toString(),
                 it.value());
    QCOMPARE(f.dm->RecountAllProtocols(), 0);
}

QTEST_GUILESS_MAIN(TestIntegrity)
#include "tst_integrity.moc"
