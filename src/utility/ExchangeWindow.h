#pragma once

#include "platform/AppWindow.h"

class ExchangePanel;
class QGroupBox;
class QPushButton;

// The Import / Export panel in a window of its own, opened from the main
// window: the program goes on running beside it.
class ExchangeWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmExchange");
    explicit ExchangeWindow(AppContext& context);

    QGroupBox* exchangePanel;
    ExchangePanel* exchange;
    QPushButton* cmdClose;
};
