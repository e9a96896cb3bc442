#pragma once

#include <QColor>
#include <QList>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>
#include <exception>
#include <optional>

namespace lerk {

// A mistake in a template, with the file and line, so that whoever edits the template can find it.
class TemplateError : public std::exception
{
public:
    TemplateError(QString file, int line, QString message);

    const QString &file() const { return m_file; }
    int line() const { return m_line; }
    const QString &message() const { return m_message; }
    // The Czech sentence shown to the user.
    QString text() const;
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_file;
    int m_line;
    QString m_message;
    QByteArray m_utf8;
};

// Paper and margins, in millimetres.
struct PageSetup
{
    QPageSize::PageSizeId size = QPageSize::A4;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    double left = 15;
    double top = 10;
    double right = 10;
    double bottom = 10;

    QSizeF sizeMm() const; // width and height as oriented
    bool operator==(const PageSetup &) const = default;
};

// How an object looks; a template's <style> elements and the object's own attributes fill it in.
struct ObjectLook
{
    enum Side { Left = 1, Top = 2, Right = 4, Bottom = 8, AllSides = 15 };

    QString fontFamily = QStringLiteral("DejaVu Sans");
    double fontSize = 9; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop;
    bool wrap = false;
    int frame = 0;           // Side bits
    double frameWidth = 0.2; // mm
    QColor frameColor = Qt::black;
    QColor color = Qt::black;
    QColor fill; // invalid: none
    double padH = 0.6;
    double padV = 0.2;
    double lineWidth = 0.2; // lines, rectangles and check boxes, mm
};

struct ReportObject
{
    enum class Type { Text, CheckBox, Line, Rect };
    enum class Stretch { None, Grow, Band };

    Type type = Type::Text;
    int line = 0; // in the template file
    double x = 0, y = 0, w = 0, h = 0;
    ObjectLook look;
    QString text;    // Text: literal text with [expressions]; CheckBox: the expression
    QString format;  // display format for the expressions of the object
    QString visible; // expression; empty: always
    Stretch stretch = Stretch::None;
};

struct Band
{
    enum class Type {
        ReportTitle,
        PageHeader,
        PageFooter,
        Summary,
        Header, // column headings of a data list, repeated on each new page when asked
        GroupHeader,
        GroupFooter,
        MasterData,
        DetailData,
        Footer, // after the last row of a data list
        Empty,  // instead of the rows when a data list has none
    };

    Type type = Type::MasterData;
    int line = 0;
    double height = 0;
    bool repeat = false;   // Header: again at the top of every page the list continues on
    bool firstPage = true; // PageHeader: also on the first page
    QString visible;
    QList<ReportObject> objects;
};

struct GroupDef
{
    int line = 0;
    QString condition; // a new group starts when its value changes
    bool newPage = false;
    bool repeatHeader = false; // the header again on each page the group continues on
    std::optional<Band> header;
    std::optional<Band> footer;
};

// Rows of another dataset under each master row: all of them, or those whose key equals the master's.
struct DetailDef
{
    int line = 0;
    QString dataset;
    QString key;       // expression over the detail's rows
    QString masterKey; // expression over the master row
    QString filter;    // over the detail's own rows and current-record datasets only
    std::optional<Band> header;
    Band data;
    std::optional<Band> footer;
    std::optional<Band> empty;
};

// One list of rows of a dataset, with its column headings, groups, details and footer.
struct DataDef
{
    int line = 0;
    QString dataset;
    QString filter;
    std::optional<Band> header;
    QList<GroupDef> groups; // outermost first
    Band data;
    QList<DetailDef> details;
    std::optional<Band> footer;
    std::optional<Band> empty;
};

// A report template: our own XML, measured in millimetres.
struct ReportTemplate
{
    QString file; // for messages
    QString name; // title of the report (window caption, PDF title)
    PageSetup page;
    std::optional<Band> reportTitle;
    std::optional<Band> pageHeader;
    std::optional<Band> pageFooter;
    QList<DataDef> data;
    std::optional<Band> summary;

    // Reads a template file; throws TemplateError naming the file and line.
    static ReportTemplate load(const QString &path);
    static ReportTemplate parse(const QByteArray &xml, const QString &file);
};

} // namespace lerk
