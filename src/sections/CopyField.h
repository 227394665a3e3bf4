#pragma once

#include <QString>

struct AppContext;
class QWidget;

// The copy buttons' rule: an empty text is refused with a warning; any other
// text goes to the clipboard unchanged and the main window minimises, so the
// page the user pastes into comes back to the front.
void copyField(AppContext& context, const QString& text, QWidget* mainWindow);
