#pragma once

#include <QLabel>
#include <QPointer>

namespace lerk {

class DataSet;

// "current record / number of records" of a dataset, kept up to date.
class DBStatusLabel : public QLabel
{
    Q_OBJECT
public:
    explicit DBStatusLabel(QWidget *parent = nullptr);
    void setDataSet(DataSet *dataSet);

private:
    void refresh();
    QPointer<DataSet> m_dataSet;
    QList<QMetaObject::Connection> m_connections;
};

} // namespace lerk
