#pragma once

#include "GridColumn.h"

#include <QHash>
#include <QString>

namespace lerk {

// The named cell styles and style sheets of the program, held by the report window and shared by every
// grid. Names compare without case.
class StyleRepository
{
public:
    // A style sheet: the look of a whole grid.
    struct Sheet
    {
        CellStyle content;
        CellStyle header;
        CellStyle group;
        CellStyle footer;
        CellStyle selection;
        CellStyle inactiveSelection;
    };

    // The program's styles: the sheet "Číselníky", ZelenoCerna (odd rows), LimeBlack (new-item row),
    // cxStyle61 (lime, bold), Bila and Aqua (read-only cells).
    StyleRepository();

    void setStyle(const QString &name, const CellStyle &style) { m_styles.insert(name.toLower(), style); }
    CellStyle style(const QString &name) const { return m_styles.value(name.toLower()); }
    bool hasStyle(const QString &name) const { return m_styles.contains(name.toLower()); }

    void setSheet(const QString &name, const Sheet &sheet) { m_sheets.insert(name.toLower(), sheet); }
    Sheet sheet(const QString &name) const { return m_sheets.value(name.toLower()); }
    bool hasSheet(const QString &name) const { return m_sheets.contains(name.toLower()); }

    static const QString Ciselniky;   // "Číselníky"
    static const QString ZelenoCerna; // odd rows
    static const QString LimeBlack;   // new-item row
    static const QString CxStyle61;   // lime and bold
    static const QString Bila;        // white read-only cells
    static const QString Aqua;        // aqua read-only cells

private:
    QHash<QString, CellStyle> m_styles;
    QHash<QString, Sheet> m_sheets;
};

} // namespace lerk
