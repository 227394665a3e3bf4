#pragma once

#include "Report.h"
#include "ReportLayout.h"

#include <QString>
#include <memory>

// Runs a report layout over the database it names, as saved at that moment:
// one table of the layout's columns, its heading row repeated on every page,
// records in natural order, pages numbered.
class ReportEngine {
public:
    // The report file the next run uses.
    void setReportFileName(const QString& path) { m_reportFileName = path; }
    const QString& reportFileName() const { return m_reportFileName; }
    // The folder in which a layout's database name is looked up; the layout's
    // own folder when none is set.
    void setDataDirectory(const QString& directory) { m_dataDirectory = directory; }

    // The report on the layout's own paper, its pages not counted yet. Throws ReportError.
    std::unique_ptr<Report> run() const;
    // The report with every page counted. Throws ReportError.
    static std::unique_ptr<Report> build(const ReportLayout& layout);

private:
    QString m_reportFileName;
    QString m_dataDirectory;
};
