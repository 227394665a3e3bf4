#include "HelpWindow.h"

HelpWindow::HelpWindow(AppContext& context) : AppWindow(context, Name) {
    setWindowTitle(QStringLiteral("Quillmere Password Storage Help"));
}
