#pragma once

// The five kinds of record (beside the schema, which the command line shares); each
// is one table, one main-window binder, one record editor and one report.
#include "store/Section.h"

class DataBinder;

// What the panels and the record commands need of the main window.
class SectionBinders {
public:
    virtual ~SectionBinders() = default;
    virtual DataBinder& binder(Section section) = 0;
};
