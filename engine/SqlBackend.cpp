#include "SqlBackend.h"

#include "DataSet.h"

#include <QSqlQuery>

namespace lerk {

void SqlBackend::readRowsById(QSqlDatabase &db, const QString &sql, const QList<FieldType> &types,
                              const qint64 *ids, int n, const std::function<void(qint64, QVariant *)> &sink)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw translateError(q.lastError(), {});
    for (int i = 0; i < n; ++i)
        q.addBindValue(ids[i]);
    if (!q.exec())
        throw translateError(q.lastError(), {});
    QVarLengthArray<QVariant, 32> values(types.size());
    while (q.next()) {
        for (int i = 0; i < types.size(); ++i)
            values[i] = DataSet::fromStorage(q.value(i + 1), types[i]);
        sink(q.value(0).toLongLong(), values.data());
    }
}

void SqlBackend::readRows(QSqlDatabase &db, const QString &sql, const QVariantList &binds,
                          const QList<FieldType> &types, const std::function<void(QVariant *)> &sink)
{
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.prepare(sql))
        throw translateError(q.lastError(), {});
    for (const QVariant &b : binds)
        q.addBindValue(b);
    if (!q.exec())
        throw translateError(q.lastError(), {});
    QVarLengthArray<QVariant, 32> values(types.size());
    while (q.next()) {
        for (int i = 0; i < types.size(); ++i)
            values[i] = DataSet::fromStorage(q.value(i), types[i]);
        sink(values.data());
    }
}

} // namespace lerk
