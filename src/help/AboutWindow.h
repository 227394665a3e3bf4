#pragma once

#include "platform/AppWindow.h"

class AboutWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmAbout");
    explicit AboutWindow(AppContext& context);
};
