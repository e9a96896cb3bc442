// RunReport: which template each number loads (from beside the program, whatever the working directory),
// the numbers outside the catalogue, missing and faulty templates, and what a run leaves behind.
#include "ReportFixture.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestRunReport : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    QString m_savedCwd;

    static void writeFile(const QString &path, const QByteArray &content)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

private slots:
    void init()
    {
        m_savedCwd = QDir::currentPath();
        setUpReports(true, 12);
    }

    void cleanup()
    {
        QDir::setCurrent(m_savedCwd);
        tearDownReports();
    }

    void eachNumberLoadsItsTemplateBesideTheProgram_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("dataSet");
        QTest::newRow("1 centres") << 1 << "frf/OS.frf"
                                   << "OSTable";
        QTest::newRow("2 districts") << 2 << "frf/OKRUH.frf"
                                     << "OkruhTable";
        QTest::newRow("3 sections") << 3 << "frf/Silnice.frf"
                                    << "SilniceTable";
        QTest::newRow("4 defect types") << 4 << "frf/CZavad.frf"
                                        << "CDruhTable";
        QTest::newRow("5 schedule") << 5 << "frf/HARMONOGRAM.frf"
                                    << "ProtokolTable";
        QTest::newRow("6 district sections") << 6 << "frf/SilniceU.frf"
                                             << "SilniceTable";
        QTest::newRow("7 protocol list") << 7 << "frf/Protokol-P.frf"
                                         << "ProtokolTable";
        QTest::newRow("8 protocol portrait") << 8 << "frf/Protokol-A4Q.frf"
                                             << "ZavadyQuery";
        QTest::newRow("9 protocol landscape") << 9 << "frf/Protokol-A3Q.frf"
                                              << "ZavadyQuery";
        QTest::newRow("10 defect list") << 10 << "frf/Zavada-1Q.frf"
                                        << "ZavadyQuery";
    }

    void eachNumberLoadsItsTemplateBesideTheProgram()
    {
        QFETCH(int, number);
        QFETCH(QString, file);
        QFETCH(QString, dataSet);
        // A working directory with a decoy template of the same name must not be read.
        QTemporaryDir elsewhere;
        writeFile(elsewhere.filePath(file), "<report><nonsense/></report>");
        QVERIFY(QDir::setCurrent(elsewhere.path()));
        prepareLikeCaller(number);

        catalogue->RunReport(number);

        QCOMPARE(ui.calls.size(), 0);
        QCOMPARE(previewer.templates,
                 QStringList{QDir(QCoreApplication::applicationDirPath()).filePath(file)});
        QVERIFY(previewer.pageCounts.value(0) >= 1);
        QVERIFY(catalogue->frDBDataSet1());
        QCOMPARE(catalogue->frDBDataSet1()->objectName(), dataSet);
    }

    void numbersOutsideTheCatalogue_data()
    {
        QTest::addColumn<int>("number");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("0") << 0 << QStringList{QStringLiteral(" Žádný tisk ")};
        QTest::newRow("11") << 11 << QStringList{QStringLiteral(" Žádný tisk ")};
        QTest::newRow("-1") << -1 << QStringList{QStringLiteral(" Žádný tisk ")};
        QTest::newRow("254") << 254 << QStringList{QStringLiteral(" Žádný tisk ")};
        QTest::newRow("255 does nothing") << 255 << QStringList();
    }

    void numbersOutsideTheCatalogue()
    {
        QFETCH(int, number);
        QFETCH(QStringList, messages);
        catalogue->RunReport(number);
        QCOMPARE(ui.texts(QStringLiteral("information")), messages);
        QCOMPARE(ui.calls.size(), messages.size());
        QVERIFY(previewer.templates.isEmpty());
    }

    void missingTemplateIsNamed()
    {
        QTemporaryDir program;
        catalogue->setProgramDir(program.path());
        catalogue->RunReport(10);
        const QStringList errors = ui.texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains(
                     QDir::toNativeSeparators(program.filePath(QStringLiteral("frf/Zavada-1Q.frf")))),
                 qPrintable(errors.first()));
        QVERIFY(errors.first().startsWith(QStringLiteral("Šablona sestavy nebyla nalezena")));
        QVERIFY(previewer.templates.isEmpty());
    }

    void faultyTemplateNamesFileAndLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("line");
        QTest::addColumn<QString>("fragment");
        QTest::newRow("broken XML") << QByteArray("<report>\n<pageHeader height=\"5\">\n<text x=\"0\" "
                                                  "y=\"0\" w=\"1\" h=\"1\">a</pageHeader>\n</report>\n")
                                    << 3 << "chybný zápis XML";
        QTest::newRow("unknown field")
            << QByteArray("<report>\n<data dataset=\"ZavadyQ\">\n<masterData height=\"5\">\n\n"
                          "<field x=\"0\" y=\"0\" w=\"10\" h=\"5\" expr=\"ZavadyQ.NENI\"/>\n"
                          "</masterData>\n</data>\n</report>\n")
            << 5 << "datová sada ZavadyQ nemá pole \"NENI\"";
        QTest::newRow("unknown dataset")
            << QByteArray(
                   "<report>\n<summary height=\"5\">\n<text x=\"0\" y=\"0\" w=\"10\" h=\"5\">[Nic.X]</text>\n"
                   "</summary>\n</report>\n")
            << 3 << "neznámá datová sada \"Nic\"";
        QTest::newRow("missing height") << QByteArray("<report>\n\n<summary>\n</summary>\n</report>\n") << 3
                                        << "potřebuje atribut \"height\"";
    }

    void faultyTemplateNamesFileAndLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, line);
        QFETCH(QString, fragment);
        QTemporaryDir program;
        writeFile(program.filePath(QStringLiteral("frf/Zavada-1Q.frf")), content);
        catalogue->setProgramDir(program.path());
        catalogue->RunReport(10);
        const QStringList errors = ui.texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        const QString expectedStart =
            QStringLiteral("Chyba v šabloně sestavy %1 na řádku %2: ")
                .arg(QDir::toNativeSeparators(program.filePath(QStringLiteral("frf/Zavada-1Q.frf"))))
                .arg(line);
        QVERIFY2(errors.first().startsWith(expectedStart), qPrintable(errors.first()));
        QVERIFY2(errors.first().contains(fragment), qPrintable(errors.first()));
        QVERIFY(previewer.templates.isEmpty());
    }

    void secondReport10RunShowsItsOwnTitle()
    {
        QStringList titles;
        previewer.onShow = [&](ReportDocument &doc) { titles << pageTexts(doc, 0).join(QLatin1Char('|')); };
        filterDefects(QStringLiteral("Odstraneno=False"));
        setTitles(QStringLiteral("T1 - Seznam neodstraněných závad na okruhu: 0101"), QString());
        catalogue->RunReport(10);
        setTitles(QStringLiteral("S3 - Seznam závad"), QStringLiteral("Filtr: Druh = 005"));
        catalogue->RunReport(10);
        QCOMPARE(titles.size(), 2);
        QVERIFY(titles[0].contains(QStringLiteral("T1 - Seznam neodstraněných závad na okruhu: 0101")));
        QVERIFY(!titles[0].contains(QStringLiteral("S3 - Seznam závad")));
        QVERIFY(titles[1].contains(QStringLiteral("S3 - Seznam závad")));
        QVERIFY(titles[1].contains(QStringLiteral("Filtr: Druh = 005")));
        QVERIFY(!titles[1].contains(QStringLiteral("T1 - Seznam")));
    }

    void catalogueStaysOnItsRecord()
    {
        Table &os = dm->OSTable;
        os.first();
        os.next();
        os.next();
        const QString current = os.fieldByName(QStringLiteral("OS")).asString();
        catalogue->RunReport(1);
        QCOMPARE(previewer.templates.size(), 1);
        QCOMPARE(os.fieldByName(QStringLiteral("OS")).asString(), current);
        QCOMPARE(os.recNo(), 3);
    }

    void closedQueryIsOpenedForTheReport()
    {
        dm->ZavadyQuery.close();
        catalogue->RunReport(10);
        QCOMPARE(ui.calls.size(), 0);
        QVERIFY(dm->ZavadyQuery.isActive());
        QCOMPARE(previewer.templates.size(), 1);
    }
};

QTEST_MAIN(TestRunReport)
#include "tst_runreport.moc"
