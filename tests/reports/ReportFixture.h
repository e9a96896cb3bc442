#pragma once

// Shared set-up of the report tests: the data fixture with the report catalogue on top, a previewer that
// records what it was shown instead of showing it, the preparation each caller of RunReport makes (links,
// filters, titles), and a reader of PDF text through pdftotext.

#include "DataGenerator.h"
#include "ReportDocument.h"
#include "ReportExport.h"
#include "ReportPreviewer.h"
#include "TTiskFastForm.h"
#include "data/DataFixture.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

namespace lerk::test {

class RecordingPreviewer : public ReportPreviewer
{
public:
    void showPreview(ReportDocument &document) override
    {
        document.layoutAll();
        templates << document.templateFile();
        pageCounts << document.pageCount();
        if (onShow)
            onShow(document);
    }

    QStringList templates;
    QList<int> pageCounts;
    std::function<void(ReportDocument &)> onShow;
};

class ReportFixture : public DataFixture
{
public:
    void setUpReports(bool withData = false, int protocols = 40)
    {
        setUp(false);
        if (withData) {
            GeneratorOptions options;
            options.protocols = protocols;
            options.districts = 12;
            options.sections = 150;
            options.defectTypes = 30;
            generateData(*session, options);
        }
        dm = std::make_unique<TDataModule1>(*session, ui);
        catalogue = std::make_unique<TTiskFastForm>(*dm, ui, previewer);
        dm->OpenTables();
    }

    void tearDownReports()
    {
        catalogue.reset();
        tearDown();
        previewer = RecordingPreviewer();
    }

    void setTitles(const QString &tisk, const QString &nazev)
    {
        Table &param = dm->ParamTable;
        param.first();
        if (param.isEmpty())
            param.append();
        else
            param.edit();
        param.fieldByName(QStringLiteral("Tisk")).setAsString(tisk);
        param.fieldByName(QStringLiteral("Nazev")).setAsString(nazev);
        param.post();
    }

    void filterDefects(const QString &filter)
    {
        Query &q = dm->ZavadyQuery;
        q.close();
        q.setFiltered(false);
        q.setFilter(filter);
        q.setFiltered(!filter.isEmpty());
        q.open();
    }

    // What the windows do before they call RunReport(n), on the first district or protocol that has data.
    void prepareLikeCaller(int n)
    {
        switch (n) {
        case 5: {
            // The districts window: the schedule of the current district, its sections and weeks linked.
            Table &okruh = dm->OkruhTable;
            okruh.first();
            dm->TydenTable.setMasterSource(&okruh, QStringLiteral("Okruh"));
            dm->TydenTable.open();
            dm->SilniceTable.setMasterSource(&okruh, QStringLiteral("Okruh"));
            break;
        }
        case 6:
            dm->OkruhTable.first();
            dm->SilniceTable.setMasterSource(&dm->OkruhTable, QStringLiteral("Okruh"));
            break;
        case 8:
        case 9: {
            // The protocol entry window: the query filtered to the current protocol.
            Table &p = dm->ProtokolTable;
            p.first();
            filterDefects(QStringLiteral("Cislo='%1' AND OS='%2' AND OKRUH='%3' AND Datum='%4'")
                              .arg(p.fieldByName(QStringLiteral("CISLO")).asString(),
                                   p.fieldByName(QStringLiteral("OS")).asString(),
                                   p.fieldByName(QStringLiteral("OKRUH")).asString(),
                                   p.fieldByName(QStringLiteral("DATUM")).asString()));
            break;
        }
        case 10:
            filterDefects(QStringLiteral("(Odstraneno=False AND Silnice='II/*')"));
            setTitles(QStringLiteral("T6 - Seznam neodstraněných závad na silnicích II. třídy: "),
                      QStringLiteral(" AND (Druh='01' OR Druh='05')"));
            break;
        default:
            break;
        }
    }

    struct Defect
    {
        QString cislo = QStringLiteral("1");
        QString os = QStringLiteral("01");
        QDate datum = QDate(2024, 3, 5);
        QString okruh = QStringLiteral("0101");
        QString silnice = QStringLiteral("II/101");
        int poradi = 1;
        double km = 1.0;
        QString usek;
        QString zavada;
        QVariant odstraneno = false;
        QVariant datumo;
        QString druh = QStringLiteral("001");
    };
    void insertDefects(const QList<Defect> &defects)
    {
        // One transaction: a statement per row would write the file once per row.
        Transaction transaction(db());
        QList<QVariantList> rows;
        for (const Defect &d : defects)
            rows << QVariantList{d.cislo, d.os,   d.datum,  d.okruh,      d.silnice, d.poradi,
                                 d.km,    d.usek, d.zavada, d.odstraneno, d.datumo,  d.druh};
        insert(QStringLiteral("Zavady"),
               {QStringLiteral("CISLO"), QStringLiteral("OS"), QStringLiteral("DATUM"),
                QStringLiteral("OKRUH"), QStringLiteral("SILNICE"), QStringLiteral("PORADI"),
                QStringLiteral("KM"), QStringLiteral("USEK"), QStringLiteral("ZAVADA"),
                QStringLiteral("ODSTRANENO"), QStringLiteral("DATUMO"), QStringLiteral("DRUH")},
               rows);
        transaction.commit();
    }

    // A report from a template written in the test, over ZavadyQuery as its main dataset "ZavadyQ".
    std::unique_ptr<ReportDocument> documentFrom(const QString &xml)
    {
        dm->ZavadyQuery.close();
        dm->ZavadyQuery.open();
        return std::make_unique<ReportDocument>(
            ReportTemplate::parse(xml.toUtf8(), QStringLiteral("test.frf")),
            catalogue->reportSources(QStringLiteral("ZavadyQ"), &dm->ZavadyQuery));
    }

    // The texts of a page's items, top to bottom and left to right.
    static QStringList pageTexts(ReportDocument &doc, int page)
    {
        QList<ReportPages::Item> items = doc.pageItems(page);
        std::stable_sort(items.begin(), items.end(), [](const auto &a, const auto &b) {
            return qRound(a.rect.top() * 10) != qRound(b.rect.top() * 10) ? a.rect.top() < b.rect.top()
                                                                          : a.rect.left() < b.rect.left();
        });
        QStringList out;
        for (const ReportPages::Item &it : items)
            if (!it.text.isEmpty())
                out << it.text;
        return out;
    }

    // The text of a PDF as pdftotext reads it, in physical layout.
    static QString pdfText(const QString &path)
    {
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                              QStringLiteral("UTF-8"), path, QStringLiteral("-")});
        if (!p.waitForFinished(60000) || p.exitCode() != 0)
            return {};
        return QString::fromUtf8(p.readAllStandardOutput());
    }

    static bool havePdfToText()
    {
        return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
    }

    RecordingPreviewer previewer;
    std::unique_ptr<TTiskFastForm> catalogue;
};

} // namespace lerk::test
