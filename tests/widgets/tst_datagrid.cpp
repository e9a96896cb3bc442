// The data grid driven as a person drives it: typing into the new-item row, Enter, leaving rows,
// grouping, footers, filters, deleting and exporting, with messages answered by a scripted Ui.

#include "DataGrid.h"
#include "FilterDialog.h"
#include "FilterPanel.h"
#include "GridFixture.h"
#include "GridHeader.h"
#include "GridTexts.h"
#include "GridView.h"
#include "GroupByBox.h"
#include "ScriptedUi.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

using namespace lerk;
using namespace lerk::test;

namespace {

// Types text as keys into whatever has the focus (the grid, then the editor the first key opened).
void type(QWidget *grid, const QString &text)
{
    for (const QChar c : text) {
        QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
        // Keys by their text, so that Czech letters type as they do on a Czech keyboard.
        QTest::sendKeyEvent(QTest::Click, target, c == QLatin1Char(' ') ? Qt::Key_Space : Qt::Key_unknown,
                            QString(c), Qt::NoModifier);
    }
}

void pressEnter(QWidget *grid)
{
    QWidget *target = QApplication::focusWidget() ? QApplication::focusWidget() : grid;
    QTest::keyClick(target, Qt::Key_Return);
    QCoreApplication::processEvents();
}

// The texts of the menu the callback opens, read while it is shown and then closed.
QStringList menuTexts(const std::function<void()> &open)
{
    QStringList texts;
    QTimer::singleShot(0, [&texts] {
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!menu)
            return;
        std::function<void(QMenu *)> collect = [&](QMenu *m) {
            for (QAction *a : m->actions()) {
                if (a->isSeparator())
                    continue;
                texts << a->text();
                if (a->menu())
                    collect(a->menu());
            }
        };
        collect(menu);
        menu->close();
    });
    open();
    return texts;
}

QString unzip(const QString &archive, const QString &member)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-p"), archive, member});
    p.waitForFinished();
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class tst_DataGrid : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void newItemRowAppends();
    void enterMovesToNextCell();
    void refusedPostKeepsRow();
    void editors_data();
    void editors();
    void focusAndCursorFollowEachOther();
    void grouping();
    void footerSums_data();
    void footerSums();
    void gridFilterOnTopOfTableFilter();
    void deleting_data();
    void deleting();
    void exportXlsx();
    void exportText_data();
    void exportText();
    void czechTexts();
    void incrementalSearch();

private:
    void show(const QString &table, const QString &order);

    std::unique_ptr<GridFixture> m_fx;
    std::unique_ptr<Table> m_table;
    std::unique_ptr<DataGrid> m_grid;
    ScriptedUi m_ui;
};

void tst_DataGrid::init()
{
    m_fx = std::make_unique<GridFixture>();
    m_ui = ScriptedUi();
}

void tst_DataGrid::cleanup()
{
    m_grid.reset();
    m_table.reset();
    m_fx.reset();
}

void tst_DataGrid::show(const QString &table, const QString &order)
{
    m_table = m_fx->open(table, order);
    m_grid = std::make_unique<DataGrid>();
    m_grid->setUi(&m_ui);
    m_grid->setDataSet(m_table.get());
    m_grid->resize(900, 500);
    m_grid->show();
    QApplication::setActiveWindow(m_grid.get());
    QVERIFY(QTest::qWaitForWindowActive(m_grid.get()));
    m_grid->view()->setFocus();
    QCoreApplication::processEvents();
}

void tst_DataGrid::newItemRowAppends()
{
    show(QStringLiteral("Os"), QStringLiteral("OS"));
    m_grid->setNewItemRow(true, QStringLiteral("Nový záznam - středisko"));
    QCOMPARE(m_grid->model()->rowCount(), 3);
    QCOMPARE(m_grid->model()->data(m_grid->model()->index(0, 0), Qt::ToolTipRole).toString(),
             QStringLiteral("Nový záznam - středisko"));

    m_grid->setCurrentCell(0, 0);
    type(m_grid->view(), QStringLiteral("03"));
    QCOMPARE(m_table->state(), DataSetState::Insert);
    pressEnter(m_grid->view());
    QCOMPARE(m_grid->currentColumn(), 1);
    type(m_grid->view(), QStringLiteral("Ostrava"));
    pressEnter(m_grid->view()); // the last cell stores the record

    QCOMPARE(m_table->state(), DataSetState::Browse);
    QCOMPARE(m_table->recordCount(), 3);
    QCOMPARE(m_grid->view()->currentIndex().row(), 0); // ready for the next one
    QVERIFY(m_table->locate(QStringLiteral("OS"), {QStringLiteral("03")}));
    QCOMPARE(m_table->fieldByName(QStringLiteral("STREDISKO")).asString(), QStringLiteral("Ostrava"));
    QVERIFY(m_ui.texts().isEmpty());
}

void tst_DataGrid::enterMovesToNextCell()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    const int first = m_grid->columnOf(QStringLiteral("CISLO"));
    const int second = m_grid->columnOf(QStringLiteral("OS"));
    m_grid->setColumnVisible(second, false); // hidden columns are skipped
    m_grid->setCurrentCell(1, first);
    pressEnter(m_grid->view());
    QCOMPARE(m_grid->currentColumn(), m_grid->columnOf(QStringLiteral("DATUM")));

    // From the last visible cell to the first cell of the next row, which moves the cursor.
    int last = -1;
    for (int v = m_grid->view()->horizontalHeader()->count() - 1; v >= 0 && last < 0; --v)
        if (!m_grid->view()->isColumnHidden(m_grid->view()->horizontalHeader()->logicalIndex(v)))
            last = m_grid->view()->horizontalHeader()->logicalIndex(v);
    m_grid->setCurrentCell(1, last);
    pressEnter(m_grid->view());
    QCOMPARE(m_grid->view()->currentIndex().row(), 2);
    QCOMPARE(m_grid->currentColumn(), first);
    QCOMPARE(m_table->currentRow(), 2);

    // Tab stops at the last cell unless the window lets it wrap to the next row.
    m_grid->setCurrentCell(2, last);
    QTest::keyClick(m_grid->view(), Qt::Key_Tab);
    QCOMPARE(m_grid->view()->currentIndex().row(), 2);
    m_grid->setTabWrapsToNextRow(true);
    QTest::keyClick(m_grid->view(), Qt::Key_Tab);
    QCOMPARE(m_grid->view()->currentIndex().row(), 3);
    QCOMPARE(m_table->currentRow(), 3);

    // A record inserted elsewhere (the navigator) is typed into the new-item row from its first cell.
    m_grid->setNewItemRow(true);
    m_table->insert();
    QCOMPARE(m_grid->view()->currentIndex().row(), 0);
    QCOMPARE(m_grid->currentColumn(), first);
    m_table->cancel();

    // Enter inside an editor commits the value and moves on; the record stays in edit until left.
    m_grid->setNewItemRow(false);
    const int poradi = m_grid->columnOf(QStringLiteral("PORADI"));
    m_grid->setCurrentCell(0, poradi);
    type(m_grid->view(), QStringLiteral("7"));
    pressEnter(m_grid->view());
    QCOMPARE(m_table->state(), DataSetState::Edit);
    QCOMPARE(m_table->fieldByName(QStringLiteral("PORADI")).asInteger(), 7);
    QCOMPARE(m_grid->currentColumn(), m_grid->columnOf(QStringLiteral("ODSTRANENO")));
    QCOMPARE(m_grid->model()->headerData(0, Qt::Vertical).toString(), QStringLiteral("✎"));
    m_grid->setCurrentCell(1, poradi); // leaving the row posts it
    QCOMPARE(m_table->state(), DataSetState::Browse);
    QCOMPARE(m_table->valueAt(0, m_table->fieldByName(QStringLiteral("PORADI")).index()).toInt(), 7);
}

void tst_DataGrid::refusedPostKeepsRow()
{
    show(QStringLiteral("Os"), QStringLiteral("OS"));
    m_grid->setNewItemRow(true, QStringLiteral("Nový záznam - středisko"));
    m_grid->setCurrentCell(0, 0);
    type(m_grid->view(), QStringLiteral("01")); // "01 Praha" exists
    pressEnter(m_grid->view());
    type(m_grid->view(), QStringLiteral("Kolín"));
    pressEnter(m_grid->view());

    QCOMPARE(m_ui.texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(m_table->state(), DataSetState::Insert);
    QCOMPARE(m_table->fieldByName(QStringLiteral("OS")).asString(), QStringLiteral("01"));
    QCOMPARE(m_table->fieldByName(QStringLiteral("STREDISKO")).asString(), QStringLiteral("Kolín"));
    QCOMPARE(m_table->recordCount(), 2);

    // Clicking another row tries again, is refused again, and the focus stays in the new record.
    m_grid->setCurrentCell(2, 1);
    QCoreApplication::processEvents();
    QCOMPARE(m_ui.texts(QStringLiteral("error")).size(), 2);
    QCOMPARE(m_grid->view()->currentIndex().row(), 0);
    QCOMPARE(m_grid->model()->data(m_grid->model()->index(0, 1)).toString(), QStringLiteral("Kolín"));

    // Corrected, the record is stored on leaving.
    m_grid->setCurrentCell(0, 0);
    type(m_grid->view(), QStringLiteral("09"));
    pressEnter(m_grid->view());
    m_grid->setCurrentCell(2, 1);
    QCOMPARE(m_table->state(), DataSetState::Browse);
    QCOMPARE(m_table->recordCount(), 3);
}

void tst_DataGrid::editors_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("typed"); // " " toggles a check box
    QTest::addColumn<QVariant>("expected");
    QTest::addColumn<QString>("editor"); // object name of the editor that opens
    QTest::newRow("text cut to size") << "CISLO"
                                      << "1234567" << QVariant("12345") << "textEdit";
    QTest::newRow("number, decimal comma") << "KM"
                                           << "2,5" << QVariant(2.5) << "numberEdit";
    QTest::newRow("date, short format") << "DATUM"
                                        << "4.5.2008" << QVariant(QDate(2008, 5, 4)) << "dateEdit";
    QTest::newRow("lookup by code") << "OS"
                                    << "02" << QVariant("02") << "lookupBox";
    QTest::newRow("check box") << "ODSTRANENO"
                               << " " << QVariant(true) << "";
}

void tst_DataGrid::editors()
{
    QFETCH(QString, field);
    QFETCH(QString, typed);
    QFETCH(QVariant, expected);
    QFETCH(QString, editor);
    m_table = m_fx->open(QStringLiteral("Zavady"), QStringLiteral("IN"));
    auto os = m_fx->open(QStringLiteral("Os"), QStringLiteral("OS"));
    m_grid = std::make_unique<DataGrid>();
    m_grid->setUi(&m_ui);
    QList<GridColumn> columns;
    for (const char *name : {"CISLO", "OS", "DATUM", "KM", "ODSTRANENO"}) {
        GridColumn c;
        c.field = QString::fromLatin1(name);
        columns << c;
    }
    columns[1].lookup = LookupList{
        os.get(), QStringLiteral("OS"), {QStringLiteral("OS"), QStringLiteral("STREDISKO")}, {}, 10, 0,
        false};
    m_grid->setColumns(columns);
    m_grid->setDataSet(m_table.get());
    m_grid->resize(800, 400);
    m_grid->show();
    QApplication::setActiveWindow(m_grid.get());
    QVERIFY(QTest::qWaitForWindowActive(m_grid.get()));
    m_grid->view()->setFocus();
    m_grid->setCurrentCell(0, m_grid->columnOf(field));
    type(m_grid->view(), typed);
    if (!editor.isEmpty()) {
        QVERIFY(QApplication::focusWidget());
        QWidget *open = QApplication::focusWidget();
        while (open && open->objectName() != editor)
            open = open->parentWidget();
        QVERIFY2(open, qPrintable(QApplication::focusWidget()->objectName()));
        pressEnter(m_grid->view());
    }
    QCOMPARE(m_table->state(), DataSetState::Edit);
    QCOMPARE(m_table->fieldByName(field).value(), expected);
    QVERIFY(m_ui.texts().isEmpty());
}

void tst_DataGrid::focusAndCursorFollowEachOther()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    m_grid->setNewItemRow(true);
    m_grid->setCurrentCell(4, 2);
    QCOMPARE(m_table->currentRow(), 3); // below the new-item row
    m_table->goToRow(5);
    QCOMPARE(m_grid->view()->currentIndex().row(), 6);
    QCOMPARE(m_grid->currentColumn(), 2);
    m_table->first();
    QCOMPARE(m_grid->view()->currentIndex().row(), 1);

    // A record in a collapsed group opens its group.
    m_grid->groupBy(QStringLiteral("OKRUH"));
    m_grid->collapseAll();
    m_table->last(); // IN 106, district 0201
    const int row = m_grid->view()->currentIndex().row();
    QCOMPARE(m_grid->model()->datasetRowAt(row), m_table->currentRow());
    QCOMPARE(m_table->fieldByName(QStringLiteral("IN")).asInteger(), 106);
}

void tst_DataGrid::grouping()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    m_grid->setGroupByBoxVisible(true);
    m_grid->groupBy(QStringLiteral("OKRUH"));
    QCOMPARE(m_grid->groupByBox()->captions(), QStringList{QStringLiteral("OKRUH")});
    QVERIFY(m_grid->view()->isColumnHidden(m_grid->columnOf(QStringLiteral("OKRUH"))));

    m_grid->collapseAll();
    DataSetModel *model = m_grid->model();
    QCOMPARE(model->rowCount(), 2);
    QCOMPARE(model->groupText(model->data(model->index(0, 0), DataSetModel::GroupNodeRole).toInt()),
             QStringLiteral("OKRUH : 0105 (počet 4)"));
    QCOMPARE(model->groupText(model->data(model->index(1, 0), DataSetModel::GroupNodeRole).toInt()),
             QStringLiteral("OKRUH : 0201 (počet 2)"));

    m_grid->expandAll();
    QCOMPARE(model->rowCount(), 8);
    // The rows of a group follow its header, in the table's order.
    QCOMPARE(model->rowKind(5), DataSetModel::RowKind::GroupHeader);
    const int in = m_table->fieldByName(QStringLiteral("IN")).index();
    QCOMPARE(m_table->valueAt(model->datasetRowAt(6), in).toInt(), 105);

    // Collapsing one group by keyboard.
    m_grid->setCurrentCell(0, 0);
    QTest::keyClick(m_grid->view(), Qt::Key_Minus);
    QCOMPARE(model->rowCount(), 4);

    // Two levels, and group footers with their sums.
    m_grid->groupBy(QStringLiteral("SILNICE"));
    m_grid->setGroupFooterSummary(m_grid->columnOf(QStringLiteral("KM")),
                                  Summary{SummaryKind::Sum, QStringLiteral("0.00")});
    m_grid->setGroupFootersVisible(true);
    QCoreApplication::processEvents();
    m_grid->expandAll();
    QCOMPARE(model->rowCount(), 2 + 4 + 6 + 2 + 4);
    const int kmColumn = m_grid->columnOf(QStringLiteral("KM"));
    QStringList footers;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->rowKind(r) == DataSetModel::RowKind::GroupFooter)
            footers << model->data(model->index(r, kmColumn)).toString();
    QCOMPARE(footers, (QStringList{"10,50", "0,50", "11,00", "3,25", "4,00", "7,25"}));

    m_grid->ungroup(QStringLiteral("OKRUH"));
    m_grid->ungroup(QStringLiteral("SILNICE"));
    QCOMPARE(model->rowCount(), 6);

    // A column header dropped on the grouping box groups by its column.
    QMimeData mime;
    mime.setData(GridHeader::mimeType(),
                 GridHeader::dragData(m_grid->header(), m_grid->columnOf(QStringLiteral("CISLO"))));
    QDragEnterEvent enter(QPoint(20, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_grid->groupByBox(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(20, 10), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(m_grid->groupByBox(), &drop);
    QCOMPARE(m_grid->groupFields(), QStringList{QStringLiteral("CISLO")});
    m_grid->collapseAll();
    QCOMPARE(model->rowCount(), 2);
    m_grid->ungroup(QStringLiteral("CISLO"));
    QCOMPARE(model->rowCount(), 6);
    QVERIFY(!m_grid->view()->isColumnHidden(m_grid->columnOf(QStringLiteral("OKRUH"))));
}

void tst_DataGrid::footerSums_data()
{
    QTest::addColumn<bool>("viewTable");
    QTest::newRow("grid opened on the table") << true;
    QTest::newRow("table opened before the grid") << false;
}

void tst_DataGrid::footerSums()
{
    QFETCH(bool, viewTable);
    std::unique_ptr<Table> plain;
    if (viewTable) {
        show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    } else {
        plain =
            std::make_unique<Table>(m_fx->session(), QStringLiteral("DevaReru"), QStringLiteral("Zavady"));
        plain->open();
        m_grid = std::make_unique<DataGrid>();
        m_grid->setUi(&m_ui);
        m_grid->setDataSet(plain.get());
    }
    m_grid->setFooterVisible(true);
    m_grid->setFooterSummary(m_grid->columnOf(QStringLiteral("KM")),
                             Summary{SummaryKind::Sum, QStringLiteral("###0")});
    m_grid->setFooterSummary(m_grid->columnOf(QStringLiteral("CISLO")),
                             Summary{SummaryKind::Count, QStringLiteral("###0")});
    m_grid->setFooterSummary(m_grid->columnOf(QStringLiteral("PORADI")),
                             Summary{SummaryKind::Average, QStringLiteral("0.00")});
    m_grid->setFooterSummary(m_grid->columnOf(QStringLiteral("DATUM")), Summary{SummaryKind::Max, {}});
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("KM"))), QStringLiteral("18"));
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("CISLO"))), QStringLiteral("6"));
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("PORADI"))), QStringLiteral("1,67"));
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("DATUM"))), QStringLiteral("4.5.2008"));
    if (!viewTable)
        return;

    // The footer follows the grid's filter and a change of a value.
    ColumnFilter f = m_grid->columnFilterFor(m_grid->columnOf(QStringLiteral("OKRUH")));
    f.conditions = {FilterCondition{FilterOperator::Equal, QStringLiteral("0201"), {}, {}}};
    m_grid->setColumnFilter(f);
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("KM"))), QStringLiteral("7"));
    m_table->first();
    m_table->edit();
    m_table->fieldByName(QStringLiteral("KM")).setValue(10.0);
    m_table->post();
    QCoreApplication::processEvents();
    QCOMPARE(m_grid->footerText(m_grid->columnOf(QStringLiteral("KM"))), QStringLiteral("14"));
}

void tst_DataGrid::gridFilterOnTopOfTableFilter()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    m_table->setFilter(QStringLiteral("Odstraneno=False"));
    m_table->setFiltered(true);
    m_grid->setFilterPanelMode(DataGrid::FilterPanelMode::Always);
    QCOMPARE(m_grid->filterPanel()->shownText(), QStringLiteral("<Filtr je prázdný>"));
    QCOMPARE(m_table->recordCount(), 4);

    ColumnFilter f = m_grid->columnFilterFor(m_grid->columnOf(QStringLiteral("SILNICE")));
    f.conditions = {FilterCondition{FilterOperator::BeginsWith, QStringLiteral("I/"), {}, {}}};
    m_grid->setColumnFilter(f);
    QCOMPARE(m_table->recordCount(), 3);
    QCOMPARE(m_table->filter(), QStringLiteral("Odstraneno=False"));
    QCOMPARE(m_grid->filterExpression(), QStringLiteral("SILNICE LIKE 'I/%'"));
    QCOMPARE(m_grid->filterText(), QStringLiteral("SILNICE začíná 'I/'"));
    QCOMPARE(m_grid->filterPanel()->shownText(), QStringLiteral("SILNICE začíná 'I/'"));

    // A window changing its own filter keeps the grid's.
    m_table->setFilter(QStringLiteral("OKRUH='0201'"));
    QCOMPARE(m_table->recordCount(), 1); // 105: I/3 in 0201

    m_grid->setFilterActive(false);
    QCOMPARE(m_grid->filterExpression(), QString());
    QCOMPARE(m_table->recordCount(), 2);
    QVERIFY(!m_grid->filterPanel()->isFilterActive());
    m_grid->setFilterActive(true);
    QCOMPARE(m_table->recordCount(), 1);
    m_grid->clearFilter();
    QCOMPARE(m_grid->filterPanel()->shownText(), QStringLiteral("<Filtr je prázdný>"));
    QCOMPARE(m_table->recordCount(), 2);
}

void tst_DataGrid::deleting_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("remaining");
    QTest::newRow("asks, no") << true << false << 6;
    QTest::newRow("asks, yes") << true << true << 5;
    QTest::newRow("without asking") << false << false << 5;
}

void tst_DataGrid::deleting()
{
    QFETCH(bool, confirm);
    QFETCH(bool, answer);
    QFETCH(int, remaining);
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    m_grid->setConfirmDelete(confirm);
    m_ui.answers.enqueue(answer);
    m_grid->setCurrentCell(2, 0);
    QTest::keyClick(m_grid->view(), Qt::Key_Delete, Qt::ControlModifier);
    QCOMPARE(m_table->recordCount(), remaining);
    QCOMPARE(m_ui.texts(QStringLiteral("question")),
             confirm ? QStringList{QStringLiteral("Smazat záznam ?")} : QStringList());
    QCOMPARE(m_grid->model()->datasetRowAt(m_grid->view()->currentIndex().row()), m_table->currentRow());
}

void tst_DataGrid::exportXlsx()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    GridColumn km;
    QList<GridColumn> columns;
    for (const char *name : {"CISLO", "DATUM", "OKRUH", "ODSTRANENO", "KM", "ZAVADA"}) {
        GridColumn c;
        c.field = QString::fromLatin1(name);
        columns << c;
    }
    columns[1].caption = QStringLiteral("Datum prohlídky");
    m_grid->setColumns(columns);
    m_grid->groupBy(QStringLiteral("OKRUH"));
    m_grid->collapseAll(); // exported expanded all the same
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Závady.xlsx"));
    QVERIFY(m_grid->exportTo(path, DataGrid::formatForPath(path)));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{QStringLiteral("Závady.xlsx")});

    const QString strings = unzip(path, QStringLiteral("xl/sharedStrings.xml"));
    const QString sheet = unzip(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    for (const QString &s : {QStringLiteral("CISLO"), QStringLiteral("Datum prohlídky"),
                             QStringLiteral("ano"), QStringLiteral("ne"), QStringLiteral("výtluk"),
                             QStringLiteral("it&apos;s"), QStringLiteral("OKRUH : 0105 (počet 4)")})
        QVERIFY2(strings.contains(s) ||
                     strings.contains(QString(s).replace(QStringLiteral("&apos;"), QStringLiteral("'"))),
                 qPrintable(s));
    // Header, two group rows, six records.
    QCOMPARE(sheet.count(QStringLiteral("<row ")), 9);
    // Dates as dates (serial numbers with a date format), numbers as numbers.
    const int serial = int(QDate(1899, 12, 30).daysTo(QDate(2008, 5, 3)));
    QVERIFY2(sheet.contains(QStringLiteral("<v>%1</v>").arg(serial)), qPrintable(sheet.left(2000)));
    QVERIFY(sheet.contains(QStringLiteral("<v>3.25</v>")));
    QVERIFY(sheet.contains(QStringLiteral("<v>1.5</v>")));
}

void tst_DataGrid::exportText_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("csv") << "z.csv" << QStringList{"CISLO;KM;ODSTRANENO", "12;1,5;ne", "13;4;ne"};
    QTest::newRow("html") << "z.html" << QStringList{"<th>CISLO</th>", "<td>it's</td>", "<td>ano</td>"};
    QTest::newRow("xml") << "z.xml" << QStringList{"<row><CISLO>12</CISLO>", "<ZAVADA>it's</ZAVADA>"};
    QTest::newRow("text") << "z.txt" << QStringList{"CISLO\tKM\tODSTRANENO\tZAVADA", "13\t4\tne\tit's"};
}

void tst_DataGrid::exportText()
{
    QFETCH(QString, file);
    QFETCH(QStringList, expected);
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    QList<GridColumn> columns;
    for (const char *name : {"CISLO", "KM", "ODSTRANENO", "ZAVADA"}) {
        GridColumn c;
        c.field = QString::fromLatin1(name);
        columns << c;
    }
    if (file.endsWith(QLatin1String(".csv")))
        columns.removeLast();
    m_grid->setColumns(columns);
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    QVERIFY(m_grid->exportTo(path, DataGrid::formatForPath(path)));
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString content = QString::fromUtf8(f.readAll());
    for (const QString &e : expected)
        QVERIFY2(content.contains(e), qPrintable(e + QStringLiteral(" in:\n") + content));

    // A file that cannot be created is reported with the grid's text.
    QVERIFY(!m_grid->exportTo(dir.filePath(QStringLiteral("missing/dir/") + file),
                              DataGrid::formatForPath(file)));
    QCOMPARE(m_ui.texts(QStringLiteral("error")).value(0).left(39),
             QStringLiteral("Nelze vytvořit výstupní exportní soubor"));
}

void tst_DataGrid::czechTexts()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    const int datum = m_grid->columnOf(QStringLiteral("DATUM"));
    const QStringList header =
        menuTexts([&] { m_grid->showColumnMenu(datum, m_grid->mapToGlobal(QPoint(10, 10))); });
    QCOMPARE(header, (QStringList{"Seřadit vzestupně ", "Seřadit sestupně ", "Zrušit seřazení ",
                                  "Seskupit podle tohoto sloupce ", "Skrýt/zobrazit slučovací panel ",
                                  "Zarovnání", "Zarovnat doleva", "Zarovnat doprava", "Zarovnat na střed",
                                  "Skrýt tento sloupec", "Zobrazit sloupec", "Best Fit - sloupec",
                                  "Best Fit - všechny sloupce", "Zápatí", "Zápatí skupin"}));
    m_grid->groupBy(QStringLiteral("DATUM"));
    QVERIFY(menuTexts([&] {
                m_grid->showColumnMenu(datum, QPoint(10, 10));
            }).contains(QStringLiteral("Odstranit ze skupiny ")));
    m_grid->ungroup(QStringLiteral("DATUM"));

    const QStringList summary =
        menuTexts([&] { m_grid->showSummaryMenu(m_grid->columnOf(QStringLiteral("KM")), QPoint(10, 10)); });
    QVERIFY(summary.contains(QStringLiteral("Count - počet")));
    QVERIFY(summary.contains(QStringLiteral("Average - průměr")));
    QVERIFY(summary.contains(QStringLiteral("None - žádný")));

    const QStringList filter =
        menuTexts([&] { m_grid->showFilterMenu(m_grid->columnOf(QStringLiteral("OKRUH")), QPoint(10, 10)); });
    QCOMPARE(filter.mid(0, 4), (QStringList{"(Vše)", "Upravit ... ", "je prázdné", "není prázdné"}));
    QCOMPARE(filter.mid(4), (QStringList{"0105", "0201"}));

    FilterDialog dialog(m_grid->columnFilterFor(datum), m_fx->session().formats());
    QStringList ops;
    for (int i = 0; i < dialog.operatorBox(0)->count(); ++i)
        ops << dialog.operatorBox(0)->itemText(i);
    for (const QString &op :
         {QStringLiteral("rovná se ="), QStringLiteral("menší než < "), QStringLiteral("mezi"),
          QStringLiteral("ne v"), QStringLiteral("je dnes"), QStringLiteral("je posledníchch 14 dnů"),
          QStringLiteral("je posledních rok "), QStringLiteral("je budoucnoct")})
        QVERIFY2(ops.contains(op), qPrintable(op));
    QCOMPARE(dialog.orButton()->text(), QStringLiteral("nebo"));
    QCOMPARE(dialog.notBox()->text(), QStringLiteral("ne"));

    QCOMPARE(m_grid->groupByBox()->prompt(),
             QStringLiteral("Přetáhněte sem záhlaví sloupce pro seskupení podle tohoto sloupce"));
    m_grid->setNewItemRow(true);
    QCOMPARE(m_grid->newItemRowText(), QStringLiteral("Klikněte sem pro přidání nového záznamu "));
}

void tst_DataGrid::incrementalSearch()
{
    show(QStringLiteral("Zavady"), QStringLiteral("IN"));
    const int zavada = m_grid->columnOf(QStringLiteral("ZAVADA"));
    m_grid->setColumns([&] {
        QList<GridColumn> cs = m_grid->model()->columns();
        cs[zavada].readOnly = true;
        return cs;
    }());
    m_grid->setCurrentCell(0, zavada);
    QTest::keyClicks(m_grid->view(), QStringLiteral("pro"));
    QCOMPARE(m_table->fieldByName(QStringLiteral("IN")).asInteger(), 103);
    QCOMPARE(m_grid->view()->currentIndex().row(), 2);
    // Over a sorted text column the search halves the rows.
    m_grid->setSortKeys({SortKey{QStringLiteral("ZAVADA"), false}});
    QVERIFY(m_grid->incrementalSearch(zavada, QStringLiteral("VÝM")));
    QCOMPARE(m_table->fieldByName(QStringLiteral("IN")).asInteger(), 104);
}

QTEST_MAIN(tst_DataGrid)
#include "tst_datagrid.moc"
