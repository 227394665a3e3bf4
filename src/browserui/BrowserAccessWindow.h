#pragma once

#include "browser/ExtensionAsker.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QListWidget;
class QPushButton;

// Asks whether a site may have the logins of the records that match it.
class BrowserAccessWindow : public QDialog {
    Q_OBJECT
public:
    static inline const QString Title = QStringLiteral("Browser Access Request");
    explicit BrowserAccessWindow(const ExtensionAsker::AccessRequest& request, QWidget* parent = nullptr);
    ExtensionAsker::AccessAnswer answer() const;

    QLabel* lblRequest;
    QListWidget* lstRecords;
    QCheckBox* chkRemember;
    QPushButton* cmdAllow;
    QPushButton* cmdDeny;
};
