#pragma once

#include "DataSet.h"
#include "DataSetModel.h"
#include "GridColumn.h"
#include "GridFilter.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace lerk {

class DataSet;
class FilterPanel;
class GridDelegate;
class GridFooter;
class GridHeader;
class GridView;
class GroupByBox;
class StyleRepository;
class Ui;

// The one data grid of the program, bound to a DataSet: columns with in-place editors, a new-item row,
// the row indicator, Enter to the next cell, a grouping box, footer and group-footer summaries, column
// filters with a filter panel, cell styles, incremental search and exports. The focused row and the
// dataset's cursor follow each other.
//
// The grid's own sort, filter and grouping are the dataset's view: SQL on top of the conditions the
// windows set, which stay as they were. Footers and groups are aggregate statements over the same rows.
class DataGrid : public QWidget
{
    Q_OBJECT
public:
    enum class FilterPanelMode { WhenFiltered, Always, Never };
    enum class ExportFormat { Xlsx, Csv, Html, Xml, Text };

    explicit DataGrid(QWidget *parent = nullptr);
    ~DataGrid() override;

    // Messages and questions go through ui; without one the grid uses real dialogs.
    void setUi(Ui *ui);
    Ui &ui();
    void setStyleRepository(const StyleRepository *repository);

    void setDataSet(DataSet *dataSet);
    DataSet *dataSet() const { return m_dataSet; }
    DataSet *viewTable() const { return m_dataSet.data(); }

    // --- columns
    void setColumns(const QList<GridColumn> &columns);
    // One column per visible field of the dataset, in field order.
    void setColumnsFromFields();
    int columnCount() const;
    const GridColumn &column(int index) const;
    int columnOf(const QString &field) const; // -1 when the grid has no such column
    QString captionOf(int column) const;
    void setColumnVisible(int column, bool visible);
    bool isColumnVisible(int column) const;
    void setColumnAlignment(int column, Qt::Alignment alignment);
    void setColumnWidth(int column, int width);
    int columnWidth(int column) const;
    void setFooterSummary(int column, const Summary &summary);
    void setGroupFooterSummary(int column, const Summary &summary);
    void bestFit(int column);
    void bestFitAll();

    // --- options
    void setNewItemRow(bool shown, const QString &infoText = {});
    bool hasNewItemRow() const;
    QString newItemRowText() const;
    void setConfirmDelete(bool confirm) { m_confirmDelete = confirm; }
    bool confirmDelete() const { return m_confirmDelete; }
    void setTabWrapsToNextRow(bool wraps); // off: Tab stops at the row's last cell
    void setRowIndicatorVisible(bool visible);
    void setGroupByBoxVisible(bool visible);
    bool isGroupByBoxVisible() const;
    void setFooterVisible(bool visible);
    bool isFooterVisible() const;
    void setGroupFootersVisible(bool visible);
    bool groupFootersVisible() const;
    void setFilterPanelMode(FilterPanelMode mode);
    void setReadOnly(bool readOnly);
    bool isReadOnly() const { return m_readOnly; }

    // --- styles
    void setStyleSheetName(const QString &name);
    void setOddRowStyle(const QString &name);
    void setNewItemRowStyle(const QString &name);
    void setCellStyleCallback(DataSetModel::CellStyleCallback callback);

    // --- sort, groups, filter
    bool canSortAndFilter() const { return viewTable() != nullptr; }
    void setSortKeys(const QList<SortKey> &keys);
    QList<SortKey> sortKeys() const { return m_sort; }
    void setGroupFields(const QList<SortKey> &groups);
    QList<SortKey> groupKeys() const { return m_groups; }
    QStringList groupFields() const;
    void groupBy(const QString &field, int position = -1);
    void ungroup(const QString &field);
    void expandAll();
    void collapseAll();
    void setGroupExpanded(int node, bool expanded);

    const GridFilter &filter() const { return m_filter; }
    void setFilter(const GridFilter &filter); // throws nothing: an unusable filter is shown and kept off
    void setColumnFilter(const ColumnFilter &filter);
    void clearFilter();
    void setFilterActive(bool active);
    // The grid's filter in the engine's syntax over bare field names, and readably; both empty when the
    // grid has no filter or it is switched off.
    QString filterExpression() const;
    QString filterText() const;
    // A column filter to start from: the grid's own or an empty one with the column's caption and type.
    ColumnFilter columnFilterFor(int column) const;

    // --- summaries
    QString footerText(int column) const;

    // --- actions
    void moveToNextCell();
    bool deleteCurrentRecord();
    // false when the post was refused (the row stays in edit); follow: the focus goes to the posted
    // record, which may have moved.
    bool postEdits(bool follow = true);
    bool beginEdit(const QModelIndex &index);
    // Finds the next row, from the current one on, whose text in the column starts with text.
    bool incrementalSearch(int column, const QString &text);
    bool exportTo(const QString &path, ExportFormat format);
    static ExportFormat formatForPath(const QString &path);

    // --- parts, for windows and tests
    GridView *view() const { return m_view; }
    GridHeader *header() const { return m_header; }
    GroupByBox *groupByBox() const { return m_groupBox; }
    GridFooter *footer() const { return m_footer; }
    FilterPanel *filterPanel() const { return m_filterPanel; }
    DataSetModel *model() const { return m_model; }
    int currentColumn() const;
    int firstVisibleColumn() const;
    void setCurrentCell(int row, int column);
    void showFieldChooser();
    void showColumnMenu(int column, const QPoint &globalPos);
    void showSummaryMenu(int column, const QPoint &globalPos);
    void showFilterMenu(int column, const QPoint &globalPos);
    void showCustomFilter(int column);

signals:
    void focusEntered();
    void focusLeft();
    void filterChanged();
    void groupingChanged();

private:
    void bindSignals();
    void applyView();
    void rebuildGroups();
    void refreshFooter();
    void scheduleSummaries();
    void syncFromDataSet();
    void onCurrentChanged(const QModelIndex &current, const QModelIndex &previous);
    void revertCurrent(const QModelIndex &previous);
    void showError(const QString &message);
    void updateFilterPanel();
    void updateHeaderMarks();
    void updateGroupBox();
    void applyColumnSettings();
    void onFocusChanged(QWidget *old, QWidget *now);
    QList<int> summaryColumns(bool groupFooter) const;

    QPointer<DataSet> m_dataSet;
    QList<QMetaObject::Connection> m_connections;
    DataSetModel *m_model;
    GridView *m_view;
    GridHeader *m_header;
    GridDelegate *m_delegate;
    GroupByBox *m_groupBox;
    GridFooter *m_footer;
    FilterPanel *m_filterPanel;
    std::unique_ptr<Ui> m_ownUi;
    Ui *m_ui = nullptr;
    std::unique_ptr<StyleRepository> m_ownStyles;
    const StyleRepository *m_styles = nullptr;
    QString m_sheet, m_oddStyle, m_newItemStyle;

    QList<SortKey> m_sort;
    QList<SortKey> m_groups;
    GridFilter m_filter;
    FilterPanelMode m_filterPanelMode = FilterPanelMode::WhenFiltered;
    bool m_confirmDelete = true;
    bool m_readOnly = false;
    bool m_syncing = false;
    bool m_hasFocus = false;
    bool m_applyingView = false;
    bool m_groupsDirty = false;
    QTimer m_summaryTimer;
    QTimer m_searchTimer;
    QString m_search;
    QHash<int, QString> m_footerTexts;
};

} // namespace lerk
