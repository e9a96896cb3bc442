#include "DBStatusLabel.h"

#include "DataSet.h"

namespace lerk {

DBStatusLabel::DBStatusLabel(QWidget *parent) : QLabel(parent)
{
    setToolTip(QStringLiteral("Aktuální věta / Počet vět (záznamů)"));
    setAlignment(Qt::AlignCenter);
    setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000 / 0000000")) + 12);
    setFrameShape(QFrame::StyledPanel);
    refresh();
}

void DBStatusLabel::setDataSet(DataSet *dataSet)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataSet = dataSet;
    if (dataSet) {
        m_connections << connect(dataSet, &DataSet::stateChanged, this, &DBStatusLabel::refresh);
        m_connections << connect(dataSet, &DataSet::currentChanged, this, &DBStatusLabel::refresh);
        m_connections << connect(dataSet, &DataSet::rowsReset, this, &DBStatusLabel::refresh);
    }
    refresh();
}

void DBStatusLabel::refresh()
{
    if (!m_dataSet || !m_dataSet->isActive()) {
        setText(QString());
        return;
    }
    // A record being inserted has no number yet.
    const int recNo = m_dataSet->recNo();
    setText(QStringLiteral("%1 / %2")
                .arg(recNo > 0 ? QString::number(recNo) : QStringLiteral("*"))
                .arg(m_dataSet->recordCount()));
}

} // namespace lerk
