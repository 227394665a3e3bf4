#include "ExchangePanel.h"

#include "BrowserSetup.h"
#include "ColumnMappingDialog.h"
#include "browser/HostManifests.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/Schema.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStandardPaths>

namespace {

const QString ImportFilter = QStringLiteral("Export Files (*.json *.csv);;All Files (*)");

struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
};

QString documentsFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QLabel* wrapped(QWidget* parent, const QString& text, int top, int height) {
    QLabel* label = makeLabel(parent, text, 2220, top, 3495, height);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, 2220, top, 3495, height);
    return label;
}

// The first rows after the header, as the mapping dialog shows them.
QList<QStringList> firstRows(const QString& path, Encoding encoding) {
    QList<QStringList> rows;
    try {
        CsvReader csv(path, encoding);
        QStringList cells;
        qint64 line = 0;
        csv.nextRow(cells, line);
        while (rows.size() < Importer::PreviewRows && csv.nextRow(cells, line))
            rows << cells.mid(0, ColumnMappingDialog::MaxShownColumns);
    } catch (const ExchangeError&) {
        // A fault further on is reported when the file is imported.
    }
    return rows;
}

} // namespace

ExchangePanel::ExchangePanel(QGroupBox* frame, AppContext& context)
    : QObject(frame), m_frame(frame), m_context(context) {
    QWidget* const panel = frame;

    cmdImport = makeButton(panel, QStringLiteral("cmdImport"), QStringLiteral("&Import"),
                           QStringLiteral(" Import an Export File "), 300, 660, 1515, 390);
    cmdExportJson = makeButton(panel, QStringLiteral("cmdExportJson"), QStringLiteral("Export &JSON"),
                               QStringLiteral(" Export to a Bitwarden JSON File "), 300, 1560, 1515, 390);
    cmdExportCsv = makeButton(panel, QStringLiteral("cmdExportCsv"), QStringLiteral("Export &CSV"),
                              QStringLiteral(" Export to one CSV File per Section "), 300, 2040, 1515, 390);
    cmdBrowser = makeButton(panel, QStringLiteral("cmdBrowser"), QStringLiteral("&Browser"),
                            QStringLiteral(" Let the Browser Extension Fill Your Logins "), 300, 2580, 1515, 390);
    makeLabel(panel, QStringLiteral("File encoding:"), 300, 1080, 1515, 195);
    cboEncoding = new QComboBox(panel);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItem(QStringLiteral("Detected"));
    for (Encoding encoding : {Encoding::Utf8, Encoding::Windows1252, Encoding::Utf16LE, Encoding::Utf16BE})
        cboEncoding->addItem(encodingName(encoding), int(encoding));
    place(cboEncoding, 300, 1260, 1515, 315);

    wrapped(panel,
            QStringLiteral("Import brings in the records of an export file from Bitwarden (JSON or CSV), KeePassXC, "
                           "Chrome, Edge or Firefox, or any CSV file with a header line. You see what will be "
                           "imported before anything is saved; records you already have are skipped."),
            300, 1500);
    wrapped(panel,
            QStringLiteral("Export writes all your records to a Bitwarden JSON file, or to one CSV file per section "
                           "in the folder you choose. Export files hold your passwords in plain text: delete them "
                           "when you no longer need them."),
            1860, 690);
    wrapped(panel,
            QStringLiteral("Browser lets Firefox and Chromium fill your logins through the KeePassXC-Browser "
                           "extension while Quillmere is open."),
            2580, 480);

    connect(cmdImport, &QPushButton::clicked, this, &ExchangePanel::chooseImport);
    connect(cmdExportJson, &QPushButton::clicked, this, &ExchangePanel::exportJson);
    connect(cmdExportCsv, &QPushButton::clicked, this, &ExchangePanel::exportCsv);
    connect(cmdBrowser, &QPushButton::clicked, this, [this] {
        setUpBrowsers(m_context, QDir::homePath(),
                      QDir(QCoreApplication::applicationDirPath()).filePath(HostManifests::HostExecutable));
    });
}

QString ExchangePanel::databasePath() const {
    return m_context.file(Schema::RecordDatabaseFile);
}

void ExchangePanel::chooseImport() {
    const std::optional<QString> chosen =
        m_context.fileDialogs.openFile({QStringLiteral("Import Records"), QString(), ImportFilter, documentsFolder()});
    if (!chosen)
        return;
    ImportOptions options;
    if (cboEncoding->currentIndex() > 0)
        options.encoding = static_cast<Encoding>(cboEncoding->currentData().toInt());
    FileKind kind;
    try {
        kind = inspectFile(*chosen, options);
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("Nothing has been imported.\n") + e.message());
        return;
    }
    // A guessed encoding is used only once the user agrees to it.
    if (!kind.detected.certain && !m_context.prompter.ask(kind.detected.question(), QStringLiteral("Import")))
        return;
    options.encoding = kind.encoding; // found once, not again by each reading
    if (kind.kind != FileKind::UnknownCsv) {
        importWith(*chosen, options);
        return;
    }
    auto* dialog = new ColumnMappingDialog(m_frame->window(), kind.header, firstRows(*chosen, kind.encoding));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString path = *chosen;
    connect(dialog, &QDialog::accepted, this, [this, dialog, path, options] {
        ImportOptions mapped = options;
        mapped.mapping = dialog->mapping();
        importWith(path, mapped);
    });
    dialog->open();
}

void ExchangePanel::importWith(const QString& path, const ImportOptions& options) {
    const Importer importer(databasePath());
    try {
        Importer::Preview preview;
        {
            BusyPointer busy;
            preview = importer.preview(path, options);
        }
        if (!m_context.prompter.ask(Importer::previewText(preview) + QStringLiteral("\n\nImport these records?"),
                                    QStringLiteral("Import")))
            return;
        Importer::Result result;
        {
            BusyPointer busy;
            result = importer.run(path, options);
        }
        m_context.prompter.info(Importer::resultText(result));
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("Nothing has been imported.\n") + e.message());
    }
}

void ExchangePanel::exportJson() {
    const std::optional<QString> chosen =
        m_context.fileDialogs.saveFile({QStringLiteral("Export Records"), QStringLiteral("quillmere-export.json"),
                                        QStringLiteral("JSON Files (*.json)"), documentsFolder()});
    if (!chosen)
        return;
    try {
        SectionCounts counts;
        {
            BusyPointer busy;
            counts = Exporter(databasePath()).writeJson(*chosen);
        }
        m_context.prompter.info(Exporter::resultText(counts, *chosen));
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("The records have not been exported.\n") + e.message());
    }
}

void ExchangePanel::exportCsv() {
    // The five files go into the folder of the chosen name, as a backup does.
    const std::optional<QString> chosen = m_context.fileDialogs.saveFile(
        {QStringLiteral("Export Records as CSV"), Exporter::csvFileName(Section::Passwords),
         QStringLiteral("CSV Files (*.csv)"), documentsFolder()});
    if (!chosen)
        return;
    const QString folder = QFileInfo(*chosen).absolutePath();
    try {
        SectionCounts counts;
        {
            BusyPointer busy;
            counts = Exporter(databasePath()).writeCsv(folder);
        }
        m_context.prompter.info(Exporter::resultText(counts, folder));
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("The records have not been exported.\n") + e.message());
    }
}
