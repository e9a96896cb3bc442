#include "LookupBox.h"

#include "DataSet.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QStandardItemModel>
#include <QTreeView>

namespace lerk {

LookupBox::LookupBox(QWidget *parent)
    : QComboBox(parent), m_items(new QStandardItemModel(this)), m_view(new QTreeView)
{
    setObjectName(QStringLiteral("lookupBox"));
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setAllColumnsShowFocus(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->header()->setStretchLastSection(true);
    setModel(m_items);
    setView(m_view);
}

void LookupBox::setLookup(const LookupList &lookup)
{
    m_lookup = lookup;
    reload();
}

void LookupBox::reload()
{
    const QString typed = currentText();
    m_items->clear();
    DataSet *source = m_lookup.source;
    if (!source || !source->isActive())
        return;
    QStringList fields = m_lookup.listFields;
    if (fields.isEmpty())
        fields << m_lookup.keyField;
    // The key goes into the first model column, which the combo shows and completes on.
    Field *key = source->findField(m_lookup.keyField);
    QList<Field *> shown;
    QStringList headers;
    for (const QString &f : std::as_const(fields)) {
        Field *field = source->findField(f);
        shown << field;
        headers << (field ? field->displayLabel() : f);
    }
    const bool keyFirst = !shown.isEmpty() && shown.first() == key;
    if (!keyFirst) {
        shown.prepend(key);
        headers.prepend(key ? key->displayLabel() : m_lookup.keyField);
    }
    m_items->setHorizontalHeaderLabels(headers);
    for (int r = 0; r < source->recordCount(); ++r) {
        const Row &row = source->rowAt(r);
        QList<QStandardItem *> items;
        for (Field *f : std::as_const(shown)) {
            const QVariant v = f ? row.value(f->index()) : QVariant();
            auto *item = new QStandardItem(f ? f->format(v, true) : QString());
            item->setData(v, Qt::UserRole);
            item->setEditable(false);
            items << item;
        }
        m_items->appendRow(items);
    }
    setModelColumn(0);
    m_view->setColumnHidden(0, !keyFirst);
    for (int c = 0; c < m_lookup.listWidths.size(); ++c) {
        const int column = keyFirst ? c : c + 1;
        if (m_lookup.listWidths[c] > 0)
            m_view->setColumnWidth(column, m_lookup.listWidths[c]);
    }
    setMaxVisibleItems(std::max(1, m_lookup.rows));
    setCurrentIndex(-1);
    setEditText(typed);
}

void LookupBox::setKey(const QVariant &key)
{
    const QString text = key.isNull() ? QString() : key.toString();
    const int at = findText(text, Qt::MatchFixedString);
    setCurrentIndex(at);
    setEditText(at >= 0 ? itemText(at) : text);
}

std::optional<QVariant> LookupBox::key() const
{
    const QString text = currentText().trimmed();
    if (text.isEmpty())
        return QVariant();
    for (int r = 0; r < m_items->rowCount(); ++r) {
        QStandardItem *item = m_items->item(r, 0);
        if (item->text().compare(text, Qt::CaseInsensitive) == 0)
            return item->data(Qt::UserRole);
    }
    if (m_lookup.freeText)
        return QVariant(currentText());
    return std::nullopt;
}

void LookupBox::showPopup()
{
    int width = m_lookup.dropDownWidth;
    if (width <= 0) {
        width = 0;
        for (int c = 0; c < m_items->columnCount(); ++c)
            if (!m_view->isColumnHidden(c))
                width += std::max(m_view->columnWidth(c), 60);
    }
    m_view->setMinimumWidth(std::max(width, this->width()));
    QComboBox::showPopup();
}

} // namespace lerk
