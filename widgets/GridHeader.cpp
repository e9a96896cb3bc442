#include "GridHeader.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

namespace lerk {

GridHeader::GridHeader(QWidget *parent) : QHeaderView(Qt::Horizontal, parent)
{
    setSectionsMovable(true);
    setSectionsClickable(true);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setMinimumSectionSize(24);
}

QByteArray GridHeader::dragData(const QHeaderView *header, int section)
{
    return QByteArray::number(section) + ':' + QByteArray::number(quintptr(header));
}

int GridHeader::sectionOf(const QByteArray &data, const QHeaderView *header)
{
    const QList<QByteArray> parts = data.split(':');
    if (parts.size() != 2 || parts[1] != QByteArray::number(quintptr(header)))
        return -1;
    bool ok = false;
    const int section = parts[0].toInt(&ok);
    return ok ? section : -1;
}

void GridHeader::setFilteredSections(const QSet<int> &sections)
{
    m_filtered = sections;
    viewport()->update();
}

void GridHeader::setSortMarks(const QHash<int, bool> &descendingBySection)
{
    m_sort = descendingBySection;
    viewport()->update();
}

void GridHeader::setFilterButtonsShown(bool shown)
{
    m_buttons = shown;
    viewport()->update();
}

QRect GridHeader::filterButtonRect(int logicalIndex) const
{
    if (!m_buttons || logicalIndex < 0)
        return {};
    const int x = sectionViewportPosition(logicalIndex);
    const int w = sectionSize(logicalIndex);
    return QRect(x + w - 16, 0, 14, height());
}

void GridHeader::paintSection(QPainter *painter, const QRect &rect, int logicalIndex) const
{
    painter->save();
    QHeaderView::paintSection(painter, rect, logicalIndex);
    painter->restore();
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    int right = rect.right() - 2;
    if (m_buttons) {
        const QRect b(rect.right() - 14, rect.center().y() - 3, 9, 6);
        QPainterPath arrow;
        arrow.moveTo(b.topLeft());
        arrow.lineTo(b.topRight());
        arrow.lineTo(b.center().x(), b.bottom());
        arrow.closeSubpath();
        painter->fillPath(arrow, m_filtered.contains(logicalIndex) ? QColor(0x1F, 0x5F, 0xC8)
                                                                   : QColor(0x80, 0x80, 0x80));
        right -= 16;
    }
    if (m_sort.contains(logicalIndex)) {
        const bool desc = m_sort.value(logicalIndex);
        const QRect s(right - 9, rect.center().y() - 3, 8, 6);
        QPainterPath mark;
        if (desc) {
            mark.moveTo(s.topLeft());
            mark.lineTo(s.topRight());
            mark.lineTo(s.center().x(), s.bottom());
        } else {
            mark.moveTo(s.bottomLeft());
            mark.lineTo(s.bottomRight());
            mark.lineTo(s.center().x(), s.top());
        }
        mark.closeSubpath();
        painter->fillPath(mark, QColor(0x30, 0x30, 0x30));
    }
    painter->restore();
}

void GridHeader::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    const int section = logicalIndexAt(pos);
    if (event->button() == Qt::LeftButton && filterButtonRect(section).contains(pos)) {
        emit filterButtonClicked(section, mapToGlobal(QPoint(sectionViewportPosition(section), height())));
        return;
    }
    m_pressed = event->button() == Qt::LeftButton ? section : -1;
    m_pressPos = pos;
    QHeaderView::mousePressEvent(event);
}

void GridHeader::mouseMoveEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    // Leaving the header upwards or downwards by a clear distance means "put this column somewhere":
    // the grouping box above takes it.
    if (m_pressed >= 0 && (event->buttons() & Qt::LeftButton) && (pos.y() < -8 || pos.y() > height() + 8)) {
        const int section = m_pressed;
        m_pressed = -1;
        // End the header's own section move where it began, so that no column moves.
        QMouseEvent release(QEvent::MouseButtonRelease, QPointF(m_pressPos), mapToGlobal(QPointF(m_pressPos)),
                            Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
        QHeaderView::mouseReleaseEvent(&release);
        auto *mime = new QMimeData;
        mime->setData(mimeType(), dragData(this, section));
        auto *drag = new QDrag(this);
        drag->setMimeData(mime);
        const QRect r(sectionViewportPosition(section), 0, sectionSize(section), height());
        drag->setPixmap(viewport()->grab(r));
        drag->exec(Qt::MoveAction);
        return;
    }
    QHeaderView::mouseMoveEvent(event);
}

void GridHeader::mouseReleaseEvent(QMouseEvent *event)
{
    m_pressed = -1;
    QHeaderView::mouseReleaseEvent(event);
}

} // namespace lerk
