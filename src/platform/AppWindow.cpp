#include "AppWindow.h"

AppWindow::AppWindow(AppContext& context, const QString& name, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_context(context) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
}
