// The smaller controls of the data windows: navigator, record counter, folder box, lookup combo, and the
// real Ui's cursor and minimise rule.

#include "DBNavigator.h"
#include "DBStatusLabel.h"
#include "DirectoryEdit.h"
#include "GridFixture.h"
#include "LookupCombo.h"
#include "QtUi.h"
#include "ScriptedUi.h"

#include <QApplication>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QToolButton>

using namespace lerk;
using namespace lerk::test;

class tst_Controls : public QObject
{
    Q_OBJECT
private slots:
    void navigatorHints();
    void navigatorButtons_data();
    void navigatorButtons();
    void statusLabel();
    void directoryEdit();
    void lookupCombo_data();
    void lookupCombo();
    void busyCursorNests();
    void minimiseMinimisesEverything();
};

void tst_Controls::navigatorHints()
{
    DBNavigator nav;
    QStringList hints;
    for (int i = 0; i < DBNavigator::ButtonCount; ++i)
        hints << nav.button(DBNavigator::Button(i))->toolTip();
    QCOMPARE(hints, (QStringList{"První záznam", "Předchozí záznam", "Následující záznam", "Poslední záznam",
                                 "Nový záznam", "Smazat záznam", "Editace záznamu", "Uložit změny",
                                 "Zrušit změny ", "Osvežit data"}));
    nav.setVisibleButtons({DBNavigator::First, DBNavigator::Last});
    QVERIFY(!nav.button(DBNavigator::Next)->isVisibleTo(&nav));
    QVERIFY(nav.button(DBNavigator::Last)->isVisibleTo(&nav));
}

void tst_Controls::navigatorButtons_data()
{
    QTest::addColumn<bool>("confirm");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<int>("afterDelete");
    QTest::newRow("deletes without asking") << false << false << 5;
    QTest::newRow("asks, yes") << true << true << 5;
    QTest::newRow("asks, no") << true << false << 6;
}

void tst_Controls::navigatorButtons()
{
    QFETCH(bool, confirm);
    QFETCH(bool, answer);
    QFETCH(int, afterDelete);
    GridFixture fx;
    auto table = fx.open(QStringLiteral("Zavady"), QStringLiteral("IN"));
    ScriptedUi ui;
    DBNavigator nav;
    nav.setUi(&ui);
    nav.setConfirmDelete(confirm);
    nav.setDataSet(table.get());
    QSignalSpy clicked(&nav, &DBNavigator::clicked);
    QVERIFY(!nav.button(DBNavigator::First)->isEnabled());
    QVERIFY(!nav.button(DBNavigator::Post)->isEnabled());

    nav.button(DBNavigator::Last)->click();
    QCOMPARE(table->currentRow(), 5);
    QVERIFY(!nav.button(DBNavigator::Next)->isEnabled());
    nav.button(DBNavigator::Prior)->click();
    QCOMPARE(table->currentRow(), 4);
    nav.button(DBNavigator::Edit)->click();
    QCOMPARE(table->state(), DataSetState::Edit);
    QVERIFY(nav.button(DBNavigator::Post)->isEnabled());
    nav.button(DBNavigator::Cancel)->click();
    QCOMPARE(table->state(), DataSetState::Browse);
    nav.button(DBNavigator::Insert)->click();
    QCOMPARE(table->state(), DataSetState::Insert);
    nav.button(DBNavigator::Cancel)->click();
    QCOMPARE(clicked.count(), 6);
    QCOMPARE(clicked.last().at(0).value<DBNavigator::Button>(), DBNavigator::Cancel);

    ui.answers.enqueue(answer);
    nav.button(DBNavigator::Delete)->click();
    QCOMPARE(table->recordCount(), afterDelete);
    QCOMPARE(ui.texts(QStringLiteral("question")), confirm ? QStringList{"Smazat záznam ?"} : QStringList());

    // A refused action reaches the person through the Ui.
    nav.button(DBNavigator::Edit)->click();
    table->fieldByName(QStringLiteral("IN")).setValue(101 + (table->currentRow() == 0 ? 1 : 0));
    nav.button(DBNavigator::Post)->click();
    QCOMPARE(ui.texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(table->state(), DataSetState::Edit);
}

void tst_Controls::statusLabel()
{
    GridFixture fx;
    auto table = fx.open(QStringLiteral("Zavady"), QStringLiteral("IN"));
    DBStatusLabel label;
    label.setDataSet(table.get());
    QCOMPARE(label.text(), QStringLiteral("1 / 6"));
    QCOMPARE(label.toolTip(), QStringLiteral("Aktuální věta / Počet vět (záznamů)"));
    table->next();
    QCOMPARE(label.text(), QStringLiteral("2 / 6"));
    table->insert();
    QCOMPARE(label.text(), QStringLiteral("* / 6"));
    table->cancel();
    table->setFilter(QStringLiteral("OKRUH='0201'"));
    table->setFiltered(true);
    QCOMPARE(label.text(), QStringLiteral("1 / 2"));
    table->close();
    QCOMPARE(label.text(), QString());
}

void tst_Controls::directoryEdit()
{
    QTemporaryDir dir;
    ScriptedUi ui;
    DirectoryEdit edit;
    edit.setUi(&ui);
    edit.setDialogTitle(QStringLiteral("Vyberte adresář pro export"));
    QSignalSpy changed(&edit, &DirectoryEdit::changed);

    ui.paths.enqueue(dir.path());
    edit.browseButton()->click();
    QCOMPARE(edit.text(), QDir::toNativeSeparators(dir.path()));
    QCOMPARE(ui.calls.value(0).kind, QStringLiteral("directory"));
    QCOMPARE(changed.count(), 1);
    edit.browseButton()->click(); // cancelled: nothing changes
    QCOMPARE(edit.text(), QDir::toNativeSeparators(dir.path()));

    // A dropped folder is taken; a dropped file is not.
    QDir(dir.path()).mkdir(QStringLiteral("prenos"));
    QFile file(dir.filePath(QStringLiteral("a.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    auto drop = [&](const QString &path) {
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropEvent(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&edit, &dropEvent);
        return true;
    };
    QVERIFY(!drop(file.fileName()));
    QVERIFY(drop(dir.filePath(QStringLiteral("prenos"))));
    QCOMPARE(edit.text(), QDir::toNativeSeparators(dir.filePath(QStringLiteral("prenos"))));
    QCOMPARE(changed.count(), 2);
}

void tst_Controls::lookupCombo_data()
{
    QTest::addColumn<bool>("freeText");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored"); // empty: refused, the value stays
    QTest::newRow("code of the list") << false << "02"
                                      << "02";
    QTest::newRow("code, other case") << false << "02 "
                                      << "02";
    QTest::newRow("not in list, refused") << false << "99"
                                          << "";
    QTest::newRow("not in list, free text") << true << "99"
                                            << "99";
}

void tst_Controls::lookupCombo()
{
    QFETCH(bool, freeText);
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    GridFixture fx;
    auto protokol = fx.open(QStringLiteral("Protokol"), QStringLiteral("CISLO"));
    auto os = fx.open(QStringLiteral("Os"), QStringLiteral("OS"));
    LookupCombo combo;
    combo.setLookup(LookupList{os.get(),
                               QStringLiteral("OS"),
                               {QStringLiteral("OS"), QStringLiteral("STREDISKO")},
                               {40, 120},
                               10,
                               0,
                               freeText});
    combo.setDataField(protokol.get(), QStringLiteral("OS"));
    QCOMPARE(combo.model()->rowCount(), 2);
    QCOMPARE(combo.model()->columnCount(), 2);
    QCOMPARE(combo.model()->index(1, 1).data().toString(), QStringLiteral("Brno"));
    QCOMPARE(combo.currentText(), QStringLiteral("01")); // protocol 12 of centre 01

    combo.lineEdit()->setText(typed);
    const bool ok = combo.commit();
    QCOMPARE(ok, !stored.isEmpty());
    QCOMPARE(protokol->fieldByName(QStringLiteral("OS")).asString(),
             stored.isEmpty() ? QStringLiteral("01") : stored);
    QCOMPARE(protokol->state(), stored.isEmpty() ? DataSetState::Browse : DataSetState::Edit);
    if (stored.isEmpty())
        QCOMPARE(combo.currentText(), QStringLiteral("01"));
}

void tst_Controls::busyCursorNests()
{
    QtUi ui;
    ui.setBusy(true);
    ui.setBusy(true);
    QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    ui.setBusy(false);
    QVERIFY(QApplication::overrideCursor());
    ui.setBusy(false);
    QVERIFY(!QApplication::overrideCursor());
    ui.setBusy(false); // one end too many does no harm
    QVERIFY(!QApplication::overrideCursor());
    {
        BusyScope scope(ui);
        QVERIFY(QApplication::overrideCursor());
    }
    QVERIFY(!QApplication::overrideCursor());
}

void tst_Controls::minimiseMinimisesEverything()
{
    QWidget main;
    QWidget dataWindow;
    main.show();
    dataWindow.show();
    new MinimizeWholeApplication(&dataWindow);
    dataWindow.showMinimized();
    QTRY_VERIFY(main.isMinimized());
}

QTEST_MAIN(tst_Controls)
#include "tst_controls.moc"
