#pragma once

#include "DatabaseFiles.h"
#include "ExchangePanel.h"
#include "platform/AppWindow.h"

class QGroupBox;
class QLabel;
class QPushButton;

// The database utility, offered while the program closes: backup, restore and
// repair of the record database, one panel each.
class UtilityWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmBackup");
    explicit UtilityWindow(AppContext& context);

    QLabel* Label8;
    QLabel* Label9;
    QPushButton* cmdDBackup;
    QPushButton* cmdDRestore;
    QPushButton* cmdDRepair;
    QGroupBox* backupPanel;
    QGroupBox* restorePanel;
    QGroupBox* repairPanel;
    QPushButton* cmdBackup;
    QPushButton* cmdRestore;
    QPushButton* cmdRepair;
    QPushButton* cmdExit;
    // Import and export: a fourth topic, in the side panel below the sizes.
    QPushButton* cmdDExchange;
    QGroupBox* exchangePanel;
    ExchangePanel* exchange;

private:
    void selectTopic(QPushButton* topic, QGroupBox* panel);
    void backUp();
    void restore();
    void repair();
    void exitProgram();
    QString documentsFolder() const;

    DatabaseFiles m_files;
};
