#pragma once

#include "platform/AppWindow.h"
#include "store/Migration.h"

class QLabel;
class QProgressBar;
class QTimer;

// Shown while the record database is brought up to date at start, before the
// sign-in window: the program is alive and how far the work has come. It
// cannot be closed; the work is one transaction, so a kill loses nothing.
class MigrationWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmUpdating");
    MigrationWindow(AppContext& context, const Migration::Progress& progress);

    QLabel* message;
    QProgressBar* progressBar;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void showProgress();

    const Migration::Progress& m_progress;
    QTimer* m_poll;
};
