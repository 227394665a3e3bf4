#include "CreditWindow.h"

#include "platform/Controls.h"
#include "platform/Geometry.h"

#include <QLabel>
#include <QPushButton>

CreditWindow::CreditWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Picture Credit"));
    setLightBlueBackground(this);
    setClientSize(this, 7605, 7470);

    makePicture(this, QStringLiteral("Image1"), QStringLiteral("photo"), 480, 360, 6645, 4700);
    QLabel* credit = makeLabel(this,
                               QStringLiteral("Pictures: the landscape, the icons and the banner were drawn for "
                                              "Quillmere Password Storage by its own developers, as simple "
                                              "vector drawings. They may be used with the program."),
                               480, 5280, 6645, 900);
    credit->setObjectName(QStringLiteral("Label1"));
    credit->setWordWrap(true);
    credit->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    place(credit, 480, 5280, 6645, 900);
    // Two buttons with no action of their own, as the window always had.
    makePicture(this, QStringLiteral("Image2"), QStringLiteral("lock"), 480, 6360, 600, 600);
    makePicture(this, QStringLiteral("Image3"), QStringLiteral("key"), 6525, 6360, 600, 600);
    makeButton(this, QStringLiteral("Command1"), QStringLiteral("Landscape"), QString(), 2280, 6480, 1335, 390);
    makeButton(this, QStringLiteral("Command2"), QStringLiteral("Icons"), QString(), 3990, 6480, 1335, 390);
    centerOnScreen(this);
}
