#pragma once

#include "platform/AppWindow.h"

class HelpWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmHelp");
    explicit HelpWindow(AppContext& context);
};
