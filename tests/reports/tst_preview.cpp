// The preview window: opens on page one, pages with the keyboard, zooms, finds text, exports through the
// Ui's file chooser, and shows modally through the WindowPreviewer.
#include "ReportFixture.h"
#include "ReportPreview.h"

#include <QApplication>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace lerk;
using namespace lerk::test;

class TestPreview : public QObject, public ReportFixture
{
    Q_OBJECT

private:
    std::unique_ptr<ReportDocument> m_doc;

private slots:
    void init()
    {
        setUpReports();
        QList<Defect> defects;
        for (int i = 1; i <= 150; ++i) {
            Defect d;
            d.poradi = i;
            d.usek = QStringLiteral("místo %1").arg(i);
            defects << d;
        }
        insertDefects(defects);
        setTitles(QStringLiteral("S3 - Seznam závad"), QString());
        filterDefects(QString());
        m_doc = catalogue->prepareReport(10);
        QVERIFY(m_doc);
    }

    void cleanup()
    {
        m_doc.reset();
        tearDownReports();
    }

    void opensOnPageOneAndPagesWithTheKeyboard()
    {
        ReportPreview preview(*m_doc, ui);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        QCOMPARE(preview.currentPage(), 0);
        QCOMPARE(preview.findChild<QSpinBox *>(QStringLiteral("PageBox"))->value(), 1);
        QTest::keyClick(&preview, Qt::Key_PageDown);
        QCOMPARE(preview.currentPage(), 1);
        QTest::keyClick(&preview, Qt::Key_PageUp);
        QCOMPARE(preview.currentPage(), 0);
        QTest::keyClick(&preview, Qt::Key_End, Qt::ControlModifier);
        QVERIFY(m_doc->isComplete());
        QCOMPARE(preview.currentPage(), m_doc->pageCount() - 1);
        QCOMPARE(preview.findChild<QLabel *>(QStringLiteral("StatusLabel"))->text(),
                 QStringLiteral("Strana %1 z %1").arg(m_doc->pageCount()));
        QTest::keyClick(&preview, Qt::Key_PageDown); // stays on the last page
        QCOMPARE(preview.currentPage(), m_doc->pageCount() - 1);
        QTest::keyClick(&preview, Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(preview.currentPage(), 0);
    }

    void zooms()
    {
        ReportPreview preview(*m_doc, ui);
        preview.resize(900, 700);
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        preview.setZoomPercent(200);
        QCOMPARE(preview.pixelsPerMm(), preview.logicalDpiX() / 25.4 * 2);
        preview.setZoomMode(ReportPreview::ZoomMode::WholePage);
        const QSizeF page = m_doc->pageSizeMm() * preview.pixelsPerMm();
        auto *scroll = preview.findChild<QWidget *>(QStringLiteral("PageScroll"));
        QVERIFY(page.width() < scroll->width() && page.height() < scroll->height());
        preview.setZoomMode(ReportPreview::ZoomMode::PageWidth);
        QVERIFY(preview.pixelsPerMm() * m_doc->pageSizeMm().width() > scroll->width() * 0.8);
        // The page view paints the page: something dark on white.
        const QImage shot = preview.findChild<QWidget *>(QStringLiteral("PageView"))->grab().toImage();
        bool dark = false;
        for (int y = 0; y < shot.height() && !dark; y += 3)
            for (int x = 0; x < shot.width() && !dark; x += 3)
                dark = qGray(shot.pixel(x, y)) < 60;
        QVERIFY(dark);
    }

    void findsText()
    {
        ReportPreview preview(*m_doc, ui);
        QVERIFY(preview.findNext(QStringLiteral("místo 140")));
        const int page = preview.currentPage();
        QVERIFY(page > 0);
        QVERIFY(pageTexts(*m_doc, page).contains(QStringLiteral("místo 140")));
        // The next match of a shorter text comes after the one found.
        QVERIFY(preview.findNext(QStringLiteral("místo 14")));
        QVERIFY(preview.currentPage() >= page);
        QVERIFY(!preview.findNext(QStringLiteral("nikde není")));
        QCOMPARE(ui.texts(QStringLiteral("information")),
                 QStringList{QStringLiteral("Text \"nikde není\" nebyl v sestavě nalezen.")});
    }

    void exportsThroughTheFileChooser()
    {
        QTemporaryDir dir;
        ReportPreview preview(*m_doc, ui);
        ui.paths.enqueue(dir.filePath(QStringLiteral("závady")));
        preview.exportReport(ReportExport::Format::Csv);
        QVERIFY(QFileInfo::exists(dir.filePath(QStringLiteral("závady.csv"))));
        QCOMPARE(ui.texts(QStringLiteral("saveFile")), QStringList{QStringLiteral("Uložit sestavu jako")});
        QCOMPARE(ui.busyDepth, 0);
        // Cancelled: nothing is written.
        preview.exportReport(ReportExport::Format::Pdf);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("závady.csv")});
        // A failed export is told through the Ui.
        ui.paths.enqueue(dir.filePath(QStringLiteral("chybí/x.pdf")));
        preview.exportReport(ReportExport::Format::Pdf);
        QCOMPARE(ui.texts(QStringLiteral("error")).size(), 1);
    }

    void windowPreviewerShowsModally()
    {
        WindowPreviewer previewer(ui);
        bool seen = false;
        QTimer::singleShot(0, this, [&] {
            auto *w = qobject_cast<ReportPreview *>(QApplication::activeModalWidget());
            seen = w && w->isModal() && w->currentPage() == 0 &&
                   w->windowTitle() == QStringLiteral("Náhled sestavy - Seznam závad");
            if (w)
                w->close();
        });
        previewer.showPreview(*m_doc);
        QVERIFY(seen);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
