#include "DataGrid.h"

#include "Clock.h"
#include "DataSet.h"
#include "FilterPanel.h"
#include "GridDelegate.h"
#include "GridFooter.h"
#include "GridHeader.h"
#include "GridSummaries.h"
#include "GridTexts.h"
#include "GridView.h"
#include "GroupByBox.h"
#include "QtUi.h"
#include "Session.h"
#include "StyleRepository.h"

#include <QApplication>
#include <QHeaderView>
#include <QLoggingCategory>
#include <QScrollBar>
#include <QVBoxLayout>

Q_LOGGING_CATEGORY(lcGrid, "lerk.grid")

namespace lerk {

DataGrid::DataGrid(QWidget *parent)
    : QWidget(parent), m_model(new DataSetModel(this)), m_view(new GridView(this)),
      m_header(new GridHeader(m_view)), m_delegate(new GridDelegate(m_model, this)),
      m_groupBox(new GroupByBox(this)), m_footer(nullptr), m_filterPanel(new FilterPanel(this))
{
    m_view->setHorizontalHeader(m_header);
    m_view->setModel(m_model);
    m_view->setItemDelegate(m_delegate);
    m_footer = new GridFooter(m_header, this);
    m_groupBox->setHeader(m_header);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_groupBox);
    layout->addWidget(m_view, 1);
    layout->addWidget(m_footer);
    layout->addWidget(m_filterPanel);
    m_groupBox->hide();
    m_footer->hide();
    m_filterPanel->hide();
    m_ownStyles = std::make_unique<StyleRepository>();
    m_styles = m_ownStyles.get();
    setFocusProxy(m_view);

    m_summaryTimer.setSingleShot(true);
    m_summaryTimer.setInterval(0);
    connect(&m_summaryTimer, &QTimer::timeout, this, [this] {
        if (m_groupsDirty)
            rebuildGroups();
        refreshFooter();
    });
    m_searchTimer.setSingleShot(true);
    m_searchTimer.setInterval(1500);
    connect(&m_searchTimer, &QTimer::timeout, this, [this] { m_search.clear(); });

    m_model->onError = [this](const QString &message) { showError(message); };
    m_view->beginEdit = [this](const QModelIndex &index) { return beginEdit(index); };
    connect(m_view->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &DataGrid::onCurrentChanged);
    connect(m_view, &GridView::enterPressed, this, &DataGrid::moveToNextCell);
    connect(m_delegate, &GridDelegate::enterCommitted, this, [this] {
        // The editor is closed only after this returns; move once it is gone.
        QTimer::singleShot(0, this, &DataGrid::moveToNextCell);
    });
    connect(m_view, &GridView::deletePressed, this, [this] { deleteCurrentRecord(); });
    connect(m_view, &GridView::groupToggled, this, [this](int row) {
        const int node = m_model->data(m_model->index(row, 0), DataSetModel::GroupNodeRole).toInt();
        if (node >= 0)
            setGroupExpanded(node, !m_model->layout().node(node).expanded);
    });
    connect(m_view, &GridView::searchTyped, this, [this](const QString &text) {
        m_search += text;
        m_searchTimer.start();
        incrementalSearch(currentColumn(), m_search);
    });
    connect(m_header, &QHeaderView::customContextMenuRequested, this, [this](const QPoint &pos) {
        showColumnMenu(m_header->logicalIndexAt(pos), m_header->mapToGlobal(pos));
    });
    connect(m_header, &GridHeader::filterButtonClicked, this, &DataGrid::showFilterMenu);
    connect(m_header, &QHeaderView::sectionClicked, this, [this](int section) {
        if (!canSortAndFilter() || section < 0)
            return;
        const QString field = column(section).field;
        const bool descending = !m_sort.isEmpty() &&
                                m_sort.first().field.compare(field, Qt::CaseInsensitive) == 0 &&
                                !m_sort.first().descending;
        setSortKeys({SortKey{field, descending}});
    });
    connect(m_footer, &GridFooter::menuRequested, this, &DataGrid::showSummaryMenu);
    connect(m_groupBox, &GroupByBox::columnDropped, this, [this](int section, int position) {
        if (section >= 0 && section < columnCount())
            groupBy(column(section).field, position);
    });
    connect(m_groupBox, &GroupByBox::groupRemoved, this, [this](int index) {
        if (index >= 0 && index < m_groups.size())
            ungroup(m_groups[index].field);
    });
    connect(m_groupBox, &GroupByBox::groupClicked, this, [this](int index) {
        if (index < 0 || index >= m_groups.size())
            return;
        QList<SortKey> groups = m_groups;
        groups[index].descending = !groups[index].descending;
        setGroupFields(groups);
    });
    connect(m_filterPanel, &FilterPanel::activeToggled, this, &DataGrid::setFilterActive);
    connect(m_filterPanel, &FilterPanel::clearRequested, this, &DataGrid::clearFilter);
    connect(m_filterPanel, &FilterPanel::customizeRequested, this, [this] {
        const int c = m_filter.isEmpty() ? currentColumn() : columnOf(m_filter.columns().first().field);
        showCustomFilter(c >= 0 ? c : 0);
    });
    connect(m_view->horizontalScrollBar(), &QScrollBar::valueChanged, m_footer,
            qOverload<>(&QWidget::update));
    connect(qApp, &QApplication::focusChanged, this, &DataGrid::onFocusChanged);
    setStyleSheetName(StyleRepository::Ciselniky);
    updateFilterPanel();
    updateGroupBox();
}

DataGrid::~DataGrid()
{
    // The children die after this object has stopped being a DataGrid; nothing may call back into it.
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    disconnect(qApp, nullptr, this, nullptr);
    m_view->selectionModel()->disconnect(this);
    m_view->disconnect(this);
    m_delegate->disconnect(this);
    m_summaryTimer.stop();
}

void DataGrid::setUi(Ui *ui)
{
    m_ui = ui;
}

Ui &DataGrid::ui()
{
    if (m_ui)
        return *m_ui;
    if (!m_ownUi)
        m_ownUi = std::make_unique<QtUi>(this);
    return *m_ownUi;
}

void DataGrid::setStyleRepository(const StyleRepository *repository)
{
    m_styles = repository ? repository : m_ownStyles.get();
    m_model->setStyles(m_styles, m_sheet, m_oddStyle, m_newItemStyle);
    setStyleSheetName(m_sheet);
}

void DataGrid::setStyleSheetName(const QString &name)
{
    m_sheet = name;
    m_model->setStyles(m_styles, m_sheet, m_oddStyle, m_newItemStyle);
    const StyleRepository::Sheet sheet = m_model->sheet();
    QPalette pal = m_view->palette();
    if (sheet.selection.background.isValid())
        pal.setColor(QPalette::Active, QPalette::Highlight, sheet.selection.background);
    if (sheet.selection.foreground.isValid())
        pal.setColor(QPalette::Active, QPalette::HighlightedText, sheet.selection.foreground);
    if (sheet.inactiveSelection.background.isValid())
        pal.setColor(QPalette::Inactive, QPalette::Highlight, sheet.inactiveSelection.background);
    if (sheet.inactiveSelection.foreground.isValid())
        pal.setColor(QPalette::Inactive, QPalette::HighlightedText, sheet.inactiveSelection.foreground);
    if (sheet.content.background.isValid())
        pal.setColor(QPalette::Base, sheet.content.background);
    m_view->setPalette(pal);
}

void DataGrid::setOddRowStyle(const QString &name)
{
    m_oddStyle = name;
    m_model->setStyles(m_styles, m_sheet, m_oddStyle, m_newItemStyle);
}

void DataGrid::setNewItemRowStyle(const QString &name)
{
    m_newItemStyle = name;
    m_model->setStyles(m_styles, m_sheet, m_oddStyle, m_newItemStyle);
}

void DataGrid::setCellStyleCallback(DataSetModel::CellStyleCallback callback)
{
    m_model->setCellStyleCallback(std::move(callback));
    m_view->viewport()->update();
}

// ---------------------------------------------------------------------------------------------------
// binding

void DataGrid::setDataSet(DataSet *dataSet)
{
    for (const auto &c : std::as_const(m_connections))
        disconnect(c);
    m_connections.clear();
    m_dataSet = dataSet;
    m_model->setDataSet(dataSet);
    if (dataSet)
        bindSignals();
    m_header->setFilterButtonsShown(canSortAndFilter());
    if (m_model->columns().isEmpty() && dataSet)
        setColumnsFromFields();
    else
        applyColumnSettings(); // fitted widths need the fields
    if (auto *t = viewTable();
        t && (!t->viewOrder().isEmpty() || !t->viewFilter().isEmpty() || !m_sort.isEmpty()))
        applyView();
    scheduleSummaries();
    syncFromDataSet();
}

void DataGrid::bindSignals()
{
    DataSet *ds = m_dataSet;
    m_connections << connect(ds, &DataSet::rowsReset, this, [this] {
        // A view being applied reopens the table; the grid settles once, when it is done.
        if (m_applyingView)
            return;
        const bool had = m_syncing;
        m_syncing = true;
        m_model->resetRows();
        if (m_model->layout().isGrouped() || !m_groups.isEmpty())
            rebuildGroups();
        m_syncing = had;
        scheduleSummaries();
        syncFromDataSet();
    });
    m_connections << connect(ds, &DataSet::currentChanged, this, [this] {
        if (!m_syncing)
            syncFromDataSet();
        m_view->verticalHeader()->viewport()->update();
    });
    m_connections << connect(ds, &DataSet::rowUpdated, this, [this](int row) {
        m_model->refreshRow(m_model->rowOfDataSetRow(row));
        // A record that kept its place may still have left its group or changed its totals.
        m_groupsDirty = !m_groups.isEmpty();
        scheduleSummaries();
    });
    m_connections << connect(ds, &DataSet::fieldChanged, this, [this] {
        if (m_model->isInserting())
            m_model->refreshRow(0);
        else
            m_model->refreshRow(m_model->rowOfDataSetRow(m_dataSet->currentRow()));
    });
    m_connections << connect(ds, &DataSet::stateChanged, this, [this] {
        if (!m_dataSet)
            return;
        if (m_model->hasNewItemRow())
            m_model->refreshRow(0);
        m_model->refreshRow(m_model->rowOfDataSetRow(m_dataSet->currentRow()));
        m_view->verticalHeader()->viewport()->update();
        m_view->viewport()->update();
        // A record inserted from elsewhere (the navigator) is typed into the new-item row.
        if (m_dataSet->state() == DataSetState::Insert && m_model->hasNewItemRow() && !m_syncing &&
            m_view->currentIndex().row() != 0) {
            const bool had = m_syncing;
            m_syncing = true;
            m_view->setCurrentIndex(m_model->index(0, firstVisibleColumn()));
            m_syncing = had;
        }
    });
    m_connections << connect(ds, &DataSet::afterPost, this, [this] { scheduleSummaries(); });
}

void DataGrid::syncFromDataSet()
{
    if (!m_dataSet || !m_dataSet->isActive())
        return;
    int row = -1;
    if (m_dataSet->state() == DataSetState::Insert && m_model->hasNewItemRow()) {
        row = 0;
    } else {
        const int dsRow = m_dataSet->currentRow();
        if (dsRow < 0)
            return;
        row = m_model->rowOfDataSetRow(dsRow);
        if (row < 0 && m_model->layout().isGrouped()) {
            m_model->layout().expandTo(dsRow);
            m_model->resetRows();
            row = m_model->rowOfDataSetRow(dsRow);
        }
    }
    if (row < 0)
        return;
    const int column = std::max(0, currentColumn());
    const bool had = m_syncing;
    m_syncing = true;
    m_view->setCurrentIndex(m_model->index(row, column));
    // The new-item row stays in sight while the first record is current.
    m_view->scrollTo(m_model->index(row == m_model->firstDataRow() ? 0 : row, column));
    m_syncing = had;
}

void DataGrid::onCurrentChanged(const QModelIndex &current, const QModelIndex &previous)
{
    m_view->verticalHeader()->viewport()->update();
    if (m_syncing || !m_dataSet || !m_dataSet->isActive() || !current.isValid())
        return;
    if (previous.isValid() && current.row() == previous.row())
        return;
    const auto kind = m_model->rowKind(current.row());
    const int target = m_model->datasetRowAt(current.row());
    if (kind == DataSetModel::RowKind::NewItem && m_model->isInserting())
        return;
    // Leaving a row posts it; a refused post keeps the focus and the typed values where they were.
    const bool wasInsert = m_model->isInserting();
    if (m_dataSet->isEditing() && !postEdits(false)) {
        revertCurrent(previous);
        return;
    }
    if (kind != DataSetModel::RowKind::Data)
        return;
    // The post may have moved rows (a new record takes its place in the order): go by what the
    // clicked row shows now.
    const int dsRow = wasInsert || target != m_model->datasetRowAt(current.row())
                          ? m_model->datasetRowAt(m_view->currentIndex().row())
                          : target;
    if (dsRow < 0 || dsRow == m_dataSet->currentRow())
        return;
    const bool had = m_syncing;
    m_syncing = true;
    try {
        m_dataSet->goToRow(dsRow);
    } catch (const EngineError &e) {
        m_syncing = had;
        if (!e.isSilent())
            showError(e.message());
        syncFromDataSet();
        return;
    }
    m_syncing = had;
}

void DataGrid::revertCurrent(const QModelIndex &previous)
{
    const int row = m_model->isInserting() && m_model->hasNewItemRow() ? 0 : previous.row();
    const int column = previous.column();
    QTimer::singleShot(0, this, [this, row, column] {
        const bool had = m_syncing;
        m_syncing = true;
        m_view->setCurrentIndex(m_model->index(row, std::max(0, column)));
        m_syncing = had;
    });
    const bool had = m_syncing;
    m_syncing = true;
    m_view->setCurrentIndex(m_model->index(row, std::max(0, column)));
    m_syncing = had;
}

bool DataGrid::beginEdit(const QModelIndex &index)
{
    if (!m_dataSet || !m_dataSet->isActive() || m_readOnly)
        return false;
    const auto kind = m_model->rowKind(index.row());
    try {
        const bool had = m_syncing;
        m_syncing = true;
        struct Restore
        {
            bool &flag;
            bool value;
            ~Restore() { flag = value; }
        } restore{m_syncing, had};
        if (kind == DataSetModel::RowKind::NewItem) {
            if (!m_model->isInserting()) {
                if (m_dataSet->isEditing())
                    m_dataSet->post();
                m_dataSet->append();
            }
            return true;
        }
        if (kind != DataSetModel::RowKind::Data)
            return false;
        const int dsRow = m_model->datasetRowAt(index.row());
        if (m_dataSet->currentRow() != dsRow || m_model->isInserting()) {
            if (m_dataSet->isEditing())
                m_dataSet->post();
            m_dataSet->goToRow(dsRow);
        }
        if (!m_dataSet->isEditing())
            m_dataSet->edit();
    } catch (const EngineError &e) {
        if (!e.isSilent())
            showError(e.message());
        return false;
    }
    return true;
}

bool DataGrid::postEdits(bool follow)
{
    if (!m_dataSet || !m_dataSet->isEditing())
        return true;
    try {
        const bool had = m_syncing;
        m_syncing = true;
        try {
            m_dataSet->post();
        } catch (...) {
            m_syncing = had;
            throw;
        }
        m_syncing = had;
    } catch (const EngineError &e) {
        if (!e.isSilent())
            showError(e.message());
        m_view->viewport()->update();
        return false;
    }
    if (follow)
        syncFromDataSet();
    return true;
}

void DataGrid::showError(const QString &message)
{
    ui().error(message);
}

void DataGrid::onFocusChanged(QWidget *old, QWidget *now)
{
    const bool inside = now && (now == this || isAncestorOf(now));
    // Popups of editors (calendar, lookup list) belong to the grid as well.
    const bool popup = now && now->window() != window() && old && isAncestorOf(old);
    if (inside == m_hasFocus || popup)
        return;
    m_hasFocus = inside;
    if (inside)
        emit focusEntered();
    else
        emit focusLeft();
}

// ---------------------------------------------------------------------------------------------------
// columns

void DataGrid::setColumns(const QList<GridColumn> &columns)
{
    m_model->setColumns(columns);
    applyColumnSettings();
    scheduleSummaries();
}

void DataGrid::setColumnsFromFields()
{
    QList<GridColumn> columns;
    if (m_dataSet)
        for (Field *f : m_dataSet->fields()) {
            GridColumn c;
            c.field = f->name();
            c.visible = f->isVisible();
            columns << c;
        }
    setColumns(columns);
}

void DataGrid::applyColumnSettings()
{
    const QFontMetrics fm(m_view->font());
    for (int i = 0; i < columnCount(); ++i) {
        const GridColumn &c = column(i);
        m_view->setColumnHidden(i, !c.visible);
        int width = c.width;
        if (width <= 0) {
            Field *f = m_model->fieldOf(i);
            int chars = 10;
            if (f) {
                switch (f->type()) {
                case FieldType::Text:
                    chars = std::clamp(f->size(), 3, 40);
                    break;
                case FieldType::Date:
                    chars = 10;
                    break;
                case FieldType::Logical:
                    chars = 3;
                    break;
                default:
                    chars = 8;
                }
            }
            width = std::max(fm.horizontalAdvance(captionOf(i)) + 36,
                             fm.horizontalAdvance(QLatin1Char('0')) * chars + 16);
        }
        m_view->setColumnWidth(i, width);
    }
    updateHeaderMarks();
}

int DataGrid::columnCount() const
{
    return int(m_model->columns().size());
}

const GridColumn &DataGrid::column(int index) const
{
    return m_model->columns().at(index);
}

int DataGrid::columnOf(const QString &field) const
{
    for (int i = 0; i < columnCount(); ++i)
        if (column(i).field.compare(field, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString DataGrid::captionOf(int column) const
{
    return m_model->captionOf(column);
}

void DataGrid::setColumnVisible(int c, bool visible)
{
    m_model->column(c).visible = visible;
    m_view->setColumnHidden(c, !visible);
    m_footer->update();
}

bool DataGrid::isColumnVisible(int c) const
{
    return !m_view->isColumnHidden(c);
}

void DataGrid::setColumnAlignment(int c, Qt::Alignment alignment)
{
    m_model->column(c).alignment = alignment;
    emit m_model->headerDataChanged(Qt::Horizontal, c, c);
    m_view->viewport()->update();
}

void DataGrid::setColumnWidth(int c, int width)
{
    m_model->column(c).width = width;
    m_view->setColumnWidth(c, width);
}

int DataGrid::columnWidth(int c) const
{
    return m_view->columnWidth(c);
}

void DataGrid::setFooterSummary(int c, const Summary &summary)
{
    m_model->column(c).footer = summary;
    scheduleSummaries();
}

void DataGrid::setGroupFooterSummary(int c, const Summary &summary)
{
    m_model->column(c).groupFooter = summary;
    m_groupsDirty = !m_groups.isEmpty();
    scheduleSummaries();
}

void DataGrid::bestFit(int c)
{
    // Fitted to the rows on screen and the caption: never a walk over every record.
    m_view->resizeColumnToContents(c);
    const int caption = m_header->fontMetrics().horizontalAdvance(captionOf(c)) + 40;
    if (m_view->columnWidth(c) < caption)
        m_view->setColumnWidth(c, caption);
    m_model->column(c).width = m_view->columnWidth(c);
}

void DataGrid::bestFitAll()
{
    for (int c = 0; c < columnCount(); ++c)
        if (isColumnVisible(c))
            bestFit(c);
}

// ---------------------------------------------------------------------------------------------------
// options

void DataGrid::setNewItemRow(bool shown, const QString &infoText)
{
    if (!infoText.isEmpty())
        m_model->setNewItemInfo(infoText);
    else if (m_model->newItemInfo().isEmpty())
        m_model->setNewItemInfo(GridTexts::NewItemRowInfo);
    m_model->setNewItemRow(shown);
    if (m_newItemStyle.isEmpty())
        setNewItemRowStyle(StyleRepository::LimeBlack);
    syncFromDataSet();
}

bool DataGrid::hasNewItemRow() const
{
    return m_model->hasNewItemRow();
}

QString DataGrid::newItemRowText() const
{
    return m_model->newItemInfo();
}

void DataGrid::setTabWrapsToNextRow(bool wraps)
{
    m_view->setTabWrapsToNextRow(wraps);
}

void DataGrid::setRowIndicatorVisible(bool visible)
{
    m_view->verticalHeader()->setVisible(visible);
}

void DataGrid::setGroupByBoxVisible(bool visible)
{
    m_groupBox->setVisible(visible);
}

bool DataGrid::isGroupByBoxVisible() const
{
    return m_groupBox->isVisibleTo(this);
}

void DataGrid::setFooterVisible(bool visible)
{
    m_footer->setVisible(visible);
    m_footer->setLeftMargin(m_view->verticalHeader()->isVisible()
                                ? m_view->verticalHeader()->width() + m_view->frameWidth()
                                : m_view->frameWidth());
    scheduleSummaries();
}

bool DataGrid::isFooterVisible() const
{
    return m_footer->isVisibleTo(this);
}

void DataGrid::setGroupFootersVisible(bool visible)
{
    m_model->setGroupFooters(visible);
    m_groupsDirty = !m_groups.isEmpty();
    scheduleSummaries();
}

bool DataGrid::groupFootersVisible() const
{
    return m_model->layout().showFooters();
}

void DataGrid::setFilterPanelMode(FilterPanelMode mode)
{
    m_filterPanelMode = mode;
    updateFilterPanel();
}

void DataGrid::setReadOnly(bool readOnly)
{
    m_readOnly = readOnly;
    m_view->setEditTriggers(readOnly
                                ? QAbstractItemView::NoEditTriggers
                                : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                      QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
}

// ---------------------------------------------------------------------------------------------------
// sort, groups, filter

QStringList DataGrid::groupFields() const
{
    QStringList out;
    for (const SortKey &k : m_groups)
        out << k.field;
    return out;
}

void DataGrid::setSortKeys(const QList<SortKey> &keys)
{
    m_sort = keys;
    applyView();
}

void DataGrid::setGroupFields(const QList<SortKey> &groups)
{
    if (!canSortAndFilter() && !groups.isEmpty())
        return;
    m_groups = groups;
    applyView();
    updateGroupBox();
    emit groupingChanged();
}

void DataGrid::groupBy(const QString &field, int position)
{
    QList<SortKey> groups = m_groups;
    for (int i = 0; i < groups.size(); ++i)
        if (groups[i].field.compare(field, Qt::CaseInsensitive) == 0)
            groups.removeAt(i--);
    SortKey key{field, false};
    for (const SortKey &s : std::as_const(m_sort))
        if (s.field.compare(field, Qt::CaseInsensitive) == 0)
            key.descending = s.descending;
    if (position < 0 || position > groups.size())
        position = int(groups.size());
    groups.insert(position, key);
    setGroupFields(groups);
}

void DataGrid::ungroup(const QString &field)
{
    QList<SortKey> groups = m_groups;
    for (int i = 0; i < groups.size(); ++i)
        if (groups[i].field.compare(field, Qt::CaseInsensitive) == 0)
            groups.removeAt(i--);
    setGroupFields(groups);
}

void DataGrid::expandAll()
{
    m_model->setAllExpanded(true);
    syncFromDataSet();
}

void DataGrid::collapseAll()
{
    m_model->setAllExpanded(false);
    m_view->setCurrentIndex(m_model->index(m_model->firstDataRow(), std::max(0, currentColumn())));
}

void DataGrid::setGroupExpanded(int node, bool expanded)
{
    const int column = std::max(0, currentColumn());
    m_model->setExpanded(node, expanded);
    // The group's own row stays focused.
    for (int r = m_model->firstDataRow(); r < m_model->rowCount(); ++r) {
        if (m_model->data(m_model->index(r, 0), DataSetModel::GroupNodeRole).toInt() == node &&
            m_model->rowKind(r) == DataSetModel::RowKind::GroupHeader) {
            const bool had = m_syncing;
            m_syncing = true;
            m_view->setCurrentIndex(m_model->index(r, column));
            m_syncing = had;
            break;
        }
    }
}

void DataGrid::applyView()
{
    updateHeaderMarks();
    DataSet *t = viewTable();
    if (!t)
        return;
    QList<SortKey> order = m_groups;
    for (const SortKey &k : std::as_const(m_sort)) {
        const bool grouped = std::any_of(m_groups.begin(), m_groups.end(), [&](const SortKey &g) {
            return g.field.compare(k.field, Qt::CaseInsensitive) == 0;
        });
        if (!grouped)
            order << k;
    }
    FilterExpr expr;
    const QString text = filterExpression();
    try {
        expr = FilterExpr::parse(text);
        if (!postEdits())
            return;
        m_applyingView = true;
        struct Reset
        {
            bool &flag;
            ~Reset() { flag = false; }
        } reset{m_applyingView};
        t->setView(expr, order);
    } catch (const EngineError &e) {
        showError(e.message());
        m_filter.setActive(false);
        try {
            t->setView(FilterExpr(), order);
        } catch (const EngineError &) {
        }
    }
    rebuildGroups();
    updateFilterPanel();
    scheduleSummaries();
}

void DataGrid::rebuildGroups()
{
    DataSet *t = viewTable();
    if (!t || m_groups.isEmpty() || !t->isActive()) {
        if (m_model->layout().isGrouped() || !m_model->groupFields().isEmpty())
            m_model->setGroups({}, {}, {});
        return;
    }
    const QList<int> summaries = summaryColumns(true);
    QStringList fields;
    for (int c : summaries)
        fields << column(c).field;
    m_groupsDirty = false;
    try {
        const auto leaves = GridSummaries::groups(*t, m_groups, fields);
        const bool had = m_syncing;
        m_syncing = true;
        m_model->setGroups(groupFields(), leaves, summaries);
        m_syncing = had;
    } catch (const EngineError &e) {
        showError(e.message());
    }
    syncFromDataSet();
}

QList<int> DataGrid::summaryColumns(bool groupFooter) const
{
    QList<int> out;
    for (int c = 0; c < columnCount(); ++c) {
        const Summary &s = groupFooter ? column(c).groupFooter : column(c).footer;
        Field *f = m_model->fieldOf(c);
        if (s.kind != SummaryKind::None && f && (f->isStored() || !viewTable()))
            out << c;
    }
    return out;
}

void DataGrid::scheduleSummaries()
{
    m_summaryTimer.start();
}

void DataGrid::refreshFooter()
{
    m_footerTexts.clear();
    if (!m_dataSet || !m_dataSet->isActive() || !m_footer->isVisibleTo(this)) {
        m_footer->setTexts(m_footerTexts);
        return;
    }
    const QList<int> columns = summaryColumns(false);
    QStringList fields;
    for (int c : columns)
        fields << column(c).field;
    try {
        const QList<Aggregate> totals = GridSummaries::totals(*m_dataSet, fields);
        for (int i = 0; i < columns.size(); ++i) {
            const GridColumn &c = column(columns[i]);
            Field *f = m_model->fieldOf(columns[i]);
            m_footerTexts.insert(columns[i], formatSummary(totals.value(i).value(c.footer.kind, f->type()),
                                                           c.footer.kind, f->type(), c.footer.format));
        }
    } catch (const EngineError &e) {
        qCWarning(lcGrid) << "footer:" << e.message();
    }
    m_footer->setLeftMargin(m_view->verticalHeader()->isVisible()
                                ? m_view->verticalHeader()->width() + m_view->frameWidth()
                                : m_view->frameWidth());
    m_footer->setTexts(m_footerTexts);
}

QString DataGrid::footerText(int c) const
{
    return m_footerTexts.value(c);
}

void DataGrid::setFilter(const GridFilter &filter)
{
    m_filter = filter;
    applyView();
    emit filterChanged();
}

void DataGrid::setColumnFilter(const ColumnFilter &filter)
{
    GridFilter f = m_filter;
    f.setColumn(filter);
    f.setActive(true);
    setFilter(f);
}

void DataGrid::clearFilter()
{
    GridFilter f;
    setFilter(f);
}

void DataGrid::setFilterActive(bool active)
{
    GridFilter f = m_filter;
    f.setActive(active);
    setFilter(f);
}

QString DataGrid::filterExpression() const
{
    if (!m_filter.isActive() || m_filter.isEmpty() || !m_dataSet)
        return {};
    return m_filter.expression(m_dataSet->session().formats(), Clock::today());
}

QString DataGrid::filterText() const
{
    if (!m_filter.isActive() || m_filter.isEmpty() || !m_dataSet)
        return {};
    return m_filter.text(m_dataSet->session().formats());
}

ColumnFilter DataGrid::columnFilterFor(int c) const
{
    if (const ColumnFilter *existing = m_filter.column(column(c).field)) {
        ColumnFilter f = *existing;
        f.caption = captionOf(c);
        return f;
    }
    ColumnFilter f;
    f.field = column(c).field;
    f.caption = captionOf(c);
    Field *field = m_model->fieldOf(c);
    f.type = field ? field->type() : FieldType::Text;
    return f;
}

void DataGrid::updateFilterPanel()
{
    const QString text =
        m_dataSet && !m_filter.isEmpty() ? m_filter.text(m_dataSet->session().formats()) : QString();
    m_filterPanel->setFilter(text, m_filter.isActive());
    const bool shown = m_filterPanelMode == FilterPanelMode::Always ||
                       (m_filterPanelMode == FilterPanelMode::WhenFiltered && !m_filter.isEmpty());
    m_filterPanel->setVisible(shown);
    updateHeaderMarks();
}

void DataGrid::updateHeaderMarks()
{
    QSet<int> filtered;
    if (m_filter.isActive())
        for (const ColumnFilter &f : m_filter.columns())
            if (int c = columnOf(f.field); c >= 0)
                filtered.insert(c);
    m_header->setFilteredSections(filtered);
    QHash<int, bool> marks;
    for (const SortKey &k : std::as_const(m_sort))
        if (int c = columnOf(k.field); c >= 0)
            marks.insert(c, k.descending);
    m_header->setSortMarks(marks);
}

void DataGrid::updateGroupBox()
{
    QStringList captions;
    QList<bool> descending;
    for (const SortKey &k : std::as_const(m_groups)) {
        const int c = columnOf(k.field);
        captions << (c >= 0 ? captionOf(c) : k.field);
        descending << k.descending;
    }
    m_groupBox->setGroups(captions, descending);
    for (int c = 0; c < columnCount(); ++c) {
        // A grouped column shows in the group rows, not as a column.
        const bool grouped = groupFields().contains(column(c).field, Qt::CaseInsensitive);
        m_view->setColumnHidden(c, grouped || !column(c).visible);
    }
}

// ---------------------------------------------------------------------------------------------------
// actions

int DataGrid::currentColumn() const
{
    return m_view->currentIndex().isValid() ? m_view->currentIndex().column() : -1;
}

int DataGrid::firstVisibleColumn() const
{
    for (int v = 0; v < m_header->count(); ++v)
        if (!m_view->isColumnHidden(m_header->logicalIndex(v)))
            return m_header->logicalIndex(v);
    return 0;
}

void DataGrid::setCurrentCell(int row, int c)
{
    m_view->setCurrentIndex(m_model->index(row, c));
}

void DataGrid::moveToNextCell()
{
    const QModelIndex current = m_view->currentIndex();
    if (!current.isValid())
        return;
    QHeaderView *h = m_header;
    int nextColumn = -1;
    for (int v = h->visualIndex(current.column()) + 1; v < h->count(); ++v) {
        const int logical = h->logicalIndex(v);
        if (!m_view->isColumnHidden(logical)) {
            nextColumn = logical;
            break;
        }
    }
    if (nextColumn >= 0) {
        m_view->setCurrentIndex(m_model->index(current.row(), nextColumn));
        return;
    }
    const int firstColumn = firstVisibleColumn();
    if (m_model->rowKind(current.row()) == DataSetModel::RowKind::NewItem) {
        // The last cell of a new record stores it; the new-item row is ready for the next one.
        if (!postEdits())
            return;
        const bool had = m_syncing;
        m_syncing = true;
        m_view->setCurrentIndex(m_model->index(0, firstColumn));
        m_syncing = had;
        return;
    }
    if (current.row() + 1 < m_model->rowCount())
        m_view->setCurrentIndex(m_model->index(current.row() + 1, firstColumn));
}

bool DataGrid::deleteCurrentRecord()
{
    if (!m_dataSet || !m_dataSet->isActive() || m_readOnly)
        return false;
    const QModelIndex current = m_view->currentIndex();
    const auto kind = current.isValid() ? m_model->rowKind(current.row()) : DataSetModel::RowKind::Data;
    if (kind == DataSetModel::RowKind::GroupHeader || kind == DataSetModel::RowKind::GroupFooter)
        return false;
    if (kind == DataSetModel::RowKind::NewItem && !m_model->isInserting())
        return false;
    if (m_dataSet->recordCount() == 0 && !m_model->isInserting())
        return false;
    if (m_confirmDelete && !ui().question(GridTexts::DeleteRecordQuestion))
        return false;
    try {
        m_dataSet->deleteRecord();
    } catch (const EngineError &e) {
        if (!e.isSilent())
            showError(e.message());
        return false;
    }
    syncFromDataSet();
    return true;
}

bool DataGrid::incrementalSearch(int c, const QString &text)
{
    if (!m_dataSet || !m_dataSet->isActive() || c < 0 || c >= columnCount() || text.isEmpty())
        return false;
    Field *f = m_model->fieldOf(c);
    if (!f)
        return false;
    const int count = m_dataSet->recordCount();
    const int start = std::max(0, m_dataSet->currentRow());
    auto matches = [&](int row) {
        return m_model->textOf(m_model->valueAt(row, c), c).startsWith(text, Qt::CaseInsensitive);
    };
    int found = -1;
    DataSet *t = viewTable();
    const bool sortedText = f->type() == FieldType::Text && t && !t->viewOrder().isEmpty() &&
                            t->viewOrder().first().field.compare(f->name(), Qt::CaseInsensitive) == 0 &&
                            !t->viewOrder().first().descending;
    if (sortedText) {
        // Rows are in this column's order: the first row not below the text, found by halving.
        int lo = 0, hi = count;
        while (lo < hi) {
            const int mid = lo + (hi - lo) / 2;
            if (m_model->textOf(m_model->valueAt(mid, c), c).compare(text, Qt::CaseInsensitive) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        if (lo < count && matches(lo))
            found = lo;
    } else {
        // A bounded walk: the search must answer while the person types.
        constexpr int Limit = 100000;
        for (int i = 0; i < count && i < Limit && found < 0; ++i) {
            const int row = (start + i) % count;
            if (matches(row))
                found = row;
        }
    }
    if (found < 0) {
        QApplication::beep();
        return false;
    }
    if (!postEdits())
        return false;
    try {
        m_dataSet->goToRow(found);
    } catch (const EngineError &e) {
        showError(e.message());
        return false;
    }
    syncFromDataSet();
    m_view->setCurrentIndex(m_model->index(m_view->currentIndex().row(), c));
    return true;
}

DataGrid::ExportFormat DataGrid::formatForPath(const QString &path)
{
    const QString lower = path.toLower();
    if (lower.endsWith(QLatin1String(".csv")))
        return ExportFormat::Csv;
    if (lower.endsWith(QLatin1String(".html")) || lower.endsWith(QLatin1String(".htm")))
        return ExportFormat::Html;
    if (lower.endsWith(QLatin1String(".xml")))
        return ExportFormat::Xml;
    if (lower.endsWith(QLatin1String(".txt")))
        return ExportFormat::Text;
    return ExportFormat::Xlsx;
}

} // namespace lerk
