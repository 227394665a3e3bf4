#pragma once

#include "platform/AppWindow.h"

class UtilityWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmBackup");
    explicit UtilityWindow(AppContext& context);
};
