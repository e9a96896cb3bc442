// The data grid over a million generated defects, shown headless at 1366x768: first painted rows,
// the last row, a column filter, grouping, a footer sum, memory and an xlsx export. Each beside the raw
// SQLite statement (or the sqlite3 shell) that gives the same answer, measured in the same run.
#include "BenchUtil.h"
#include "DataGenerator.h"
#include "DataGrid.h"
#include "Database.h"
#include "GridView.h"
#include "Schema.h"
#include "ScriptedUi.h"
#include "Session.h"
#include "Table.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QProcess>
#include <QTemporaryDir>
#include <QVBoxLayout>

using namespace lerk;

namespace {

const char *const Order = "ORDER BY CISLO, OS, DATUM, OKRUH, \"IN\"";

// Everything the grid queued (view reset, summaries, layout) runs, then the window is painted the way
// the screen would show it.
void settleAndPaint(QWidget &window)
{
    QApplication::processEvents();
    QApplication::processEvents();
    (void)window.grab();
}

QString mib(double v)
{
    return QString::number(v, 'f', 1);
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int protocols = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;

    QTemporaryDir tmp;
    QDir(tmp.path()).mkpath(QStringLiteral("data"));
    QDir(tmp.path()).mkpath(QStringLiteral("dataLO"));
    Session session(tmp.filePath(QStringLiteral("config")));
    session.aliases().add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + tmp.filePath(QStringLiteral("data"))});
    session.aliases().add(QStringLiteral("LerkLO"), QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + tmp.filePath(QStringLiteral("dataLO"))});
    ensureSchema(session);
    GeneratorOptions options;
    options.protocols = protocols;
    GeneratorResult generated;
    const double genTime = bench::seconds([&] { generated = generateData(session, options); });
    Database &db = session.database(QStringLiteral("DevaReru"));
    const QString file = db.filePath();

    bench::Report report;
    report.out << "Defects: " << generated.defects << " in " << generated.protocols
               << " protocols (generated in " << QString::number(genTime, 'f', 1) << " s)\n";

    bench::RawDb raw(file);
    // Both sides start from a warm page cache.
    raw.scalar("SELECT count(*) FROM Zavady");
    raw.stepAll("SELECT * FROM Zavady");

    ScriptedUi ui;
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    auto *grid = new DataGrid(&window);
    grid->setUi(&ui);
    layout->addWidget(grid, 1);
    window.resize(1366, 768);

    const double rssBefore = bench::residentMiB();
    Table zavady(session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    zavady.setIndexFieldNames(QStringLiteral("CISLO;OS;DATUM;OKRUH;IN"));
    const double ourOpen = bench::seconds([&] { zavady.open(); });
    window.show();
    settleAndPaint(window);

    report.header(QStringLiteral("DataGrid over %1 defects, 1366x768 offscreen").arg(zavady.recordCount()));

    // 1. Binding to first painted rows.
    const double ourBind = bench::seconds([&] {
        grid->setDataSet(&zavady);
        grid->setColumnsFromFields();
        grid->setFooterVisible(true);
        settleAndPaint(window);
    });
    const double rssShown = bench::residentMiB();
    qint64 baseCount = 0;
    const double baseFirst = bench::seconds([&] {
        baseCount = raw.scalar("SELECT count(*) FROM Zavady");
        raw.stepAll(QByteArray("SELECT * FROM Zavady ") + Order + " LIMIT 40");
    });
    if (baseCount != zavady.recordCount())
        report.out << "COUNT MISMATCH " << zavady.recordCount() << " vs " << baseCount << '\n';
    report.row(QStringLiteral("table open (base: SELECT count(*) FROM Zavady)"), ourOpen,
               bench::seconds([&] { raw.scalar("SELECT count(*) FROM Zavady"); }), QStringLiteral("s"),
               QStringLiteral("-"));
    report.row(QStringLiteral("bind grid to first painted rows (base: SELECT count(*) FROM Zavady; SELECT * "
                              "FROM Zavady %1 LIMIT 40)")
                   .arg(QLatin1String(Order)),
               ourBind, baseFirst, QStringLiteral("s"), QStringLiteral("<= 0.5 s"));

    // 2. Ctrl+End to the last row.
    const int rows = zavady.recordCount();
    // Offscreen windows never get focus-in, which is what gives the view its current cell on screen.
    grid->setFocus();
    grid->setCurrentCell(grid->model()->firstDataRow(), grid->firstVisibleColumn());
    const double ourLast = bench::seconds([&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(grid->view(), &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::ControlModifier);
        QApplication::sendEvent(grid->view(), &release);
        settleAndPaint(window);
    });
    const int landed = grid->model()->datasetRowAt(grid->view()->currentIndex().row());
    if (landed != rows - 1)
        report.out << "LAST ROW MISMATCH: landed on " << landed << " of " << rows << '\n';
    const QByteArray lastSql =
        QByteArray("SELECT * FROM Zavady ") + Order + " LIMIT 40 OFFSET " + QByteArray::number(rows - 40);
    const double baseLast = bench::seconds([&] { raw.stepAll(lastSql.constData()); });
    report.row(
        QStringLiteral("Ctrl+End to the last row, painted (base: %1)").arg(QString::fromLatin1(lastSql)),
        ourLast, baseLast, QStringLiteral("s"), QStringLiteral("<= 1 s"));

    // 3. Column filter OS = '05'.
    const int osColumn = grid->columnOf(QStringLiteral("OS"));
    const double ourFilter = bench::seconds([&] {
        ColumnFilter f = grid->columnFilterFor(osColumn);
        f.conditions = {FilterCondition{FilterOperator::Equal, QStringLiteral("05"), {}, {}}};
        grid->setColumnFilter(f);
        settleAndPaint(window);
    });
    qint64 baseFiltered = 0;
    const double baseFilter = bench::seconds([&] {
        baseFiltered = raw.scalar("SELECT count(*) FROM Zavady WHERE OS = '05'");
        raw.stepAll(QByteArray("SELECT * FROM Zavady WHERE OS = '05' ") + Order + " LIMIT 40");
    });
    if (baseFiltered != zavady.recordCount())
        report.out << "FILTER MISMATCH " << zavady.recordCount() << " vs " << baseFiltered << '\n';
    report.row(
        QStringLiteral("column filter OS = '05', %1 rows painted (base: SELECT count(*) ... WHERE OS = "
                       "'05'; first 40 rows in order)")
            .arg(zavady.recordCount()),
        ourFilter, baseFilter, QStringLiteral("s"), QStringLiteral("<= 1 s"));
    grid->clearFilter();
    settleAndPaint(window);

    // 4. Grouping by district over every row.
    const double ourGroup = bench::seconds([&] {
        grid->groupBy(QStringLiteral("OKRUH"));
        settleAndPaint(window);
    });
    qint64 baseGroups = 0;
    const double baseGroup = bench::seconds([&] {
        baseGroups = raw.stepAll("SELECT OKRUH, count(*) FROM Zavady GROUP BY OKRUH ORDER BY OKRUH");
    });
    int ourGroups = 0;
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        ourGroups += grid->model()->rowKind(r) == DataSetModel::RowKind::GroupHeader ? 1 : 0;
    report.row(QStringLiteral("group by OKRUH, painted: %1 groups shown, %2 in SQLite (base: SELECT OKRUH, "
                              "count(*) FROM Zavady GROUP BY OKRUH ORDER BY OKRUH)")
                   .arg(ourGroups)
                   .arg(baseGroups),
               ourGroup, baseGroup, QStringLiteral("s"), QStringLiteral("<= 1 s"));
    grid->ungroup(QStringLiteral("OKRUH"));
    settleAndPaint(window);

    // 5. Footer sum of KM.
    const int kmColumn = grid->columnOf(QStringLiteral("KM"));
    const double ourSum = bench::seconds([&] {
        grid->setFooterSummary(kmColumn, {SummaryKind::Sum, QStringLiteral("###0")});
        settleAndPaint(window);
    });
    double baseValue = 0;
    const double baseSum = bench::seconds([&] {
        sqlite3_stmt *st = nullptr;
        sqlite3_prepare_v2(raw.handle(), "SELECT SUM(KM) FROM Zavady", -1, &st, nullptr);
        if (sqlite3_step(st) == SQLITE_ROW)
            baseValue = sqlite3_column_double(st, 0);
        sqlite3_finalize(st);
    });
    report.row(QStringLiteral("footer sum of KM = %1 (base: SELECT SUM(KM) FROM Zavady = %2)")
                   .arg(grid->footerText(kmColumn), QString::number(baseValue, 'f', 0)),
               ourSum, baseSum, QStringLiteral("s"), QStringLiteral("<= 1 s"));

    // 6. Memory.
    const double rssAfterAll = bench::residentMiB();
    report.out << "| resident memory: " << mib(rssBefore) << " MiB before the table and grid, "
               << mib(rssShown) << " MiB with the grid shown (+" << mib(rssShown - rssBefore) << "), "
               << mib(rssAfterAll) << " MiB after scrolling, filtering, grouping and summing (+"
               << mib(rssAfterAll - rssBefore) << ") | " << mib(rssAfterAll - rssBefore)
               << " MiB | - | - | <= 100 MB more |\n";

    // 7. Export of about 100 000 rows: one year of defects.
    const int dateColumn = grid->columnOf(QStringLiteral("DATUM"));
    ColumnFilter year = grid->columnFilterFor(dateColumn);
    year.conditions = {FilterCondition{FilterOperator::Between, QDate(2024, 1, 1), QDate(2024, 12, 31), {}}};
    grid->setColumnFilter(year);
    settleAndPaint(window);
    const int exported = zavady.recordCount();
    const QString xlsx = tmp.filePath(QStringLiteral("export.xlsx"));
    bool ok = false;
    const double ourExport = bench::seconds([&] { ok = grid->exportTo(xlsx, DataGrid::ExportFormat::Xlsx); });
    if (!ok)
        report.out << "EXPORT FAILED\n";

    QStringList fields;
    for (int c = 0; c < grid->columnCount(); ++c)
        if (grid->isColumnVisible(c) && grid->model()->fieldOf(c))
            fields << QLatin1Char('"') + grid->column(c).field + QLatin1Char('"');
    const QString sql =
        QStringLiteral("SELECT %1 FROM Zavady WHERE DATUM BETWEEN '2024-01-01' AND '2024-12-31' %2;")
            .arg(fields.join(QStringLiteral(", ")), QLatin1String(Order));
    const QString csv = tmp.filePath(QStringLiteral("export.csv"));
    QProcess shell;
    shell.setStandardOutputFile(csv);
    const double baseExport = bench::seconds([&] {
        shell.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), file, sql});
        shell.waitForFinished(-1);
    });
    const qint64 baseYear = raw.scalar("SELECT count(*) FROM Zavady WHERE DATUM BETWEEN '2024-01-01' AND "
                                       "'2024-12-31'");
    if (baseYear != exported)
        report.out << "EXPORT ROW MISMATCH " << exported << " vs " << baseYear << '\n';
    report.row(
        QStringLiteral("export %1 rows to xlsx, %2 KiB (base: sqlite3 -csv of the same rows and columns, "
                       "%3 KiB)")
            .arg(exported)
            .arg(QFileInfo(xlsx).size() / 1024)
            .arg(QFileInfo(csv).size() / 1024),
        ourExport, baseExport, QStringLiteral("s"), QStringLiteral("-"));
    // A message the grid showed instead of doing the work would make a figure meaningless.
    for (const ScriptedUi::Call &c : std::as_const(ui.calls))
        report.out << "ui " << c.kind << ": " << c.text << '\n';
    return 0;
}
