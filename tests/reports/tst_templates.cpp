// The ten templates of the catalogue over generated data, prepared the way their callers prepare them:
// each lays out without a message, carries its headings and page numbers, and stays on its paper.
#include "ReportFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestTemplates : public QObject, public ReportFixture
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        setUpReports(true, 120);
        pinToday(QDate(2024, 11, 14));
        insert(QStringLiteral("Podnik"), {QStringLiteral("Podnik"), QStringLiteral("ICO")},
               {{QStringLiteral("KSÚS Středočeského kraje"), QStringLiteral("00066001")}});
        dm->PodnikTable.refresh();
    }

    void cleanupTestCase() { tearDownReports(); }

    void cleanup()
    {
        dm->SilniceTable.setMasterSource(nullptr, {});
        dm->TydenTable.setMasterSource(nullptr, {});
        ui.clear();
    }

    void eachTemplateRenders_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QStringList>("headings");
        QTest::newRow("1") << 1 << QStringList{"Číselník středisek", "Středisko", "Počet středisek: 12"};
        QTest::newRow("2") << 2 << QStringList{"Číselník okruhů", "Cestmistr", "Počet okruhů: 12"};
        QTest::newRow("3") << 3
                           << QStringList{"Číselník silnic - úseků", "Popis úseku - silnice", "Okruh 0101"};
        QTest::newRow("4") << 4
                           << QStringList{"Číselník druhů závad", "Popis druhu závady",
                                          "Počet druhů závad: 30"};
        QTest::newRow("5") << 5
                           << QStringList{"Harmonogram prohlídek okruhu 0101", "na rok 2024",
                                          "Úseky okruhu 0101"};
        QTest::newRow("6") << 6
                           << QStringList{"Úseky silnic okruhu 0101", "Cestmistr:", "Počet úseků okruhu"};
        QTest::newRow("7") << 7
                           << QStringList{"Seznam protokolů o prohlídkách", "Prohlídku provedl",
                                          "Celkem protokolů: 120"};
        QTest::newRow("8") << 8
                           << QStringList{"PROTOKOL O PROHLÍDCE SILNIC",
                                          "Prohlídku provedl:", "Převzal (cestmistr):"};
        QTest::newRow("9") << 9
                           << QStringList{"PROTOKOL O PROHLÍDCE SILNIC č.", "Poznámka",
                                          "Převzal (cestmistr):"};
        QTest::newRow("10") << 10
                            << QStringList{"T6 - Seznam neodstraněných závad na silnicích II. třídy:",
                                           "Popis závady", "Celkem závad:"};
    }

    void eachTemplateRenders()
    {
        QFETCH(int, number);
        QFETCH(QStringList, headings);
        prepareLikeCaller(number);
        std::unique_ptr<ReportDocument> doc = catalogue->prepareReport(number);
        QVERIFY2(doc, qPrintable(ui.texts().join(QLatin1Char('\n'))));
        doc->layoutAll();
        QCOMPARE(ui.calls.size(), 0);
        const int pages = doc->pageCount();
        QVERIFY(pages >= 1);

        QString all;
        const QSizeF paper = doc->pageSizeMm();
        for (int p = 0; p < pages; ++p) {
            const QStringList texts = pageTexts(*doc, p);
            QVERIFY2(texts.contains(QStringLiteral("Strana %1 / %2").arg(p + 1).arg(pages)),
                     qPrintable(texts.join('|')));
            all += texts.join(QLatin1Char('\n')) + QLatin1Char('\n');
            for (const ReportPages::Item &it : doc->pageItems(p)) {
                const QRectF r = it.rect.normalized();
                QVERIFY2(r.left() >= 0 && r.right() <= paper.width() - 5 && r.top() >= 5 &&
                             r.bottom() <= paper.height() - 5,
                         qPrintable(QStringLiteral("%1 at %2,%3 %4x%5")
                                        .arg(it.text)
                                        .arg(r.left())
                                        .arg(r.top())
                                        .arg(r.width())
                                        .arg(r.height())));
            }
        }
        for (const QString &h : headings)
            QVERIFY2(all.contains(h), qPrintable(h));
        QVERIFY(all.contains(QStringLiteral("14.11.2024")));

        if (havePdfToText()) {
            QTemporaryDir dir;
            const QString path = dir.filePath(QStringLiteral("sestava.pdf"));
            ReportExport::write(*doc, ReportExport::Format::Pdf, path);
            const QString text = pdfText(path);
            QVERIFY2(text.contains(headings.first()), qPrintable(text.left(400)));
        }
    }

    void protocolPrintShowsOnlyItsDefects()
    {
        prepareLikeCaller(8);
        Table &p = dm->ProtokolTable;
        const QString cislo = p.fieldByName(QStringLiteral("CISLO")).asString();
        const int expected = count(QStringLiteral("Zavady"),
                                   QStringLiteral("CISLO = ? AND OS = ? AND OKRUH = ? AND DATUM = ?"),
                                   {cislo, p.fieldByName(QStringLiteral("OS")).asString(),
                                    p.fieldByName(QStringLiteral("OKRUH")).asString(),
                                    p.fieldByName(QStringLiteral("DATUM")).asDate().toString(Qt::ISODate)});
        QVERIFY(expected > 0);
        std::unique_ptr<ReportDocument> doc = catalogue->prepareReport(8);
        QVERIFY(doc);
        doc->layoutAll();
        QString all;
        for (int pg = 0; pg < doc->pageCount(); ++pg)
            all += pageTexts(*doc, pg).join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("č. %1").arg(cislo)));
        QVERIFY2(all.contains(QStringLiteral("Počet závad: %1,").arg(expected)), qPrintable(all.right(600)));
    }
};

QTEST_MAIN(TestTemplates)
#include "tst_templates.moc"
