#include "KeptScrollBarStyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionSlider>

namespace {
// Enough for every look a list's scroll bar takes while the user types.
constexpr int KeptLooks = 64;
} // namespace

KeptScrollBarStyle::KeptScrollBarStyle()
    : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), m_drawn(KeptLooks) {}

void KeptScrollBarStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                            QPainter* painter, const QWidget* widget) const {
    const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
    if (control != CC_ScrollBar || !bar || bar->rect.isEmpty()) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    const Look look{bar->rect.size(),
                    ratio,
                    bar->minimum,
                    bar->maximum,
                    bar->sliderPosition,
                    bar->pageStep,
                    bar->orientation,
                    bar->direction,
                    bar->upsideDown,
                    int(bar->state),
                    int(bar->subControls),
                    int(bar->activeSubControls),
                    bar->palette.cacheKey(),
                    int(bar->palette.currentColorGroup())};
    QPixmap* drawn = m_drawn.object(look);
    if (!drawn) {
        drawn = new QPixmap(bar->rect.size() * ratio);
        drawn->setDevicePixelRatio(ratio);
        // The style covers the whole bar: an opaque picture is copied, not blended.
        drawn->fill(bar->palette.color(QPalette::Window));
        QPainter picture(drawn);
        QStyleOptionSlider atOrigin = *bar;
        atOrigin.rect.moveTo(0, 0);
        QProxyStyle::drawComplexControl(control, &atOrigin, &picture, widget);
        picture.end();
        m_drawn.insert(look, drawn);
    }
    painter->drawPixmap(bar->rect.topLeft(), *drawn);
}
