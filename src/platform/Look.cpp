#include "Look.h"

#include <QApplication>
#include <QFont>
#include <QStyleFactory>

void applyProgramLook(QApplication& app) {
    QFont font = QApplication::font();
    font.setPointSizeF(8.25);
    QApplication::setFont(font);
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        app.setStyle(fusion);
}
