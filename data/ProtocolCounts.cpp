#include "ProtocolCounts.h"

#include "Database.h"

#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <vector>

namespace lerk {

namespace {

const QStringList ProtocolKey = {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                                 QStringLiteral("OKRUH")};

// The key of a protocol as one text made by the database: the four fields joined by a separator no code
// contains. An empty field and an empty text give the same key, as they do in the filter language.
// Dates take part as their stored text: the key only has to match itself.
QString keyExpression(QVariantList &binds)
{
    QStringList parts;
    for (const QString &k : ProtocolKey)
        parts << QStringLiteral("COALESCE(%1, '')").arg(quoteIdentifier(k));
    for (int i = 1; i < parts.size(); ++i)
        binds << QString(QChar(0x1f));
    return parts.join(QStringLiteral(" || ? || "));
}

struct Counts
{
    int pz = 0;
    int pn = 0;
};

} // namespace

int recountAllProtocols(Database &db)
{
    const QString protokol = quoteIdentifier(db.tableDef(QStringLiteral("Protokol")).name);
    const QString zavady = quoteIdentifier(db.tableDef(QStringLiteral("Zavady")).name);
    QStringList keyColumns;
    for (const QString &k : ProtocolKey)
        keyColumns << quoteIdentifier(k);
    const QString keyList = keyColumns.join(QStringLiteral(", "));
    QVariantList keyBinds;
    const QString key = keyExpression(keyBinds);

    Transaction t(db);
    // Two grouped statements rather than one with both counts: each is answered by an index alone
    // (the protocol key, the removal mark), which is several times faster than one pass over the rows.
    // PN counts the defects whose mark is false; an empty mark is neither, as in "Odstraneno=false".
    QHash<QString, Counts> counts;
    counts.reserve(1 << 17);
    const QList<FieldType> countTypes{FieldType::Text, FieldType::Integer};
    db.forEachRow(QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %3").arg(key, zavady, keyList),
                  keyBinds, countTypes,
                  [&](QVariant *v) { counts[v[0].toString()].pz += int(v[1].toLongLong()); });
    db.forEachRow(QStringLiteral("SELECT %1, count(*) FROM %2 WHERE %3 = 0 GROUP BY %4")
                      .arg(key, zavady, quoteIdentifier(QStringLiteral("ODSTRANENO")), keyList),
                  keyBinds, countTypes,
                  [&](QVariant *v) { counts[v[0].toString()].pn += int(v[1].toLongLong()); });

    struct Change
    {
        qlonglong id;
        int pz;
        int pn;
    };
    std::vector<Change> changes;
    const QString rowId = quoteIdentifier(db.rowIdColumn(QStringLiteral("Protokol")));
    db.forEachRow(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5")
                      .arg(key, rowId, quoteIdentifier(QStringLiteral("PZ")),
                           quoteIdentifier(QStringLiteral("PN")), protokol),
                  keyBinds, {FieldType::Text, FieldType::Integer, FieldType::Integer, FieldType::Integer},
                  [&](QVariant *v) {
                      const Counts c = counts.value(v[0].toString());
                      if (v[2].isNull() || v[3].isNull() || v[2].toInt() != c.pz || v[3].toInt() != c.pn)
                          changes.push_back({v[1].toLongLong(), c.pz, c.pn});
                  });
    if (!changes.empty()) {
        QSqlQuery update(db.connection());
        if (!update.prepare(QStringLiteral("UPDATE %1 SET %2 = ?, %3 = ?, %4 = %4 + 1 WHERE %5 = ?")
                                .arg(protokol, quoteIdentifier(QStringLiteral("PZ")),
                                     quoteIdentifier(QStringLiteral("PN")), quoteIdentifier(RowVersionColumn),
                                     rowId)))
            throw db.backend().translateError(update.lastError(), QStringLiteral("Protokol"));
        for (const Change &c : changes) {
            update.bindValue(0, c.pz);
            update.bindValue(1, c.pn);
            update.bindValue(2, c.id);
            if (!update.exec())
                throw db.backend().translateError(update.lastError(), QStringLiteral("Protokol"));
        }
    }
    t.commit();
    if (!changes.empty())
        db.notifyChanged(QStringLiteral("Protokol"));
    return int(changes.size());
}

} // namespace lerk
