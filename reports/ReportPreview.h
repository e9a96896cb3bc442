#pragma once

#include "ReportExport.h"
#include "ReportPreviewer.h"

#include <QDialog>
#include <QPointer>

class QComboBox;
class QLabel;
class QLineEdit;
class QScrollArea;
class QSpinBox;
class QTimer;

namespace lerk {

class ReportDocument;
class Ui;

// The preview window of a prepared report: modal, opens on page one, zooms (whole page, page width,
// percent), pages, finds text, prints through the system's print dialog, sets up the page and exports
// the report. Pages are painted from their display lists whenever they are shown; the rest of the layout
// goes on in the background after the first page is on the screen.
class ReportPreview : public QDialog
{
    Q_OBJECT
public:
    enum class ZoomMode { WholePage, PageWidth, Percent };

    ReportPreview(ReportDocument &document, Ui &ui, QWidget *parent = nullptr);
    ~ReportPreview() override;

    int currentPage() const { return m_page; } // 0-based
    void setCurrentPage(int page);
    ZoomMode zoomMode() const { return m_zoomMode; }
    void setZoomMode(ZoomMode mode);
    void setZoomPercent(int percent);
    double pixelsPerMm() const; // at the current zoom

    // Moves to the next occurrence of the text and marks it; false (and a message) when there is none.
    bool findNext(const QString &text);
    void exportReport(ReportExport::Format format);
    void print();
    void pageSetup();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    class PageView;
    void layoutMore();
    void updatePageControls();
    void updateView();
    QString defaultFileName(ReportExport::Format format) const;

    ReportDocument &m_document;
    Ui &m_ui;
    int m_page = 0;
    ZoomMode m_zoomMode = ZoomMode::PageWidth;
    int m_percent = 100;
    int m_hitPage = -1;
    int m_hitItem = -1;
    QRectF m_hitRect;

    PageView *m_view = nullptr;
    QScrollArea *m_scroll = nullptr;
    QSpinBox *m_pageBox = nullptr;
    QLabel *m_pageCount = nullptr;
    QLabel *m_status = nullptr;
    QComboBox *m_zoomBox = nullptr;
    QLineEdit *m_findEdit = nullptr;
    QTimer *m_layoutTimer = nullptr;
};

// Shows reports in the preview window.
class WindowPreviewer : public ReportPreviewer
{
public:
    explicit WindowPreviewer(Ui &ui, QWidget *parent = nullptr) : m_ui(ui), m_parent(parent) {}
    void showPreview(ReportDocument &document) override;

private:
    Ui &m_ui;
    QPointer<QWidget> m_parent;
};

} // namespace lerk
