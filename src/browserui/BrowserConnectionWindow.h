#pragma once

#include "browser/ExtensionAsker.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// Asks whether a browser extension may connect to the records, and under
// which name the connection is kept.
class BrowserConnectionWindow : public QDialog {
    Q_OBJECT
public:
    static inline const QString Title = QStringLiteral("Browser Connection Request");
    explicit BrowserConnectionWindow(const ExtensionAsker::ConnectionRequest& request, QWidget* parent = nullptr);
    // The name typed, when the user pressed Allow.
    std::optional<QString> chosenName() const;

    QLabel* lblRequest;
    QLineEdit* txtName;
    QPushButton* cmdAllow;
    QPushButton* cmdDeny;
};
