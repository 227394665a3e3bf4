#include "Geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

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

namespace {

// The rectangle moved the least that lies whole within the area (its top left when it is larger).
QRect keptWithin(QRect r, const QRect& area) {
    r.moveLeft(std::max(area.left(), std::min(r.left(), area.right() - r.width() + 1)));
    r.moveTop(std::max(area.top(), std::min(r.top(), area.bottom() - r.height() + 1)));
    return r;
}

qint64 overlap(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    return common.isEmpty() ? 0 : qint64(common.width()) * common.height();
}

} // namespace

void placeBeside(QWidget* window, const QWidget* other) {
    if (!other || !other->isVisible())
        return centerOnScreen(window);
    QScreen* screen = other->screen() ? other->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QRect beside = other->frameGeometry();
    // Not shown yet, the window has no frame: it will get one like the other's.
    const QSize decorations = other->frameGeometry().size() - other->geometry().size();
    const QSize size = window->size() + decorations;
    constexpr int Gap = 8;
    const QRect candidates[] = {
        QRect(QPoint(beside.right() + 1 + Gap, beside.top()), size),
        QRect(QPoint(beside.left() - Gap - size.width(), beside.top()), size),
        QRect(QPoint(beside.left(), beside.bottom() + 1 + Gap), size),
        QRect(QPoint(beside.left(), beside.top() - Gap - size.height()), size),
    };
    QRect best;
    qint64 least = -1;
    for (const QRect& candidate : candidates) {
        const QRect kept = keptWithin(candidate, area);
        const qint64 covered = overlap(kept, beside);
        if (least < 0 || covered < least) {
            least = covered;
            best = kept;
        }
    }
    window->move(best.topLeft());
}

void setLightBlueBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(129, 194, 255));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
