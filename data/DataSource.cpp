#include "DataSource.h"

namespace lerk {

DataSource::DataSource(DataSet *dataSet, QObject *parent) : QObject(parent), m_dataSet(dataSet) {}

void DataSource::setDataSet(DataSet *dataSet)
{
    if (m_dataSet == dataSet)
        return;
    m_dataSet = dataSet;
    emit dataSetChanged(dataSet);
}

} // namespace lerk
