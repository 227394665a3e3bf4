#include "CreditWindow.h"

CreditWindow::CreditWindow(AppContext& context) : AppWindow(context, Name) {
    setWindowTitle(QStringLiteral("Picture Credit"));
}
