// Laying reports out: page breaks with repeated headings, group breaks, stretching rows, details under
// their master row, the page count, and laying out again on other paper.
#include "ReportFixture.h"

#include <QtTest>

using namespace lerk;
using namespace lerk::test;

namespace {

// A4 portrait, 10 mm margins, every band 10 mm: 25 bands fit between header and footer.
const char *const GroupedList = R"(<report>
  <page size="A4" left="10" top="10" right="10" bottom="10"/>
  <pageHeader height="10"><text x="0" y="0" w="100" h="10">HLAVA [PAGE]</text></pageHeader>
  <pageFooter height="10"><text x="0" y="0" w="150" h="10">PATA [PAGE] / [PAGES]: [COUNT()] na stránce</text></pageFooter>
  <data dataset="ZavadyQ">
    <header height="10" repeat="true"><text x="0" y="0" w="100" h="10">SLOUPCE</text></header>
    <group condition="ZavadyQ.OKRUH" repeatHeader="true">
      <groupHeader height="10"><text x="0" y="0" w="100" h="10">OKRUH [ZavadyQ.OKRUH]</text></groupHeader>
      <groupFooter height="10"><text x="0" y="0" w="100" h="10">SOUČET [ZavadyQ.OKRUH]: [COUNT()]</text></groupFooter>
    </group>
    <masterData height="10"><field x="0" y="0" w="50" h="10" expr="ZavadyQ.USEK"/></masterData>
    <footer height="10"><text x="0" y="0" w="100" h="10">CELKEM [COUNT()]</text></footer>
    <empty height="10"><text x="0" y="0" w="100" h="10">ŽÁDNÉ ZÁVADY</text></empty>
  </data>
</report>)";

struct PageItem
{
    QString text;
    QRectF rect;
    bool repeated = false;
    ItemStyle::Origin origin = ItemStyle::Origin::Data;
};

QList<PageItem> itemsOf(ReportDocument &doc, int page)
{
    QList<PageItem> out;
    for (const ReportPages::Item &it : doc.pageItems(page))
        out.append(PageItem{it.text, it.rect, it.repeated, it.style->origin});
    std::stable_sort(out.begin(), out.end(),
                     [](const PageItem &a, const PageItem &b) { return a.rect.top() < b.rect.top(); });
    return out;
}

} // namespace

class TestLayout : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    // Defects in the query's order: district by district, section by section.
    void insertDistricts(const QList<QPair<QString, int>> &districts)
    {
        QList<Defect> defects;
        for (const auto &[okruh, count] : districts)
            for (int i = 1; i <= count; ++i) {
                Defect d;
                d.okruh = okruh;
                d.poradi = i;
                d.usek = QStringLiteral("%1-%2").arg(okruh).arg(i, 2, 10, QLatin1Char('0'));
                defects << d;
            }
        insertDefects(defects);
    }

private slots:
    void init() { setUpReports(); }
    void cleanup() { tearDownReports(); }

    void pageBreaksRepeatHeadingsAndGroups()
    {
        const QList<QPair<QString, int>> districts = {
            {QStringLiteral("0101"), 17}, {QStringLiteral("0102"), 1}, {QStringLiteral("0103"), 40}};
        insertDistricts(districts);
        std::unique_ptr<ReportDocument> doc = documentFrom(QString::fromUtf8(GroupedList));
        doc->layoutAll();
        QVERIFY(doc->isComplete());
        const int pages = doc->pageCount();
        QVERIFY(pages >= 3);

        QStringList rows;
        QStringList footers;
        for (int p = 0; p < pages; ++p) {
            const QList<PageItem> items = itemsOf(*doc, p);
            QVERIFY(items.size() >= 3);
            QCOMPARE(items.first().text, QStringLiteral("HLAVA %1").arg(p + 1));
            // The column headings open every page, marked as repeated after the first.
            QCOMPARE(items.at(1).text, QStringLiteral("SLOUPCE"));
            QCOMPARE(items.at(1).repeated, p > 0);
            int rowsOnPage = 0;
            QString lastBody;
            for (const PageItem &it : items) {
                if (it.origin == ItemStyle::Origin::Page)
                    continue;
                // Nothing but the page footer below the body: 297 - 10 margin - 10 footer.
                QVERIFY2(it.rect.bottom() <= 277.01, qPrintable(it.text));
                lastBody = it.text;
                if (it.origin == ItemStyle::Origin::Data) {
                    rows << it.text;
                    ++rowsOnPage;
                }
                if (it.text.startsWith(QStringLiteral("SOUČET")))
                    footers << it.text;
            }
            // A group heading never stays alone at the bottom of a page.
            QVERIFY2(!lastBody.startsWith(QLatin1String("OKRUH")) || p == pages - 1, qPrintable(lastBody));
            // The page footer counts the rows of its own page.
            QCOMPARE(items.last().text,
                     QStringLiteral("PATA %1 / %2: %3 na stránce").arg(p + 1).arg(pages).arg(rowsOnPage));
            // A group that goes on from the previous page repeats its heading under the column headings.
            if (p > 0 && items.at(2).origin == ItemStyle::Origin::Header) {
                QVERIFY(items.at(2).text.startsWith(QLatin1String("OKRUH")));
            }
            if (p > 0 && items.at(2).origin == ItemStyle::Origin::Data) {
                QFAIL("a continuation page starts with a row without its group heading");
            }
        }

        QStringList expected;
        for (const auto &[okruh, count] : districts)
            for (int i = 1; i <= count; ++i)
                expected << QStringLiteral("%1-%2").arg(okruh).arg(i, 2, 10, QLatin1Char('0'));
        QCOMPARE(rows, expected);
        QCOMPARE(footers, (QStringList{QStringLiteral("SOUČET 0101: 17"), QStringLiteral("SOUČET 0102: 1"),
                                       QStringLiteral("SOUČET 0103: 40")}));
        const QStringList last = pageTexts(*doc, pages - 1);
        QVERIFY(last.contains(QStringLiteral("CELKEM 58")));

        // The second page goes on with district 0101 and repeats its heading.
        const QList<PageItem> second = itemsOf(*doc, 1);
        QCOMPARE(second.at(2).text, QStringLiteral("OKRUH 0103"));
        QVERIFY(second.at(2).repeated || second.at(3).text == QLatin1String("0103-01"));
    }

    void groupStartsANewPageWhenAsked()
    {
        insertDistricts(
            {{QStringLiteral("0101"), 3}, {QStringLiteral("0102"), 2}, {QStringLiteral("0103"), 1}});
        QString xml = QString::fromUtf8(GroupedList);
        xml.replace(QStringLiteral("repeatHeader=\"true\""), QStringLiteral("newPage=\"true\""));
        std::unique_ptr<ReportDocument> doc = documentFrom(xml);
        doc->layoutAll();
        QCOMPARE(doc->pageCount(), 3);
        for (int p = 0; p < 3; ++p)
            QCOMPARE(pageTexts(*doc, p).at(2), QStringLiteral("OKRUH 010%1").arg(p + 1));
    }

    void emptyListPrintsItsEmptyBand()
    {
        std::unique_ptr<ReportDocument> doc = documentFrom(QString::fromUtf8(GroupedList));
        doc->layoutAll();
        QCOMPARE(doc->pageCount(), 1);
        QCOMPARE(pageTexts(*doc, 0), (QStringList{QStringLiteral("HLAVA 1"), QStringLiteral("SLOUPCE"),
                                                  QStringLiteral("ŽÁDNÉ ZÁVADY"), QStringLiteral("CELKEM 0"),
                                                  QStringLiteral("PATA 1 / 1: 0 na stránce")}));
    }

    void stretchedRowsGrowAndKeepTheGrid()
    {
        Defect a;
        a.poradi = 1;
        a.zavada = QStringLiteral("Rozsáhlé síťové trhliny v obou jízdních pruzích s odlomenými okraji");
        Defect b;
        b.poradi = 2;
        b.zavada = QStringLiteral("Výtluk");
        insertDefects({a, b});
        std::unique_ptr<ReportDocument> doc = documentFrom(QStringLiteral(R"(<report>
          <data dataset="ZavadyQ">
            <masterData height="5">
              <field x="0" y="0" w="20" h="5" frame="all" stretch="band" expr="ZavadyQ.PORADI"/>
              <field x="20" y="0" w="30" h="5" frame="all" stretch="grow" expr="ZavadyQ.ZAVADA"/>
              <line x="50" y="0" w="0" h="5" stretch="band"/>
            </masterData>
          </data>
        </report>)"));
        doc->layoutAll();
        const QList<ReportPages::Item> items = doc->pageItems(0);
        QCOMPARE(items.size(), 6);
        const QRectF number1 = items[0].rect, text1 = items[1].rect, line1 = items[2].rect;
        const QRectF number2 = items[3].rect, text2 = items[4].rect;
        QVERIFY2(text1.height() > 10, qPrintable(QString::number(text1.height())));
        QCOMPARE(number1.bottom(), text1.bottom());
        QCOMPARE(line1.height(), text1.height());
        QCOMPARE(number2.top(), text1.bottom());
        QCOMPARE(text2.height(), 5.0);
    }

    void detailRowsFollowTheirMasterByKey()
    {
        insert(QStringLiteral("Okruh"), {QStringLiteral("OS"), QStringLiteral("OKRUH")},
               {{QStringLiteral("01"), QStringLiteral("0101")}});
        insert(
            QStringLiteral("Tyden"), {QStringLiteral("Okruh"), QStringLiteral("Tyden")},
            {{QStringLiteral("0101"), 2.0}, {QStringLiteral("0101"), 6.0}, {QStringLiteral("0101"), 10.0}});
        // Protocols of weeks 2 (two of them) and 10, one of another district in week 6.
        insertProtocol(QStringLiteral("1"), QStringLiteral("01"), QDate(2024, 1, 8), QStringLiteral("0101"));
        insertProtocol(QStringLiteral("2"), QStringLiteral("01"), QDate(2024, 1, 9), QStringLiteral("0101"));
        insertProtocol(QStringLiteral("3"), QStringLiteral("01"), QDate(2024, 3, 5), QStringLiteral("0101"));
        insertProtocol(QStringLiteral("4"), QStringLiteral("01"), QDate(2024, 2, 5), QStringLiteral("0999"));
        dm->OkruhTable.refresh();
        dm->OkruhTable.first();
        dm->TydenTable.open();
        dm->ProtokolTable.refresh();
        auto doc = std::make_unique<ReportDocument>(
            ReportTemplate::parse(QByteArrayLiteral(R"(<report>
              <data dataset="Tyden">
                <masterData height="5"><text x="0" y="0" w="30" h="5">TÝDEN [Tyden.Tyden]</text></masterData>
                <detail dataset="Protokol" key="Protokol.Tyden" masterKey="Tyden.Tyden" filter="Protokol.OKRUH = Okruh.OKRUH">
                  <detailData height="5"><text x="10" y="0" w="30" h="5">[LINE]. protokol [Protokol.CISLO]</text></detailData>
                  <footer height="5"><text x="10" y="0" w="30" h="5">v týdnu [COUNT()]</text></footer>
                  <empty height="5"><text x="10" y="0" w="30" h="5">bez prohlídky</text></empty>
                </detail>
                <footer height="5"><text x="0" y="0" w="80" h="5">[COUNT()] týdnů, [COUNT(Protokol)] protokolů</text></footer>
              </data>
            </report>)"),
                                  QStringLiteral("harmonogram.frf")),
            catalogue->reportSources(QStringLiteral("Protokol"), &dm->ProtokolTable));
        doc->layoutAll();
        QCOMPARE(pageTexts(*doc, 0),
                 (QStringList{QStringLiteral("TÝDEN 2"), QStringLiteral("1. protokol 1"),
                              QStringLiteral("2. protokol 2"), QStringLiteral("v týdnu 2"),
                              QStringLiteral("TÝDEN 6"), QStringLiteral("bez prohlídky"),
                              QStringLiteral("TÝDEN 10"), QStringLiteral("1. protokol 3"),
                              QStringLiteral("v týdnu 1"), QStringLiteral("3 týdnů, 3 protokolů")}));
    }

    void firstPageBeforeTheRest()
    {
        insertDistricts({{QStringLiteral("0101"), 120}});
        std::unique_ptr<ReportDocument> doc = documentFrom(QString::fromUtf8(GroupedList));
        doc->layoutPages(1);
        QCOMPARE(doc->pageCount(), 1);
        QVERIFY(!doc->isComplete());
        // The number of pages is not known yet.
        QVERIFY(pageTexts(*doc, 0).last().startsWith(QStringLiteral("PATA 1 / …")));
        doc->layoutAll();
        QVERIFY(doc->isComplete());
        const int pages = doc->pageCount();
        QVERIFY(pages >= 5);
        QVERIFY(pageTexts(*doc, 0).last().startsWith(QStringLiteral("PATA 1 / %1:").arg(pages)));
    }

    void otherPaperLaysOutAgain()
    {
        insertDistricts({{QStringLiteral("0101"), 60}});
        std::unique_ptr<ReportDocument> doc = documentFrom(QString::fromUtf8(GroupedList));
        doc->layoutAll();
        const int portrait = doc->pageCount();
        PageSetup landscape = doc->pageSetup();
        landscape.orientation = QPageLayout::Landscape;
        doc->setPageSetup(landscape);
        doc->layoutAll();
        QVERIFY2(doc->pageCount() > portrait,
                 qPrintable(QStringLiteral("%1 %2").arg(portrait).arg(doc->pageCount())));
        QCOMPARE(doc->pageSizeMm().toSize(), QSize(297, 210));
        for (int p = 0; p < doc->pageCount(); ++p)
            for (const ReportPages::Item &it : doc->pageItems(p))
                QVERIFY(it.rect.bottom() <= 200.01);
        QVERIFY(pageTexts(*doc, doc->pageCount() - 1).contains(QStringLiteral("CELKEM 60")));
    }

    void displayListStaysSmall()
    {
        insertDistricts({{QStringLiteral("0101"), 500}});
        std::unique_ptr<ReportDocument> doc = documentFrom(QString::fromUtf8(GroupedList));
        doc->layoutAll();
        qsizetype items = 0;
        for (int p = 0; p < doc->pageCount(); ++p)
            items += doc->pageItems(p).size();
        // Sixteen bytes an item and two a character of text, with a little room for the page records.
        QVERIFY2(doc->layoutBytes() < items * 16 + items * 2 * 30 + doc->pageCount() * 128,
                 qPrintable(QString::number(doc->layoutBytes())));
    }
};

QTEST_MAIN(TestLayout)
#include "tst_layout.moc"
