#pragma once

#include "DataSet.h"

namespace lerk {

// A cursor over one stored table of an alias, with its order (a named index or a field list), key
// search, read-only mark and emptying.
class Table : public DataSet
{
    Q_OBJECT
public:
    Table(Session &session, const QString &alias, const QString &tableName, QObject *parent = nullptr);

    QString alias() const { return m_alias; }
    QString tableName() const { return m_tableName; }
    Database &database() const;
    bool exists() const;

    // Order: a named index of the table ("KlicX", "Sestup") or a field list ("CISLO;OS;DATUM;OKRUH").
    // Setting one clears the other; takes effect at once when open.
    void setIndexName(const QString &name);
    QString indexName() const { return m_indexName; }
    void setIndexFieldNames(const QString &fields);
    QString indexFieldNames() const;
    QStringList orderFields() const;

    // Key search on the current order: the first record whose leading order fields equal the values
    // (findKey) or the first record not before them (findNearest).
    bool findKey(const QVariantList &values);
    void findNearest(const QVariantList &values);

    // The read-only mark can only be set while the table is closed (throws WrongState otherwise).
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }
    bool canModify() const override { return !m_readOnly; }

    void emptyTable();   // deletes every record
    void flushBuffers(); // writes are durable at commit; kept for callers that ask for it

protected:
    Source describeSource() override;
    QList<FieldDef> storedFieldDefs() override;
    QString displayName() const override { return m_tableName; }
    void checkCanModify() const override;

private:
    QList<QPair<QString, bool>> resolveOrder(bool *caseInsensitive) const;

    QString m_alias;
    QString m_tableName;
    QString m_indexName;
    QStringList m_indexFields;
    bool m_readOnly = false;
};

} // namespace lerk
