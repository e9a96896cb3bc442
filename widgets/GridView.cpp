#include "GridView.h"

#include "DataSetModel.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

namespace lerk {

GridView::GridView(QWidget *parent) : QTableView(parent)
{
    setObjectName(QStringLiteral("gridView"));
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    setTabKeyNavigation(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 8);
    verticalHeader()->setFixedWidth(22);
    verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
    horizontalHeader()->setHighlightSections(false);
}

DataSetModel *GridView::gridModel() const
{
    return qobject_cast<DataSetModel *>(model());
}

int GridView::firstVisualColumn() const
{
    for (int v = 0; v < horizontalHeader()->count(); ++v) {
        const int logical = horizontalHeader()->logicalIndex(v);
        if (!isColumnHidden(logical))
            return logical;
    }
    return 0;
}

QRect GridView::expanderRect(int row) const
{
    DataSetModel *m = gridModel();
    const int node = m ? m->data(m->index(row, 0), DataSetModel::GroupNodeRole).toInt() : -1;
    if (node < 0)
        return {};
    const int level = m->layout().node(node).level;
    const int h = rowHeight(row);
    return QRect(level * 18 + 2, rowViewportPosition(row), 16, h);
}

void GridView::paintEvent(QPaintEvent *event)
{
    QTableView::paintEvent(event);
    DataSetModel *m = gridModel();
    if (!m || m->columnCount() == 0)
        return;
    QPainter p(viewport());
    const int width = viewport()->width();
    const int first = rowAt(0);
    int last = rowAt(viewport()->height() - 1);
    if (first < 0)
        return;
    if (last < 0)
        last = m->rowCount() - 1;
    for (int row = first; row <= last; ++row) {
        const auto kind = DataSetModel::RowKind(m->data(m->index(row, 0), DataSetModel::RowKindRole).toInt());
        const QRect rowRect(0, rowViewportPosition(row), width, rowHeight(row));
        if (kind == DataSetModel::RowKind::NewItem && !m->isInserting() && !m->newItemInfo().isEmpty()) {
            // The info text stands for the whole row until something is typed into it.
            p.setPen(palette().color(QPalette::PlaceholderText));
            QFont f = font();
            f.setItalic(true);
            p.setFont(f);
            p.drawText(rowRect.adjusted(6, 0, -6, 0), Qt::AlignVCenter | Qt::AlignLeft, m->newItemInfo());
        } else if (kind == DataSetModel::RowKind::GroupHeader) {
            const int node = m->data(m->index(row, 0), DataSetModel::GroupNodeRole).toInt();
            if (node < 0)
                continue;
            const QVariant bg = m->data(m->index(row, 0), Qt::BackgroundRole);
            p.fillRect(rowRect.adjusted(0, 0, 0, -1),
                       bg.isValid() ? bg.value<QColor>() : palette().color(QPalette::AlternateBase));
            if (currentIndex().row() == row) {
                QColor sel = palette().color(QPalette::Highlight);
                sel.setAlpha(70);
                p.fillRect(rowRect.adjusted(0, 0, 0, -1), sel);
            }
            p.setPen(palette().color(QPalette::Mid));
            p.drawLine(rowRect.bottomLeft(), rowRect.bottomRight());
            const QRect ex = expanderRect(row);
            const QRect box(ex.left() + 2, ex.center().y() - 5, 10, 10);
            p.setPen(palette().color(QPalette::Text));
            p.drawRect(box);
            p.drawLine(box.left() + 2, box.center().y(), box.right() - 2, box.center().y());
            if (!m->layout().node(node).expanded)
                p.drawLine(box.center().x(), box.top() + 2, box.center().x(), box.bottom() - 2);
            QFont f = font();
            f.setBold(true);
            p.setFont(f);
            p.drawText(QRect(ex.right() + 4, rowRect.top(), width - ex.right() - 8, rowRect.height()),
                       Qt::AlignVCenter | Qt::AlignLeft, m->groupText(node));
        }
    }
}

void GridView::keyPressEvent(QKeyEvent *event)
{
    DataSetModel *m = gridModel();
    const QModelIndex current = currentIndex();
    const auto kind = m && current.isValid()
                          ? DataSetModel::RowKind(m->data(current, DataSetModel::RowKindRole).toInt())
                          : DataSetModel::RowKind::Data;
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (kind == DataSetModel::RowKind::GroupHeader) {
            emit groupToggled(current.row());
            return;
        }
        emit enterPressed();
        return;
    case Qt::Key_Delete:
        if (event->modifiers() & Qt::ControlModifier) {
            emit deletePressed();
            return;
        }
        break;
    case Qt::Key_Plus:
    case Qt::Key_Minus:
    case Qt::Key_Left:
    case Qt::Key_Right:
        if (kind == DataSetModel::RowKind::GroupHeader) {
            const int node = m->data(current, DataSetModel::GroupNodeRole).toInt();
            const bool expanded = m->layout().node(node).expanded;
            const bool open = event->key() == Qt::Key_Plus || event->key() == Qt::Key_Right;
            if (open != expanded)
                emit groupToggled(current.row());
            return;
        }
        break;
    default:
        break;
    }
    // Typing into a cell that cannot be edited searches its column instead.
    const QString text = event->text();
    if (m && current.isValid() && !text.isEmpty() && text.at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier)) &&
        (!(m->flags(current) & Qt::ItemIsEditable) || kind == DataSetModel::RowKind::GroupHeader) &&
        !(m->flags(current) & Qt::ItemIsUserCheckable)) {
        emit searchTyped(text);
        return;
    }
    QTableView::keyPressEvent(event);
}

void GridView::mousePressEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    if (index.isValid() && event->button() == Qt::LeftButton &&
        expanderRect(index.row()).contains(event->position().toPoint())) {
        setCurrentIndex(index);
        emit groupToggled(index.row());
        return;
    }
    QTableView::mousePressEvent(event);
}

void GridView::mouseDoubleClickEvent(QMouseEvent *event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    DataSetModel *m = gridModel();
    if (index.isValid() && m &&
        DataSetModel::RowKind(m->data(index, DataSetModel::RowKindRole).toInt()) ==
            DataSetModel::RowKind::GroupHeader) {
        emit groupToggled(index.row());
        return;
    }
    QTableView::mouseDoubleClickEvent(event);
}

QModelIndex GridView::moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers)
{
    const QModelIndex current = currentIndex();
    if ((action != MoveNext && action != MovePrevious) || !current.isValid() || !model())
        return QTableView::moveCursor(action, modifiers);
    // Tab goes through the visible cells in their on-screen order, and past the row's end only when
    // the grid wraps.
    QHeaderView *h = horizontalHeader();
    const int step = action == MoveNext ? 1 : -1;
    for (int v = h->visualIndex(current.column()) + step; v >= 0 && v < h->count(); v += step)
        if (!isColumnHidden(h->logicalIndex(v)))
            return model()->index(current.row(), h->logicalIndex(v));
    const int row = current.row() + step;
    if (!m_tabWraps || row < 0 || row >= model()->rowCount())
        return current;
    for (int v = step > 0 ? 0 : h->count() - 1; v >= 0 && v < h->count(); v += step)
        if (!isColumnHidden(h->logicalIndex(v))) {
            return model()->index(row, h->logicalIndex(v));
        }
    return current;
}

bool GridView::edit(const QModelIndex &index, EditTrigger trigger, QEvent *event)
{
    // Only what really opens an editor starts editing the record: a trigger the view reacts to on an
    // editable cell, and for typed keys a key that types something.
    const bool opens = state() != EditingState && index.isValid() && (index.flags() & Qt::ItemIsEditable) &&
                       (trigger == AllEditTriggers || (editTriggers() & trigger));
    bool typed = true;
    if (trigger == AnyKeyPressed) {
        auto *key = event && event->type() == QEvent::KeyPress ? static_cast<QKeyEvent *>(event) : nullptr;
        typed = key && !key->text().isEmpty() && key->text().at(0).isPrint() &&
                !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    }
    if (!typed)
        return false;
    if (opens && beginEdit && !beginEdit(index))
        return false;
    return QTableView::edit(index, trigger, event);
}

} // namespace lerk
