#include "DataSetModel.h"

#include "DataSet.h"
#include "Field.h"
#include "GridTexts.h"

#include <QFont>

namespace lerk {

DataSetModel::DataSetModel(QObject *parent) : QAbstractTableModel(parent) {}

void DataSetModel::setDataSet(DataSet *dataSet)
{
    beginResetModel();
    m_dataSet = dataSet;
    m_fields.clear();
    m_layout.clear();
    m_groupFields.clear();
    endResetModel();
}

void DataSetModel::setColumns(const QList<GridColumn> &columns)
{
    beginResetModel();
    m_columns = columns;
    m_fields.clear();
    endResetModel();
}

Field *DataSetModel::fieldOf(int column) const
{
    if (!m_dataSet || column < 0 || column >= m_columns.size())
        return nullptr;
    // Field objects can be rebuilt by the dataset (a query's new statement), so they are looked up
    // again after every reset.
    if (m_fields.size() != m_columns.size()) {
        m_fields.clear();
        for (const GridColumn &c : m_columns)
            m_fields << m_dataSet->findField(c.field);
    }
    return m_fields[column];
}

QString DataSetModel::captionOf(int column) const
{
    const GridColumn &c = m_columns[column];
    if (!c.caption.isEmpty())
        return c.caption;
    Field *f = fieldOf(column);
    return f ? f->displayLabel() : c.field;
}

void DataSetModel::setNewItemRow(bool shown)
{
    if (m_newItemRow == shown)
        return;
    beginResetModel();
    m_newItemRow = shown;
    endResetModel();
}

void DataSetModel::setStyles(const StyleRepository *repository, const QString &sheet,
                             const QString &oddRowStyle, const QString &newItemRowStyle)
{
    m_styles = repository;
    m_sheetName = sheet;
    m_oddRowStyle = oddRowStyle;
    m_newItemStyle = newItemRowStyle;
    if (rowCount() > 0)
        emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
}

StyleRepository::Sheet DataSetModel::sheet() const
{
    return m_styles && !m_sheetName.isEmpty() ? m_styles->sheet(m_sheetName) : StyleRepository::Sheet();
}

void DataSetModel::setGroups(const QStringList &groupFields, const std::vector<GroupLayout::Leaf> &leaves,
                             const QList<int> &summaryColumns)
{
    beginResetModel();
    if (groupFields != m_groupFields)
        m_layout.clear();
    m_groupFields = groupFields;
    m_groupSummaryColumns = summaryColumns;
    QList<FieldType> types;
    for (const QString &g : groupFields) {
        Field *f = m_dataSet ? m_dataSet->findField(g) : nullptr;
        types << (f ? f->type() : FieldType::Text);
    }
    if (groupFields.isEmpty())
        m_layout.clear();
    else
        m_layout.build(leaves, int(groupFields.size()), [](const QVariant &a, const QVariant &b) {
            if (a.isNull() || b.isNull())
                return a.isNull() == b.isNull();
            return a.toString().compare(b.toString(), Qt::CaseInsensitive) == 0 ||
                   (a.typeId() != QMetaType::QString && a == b);
        });
    endResetModel();
}

void DataSetModel::setExpanded(int node, bool expanded)
{
    beginResetModel();
    m_layout.setExpanded(node, expanded);
    endResetModel();
}

void DataSetModel::setAllExpanded(bool expanded)
{
    beginResetModel();
    m_layout.setAllExpanded(expanded);
    endResetModel();
}

void DataSetModel::setGroupFooters(bool shown)
{
    beginResetModel();
    m_layout.setShowFooters(shown);
    endResetModel();
}

QString DataSetModel::groupText(int node) const
{
    if (node < 0 || node >= m_layout.nodeCount() || !m_dataSet)
        return {};
    const GroupLayout::Node &n = m_layout.node(node);
    const QString fieldName = m_groupFields.value(n.level);
    Field *f = m_dataSet->findField(fieldName);
    QString caption = fieldName;
    for (int c = 0; c < m_columns.size(); ++c)
        if (m_columns[c].field.compare(fieldName, Qt::CaseInsensitive) == 0)
            caption = captionOf(c);
    QString value;
    if (f) {
        const QVariant v = DataSet::fromStorage(n.key, f->type());
        value = f->type() == FieldType::Logical && !v.isNull() ? (v.toBool() ? GridTexts::Yes : GridTexts::No)
                                                               : f->format(v, true);
    }
    return QStringLiteral("%1 : %2 (%3)").arg(caption, value, GridTexts::GroupCount.arg(n.rows));
}

DataSetModel::RowKind DataSetModel::rowKind(int row) const
{
    if (m_newItemRow && row == 0)
        return RowKind::NewItem;
    switch (m_layout.item(row - firstDataRow()).kind) {
    case GroupLayout::Kind::Header:
        return RowKind::GroupHeader;
    case GroupLayout::Kind::Footer:
        return RowKind::GroupFooter;
    default:
        return RowKind::Data;
    }
}

int DataSetModel::datasetRowAt(int row) const
{
    if (row < firstDataRow())
        return -1;
    const GroupLayout::Item it = m_layout.item(row - firstDataRow());
    return it.kind == GroupLayout::Kind::Data ? it.datasetRow : -1;
}

int DataSetModel::rowOfDataSetRow(int datasetRow) const
{
    if (datasetRow < 0)
        return -1;
    const int r = m_layout.displayRowOf(datasetRow);
    return r < 0 ? -1 : r + firstDataRow();
}

bool DataSetModel::isInserting() const
{
    return m_dataSet && m_dataSet->state() == DataSetState::Insert;
}

bool DataSetModel::showsEditBuffer(int row) const
{
    if (!m_dataSet)
        return false;
    if (m_newItemRow && row == 0)
        return isInserting();
    return m_dataSet->state() == DataSetState::Edit && datasetRowAt(row) == m_dataSet->currentRow();
}

int DataSetModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid() || !m_dataSet)
        return 0;
    const int count = m_dataSet->isActive() ? m_dataSet->recordCount() : 0;
    return firstDataRow() + m_layout.rowCount(count);
}

int DataSetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QVariant DataSetModel::valueAt(int datasetRow, int column) const
{
    Field *f = fieldOf(column);
    if (!f || !m_dataSet || !m_dataSet->isActive() || datasetRow < 0 ||
        datasetRow >= m_dataSet->recordCount())
        return {};
    try {
        return m_dataSet->rowAt(datasetRow).value(f->index());
    } catch (const EngineError &) {
        return {};
    }
}

QString DataSetModel::textOf(const QVariant &value, int column) const
{
    Field *f = fieldOf(column);
    if (!f || value.isNull())
        return {};
    if (f->type() == FieldType::Logical)
        return value.toBool() ? GridTexts::Yes : GridTexts::No;
    return f->format(value, true);
}

bool DataSetModel::cellReadOnly(int column) const
{
    Field *f = fieldOf(column);
    return m_columns[column].readOnly || !f || f->isReadOnly() || !m_dataSet || !m_dataSet->canModify();
}

CellStyle DataSetModel::cellStyle(int row, int column, RowKind kind, int datasetRow) const
{
    const StyleRepository::Sheet s = sheet();
    CellStyle style = s.content;
    if (!m_styles)
        return style;
    if (kind == RowKind::NewItem)
        return m_styles->style(m_newItemStyle).over(style);
    if (kind == RowKind::GroupHeader || kind == RowKind::GroupFooter)
        return (kind == RowKind::GroupHeader ? s.group : s.footer).over(style);
    Q_UNUSED(row);
    if (datasetRow % 2 == 1 && !m_oddRowStyle.isEmpty())
        style = m_styles->style(m_oddRowStyle).over(style);
    const QString &columnStyle = m_columns[column].styleName;
    if (!columnStyle.isEmpty())
        style = m_styles->style(columnStyle).over(style);
    if (m_cellStyle)
        style = m_cellStyle(datasetRow, column).over(style);
    return style;
}

QVariant DataSetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_dataSet)
        return {};
    const int row = index.row();
    const int column = index.column();
    const RowKind kind = rowKind(row);
    switch (role) {
    case RowKindRole:
        return int(kind);
    case DataSetRowRole:
        return datasetRowAt(row);
    case GroupNodeRole: {
        if (row < firstDataRow())
            return -1;
        const GroupLayout::Item it = m_layout.item(row - firstDataRow());
        return it.kind == GroupLayout::Kind::Data ? -1 : it.node;
    }
    default:
        break;
    }
    Field *f = fieldOf(column);
    if (!f)
        return {};
    const GridColumn &col = m_columns[column];

    if (role == Qt::BackgroundRole || role == Qt::ForegroundRole || role == Qt::FontRole) {
        const CellStyle style = cellStyle(row, column, kind, datasetRowAt(row));
        if (role == Qt::BackgroundRole)
            return style.background.isValid() ? QVariant(style.background) : QVariant();
        if (role == Qt::ForegroundRole)
            return style.foreground.isValid() ? QVariant(style.foreground) : QVariant();
        if (style.bold || kind == RowKind::GroupFooter) {
            QFont font;
            font.setBold(true);
            return font;
        }
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        if (col.alignment)
            return int(col.alignment | Qt::AlignVCenter);
        return int((isNumericType(f->type()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
    }

    if (kind == RowKind::GroupHeader)
        return {};
    if (kind == RowKind::GroupFooter) {
        if (role != Qt::DisplayRole)
            return {};
        const int node = data(index, GroupNodeRole).toInt();
        const int slot = int(m_groupSummaryColumns.indexOf(column));
        if (node < 0 || slot < 0)
            return {};
        const GroupLayout::Node &n = m_layout.node(node);
        if (slot >= n.totals.size())
            return {};
        const QVariant v = n.totals[slot].value(col.groupFooter.kind, f->type());
        return formatSummary(v, col.groupFooter.kind, f->type(), col.groupFooter.format);
    }

    QVariant value;
    if (showsEditBuffer(row))
        value = f->value();
    else if (kind == RowKind::Data)
        value = valueAt(datasetRowAt(row), column);
    else
        return role == Qt::ToolTipRole ? QVariant(m_newItemInfo) : QVariant();

    const bool logical = f->type() == FieldType::Logical;
    switch (role) {
    case Qt::DisplayRole:
        return logical ? QVariant() : QVariant(f->format(value, true));
    case Qt::EditRole:
    case FieldValueRole:
        return value;
    case Qt::CheckStateRole:
        if (!logical)
            return {};
        return value.isNull() ? Qt::Unchecked : (value.toBool() ? Qt::Checked : Qt::Unchecked);
    case Qt::ToolTipRole: {
        // Cell hints: the whole text of a cell that may be cut.
        const QString text = logical ? QString() : f->format(value, true);
        return text.isEmpty() ? QVariant() : QVariant(text);
    }
    default:
        return {};
    }
}

bool DataSetModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (!index.isValid() || !m_dataSet || (role != Qt::EditRole && role != Qt::CheckStateRole))
        return false;
    const int row = index.row();
    const int column = index.column();
    Field *f = fieldOf(column);
    const RowKind kind = rowKind(row);
    if (!f || cellReadOnly(column) || (kind != RowKind::NewItem && kind != RowKind::Data))
        return false;
    QVariant v = value;
    if (role == Qt::CheckStateRole)
        v = value.toInt() == Qt::Checked;
    if (v.typeId() == QMetaType::QString && v.toString().isEmpty())
        v = QVariant();
    // Confirming a cell without changing it leaves the record as it was.
    const QVariant shown = showsEditBuffer(row)    ? f->value()
                           : kind == RowKind::Data ? valueAt(datasetRowAt(row), column)
                                                   : QVariant();
    if (shown == v && shown.isNull() == v.isNull() && role != Qt::CheckStateRole)
        return true;
    try {
        if (kind == RowKind::NewItem) {
            if (!isInserting())
                m_dataSet->append();
        } else {
            const int datasetRow = datasetRowAt(row);
            if (m_dataSet->currentRow() != datasetRow) {
                if (m_dataSet->isEditing())
                    m_dataSet->post();
                m_dataSet->goToRow(datasetRow);
            }
            if (!m_dataSet->isEditing())
                m_dataSet->edit();
        }
        const QVariant old = f->value();
        if (old == v && old.isNull() == v.isNull())
            return true;
        f->setValue(v);
    } catch (const EngineError &e) {
        if (!e.isSilent() && onError)
            onError(e.message());
        refreshRow(row);
        return false;
    }
    refreshRow(row);
    return true;
}

Qt::ItemFlags DataSetModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const RowKind kind = rowKind(index.row());
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (kind == RowKind::GroupHeader || kind == RowKind::GroupFooter)
        return flags;
    Field *f = fieldOf(index.column());
    if (!cellReadOnly(index.column())) {
        if (f && f->type() == FieldType::Logical)
            flags |= Qt::ItemIsUserCheckable;
        else
            flags |= Qt::ItemIsEditable;
    }
    return flags;
}

QVariant DataSetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= m_columns.size())
            return {};
        if (role == Qt::DisplayRole)
            return captionOf(section);
        if (role == Qt::ToolTipRole && !m_columns[section].hint.isEmpty())
            return m_columns[section].hint;
        if (role == Qt::TextAlignmentRole) {
            // The caption sits where the values sit.
            if (m_columns[section].alignment)
                return int(m_columns[section].alignment | Qt::AlignVCenter);
            Field *f = fieldOf(section);
            return int((f && isNumericType(f->type()) ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter);
        }
        return {};
    }
    if (role != Qt::DisplayRole || !m_dataSet)
        return {};
    // The row indicator: the current record, the record being edited, the new-item row.
    const RowKind kind = rowKind(section);
    if (kind == RowKind::NewItem)
        return isInserting() ? QStringLiteral("✎") : QStringLiteral("*");
    if (kind == RowKind::Data && datasetRowAt(section) == m_dataSet->currentRow() && !isInserting())
        return m_dataSet->state() == DataSetState::Edit ? QStringLiteral("✎") : QStringLiteral("▶");
    return QString();
}

void DataSetModel::resetRows()
{
    beginResetModel();
    m_fields.clear();
    endResetModel();
}

void DataSetModel::refreshRow(int row)
{
    if (row < 0 || row >= rowCount() || columnCount() == 0)
        return;
    emit dataChanged(index(row, 0), index(row, columnCount() - 1));
    emit headerDataChanged(Qt::Vertical, row, row);
}

} // namespace lerk
