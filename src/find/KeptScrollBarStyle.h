#pragma once

#include <QCache>
#include <QPixmap>
#include <QProxyStyle>

// Draws scroll bars as the program's style does and keeps each look it drew as
// a picture. The Find list's scroll bar changes with every keystroke that fills
// or empties the list, and the style's gradients (filled by worker threads at
// that height) took a fifth of such a keystroke; the looks repeat as the user types.
class KeptScrollBarStyle : public QProxyStyle {
    Q_OBJECT
public:
    KeptScrollBarStyle();
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget = nullptr) const override;

private:
    struct Look {
        QSize size;
        qreal pixelRatio = 1;
        int minimum = 0, maximum = 0, position = 0, pageStep = 0;
        Qt::Orientation orientation = Qt::Vertical;
        Qt::LayoutDirection direction = Qt::LeftToRight;
        bool upsideDown = false;
        int state = 0, subControls = 0, activeSubControls = 0;
        qint64 palette = 0;
        int colorGroup = 0;
        bool operator==(const Look& other) const = default;
    };
    friend size_t qHash(const Look& look, size_t seed) {
        return qHashMulti(seed, look.size.width(), look.size.height(), look.pixelRatio, look.minimum, look.maximum,
                          look.position, look.pageStep, int(look.orientation), int(look.direction), look.upsideDown,
                          look.state, look.subControls, look.activeSubControls, look.palette, look.colorGroup);
    }

    mutable QCache<Look, QPixmap> m_drawn;
};
