#pragma once

#include "ReportEngine.h"
#include "platform/AppWindow.h"

#include <QImage>
#include <memory>

class QComboBox;
class QLabel;
class QScrollArea;
class QSpinBox;
class QToolButton;
class ReportPrintJob;

// The sheet of the page shown, at the zoom chosen.
class PageView : public QWidget {
    Q_OBJECT
public:
    using QWidget::QWidget;
    void setPage(QImage page);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_page;
};

// The print preview of one section's report: one page at a time, drawn from
// the records of that page only, with page navigation, zoom, printing and
// export to PDF. It opens at once whatever the size of the table; the number
// of pages shows as soon as they are counted.
class PrintPreviewWindow : public AppWindow {
    Q_OBJECT
public:
    // The window's name in the window registry: one preview per layout file.
    static QString nameFor(const QString& layoutFile);
    PrintPreviewWindow(AppContext& context, const QString& name, const ReportEngine& engine);
    ~PrintPreviewWindow() override;
    bool load() override;

    Report* report() const { return m_report.get(); }
    ReportPrintJob* job() const { return m_job.get(); }
    int currentPage() const { return m_current; } // from 0
    // The zoom as a factor of the sheet's real size on a 96 dpi screen.
    double zoomFactor() const;

    void goToPage(int index);
    // The report's last page, once the pages are all counted.
    void goToLastPage();
    void print();
    void exportPdf();

    QToolButton *cmdFirstPage, *cmdPreviousPage, *cmdNextPage, *cmdLastPage;
    QToolButton *cmdZoomOut, *cmdZoomIn, *cmdPrintReport, *cmdExportPdf;
    QSpinBox* pageNumber;
    QLabel* pageCount;
    QComboBox* zoom;
    PageView* page;

signals:
    // The current page has been drawn.
    void pageShown(int index);

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void build();
    void counted(int known, bool complete);
    void render();
    void step(int delta);
    void startJob(std::unique_ptr<ReportPrintJob> job);
    void jobFinished(bool complete, const QString& failure);

    const ReportEngine& m_engine;
    std::unique_ptr<Report> m_report;
    std::unique_ptr<ReportPrintJob> m_job;
    QScrollArea* m_scroll = nullptr;
    int m_current = 0;
    bool m_shownWithCount = false;
    bool m_lastPageAsked = false; // the last page was asked for while the pages were being counted
};
