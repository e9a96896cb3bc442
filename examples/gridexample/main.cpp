// A data window over a generated defect table, showing the grid kit at work: navigator, record
// counter, grouping, footers, filters, lookups, styles and the exports. Run with --screenshot FILE to
// write a picture of the window (after an optional --scene) and quit.

#include "DBNavigator.h"
#include "DBStatusLabel.h"
#include "DataGrid.h"
#include "Database.h"
#include "ExampleData.h"
#include "GridTexts.h"
#include "GridView.h"
#include "QtUi.h"
#include "Session.h"
#include "StyleRepository.h"
#include "Table.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

using namespace lerk;

namespace {

QList<GridColumn> defectColumns(Table &druh, Table &okruh)
{
    auto col = [](const char *field, const QString &caption = {}) {
        GridColumn c;
        c.field = QString::fromLatin1(field);
        c.caption = caption;
        return c;
    };
    QList<GridColumn> cs;
    cs << col("CISLO", QStringLiteral("Protokol")) << col("OS") << col("DATUM", QStringLiteral("Datum"))
       << col("OKRUH", QStringLiteral("Okruh")) << col("SILNICE", QStringLiteral("Silnice"))
       << col("KM", QStringLiteral("km")) << col("USEK", QStringLiteral("Úsek"))
       << col("DRUH", QStringLiteral("Druh")) << col("ZAVADA", QStringLiteral("Závada"))
       << col("ODSTRANENO", QStringLiteral("Odstraněno")) << col("DATUMO", QStringLiteral("Odstraněno dne"))
       << col("TERMINO", QStringLiteral("Termín od.")) << col("IN");
    for (GridColumn &c : cs)
        if (c.field == QLatin1String("CISLO") || c.field == QLatin1String("OS") ||
            c.field == QLatin1String("OKRUH") || c.field == QLatin1String("DATUM"))
            c.alignment = Qt::AlignHCenter;
    cs[0].footer = {SummaryKind::Count, QStringLiteral("###0")};
    cs[5].footer = {SummaryKind::Sum, QStringLiteral("###0")};
    cs[5].groupFooter = {SummaryKind::Sum, QStringLiteral("0.0")};
    cs[7].lookup = LookupList{
        &druh, QStringLiteral("DRUH"), {QStringLiteral("DRUH"), QStringLiteral("Popis")}, {60, 220}, 10, 300,
        false};
    cs[3].lookup = LookupList{&okruh,
                              QStringLiteral("OKRUH"),
                              {QStringLiteral("OKRUH"), QStringLiteral("OS"), QStringLiteral("Cestmistr")},
                              {60, 40, 160},
                              10,
                              0,
                              true};
    cs[12].visible = false;
    cs[12].readOnly = true;
    return cs;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("Lerk - ukázka mřížky"));
    QApplication::setStyle(QStringLiteral("Fusion"));
    installCzechTranslations();

    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addOption({QStringLiteral("rows"), QStringLiteral("Počet vygenerovaných závad."),
                      QStringLiteral("n"), QStringLiteral("5000")});
    parser.addOption(
        {QStringLiteral("dir"), QStringLiteral("Složka s daty (jinak dočasná)."), QStringLiteral("dir")});
    parser.addOption({QStringLiteral("screenshot"), QStringLiteral("Uloží obrázek okna a skončí."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("scene"),
                      QStringLiteral("group, filter, edit, menu, filtermenu, dialog"),
                      QStringLiteral("name")});
    parser.process(app);

    QTemporaryDir temp;
    const QString dir =
        parser.isSet(QStringLiteral("dir")) ? parser.value(QStringLiteral("dir")) : temp.path();
    QDir().mkpath(dir);
    Session session(dir);
    session.aliases().add(QStringLiteral("DevaReru"), QStringLiteral("SQLITE"),
                          {QStringLiteral("PATH=") + dir});
    Database &db = session.database(QStringLiteral("DevaReru"));
    QElapsedTimer clock;
    clock.start();
    createExampleTables(db, parser.value(QStringLiteral("rows")).toInt());
    qInfo("data ready in %lld ms", clock.restart());

    Table druh(session, QStringLiteral("DevaReru"), QStringLiteral("Ciszav"));
    druh.setIndexFieldNames(QStringLiteral("DRUH"));
    druh.open();
    Table okruh(session, QStringLiteral("DevaReru"), QStringLiteral("Okruh"));
    okruh.setIndexFieldNames(QStringLiteral("OKRUH"));
    okruh.open();
    Table zavady(session, QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
    zavady.setIndexName(QStringLiteral("Klic"));

    QWidget window;
    window.setObjectName(QStringLiteral("TPZavadyForm"));
    window.setWindowTitle(QStringLiteral("Přehled závad - všech"));
    QtUi ui(&window);
    auto *layout = new QVBoxLayout(&window);
    auto *toolbar = new QHBoxLayout;
    auto *navigator = new DBNavigator(&window);
    navigator->setObjectName(QStringLiteral("DBNavigator1"));
    navigator->setUi(&ui);
    auto *status = new DBStatusLabel(&window);
    status->setObjectName(QStringLiteral("DBStatusLabel1"));
    auto button = [&](const QString &name, const QString &text, const QString &hint) {
        auto *b = new QToolButton(&window);
        b->setObjectName(name);
        b->setText(text);
        b->setToolTip(hint);
        toolbar->addWidget(b);
        return b;
    };
    toolbar->addWidget(navigator);
    QToolButton *exportButton =
        button(QStringLiteral("SpeedButton2"), QStringLiteral("Excel"), QStringLiteral("Převod   do Excelu"));
    toolbar->addWidget(status);
    QToolButton *expand = button(QStringLiteral("SpeedButton3"), QStringLiteral("+"),
                                 QStringLiteral("Rozbalení stromové struktury"));
    QToolButton *collapse = button(QStringLiteral("SpeedButton4"), QStringLiteral("−"),
                                   QStringLiteral("Stažení stromové struktury"));
    toolbar->addStretch();
    QToolButton *close =
        button(QStringLiteral("BitBtn1"), QStringLiteral("&Zavřít"), QStringLiteral("Zavřít formulář"));
    layout->addLayout(toolbar);

    auto *grid = new DataGrid(&window);
    grid->setObjectName(QStringLiteral("cxGrid1"));
    grid->setUi(&ui);
    grid->setOddRowStyle(StyleRepository::ZelenoCerna);
    grid->setColumns(defectColumns(druh, okruh));
    grid->setGroupByBoxVisible(true);
    grid->setFooterVisible(true);
    grid->setConfirmDelete(true);
    layout->addWidget(grid, 1);

    clock.restart();
    zavady.open();
    qInfo("table opened in %lld ms", clock.elapsed());
    grid->setDataSet(&zavady);
    grid->setNewItemRow(true, QStringLiteral("Nový záznam - závada"));
    const int kmColumn = grid->columnOf(QStringLiteral("KM"));
    const StyleRepository styles;
    const CellStyle longDefect = styles.style(StyleRepository::CxStyle61);
    grid->setColumns([&] {
        // The record number is the engine's own: shown in aqua, as the windows show computed columns.
        QList<GridColumn> columns = grid->model()->columns();
        columns[grid->columnOf(QStringLiteral("IN"))].styleName = StyleRepository::Aqua;
        return columns;
    }());
    grid->setCellStyleCallback([&zavady, kmColumn, longDefect](int row, int column) {
        // Defects longer than 39 km stand out.
        if (column == kmColumn &&
            zavady.valueAt(row, zavady.fieldByName(QStringLiteral("KM")).index()).toDouble() >= 39.0)
            return longDefect;
        return CellStyle();
    });
    navigator->setDataSet(&zavady);
    status->setDataSet(&zavady);
    QObject::connect(navigator, &DBNavigator::clicked, grid, [grid] { grid->setFocus(); });
    QObject::connect(expand, &QToolButton::clicked, grid, &DataGrid::expandAll);
    QObject::connect(collapse, &QToolButton::clicked, grid, &DataGrid::collapseAll);
    QObject::connect(close, &QToolButton::clicked, &window, &QWidget::close);
    QObject::connect(exportButton, &QToolButton::clicked, grid, [&] {
        const QString path = ui.chooseSaveFile(
            QStringLiteral("Uložit jako - export"), QDir::home().filePath(QStringLiteral("Závady.xlsx")),
            QStringLiteral("Sešit Excelu (*.xlsx);;CSV (*.csv);;HTML (*.html);;XML (*.xml);;Text (*.txt)"));
        if (!path.isEmpty() && grid->exportTo(path, DataGrid::formatForPath(path)))
            ui.openFile(path);
    });
    new MinimizeWholeApplication(&window);

    window.resize(1366, 768 - 30);
    window.show();
    QApplication::processEvents();
    qInfo("grid shown in %lld ms over %d rows", clock.elapsed(), zavady.recordCount());
    grid->setFocus();

    const QString shot = parser.value(QStringLiteral("screenshot"));
    if (shot.isEmpty())
        return app.exec();

    const QString scene = parser.value(QStringLiteral("scene"));
    auto grabLater = [&](QWidget *target, int delay) {
        QTimer::singleShot(delay, &app, [&, target] {
            target->grab().save(shot);
            QApplication::quit();
        });
    };
    clock.restart();
    if (scene == QLatin1String("group") || scene == QLatin1String("menu")) {
        grid->groupBy(QStringLiteral("OKRUH"));
        qInfo("grouped in %lld ms", clock.restart());
        grid->setGroupFooterSummary(kmColumn, {SummaryKind::Sum, QStringLiteral("0.0")});
        grid->setGroupFootersVisible(true);
        grid->collapseAll();
        QApplication::processEvents();
        grid->setGroupExpanded(
            grid->model()->data(grid->model()->index(3, 0), DataSetModel::GroupNodeRole).toInt(), true);
    }
    if (scene == QLatin1String("filter")) {
        ColumnFilter f = grid->columnFilterFor(grid->columnOf(QStringLiteral("ZAVADA")));
        f.conditions = {FilterCondition{FilterOperator::Contains, QStringLiteral("výtluk"), {}, {}}};
        grid->setColumnFilter(f);
        ColumnFilter d = grid->columnFilterFor(grid->columnOf(QStringLiteral("DATUM")));
        d.conditions = {FilterCondition{FilterOperator::Between, QDate(2021, 1, 1), QDate(2021, 12, 31), {}}};
        grid->setColumnFilter(d);
        qInfo("filtered in %lld ms to %d rows", clock.restart(), zavady.recordCount());
    }
    if (scene == QLatin1String("last")) {
        zavady.last();
        QApplication::processEvents();
        qInfo("last row shown in %lld ms", clock.restart());
    }
    if (scene == QLatin1String("edit")) {
        grid->setCurrentCell(0, grid->columnOf(QStringLiteral("CISLO")));
        grid->beginEdit(grid->model()->index(0, grid->columnOf(QStringLiteral("CISLO"))));
        zavady.fieldByName(QStringLiteral("CISLO")).setValue(QStringLiteral("777"));
        zavady.fieldByName(QStringLiteral("DATUM")).setValue(QDate(2024, 3, 14));
        grid->setCurrentCell(0, grid->columnOf(QStringLiteral("DRUH")));
        static_cast<QAbstractItemView *>(grid->view())
            ->edit(grid->model()->index(0, grid->columnOf(QStringLiteral("DRUH"))));
    }
    if (scene == QLatin1String("menu") || scene == QLatin1String("filtermenu") ||
        scene == QLatin1String("dialog") || scene == QLatin1String("chooser")) {
        // The popup or dialog runs its own loop; it is photographed over the window and closed.
        QTimer::singleShot(50, &app, [&] {
            const int c = grid->columnOf(QStringLiteral("DATUM"));
            if (scene == QLatin1String("menu"))
                grid->showColumnMenu(c, grid->mapToGlobal(QPoint(300, 60)));
            else if (scene == QLatin1String("filtermenu"))
                grid->showFilterMenu(grid->columnOf(QStringLiteral("OKRUH")),
                                     grid->mapToGlobal(QPoint(320, 60)));
            else if (scene == QLatin1String("dialog"))
                grid->showCustomFilter(c);
            else
                grid->showFieldChooser();
        });
        QTimer::singleShot(400, &app, [&] {
            QWidget *popup = QApplication::activePopupWidget();
            if (!popup)
                popup = QApplication::activeModalWidget();
            QPixmap pm = window.grab();
            if (popup) {
                QPainter p(&pm);
                p.drawPixmap(window.mapFromGlobal(popup->mapToGlobal(QPoint(0, 0))), popup->grab());
                p.end();
                popup->close();
            }
            pm.save(shot);
            QApplication::quit();
        });
        return app.exec();
    }
    grabLater(&window, 200);
    return app.exec();
}
