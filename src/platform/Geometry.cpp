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
    // Not shown yet, the window has no frame: it will get one like the other's, or
    // a usual title bar and border when the other has none of its own.
    QSize decorations = other->frameGeometry().size() - other->geometry().size();
    if (decorations.width() <= 0 && decorations.height() <= 0)
        decorations = QSize(8, 32);
    const QSize size = window->size() + decorations;
    const QSize least = window->minimumSize().expandedTo(QSize(1, 1)) + decorations;
    constexpr int Gap = 8;
    // The window on one side, as large as it is, or shrunk to the room there when
    // it may be that small: beside the other rather than over it.
    const auto fitted = [&](int roomWidth, int roomHeight) {
        return QSize(roomWidth >= least.width() ? std::min(size.width(), roomWidth) : size.width(),
                     roomHeight >= least.height() ? std::min(size.height(), roomHeight) : size.height());
    };
    const QSize right = fitted(area.right() - beside.right() - Gap, area.height());
    const QSize left = fitted(beside.left() - area.left() - Gap, area.height());
    const QSize below = fitted(area.width(), area.bottom() - beside.bottom() - Gap);
    const QSize above = fitted(area.width(), beside.top() - area.top() - Gap);
    const QRect candidates[] = {
        QRect(QPoint(beside.right() + 1 + Gap, beside.top()), right),
        QRect(QPoint(beside.left() - Gap - left.width(), beside.top()), left),
        QRect(QPoint(beside.left(), beside.bottom() + 1 + Gap), below),
        QRect(QPoint(beside.left(), beside.top() - Gap - above.height()), above),
    };
    QRect best;
    qint64 leastCovered = -1;
    for (const QRect& candidate : candidates) {
        const QRect kept = keptWithin(candidate, area);
        const qint64 covered = overlap(kept, beside);
        const bool larger = qint64(kept.width()) * kept.height() > qint64(best.width()) * best.height();
        if (leastCovered < 0 || covered < leastCovered || (covered == leastCovered && larger)) {
            leastCovered = covered;
            best = kept;
        }
    }
    window->resize(best.size() - decorations);
    window->move(best.topLeft());
}

void setLightBlueBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, QColor(129, 194, 255));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}
