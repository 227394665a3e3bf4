#pragma once

#include <QList>
#include <QString>
#include <Qt>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QToolButton;
class QWidget;

// Makers for the controls every window uses. Positions and sizes are in twips,
// relative to the parent; the name is the control's objectName.
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, const QString& tooltip, int left,
                        int top, int width, int height);
// A button that shows a picture only; screen readers get its tooltip as its name.
QToolButton* makePictureButton(QWidget* parent, const QString& name, const QString& picture, const QString& tooltip,
                               int left, int top, int width, int height);
// A framed group with a caption.
QGroupBox* makeFrame(QWidget* parent, const QString& name, const QString& caption, int left, int top, int width,
                     int height);
// A label; a width of 0 sizes it to its text. A text wider than the label grows
// it away from its aligned edge, so no text is ever cut off.
QLabel* makeLabel(QWidget* parent, const QString& text, int left, int top, int width = 0, int height = 0,
                  Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter);
// Grows a label to its text's width as above, after its text or font changed.
void fitLabel(QLabel* label);
// Keeps a label where it is and within the given width (in pixels): a text too
// wide for it is shown in a smaller font, down to a size that stays readable.
void fitLabelWithin(QLabel* label, int width);
// Labels that belong together share the smallest of their fonts.
void shareSmallestFont(const QList<QLabel*>& labels);
// Makes a box's font smaller, down to a size that stays readable, until its
// whole text shows without scrolling; a final line break may stay out of view.
// The box shows a scroll bar only when the text does not fit even then.
void fitTextToBox(QPlainTextEdit* box);
QLabel* makePicture(QWidget* parent, const QString& name, const QString& picture, int left, int top, int width,
                    int height);
// A one-line text box; a locked box can be read and selected, not changed.
QLineEdit* makeBox(QWidget* parent, const QString& name, int left, int top, int width, int height, bool locked = false);
// A box of several lines with a vertical scroll bar; Tab moves on to the next box.
QPlainTextEdit* makeTextArea(QWidget* parent, const QString& name, int left, int top, int width, int height,
                             bool locked = false);
// Option buttons that exclude each other take the keyboard as one control: Tab
// enters the group at its selected option, the arrow keys move and select.
void makeOptionGroup(const QList<QRadioButton*>& options);
// The path of one of the program's pictures.
QString picturePath(const QString& picture);

#include <QLabel>

// A picture that reports a left click.
class ClickablePicture : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};
