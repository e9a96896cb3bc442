#pragma once

#include "LookupBox.h"

#include <QPointer>

namespace lerk {

class DataSet;
class Field;

// A lookup list bound to a field of a dataset: shows the field's value of the current record and
// writes the chosen key into it (the record goes into edit state).
class LookupCombo : public LookupBox
{
    Q_OBJECT
public:
    explicit LookupCombo(QWidget *parent = nullptr);

    void setDataField(DataSet *dataSet, const QString &field);
    DataSet *dataSet() const { return m_dataSet; }
    QString dataField() const { return m_field; }
    // Writes the current choice into the field; errors go to onError.
    bool commit();

    std::function<void(const QString &message)> onError;

private:
    void showValue();
    QPointer<DataSet> m_dataSet;
    QString m_field;
    bool m_updating = false;
};

} // namespace lerk
