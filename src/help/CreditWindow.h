#pragma once

#include "platform/AppWindow.h"

class CreditWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmCredit");
    explicit CreditWindow(AppContext& context);
};
