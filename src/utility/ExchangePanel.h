#pragma once

#include "exchange/ImportFile.h"

#include <QObject>

struct AppContext;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QPushButton;

// The "Import / Export" panel: records in from another password manager's or
// a browser's export file (a password-protected Bitwarden export with its
// password), and out to Bitwarden JSON, password-protected or not, or CSV
// files. Its controls go into the frame given, laid out like the utility's
// other panels; the database utility and a window of its own both show it.
class ExchangePanel : public QObject {
    Q_OBJECT
public:
    ExchangePanel(QGroupBox* frame, AppContext& context);

    QPushButton* cmdImport;
    QPushButton* cmdExportJson;
    QPushButton* cmdExportCsv;
    QPushButton* cmdMerge; // see MergeAction.h
    // Bitwarden's password-protected JSON export.
    QPushButton* cmdExportProtected;
    // One CSV file for KeePassXC.
    QPushButton* cmdExportKeePassXc;
    QPushButton* cmdBrowser; // the browser extension's host, set up
    QComboBox* cboEncoding;
    QCheckBox* chkChooseColumns; // the columns of any CSV file are chosen before it is imported

signals:
    // Records have been written to the record database.
    void imported();

private:
    void chooseImport();
    void importWith(const QString& path, ImportOptions options);
    void exportJson();
    void exportProtected();
    // Asks for the file's password and reads the export inside; false when
    // cancelled or refused, the user told why.
    bool unlock(const QString& path, ImportOptions& options);
    void exportCsv();
    void exportKeePassXc();
    QString databasePath() const;

    QGroupBox* m_frame;
    AppContext& m_context;
};
