#include "ExchangePanel.h"

#include "BrowserSetup.h"
#include "ColumnMappingDialog.h"
#include "MergeAction.h"
#include "browser/HostManifests.h"
#include "exchange/CsvReader.h"
#include "exchange/ExchangeError.h"
#include "exchange/Exporter.h"
#include "exchange/Importer.h"
#include "exchange/ProtectedExport.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "store/Schema.h"

#include <QApplication>
#include <QCheckBox>
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

// The first rows after the header, as the mapping dialog shows them; a file
// without a header line starts with one.
QList<QStringList> firstRows(const QString& path, Encoding encoding, const QStringList& header) {
    QList<QStringList> rows;
    try {
        CsvReader csv(path, encoding);
        QStringList cells;
        qint64 line = 0;
        if (csv.nextRow(cells, line) && cells != header)
            rows << cells.mid(0, ColumnMappingDialog::MaxShownColumns);
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

    // The actions down the left, what they do on the right; Merge and Browser
    // below the texts.
    cmdImport = makeButton(panel, QStringLiteral("cmdImport"), QStringLiteral("&Import"),
                           QStringLiteral(" Import an Export File "), 300, 300, 1815, 360);
    makeLabel(panel, QStringLiteral("File encoding:"), 300, 720, 1815, 195);
    cboEncoding = new QComboBox(panel);
    cboEncoding->setObjectName(QStringLiteral("cboEncoding"));
    cboEncoding->addItem(QStringLiteral("Detected"));
    for (Encoding encoding : {Encoding::Utf8, Encoding::Windows1252, Encoding::Utf16LE, Encoding::Utf16BE})
        cboEncoding->addItem(encodingName(encoding), int(encoding));
    place(cboEncoding, 300, 915, 1815, 315);
    chkChooseColumns = new QCheckBox(QStringLiteral("Choose c&olumns"), panel);
    chkChooseColumns->setObjectName(QStringLiteral("chkChooseColumns"));
    chkChooseColumns->setToolTip(QStringLiteral(" Choose the Columns of any CSV File before it is Imported "));
    place(chkChooseColumns, 300, 1275, 1815, 300);
    cmdExportJson = makeButton(panel, QStringLiteral("cmdExportJson"), QStringLiteral("Export &JSON"),
                               QStringLiteral(" Export to a Bitwarden JSON File "), 300, 1620, 1815, 360);
    cmdExportCsv = makeButton(panel, QStringLiteral("cmdExportCsv"), QStringLiteral("Export &CSV"),
                              QStringLiteral(" Export to one CSV File per Section "), 300, 2010, 1815, 360);
    cmdExportProtected =
        makeButton(panel, QStringLiteral("cmdExportProtected"), QStringLiteral("Export &Protected"),
                   QStringLiteral(" Export to a Password-Protected Bitwarden JSON File "), 300, 2400, 1815, 360);
    cmdExportKeePassXc = makeButton(panel, QStringLiteral("cmdExportKeePassXc"), QStringLiteral("Export &KeePassXC"),
                                    QStringLiteral(" Export to a CSV File for KeePassXC "), 300, 2790, 1815, 360);
    cmdMerge = addMergeButton(panel, context);
    place(cmdMerge, 2220, 2400, 1515, 360);
    cmdBrowser = makeButton(panel, QStringLiteral("cmdBrowser"), QStringLiteral("&Browser"),
                            QStringLiteral(" Let the Browser Extension Fill Your Logins "), 3900, 2400, 1515, 360);

    wrapped(panel,
            QStringLiteral("Import reads exports of Bitwarden (also password-protected), KeePassXC, KeePass, Chrome, "
                           "Firefox, LastPass, NordPass, Proton Pass, 1Password, Dashlane or any CSV file."),
            300, 1000);
    wrapped(panel,
            QStringLiteral("Export writes a Bitwarden JSON file (Protected: with a password), CSV files per section, "
                           "or one for KeePassXC. Plain files hold passwords as text."),
            1320, 1000);
    wrapped(panel,
            QStringLiteral("Merge takes in a copy changed on another computer; Browser lets Firefox and Chromium fill "
                           "your logins."),
            2820, 580);

    connect(cmdImport, &QPushButton::clicked, this, &ExchangePanel::chooseImport);
    connect(cmdExportJson, &QPushButton::clicked, this, &ExchangePanel::exportJson);
    connect(cmdExportCsv, &QPushButton::clicked, this, &ExchangePanel::exportCsv);
    connect(cmdExportProtected, &QPushButton::clicked, this, &ExchangePanel::exportProtected);
    connect(cmdExportKeePassXc, &QPushButton::clicked, this, &ExchangePanel::exportKeePassXc);
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
    if (kind.passwordProtected && !unlock(*chosen, options))
        return;
    const bool chooseColumns =
        kind.kind == FileKind::UnknownCsv || (kind.kind == FileKind::KnownCsv && chkChooseColumns->isChecked());
    if (!chooseColumns) {
        importWith(*chosen, options);
        return;
    }
    auto* dialog = new ColumnMappingDialog(m_frame->window(), kind.header,
                                           firstRows(*chosen, kind.encoding, kind.header), kind.formatName);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    const QString path = *chosen;
    connect(dialog, &QDialog::accepted, this, [this, dialog, path, options] {
        ImportOptions mapped = options;
        mapped.mapping = dialog->mapping();
        importWith(path, mapped);
    });
    dialog->open();
}

void ExchangePanel::importWith(const QString& path, ImportOptions options) {
    const Importer importer(databasePath());
    try {
        Importer::Preview preview;
        try {
            BusyPointer busy;
            preview = importer.preview(path, options);
        } catch (const BadLineError& e) {
            // The user may leave such lines out, told which they are, or import nothing.
            if (!m_context.prompter.ask(e.message() +
                                            QStringLiteral("\n\nImport the other lines, leaving out each line of "
                                                           "the wrong number of values? Choose No to import nothing."),
                                        QStringLiteral("Import")))
                return;
            options.skipBadLines = true;
            BusyPointer busy;
            preview = importer.preview(path, options);
        }
        QString question = Importer::previewText(preview);
        if (!options.mapping && preview.format.contains(QLatin1String("CSV")))
            question += QStringLiteral("\n\nTo choose the columns yourself, tick \"Choose columns\" and import "
                                       "the file again.");
        if (!m_context.prompter.ask(question + QStringLiteral("\n\nImport these records?"), QStringLiteral("Import")))
            return;
        Importer::Result result;
        {
            BusyPointer busy;
            result = importer.run(path, options);
        }
        emit imported();
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

bool ExchangePanel::unlock(const QString& path, ImportOptions& options) {
    const std::optional<QString> password = m_context.prompter.password(
        QStringLiteral("The file is a password-protected Bitwarden export. Its password:"), QStringLiteral("Import"));
    if (!password)
        return false;
    try {
        BusyPointer busy;
        options.unlocked = ProtectedExport::unlock(path, *password);
        return true;
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("Nothing has been imported.\n") + e.message());
        return false;
    }
}

void ExchangePanel::exportProtected() {
    const std::optional<QString> chosen = m_context.fileDialogs.saveFile(
        {QStringLiteral("Export Records with a Password"), QStringLiteral("quillmere-export-protected.json"),
         QStringLiteral("JSON Files (*.json)"), documentsFolder()});
    if (!chosen)
        return;
    const QString title = QStringLiteral("Export Protected");
    const std::optional<QString> password =
        m_context.prompter.password(QStringLiteral("The password that will protect the file:"), title);
    if (!password)
        return;
    if (password->isEmpty()) {
        m_context.prompter.warn(QStringLiteral("The records have not been exported.\nThe password is empty."), title);
        return;
    }
    const std::optional<QString> again = m_context.prompter.password(QStringLiteral("The same password again:"), title);
    if (!again)
        return;
    if (*again != *password) {
        m_context.prompter.warn(QStringLiteral("The records have not been exported.\nThe two passwords typed differ."),
                                title);
        return;
    }
    try {
        SectionCounts counts;
        {
            BusyPointer busy;
            counts = Exporter(databasePath()).writeProtectedJson(*chosen, *password);
        }
        m_context.prompter.info(Exporter::resultText(counts, *chosen, true));
    } catch (const ExchangeError& e) {
        m_context.prompter.warn(QStringLiteral("The records have not been exported.\n") + e.message());
    }
}

void ExchangePanel::exportKeePassXc() {
    const std::optional<QString> chosen = m_context.fileDialogs.saveFile(
        {QStringLiteral("Export Records for KeePassXC"), QStringLiteral("quillmere-keepassxc.csv"),
         QStringLiteral("CSV Files (*.csv)"), documentsFolder()});
    if (!chosen)
        return;
    try {
        SectionCounts counts;
        {
            BusyPointer busy;
            counts = Exporter(databasePath()).writeKeePassXcCsv(*chosen);
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
