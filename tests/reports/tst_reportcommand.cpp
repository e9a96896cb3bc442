// "lerk-tool report": report 10 over ZavadyQuery with the filter and the title written to a PDF, read back
// with pdftotext; and the mistakes the command refuses.
#include "ReportCommand.h"
#include "ReportFixture.h"

#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestReportCommand : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    QTemporaryDir m_out;

    int run(const QStringList &args, QString *printed = nullptr)
    {
        QString text;
        QTextStream out(&text);
        const int status = tool::runReportCommand(*session, args, out);
        out.flush();
        if (printed)
            *printed = text;
        return status;
    }

private slots:
    void init()
    {
        setUpReports(true, 80);
        pinToday(QDate(2024, 11, 14));
    }

    void cleanup() { tearDownReports(); }

    void pdfOfReport10HoldsTitlesAndFilteredRows()
    {
        if (!havePdfToText())
            QSKIP("pdftotext is not installed");
        const QString okruh =
            value(QStringLiteral("SELECT OKRUH FROM Zavady WHERE ODSTRANENO = 0 GROUP BY OKRUH "
                                 "ORDER BY count(*) DESC LIMIT 1"))
                .toString();
        QVERIFY(!okruh.isEmpty());
        const QString filter = QStringLiteral("Odstraneno=False AND Okruh='%1'").arg(okruh);
        const QString title = QStringLiteral("T1 - Seznam neodstraněných závad na okruhu: %1").arg(okruh);
        const QString pdf = m_out.filePath(QStringLiteral("t1.pdf"));
        QString printed;
        QCOMPARE(run({QStringLiteral("10"), QStringLiteral("--pdf"), pdf, QStringLiteral("--filter"), filter,
                      QStringLiteral("--title"), title},
                     &printed),
                 0);
        QVERIFY2(printed.contains(QDir::toNativeSeparators(pdf)), qPrintable(printed));

        const QString text = pdfText(pdf);
        QVERIFY(text.contains(title));
        QVERIFY(text.contains(filter)); // the second title line carries the condition
        const int expected =
            count(QStringLiteral("Zavady"), QStringLiteral("ODSTRANENO = 0 AND OKRUH = ?"), {okruh});
        QVERIFY(expected > 0);
        QVERIFY2(text.contains(QStringLiteral("Celkem závad: %1").arg(expected)),
                 qPrintable(text.right(500)));
        QVERIFY(text.contains(QStringLiteral("Okruh %1").arg(okruh)));
        QCOMPARE(text.count(QRegularExpression(QStringLiteral("\\bOkruh \\d{4}\\b"))),
                 text.count(QStringLiteral("Okruh %1").arg(okruh)));

        // Every defect of the filter is there by its kilometre, and the removed ones of the district are not.
        QSqlQuery rows =
            db().exec(QStringLiteral("SELECT KM, ODSTRANENO FROM Zavady WHERE OKRUH = ?"), {okruh});
        int removedAbsent = 0, removed = 0;
        while (rows.next()) {
            const QString km =
                QString::number(rows.value(0).toDouble(), 'f', 3).replace(QLatin1Char('.'), QLatin1Char(','));
            if (rows.value(1).toInt() == 0) {
                QVERIFY2(text.contains(km), qPrintable(km));
            } else {
                ++removed;
                if (!text.contains(km))
                    ++removedAbsent;
            }
        }
        // Kilometres are random to the metre, so a removed defect may share one with a listed defect only
        // rarely.
        QVERIFY(removedAbsent >= removed - 1);

        // The titles stay in PARAM for the next print, as the callers leave them.
        QSqlQuery param = localDb().exec(QStringLiteral("SELECT Tisk, Nazev FROM PARAM"));
        QVERIFY(param.next());
        QCOMPARE(param.value(0).toString(), title);
        QCOMPARE(param.value(1).toString(), filter);
    }

    void otherReportsWriteTheirPdf()
    {
        const QString pdf = m_out.filePath(QStringLiteral("okruhy"));
        QString printed;
        QCOMPARE(run({QStringLiteral("2"), QStringLiteral("--pdf"), pdf}, &printed), 0);
        QVERIFY(QFileInfo::exists(pdf + QStringLiteral(".pdf")));
        QVERIFY2(printed.startsWith(QStringLiteral("Sestava 2 (Číselník okruhů): 1 stran")),
                 qPrintable(printed));
    }

    void refusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        QTest::newRow("not in the catalogue") << QStringList{"11", "--pdf", "x.pdf"} << " Žádný tisk ";
        QTest::newRow("no file") << QStringList{"10"} << "Chybí volba --pdf";
        QTest::newRow("not a number")
            << QStringList{"deset", "--pdf", "x.pdf"} << "\"deset\" není číslo sestavy.";
        QTest::newRow("bad filter") << QStringList{"10", "--pdf", "x.pdf", "--filter", "Okruh='01"} << "";
        QTest::newRow("option without value")
            << QStringList{"10", "--pdf"} << "Volba --pdf vyžaduje hodnotu.";
    }

    void refusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        for (QString &a : args)
            if (a == QLatin1String("x.pdf"))
                a = m_out.filePath(a);
        try {
            run(args);
            QFAIL("the command did not fail");
        } catch (const EngineError &e) {
            QVERIFY2(e.message().contains(message), qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(m_out.filePath(QStringLiteral("x.pdf"))));
    }
};

QTEST_MAIN(TestReportCommand)
#include "tst_reportcommand.moc"
