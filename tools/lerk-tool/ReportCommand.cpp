#include "ReportCommand.h"

#include "EngineError.h"
#include "ReportDocument.h"
#include "ReportExport.h"
#include "ReportPreviewer.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "TDataModule1.h"
#include "TTiskFastForm.h"

#include <QDir>
#include <QGuiApplication>

namespace lerk::tool {

namespace {

QString takeValue(QStringList &args, const QString &name)
{
    const int at = int(args.indexOf(name));
    if (at < 0)
        return {};
    if (at + 1 >= args.size())
        throw EngineError(ErrorCode::General, QStringLiteral("Volba %1 vyžaduje hodnotu.").arg(name));
    const QString value = args.at(at + 1);
    args.remove(at, 2);
    return value;
}

bool hasOption(const QStringList &args, const QString &name)
{
    return args.contains(name);
}

// The command writes the prepared report itself; there is nobody to show a preview to.
class PrintingPreviewer : public ReportPreviewer
{
public:
    void showPreview(ReportDocument &) override {}
};

} // namespace

int runReportCommand(Session &session, QStringList args, QTextStream &out)
{
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        throw EngineError(
            ErrorCode::General,
            QStringLiteral("Příkaz report potřebuje grafickou aplikaci Qt (createToolApplication)."));
    const bool withFilter = hasOption(args, QStringLiteral("--filter"));
    const bool withTitle = hasOption(args, QStringLiteral("--title"));
    const bool withSubtitle = hasOption(args, QStringLiteral("--subtitle"));
    const QString pdf = takeValue(args, QStringLiteral("--pdf"));
    const QString filter = takeValue(args, QStringLiteral("--filter"));
    const QString title = takeValue(args, QStringLiteral("--title"));
    const QString subtitle = takeValue(args, QStringLiteral("--subtitle"));
    if (args.size() != 1)
        throw EngineError(ErrorCode::General,
                          QStringLiteral("Použití: report ČÍSLO --pdf SOUBOR [--filter VÝRAZ] [--title TEXT] "
                                         "[--subtitle TEXT]"));
    bool ok = false;
    const int number = args.first().toInt(&ok);
    if (!ok)
        throw EngineError(ErrorCode::General, QStringLiteral("\"%1\" není číslo sestavy.").arg(args.first()));
    if (pdf.isEmpty())
        throw EngineError(ErrorCode::General, QStringLiteral("Chybí volba --pdf s názvem souboru PDF."));

    ScriptedUi ui;
    TDataModule1 dm(session, ui);
    PrintingPreviewer previewer;
    TTiskFastForm catalogue(dm, ui, previewer);
    dm.OpenTables();

    const std::optional<TTiskFastForm::ReportEntry> entry = catalogue.report(number);
    if (entry && withFilter) {
        DataSet &main = *entry->dataSet;
        main.setFiltered(false);
        main.setFilter(filter);
        main.setFiltered(!filter.isEmpty());
        if (!main.isActive())
            main.open();
    }
    if (withTitle || withSubtitle || (withFilter && number == 10)) {
        Table &param = dm.ParamTable;
        param.first();
        if (param.isEmpty())
            param.append();
        else
            param.edit();
        if (withTitle)
            param.fieldByName(QStringLiteral("Tisk")).setAsString(title);
        param.fieldByName(QStringLiteral("Nazev")).setAsString(withSubtitle ? subtitle : filter);
        param.post();
    }

    std::unique_ptr<ReportDocument> document = catalogue.prepareReport(number);
    if (!document) {
        const QStringList said = ui.texts();
        throw EngineError(ErrorCode::General, said.isEmpty()
                                                  ? QStringLiteral("Sestava %1 neexistuje.").arg(number)
                                                  : said.join(QLatin1Char('\n')));
    }
    const QStringList files = ReportExport::write(*document, ReportExport::Format::Pdf, pdf);
    out << QStringLiteral("Sestava %1 (%2): %3 stran do %4\n")
               .arg(number)
               .arg(document->title())
               .arg(document->pageCount())
               .arg(QDir::toNativeSeparators(files.first()));
    return 0;
}

std::unique_ptr<QCoreApplication> createToolApplication(int &argc, char **argv)
{
    int command = 1;
    if (command < argc && QByteArray(argv[command]) == "--config")
        command += 2;
    if (command >= argc || QByteArray(argv[command]) != "report")
        return std::make_unique<QCoreApplication>(argc, argv);
    // Nothing is shown: fonts and painting work without a display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace lerk::tool
