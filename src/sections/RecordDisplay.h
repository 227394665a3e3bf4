#pragma once

#include "Section.h"
#include "store/DataBinder.h"

// The window that shows records: a record found elsewhere is shown there.
class RecordDisplay {
public:
    virtual ~RecordDisplay() = default;
    // Shows the section's panel with the record current in its binder, and
    // brings the window to the front. False when the record no longer exists.
    virtual bool showRecord(Section section, RecordKey key) = 0;
};
