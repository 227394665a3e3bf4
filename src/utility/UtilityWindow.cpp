#include "UtilityWindow.h"

UtilityWindow::UtilityWindow(AppContext& context) : AppWindow(context, Name) {
    setWindowTitle(QStringLiteral(" Database Utility"));
}
