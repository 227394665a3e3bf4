#pragma once

#include "Fakes.h"
#include "app/MainWindow.h"

#include <QTest>

// The main window shown as the sign-in shows it, and active, as a user finds it.
inline MainWindow* openMainWindow(FakeContext& fake) {
    MainWindow* main = fake.windows.show<MainWindow>(fake.context);
    if (main)
        (void)QTest::qWaitForWindowActive(main);
    return main;
}
