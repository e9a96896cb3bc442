#include "GridFooter.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QPainter>

namespace lerk {

GridFooter::GridFooter(QHeaderView *header, QWidget *parent) : QWidget(parent), m_header(header)
{
    setObjectName(QStringLiteral("gridFooter"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    auto repaint = [this] { update(); };
    connect(header, &QHeaderView::sectionResized, this, repaint);
    connect(header, &QHeaderView::sectionMoved, this, repaint);
    connect(header, &QHeaderView::geometriesChanged, this, repaint);
    connect(header, &QHeaderView::sectionCountChanged, this, repaint);
}

void GridFooter::setTexts(const QHash<int, QString> &textsBySection)
{
    m_texts = textsBySection;
    update();
}

void GridFooter::setLeftMargin(int margin)
{
    m_leftMargin = margin;
    update();
}

QSize GridFooter::sizeHint() const
{
    return QSize(100, fontMetrics().height() + 10);
}

int GridFooter::sectionAt(int x) const
{
    return m_header->logicalIndexAt(x - m_leftMargin);
}

void GridFooter::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window).darker(104));
    p.setPen(palette().color(QPalette::Mid));
    p.drawLine(rect().topLeft(), rect().topRight());
    QFont f = font();
    f.setBold(true);
    p.setFont(f);
    for (auto it = m_texts.cbegin(); it != m_texts.cend(); ++it) {
        const int section = it.key();
        if (m_header->isSectionHidden(section))
            continue;
        const int x = m_leftMargin + m_header->sectionViewportPosition(section);
        const QRect cell(x + 1, 2, m_header->sectionSize(section) - 2, height() - 4);
        p.setPen(palette().color(QPalette::Mid));
        p.drawRect(cell.adjusted(0, 0, -1, -1));
        p.setPen(palette().color(QPalette::WindowText));
        p.drawText(cell.adjusted(4, 0, -4, 0), Qt::AlignVCenter | Qt::AlignRight, it.value());
    }
}

void GridFooter::contextMenuEvent(QContextMenuEvent *event)
{
    const int section = sectionAt(event->pos().x());
    if (section >= 0)
        emit menuRequested(section, event->globalPos());
}

} // namespace lerk
