#include "Controls.h"

#include "Geometry.h"

#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QSvgRenderer>
#include <QTextLayout>
#include <QTextOption>
#include <QToolButton>
#include <limits>

QString picturePath(const QString& picture) {
    return QStringLiteral(":/images/%1.svg").arg(picture);
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, const QString& tooltip, int left,
                        int top, int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setToolTip(tooltip);
    button->setAutoDefault(false);
    place(button, left, top, width, height);
    return button;
}

QToolButton* makePictureButton(QWidget* parent, const QString& name, const QString& picture, const QString& tooltip,
                               int left, int top, int width, int height) {
    auto* button = new QToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(tooltip);
    button->setAccessibleName(tooltip.trimmed());
    button->setIcon(QIcon(picturePath(picture)));
    place(button, left, top, width, height);
    button->setIconSize(QSize(button->width() - 6, button->height() - 6));
    button->setAutoRaise(false);
    return button;
}

QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width,
                     int height) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(name);
    place(frame, left, top, width, height);
    return frame;
}

QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width, int height,
                  Qt::Alignment alignment) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(alignment);
    if (width > 0) {
        place(label, left, top, width, height > 0 ? height : 195);
        fitLabel(label);
    } else {
        label->move(twips(left), twips(top));
        label->adjustSize();
    }
    return label;
}

void fitLabel(QLabel* label) {
    const int needed = label->sizeHint().width();
    const int height = std::max(label->height(), label->sizeHint().height());
    QRect area = label->geometry();
    const int extra = std::max(0, needed - area.width());
    if (label->alignment() & Qt::AlignRight)
        area.setLeft(area.left() - extra);
    else if (label->alignment() & Qt::AlignHCenter)
        area.adjust(-extra / 2, 0, extra - extra / 2, 0);
    else
        area.setWidth(area.width() + extra);
    area.setTop(area.top() - (height - area.height()) / 2);
    area.setHeight(height);
    label->setGeometry(area);
}

namespace {
// Small, but still read without effort on a desktop screen.
constexpr qreal SmallestPointSize = 6.5;
constexpr qreal PointStep = 0.25;
} // namespace

void fitLabelWithin(QLabel* label, int width) {
    QFont font = label->font();
    while (label->sizeHint().width() > width && font.pointSizeF() - PointStep >= SmallestPointSize) {
        font.setPointSizeF(font.pointSizeF() - PointStep);
        label->setFont(font);
    }
    const int height = std::max(label->height(), label->sizeHint().height());
    const QRect area = label->geometry();
    label->setGeometry(area.left(), area.top() - (height - area.height()) / 2, width, height);
}

void shareSmallestFont(const QList<QLabel*>& labels) {
    if (labels.isEmpty())
        return;
    QFont smallest = labels.first()->font();
    for (QLabel* label : labels) {
        if (label->font().pointSizeF() < smallest.pointSizeF())
            smallest = label->font();
    }
    for (QLabel* label : labels)
        label->setFont(smallest);
}

namespace {
// The height the box's text takes at a font, laid out as the box lays it out.
qreal textHeight(const QPlainTextEdit* box, const QFont& font) {
    const qreal margin = box->document()->documentMargin();
    int width = box->contentsRect().width();
    if (box->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn)
        width -= box->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, box);
    // The box keeps room for the cursor beside the margins.
    const qreal lineWidth = width - 2 * margin - box->cursorWidth() - 1;
    QTextOption option;
    option.setWrapMode(box->wordWrapMode());
    qreal height = margin;
    QStringList paragraphs = box->toPlainText().split(QLatin1Char('\n'));
    if (!paragraphs.isEmpty() && paragraphs.last().isEmpty())
        paragraphs.removeLast();
    for (const QString& paragraph : paragraphs) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(lineWidth);
            height += line.height();
        }
        layout.endLayout();
    }
    return height;
}
} // namespace

void fitTextToBox(QPlainTextEdit* box) {
    // A text that fits needs no scroll bar, and gains its width.
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QFont font = box->font();
    const int room = box->contentsRect().height();
    while (textHeight(box, font) > room && font.pointSizeF() - PointStep >= SmallestPointSize)
        font.setPointSizeF(font.pointSizeF() - PointStep);
    box->setFont(font);
    if (textHeight(box, font) > room)
        box->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
}

QLabel* makePicture(QWidget* parent, const QString& name, const QString& picture, int left, int top, int width,
                    int height) {
    auto* label = new QLabel(parent);
    label->setObjectName(name);
    place(label, left, top, width, height);
    QPixmap pixmap(label->size() * label->devicePixelRatioF());
    pixmap.setDevicePixelRatio(label->devicePixelRatioF());
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QSvgRenderer(picturePath(picture)).render(&painter, QRectF(QPointF(0, 0), QSizeF(label->size())));
    painter.end();
    label->setPixmap(pixmap);
    return label;
}

QLineEdit* makeBox(QWidget* parent, const QString& name, int left, int top, int width, int height, bool locked) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(locked);
    // No box limits what can be typed; Qt's default would cut a text at 32,767 characters.
    box->setMaxLength(std::numeric_limits<int>::max());
    place(box, left, top, width, height);
    return box;
}

QPlainTextEdit* makeTextArea(QWidget* parent, const QString& name, int left, int top, int width, int height,
                             bool locked) {
    auto* box = new QPlainTextEdit(parent);
    box->setObjectName(name);
    box->setReadOnly(locked);
    box->setTabChangesFocus(true);
    box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    place(box, left, top, width, height);
    return box;
}

void makeOptionGroup(const QList<QRadioButton*>& options) {
    const auto takeTabAtSelected = [options] {
        for (QRadioButton* option : options)
            option->setFocusPolicy(option->isChecked() ? Qt::StrongFocus : Qt::ClickFocus);
    };
    for (QRadioButton* option : options)
        QObject::connect(option, &QRadioButton::toggled, option, takeTabAtSelected);
    takeTabAtSelected();
}

void ClickablePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()))
        emit clicked();
    QLabel::mouseReleaseEvent(event);
}
