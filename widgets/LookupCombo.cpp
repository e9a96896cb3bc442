#include "LookupCombo.h"

#include "DataSet.h"

#include <QLineEdit>

namespace lerk {

LookupCombo::LookupCombo(QWidget *parent) : LookupBox(parent)
{
    setObjectName(QStringLiteral("lookupCombo"));
    connect(this, &QComboBox::activated, this, [this] { commit(); });
    connect(lineEdit(), &QLineEdit::editingFinished, this, [this] { commit(); });
}

void LookupCombo::setDataField(DataSet *dataSet, const QString &field)
{
    if (m_dataSet)
        disconnect(m_dataSet, nullptr, this, nullptr);
    m_dataSet = dataSet;
    m_field = field;
    if (dataSet) {
        connect(dataSet, &DataSet::currentChanged, this, &LookupCombo::showValue);
        connect(dataSet, &DataSet::stateChanged, this, &LookupCombo::showValue);
        connect(dataSet, &DataSet::fieldChanged, this, [this](Field *f) {
            if (f->name().compare(m_field, Qt::CaseInsensitive) == 0)
                showValue();
        });
    }
    showValue();
}

void LookupCombo::showValue()
{
    if (m_updating)
        return;
    Field *f = m_dataSet && m_dataSet->isActive() ? m_dataSet->findField(m_field) : nullptr;
    setKey(f ? f->value() : QVariant());
}

bool LookupCombo::commit()
{
    Field *f = m_dataSet && m_dataSet->isActive() ? m_dataSet->findField(m_field) : nullptr;
    if (!f)
        return false;
    const auto k = key();
    if (!k) {
        showValue();
        return false;
    }
    if (f->value() == *k && f->value().isNull() == k->isNull())
        return true;
    m_updating = true;
    try {
        if (!m_dataSet->isEditing())
            m_dataSet->edit();
        f->setValue(*k);
    } catch (const EngineError &e) {
        m_updating = false;
        if (!e.isSilent() && onError)
            onError(e.message());
        showValue();
        return false;
    }
    m_updating = false;
    return true;
}

} // namespace lerk
