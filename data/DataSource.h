#pragma once

#include "DataSet.h"

#include <QObject>
#include <QPointer>

namespace lerk {

// A named handle on a dataset that grids, navigators, master links and report datasets bind to. Pointing
// it at another dataset moves every binding at once, without the bound objects knowing the dataset.
class DataSource : public QObject
{
    Q_OBJECT
public:
    explicit DataSource(DataSet *dataSet = nullptr, QObject *parent = nullptr);

    DataSet *dataSet() const { return m_dataSet; }
    void setDataSet(DataSet *dataSet);

signals:
    void dataSetChanged(lerk::DataSet *dataSet);

private:
    QPointer<DataSet> m_dataSet;
};

} // namespace lerk
