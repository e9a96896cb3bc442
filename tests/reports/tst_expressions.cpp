// Expressions of the templates and their display formats, and the mistakes a template can contain.
#include "ReportFixture.h"
#include "ValueFormat.h"

#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestExpressions : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    // A report with the text in the given band around a list of the defects.
    static QString templateWith(const QString &band, const QString &text)
    {
        const QString object =
            QStringLiteral("<text x=\"0\" y=\"0\" w=\"150\" h=\"5\">%1</text>").arg(text.toHtmlEscaped());
        const QString data = QStringLiteral("<data dataset=\"ZavadyQ\"><masterData height=\"5\">"
                                            "<field x=\"0\" y=\"0\" w=\"20\" h=\"5\" expr=\"ZavadyQ.CISLO\"/>"
                                            "</masterData>%1</data>")
                                 .arg(band == QLatin1String("footer")
                                          ? QStringLiteral("<footer height=\"5\">%1</footer>").arg(object)
                                          : QString());
        QString before, after;
        if (band == QLatin1String("reportTitle"))
            before = QStringLiteral("<reportTitle height=\"5\">%1</reportTitle>").arg(object);
        else if (band == QLatin1String("summary"))
            after = QStringLiteral("<summary height=\"5\">%1</summary>").arg(object);
        else if (band == QLatin1String("pageFooter"))
            before = QStringLiteral("<pageFooter height=\"5\">%1</pageFooter>").arg(object);
        return QStringLiteral("<report>%1%2%3</report>").arg(before, data, after);
    }

    // The text the object printed: the last item of the band that holds it.
    QString render(const QString &band, const QString &text)
    {
        std::unique_ptr<ReportDocument> doc = documentFrom(templateWith(band, text));
        doc->layoutAll();
        const QList<ReportPages::Item> items = doc->pageItems(doc->pageCount() - 1);
        for (const ReportPages::Item &it : items)
            if (it.style->origin != ItemStyle::Origin::Data)
                return it.text;
        return QStringLiteral("<nic>");
    }

private slots:
    // The tests only read: one set of rows serves them all.
    void initTestCase()
    {
        setUpReports();
        pinToday(QDate(2024, 11, 14));
        // The query orders by district, section, km and date: the rows below come in this order.
        insertDefects({
            {QStringLiteral("12"), QStringLiteral("01"), QDate(2024, 3, 5), QStringLiteral("0101"),
             QStringLiteral("II/101"), 1, 12.5, QStringLiteral("za obcí Lhota"), QStringLiteral("Výtluk"),
             true, QDate(2024, 3, 20), QStringLiteral("001")},
            {QStringLiteral("12"), QStringLiteral("01"), QDate(2024, 3, 5), QStringLiteral("0101"),
             QStringLiteral("II/101"), 2, 3.25, QStringLiteral("most"), QStringLiteral("Trhlina"), false,
             QVariant(), QStringLiteral("002")},
            {QStringLiteral("7"), QStringLiteral("02"), QDate(2023, 12, 31), QStringLiteral("0202"),
             QStringLiteral("III/2021"), 4, 1234567.891, QString(), QStringLiteral("Propad"), QVariant(),
             QVariant(), QStringLiteral("005")},
        });
        insert(QStringLiteral("Okruh"),
               {QStringLiteral("OS"), QStringLiteral("OKRUH"), QStringLiteral("CESTMISTR")},
               {{QStringLiteral("01"), QStringLiteral("0101"), QStringLiteral("Novák Jan")}});
        insert(QStringLiteral("Silnice"),
               {QStringLiteral("OKRUH"), QStringLiteral("PORADI"), QStringLiteral("TRIDA")},
               {{QStringLiteral("0101"), 1, QStringLiteral("2")},
                {QStringLiteral("0101"), 2, QStringLiteral("2")}});
        dm->OkruhTable.refresh();
        dm->OkruhTable.first();
        dm->SilniceTable.refresh();
        setTitles(QStringLiteral("S1 - Seznam odstraněných závad"), QStringLiteral("Filtr: Okruh = 0101"));
    }

    void cleanupTestCase() { tearDownReports(); }

    void values_data()
    {
        QTest::addColumn<QString>("band");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString nb(QChar(0x00a0));
        // Fields: the title sees the first row of the list, the summary the last.
        QTest::newRow("field, first row") << "reportTitle"
                                          << "Protokol [ZavadyQ.CISLO]/[ZavadyQ.OS]"
                                          << "Protokol 12/01";
        QTest::newRow("field, last row") << "summary"
                                         << "[ZavadyQ.CISLO]"
                                         << "7";
        QTest::newRow("field name without case") << "reportTitle"
                                                 << "[zavadyq.okruh]"
                                                 << "0101";
        QTest::newRow("quoted field name") << "reportTitle"
                                           << "[ZavadyQ.\"OKRUH\"]"
                                           << "0101";
        QTest::newRow("calculated field") << "reportTitle"
                                          << "[ZavadyQ.Dnu] dnů"
                                          << "15 dnů";
        QTest::newRow("titles") << "reportTitle"
                                << "[PARAM.Tisk] / [PARAM.Nazev]"
                                << "S1 - Seznam odstraněných závad / Filtr: Okruh = 0101";
        QTest::newRow("current record only") << "summary"
                                             << "[Okruh.OKRUH] [Okruh.CESTMISTR]"
                                             << "0101 Novák Jan";
        // Display formats.
        QTest::newRow("date, short format") << "reportTitle"
                                            << "[ZavadyQ.DATUM]"
                                            << "5.3.2024";
        QTest::newRow("date, pattern") << "reportTitle"
                                       << "[ZavadyQ.DATUM|dd.MM.yyyy]"
                                       << "05.03.2024";
        QTest::newRow("empty date") << "summary"
                                    << "<[ZavadyQ.DATUMO]>"
                                    << "<>";
        QTest::newRow("number, decimals") << "reportTitle"
                                          << "[ZavadyQ.KM|0.000] km"
                                          << "12,500 km";
        QTest::newRow("number, plain") << "reportTitle"
                                       << "[ZavadyQ.KM]"
                                       << "12,5";
        QTest::newRow("number, grouped")
            << "summary"
            << "[ZavadyQ.KM|#,##0.00]"
            << QStringLiteral("1") + nb + QStringLiteral("234") + nb + QStringLiteral("567,89");
        QTest::newRow("number, padded") << "summary"
                                        << "[ZavadyQ.PORADI|000]"
                                        << "004";
        QTest::newRow("integer") << "reportTitle"
                                 << "[ZavadyQ.PORADI]"
                                 << "1";
        QTest::newRow("logical") << "reportTitle"
                                 << "[ZavadyQ.ODSTRANENO]"
                                 << "Ano";
        QTest::newRow("logical, own words") << "reportTitle"
                                            << "[ZavadyQ.ODSTRANENO|odstraněno;zbývá]"
                                            << "odstraněno";
        QTest::newRow("empty logical") << "summary"
                                       << "<[ZavadyQ.ODSTRANENO]>"
                                       << "<>";
        QTest::newRow("today") << "reportTitle"
                               << "[DATE]"
                               << "14.11.2024";
        QTest::newRow("time") << "reportTitle"
                              << "[TIME|H:mm]"
                              << "10:00";
        QTest::newRow("page of pages") << "pageFooter"
                                       << "Strana [PAGE] / [PAGES]"
                                       << "Strana 1 / 1";
        // Counts and sums.
        QTest::newRow("count in the list footer") << "footer"
                                                  << "[COUNT()] závad"
                                                  << "3 závad";
        QTest::newRow("count in the summary") << "summary"
                                              << "[COUNT()]"
                                              << "3";
        QTest::newRow("sum") << "summary"
                             << "[SUM(ZavadyQ.PORADI)]"
                             << "7";
        QTest::newRow("sum with format") << "footer"
                                         << "[SUM(ZavadyQ.KM)|0.00]"
                                         << "1234583,64";
        QTest::newRow("count of a dataset not listed") << "reportTitle"
                                                       << "[COUNT(Silnice)] úseků"
                                                       << "2 úseků";
        QTest::newRow("conditional sum") << "summary"
                                         << "[SUM(IF(ZavadyQ.ODSTRANENO, 1, 0))] odstraněno"
                                         << "1 odstraněno";
        QTest::newRow("min and max") << "summary"
                                     << "[MIN(ZavadyQ.DATUM)] - [MAX(ZavadyQ.DATUM)]"
                                     << "31.12.2023 - 5.3.2024";
        // Operators and functions.
        QTest::newRow("arithmetic") << "reportTitle"
                                    << "[ZavadyQ.PORADI * 2 + 1]"
                                    << "3";
        QTest::newRow("division") << "reportTitle"
                                  << "[7 / 2]"
                                  << "3,5";
        QTest::newRow("date plus days") << "reportTitle"
                                        << "[ZavadyQ.DATUM + 7]"
                                        << "12.3.2024";
        QTest::newRow("date from parts") << "reportTitle"
                                         << "[DATE(YEAR(DATE), 1, 1)]"
                                         << "1.1.2024";
        QTest::newRow("if") << "reportTitle"
                            << "[IF(ZavadyQ.KM > 10, 'daleko', 'blízko')]"
                            << "daleko";
        QTest::newRow("comparison with an empty text") << "reportTitle"
                                                       << "[IF(ZavadyQ.USEK = '', 'prázdné', 'plné')]"
                                                       << "plné";
        QTest::newRow("empty text field") << "summary"
                                          << "[IF(ZavadyQ.USEK <> '', 'plné', 'prázdné')]"
                                          << "prázdné";
        QTest::newRow("and, or, not") << "reportTitle"
                                      << "[IF(NOT ZavadyQ.ODSTRANENO OR ZavadyQ.PORADI = 1 AND TRUE, 1, 0)]"
                                      << "1";
        QTest::newRow("string concatenation") << "reportTitle"
                                              << "[ZavadyQ.OKRUH + '/' + ZavadyQ.PORADI]"
                                              << "0101/1";
        QTest::newRow("literal bracket") << "reportTitle"
                                         << "[[poznámka] [ZavadyQ.CISLO]"
                                         << "[poznámka] 12";
        QTest::newRow("bracket inside a quoted text") << "reportTitle"
                                                      << "[IF(TRUE, 'a]b', '')]"
                                                      << "a]b";
    }

    void values()
    {
        QFETCH(QString, band);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(render(band, text), expected);
    }

    void workstationDateFormat()
    {
        Formats f;
        f.shortDate = QStringLiteral("dd.MM.yyyy");
        const Formats saved = session->formats();
        session->aliases().setFormats(f);
        const QString text = render(QStringLiteral("reportTitle"), QStringLiteral("[ZavadyQ.DATUM] [DATE]"));
        session->aliases().setFormats(saved);
        QCOMPARE(text, QStringLiteral("05.03.2024 14.11.2024"));
    }

    void formatsWithoutData_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("expected");
        const QString nb(QChar(0x00a0));
        QTest::newRow("negative decimals") << QVariant(-0.5) << "0.00"
                                           << "-0,50";
        QTest::newRow("negative zero") << QVariant(-0.001) << "0.00"
                                       << "0,00";
        QTest::newRow("rounding") << QVariant(2.675) << "0.0"
                                  << "2,7";
        QTest::newRow("hashes") << QVariant(0.5) << "#.00"
                                << ",50";
        QTest::newRow("grouped integer")
            << QVariant(qlonglong(1200)) << "#,##0" << QStringLiteral("1") + nb + QStringLiteral("200");
        QTest::newRow("text stays") << QVariant(QStringLiteral("0105")) << "0.00"
                                    << "0105";
        QTest::newRow("null") << QVariant() << "0.00"
                              << "";
        QTest::newRow("long number") << QVariant(1e20) << ""
                                     << "1e+20";
    }

    void formatsWithoutData()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, format);
        QFETCH(QString, expected);
        QCOMPARE(formatValue(value, format, Formats()), expected);
    }

    void mistakes_data()
    {
        QTest::addColumn<QString>("xml");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("message");
        const QString head = QStringLiteral("<report>\n<summary height=\"5\">\n");
        const QString tail = QStringLiteral("\n</summary>\n</report>");
        auto text = [&](const QString &t) {
            return head + QStringLiteral("<text x=\"0\" y=\"0\" w=\"10\" h=\"5\">%1</text>").arg(t) + tail;
        };
        QTest::newRow("unknown function") << text("[FOO(1)]") << 3 << "neznámá funkce FOO";
        QTest::newRow("syntax") << text("[ZavadyQ.CISLO +]") << 3 << "výraz nečekaně končí";
        QTest::newRow("unclosed bracket") << text("Strana [PAGE") << 3 << "chybí \"]\"";
        QTest::newRow("unclosed string")
            << head + QStringLiteral("<text x=\"0\" y=\"0\" w=\"1\" h=\"1\" visible=\"PARAM.Tisk = 'a\"/>") +
                   tail
            << 3 << "neukončený řetězec";
        QTest::newRow("bare name") << text("[CISLO]") << 3 << "neznámé jméno \"CISLO\"";
        QTest::newRow("pages inside an expression")
            << text("[PAGES - 1]") << 3 << "[PAGES] smí stát jen samostatně";
        QTest::newRow("unknown field")
            << text("[PARAM.Titulek]") << 3 << "datová sada PARAM nemá pole \"Titulek\"";
        QTest::newRow("unknown element")
            << head + QStringLiteral("<image x=\"0\" y=\"0\"/>") + tail << 3 << "neznámý prvek <image>";
        QTest::newRow("unknown attribute")
            << head + QStringLiteral("<text x=\"0\" y=\"0\" w=\"1\" h=\"1\" colour=\"red\"/>") + tail << 3
            << "nezná atribut \"colour\"";
        QTest::newRow("not a number")
            << head + QStringLiteral("<text x=\"1,5\" y=\"0\" w=\"1\" h=\"1\"/>") + tail << 3
            << "atribut \"x\" má být číslo";
        QTest::newRow("unknown style")
            << head + QStringLiteral("<text x=\"0\" y=\"0\" w=\"1\" h=\"1\" style=\"th\"/>") + tail << 3
            << "neznámý styl \"th\"";
        QTest::newRow("unknown paper") << QStringLiteral("<report>\n<page size=\"Letter\"/>\n</report>") << 2
                                       << "neznámý formát papíru \"Letter\"";
        QTest::newRow("detail reading the master in its filter")
            << QStringLiteral("<report>\n<data dataset=\"ZavadyQ\">\n<masterData height=\"5\"/>\n"
                              "<detail dataset=\"Silnice\" filter=\"Silnice.OKRUH = ZavadyQ.OKRUH\">\n"
                              "<detailData height=\"5\"/>\n</detail>\n</data>\n</report>")
            << 4 << "filtr podrobností smí číst jen datovou sadu Silnice";
        QTest::newRow("wrong root") << QStringLiteral("<?xml version=\"1.0\"?>\n<sestava/>") << 2
                                    << "kořenový prvek musí být <report>";
    }

    void mistakes()
    {
        QFETCH(QString, xml);
        QFETCH(int, line);
        QFETCH(QString, message);
        try {
            documentFrom(xml);
            QFAIL("the template was accepted");
        } catch (const TemplateError &e) {
            QCOMPARE(e.line(), line);
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
            QVERIFY(e.text().startsWith(
                QStringLiteral("Chyba v šabloně sestavy test.frf na řádku %1: ").arg(line)));
        }
    }
};

QTEST_MAIN(TestExpressions)
#include "tst_expressions.moc"
