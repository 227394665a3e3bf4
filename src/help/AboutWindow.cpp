#include "AboutWindow.h"

AboutWindow::AboutWindow(AppContext& context) : AppWindow(context, Name) {
    setWindowTitle(QStringLiteral("About"));
}
