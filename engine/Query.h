#pragma once

#include "DataSet.h"
#include "LocalSql.h"

namespace lerk {

// A read-only cursor over the result of a local SQL SELECT given as lines; it can be filtered like a
// table and carries calculated and lookup fields.
class Query : public DataSet
{
    Q_OBJECT
public:
    explicit Query(Session &session, const QString &alias = QStringLiteral("DevaReru"),
                   QObject *parent = nullptr);

    void setSql(const QStringList &lines); // closes the query; fields are known again after the change
    QStringList sql() const { return m_lines; }
    QString alias() const { return m_alias; }

    // Runs a statement that returns no rows (INSERT, DELETE, UPDATE); returns the rows touched.
    int execSql();

protected:
    Source describeSource() override;
    QList<FieldDef> storedFieldDefs() override;
    QString displayName() const override;
    void checkCanModify() const override;

private:
    const SelectPlan &plan();

    QString m_alias;
    QStringList m_lines;
    std::optional<SelectPlan> m_plan;
};

} // namespace lerk
