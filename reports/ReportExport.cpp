#include "ReportExport.h"

#include "EngineError.h"
#include "ReportDocument.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QMap>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTemporaryFile>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>
#include <xlsxwriter.h>

namespace lerk {

namespace {

constexpr int PictureDpi = 150;
constexpr double TextColumnMm = 2.0; // one character of the text export

EngineError ioError(const QString &path, const QString &why)
{
    return EngineError(ErrorCode::Io,
                       QStringLiteral("Soubor %1 nelze zapsat: %2").arg(QDir::toNativeSeparators(path), why));
}

// A cell of the report's rows: the text items on one line of a page, left to right.
struct Cell
{
    double x = 0;
    double w = 0;
    QString text;
    bool bold = false;
    bool right = false;
};
using Line = QList<Cell>;

// The lines of one page: text items grouped by their top edge, one cell per column. An empty framed
// cell stays a cell, so that the columns of a table line up; a check box drawn in a framed cell becomes
// that cell's text. Page headers and footers and headings repeated on continuation pages are left out
// when only the rows are wanted.
QList<Line> pageLines(ReportDocument &doc, int page, bool rowsOnly)
{
    QList<ReportPages::Item> items = doc.pageItems(page);
    items.removeIf([&](const ReportPages::Item &it) {
        const ItemStyle &st = *it.style;
        if (st.kind != ItemStyle::Kind::Text && st.kind != ItemStyle::Kind::CheckBox)
            return true;
        return rowsOnly && (st.origin == ItemStyle::Origin::Page || it.repeated);
    });
    std::stable_sort(items.begin(), items.end(), [](const ReportPages::Item &a, const ReportPages::Item &b) {
        const long ay = std::lround(a.rect.top() * 10), by = std::lround(b.rect.top() * 10);
        return ay != by ? ay < by : std::lround(a.rect.left() * 10) < std::lround(b.rect.left() * 10);
    });
    QList<Line> lines;
    long lastY = -1;
    for (const ReportPages::Item &it : items) {
        const long y = std::lround(it.rect.top() * 10);
        if (lines.isEmpty() || y != lastY)
            lines.append(Line());
        lastY = y;
        QString text = it.style->kind == ItemStyle::Kind::CheckBox
                           ? (it.checked ? QStringLiteral("Ano") : QStringLiteral("Ne"))
                           : QString(it.text).replace(QLatin1Char('\n'), QLatin1Char(' '));
        Line &line = lines.last();
        if (!line.isEmpty() && std::lround(line.last().x * 10) == std::lround(it.rect.left() * 10)) {
            if (!text.isEmpty())
                line.last().text =
                    line.last().text.isEmpty() ? text : line.last().text + QLatin1Char(' ') + text;
            continue;
        }
        Cell c;
        c.x = it.rect.left();
        c.w = it.rect.width();
        c.text = text;
        c.bold = it.style->look.bold;
        c.right = it.style->look.align & Qt::AlignRight;
        line.append(c);
    }
    // A line of nothing but empty cells (a frame drawn for the look) carries no data.
    lines.removeIf([](const Line &line) {
        return std::all_of(line.begin(), line.end(),
                           [](const Cell &c) { return c.text.trimmed().isEmpty(); });
    });
    return lines;
}

QString csvField(const QString &text)
{
    if (text.contains(QLatin1Char(';')) || text.contains(QLatin1Char('"')) ||
        text.contains(QLatin1Char('\n')))
        return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
               QLatin1Char('"');
    return text;
}

QString htmlEscape(const QString &text)
{
    return text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>"));
}

QString mm(double v)
{
    return QString::number(v, 'f', 2) + QStringLiteral("mm");
}

QString cssColor(const QColor &c)
{
    return c.name(QColor::HexRgb);
}

void commit(QSaveFile &file)
{
    if (!file.commit())
        throw ioError(file.fileName(), file.errorString());
}

void openSave(QSaveFile &file)
{
    if (!file.open(QIODevice::WriteOnly))
        throw ioError(file.fileName(), file.errorString());
}

void writePdf(ReportDocument &doc, const QString &path)
{
    QSaveFile file(path);
    openSave(file);
    {
        QPdfWriter writer(&file);
        const PageSetup &setup = doc.pageSetup();
        writer.setPageSize(QPageSize(setup.size));
        writer.setPageOrientation(setup.orientation);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
        writer.setResolution(600);
        writer.setTitle(doc.title());
        writer.setCreator(QStringLiteral("lerk"));
        QPainter painter;
        if (!painter.begin(&writer))
            throw ioError(path, QStringLiteral("nelze začít kreslit do PDF"));
        ReportExport::paintPages(doc, writer, painter, 0, doc.pageCount() - 1);
        painter.end();
    }
    commit(file);
}

void writeCsv(ReportDocument &doc, const QString &path)
{
    QSaveFile file(path);
    openSave(file);
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    out.setGenerateByteOrderMark(true); // so that a spreadsheet reads the Czech letters right
    for (int p = 0; p < doc.pageCount(); ++p) {
        for (const Line &line : pageLines(doc, p, true)) {
            QStringList fields;
            for (const Cell &c : line)
                fields << csvField(c.text);
            out << fields.join(QLatin1Char(';')) << "\r\n";
        }
    }
    out.flush();
    if (out.status() != QTextStream::Ok)
        throw ioError(path, file.errorString());
    commit(file);
}

void writeText(ReportDocument &doc, const QString &path)
{
    QSaveFile file(path);
    openSave(file);
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    const double left = doc.pageSetup().left;
    for (int p = 0; p < doc.pageCount(); ++p) {
        if (p > 0)
            out << "\f\n";
        for (const Line &line : pageLines(doc, p, false)) {
            QString s;
            for (const Cell &c : line) {
                const int width = std::max(1, int(std::lround(c.w / TextColumnMm)));
                int column = std::max(0, int(std::lround((c.x - left) / TextColumnMm)));
                if (!s.isEmpty() && column <= s.size())
                    column = int(s.size()) + 1;
                QString text = c.text.trimmed();
                if (c.right && text.size() < width)
                    text = text.rightJustified(width);
                s = s.leftJustified(column) + text;
            }
            out << s << '\n';
        }
    }
    out.flush();
    if (out.status() != QTextStream::Ok)
        throw ioError(path, file.errorString());
    commit(file);
}

void writeHtml(ReportDocument &doc, const QString &path)
{
    QSaveFile file(path);
    openSave(file);
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    const QSizeF size = doc.pageSizeMm();
    out << "<!DOCTYPE html>\n<html lang=\"cs\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
        << doc.title().toHtmlEscaped() << "</title>\n<style>\n"
        << "body { background: #808080; margin: 0; padding: 8mm 0; }\n"
        << ".page { position: relative; background: #fff; margin: 0 auto 8mm auto; overflow: hidden; width: "
        << mm(size.width()) << "; height: " << mm(size.height()) << "; page-break-after: always; }\n"
        << ".o { position: absolute; box-sizing: border-box; overflow: hidden; white-space: pre; }\n"
        << ".w { white-space: pre-wrap; }\n"
        << "@media print { body { background: none; padding: 0; } .page { margin: 0; } }\n"
        << "</style>\n</head>\n<body>\n";
    for (int p = 0; p < doc.pageCount(); ++p) {
        out << "<div class=\"page\">\n";
        for (const ReportPages::Item &it : doc.pageItems(p)) {
            const ItemStyle &st = *it.style;
            const ObjectLook &look = st.look;
            const QRectF &r = it.rect;
            if (st.kind == ItemStyle::Kind::Line) {
                const double w = std::max(look.lineWidth, 0.1);
                if (std::fabs(r.height()) < 0.01)
                    out << "<div class=\"o\" style=\"left:" << mm(std::min(r.left(), r.right()))
                        << ";top:" << mm(r.top() - w / 2) << ";width:" << mm(std::fabs(r.width()))
                        << ";border-top:" << mm(w) << " solid " << cssColor(look.color) << "\"></div>\n";
                else
                    out << "<div class=\"o\" style=\"left:" << mm(r.left() - w / 2)
                        << ";top:" << mm(std::min(r.top(), r.bottom()))
                        << ";height:" << mm(std::fabs(r.height())) << ";border-left:" << mm(w) << " solid "
                        << cssColor(look.color) << "\"></div>\n";
                continue;
            }
            QString css = QStringLiteral("left:%1;top:%2;width:%3;height:%4;")
                              .arg(mm(r.left()), mm(r.top()), mm(r.width()), mm(r.height()));
            if (look.fill.isValid())
                css += QStringLiteral("background:%1;").arg(cssColor(look.fill));
            if (st.kind == ItemStyle::Kind::Rect) {
                if (look.lineWidth > 0)
                    css += QStringLiteral("border:%1 solid %2;")
                               .arg(mm(look.lineWidth), cssColor(look.frameColor));
                out << "<div class=\"o\" style=\"" << css << "\"></div>\n";
                continue;
            }
            const QString border =
                QStringLiteral("%1 solid %2").arg(mm(look.frameWidth), cssColor(look.frameColor));
            if (look.frame & ObjectLook::Left)
                css += QStringLiteral("border-left:") + border + QLatin1Char(';');
            if (look.frame & ObjectLook::Top)
                css += QStringLiteral("border-top:") + border + QLatin1Char(';');
            if (look.frame & ObjectLook::Right)
                css += QStringLiteral("border-right:") + border + QLatin1Char(';');
            if (look.frame & ObjectLook::Bottom)
                css += QStringLiteral("border-bottom:") + border + QLatin1Char(';');
            css += QStringLiteral("font-family:'%1',sans-serif;font-size:%2pt;color:%3;padding:%4 %5;")
                       .arg(look.fontFamily)
                       .arg(look.fontSize)
                       .arg(cssColor(look.color), mm(look.padV), mm(look.padH));
            if (look.bold)
                css += QStringLiteral("font-weight:bold;");
            if (look.italic)
                css += QStringLiteral("font-style:italic;");
            if (look.underline)
                css += QStringLiteral("text-decoration:underline;");
            if (look.align & Qt::AlignHCenter)
                css += QStringLiteral("text-align:center;");
            else if (look.align & Qt::AlignRight)
                css += QStringLiteral("text-align:right;");
            else if (look.align & Qt::AlignJustify)
                css += QStringLiteral("text-align:justify;");
            if (st.kind == ItemStyle::Kind::CheckBox) {
                out << "<div class=\"o\" style=\"" << css << "text-align:center;\">"
                    << (it.checked ? "&#9745;" : "&#9744;") << "</div>\n";
                continue;
            }
            out << "<div class=\"o" << (look.wrap ? " w" : "") << "\" style=\"" << css << "\">"
                << htmlEscape(it.text) << "</div>\n";
        }
        out << "</div>\n";
    }
    out << "</body>\n</html>\n";
    out.flush();
    if (out.status() != QTextStream::Ok)
        throw ioError(path, file.errorString());
    commit(file);
}

// A number as a clerk writes it in a cell ("12,345", "1 200"), without leading zeros that would make a
// code ("0105") lose them.
std::optional<double> cellNumber(const QString &text)
{
    QString t = text.trimmed();
    t.remove(QChar(0x00a0));
    t.remove(QLatin1Char(' '));
    if (t.isEmpty() || t.size() > 15)
        return std::nullopt;
    const int start = t.startsWith(QLatin1Char('-')) ? 1 : 0;
    if (t.size() - start > 1 && t[start] == QLatin1Char('0') && t[start + 1] != QLatin1Char(','))
        return std::nullopt;
    int commas = 0;
    for (int i = start; i < t.size(); ++i) {
        if (t[i] == QLatin1Char(','))
            ++commas;
        else if (!t[i].isDigit())
            return std::nullopt;
    }
    if (commas > 1 || t.endsWith(QLatin1Char(',')) || t.size() == start)
        return std::nullopt;
    bool ok = false;
    const double v = t.replace(QLatin1Char(','), QLatin1Char('.')).toDouble(&ok);
    return ok ? std::optional<double>(v) : std::nullopt;
}

void writeXlsx(ReportDocument &doc, const QString &path)
{
    // Columns: the distinct left edges of the row cells, so that a column of the report is one column of
    // the sheet.
    QMap<long, double> columnWidth; // left edge in tenths of mm -> narrowest cell width
    for (int p = 0; p < doc.pageCount(); ++p)
        for (const Line &line : pageLines(doc, p, true))
            for (const Cell &c : line) {
                const long key = std::lround(c.x * 10);
                const auto it = columnWidth.find(key);
                if (it == columnWidth.end() || c.w < *it)
                    columnWidth[key] = c.w;
            }
    const QList<long> lefts = columnWidth.keys();

    const QFileInfo target(path);
    QTemporaryFile temp(
        target.absoluteDir().filePath(QStringLiteral(".%1-XXXXXX.xlsx").arg(target.completeBaseName())));
    if (!temp.open())
        throw ioError(path, temp.errorString());
    const QString tempPath = temp.fileName();
    temp.close();

    lxw_workbook *wb = workbook_new(QFile::encodeName(tempPath).constData());
    if (!wb)
        throw ioError(path, QStringLiteral("nelze založit sešit"));
    lxw_worksheet *ws = workbook_add_worksheet(wb, doc.title().left(31).toUtf8().constData());
    if (!ws)
        ws = workbook_add_worksheet(wb, nullptr);
    lxw_format *bold = workbook_add_format(wb);
    format_set_bold(bold);
    lxw_format *number = workbook_add_format(wb);
    format_set_num_format(number, "#,##0.###");
    lxw_format *boldNumber = workbook_add_format(wb);
    format_set_bold(boldNumber);
    format_set_num_format(boldNumber, "#,##0.###");
    for (int c = 0; c < lefts.size(); ++c)
        worksheet_set_column(ws, lxw_col_t(c), lxw_col_t(c),
                             std::clamp(columnWidth[lefts[c]] / 1.9, 3.0, 80.0), nullptr);

    lxw_row_t row = 0;
    for (int p = 0; p < doc.pageCount(); ++p) {
        for (const Line &line : pageLines(doc, p, true)) {
            int lastColumn = -1;
            for (const Cell &c : line) {
                int col =
                    int(std::lower_bound(lefts.begin(), lefts.end(), std::lround(c.x * 10)) - lefts.begin());
                col = std::max(col, lastColumn + 1);
                lastColumn = col;
                if (c.text.isEmpty())
                    continue;
                if (const std::optional<double> n = cellNumber(c.text))
                    worksheet_write_number(ws, row, lxw_col_t(col), *n, c.bold ? boldNumber : number);
                else
                    worksheet_write_string(ws, row, lxw_col_t(col), c.text.toUtf8().constData(),
                                           c.bold ? bold : nullptr);
            }
            ++row;
        }
    }
    const lxw_error err = workbook_close(wb);
    if (err != LXW_NO_ERROR)
        throw ioError(path, QString::fromUtf8(lxw_strerror(err)));
    if (std::rename(QFile::encodeName(tempPath).constData(), QFile::encodeName(path).constData()) != 0)
        throw ioError(path, QStringLiteral("dočasný soubor nelze přejmenovat"));
    temp.setAutoRemove(false);
}

QStringList writePictures(ReportDocument &doc, ReportExport::Format format, const QString &path)
{
    const QByteArray fmt = ReportExport::suffix(format).toLatin1();
    if (!ReportExport::isAvailable(format))
        throw ioError(path, QStringLiteral("formát %1 není v této instalaci k dispozici")
                                .arg(QString::fromLatin1(fmt).toUpper()));
    const QFileInfo info(path);
    const int pages = doc.pageCount();
    const int digits = int(QString::number(pages).size());
    QStringList written;
    const QSizeF size = doc.pageSizeMm();
    const double dpmm = PictureDpi / 25.4;
    for (int p = 0; p < pages; ++p) {
        QImage image(QSize(int(std::lround(size.width() * dpmm)), int(std::lround(size.height() * dpmm))),
                     QImage::Format_RGB32);
        image.setDotsPerMeterX(int(std::lround(dpmm * 1000)));
        image.setDotsPerMeterY(int(std::lround(dpmm * 1000)));
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            painter.scale(dpmm, dpmm);
            doc.paintPage(painter, p);
        }
        const QString name = pages == 1
                                 ? path
                                 : info.absoluteDir().filePath(QStringLiteral("%1-%2.%3")
                                                                   .arg(info.completeBaseName())
                                                                   .arg(p + 1, digits, 10, QLatin1Char('0'))
                                                                   .arg(info.suffix()));
        QSaveFile file(name);
        openSave(file);
        QImageWriter writer(&file, fmt);
        if (format == ReportExport::Format::Jpeg)
            writer.setQuality(90);
        if (!writer.write(image))
            throw ioError(name, writer.errorString());
        commit(file);
        written << name;
    }
    return written;
}

} // namespace

QList<ReportExport::Format> ReportExport::formats()
{
    return {Format::Pdf, Format::Csv,  Format::Html, Format::Text, Format::Xlsx,
            Format::Png, Format::Jpeg, Format::Tiff, Format::Bmp};
}

QString ReportExport::caption(Format format)
{
    switch (format) {
    case Format::Pdf:
        return QStringLiteral("Dokument PDF…");
    case Format::Csv:
        return QStringLiteral("Text oddělený středníky (CSV)…");
    case Format::Html:
        return QStringLiteral("Stránka HTML…");
    case Format::Text:
        return QStringLiteral("Prostý text…");
    case Format::Xlsx:
        return QStringLiteral("Sešit Excelu (xlsx)…");
    case Format::Png:
        return QStringLiteral("Obrázky PNG…");
    case Format::Jpeg:
        return QStringLiteral("Obrázky JPEG…");
    case Format::Tiff:
        return QStringLiteral("Obrázky TIFF…");
    case Format::Bmp:
        return QStringLiteral("Obrázky BMP…");
    }
    return {};
}

QString ReportExport::fileFilter(Format format)
{
    switch (format) {
    case Format::Pdf:
        return QStringLiteral("Dokument PDF (*.pdf)");
    case Format::Csv:
        return QStringLiteral("Text CSV (*.csv)");
    case Format::Html:
        return QStringLiteral("Stránka HTML (*.html *.htm)");
    case Format::Text:
        return QStringLiteral("Text (*.txt)");
    case Format::Xlsx:
        return QStringLiteral("Sešit Excelu (*.xlsx)");
    case Format::Png:
        return QStringLiteral("Obrázek PNG (*.png)");
    case Format::Jpeg:
        return QStringLiteral("Obrázek JPEG (*.jpg *.jpeg)");
    case Format::Tiff:
        return QStringLiteral("Obrázek TIFF (*.tif *.tiff)");
    case Format::Bmp:
        return QStringLiteral("Obrázek BMP (*.bmp)");
    }
    return {};
}

QString ReportExport::suffix(Format format)
{
    switch (format) {
    case Format::Pdf:
        return QStringLiteral("pdf");
    case Format::Csv:
        return QStringLiteral("csv");
    case Format::Html:
        return QStringLiteral("html");
    case Format::Text:
        return QStringLiteral("txt");
    case Format::Xlsx:
        return QStringLiteral("xlsx");
    case Format::Png:
        return QStringLiteral("png");
    case Format::Jpeg:
        return QStringLiteral("jpg");
    case Format::Tiff:
        return QStringLiteral("tif");
    case Format::Bmp:
        return QStringLiteral("bmp");
    }
    return {};
}

bool ReportExport::isPicture(Format format)
{
    return format == Format::Png || format == Format::Jpeg || format == Format::Tiff || format == Format::Bmp;
}

bool ReportExport::isAvailable(Format format)
{
    if (!isPicture(format))
        return true;
    return QImageWriter::supportedImageFormats().contains(suffix(format).toLatin1());
}

QStringList ReportExport::write(ReportDocument &document, Format format, const QString &path)
{
    QString target = path;
    const QString ext = QFileInfo(path).suffix().toLower();
    const bool knownSuffix = ext == suffix(format) ||
                             (format == Format::Html && ext == QLatin1String("htm")) ||
                             (format == Format::Jpeg && ext == QLatin1String("jpeg")) ||
                             (format == Format::Tiff && ext == QLatin1String("tiff"));
    if (!knownSuffix)
        target += QLatin1Char('.') + suffix(format);
    document.layoutAll();
    switch (format) {
    case Format::Pdf:
        writePdf(document, target);
        break;
    case Format::Csv:
        writeCsv(document, target);
        break;
    case Format::Html:
        writeHtml(document, target);
        break;
    case Format::Text:
        writeText(document, target);
        break;
    case Format::Xlsx:
        writeXlsx(document, target);
        break;
    default:
        return writePictures(document, format, target);
    }
    return {target};
}

void ReportExport::paintPages(ReportDocument &document, QPagedPaintDevice &device, QPainter &painter,
                              int from, int to)
{
    const double sx = device.logicalDpiX() / 25.4;
    const double sy = device.logicalDpiY() / 25.4;
    for (int p = from; p <= to; ++p) {
        if (p > from)
            device.newPage();
        painter.save();
        painter.scale(sx, sy);
        document.paintPage(painter, p);
        painter.restore();
    }
}

} // namespace lerk
