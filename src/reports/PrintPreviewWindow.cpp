#include "PrintPreviewWindow.h"

#include "PagePainter.h"
#include "ReportPrintJob.h"
#include "platform/AppContext.h"

#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPrinter>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <cmath>

namespace {

constexpr int SheetMargin = 16; // grey around the sheet, in pixels
constexpr double ScreenDpi = 96;
const double Zooms[] = {0.25, 0.5, 0.75, 1.0, 1.25, 1.5, 2.0, 3.0, 4.0};
enum { FitWidth, WholePage, FirstPercent };

QToolButton* toolButton(QWidget* parent, const char* name, QStyle::StandardPixmap icon, const QString& text,
                        const QString& tip) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    if (icon != QStyle::SP_CustomBase)
        button->setIcon(parent->style()->standardIcon(icon));
    button->setText(text);
    button->setToolTip(tip);
    button->setAccessibleName(tip);
    button->setToolButtonStyle(icon == QStyle::SP_CustomBase ? Qt::ToolButtonTextOnly : Qt::ToolButtonIconOnly);
    button->setAutoRaise(true);
    return button;
}

} // namespace

void PageView::setPage(QImage page) {
    m_page = std::move(page);
    updateGeometry();
    adjustSize();
    update();
}

QSize PageView::sizeHint() const {
    return m_page.deviceIndependentSize().toSize() + QSize(2 * SheetMargin, 2 * SheetMargin);
}

void PageView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), QColor(128, 128, 128));
    if (m_page.isNull())
        return;
    const QSize size = m_page.deviceIndependentSize().toSize();
    const QPoint origin((width() - size.width()) / 2, SheetMargin);
    painter.fillRect(QRect(origin + QPoint(3, 3), size), QColor(64, 64, 64)); // its shadow
    painter.drawImage(origin, m_page);
}

QString PrintPreviewWindow::nameFor(const QString& layoutFile) {
    return QStringLiteral("frmPrintPreview:") + layoutFile;
}

PrintPreviewWindow::PrintPreviewWindow(AppContext& context, const QString& name, const ReportEngine& engine)
    : AppWindow(context, name), m_engine(engine) {
    setWindowTitle(QStringLiteral("Print Preview"));
    build();
    resize(900, 700);
}

PrintPreviewWindow::~PrintPreviewWindow() {
    m_job.reset(); // before the report it prints
}

void PrintPreviewWindow::build() {
    cmdFirstPage = toolButton(this, "cmdFirstPage", QStyle::SP_MediaSkipBackward, tr("First"), tr("First page"));
    cmdPreviousPage =
        toolButton(this, "cmdPreviousPage", QStyle::SP_MediaSeekBackward, tr("Previous"), tr("Previous page"));
    cmdNextPage = toolButton(this, "cmdNextPage", QStyle::SP_MediaSeekForward, tr("Next"), tr("Next page"));
    cmdLastPage = toolButton(this, "cmdLastPage", QStyle::SP_MediaSkipForward, tr("Last"), tr("Last page"));
    cmdZoomOut = toolButton(this, "cmdZoomOut", QStyle::SP_CustomBase, QStringLiteral("−"), tr("Zoom out"));
    cmdZoomIn = toolButton(this, "cmdZoomIn", QStyle::SP_CustomBase, QStringLiteral("+"), tr("Zoom in"));
    cmdPrintReport = toolButton(this, "cmdPrintReport", QStyle::SP_CustomBase, tr("Print…"), tr("Print"));
    cmdExportPdf = toolButton(this, "cmdExportPdf", QStyle::SP_CustomBase, tr("Export PDF…"), tr("Export to PDF"));

    pageNumber = new QSpinBox(this);
    pageNumber->setObjectName(QStringLiteral("pageNumber"));
    pageNumber->setAccessibleName(tr("Page number"));
    pageNumber->setRange(1, 1);
    pageNumber->setKeyboardTracking(false);
    pageNumber->setMinimumWidth(90);
    pageCount = new QLabel(this);
    pageCount->setObjectName(QStringLiteral("pageCount"));
    pageCount->setMinimumWidth(110);

    zoom = new QComboBox(this);
    zoom->setObjectName(QStringLiteral("zoom"));
    zoom->setAccessibleName(tr("Zoom"));
    zoom->addItems({tr("Fit width"), tr("Whole page")});
    for (double z : Zooms)
        zoom->addItem(QStringLiteral("%1%").arg(int(z * 100)));
    zoom->setCurrentIndex(FitWidth);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 4, 6, 4);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdFirstPage, cmdPreviousPage, pageNumber, pageCount, cmdNextPage,
                                                      cmdLastPage})
        bar->addWidget(w);
    bar->addSpacing(16);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdZoomOut, zoom, cmdZoomIn})
        bar->addWidget(w);
    bar->addSpacing(16);
    bar->addWidget(cmdPrintReport);
    bar->addWidget(cmdExportPdf);
    bar->addStretch();

    page = new PageView;
    page->setObjectName(QStringLiteral("page"));
    m_scroll = new QScrollArea(this);
    m_scroll->setWidget(page);
    m_scroll->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    m_scroll->setBackgroundRole(QPalette::Dark);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(bar);
    layout->addWidget(m_scroll, 1);

    connect(cmdFirstPage, &QToolButton::clicked, this, [this] { goToPage(0); });
    connect(cmdPreviousPage, &QToolButton::clicked, this, [this] { step(-1); });
    connect(cmdNextPage, &QToolButton::clicked, this, [this] { step(1); });
    connect(cmdLastPage, &QToolButton::clicked, this, &PrintPreviewWindow::goToLastPage);
    connect(pageNumber, &QSpinBox::valueChanged, this, [this](int number) {
        if (number - 1 != m_current)
            goToPage(number - 1);
    });
    connect(zoom, &QComboBox::currentIndexChanged, this, &PrintPreviewWindow::render);
    connect(cmdZoomIn, &QToolButton::clicked, this, [this] {
        const double now = zoomFactor();
        for (int i = 0; i < int(std::size(Zooms)); ++i)
            if (Zooms[i] > now * 1.01)
                return zoom->setCurrentIndex(FirstPercent + i);
    });
    connect(cmdZoomOut, &QToolButton::clicked, this, [this] {
        const double now = zoomFactor();
        for (int i = int(std::size(Zooms)) - 1; i >= 0; --i)
            if (Zooms[i] < now * 0.99)
                return zoom->setCurrentIndex(FirstPercent + i);
    });
    connect(cmdPrintReport, &QToolButton::clicked, this, &PrintPreviewWindow::print);
    connect(cmdExportPdf, &QToolButton::clicked, this, &PrintPreviewWindow::exportPdf);
    const std::pair<QKeySequence, int> keys[] = {{QKeySequence(Qt::Key_PageDown), 1},
                                                 {QKeySequence(Qt::Key_PageUp), -1}};
    for (const auto& [key, delta] : keys)
        connect(new QShortcut(key, this), &QShortcut::activated, this, [this, delta = delta] { step(delta); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Home), this), &QShortcut::activated, this,
            [this] { goToPage(0); });
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_End), this), &QShortcut::activated, this,
            &PrintPreviewWindow::goToLastPage);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &PrintPreviewWindow::close);
}

bool PrintPreviewWindow::load() {
    try {
        m_report = m_engine.run();
        connect(m_report.get(), &Report::paginated, this, &PrintPreviewWindow::counted);
        connect(m_report.get(), &Report::failed, this, [this](const QString& message) {
            m_context.prompter.critical(QStringLiteral("The report cannot be shown.\n") + message);
        });
        counted(0, false);
        m_report->startCounting();
    } catch (const ReportError& e) {
        m_context.prompter.critical(QStringLiteral("The report cannot be shown.\n") + e.message());
        return false;
    }
    return true;
}

double PrintPreviewWindow::zoomFactor() const {
    const QSize sheet = m_report ? m_report->format().pageSize : QSize(1, 1);
    const double width = sheet.width() * ScreenDpi / PageFormat::UnitsPerInch;
    const double height = sheet.height() * ScreenDpi / PageFormat::UnitsPerInch;
    const QSize room = m_scroll->viewport()->size() - QSize(2 * SheetMargin, 2 * SheetMargin);
    switch (zoom->currentIndex()) {
    case FitWidth:
        return std::max(0.1, (room.width() - m_scroll->verticalScrollBar()->sizeHint().width()) / width);
    case WholePage:
        return std::max(0.1, std::min(room.width() / width, room.height() / height));
    default:
        return Zooms[zoom->currentIndex() - FirstPercent];
    }
}

void PrintPreviewWindow::counted(int known, bool complete) {
    if (complete && m_lastPageAsked) {
        m_lastPageAsked = false;
        counted(known, complete);
        return goToPage(known - 1);
    }
    const QSignalBlocker block(pageNumber);
    pageNumber->setRange(1, std::max(1, known));
    pageCount->setText(complete ? tr("of %1").arg(QLocale().toString(known))
                                : tr("of %1+ (counting…)").arg(QLocale().toString(known)));
    // The page shown waited for its records, or lacked the number of pages at its foot.
    if (known > m_current &&
        (page->sizeHint().isEmpty() || page->width() <= 2 * SheetMargin || (complete && !m_shownWithCount)))
        render();
    else if (known == 0)
        page->setPage({});
}

void PrintPreviewWindow::goToLastPage() {
    if (!m_report)
        return;
    // Until the count is complete the last page known is a page in the middle: the count is waited for.
    if (!m_report->complete()) {
        m_lastPageAsked = true;
        return;
    }
    goToPage(m_report->knownPages() - 1);
}

void PrintPreviewWindow::goToPage(int index) {
    if (!m_report)
        return;
    m_lastPageAsked = false;
    const int known = m_report->knownPages();
    m_current = std::clamp(index, 0, std::max(0, known - 1));
    {
        const QSignalBlocker block(pageNumber);
        pageNumber->setValue(m_current + 1);
    }
    render();
    m_scroll->verticalScrollBar()->setValue(0);
}

void PrintPreviewWindow::step(int delta) {
    goToPage(m_current + delta);
}

void PrintPreviewWindow::render() {
    if (!m_report || m_current >= m_report->knownPages())
        return;
    PageContent content;
    try {
        content = m_report->page(m_current);
    } catch (const ReportError& e) {
        m_context.prompter.critical(QStringLiteral("The report cannot be shown.\n") + e.message());
        return;
    }
    if (content.rows.empty() && !content.noRecords)
        return; // the records changed and the pages are being counted again
    m_shownWithCount = content.count > 0;
    const double scale = zoomFactor() * ScreenDpi / PageFormat::UnitsPerInch;
    const double ratio = devicePixelRatioF();
    const QSize sheet = m_report->format().pageSize;
    QImage image(QSize(std::lround(sheet.width() * scale * ratio), std::lround(sheet.height() * scale * ratio)),
                 QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    painter.scale(scale, scale);
    paintPage(painter, m_report->format(), m_report->layout(), content);
    painter.end();
    page->setPage(std::move(image));
    const bool first = m_current == 0, last = m_current + 1 >= m_report->knownPages();
    cmdFirstPage->setEnabled(!first);
    cmdPreviousPage->setEnabled(!first);
    cmdNextPage->setEnabled(!last);
    cmdLastPage->setEnabled(!last);
    emit pageShown(m_current);
}

void PrintPreviewWindow::print() {
    if (m_job)
        return m_job->progressDialog()->raise();
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    printer->setFullPage(true);
    printer->setPageLayout(m_report->format().pageLayout);
    printer->setDocName(m_report->layout().title);
    if (!m_context.reportViewer.choosePrinter(*printer, this))
        return;
    // Printing to a file goes through the export, so that Cancel leaves no part of a file.
    if (printer->outputFormat() == QPrinter::PdfFormat && !printer->outputFileName().isEmpty())
        return startJob(std::make_unique<ReportPrintJob>(*m_report, printer->outputFileName(), this));
    startJob(std::make_unique<ReportPrintJob>(*m_report, std::move(printer), this));
}

void PrintPreviewWindow::exportPdf() {
    if (m_job)
        return m_job->progressDialog()->raise();
    const std::optional<QString> path =
        m_context.fileDialogs.saveFile({tr("Export to PDF"), m_report->layout().title + QStringLiteral(".pdf"),
                                        tr("PDF Files (*.pdf)"), QDir::homePath()});
    if (!path)
        return;
    QString file = *path;
    if (QFileInfo(file).suffix().isEmpty())
        file += QStringLiteral(".pdf");
    startJob(std::make_unique<ReportPrintJob>(*m_report, file, this));
}

void PrintPreviewWindow::startJob(std::unique_ptr<ReportPrintJob> job) {
    m_job = std::move(job);
    connect(m_job.get(), &ReportPrintJob::finished, this, &PrintPreviewWindow::jobFinished);
}

void PrintPreviewWindow::jobFinished(bool, const QString& failure) {
    m_job.release()->deleteLater(); // it is still sending this signal
    if (!failure.isEmpty())
        m_context.prompter.critical(failure);
}

void PrintPreviewWindow::changeEvent(QEvent* event) {
    // Coming back to the preview shows what has been saved meanwhile.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && m_report)
        render();
    AppWindow::changeEvent(event);
}

void PrintPreviewWindow::closeEvent(QCloseEvent* event) {
    if (m_job)
        m_job->cancel();
    AppWindow::closeEvent(event);
}

void PrintPreviewWindow::resizeEvent(QResizeEvent* event) {
    AppWindow::resizeEvent(event);
    if (m_report && zoom->currentIndex() <= WholePage)
        render();
}
