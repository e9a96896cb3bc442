// Report 10 over 100 000 generated defects: the time to the first page in the preview and the memory held
// then; the whole layout and the memory it holds; the whole PDF; and the memory while every page is
// painted again. The baseline is the raw SQLite statement that reads the same rows in the same order.
#include "BenchUtil.h"
#include "DataGenerator.h"
#include "DefaultAliases.h"
#include "ReportDocument.h"
#include "ReportExport.h"
#include "ReportPreviewer.h"
#include "Schema.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TDataModule1.h"
#include "TTiskFastForm.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

using namespace lerk;

namespace {

struct Figures
{
    double firstPage = 0;
    double residentAtFirstPage = 0;
    double layout = 0;
    double residentAfterLayout = 0;
    double pdf = 0;
    double residentAfterPdf = 0;
    int pages = 0;
    qint64 layoutBytes = 0;
    qint64 pdfBytes = 0;
};

// Does what the preview does before the person sees anything: lays out and paints page one at screen
// resolution; then what saving as PDF does.
class MeasuringPreviewer : public ReportPreviewer
{
public:
    MeasuringPreviewer(Figures &figures, QElapsedTimer &clock, QString pdf)
        : m_figures(figures), m_clock(clock), m_pdf(std::move(pdf))
    {}

    void showPreview(ReportDocument &doc) override
    {
        doc.layoutPages(1);
        const QSizeF mm = doc.pageSizeMm();
        const double scale = 96 / 25.4;
        QImage screen(QSize(int(mm.width() * scale), int(mm.height() * scale)), QImage::Format_RGB32);
        screen.fill(Qt::white);
        {
            QPainter p(&screen);
            p.setRenderHint(QPainter::Antialiasing);
            p.scale(scale, scale);
            doc.paintPage(p, 0);
        }
        m_figures.firstPage = double(m_clock.nsecsElapsed()) / 1e9;
        m_figures.residentAtFirstPage = bench::residentMiB();

        m_figures.layout = bench::seconds([&] { doc.layoutAll(); });
        m_figures.residentAfterLayout = bench::residentMiB();
        m_figures.pages = doc.pageCount();
        m_figures.layoutBytes = doc.layoutBytes();

        m_figures.pdf = bench::seconds([&] { ReportExport::write(doc, ReportExport::Format::Pdf, m_pdf); });
        m_figures.residentAfterPdf = bench::residentMiB();
        m_figures.pdfBytes = QFileInfo(m_pdf).size();
    }

private:
    Figures &m_figures;
    QElapsedTimer &m_clock;
    QString m_pdf;
};

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int protocols = argc > 1 ? QByteArray(argv[1]).toInt() : 10000;

    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("config"));
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    QDir(dir.path()).mkpath(QStringLiteral("dataLO"));
    Session session(dir.filePath(QStringLiteral("config")));
    session.aliases().add(DataAlias, QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + dir.filePath(QStringLiteral("data"))});
    session.aliases().add(LocalAlias, QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + dir.filePath(QStringLiteral("dataLO"))});
    ensureSchema(session);
    GeneratorOptions options;
    options.protocols = protocols;
    GeneratorResult generated;
    const double generation = bench::seconds([&] { generated = generateData(session, options); });

    ScriptedUi ui;
    TDataModule1 dm(session, ui);
    Figures figures;
    QElapsedTimer clock;
    MeasuringPreviewer previewer(figures, clock, dir.filePath(QStringLiteral("zavady.pdf")));
    TTiskFastForm catalogue(dm, ui, previewer);
    dm.OpenTables();
    dm.ParamTable.append();
    dm.ParamTable.fieldByName(QStringLiteral("Tisk")).setAsString(QStringLiteral("S3 - Seznam závad"));
    dm.ParamTable.post();

    const double residentBefore = bench::residentMiB();
    clock.start();
    catalogue.RunReport(10);
    if (!ui.calls.isEmpty()) {
        QTextStream(stderr) << ui.texts().join(QLatin1Char('\n')) << '\n';
        return 1;
    }

    // The same rows in the same order, straight from SQLite.
    bench::RawDb raw(dir.filePath(QStringLiteral("data/") + Session::databaseFileName(DataAlias)));
    qint64 rawRows = 0;
    const double baseline = bench::seconds(
        [&] { rawRows = raw.stepAll("SELECT * FROM Zavady ORDER BY OKRUH, PORADI, KM, DATUM"); });

    bench::Report report;
    report.header(QStringLiteral("Report 10 over %1 defects (%2 protocols), %3 pages")
                      .arg(generated.defects)
                      .arg(generated.protocols)
                      .arg(figures.pages));
    report.row(QStringLiteral("time to the first page (read, lay out, paint)"), figures.firstPage, baseline,
               QStringLiteral("s"), QStringLiteral("< 2 s"));
    report.row(QStringLiteral("rest of the layout (all pages)"), figures.layout, baseline,
               QStringLiteral("s"), QStringLiteral("-"));
    report.row(QStringLiteral("whole PDF (%1 MiB)").arg(double(figures.pdfBytes) / 1048576.0, 0, 'f', 1),
               figures.pdf, baseline, QStringLiteral("s"), QStringLiteral("< 30 s"));
    report.row(QStringLiteral("resident memory growth at the first page"),
               figures.residentAtFirstPage - residentBefore, 0, QStringLiteral("MiB"), QStringLiteral("-"));
    report.row(QStringLiteral("display lists of all pages (%1 bytes a page)")
                   .arg(figures.pages > 0 ? figures.layoutBytes / figures.pages : 0),
               double(figures.layoutBytes) / 1048576.0, 0, QStringLiteral("MiB"),
               QStringLiteral("the layout"));
    report.row(QStringLiteral("resident memory growth over the whole layout"),
               figures.residentAfterLayout - figures.residentAtFirstPage, 0, QStringLiteral("MiB"),
               QStringLiteral("about the layout"));
    report.row(QStringLiteral("resident memory growth while painting every page to PDF"),
               figures.residentAfterPdf - figures.residentAfterLayout, 0, QStringLiteral("MiB"),
               QStringLiteral("none per page"));
    report.note(
        QStringLiteral("baseline: raw SQLite read of the %1 rows in report order; data generated in %2 s")
            .arg(rawRows)
            .arg(generation, 0, 'f', 1));
    return 0;
}
