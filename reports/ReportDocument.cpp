#include "ReportDocument.h"

#include "ReportEngine.h"

#include <QFileInfo>

namespace lerk {

ReportDocument::ReportDocument(ReportTemplate tmpl, ReportSources sources)
    : m_tmpl(std::move(tmpl)), m_sources(std::move(sources))
{
    m_engine = std::make_unique<ReportEngine>(m_tmpl, m_sources, m_pages);
}

ReportDocument::~ReportDocument() = default;

QString ReportDocument::title() const
{
    return m_tmpl.name.isEmpty() ? QFileInfo(m_tmpl.file).completeBaseName() : m_tmpl.name;
}

const PageSetup &ReportDocument::pageSetup() const
{
    return m_engine->pageSetup();
}

void ReportDocument::setPageSetup(const PageSetup &setup)
{
    m_engine->setPageSetup(setup);
}

void ReportDocument::layoutPages(int pages)
{
    m_engine->run(pages);
}

bool ReportDocument::isComplete() const
{
    return m_engine->isDone();
}

int ReportDocument::pageCount() const
{
    return m_engine->completePages();
}

void ReportDocument::paintPage(QPainter &painter, int page) const
{
    if (page < 0 || page >= pageCount())
        return;
    m_pages.paint(painter, page, isComplete() ? pageCount() : 0);
}

QList<ReportPages::Item> ReportDocument::pageItems(int page) const
{
    if (page < 0 || page >= pageCount())
        return {};
    return m_pages.items(page, isComplete() ? pageCount() : 0);
}

ReportDocument::Hit ReportDocument::find(const QString &text, int fromPage, int fromItem)
{
    layoutAll();
    const int pages = pageCount();
    if (text.isEmpty() || pages == 0)
        return {};
    fromPage = std::clamp(fromPage, 0, pages - 1);
    // The last step comes back to the starting page from its top, so that a search wraps round.
    for (int step = 0; step <= pages; ++step) {
        const int page = (fromPage + step) % pages;
        const QList<ReportPages::Item> items = pageItems(page);
        const int start = step == 0 ? fromItem + 1 : 0;
        for (int i = std::max(start, 0); i < items.size(); ++i)
            if (items[i].text.contains(text, Qt::CaseInsensitive))
                return Hit{page, i, items[i].rect};
    }
    return {};
}

} // namespace lerk
