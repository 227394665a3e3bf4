#pragma once

#include "Seams.h"

// The desktop's print dialog.
class QtReportViewer : public ReportViewer {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override;
};
