#pragma once

#include "ReportLayout.h"

#include <QString>
#include <memory>

class QTextDocument;

// Runs a report layout over the database it names, as saved at that moment:
// one table of the layout's columns, its heading row repeated on every page,
// records in natural order. Printing numbers the pages.
class ReportEngine {
public:
    // The report file the next run uses.
    void setReportFileName(const QString& path) { m_reportFileName = path; }
    // The folder in which a layout's database name is looked up; the layout's
    // own folder when none is set.
    void setDataDirectory(const QString& directory) { m_dataDirectory = directory; }

    // Throws ReportError naming the file and the problem.
    std::unique_ptr<QTextDocument> run() const;
    static std::unique_ptr<QTextDocument> build(const ReportLayout& layout);

    // Set on the document: whether it prints across the page.
    static constexpr const char* LandscapeProperty = "landscape";

private:
    QString m_reportFileName;
    QString m_dataDirectory;
};
