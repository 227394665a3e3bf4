#include "UtilityWindow.h"

#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"

#include <QApplication>
#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>
#include <QStandardPaths>

namespace {

const QString DatabaseFilter = QStringLiteral("Database Files (*.mdb)");
constexpr int SizeLeft = 1935; // where the two sizes begin in the side panel

// The busy pointer while files are copied, restored on every way out.
struct BusyPointer {
    BusyPointer() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyPointer() { QApplication::restoreOverrideCursor(); }
};

// Shows how far a repair has come, with a Cancel, and keeps the windows
// answering: the repair tells it now and then as it runs, and the event loop
// turns there.
class RepairProgress {
public:
    explicit RepairProgress(QWidget* window) : m_dialog(window) {
        m_dialog.setObjectName(QStringLiteral("repairProgress"));
        m_dialog.setWindowTitle(QStringLiteral(" Repair Database"));
        m_dialog.setLabelText(QStringLiteral("Repairing the database..."));
        m_dialog.setCancelButtonText(QStringLiteral("Cancel"));
        m_dialog.setWindowModality(Qt::WindowModal);
        m_dialog.setAutoClose(false);
        m_dialog.setAutoReset(false);
        m_dialog.setMinimumDuration(0);
        m_dialog.setRange(0, 0);
        m_dialog.show();
    }

    // Answers false once the user asked to stop.
    bool tell(int permille) {
        if (permille == CopyProgress::Busy) {
            m_dialog.setRange(0, 0);
        } else {
            m_dialog.setRange(0, 1000);
            m_dialog.setValue(permille);
        }
        QApplication::processEvents();
        return !m_dialog.wasCanceled();
    }

private:
    QProgressDialog m_dialog;
};

struct PanelText {
    const char* name;
    const char* caption;
    const char* button;
    const char* buttonCaption;
    const char* tooltip;
    const char* first;
    int firstTop;
    const char* second;
    int secondTop;
};

const PanelText Panels[] = {
    {"backupPanel", "Database Backup ", "cmdBackup", "&Backup", " Backup the Database  ",
     "You should always backup the database after adding a lot of new information or deleting several records. If you "
     "have just viewed your information, then there is no need to do a backup.",
     480,
     "When you click the Backup button, a Folder Dialog box appears. Just navigate to the folder, floppy drive, USB "
     "drive, or wherever you want to save the backup and then click the \"Save\" button. The file will be saved as "
     "\"password\".",
     1860},
    {"restorePanel", "Restore Database", "cmdRestore", "&Restore", " Restore a Backup Database ",
     "This will restore a previously saved backup of your database.", 480,
     "Clicking the \"Restore\" button opens a Folder Dialog box. Navigate to the folder, floppy disk, or wherever you "
     "saved your backup database and select the \"password\" file. Click the \"Open\" button and your backup will be "
     "restored to the program. Restart Quillmere Password Storage and your backed up information will be displayed.",
     1320},
    {"repairPanel", "Repair Database  ", "cmdRepair", "Re&pair", " Repair the Database  ",
     "The \"Repair\" button not only fixes a damaged database, it also compresses or get rids of the empty records "
     "that remain when you delete items.",
     480,
     "If Quillmere Password Storage has been closed by accident, such as a crash or computer malfunction, you should "
     "immediately do a Repair before using the program again.",
     1620},
};

// The reason goes on the message's second line, whatever SQLite put in it.
QString oneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' '));
}

QString withReport(const QString& done, const DatabaseFiles::Outcome& outcome) {
    return outcome.report.isEmpty() ? done : done + QLatin1Char('\n') + outcome.report;
}

QLabel* wrapped(QWidget* parent, const char* text, int top, int bottom) {
    QLabel* label = makeLabel(parent, QString::fromUtf8(text), 2220, top, 3495, bottom - top);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, 2220, top, 3495, bottom - top);
    return label;
}

} // namespace

UtilityWindow::UtilityWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      m_files(context.dataDirectory) {
    setWindowTitle(QStringLiteral(" Database Utility"));
    setLightBlueBackground(this);
    setClientSize(this, 9270, 5490);

    QGroupBox* header = makeFrame(this, QStringLiteral("jcFrames1"),
                                  QStringLiteral("Quillmere Password Storage Database Utility"), 60, 60, 9135, 735);
    makePicture(header, QStringLiteral("Image1"), QStringLiteral("app"), 120, 240, 420, 420);

    QGroupBox* side = makeFrame(this, QStringLiteral("jcFrames2"), QString(), 60, 840, 3075, 3855);
    for (const auto& [text, left, top] : {std::tuple{"Database", 435, 240}, std::tuple{"Maintenance", 1095, 540}}) {
        QLabel* title = makeLabel(side, QString::fromUtf8(text), left, top, 1900, 300);
        QFont big = title->font();
        big.setPointSizeF(12);
        big.setBold(true);
        title->setFont(big);
        fitLabel(title);
    }
    makePicture(side, QStringLiteral("Image2"), QStringLiteral("lock"), 1080, 1020, 900, 900);
    // Captions and sizes stand where the design puts them; a caption too wide for
    // its place before the size is shown in a smaller font.
    QList<QLabel*> captions;
    for (const auto& [text, left, top] :
         {std::tuple{"Database Current Size:", 180, 2160}, std::tuple{"Database After Repair:", 195, 2460}}) {
        const int width = SizeLeft - 30 - left;
        captions << makeLabel(side, QString::fromUtf8(text), left, top, width, 195);
        fitLabelWithin(captions.last(), twips(width));
    }
    shareSmallestFont(captions);
    Label8 = makeLabel(side, QStringLiteral("KB"), SizeLeft, 2160, 1005, 195);
    Label8->setObjectName(QStringLiteral("Label8"));
    Label9 = makeLabel(side, QStringLiteral("?"), SizeLeft, 2460, 1005, 195);
    Label9->setObjectName(QStringLiteral("Label9"));

    cmdDBackup = makeButton(this, QStringLiteral("cmdDBackup"), QStringLiteral("Database Backup"),
                            QStringLiteral(" Show Backup Information"), 3180, 840, 1935, 390);
    cmdDRestore = makeButton(this, QStringLiteral("cmdDRestore"), QStringLiteral("Restore Database"),
                             QStringLiteral(" Show Restore Information  "), 5160, 840, 1935, 390);
    cmdDRepair = makeButton(this, QStringLiteral("cmdDRepair"), QStringLiteral("Repair Database"),
                            QStringLiteral(" Show Repair Information  "), 7140, 840, 2055, 390);

    QGroupBox* panels[3];
    QPushButton* actions[3];
    for (int i = 0; i < 3; ++i) {
        const PanelText& p = Panels[i];
        panels[i] = makeFrame(this, QString::fromUtf8(p.name), QString::fromUtf8(p.caption), 3180, 1260, 6015, 3435);
        actions[i] = makeButton(panels[i], QString::fromUtf8(p.button), QString::fromUtf8(p.buttonCaption),
                                QString::fromUtf8(p.tooltip), 300, 660, 1515, 390);
        wrapped(panels[i], p.first, p.firstTop, p.secondTop - 60);
        wrapped(panels[i], p.second, p.secondTop, 3375);
    }
    backupPanel = panels[0];
    restorePanel = panels[1];
    repairPanel = panels[2];
    cmdBackup = actions[0];
    cmdRestore = actions[1];
    cmdRepair = actions[2];

    QGroupBox* bottom = makeFrame(this, QStringLiteral("jcFrames3"), QString(), 60, 4740, 9135, 675);
    cmdExit = makeButton(bottom, QStringLiteral("cmdExit"), QStringLiteral("&Exit"), QStringLiteral(" Close  "), 7800,
                         120, 1215, 390);

    cmdDExchange = makeButton(side, QStringLiteral("cmdDExchange"), QStringLiteral("Import / Export"),
                              QStringLiteral(" Show Import and Export Information "), 180, 3000, 2715, 390);
    exchangePanel =
        makeFrame(this, QStringLiteral("exchangePanel"), QStringLiteral("Import / Export"), 3180, 1260, 6015, 3435);
    exchange = new ExchangePanel(exchangePanel, context);

    auto* topics = new QButtonGroup(this);
    const std::pair<QPushButton*, QGroupBox*> topicPanels[] = {{cmdDBackup, backupPanel},
                                                               {cmdDRestore, restorePanel},
                                                               {cmdDRepair, repairPanel},
                                                               {cmdDExchange, exchangePanel}};
    for (const auto& topic : topicPanels) {
        QPushButton* button = topic.first;
        QGroupBox* panel = topic.second;
        button->setCheckable(true);
        topics->addButton(button);
        connect(button, &QPushButton::clicked, this, [this, button, panel] { selectTopic(button, panel); });
    }
    connect(cmdBackup, &QPushButton::clicked, this, &UtilityWindow::backUp);
    connect(cmdRestore, &QPushButton::clicked, this, &UtilityWindow::restore);
    connect(cmdRepair, &QPushButton::clicked, this, &UtilityWindow::repair);
    connect(cmdExit, &QPushButton::clicked, this, &UtilityWindow::exitProgram);

    selectTopic(cmdDBackup, backupPanel);
    const std::optional<qint64> size = m_files.databaseSize();
    Label8->setText(size ? DatabaseFiles::sizeText(*size, QLocale()) : QStringLiteral("not found"));
    fitLabel(Label8);
    centerOnScreen(this);
}

void UtilityWindow::selectTopic(QPushButton* topic, QGroupBox* panel) {
    topic->setChecked(true);
    for (QGroupBox* p : {backupPanel, restorePanel, repairPanel, exchangePanel})
        p->setVisible(p == panel);
}

QString UtilityWindow::documentsFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

void UtilityWindow::backUp() {
    const std::optional<QString> chosen = m_context.fileDialogs.saveFile(
        {QStringLiteral("Save Database Backup"), QStringLiteral("password"), DatabaseFilter, documentsFolder()});
    if (!chosen)
        return;
    DatabaseFiles::Outcome outcome;
    {
        BusyPointer busy;
        outcome = m_files.backup(*chosen);
    }
    if (!outcome.ok) {
        m_context.prompter.warn(QStringLiteral("The backup has not been saved.\n") + outcome.error);
        return;
    }
    m_context.prompter.info(QStringLiteral("Backup has been saved."));
}

void UtilityWindow::restore() {
    const std::optional<QString> chosen = m_context.fileDialogs.openFile(
        {QStringLiteral("Restore Backup Database"), QString(), DatabaseFilter, documentsFolder()});
    if (!chosen) {
        m_context.prompter.warn(QStringLiteral("Database has not been restored."));
        return;
    }
    DatabaseFiles::Outcome outcome;
    {
        BusyPointer busy;
        outcome = m_files.restore(*chosen);
    }
    if (!outcome.ok) {
        m_context.prompter.warn(QStringLiteral("Database has not been restored.\n") + oneLine(outcome.error));
        return;
    }
    m_context.prompter.info(
        withReport(QStringLiteral("Your backup copy of the database has been restored !"), outcome));
}

void UtilityWindow::repair() {
    DatabaseFiles::Outcome outcome;
    {
        RepairProgress progress(this);
        outcome = m_files.repair([&progress](int permille) { return progress.tell(permille); });
    }
    if (outcome.notFound) {
        m_context.prompter.warn(
            QStringLiteral("Can't find database.\nPlease make sure that Quillmere Password Storage is not running."),
            QStringLiteral("Database not found"));
        return;
    }
    if (!outcome.ok) {
        m_context.prompter.warn(QStringLiteral("DataBase has not been repaired.\n") + oneLine(outcome.error));
        return;
    }
    m_context.prompter.info(withReport(QStringLiteral("DataBase has been repaired !"), outcome));
    Label9->setText(DatabaseFiles::sizeText(m_files.databaseSize().value_or(0), QLocale()));
    fitLabel(Label9);
}

void UtilityWindow::exitProgram() {
    m_context.windows.closeAll(this);
    close();
}
