#include "ExampleData.h"

#include "Database.h"

#include <QDate>
#include <QRandomGenerator>
#include <QSqlQuery>

using namespace lerk;

void createExampleTables(Database &db, int rows)
{
    auto text = [](const char *name, int size) {
        return FieldDef{QString::fromLatin1(name), FieldType::Text, size};
    };
    auto typed = [](const char *name, FieldType type) {
        return FieldDef{QString::fromLatin1(name), type, 0};
    };

    TableDef druh;
    druh.name = QStringLiteral("Ciszav");
    druh.fields = {text("DRUH", 3), text("Popis", 50)};
    druh.indexes = {IndexDef{QStringLiteral("Klic"), {QStringLiteral("DRUH")}, true, false, false}};
    TableDef okruh;
    okruh.name = QStringLiteral("Okruh");
    okruh.fields = {text("OKRUH", 4), text("OS", 2), text("Cestmistr", 30)};
    okruh.indexes = {IndexDef{QStringLiteral("Klic"), {QStringLiteral("OKRUH")}, true, false, false}};
    TableDef zavady;
    zavady.name = QStringLiteral("Zavady");
    zavady.fields = {text("CISLO", 5),
                     text("OS", 2),
                     typed("DATUM", FieldType::Date),
                     text("OKRUH", 4),
                     typed("IN", FieldType::AutoInc),
                     text("SILNICE", 10),
                     typed("KM", FieldType::Number),
                     text("USEK", 40),
                     text("DRUH", 3),
                     text("ZAVADA", 70),
                     typed("ODSTRANENO", FieldType::Logical),
                     typed("DATUMO", FieldType::Date),
                     typed("TERMINO", FieldType::Date)};
    zavady.indexes = {IndexDef{QStringLiteral("Klic"), {QStringLiteral("IN")}, true, false, false},
                      IndexDef{QStringLiteral("Okruh"), {QStringLiteral("OKRUH")}, false, false, false}};
    for (const TableDef &def : {druh, okruh, zavady})
        if (!db.hasTable(def.name))
            db.createTable(def);

    const QStringList types = {QStringLiteral("Výtluk"),
                               QStringLiteral("Trhlina"),
                               QStringLiteral("Propad vozovky"),
                               QStringLiteral("Poškozené svodidlo"),
                               QStringLiteral("Chybějící dopravní značka"),
                               QStringLiteral("Ucpaný propustek"),
                               QStringLiteral("Nezpevněná krajnice")};
    const QStringList inspectors = {QStringLiteral("Novák"), QStringLiteral("Dvořák"),
                                    QStringLiteral("Černý"), QStringLiteral("Procházková"),
                                    QStringLiteral("Kučera")};
    const QStringList places = {QStringLiteral("u zastávky"),
                                QStringLiteral("před mostem"),
                                QStringLiteral("v obci Lhota"),
                                QStringLiteral("křižovatka se silnicí III/1121"),
                                QStringLiteral("za železničním přejezdem"),
                                QStringLiteral("v zatáčce")};
    Transaction tx(db);
    QSqlQuery q(db.connection());
    if (db.tableNames().contains(QStringLiteral("Ciszav"), Qt::CaseInsensitive)) {
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO \"Ciszav\" (\"DRUH\", \"Popis\") VALUES (?, ?)"));
        for (int i = 0; i < types.size(); ++i) {
            q.addBindValue(QStringLiteral("%1").arg(i + 1, 2, 10, QLatin1Char('0')));
            q.addBindValue(types[i]);
            q.exec();
        }
        q.prepare(QStringLiteral(
            "INSERT OR IGNORE INTO \"Okruh\" (\"OKRUH\", \"OS\", \"Cestmistr\") VALUES (?, ?, ?)"));
        for (int i = 0; i < 12; ++i) {
            q.addBindValue(QStringLiteral("%1%2")
                               .arg(i / 4 + 1, 2, 10, QLatin1Char('0'))
                               .arg(i % 4 + 1, 2, 10, QLatin1Char('0')));
            q.addBindValue(QStringLiteral("%1").arg(i / 4 + 1, 2, 10, QLatin1Char('0')));
            q.addBindValue(inspectors[i % inspectors.size()]);
            q.exec();
        }
    }
    QSqlQuery count(QStringLiteral("SELECT count(*) FROM \"Zavady\""), db.connection());
    const int existing = count.next() ? count.value(0).toInt() : 0;
    q.prepare(QStringLiteral(
        "INSERT INTO \"Zavady\" (\"CISLO\", \"OS\", \"DATUM\", \"OKRUH\", \"SILNICE\", \"KM\", "
        "\"USEK\", \"DRUH\", \"ZAVADA\", \"ODSTRANENO\", \"DATUMO\", \"TERMINO\") "
        "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    QRandomGenerator rnd(20240314);
    const QDate start(2019, 1, 1);
    const QStringList roads = {QStringLiteral("I/3"),      QStringLiteral("I/19"),
                               QStringLiteral("II/112"),   QStringLiteral("II/150"),
                               QStringLiteral("III/1121"), QStringLiteral("III/11214")};
    for (int i = existing; i < rows; ++i) {
        const int district = int(rnd.bounded(12));
        const QDate date = start.addDays(rnd.bounded(5 * 365));
        const int type = int(rnd.bounded(types.size()));
        const bool removed = rnd.bounded(100) < 70;
        q.addBindValue(QString::number(1 + i / 10));
        q.addBindValue(QStringLiteral("%1").arg(district / 4 + 1, 2, 10, QLatin1Char('0')));
        q.addBindValue(date.toString(Qt::ISODate));
        q.addBindValue(QStringLiteral("%1%2")
                           .arg(district / 4 + 1, 2, 10, QLatin1Char('0'))
                           .arg(district % 4 + 1, 2, 10, QLatin1Char('0')));
        q.addBindValue(roads[int(rnd.bounded(roads.size()))]);
        q.addBindValue(double(rnd.bounded(400)) / 10.0);
        q.addBindValue(places[int(rnd.bounded(places.size()))]);
        q.addBindValue(QStringLiteral("%1").arg(type + 1, 2, 10, QLatin1Char('0')));
        q.addBindValue(types[type]);
        q.addBindValue(removed ? 1 : 0);
        q.addBindValue(removed ? QVariant(date.addDays(rnd.bounded(60)).toString(Qt::ISODate)) : QVariant());
        q.addBindValue(date.addDays(30).toString(Qt::ISODate));
        q.exec();
    }
    tx.commit();
}
