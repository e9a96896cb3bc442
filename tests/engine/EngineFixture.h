#pragma once

// Shared set-up of engine tests: a scratch directory tree, a session whose configuration lives there,
// the two aliases the program uses (DevaReru for shared data, LerkLO for the workstation's own data),
// and helpers that create tables and put rows into them without going through the code under test.

#include "Database.h"
#include "Session.h"
#include "TableDef.h"

#include <QDate>
#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>
#include <QTime>
#include <memory>

namespace lerk::test {

inline FieldDef textField(const QString &name, int size)
{
    return FieldDef{name, FieldType::Text, size};
}

inline FieldDef field(const QString &name, FieldType type)
{
    return FieldDef{name, type, 0};
}

inline IndexDef uniqueIndex(const QString &name, const QStringList &fields)
{
    IndexDef idx;
    idx.name = name;
    idx.fields = fields;
    idx.unique = true;
    return idx;
}

// A value as the engine stores it: dates and times as ISO text, logical values as 0/1.
inline QVariant storedValue(const QVariant &value)
{
    switch (value.metaType().id()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::Bool:
        return value.toBool() ? 1 : 0;
    default:
        return value;
    }
}

// Inserts rows given in the order of fields; QDate, QTime and bool are stored as the engine does.
inline void insertRows(Database &db, const QString &table, const QStringList &fields,
                       const QList<QVariantList> &rows)
{
    QStringList columns;
    QStringList marks;
    for (const QString &f : fields) {
        columns << quoteIdentifier(f);
        marks << QStringLiteral("?");
    }
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoteIdentifier(table), columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    // One commit for all rows: every commit waits for the disk.
    Transaction tx(db);
    for (const QVariantList &row : rows) {
        QVariantList binds;
        for (const QVariant &v : row)
            binds << storedValue(v);
        db.exec(sql, binds);
    }
    tx.commit();
}

// Every row of a query as raw stored values.
inline QList<QVariantList> selectRows(Database &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q = db.exec(sql, binds);
    QList<QVariantList> rows;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
            row << q.value(i);
        rows << row;
    }
    return rows;
}

// Rows as "v1|v2|..." text, an empty field as ∅: easy to compare and readable when a test fails.
inline QStringList rowsAsText(const QList<QVariantList> &rows)
{
    QStringList out;
    for (const QVariantList &row : rows) {
        QStringList values;
        for (const QVariant &v : row)
            values << (v.isNull() ? QStringLiteral("∅") : v.toString());
        out << values.join(QLatin1Char('|'));
    }
    return out;
}

inline QVariant selectValue(Database &db, const QString &sql, const QVariantList &binds = {})
{
    QSqlQuery q = db.exec(sql, binds);
    return q.next() ? q.value(0) : QVariant();
}

inline int rowCount(Database &db, const QString &table)
{
    return selectValue(db, QStringLiteral("SELECT count(*) FROM ") + quoteIdentifier(table)).toInt();
}

// Tables shaped like the program's own (fewer fields), for tests that need realistic data.
namespace tables {

inline TableDef zavady(const QString &name = QStringLiteral("Zavady"))
{
    TableDef def;
    def.name = name;
    def.fields = {textField(QStringLiteral("CISLO"), 5),
                  textField(QStringLiteral("OS"), 2),
                  field(QStringLiteral("DATUM"), FieldType::Date),
                  textField(QStringLiteral("OKRUH"), 4),
                  field(QStringLiteral("IN"), FieldType::AutoInc),
                  textField(QStringLiteral("SILNICE"), 10),
                  field(QStringLiteral("PORADI"), FieldType::Integer),
                  field(QStringLiteral("ODSTRANENO"), FieldType::Logical),
                  field(QStringLiteral("DATUMO"), FieldType::Date),
                  textField(QStringLiteral("ZAVADA"), 70),
                  field(QStringLiteral("KM"), FieldType::Number)};
    def.indexes = {uniqueIndex(QStringLiteral("Klic"), {QStringLiteral("IN")})};
    return def;
}

inline TableDef protokol(const QString &name = QStringLiteral("Protokol"))
{
    TableDef def;
    def.name = name;
    def.fields = {
        textField(QStringLiteral("CISLO"), 5),         textField(QStringLiteral("OSP"), 2),
        textField(QStringLiteral("OKRUH"), 4),         field(QStringLiteral("DATUM"), FieldType::Date),
        textField(QStringLiteral("JMENO"), 20),        field(QStringLiteral("PZ"), FieldType::Short),
        field(QStringLiteral("PN"), FieldType::Short), textField(QStringLiteral("OS"), 2)};
    def.indexes = {uniqueIndex(QStringLiteral("Klic"), {QStringLiteral("CISLO"), QStringLiteral("OS"),
                                                        QStringLiteral("DATUM"), QStringLiteral("OKRUH")})};
    return def;
}

inline TableDef os(const QString &name = QStringLiteral("Os"))
{
    TableDef def;
    def.name = name;
    def.fields = {textField(QStringLiteral("OS"), 2), textField(QStringLiteral("STREDISKO"), 20)};
    def.indexes = {uniqueIndex(QStringLiteral("Klic"), {QStringLiteral("OS")})};
    return def;
}

inline TableDef ciszav()
{
    TableDef def;
    def.name = QStringLiteral("Ciszav");
    def.fields = {textField(QStringLiteral("DRUH"), 2), textField(QStringLiteral("Popis"), 40),
                  field(QStringLiteral("Vyber"), FieldType::Logical)};
    return def;
}

inline TableDef uzivatel()
{
    TableDef def;
    def.name = QStringLiteral("Uzivatel");
    def.fields = {textField(QStringLiteral("Jmeno"), 20), textField(QStringLiteral("Heslo"), 20),
                  field(QStringLiteral("Prava"), FieldType::Short)};
    return def;
}

inline TableDef silnice()
{
    TableDef def;
    def.name = QStringLiteral("Silnice");
    def.fields = {textField(QStringLiteral("SILNICE"), 10), textField(QStringLiteral("OS"), 2),
                  field(QStringLiteral("DELKA"), FieldType::Number)};
    return def;
}

// Creates Zavady, ZavadyE, Protokol, ProtokolE, Os, Ciszav, Uzivatel and Silnice in db with a few rows:
//   Zavady (IN 101..106): 101-103 are defect list 12/01/3.5.2008/0105 (ODSTRANENO false, true, empty),
//     104 is 12/01/4.5.2008/0105 (false), 105-106 are 13/02/4.5.2008/0201 (false, false); KM 1.5, 2, 0.5,
//     7, 3.25, 4; SILNICE I/3, I/3, II/112, I/3, I/3, III/1121.
//   ZavadyE: one row (IN 1).  ProtokolE: empty.
//   Protokol: 12/01/0105/3.5.2008 Novák 3/1, 13/02/0201/4.5.2008 Svoboda 2/2, 14/01/0106/5.5.2008 Novák 0/0.
//   Os: 01 Praha, 02 Brno.  Ciszav: A Výtluk True, B Trhlina False.
//   Uzivatel: Novák, Svoboda, Novák.  Silnice: I/3 (01), II/112 (01), I/3 (02).
inline void createSampleTables(Database &db)
{
    using namespace tables;
    Transaction tx(db);
    for (const TableDef &def : {zavady(), zavady(QStringLiteral("ZavadyE")), protokol(),
                                protokol(QStringLiteral("ProtokolE")), os(), ciszav(), uzivatel(), silnice()})
        db.createTable(def);
    const QVariant none;
    insertRows(
        db, QStringLiteral("Zavady"),
        {QStringLiteral("IN"), QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
         QStringLiteral("OKRUH"), QStringLiteral("SILNICE"), QStringLiteral("PORADI"),
         QStringLiteral("ODSTRANENO"), QStringLiteral("DATUMO"), QStringLiteral("ZAVADA"),
         QStringLiteral("KM")},
        {
            {101, "12", "01", QDate(2008, 5, 3), "0105", "I/3", 1, false, none, "výtluk", 1.5},
            {102, "12", "01", QDate(2008, 5, 3), "0105", "I/3", 2, true, QDate(2008, 6, 1), "trhlina", 2.0},
            {103, "12", "01", QDate(2008, 5, 3), "0105", "II/112", 3, none, none, "propad", 0.5},
            {104, "12", "01", QDate(2008, 5, 4), "0105", "I/3", 1, false, none, "výmol", 7.0},
            {105, "13", "02", QDate(2008, 5, 4), "0201", "I/3", 1, false, none, "výtluk", 3.25},
            {106, "13", "02", QDate(2008, 5, 4), "0201", "III/1121", 2, false, none, "it's", 4.0},
        });
    insertRows(db, QStringLiteral("ZavadyE"),
               {QStringLiteral("IN"), QStringLiteral("CISLO"), QStringLiteral("OS")}, {{1, "1", "01"}});
    insertRows(db, QStringLiteral("Protokol"),
               {QStringLiteral("CISLO"), QStringLiteral("OSP"), QStringLiteral("OKRUH"),
                QStringLiteral("DATUM"), QStringLiteral("JMENO"), QStringLiteral("PZ"), QStringLiteral("PN"),
                QStringLiteral("OS")},
               {
                   {"12", "01", "0105", QDate(2008, 5, 3), "Novák", 3, 1, "01"},
                   {"13", "02", "0201", QDate(2008, 5, 4), "Svoboda", 2, 2, "02"},
                   {"14", "01", "0106", QDate(2008, 5, 5), "Novák", 0, 0, "01"},
               });
    insertRows(db, QStringLiteral("Os"), {QStringLiteral("OS"), QStringLiteral("STREDISKO")},
               {{"01", "Praha"}, {"02", "Brno"}});
    insertRows(db, QStringLiteral("Ciszav"),
               {QStringLiteral("DRUH"), QStringLiteral("Popis"), QStringLiteral("Vyber")},
               {{"A", "Výtluk", true}, {"B", "Trhlina", false}});
    insertRows(db, QStringLiteral("Uzivatel"), {QStringLiteral("Jmeno"), QStringLiteral("Prava")},
               {{"Novák", 1}, {"Svoboda", 2}, {"Novák", 3}});
    insertRows(db, QStringLiteral("Silnice"),
               {QStringLiteral("SILNICE"), QStringLiteral("OS"), QStringLiteral("DELKA")},
               {{"I/3", "01", 10.0}, {"II/112", "01", 5.0}, {"I/3", "02", 12.0}});
    tx.commit();
}

} // namespace tables

// A scratch tree (config/, devareru/, lerklo/) and a session with both aliases. Everything vanishes
// with the fixture.
class EngineFixture
{
public:
    EngineFixture()
    {
        QVERIFY2(m_root.isValid(), "temporary directory");
        QDir root(m_root.path());
        for (const char *dir : {"config", "devareru", "lerklo", "files"})
            root.mkpath(QString::fromLatin1(dir));
        m_session = std::make_unique<Session>(path(QStringLiteral("config")));
        m_session->aliases().add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"),
                                 {QStringLiteral("PATH=") + path(QStringLiteral("devareru"))});
        m_session->aliases().add(QStringLiteral("LerkLO"), QStringLiteral("SQLITE"),
                                 {QStringLiteral("PATH=") + path(QStringLiteral("lerklo"))});
    }

    // Absolute path of a file or directory inside the scratch tree.
    QString path(const QString &relative) const { return QDir(m_root.path()).filePath(relative); }
    // Directory for files that are not databases (transfer files, imported files).
    QString filesDir() const { return path(QStringLiteral("files")); }

    Session &session() { return *m_session; }
    Database &deva() { return m_session->database(QStringLiteral("DevaReru")); }
    Database &local() { return m_session->database(QStringLiteral("LerkLO")); }

private:
    QTemporaryDir m_root;
    std::unique_ptr<Session> m_session;
};

} // namespace lerk::test
