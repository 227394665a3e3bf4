#include "ReportEngine.h"

std::unique_ptr<Report> ReportEngine::run() const {
    ReportLayout layout = ReportLayout::load(m_reportFileName, m_dataDirectory);
    const QPageLayout page = PageFormat::defaultPage(layout.landscape);
    return std::make_unique<Report>(std::move(layout), page);
}

std::unique_ptr<Report> ReportEngine::build(const ReportLayout& layout) {
    auto report = std::make_unique<Report>(layout, PageFormat::defaultPage(layout.landscape));
    report->countNow();
    return report;
}
