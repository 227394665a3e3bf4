#include "AppWindow.h"

#include "ButtonAccessibility.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QToolButton>

AppWindow::AppWindow(AppContext& context, const QString& name, QWidget* parent, Qt::WindowFlags flags)
    : QWidget(parent, flags), m_context(context) {
    setObjectName(name);
    setAttribute(Qt::WA_DeleteOnClose);
    installButtonAccessibility();
}

void AppWindow::keyPressEvent(QKeyEvent* event) {
    // A button that does not take Return itself passes it up to its window. No
    // button is a window's default: Return in a box still presses nothing.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    QWidget* focus = focusWidget();
    if (enter && !event->isAutoRepeat() && (qobject_cast<QPushButton*>(focus) || qobject_cast<QToolButton*>(focus))) {
        auto* button = static_cast<QAbstractButton*>(focus);
        if (button->isEnabled()) {
            button->click();
            event->accept();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}
