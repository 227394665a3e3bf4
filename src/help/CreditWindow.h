#pragma once

#include "platform/AppWindow.h"

// Credits the program's pictures to their maker.
class CreditWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmCredit");
    explicit CreditWindow(AppContext& context);
};
