// Exports of a prepared report: PDF, CSV with semicolons, HTML, text, xlsx and page pictures.
#include "ReportFixture.h"

#include <QImageReader>
#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestExport : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    QTemporaryDir m_out;
    std::unique_ptr<ReportDocument> m_doc;

    static QString readAll(const QString &path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll());
    }

private slots:
    void init()
    {
        setUpReports();
        pinToday(QDate(2024, 11, 14));
        QList<Defect> defects;
        for (int i = 1; i <= 70; ++i) {
            Defect d;
            d.cislo = QString::number(100 + i / 10);
            d.okruh = i <= 40 ? QStringLiteral("0101") : QStringLiteral("0102");
            d.poradi = i;
            d.km = i + 0.125;
            d.usek = QStringLiteral("úsek %1").arg(i);
            d.zavada =
                i == 3 ? QStringLiteral("Výtluk; hloubka <5 cm>") : QStringLiteral("Závada číslo %1").arg(i);
            d.odstraneno = i % 2 == 0;
            defects << d;
        }
        insertDefects(defects);
        insert(QStringLiteral("Podnik"), {QStringLiteral("Podnik")},
               {{QStringLiteral("Správa silnic Lhota")}});
        dm->PodnikTable.refresh();
        setTitles(QStringLiteral("S3 - Seznam závad"), QStringLiteral("Filtr: všechny"));
        filterDefects(QString());
        m_doc = catalogue->prepareReport(10);
        QVERIFY(m_doc);
    }

    void cleanup()
    {
        m_doc.reset();
        tearDownReports();
    }

    void pdfHoldsTheReport()
    {
        if (!havePdfToText())
            QSKIP("pdftotext is not installed");
        const QStringList files =
            ReportExport::write(*m_doc, ReportExport::Format::Pdf, m_out.filePath(QStringLiteral("seznam")));
        QCOMPARE(files, QStringList{m_out.filePath(QStringLiteral("seznam.pdf"))});
        const QString text = pdfText(files.first());
        QVERIFY(text.contains(QStringLiteral("S3 - Seznam závad")));
        QVERIFY(text.contains(QStringLiteral("Správa silnic Lhota")));
        QVERIFY(text.contains(QStringLiteral("Strana 1 / %1").arg(m_doc->pageCount())));
        QVERIFY(text.contains(QStringLiteral("Závada číslo 70")));
        QVERIFY(text.contains(QStringLiteral("Celkem závad: 70")));
    }

    void csvHasTheRowsOnce()
    {
        const QString path = m_out.filePath(QStringLiteral("seznam.csv"));
        ReportExport::write(*m_doc, ReportExport::Format::Csv, path);
        QVERIFY(m_doc->pageCount() >= 2);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
        const QStringList lines =
            QString::fromUtf8(bytes.mid(3)).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        // Column headings once although the list runs over several pages; no page headers or footers.
        QCOMPARE(lines.filter(QStringLiteral("Popis závady")).size(), 1);
        QVERIFY(lines.filter(QStringLiteral("Strana")).isEmpty());
        QVERIFY(lines.filter(QStringLiteral("Vytištěno")).isEmpty());
        const QStringList row5 = lines.filter(QStringLiteral("úsek 5;"));
        QCOMPARE(row5.size(), 1);
        QCOMPARE(row5.first(),
                 QStringLiteral("5;100;01;5.3.2024;II/101;5;5,125;úsek 5;001;Závada číslo 5;;Ne;"));
        QCOMPARE(lines.filter(QStringLiteral("\"Výtluk; hloubka <5 cm>\"")).size(), 1);
        QCOMPARE(lines.filter(QRegularExpression(QStringLiteral("^\\d+;1\\d\\d;01;"))).size(), 70);
    }

    void textKeepsThePages()
    {
        const QString path = m_out.filePath(QStringLiteral("seznam.txt"));
        ReportExport::write(*m_doc, ReportExport::Format::Text, path);
        const QString text = readAll(path);
        const QStringList pages = text.split(QLatin1Char('\f'));
        QCOMPARE(pages.size(), m_doc->pageCount());
        QVERIFY(pages.first().contains(QStringLiteral("S3 - Seznam závad")));
        QVERIFY(pages.last().contains(QStringLiteral("Strana %1 / %1").arg(m_doc->pageCount())));
        const QStringList row = text.split(QLatin1Char('\n')).filter(QStringLiteral("úsek 12 "));
        QCOMPARE(row.size(), 1);
        // Columns stay in their order on the line.
        QVERIFY(row.first().indexOf(QStringLiteral("12,125")) <
                row.first().indexOf(QStringLiteral("úsek 12")));
        QVERIFY(row.first().indexOf(QStringLiteral("úsek 12")) <
                row.first().indexOf(QStringLiteral("Závada číslo 12")));
    }

    void htmlShowsThePages()
    {
        const QString path = m_out.filePath(QStringLiteral("seznam.htm"));
        QCOMPARE(ReportExport::write(*m_doc, ReportExport::Format::Html, path), QStringList{path});
        const QString html = readAll(path);
        QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
        QCOMPARE(html.count(QStringLiteral("<div class=\"page\">")), m_doc->pageCount());
        QVERIFY(html.contains(QStringLiteral("Výtluk; hloubka &lt;5 cm&gt;")));
        QVERIFY(html.contains(QStringLiteral("&#9745;"))); // a ticked box
    }

    void xlsxHasTheRows()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("unzip")).isEmpty())
            QSKIP("unzip is not installed");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("seznam.xlsx"));
        ReportExport::write(*m_doc, ReportExport::Format::Xlsx, path);
        QProcess unzip;
        unzip.start(QStringLiteral("unzip"),
                    {QStringLiteral("-p"), path, QStringLiteral("xl/sharedStrings.xml"),
                     QStringLiteral("xl/worksheets/sheet1.xml")});
        QVERIFY(unzip.waitForFinished(30000));
        const QString xml = QString::fromUtf8(unzip.readAllStandardOutput());
        QVERIFY(xml.contains(QStringLiteral("Závada číslo 42")));
        QVERIFY(xml.contains(QStringLiteral("Popis závady")));
        QVERIFY(!xml.contains(QStringLiteral("Strana 1")));
        QVERIFY(xml.contains(QStringLiteral("<v>42.125</v>"))); // km as a number
        // No temporary file is left beside it.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("seznam.xlsx")});
    }

    void picturesOnePerPage_data()
    {
        QTest::addColumn<int>("format");
        QTest::newRow("png") << int(ReportExport::Format::Png);
        QTest::newRow("jpeg") << int(ReportExport::Format::Jpeg);
        QTest::newRow("tiff") << int(ReportExport::Format::Tiff);
        QTest::newRow("bmp") << int(ReportExport::Format::Bmp);
    }

    void picturesOnePerPage()
    {
        QFETCH(int, format);
        const auto f = ReportExport::Format(format);
        if (!ReportExport::isAvailable(f))
            QSKIP("this Qt cannot write the format");
        const QString suffix = ReportExport::suffix(f);
        const QStringList files = ReportExport::write(*m_doc, f, m_out.filePath(QStringLiteral("strana")));
        QCOMPARE(files.size(), m_doc->pageCount());
        QCOMPARE(files.first(), m_out.filePath(QStringLiteral("strana-1.%1").arg(suffix)));
        QImageReader reader(files.last());
        const QImage image = reader.read();
        QVERIFY2(!image.isNull(), qPrintable(reader.errorString()));
        // A4 landscape at 150 dots per inch.
        QCOMPARE(image.size(), QSize(1754, 1240));
        QVERIFY(image.pixelColor(100, 100) == QColor(Qt::white));
    }

    void unwritablePlaceLeavesNothing()
    {
        const QString path = m_out.filePath(QStringLiteral("chybí/seznam.pdf"));
        try {
            ReportExport::write(*m_doc, ReportExport::Format::Pdf, path);
            QFAIL("the export did not fail");
        } catch (const EngineError &e) {
            QCOMPARE(e.code(), ErrorCode::Io);
            QVERIFY(e.message().contains(QDir::toNativeSeparators(path)));
        }
        QVERIFY(!QFileInfo::exists(path));
    }
};

QTEST_MAIN(TestExport)
#include "tst_export.moc"
