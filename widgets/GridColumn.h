#pragma once

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>

namespace lerk {

class DataSet;

enum class EditorKind { Auto, Text, Number, Date, CheckBox, Lookup };
enum class SummaryKind { None, Count, Sum, Average, Min, Max };

// A drop-down list of another dataset for a cell or a combo: the key field whose value is stored and
// the columns shown in the list.
struct LookupList
{
    DataSet *source = nullptr;
    QString keyField;
    QStringList listFields;
    QList<int> listWidths; // pixels per list field, 0 or missing: fitted
    int rows = 10;
    int dropDownWidth = 0; // 0: as wide as the list columns
    bool freeText = false; // text that is not a key of the list is accepted as typed
};

struct Summary
{
    SummaryKind kind = SummaryKind::None;
    QString format; // e.g. "###0" or "0.00"; empty: as the field shows its values
};

// One column of a DataGrid.
struct GridColumn
{
    QString field;
    QString caption;              // empty: the field's display label
    Qt::Alignment alignment = {}; // empty: numbers right, the rest left
    bool visible = true;
    bool readOnly = false;
    int width = 0; // 0: fitted to the caption and the field's size
    EditorKind editor = EditorKind::Auto;
    LookupList lookup;
    Summary footer;
    Summary groupFooter;
    QString styleName; // named style of the style repository for this column's cells
    QString hint;      // tooltip of the header
};

// Colours and weight of a cell; an invalid colour leaves the default.
struct CellStyle
{
    QColor background;
    QColor foreground;
    bool bold = false;
    bool isNull() const { return !background.isValid() && !foreground.isValid() && !bold; }
    // This style's settings on top of another's.
    CellStyle over(const CellStyle &base) const
    {
        CellStyle out = base;
        if (background.isValid())
            out.background = background;
        if (foreground.isValid())
            out.foreground = foreground;
        out.bold = out.bold || bold;
        return out;
    }
};

} // namespace lerk
