#include "TTiskFastForm.h"

#include "EngineError.h"
#include "ReportDocument.h"
#include "ReportPreviewer.h"
#include "Session.h"
#include "TDataModule1.h"
#include "Ui.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace lerk {

TTiskFastForm *TiskFastForm = nullptr;

TTiskFastForm::TTiskFastForm(TDataModule1 &dataModule, Ui &ui, ReportPreviewer &previewer, QObject *parent)
    : QObject(parent), m_dm(dataModule), m_ui(ui), m_previewer(previewer)
{
    setObjectName(QStringLiteral("TiskFastForm"));
    TiskFastForm = this;
}

TTiskFastForm::~TTiskFastForm()
{
    if (TiskFastForm == this)
        TiskFastForm = nullptr;
}

QList<TTiskFastForm::ReportEntry> TTiskFastForm::reports() const
{
    return {
        {1, QStringLiteral("frf/OS.frf"), QStringLiteral("OS"), &m_dm.OSTable},
        {2, QStringLiteral("frf/OKRUH.frf"), QStringLiteral("Okruh"), &m_dm.OkruhTable},
        {3, QStringLiteral("frf/Silnice.frf"), QStringLiteral("Silnice"), &m_dm.SilniceTable},
        {4, QStringLiteral("frf/CZavad.frf"), QStringLiteral("CDruh"), &m_dm.CDruhTable},
        {5, QStringLiteral("frf/HARMONOGRAM.frf"), QStringLiteral("Protokol"), &m_dm.ProtokolTable},
        {6, QStringLiteral("frf/SilniceU.frf"), QStringLiteral("Silnice"), &m_dm.SilniceTable},
        {7, QStringLiteral("frf/Protokol-P.frf"), QStringLiteral("Protokol"), &m_dm.ProtokolTable},
        {8, QStringLiteral("frf/Protokol-A4Q.frf"), QStringLiteral("ZavadyQ"), &m_dm.ZavadyQuery},
        {9, QStringLiteral("frf/Protokol-A3Q.frf"), QStringLiteral("ZavadyQ"), &m_dm.ZavadyQuery},
        {10, QStringLiteral("frf/Zavada-1Q.frf"), QStringLiteral("ZavadyQ"), &m_dm.ZavadyQuery},
    };
}

std::optional<TTiskFastForm::ReportEntry> TTiskFastForm::report(int n) const
{
    for (const ReportEntry &e : reports())
        if (e.number == n)
            return e;
    return std::nullopt;
}

QString TTiskFastForm::programDir() const
{
    return m_programDir.isEmpty() ? QCoreApplication::applicationDirPath() : m_programDir;
}

ReportSources TTiskFastForm::reportSources(const QString &mainName, DataSet *main) const
{
    ReportSources sources(m_dm.session().formats());
    sources.setMain(mainName, main);
    for (const TDataModule1::ReportDataSet &r : m_dm.reportDataSets())
        sources.add(r.name, r.dataSet(), r.currentRecordOnly);
    sources.add(QStringLiteral("PARAM"), &m_dm.ParamTable, true);
    // The organisation's name and address head the printed lists.
    sources.add(QStringLiteral("Podnik"), &m_dm.PodnikTable, true);
    return sources;
}

std::unique_ptr<ReportDocument> TTiskFastForm::prepareReport(int n)
{
    if (n == 255)
        return nullptr;
    const std::optional<ReportEntry> entry = report(n);
    if (!entry) {
        m_ui.information(QStringLiteral(" Žádný tisk "));
        return nullptr;
    }
    m_mainDataSet = entry->dataSet;
    const QString path = QDir(programDir()).filePath(entry->templateFile);
    if (!QFileInfo::exists(path)) {
        m_ui.error(QStringLiteral("Šablona sestavy nebyla nalezena: %1\nSestavu nelze vytisknout.")
                       .arg(QDir::toNativeSeparators(path)));
        return nullptr;
    }
    try {
        return std::make_unique<ReportDocument>(ReportTemplate::load(path),
                                                reportSources(entry->dataSetName, entry->dataSet));
    } catch (const TemplateError &e) {
        m_ui.error(e.text());
    } catch (const EngineError &e) {
        if (!e.isSilent())
            m_ui.error(e.message());
    }
    return nullptr;
}

void TTiskFastForm::RunReport(int n)
{
    std::unique_ptr<ReportDocument> document = prepareReport(n);
    if (!document)
        return;
    try {
        m_previewer.showPreview(*document);
    } catch (const EngineError &e) {
        // The rows are read while the pages are laid out, so a dataset can still fail here.
        if (!e.isSilent())
            m_ui.error(e.message());
    }
}

} // namespace lerk
