#include "GroupByBox.h"

#include "GridHeader.h"
#include "GridTexts.h"

#include <QContextMenuEvent>
#include <QDrag>
#include <QMimeData>
#include <QPainter>

namespace lerk {

GroupByBox::GroupByBox(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("groupByBox"));
    setAcceptDrops(true);
    setAutoFillBackground(true);
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
}

QString GroupByBox::prompt() const
{
    return GridTexts::GroupByPrompt;
}

void GroupByBox::setGroups(const QStringList &captions, const QList<bool> &descending)
{
    m_captions = captions;
    m_descending = descending;
    updateGeometry();
    update();
}

QSize GroupByBox::sizeHint() const
{
    const int h = fontMetrics().height() + 12;
    return QSize(200, m_captions.isEmpty() ? h + 8 : h + 8 + (m_captions.size() - 1) * 6);
}

QRect GroupByBox::chipRect(int index) const
{
    const QFontMetrics fm = fontMetrics();
    int x = 6;
    for (int i = 0; i < m_captions.size(); ++i) {
        const int w = fm.horizontalAdvance(m_captions[i]) + 30;
        const QRect r(x, 4 + i * 6, w, fm.height() + 8);
        if (i == index)
            return r;
        x += w + 8;
    }
    return {};
}

void GroupByBox::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(106));
    if (m_captions.isEmpty()) {
        p.setPen(palette().color(QPalette::PlaceholderText));
        p.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignVCenter | Qt::AlignLeft, prompt());
        return;
    }
    for (int i = 0; i < m_captions.size(); ++i) {
        const QRect r = chipRect(i);
        if (i > 0) {
            const QRect prev = chipRect(i - 1);
            p.setPen(palette().color(QPalette::Mid));
            p.drawLine(prev.right(), prev.center().y(), r.left(), prev.center().y());
            p.drawLine(prev.right() + 4, prev.center().y(), prev.right() + 4, r.center().y());
        }
        p.fillRect(r, palette().color(QPalette::Button));
        p.setPen(palette().color(QPalette::Dark));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        p.setPen(palette().color(QPalette::ButtonText));
        p.drawText(r.adjusted(8, 0, -20, 0), Qt::AlignVCenter | Qt::AlignLeft, m_captions[i]);
        p.drawText(r.adjusted(0, 0, -6, 0), Qt::AlignVCenter | Qt::AlignRight,
                   m_descending.value(i) ? QStringLiteral("▼") : QStringLiteral("▲"));
    }
}

int GroupByBox::chipAt(const QPoint &pos) const
{
    for (int i = 0; i < m_captions.size(); ++i)
        if (chipRect(i).contains(pos))
            return i;
    return -1;
}

int GroupByBox::dropPosition(const QPoint &pos) const
{
    for (int i = 0; i < m_captions.size(); ++i)
        if (pos.x() < chipRect(i).center().x())
            return i;
    return int(m_captions.size());
}

void GroupByBox::dragEnterEvent(QDragEnterEvent *event)
{
    if (GridHeader::sectionOf(event->mimeData()->data(GridHeader::mimeType()), m_header) >= 0)
        event->acceptProposedAction();
}

void GroupByBox::dragMoveEvent(QDragMoveEvent *event)
{
    if (GridHeader::sectionOf(event->mimeData()->data(GridHeader::mimeType()), m_header) >= 0)
        event->acceptProposedAction();
}

void GroupByBox::dropEvent(QDropEvent *event)
{
    const int section = GridHeader::sectionOf(event->mimeData()->data(GridHeader::mimeType()), m_header);
    if (section < 0)
        return;
    event->acceptProposedAction();
    emit columnDropped(section, dropPosition(event->position().toPoint()));
}

void GroupByBox::mousePressEvent(QMouseEvent *event)
{
    m_pressed = event->button() == Qt::LeftButton ? chipAt(event->position().toPoint()) : -1;
    m_pressPos = event->position().toPoint();
}

void GroupByBox::mouseMoveEvent(QMouseEvent *event)
{
    // A group button pulled out of the box leaves the grouping.
    if (m_pressed >= 0 && !rect().adjusted(0, -4, 0, 4).contains(event->position().toPoint())) {
        const int index = m_pressed;
        m_pressed = -1;
        emit groupRemoved(index);
    }
}

void GroupByBox::mouseReleaseEvent(QMouseEvent *event)
{
    if (m_pressed >= 0 && chipAt(event->position().toPoint()) == m_pressed)
        emit groupClicked(m_pressed);
    m_pressed = -1;
}

void GroupByBox::contextMenuEvent(QContextMenuEvent *event)
{
    emit contextMenuAt(chipAt(event->pos()), event->globalPos());
}

} // namespace lerk
