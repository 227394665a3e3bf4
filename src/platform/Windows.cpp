#include "Windows.h"

#include "AppWindow.h"

AppWindow* Windows::show(const QString& name, const Maker& make) {
    if (AppWindow* open = find(name)) {
        if (open->isMinimized())
            open->showNormal();
        open->raise();
        open->activateWindow();
        return open;
    }
    AppWindow* window = make();
    if (!window->load()) {
        delete window;
        return nullptr;
    }
    m_windows.insert(name, window);
    window->show();
    window->activateWindow();
    return window;
}

AppWindow* Windows::find(const QString& name) const {
    auto it = m_windows.find(name);
    // A closed window waits for its deletion hidden; it counts as gone.
    if (it == m_windows.end() || !it.value() || !it.value()->isVisible())
        return nullptr;
    return it.value().data();
}

QList<AppWindow*> Windows::openWindows() const {
    QList<AppWindow*> open;
    for (const auto& window : m_windows) {
        if (window && window->isVisible())
            open << window.data();
    }
    return open;
}

bool Windows::closeAll(QWidget* except) {
    bool allClosed = true;
    for (AppWindow* window : openWindows()) {
        if (window != except)
            allClosed = window->close() && allClosed;
    }
    return allClosed;
}
