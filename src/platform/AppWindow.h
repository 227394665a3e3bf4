#pragma once

#include <QWidget>

struct AppContext;

// A top-level window of the program. Windows are created by Windows, which
// runs load() once before the first show; a window that cannot load has told
// the user why and is discarded.
class AppWindow : public QWidget {
    Q_OBJECT
public:
    AppWindow(AppContext& context, const QString& name, QWidget* parent = nullptr, Qt::WindowFlags flags = {});
    virtual bool load() { return true; }

protected:
    // Return and Enter press the focused button, as Space does.
    void keyPressEvent(QKeyEvent* event) override;

    AppContext& m_context;
};
