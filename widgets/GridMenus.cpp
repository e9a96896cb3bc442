// The grid's menus and dialogs: column header menu, summary menu, filter drop-down, custom filter and
// field chooser. Every text is from GridTexts.

#include "Clock.h"
#include "DataGrid.h"
#include "DataSet.h"
#include "FilterDialog.h"
#include "GridSummaries.h"
#include "GridTexts.h"
#include "GridView.h"
#include "GroupByBox.h"
#include "Session.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lerk {

void DataGrid::showColumnMenu(int c, const QPoint &globalPos)
{
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("columnMenu"));
    const bool valid = c >= 0 && c < columnCount();
    const bool sortable = valid && canSortAndFilter();
    const QString field = valid ? column(c).field : QString();

    QAction *asc = menu.addAction(GridTexts::SortAscending, this, [this, field] {
        setSortKeys({SortKey{field, false}});
    });
    QAction *desc = menu.addAction(GridTexts::SortDescending, this, [this, field] {
        setSortKeys({SortKey{field, true}});
    });
    QAction *clear = menu.addAction(GridTexts::ClearSorting, this, [this] { setSortKeys({}); });
    asc->setEnabled(sortable);
    desc->setEnabled(sortable);
    clear->setEnabled(sortable && !m_sort.isEmpty());
    menu.addSeparator();
    const bool grouped = valid && groupFields().contains(field, Qt::CaseInsensitive);
    QAction *group =
        menu.addAction(grouped ? GridTexts::RemoveFromGrouping : GridTexts::GroupByThisField, this,
                       [this, field, grouped] { grouped ? ungroup(field) : groupBy(field); });
    group->setEnabled(sortable);
    QAction *box =
        menu.addAction(GridTexts::GroupByBox, this, [this] { setGroupByBoxVisible(!isGroupByBoxVisible()); });
    box->setCheckable(true);
    box->setChecked(isGroupByBoxVisible());
    menu.addSeparator();
    QMenu *align = menu.addMenu(GridTexts::Alignment);
    const Qt::Alignment current = valid ? column(c).alignment : Qt::Alignment();
    auto addAlign = [&](const QString &text, Qt::Alignment a) {
        QAction *act = align->addAction(text, this, [this, c, a] { setColumnAlignment(c, a); });
        act->setCheckable(true);
        act->setChecked(current & a);
    };
    addAlign(GridTexts::AlignLeft, Qt::AlignLeft);
    addAlign(GridTexts::AlignRight, Qt::AlignRight);
    addAlign(GridTexts::AlignCenter, Qt::AlignHCenter);
    align->setEnabled(valid);
    menu.addAction(GridTexts::RemoveThisColumn, this, [this, c] { setColumnVisible(c, false); })
        ->setEnabled(valid);
    menu.addAction(GridTexts::FieldChooser, this, &DataGrid::showFieldChooser);
    menu.addSeparator();
    menu.addAction(GridTexts::BestFit, this, [this, c] { bestFit(c); })->setEnabled(valid);
    menu.addAction(GridTexts::BestFitAll, this, &DataGrid::bestFitAll);
    menu.addSeparator();
    QAction *footer =
        menu.addAction(GridTexts::Footer, this, [this] { setFooterVisible(!isFooterVisible()); });
    footer->setCheckable(true);
    footer->setChecked(isFooterVisible());
    QAction *groupFooters = menu.addAction(GridTexts::GroupFooters, this,
                                           [this] { setGroupFootersVisible(!groupFootersVisible()); });
    groupFooters->setCheckable(true);
    groupFooters->setChecked(groupFootersVisible());
    groupFooters->setEnabled(canSortAndFilter());
    menu.exec(globalPos);
}

void DataGrid::showSummaryMenu(int c, const QPoint &globalPos)
{
    if (c < 0 || c >= columnCount())
        return;
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("summaryMenu"));
    Field *f = m_model->fieldOf(c);
    const bool numeric = f && isNumericType(f->type());
    const SummaryKind current = column(c).footer.kind;
    auto add = [&](const QString &text, SummaryKind kind, bool enabled) {
        QAction *a = menu.addAction(text, this, [this, c, kind] {
            Summary s = column(c).footer;
            s.kind = kind;
            setFooterSummary(c, s);
        });
        a->setCheckable(true);
        a->setChecked(current == kind);
        a->setEnabled(enabled);
    };
    add(GridTexts::SummarySum, SummaryKind::Sum, numeric);
    add(GridTexts::SummaryMin, SummaryKind::Min, true);
    add(GridTexts::SummaryMax, SummaryKind::Max, true);
    add(GridTexts::SummaryCount, SummaryKind::Count, true);
    add(GridTexts::SummaryAverage, SummaryKind::Average, numeric);
    add(GridTexts::SummaryNone, SummaryKind::None, true);
    menu.exec(globalPos);
}

void DataGrid::showFilterMenu(int c, const QPoint &globalPos)
{
    if (c < 0 || c >= columnCount() || !m_dataSet || !canSortAndFilter())
        return;
    const QString field = column(c).field;
    Field *f = m_model->fieldOf(c);
    if (!f)
        return;
    // The values offered are those the other columns' filters leave.
    GridFilter others = m_filter;
    others.removeColumn(field);
    FilterExpr view;
    bool hasBlank = false;
    QVariantList values;
    try {
        if (others.isActive() && !others.isEmpty())
            view = FilterExpr::parse(others.expression(m_dataSet->session().formats(), Clock::today()));
        constexpr int Limit = 500;
        values = GridSummaries::distinctValues(*m_dataSet, field, view, Limit, &hasBlank);
    } catch (const EngineError &e) {
        showError(e.message());
        return;
    }
    QMenu menu(this);
    menu.setObjectName(QStringLiteral("filterMenu"));
    auto setSingle = [this, c](FilterOperator op, const QVariant &value) {
        ColumnFilter cf = columnFilterFor(c);
        cf.conditions = {FilterCondition{op, value, {}, {}}};
        cf.orJoin = false;
        cf.negated = false;
        setColumnFilter(cf);
    };
    menu.addAction(GridTexts::FilterAll, this, [this, field] {
        GridFilter g = m_filter;
        g.removeColumn(field);
        setFilter(g);
    });
    menu.addAction(GridTexts::Customize, this, [this, c] { showCustomFilter(c); });
    menu.addAction(GridTexts::Blank, this, [setSingle] { setSingle(FilterOperator::Blank, {}); });
    menu.addAction(GridTexts::IsNotBlank, this, [setSingle] { setSingle(FilterOperator::NotBlank, {}); });
    menu.addSeparator();
    for (const QVariant &v : std::as_const(values)) {
        const QString text = m_model->textOf(v, c);
        menu.addAction(text, this, [setSingle, v] { setSingle(FilterOperator::Equal, v); });
    }
    menu.exec(globalPos);
}

void DataGrid::showCustomFilter(int c)
{
    if (c < 0 || c >= columnCount() || !m_dataSet || !canSortAndFilter())
        return;
    FilterDialog dialog(columnFilterFor(c), m_dataSet->session().formats(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    GridFilter g = m_filter;
    const ColumnFilter result = dialog.result();
    if (result.conditions.isEmpty())
        g.removeColumn(result.field);
    else
        g.setColumn(result);
    g.setActive(true);
    setFilter(g);
}

void DataGrid::showFieldChooser()
{
    QDialog dialog(this);
    dialog.setObjectName(QStringLiteral("fieldChooser"));
    dialog.setWindowTitle(GridTexts::Customization);
    auto *layout = new QVBoxLayout(&dialog);
    auto *tabs = new QTabWidget(&dialog);
    auto *list = new QListWidget(tabs);
    list->setObjectName(QStringLiteral("columnList"));
    tabs->addTab(list, GridTexts::Columns);
    layout->addWidget(tabs);
    for (int c = 0; c < columnCount(); ++c) {
        auto *item = new QListWidgetItem(captionOf(c), list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsSelectable);
        item->setCheckState(isColumnVisible(c) ? Qt::Checked : Qt::Unchecked);
        item->setData(Qt::UserRole, c);
    }
    connect(list, &QListWidget::itemChanged, this, [this](QListWidgetItem *item) {
        setColumnVisible(item->data(Qt::UserRole).toInt(), item->checkState() == Qt::Checked);
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, &dialog);
    buttons->button(QDialogButtonBox::Close)->setText(QStringLiteral("Zavřít"));
    connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    dialog.exec();
}

} // namespace lerk
