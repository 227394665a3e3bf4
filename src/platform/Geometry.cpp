#include "Geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

void place(QWidget* widget, int left, int top, int width, int height) {
    widget->setGeometry(twips(left), twips(top), twips(width), twips(height));
}

void setClientSize(QWidget* window, int width, int height) {
    window->setFixedSize(twips(width), twips(height));
}

void centerOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    window->move(area.center() - QPoint(window->width() / 2, window->height() / 2));
}

void setLightBlueBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(129, 194, 255));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
