#pragma once

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <functional>

class AppWindow;
class QWidget;

// The window registry: each window of the program exists at most once. Showing
// one that is open brings it to the front; a closed window is destroyed, so the
// next showing starts it afresh.
class Windows {
public:
    using Maker = std::function<AppWindow*()>;

    // Creates (running its load step) or raises the window of that name.
    // Returns null when a new window could not load.
    AppWindow* show(const QString& name, const Maker& make);
    template <class T, class... Args> T* show(Args&&... args) {
        return static_cast<T*>(show(T::Name, [&] { return new T(args...); }));
    }

    AppWindow* find(const QString& name) const;
    template <class T> T* find() const { return static_cast<T*>(find(T::Name)); }
    QList<AppWindow*> openWindows() const;
    // Closes every open window except the one given; returns false when one refused.
    bool closeAll(QWidget* except = nullptr);

private:
    QHash<QString, QPointer<AppWindow>> m_windows;
};
