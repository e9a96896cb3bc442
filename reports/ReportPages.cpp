#include "ReportPages.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace lerk {

namespace {

constexpr double Hundredths = 100.0; // painting unit per millimetre inside paint()

qint16 tenths(double mm)
{
    return qint16(std::clamp<long>(std::lround(mm * 10.0), -32768L, 32767L));
}

QRectF hundredthsRect(qint16 x, qint16 y, qint16 w, qint16 h)
{
    return QRectF(x * 10.0, y * 10.0, w * 10.0, h * 10.0);
}

void drawFrame(QPainter &p, const QRectF &r, const ObjectLook &look)
{
    if (look.frame == 0 || look.frameWidth <= 0)
        return;
    QPen pen(look.frameColor, look.frameWidth * Hundredths, Qt::SolidLine, Qt::SquareCap);
    p.setPen(pen);
    if (look.frame == ObjectLook::AllSides) {
        p.setBrush(Qt::NoBrush);
        p.drawRect(r);
        return;
    }
    if (look.frame & ObjectLook::Left)
        p.drawLine(r.topLeft(), r.bottomLeft());
    if (look.frame & ObjectLook::Top)
        p.drawLine(r.topLeft(), r.topRight());
    if (look.frame & ObjectLook::Right)
        p.drawLine(r.topRight(), r.bottomRight());
    if (look.frame & ObjectLook::Bottom)
        p.drawLine(r.bottomLeft(), r.bottomRight());
}

void drawCheckBox(QPainter &p, const QRectF &r, const ObjectLook &look, bool checked)
{
    const double side = std::min({r.width(), r.height(), 3.6 * Hundredths}) * 0.85;
    const QRectF box(r.center().x() - side / 2, r.center().y() - side / 2, side, side);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(look.color, std::max(look.lineWidth, 0.1) * Hundredths));
    p.drawRect(box);
    if (!checked)
        return;
    QPainterPath tick;
    tick.moveTo(box.left() + side * 0.2, box.top() + side * 0.52);
    tick.lineTo(box.left() + side * 0.42, box.top() + side * 0.75);
    tick.lineTo(box.left() + side * 0.8, box.top() + side * 0.25);
    p.setPen(QPen(look.color, side * 0.14, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

} // namespace

int ReportPages::addStyle(const ItemStyle &style)
{
    m_styles.push_back(style);
    return int(m_styles.size()) - 1;
}

void ReportPages::clear()
{
    m_pages.clear();
    m_pages.shrink_to_fit();
}

void ReportPages::beginPage()
{
    m_pages.emplace_back();
}

void ReportPages::endPage()
{
    if (m_pages.empty())
        return;
    Page &p = m_pages.back();
    p.items.shrink_to_fit();
    p.text.squeeze();
}

ReportPages::DisplayItem &ReportPages::append(int style, const QRectF &mm, bool repeated)
{
    Page &p = m_pages.back();
    p.items.push_back(DisplayItem{tenths(mm.x()), tenths(mm.y()), tenths(mm.width()), tenths(mm.height()),
                                  quint32(p.text.size()), 0,
                                  quint16(quint16(style) | (repeated ? RepeatedBit : 0))});
    return p.items.back();
}

void ReportPages::addText(int style, const QRectF &mm, const QString &text, bool repeated)
{
    DisplayItem &item = append(style, mm, repeated);
    const QString cut = text.left(0xffff);
    item.length = quint16(cut.size());
    m_pages.back().text += cut;
}

void ReportPages::addCheckBox(int style, const QRectF &mm, bool checked, bool repeated)
{
    append(style, mm, repeated).length = checked ? 1 : 0;
}

void ReportPages::addShape(int style, const QRectF &mm, bool repeated)
{
    append(style, mm, repeated);
}

QString ReportPages::withPageCount(QString text, int totalPages)
{
    if (text.contains(PageCountMark))
        text.replace(PageCountMark, totalPages > 0 ? QString::number(totalPages) : QStringLiteral("…"));
    return text;
}

void ReportPages::paint(QPainter &painter, int page, int totalPages) const
{
    if (page < 0 || page >= pageCount())
        return;
    const Page &pg = m_pages[size_t(page)];
    painter.save();
    painter.scale(1.0 / Hundredths, 1.0 / Hundredths);
    int fontStyle = -1;
    for (const DisplayItem &it : pg.items) {
        const int si = it.style & ~RepeatedBit;
        const ItemStyle &st = m_styles[size_t(si)];
        const ObjectLook &look = st.look;
        const QRectF r = hundredthsRect(it.x, it.y, it.w, it.h);
        switch (st.kind) {
        case ItemStyle::Kind::Text:
        case ItemStyle::Kind::Rect: {
            if (look.fill.isValid())
                painter.fillRect(r, look.fill);
            if (st.kind == ItemStyle::Kind::Text && it.length > 0) {
                if (fontStyle != si) {
                    painter.setFont(st.font);
                    fontStyle = si;
                }
                painter.setPen(look.color);
                QString text = pg.text.mid(it.text, it.length);
                if (st.hasPageCount)
                    text = withPageCount(text, totalPages);
                const QRectF inner = r.adjusted(look.padH * Hundredths, look.padV * Hundredths,
                                                -look.padH * Hundredths, -look.padV * Hundredths);
                painter.drawText(inner, int(look.align) | (look.wrap ? Qt::TextWordWrap : 0), text);
            }
            if (st.kind == ItemStyle::Kind::Rect) {
                if (look.lineWidth > 0) {
                    painter.setPen(QPen(look.frameColor, look.lineWidth * Hundredths));
                    painter.setBrush(Qt::NoBrush);
                    painter.drawRect(r);
                }
            } else {
                drawFrame(painter, r, look);
            }
            break;
        }
        case ItemStyle::Kind::CheckBox:
            drawCheckBox(painter, r, look, it.length == 1);
            break;
        case ItemStyle::Kind::Line:
            painter.setPen(QPen(look.color, look.lineWidth * Hundredths, Qt::SolidLine, Qt::FlatCap));
            painter.drawLine(r.topLeft(), r.topLeft() + QPointF(r.width(), r.height()));
            break;
        }
    }
    painter.restore();
}

QList<ReportPages::Item> ReportPages::items(int page, int totalPages) const
{
    QList<Item> out;
    if (page < 0 || page >= pageCount())
        return out;
    const Page &pg = m_pages[size_t(page)];
    out.reserve(qsizetype(pg.items.size()));
    for (const DisplayItem &it : pg.items) {
        const ItemStyle &st = m_styles[size_t(it.style & ~RepeatedBit)];
        Item item;
        item.rect = QRectF(it.x / 10.0, it.y / 10.0, it.w / 10.0, it.h / 10.0);
        item.style = &st;
        item.repeated = it.style & RepeatedBit;
        if (st.kind == ItemStyle::Kind::Text) {
            item.text = pg.text.mid(it.text, it.length);
            if (st.hasPageCount)
                item.text = withPageCount(item.text, totalPages);
        } else if (st.kind == ItemStyle::Kind::CheckBox) {
            item.checked = it.length == 1;
        }
        out.append(item);
    }
    return out;
}

qint64 ReportPages::bytes() const
{
    qint64 total = qint64(m_pages.capacity() * sizeof(Page));
    for (const Page &p : m_pages)
        total += qint64(p.items.capacity() * sizeof(DisplayItem)) + qint64(p.text.capacity()) * 2;
    return total;
}

} // namespace lerk
