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

// The filter language treats an empty text and an empty field alike; so does this key.
QString keyOf(const QSqlQuery &q, int first)
{
    QString key;
    for (int i = 0; i < ProtocolKey.size(); ++i) {
        const QVariant v = q.value(first + i);
        if (!v.isNull())
            key += v.toString();
        key += QChar(0x1f);
    }
    return key;
}

} // namespace

int recountAllProtocols(Database &db)
{
    const QString protokol = quoteIdentifier(db.tableDef(QStringLiteral("Protokol")).name);
    const QString zavady = quoteIdentifier(db.tableDef(QStringLiteral("Zavady")).name);
    QStringList keyColumns;
    for (const QString &k : ProtocolKey)
        keyColumns << quoteIdentifier(k);
    const QString keyList = keyColumns.join(QStringLiteral(", "));

    auto countsBy = [&](const QString &where) {
        QHash<QString, int> counts;
        QSqlQuery q =
            db.exec(QStringLiteral("SELECT %1, count(*) FROM %2%3 GROUP BY %1").arg(keyList, zavady, where),
                    {}, QStringLiteral("Zavady"));
        while (q.next())
            counts[keyOf(q, 0)] += q.value(ProtocolKey.size()).toInt();
        return counts;
    };

    Transaction t(db);
    const QHash<QString, int> pz = countsBy(QString());
    const QHash<QString, int> pn =
        countsBy(QStringLiteral(" WHERE %1 = 0").arg(quoteIdentifier(QStringLiteral("ODSTRANENO"))));

    struct Change
    {
        qlonglong id;
        int pz;
        int pn;
    };
    std::vector<Change> changes;
    const QString rowId = quoteIdentifier(db.rowIdColumn(QStringLiteral("Protokol")));
    {
        QSqlQuery q = db.exec(QStringLiteral("SELECT %1, %2, %3, %4 FROM %5")
                                  .arg(keyList, rowId, quoteIdentifier(QStringLiteral("PZ")),
                                       quoteIdentifier(QStringLiteral("PN")), protokol),
                              {}, QStringLiteral("Protokol"));
        while (q.next()) {
            const QString key = keyOf(q, 0);
            const int newPz = pz.value(key);
            const int newPn = pn.value(key);
            const QVariant oldPz = q.value(5);
            const QVariant oldPn = q.value(6);
            if (oldPz.isNull() || oldPn.isNull() || oldPz.toInt() != newPz || oldPn.toInt() != newPn)
                changes.push_back({q.value(4).toLongLong(), newPz, newPn});
        }
    }
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
