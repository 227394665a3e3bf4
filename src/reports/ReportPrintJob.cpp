#include "ReportPrintJob.h"

#include "PageFormat.h"
#include "PagePainter.h"
#include "Report.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QProgressDialog>
#include <QRandomGenerator>
#include <QScopedValueRollback>
#include <cstdio>

namespace {

// Time given to the pages in one turn of the event loop: short enough that the
// windows answer at once.
constexpr int SliceMs = 30;

} // namespace

ReportPrintJob::ReportPrintJob(Report& report, QWidget* window) : m_report(report) {
    m_progress = new QProgressDialog(window);
    m_progress->setWindowTitle(QStringLiteral("Printing"));
    m_progress->setObjectName(QStringLiteral("printProgress"));
    m_progress->setWindowModality(Qt::WindowModal);
    m_progress->setMinimumDuration(0);
    m_progress->setRange(0, 1000);
    m_progress->setAutoClose(false);
    m_progress->setAutoReset(false);
    connect(m_progress, &QProgressDialog::canceled, this, &ReportPrintJob::cancel);
    m_timer.setInterval(0);
    connect(&m_timer, &QTimer::timeout, this, &ReportPrintJob::step);
    m_timer.start();
    m_progress->show();
}

ReportPrintJob::ReportPrintJob(Report& report, const QString& pdfPath, QWidget* window)
    : ReportPrintJob(report, window) {
    m_pdfPath = pdfPath;
    const QFileInfo target(pdfPath);
    m_partPath =
        target.absoluteDir().filePath(QStringLiteral(".%1.%2.part")
                                          .arg(target.fileName())
                                          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0')));
}

ReportPrintJob::ReportPrintJob(Report& report, std::unique_ptr<QPrinter> printer, QWidget* window)
    : ReportPrintJob(report, window) {
    m_printer = std::move(printer);
}

ReportPrintJob::~ReportPrintJob() {
    blockSignals(true); // whoever listened is going too
    if (!m_done)
        finish(false);
    delete m_progress;
}

void ReportPrintJob::cancel() {
    if (!m_done)
        finish(false);
}

bool ReportPrintJob::begin() {
    m_total = m_report.knownPages();
    QPagedPaintDevice* device = m_printer.get();
    if (!m_pdfPath.isEmpty()) {
        auto pdf = std::make_unique<QPdfWriter>(m_partPath);
        pdf->setResolution(PageFormat::UnitsPerInch);
        pdf->setCreator(QStringLiteral("Quillmere Password Storage"));
        pdf->setTitle(m_report.layout().title);
        pdf->setPageLayout(m_report.format().pageLayout);
        device = pdf.get();
        m_pdf = std::move(pdf);
    } else {
        m_printer->setFullPage(true);
        m_printer->setDocName(m_report.layout().title);
    }
    m_painter = std::make_unique<QPainter>();
    if (!m_painter->begin(device)) {
        finish(false, m_pdfPath.isEmpty() ? QStringLiteral("The printer cannot be used.")
                                          : QStringLiteral("The file %1 cannot be written.").arg(m_pdfPath));
        return false;
    }
    m_painter->setRenderHint(QPainter::Antialiasing);
    return true;
}

void ReportPrintJob::writePage() {
    const PageContent page = m_report.page(m_next);
    if (page.count != m_total) {
        finish(false, QStringLiteral("The records changed while the report was printed; please print it again."));
        return;
    }
    QPaintDevice* device = m_painter->device();
    const QSize sheet = m_report.format().pageSize;
    // The report's sheet in device pixels; a smaller paper gets it scaled down to fit.
    const double dpiX = device->logicalDpiX() / double(PageFormat::UnitsPerInch);
    const double dpiY = device->logicalDpiY() / double(PageFormat::UnitsPerInch);
    const double fit =
        std::min({1.0, device->width() / (sheet.width() * dpiX), device->height() / (sheet.height() * dpiY)});
    if (m_next > 0) {
        auto* paged = static_cast<QPagedPaintDevice*>(device);
        if (!paged->newPage()) {
            finish(false, QStringLiteral("The page could not be started."));
            return;
        }
    }
    m_painter->save();
    m_painter->scale(dpiX * fit, dpiY * fit);
    paintPage(*m_painter, m_report.format(), m_report.layout(), page);
    m_painter->restore();
    ++m_next;
}

void ReportPrintJob::step() {
    // The progress dialog runs events while it shows a value: no step may start inside another.
    if (m_done || m_stepping)
        return;
    const QScopedValueRollback stepping(m_stepping, true);
    try {
        if (!m_report.complete()) {
            m_progress->setLabelText(QStringLiteral("Counting the pages…"));
            m_progress->setValue(int(m_report.progress() * 1000));
            m_timer.setInterval(50);
            return;
        }
        m_timer.setInterval(0);
        if (!m_painter && !begin())
            return;
        QElapsedTimer slice;
        slice.start();
        while (!m_done && m_next < m_total && slice.elapsed() < SliceMs)
            writePage();
        if (m_done)
            return;
        m_progress->setLabelText(QStringLiteral("Page %1 of %2").arg(m_next).arg(m_total));
        m_progress->setValue(int(1000.0 * m_next / std::max(1, m_total)));
        if (m_next >= m_total)
            finish(true);
    } catch (const std::exception& e) {
        finish(false, QString::fromUtf8(e.what()));
    }
}

void ReportPrintJob::finish(bool complete, const QString& failure) {
    if (m_done)
        return;
    m_done = true;
    m_timer.stop();
    if (m_painter && m_painter->isActive()) {
        if (!complete && m_printer)
            m_printer->abort();
        if (!m_painter->end() && complete) {
            complete = false;
        }
    }
    m_painter.reset();
    m_pdf.reset();
    QString why = failure;
    if (!m_partPath.isEmpty()) {
        if (complete &&
            std::rename(QFile::encodeName(m_partPath).constData(), QFile::encodeName(m_pdfPath).constData()) != 0) {
            complete = false;
            why = QStringLiteral("The file %1 cannot be written.").arg(m_pdfPath);
        }
        if (!complete)
            QFile::remove(m_partPath);
    }
    if (m_progress)
        m_progress->hide();
    emit finished(complete, why);
}
