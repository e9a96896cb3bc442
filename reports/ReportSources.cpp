#include "ReportSources.h"

#include "Clock.h"

namespace lerk {

ReportSources::ReportSources(const Formats &formats) : m_formats(formats), m_now(Clock::now()) {}

void ReportSources::add(const QString &name, DataSet *dataSet, bool currentRecordOnly)
{
    if (const Source *s = find(name); s && s->main)
        return;
    m_sources.removeIf([&](const Source &s) { return s.name.compare(name, Qt::CaseInsensitive) == 0; });
    m_sources.append(Source{name, dataSet, currentRecordOnly, false});
}

void ReportSources::setMain(const QString &name, DataSet *dataSet)
{
    m_sources.removeIf(
        [&](const Source &s) { return s.main || s.name.compare(name, Qt::CaseInsensitive) == 0; });
    m_sources.prepend(Source{name, dataSet, false, true});
}

const ReportSources::Source *ReportSources::find(const QString &name) const
{
    for (const Source &s : m_sources)
        if (s.name.compare(name, Qt::CaseInsensitive) == 0)
            return &s;
    return nullptr;
}

const ReportSources::Source *ReportSources::main() const
{
    for (const Source &s : m_sources)
        if (s.main)
            return &s;
    return nullptr;
}

} // namespace lerk
