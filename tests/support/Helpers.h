#pragma once

#include <QAbstractButton>
#include <QTest>
#include <QWidget>

// Clicks the named button of a window, as a user would.
inline void clickButton(QWidget* window, const QString& name) {
    auto* button = window->findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable("no button " + name));
    QVERIFY2(button->isVisible(), qPrintable("button not visible: " + name));
    // Check boxes and option buttons answer on their mark and caption only.
    const bool marked = button->inherits("QCheckBox") || button->inherits("QRadioButton");
    QTest::mouseClick(button, Qt::LeftButton, {}, marked ? QPoint(8, button->height() / 2) : QPoint());
}

// Clicks and ends the test at once when the button is missing or hidden.
#define click(window, name)                                                                                            \
    do {                                                                                                               \
        clickButton(window, name);                                                                                     \
        if (QTest::currentTestFailed())                                                                                \
            return;                                                                                                    \
    } while (false)
