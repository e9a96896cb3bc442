#pragma once

#include "ReportSources.h"

#include <QList>
#include <QObject>
#include <QString>
#include <memory>
#include <optional>

namespace lerk {

class DataSet;
class ReportDocument;
class ReportPreviewer;
class TDataModule1;
class Ui;

// The report catalogue: the one place that knows the templates. RunReport binds the main dataset of a
// report number, loads its template from "frf/" beside the program file and shows the prepared report.
// Never shown itself; created once at start-up and kept for the whole run (global TiskFastForm).
class TTiskFastForm : public QObject
{
    Q_OBJECT
public:
    struct ReportEntry
    {
        int number = 0;
        QString templateFile; // relative to the program's directory
        QString dataSetName;  // the name the template reads the main dataset by
        DataSet *dataSet = nullptr;
    };

    TTiskFastForm(TDataModule1 &dataModule, Ui &ui, ReportPreviewer &previewer, QObject *parent = nullptr);
    ~TTiskFastForm() override;

    // Prepares report number n and shows it; returns when the preview is closed. 255 does nothing; a
    // number outside the catalogue shows " Žádný tisk ". A missing or faulty template is told to the user.
    void RunReport(int n);

    // RunReport without the preview: the prepared report, or nullptr after the user has been told why.
    std::unique_ptr<ReportDocument> prepareReport(int n);

    QList<ReportEntry> reports() const;
    std::optional<ReportEntry> report(int n) const;
    // The directory that holds "frf/": the program file's directory unless set otherwise, never the
    // working directory.
    QString programDir() const;
    void setProgramDir(const QString &dir) { m_programDir = dir; }
    // The datasets a template can read: the main dataset under its name, the named report datasets of the
    // data module, PARAM and the organisation (Podnik), the last three as their current record.
    ReportSources reportSources(const QString &mainName, DataSet *main) const;
    // The main report dataset: bound by the last run and kept until the next one.
    DataSet *frDBDataSet1() const { return m_mainDataSet; }

private:
    TDataModule1 &m_dm;
    Ui &m_ui;
    ReportPreviewer &m_previewer;
    DataSet *m_mainDataSet = nullptr;
    QString m_programDir;
};

// The one instance, set while it exists.
extern TTiskFastForm *TiskFastForm;

} // namespace lerk
