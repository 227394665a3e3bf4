#pragma once

class QPainter;
struct PageContent;
struct PageFormat;
struct ReportLayout;

// Draws one page of a report. The painter's units are the format's layout
// units, with the sheet's top left corner at the origin.
void paintPage(QPainter& painter, const PageFormat& format, const ReportLayout& layout, const PageContent& page);
