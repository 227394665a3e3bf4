#pragma once

#include "exchange/ImportFile.h"

#include <QObject>

struct AppContext;
class QComboBox;
class QGroupBox;
class QPushButton;

// The database utility's "Import / Export" panel: records in from another
// password manager's or a browser's export file, and out to Bitwarden JSON or
// CSV files. Its controls go into the frame given, laid out like the
// utility's other panels.
class ExchangePanel : public QObject {
    Q_OBJECT
public:
    ExchangePanel(QGroupBox* frame, AppContext& context);

    QPushButton* cmdImport;
    QPushButton* cmdExportJson;
    QPushButton* cmdExportCsv;
    QPushButton* cmdBrowser;
    QComboBox* cboEncoding;

private:
    void chooseImport();
    void importWith(const QString& path, const ImportOptions& options);
    void exportJson();
    void exportCsv();
    QString databasePath() const;

    QGroupBox* m_frame;
    AppContext& m_context;
};
