#pragma once

class QWidget;

// Twips: 1440 per inch, 15 per pixel at 96 dots per inch. Qt scales pixels
// further on high-dpi screens.
constexpr int twips(int value) {
    return (value + (value >= 0 ? 7 : -7)) / 15;
}

// Places a control at a position and size given in twips, relative to its parent.
void place(QWidget* widget, int left, int top, int width, int height);
// Gives a window a fixed client area given in twips.
void setClientSize(QWidget* window, int width, int height);
// Centres a window on its screen without relying on a window manager.
void centerOnScreen(QWidget* window);
// Places a window beside another (right, left, below or above, whichever
// covers it least), always whole on the other's screen; a window that may be
// smaller is shrunk to the room on a side rather than cover the other. Centred
// when there is no other window.
void placeBeside(QWidget* window, const QWidget* other);
// The light-blue background the program's windows and panels share.
void setLightBlueBackground(QWidget* widget);
