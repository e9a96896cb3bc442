#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QPainter;
class QPagedPaintDevice;

namespace lerk {

class ReportDocument;

// Writes a prepared report to files: PDF as it is printed, the page pictures, the page layout as HTML
// and plain text, and the rows of the report (without the page headers and footers) as CSV and xlsx.
// Every file is written to a temporary file and renamed into place, so a failed export leaves no
// half-written file behind.
class ReportExport
{
public:
    enum class Format { Pdf, Csv, Html, Text, Xlsx, Png, Jpeg, Tiff, Bmp };

    static QList<Format> formats();
    static QString caption(Format format);    // menu text
    static QString fileFilter(Format format); // for the save dialog
    static QString suffix(Format format);     // without the dot
    static bool isPicture(Format format);
    // Whether this installation can write the format (TIFF needs Qt's image format plugins).
    static bool isAvailable(Format format);

    // Lays the whole report out and writes it; throws EngineError with a Czech message. A file name
    // without the format's suffix gets it. Pictures of a report of several pages go one file per page,
    // numbered ("seznam-01.png"). Returns the files written.
    static QStringList write(ReportDocument &document, Format format, const QString &path);

    // Paints the pages on a printer or PDF writer set up for the report's paper: pages from..to, 0-based.
    static void paintPages(ReportDocument &document, QPagedPaintDevice &device, QPainter &painter, int from,
                           int to);
};

} // namespace lerk
