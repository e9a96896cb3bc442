#include "ReportPreview.h"

#include "EngineError.h"
#include "ReportDocument.h"
#include "Ui.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPageSetupDialog>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QResizeEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace lerk {

namespace {

constexpr int PageGap = 12;     // pixels round the page
constexpr int LayoutChunk = 20; // pages laid out per step in the background

QString lastExportDir;

} // namespace

// Paints the current page at the current zoom.
class ReportPreview::PageView : public QWidget
{
public:
    explicit PageView(ReportPreview &preview) : QWidget(nullptr), m_preview(preview)
    {
        setObjectName(QStringLiteral("PageView"));
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    QSize pageSizePx() const
    {
        const QSizeF mm = m_preview.m_document.pageSizeMm();
        const double s = m_preview.pixelsPerMm();
        return QSize(int(std::lround(mm.width() * s)), int(std::lround(mm.height() * s)));
    }

    QSize sizeHint() const override { return pageSizePx() + QSize(2 * PageGap, 2 * PageGap); }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter p(this);
        p.fillRect(rect(), QColor(0x80, 0x80, 0x80));
        const QSize page = pageSizePx();
        const QPoint origin(std::max(PageGap, (width() - page.width()) / 2), PageGap);
        p.fillRect(QRect(origin + QPoint(3, 3), page), QColor(0x50, 0x50, 0x50));
        p.fillRect(QRect(origin, page), Qt::white);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.translate(origin);
        const double s = m_preview.pixelsPerMm();
        p.scale(s, s);
        m_preview.m_document.paintPage(p, m_preview.m_page);
        if (m_preview.m_hitPage == m_preview.m_page && m_preview.m_hitRect.isValid())
            p.fillRect(m_preview.m_hitRect, QColor(255, 200, 0, 110));
    }

private:
    ReportPreview &m_preview;
};

ReportPreview::ReportPreview(ReportDocument &document, Ui &ui, QWidget *parent)
    : QDialog(parent), m_document(document), m_ui(ui)
{
    setObjectName(QStringLiteral("ReportPreview"));
    setWindowTitle(QStringLiteral("Náhled sestavy - %1").arg(document.title()));
    setModal(true);
    setWindowFlag(Qt::WindowMaximizeButtonHint);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    auto *bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("PreviewToolBar"));
    // Page buttons show their icons (names in the tool tips); the rest show their names.
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    QStyle *st = style();

    auto makeAction = [&](const QString &name, const QString &text, const QIcon &icon,
                          const QList<QKeySequence> &keys, auto slot) {
        auto *a = new QAction(icon, text, this);
        a->setObjectName(name);
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        a->setToolTip(keys.isEmpty() ? text
                                     : QStringLiteral("%1 (%2)").arg(
                                           text, keys.first().toString(QKeySequence::NativeText)));
        connect(a, &QAction::triggered, this, slot);
        QWidget::addAction(a);
        return a;
    };

    bar->addAction(makeAction(QStringLiteral("actWholePage"), QStringLiteral("Celá stránka"), QIcon(),
                              {QKeySequence(Qt::CTRL | Qt::Key_0)},
                              [this] { setZoomMode(ZoomMode::WholePage); }));
    bar->addAction(makeAction(QStringLiteral("actPageWidth"), QStringLiteral("Šířka stránky"), QIcon(),
                              {QKeySequence(Qt::CTRL | Qt::Key_9)},
                              [this] { setZoomMode(ZoomMode::PageWidth); }));
    m_zoomBox = new QComboBox(this);
    m_zoomBox->setObjectName(QStringLiteral("ZoomBox"));
    m_zoomBox->setToolTip(QStringLiteral("Zvětšení v procentech"));
    m_zoomBox->setEditable(true);
    m_zoomBox->setInsertPolicy(QComboBox::NoInsert);
    for (int pct : {50, 75, 100, 125, 150, 200, 300})
        m_zoomBox->addItem(QStringLiteral("%1 %").arg(pct), pct);
    m_zoomBox->setCurrentIndex(2);
    connect(m_zoomBox, &QComboBox::textActivated, this, [this](const QString &text) {
        QString t = text;
        t.remove(QLatin1Char('%'));
        bool ok = false;
        const int pct = t.trimmed().toInt(&ok);
        if (ok)
            setZoomPercent(pct);
    });
    bar->addWidget(m_zoomBox);
    makeAction(QStringLiteral("actZoomIn"), QStringLiteral("Zvětšit"), QIcon(),
               {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, [this] {
                   setZoomPercent(int(std::lround(pixelsPerMm() / (logicalDpiX() / 25.4) * 100)) + 25);
               });
    makeAction(
        QStringLiteral("actZoomOut"), QStringLiteral("Zmenšit"), QIcon(), {QKeySequence::ZoomOut},
        [this] { setZoomPercent(int(std::lround(pixelsPerMm() / (logicalDpiX() / 25.4) * 100)) - 25); });
    bar->addSeparator();

    bar->addAction(makeAction(QStringLiteral("actFirstPage"), QStringLiteral("První"),
                              st->standardIcon(QStyle::SP_MediaSkipBackward),
                              {QKeySequence(Qt::CTRL | Qt::Key_Home)}, [this] { setCurrentPage(0); }));
    bar->addAction(makeAction(QStringLiteral("actPriorPage"), QStringLiteral("Předchozí"),
                              st->standardIcon(QStyle::SP_MediaSeekBackward), {QKeySequence(Qt::Key_PageUp)},
                              [this] { setCurrentPage(m_page - 1); }));
    m_pageBox = new QSpinBox(this);
    m_pageBox->setObjectName(QStringLiteral("PageBox"));
    m_pageBox->setToolTip(QStringLiteral("Číslo stránky"));
    m_pageBox->setMinimum(1);
    m_pageBox->setKeyboardTracking(false);
    connect(m_pageBox, &QSpinBox::valueChanged, this, [this](int v) { setCurrentPage(v - 1); });
    bar->addWidget(m_pageBox);
    m_pageCount = new QLabel(this);
    m_pageCount->setObjectName(QStringLiteral("PageCountLabel"));
    bar->addWidget(m_pageCount);
    bar->addAction(makeAction(QStringLiteral("actNextPage"), QStringLiteral("Další"),
                              st->standardIcon(QStyle::SP_MediaSeekForward), {QKeySequence(Qt::Key_PageDown)},
                              [this] { setCurrentPage(m_page + 1); }));
    bar->addAction(makeAction(QStringLiteral("actLastPage"), QStringLiteral("Poslední"),
                              st->standardIcon(QStyle::SP_MediaSkipForward),
                              {QKeySequence(Qt::CTRL | Qt::Key_End)}, [this] {
                                  QApplication::setOverrideCursor(Qt::WaitCursor);
                                  m_document.layoutAll();
                                  QApplication::restoreOverrideCursor();
                                  setCurrentPage(m_document.pageCount() - 1);
                              }));
    bar->addSeparator();

    m_findEdit = new QLineEdit(this);
    m_findEdit->setObjectName(QStringLiteral("FindEdit"));
    m_findEdit->setPlaceholderText(QStringLiteral("Hledaný text"));
    m_findEdit->setClearButtonEnabled(true);
    m_findEdit->setMinimumWidth(150);
    m_findEdit->setMaximumWidth(220);
    connect(m_findEdit, &QLineEdit::returnPressed, this, [this] { findNext(m_findEdit->text()); });
    bar->addWidget(m_findEdit);
    bar->addAction(makeAction(QStringLiteral("actFind"), QStringLiteral("Najít"),
                              st->standardIcon(QStyle::SP_FileDialogContentsView), {QKeySequence(Qt::Key_F3)},
                              [this] { findNext(m_findEdit->text()); }));
    makeAction(QStringLiteral("actFindFocus"), QStringLiteral("Hledat"), QIcon(), {QKeySequence::Find},
               [this] {
                   m_findEdit->setFocus();
                   m_findEdit->selectAll();
               });
    bar->addSeparator();

    bar->addAction(makeAction(QStringLiteral("actPrint"), QStringLiteral("Tisk…"), QIcon(),
                              {QKeySequence::Print}, [this] { print(); }));
    bar->addAction(makeAction(QStringLiteral("actPageSetup"), QStringLiteral("Vzhled stránky…"), QIcon(), {},
                              [this] { pageSetup(); }));
    auto *exportMenu = new QMenu(this);
    exportMenu->setObjectName(QStringLiteral("ExportMenu"));
    for (ReportExport::Format f : ReportExport::formats()) {
        QAction *a = exportMenu->addAction(ReportExport::caption(f), this, [this, f] { exportReport(f); });
        a->setObjectName(QStringLiteral("actExport") + ReportExport::suffix(f));
        a->setEnabled(ReportExport::isAvailable(f));
    }
    auto *exportButton = new QToolButton(this);
    exportButton->setObjectName(QStringLiteral("ExportButton"));
    exportButton->setText(QStringLiteral("Uložit jako"));
    exportButton->setToolTip(QStringLiteral("Uložit sestavu do souboru (Ctrl+S)"));
    exportButton->setIcon(st->standardIcon(QStyle::SP_DialogSaveButton));
    exportButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    exportButton->setMenu(exportMenu);
    exportButton->setPopupMode(QToolButton::InstantPopup);
    bar->addWidget(exportButton);
    exportButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    makeAction(QStringLiteral("actSave"), QStringLiteral("Uložit jako PDF"), QIcon(), {QKeySequence::Save},
               [this] { exportReport(ReportExport::Format::Pdf); });
    bar->addSeparator();
    bar->addAction(
        makeAction(QStringLiteral("actClose"), QStringLiteral("Zavřít"), QIcon(), {}, [this] { accept(); }));

    m_view = new PageView(*this);
    m_scroll = new QScrollArea(this);
    m_scroll->setObjectName(QStringLiteral("PageScroll"));
    m_scroll->setWidget(m_view);
    m_scroll->setWidgetResizable(false);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    m_scroll->setFocusPolicy(Qt::StrongFocus);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLabel"));
    m_status->setContentsMargins(6, 2, 6, 2);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_scroll, 1);
    layout->addWidget(m_status);

    m_layoutTimer = new QTimer(this);
    m_layoutTimer->setInterval(0);
    connect(m_layoutTimer, &QTimer::timeout, this, &ReportPreview::layoutMore);

    resize(1000, 760);
    m_document.layoutPages(1);
    if (!m_document.isComplete())
        m_layoutTimer->start();
    updatePageControls();
    updateView();
    m_scroll->setFocus();
}

ReportPreview::~ReportPreview() = default;

void ReportPreview::layoutMore()
{
    try {
        m_document.layoutPages(m_document.pageCount() + LayoutChunk);
    } catch (const EngineError &e) {
        m_layoutTimer->stop();
        m_ui.error(e.message());
        return;
    }
    if (m_document.isComplete()) {
        m_layoutTimer->stop();
        m_view->update(); // the page count on the page itself is known now
    }
    updatePageControls();
}

void ReportPreview::updatePageControls()
{
    const int pages = std::max(1, m_document.pageCount());
    const QString total = m_document.isComplete() ? QString::number(pages) : QStringLiteral("%1…").arg(pages);
    QSignalBlocker block(m_pageBox);
    m_pageBox->setMaximum(m_document.isComplete() ? pages : std::max(pages, m_page + 1));
    m_pageBox->setValue(m_page + 1);
    m_pageCount->setText(QStringLiteral(" z %1 ").arg(total));
    m_status->setText(QStringLiteral("Strana %1 z %2").arg(m_page + 1).arg(total));
}

double ReportPreview::pixelsPerMm() const
{
    const double screen = logicalDpiX() / 25.4;
    const QSizeF page = m_document.pageSizeMm();
    const QSize area =
        m_scroll ? m_scroll->viewport()->size() - QSize(2 * PageGap + 4, 2 * PageGap + 4) : QSize(800, 600);
    switch (m_zoomMode) {
    case ZoomMode::WholePage:
        return std::max(0.5, std::min(area.width() / page.width(), area.height() / page.height()));
    case ZoomMode::PageWidth:
        return std::max(0.5,
                        (area.width() - m_scroll->verticalScrollBar()->sizeHint().width()) / page.width());
    case ZoomMode::Percent:
        break;
    }
    return screen * m_percent / 100.0;
}

void ReportPreview::updateView()
{
    m_view->resize(m_view->sizeHint().expandedTo(QSize(m_scroll->viewport()->width(), 0)));
    m_view->update();
    const double pct = pixelsPerMm() / (logicalDpiX() / 25.4) * 100.0;
    QSignalBlocker block(m_zoomBox);
    m_zoomBox->setEditText(QStringLiteral("%1 %").arg(int(std::lround(pct))));
}

void ReportPreview::setCurrentPage(int page)
{
    if (page >= m_document.pageCount() && !m_document.isComplete())
        m_document.layoutPages(page + 1);
    page = std::clamp(page, 0, std::max(0, m_document.pageCount() - 1));
    if (page != m_page) {
        m_page = page;
        m_scroll->verticalScrollBar()->setValue(0);
    }
    updatePageControls();
    m_view->update();
}

void ReportPreview::setZoomMode(ZoomMode mode)
{
    m_zoomMode = mode;
    updateView();
}

void ReportPreview::setZoomPercent(int percent)
{
    m_percent = std::clamp(percent, 10, 800);
    m_zoomMode = ZoomMode::Percent;
    updateView();
}

void ReportPreview::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    if (m_view)
        updateView();
}

void ReportPreview::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    updateView();
}

bool ReportPreview::findNext(const QString &text)
{
    if (text.trimmed().isEmpty())
        return false;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const int fromPage = m_hitPage >= 0 ? m_hitPage : m_page;
    const int fromItem = m_hitPage >= 0 ? m_hitItem : -1;
    const ReportDocument::Hit hit = m_document.find(text, fromPage, fromItem);
    QApplication::restoreOverrideCursor();
    updatePageControls();
    if (!hit.found()) {
        m_hitPage = -1;
        m_view->update();
        m_ui.information(QStringLiteral("Text \"%1\" nebyl v sestavě nalezen.").arg(text));
        return false;
    }
    m_hitPage = hit.page;
    m_hitItem = hit.item;
    m_hitRect = hit.rect;
    setCurrentPage(hit.page);
    const double s = pixelsPerMm();
    m_scroll->ensureVisible(int(hit.rect.center().x() * s) + PageGap,
                            int(hit.rect.center().y() * s) + PageGap, 40, 80);
    m_view->update();
    return true;
}

QString ReportPreview::defaultFileName(ReportExport::Format format) const
{
    QString name = m_document.title();
    for (const QChar c : QStringLiteral("\\/:*?\"<>|"))
        name.replace(c, QLatin1Char('_'));
    const QString dir = lastExportDir.isEmpty() ? QDir::homePath() : lastExportDir;
    return QDir(dir).filePath(name + QLatin1Char('.') + ReportExport::suffix(format));
}

void ReportPreview::exportReport(ReportExport::Format format)
{
    const QString path = m_ui.chooseSaveFile(QStringLiteral("Uložit sestavu jako"), defaultFileName(format),
                                             ReportExport::fileFilter(format));
    if (path.isEmpty())
        return;
    lastExportDir = QFileInfo(path).absolutePath();
    try {
        BusyScope busy(m_ui);
        const QStringList files = ReportExport::write(m_document, format, path);
        updatePageControls();
        m_view->update();
        m_status->setText(
            files.size() == 1
                ? QStringLiteral("Sestava uložena do %1").arg(QDir::toNativeSeparators(files.first()))
                : QStringLiteral("Sestava uložena do %1 souborů (%2 …)")
                      .arg(files.size())
                      .arg(QDir::toNativeSeparators(files.first())));
    } catch (const EngineError &e) {
        m_ui.error(e.message());
    }
}

void ReportPreview::print()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_document.layoutAll();
    QApplication::restoreOverrideCursor();
    updatePageControls();
    const PageSetup &setup = m_document.pageSetup();
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(m_document.title());
    printer.setFullPage(true);
    printer.setPageLayout(QPageLayout(QPageSize(setup.size), setup.orientation, QMarginsF(0, 0, 0, 0)));
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Tisk sestavy"));
    dialog.setMinMax(1, m_document.pageCount());
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
    if (dialog.exec() != QDialog::Accepted)
        return;
    int from = 0, to = m_document.pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage() - 1;
        to = std::min(printer.toPage() - 1, to);
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = m_page;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        m_ui.error(QStringLiteral("Tiskárnu nelze použít; sestava nebyla vytištěna."));
        return;
    }
    BusyScope busy(m_ui);
    ReportExport::paintPages(m_document, printer, painter, from, to);
    painter.end();
}

void ReportPreview::pageSetup()
{
    const PageSetup current = m_document.pageSetup();
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(QPageLayout(QPageSize(current.size), current.orientation,
                                      QMarginsF(current.left, current.top, current.right, current.bottom),
                                      QPageLayout::Millimeter));
    QPageSetupDialog dialog(&printer, this);
    dialog.setWindowTitle(QStringLiteral("Vzhled stránky"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QPageLayout layout = printer.pageLayout();
    PageSetup setup;
    setup.size = layout.pageSize().id() == QPageSize::Custom ? current.size : layout.pageSize().id();
    setup.orientation = layout.orientation();
    const QMarginsF m = layout.margins(QPageLayout::Millimeter);
    setup.left = m.left();
    setup.top = m.top();
    setup.right = m.right();
    setup.bottom = m.bottom();
    if (setup == current)
        return;
    try {
        m_document.setPageSetup(setup);
        m_page = 0;
        m_hitPage = -1;
        m_document.layoutPages(1);
        if (!m_document.isComplete())
            m_layoutTimer->start();
    } catch (const EngineError &e) {
        m_ui.error(e.message());
    }
    updatePageControls();
    updateView();
}

void WindowPreviewer::showPreview(ReportDocument &document)
{
    ReportPreview preview(document, m_ui, m_parent);
    preview.exec();
}

} // namespace lerk
