#pragma once

#include "ReportTemplate.h"

#include <QFont>
#include <QRectF>
#include <QString>
#include <vector>

class QPainter;

namespace lerk {

// How one template object is drawn; every item the object puts on a page refers to it.
struct ItemStyle
{
    enum class Kind : quint8 { Text, CheckBox, Line, Rect };
    // Which band the object belongs to; the data exports leave out the page's own bands.
    enum class Origin : quint8 { Page, Title, Header, Data, Other };

    Kind kind = Kind::Text;
    Origin origin = Origin::Data;
    ObjectLook look;
    QFont font; // pixel size in hundredths of a millimetre, so that it scales with the page
    bool hasPageCount = false;
};

// The laid-out pages as compact display lists: each item is 16 bytes (position and size in tenths of a
// millimetre, a style, and a slice of the page's text), so that a report of thousands of pages stays
// small and any page can be painted again on demand at any scale.
class ReportPages
{
public:
    // Stands in a text for the number of pages, which is known only when the layout is complete.
    static constexpr QChar PageCountMark = QChar(0xE000);

    struct Item
    {
        QRectF rect; // mm
        QString text;
        const ItemStyle *style = nullptr;
        bool repeated = false; // a heading printed again at the top of a continuation page
        bool checked = false;  // check boxes
    };

    int addStyle(const ItemStyle &style);
    const ItemStyle &style(int index) const { return m_styles[size_t(index)]; }

    void clear();
    void beginPage();
    void endPage();
    int pageCount() const { return int(m_pages.size()); }

    void addText(int style, const QRectF &mm, const QString &text, bool repeated);
    void addCheckBox(int style, const QRectF &mm, bool checked, bool repeated);
    void addShape(int style, const QRectF &mm, bool repeated); // lines run from top left by w and h

    // Draws a page with its top left corner at the painter's origin, one painter unit being a millimetre.
    // totalPages replaces the page-count mark.
    void paint(QPainter &painter, int page, int totalPages) const;
    QList<Item> items(int page, int totalPages) const;

    // Bytes held by the display lists.
    qint64 bytes() const;

private:
    struct DisplayItem
    {
        qint16 x, y, w, h; // tenths of a millimetre
        quint32 text;      // offset in the page's text
        quint16 length;    // text length; check boxes: 1 when ticked
        quint16 style;     // top bit: repeated heading
    };
    static_assert(sizeof(DisplayItem) == 16);
    struct Page
    {
        std::vector<DisplayItem> items;
        QString text;
    };
    static constexpr quint16 RepeatedBit = 0x8000;

    DisplayItem &append(int style, const QRectF &mm, bool repeated);
    static QString withPageCount(QString text, int totalPages);

    std::vector<ItemStyle> m_styles;
    std::vector<Page> m_pages;
};

} // namespace lerk
