#pragma once

class QPushButton;
class QWidget;
struct AppContext;

// The Import / Export panel's "Merge" button: merges a copy of the database
// that was changed on another computer (a sync tool's conflict copy, a file
// carried over on a stick) into this one, and tells what it brought. Records are
// matched by identity; the newer change wins and the version that lost is kept.
QPushButton* addMergeButton(QWidget* panel, AppContext& context);
