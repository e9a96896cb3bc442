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

// The filter language treats an empty text and an empty field alike; so does this key. Dates are read
// as their stored text: the key only has to match itself.
QString keyOf(const QVariant *values)
{
    QString key;
    for (int i = 0; i < ProtocolKey.size(); ++i) {
        key += values[i].toString();
        key += QChar(0x1f);
    }
    return key;
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
    const QList<FieldType> keyTypes(ProtocolKey.size(), FieldType::Text);

    Transaction t(db);
    // Two grouped statements rather than one with both counts: each is answered by an index alone
    // (the protocol key, the removal mark), which is several times faster than one pass over the rows.
    // PN counts the defects whose mark is false; an empty mark is neither, as in "Odstraneno=false".
    QHash<QString, Counts> counts;
    counts.reserve(1 << 17);
    const QList<FieldType> countTypes = keyTypes + QList<FieldType>{FieldType::Integer};
    db.forEachRow(QStringLiteral("SELECT %1, count(*) FROM %2 GROUP BY %1").arg(keyList, zavady), {},
                  countTypes, [&](QVariant *v) { counts[keyOf(v)].pz += int(v[4].toLongLong()); });
    db.forEachRow(QStringLiteral("SELECT %1, count(*) FROM %2 WHERE %3 = 0 GROUP BY %1")
                      .arg(keyList, zavady, quoteIdentifier(QStringLiteral("ODSTRANENO"))),
                  {}, countTypes, [&](QVariant *v) { counts[keyOf(v)].pn += int(v[4].toLongLong()); });

    struct Change
    {
        qlonglong id;
        int pz;
        int pn;
    };
    std::vector<Change> changes;
    const QString rowId = quoteIdentifier(db.rowIdColumn(QStringLiteral("Protokol")));
    db.forEachRow(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5")
                      .arg(keyList, rowId, quoteIdentifier(QStringLiteral("PZ")),
                           quoteIdentifier(QStringLiteral("PN")), protokol),
                  {}, keyTypes + QList<FieldType>{FieldType::Integer, FieldType::Integer, FieldType::Integer},
                  [&](QVariant *v) {
                      const Counts c = counts.value(keyOf(v));
                      if (v[5].isNull() || v[6].isNull() || v[5].toInt() != c.pz || v[6].toInt() != c.pn)
                          changes.push_back({v[4].toLongLong(), c.pz, c.pn});
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
