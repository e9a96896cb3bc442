#pragma once

#include "DataSet.h"
#include "GridColumn.h"
#include "GroupLayout.h"
#include "StyleRepository.h"

#include <QAbstractTableModel>
#include <QPointer>
#include <functional>

namespace lerk {

class DataSet;
class Field;

// The rows of a DataSet as a table model: an optional new-item row on top, then the dataset's rows in
// its order, or group header, data and group footer rows when grouped. Rows are read from the dataset
// when the view asks for them (the dataset pages and caches them); the model holds no copy. The row
// being edited shows the dataset's edit buffer; a record being inserted shows in the new-item row.
class DataSetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Role {
        RowKindRole = Qt::UserRole + 1, // RowKind
        DataSetRowRole,                 // dataset row of a data row, -1 otherwise
        GroupNodeRole,                  // group of a header or footer row, -1 otherwise
        FieldValueRole,                 // the field value (typed), for editors and exports
    };
    enum class RowKind { NewItem, Data, GroupHeader, GroupFooter };

    explicit DataSetModel(QObject *parent = nullptr);

    void setDataSet(DataSet *dataSet);
    DataSet *dataSet() const { return m_dataSet; }
    void setColumns(const QList<GridColumn> &columns);
    const QList<GridColumn> &columns() const { return m_columns; }
    GridColumn &column(int index) { return m_columns[index]; }
    Field *fieldOf(int column) const;
    QString captionOf(int column) const;

    void setNewItemRow(bool shown);
    bool hasNewItemRow() const { return m_newItemRow; }
    void setNewItemInfo(const QString &text) { m_newItemInfo = text; }
    QString newItemInfo() const { return m_newItemInfo; }

    // Styles: the repository's sheet, odd-row and new-item-row styles, per-column styles and a callback
    // asked for every data cell (dataset row, column) after the others.
    void setStyles(const StyleRepository *repository, const QString &sheet, const QString &oddRowStyle,
                   const QString &newItemRowStyle);
    using CellStyleCallback = std::function<CellStyle(int datasetRow, int column)>;
    void setCellStyleCallback(CellStyleCallback callback) { m_cellStyle = std::move(callback); }
    StyleRepository::Sheet sheet() const;

    // Grouping. The dataset must already be ordered by the group fields.
    GroupLayout &layout() { return m_layout; }
    const GroupLayout &layout() const { return m_layout; }
    void setGroups(const QStringList &groupFields, const std::vector<GroupLayout::Leaf> &leaves,
                   const QList<int> &summaryColumns);
    QStringList groupFields() const { return m_groupFields; }
    const QList<int> &groupSummaryColumns() const { return m_groupSummaryColumns; }
    void setExpanded(int node, bool expanded);
    void setAllExpanded(bool expanded);
    QString groupText(int node) const;
    void setGroupFooters(bool shown);

    RowKind rowKind(int row) const;
    int datasetRowAt(int row) const;           // -1 for rows that are not data rows
    int rowOfDataSetRow(int datasetRow) const; // -1 when hidden in a collapsed group
    int firstDataRow() const { return m_newItemRow ? 1 : 0; }
    bool isInserting() const;
    // The new-item row, or the current record while it is edited, shows the edit buffer.
    bool showsEditBuffer(int row) const;

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex &index, const QVariant &value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Typed value and display text of a cell of a dataset row, for exports and searches.
    QVariant valueAt(int datasetRow, int column) const;
    QString textOf(const QVariant &value, int column) const;

    // Called for an engine error of an edit; the grid shows it through its Ui.
    std::function<void(const QString &message)> onError;

    // The grid calls these when the dataset tells what changed.
    void resetRows();
    void refreshRow(int row);

private:
    bool cellReadOnly(int column) const;
    CellStyle cellStyle(int row, int column, RowKind kind, int datasetRow) const;

    QPointer<DataSet> m_dataSet;
    QList<GridColumn> m_columns;
    mutable QList<Field *> m_fields;
    bool m_newItemRow = false;
    QString m_newItemInfo;
    const StyleRepository *m_styles = nullptr;
    QString m_sheetName, m_oddRowStyle, m_newItemStyle;
    CellStyleCallback m_cellStyle;
    GroupLayout m_layout;
    QStringList m_groupFields;
    QList<int> m_groupSummaryColumns;
};

} // namespace lerk
