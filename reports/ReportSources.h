#pragma once

#include "DataSet.h"
#include "Formats.h"

#include <QDateTime>
#include <QList>
#include <QPointer>
#include <QString>

namespace lerk {

// The datasets a report reads, by the names its template uses, and the formats and moment of the run.
// A dataset marked current-record-only gives the record its cursor stands on (Protokol, Okruh, PARAM);
// the others give all their rows, as filtered or linked by the caller, when a data list runs over them.
class ReportSources
{
public:
    struct Source
    {
        QString name;
        QPointer<DataSet> dataSet;
        bool currentRecordOnly = false;
        bool main = false;
    };

    explicit ReportSources(const Formats &formats = {});

    // Replaces a source of the same name (names compare without case); the main dataset keeps its name.
    void add(const QString &name, DataSet *dataSet, bool currentRecordOnly);
    // The report's main dataset: all its rows, under its name, in place of a source of the same name.
    void setMain(const QString &name, DataSet *dataSet);

    const QList<Source> &sources() const { return m_sources; }
    const Source *find(const QString &name) const;
    const Source *main() const;

    const Formats &formats() const { return m_formats; }
    QDateTime now() const { return m_now; }
    void setNow(const QDateTime &now) { m_now = now; }

private:
    QList<Source> m_sources;
    Formats m_formats;
    QDateTime m_now;
};

} // namespace lerk
