#pragma once

#include "ReportPages.h"
#include "ReportSources.h"
#include "ReportTemplate.h"

#include <QRectF>
#include <memory>

class QPainter;

namespace lerk {

class ReportEngine;

// A prepared report: the template bound to its datasets and the pages laid out from them. Pages are laid
// out on demand (the preview asks for the first one and the rest follows), kept as compact display lists
// and painted again whenever they are looked at. The datasets must stay as they are while it lives.
class ReportDocument
{
public:
    // Throws TemplateError (a mistake in the template, with its line) or EngineError (a dataset).
    ReportDocument(ReportTemplate tmpl, ReportSources sources);
    ~ReportDocument();
    ReportDocument(const ReportDocument &) = delete;
    ReportDocument &operator=(const ReportDocument &) = delete;

    QString title() const;
    const QString &templateFile() const { return m_tmpl.file; }
    const PageSetup &pageSetup() const;
    // Lays the report out again on other paper or with other margins.
    void setPageSetup(const PageSetup &setup);
    QSizeF pageSizeMm() const { return pageSetup().sizeMm(); }

    // Lays out until at least this many pages are complete (or the report ends).
    void layoutPages(int pages);
    void layoutAll() { layoutPages(-1); }
    bool isComplete() const;
    // Pages laid out so far; all of them once isComplete().
    int pageCount() const;

    // Draws a page with its top left corner at the painter's origin, one painter unit being a millimetre.
    void paintPage(QPainter &painter, int page) const;
    QList<ReportPages::Item> pageItems(int page) const;
    qint64 layoutBytes() const { return m_pages.bytes(); }

    struct Hit
    {
        int page = -1;
        int item = -1;
        QRectF rect; // mm
        bool found() const { return page >= 0; }
    };
    // The next text item containing the text (without regard to case) after the given one, wrapping
    // round to the first page; lays the whole report out first.
    Hit find(const QString &text, int fromPage, int fromItem);

private:
    ReportTemplate m_tmpl;
    ReportSources m_sources;
    ReportPages m_pages;
    std::unique_ptr<ReportEngine> m_engine;
};

} // namespace lerk
