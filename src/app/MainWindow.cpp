#include "MainWindow.h"

#include "find/FindWindow.h"
#include "help/AboutWindow.h"
#include "help/CreditWindow.h"
#include "help/HelpWindow.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"
#include "reports/PrintCommands.h"
#include "sections/NotesPanel.h"
#include "sections/PasswordPanel.h"
#include "sections/PersonalPanel.h"
#include "sections/RecordCommands.h"
#include "sections/RemindersPanel.h"
#include "store/Schema.h"
#include "store/StoreError.h"
#include "sync/ConflictWatcher.h"
#include "utility/ExchangePanel.h"
#include "utility/ExchangeWindow.h"
#include "utility/UtilityWindow.h"

#include <QButtonGroup>
#include <QCalendarWidget>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QSvgRenderer>
#include <QToolButton>

namespace {

QLabel* countLabel(QWidget* parent, const QString& name, int top) {
    QLabel* label = makeLabel(parent, QString(), 6540, top, 1400, 195);
    label->setObjectName(name);
    QFont font = label->font();
    font.setBold(true);
    font.setPointSizeF(8.25);
    label->setFont(font);
    fitLabel(label);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::yellow);
    label->setPalette(palette);
    return label;
}

} // namespace

MainWindow::MainWindow(AppContext& context) : AppWindow(context, Name, nullptr, Qt::Window | Qt::FramelessWindowHint) {
    setWindowTitle(ProgramTitle);
    setWindowIcon(QIcon(picturePath(QStringLiteral("app"))));
    setClientSize(this, 9090, 6225);

    DatCCard = new DataBinder(this);
    DatNotes = new DataBinder(this);
    DatPassword = new DataBinder(this);
    DatPersonal = new DataBinder(this);
    DatReminders = new DataBinder(this);

    buildHomeView();
    PicPassword = new PasswordPanel(this, context, *DatPassword);
    PicPersonal = new PersonalPanel(this, context, *DatPersonal, *DatCCard);
    Pictodo = new RemindersPanel(this, *DatReminders);
    PicNotes = new NotesPanel(this, *DatNotes);
    for (QWidget* panel : {static_cast<QWidget*>(PicPassword), static_cast<QWidget*>(PicPersonal),
                           static_cast<QWidget*>(Pictodo), static_cast<QWidget*>(PicNotes)}) {
        place(panel, 120, 1200, 8835, 4875);
        setLightBlueBackground(panel);
        panel->hide();
    }
    buildSectionButtons();

    m_commands = new RecordCommands(context, *this, this);
    connect(Pictodo, &RemindersPanel::dayClicked, m_commands, &RecordCommands::addReminder);
    new PrintCommands(context, this);
    centerOnScreen(this);
}

void MainWindow::buildHomeView() {
    auto* photo = new ClickablePicture(this);
    Image1 = photo;
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setToolTip(QStringLiteral(" Click to show Picture Credit "));
    place(Image1, 390, 1650, 5130, 3630);
    Image1->setPixmap(QIcon(picturePath(QStringLiteral("photo"))).pixmap(Image1->size()));
    Image1->setScaledContents(true);
    connect(photo, &ClickablePicture::clicked, this, [this] { m_context.windows.show<CreditWindow>(m_context); });

    QLabel* itemsSaved = makeLabel(this, QStringLiteral("Items Saved"), 6540, 1980, 1305, 240);
    itemsSaved->setObjectName(QStringLiteral("Label28"));
    QFont headingFont = itemsSaved->font();
    headingFont.setBold(true);
    headingFont.setUnderline(true);
    headingFont.setPointSizeF(9.75);
    itemsSaved->setFont(headingFont);
    fitLabel(itemsSaved);
    QPalette white = itemsSaved->palette();
    white.setColor(QPalette::WindowText, Qt::white);
    itemsSaved->setPalette(white);

    Label29 = countLabel(this, QStringLiteral("Label29"), 2460);
    Label30 = countLabel(this, QStringLiteral("Label30"), 2940);
    Label31 = countLabel(this, QStringLiteral("Label31"), 3420);
    Label32 = countLabel(this, QStringLiteral("Label32"), 3900);
    const QString icons[] = {"key", "note", "bell", "card"};
    const int tops[] = {2460, 2940, 3420, 3900};
    for (int i = 0; i < 4; ++i)
        makePicture(this, QStringLiteral("Image%1").arg(i + 2), icons[i], 6060, tops[i], 240, 240);
    makePicture(this, QStringLiteral("Image6"), QStringLiteral("lock"), 7080, 5400, 480, 480);
    makePicture(this, QStringLiteral("Image7"), QStringLiteral("lock"), 1600, 5400, 480, 480);

    QLabel* credit =
        makeLabel(this, QStringLiteral("Your passwords, kept close."), 3465, 5580, 2175, 195, Qt::AlignCenter);
    credit->setObjectName(QStringLiteral("Label33"));
    QPalette yellow = credit->palette();
    yellow.setColor(QPalette::WindowText, Qt::yellow);
    credit->setPalette(yellow);
}

void MainWindow::buildSectionButtons() {
    cmdAbout = makePictureButton(this, QStringLiteral("cmdAbout"), QStringLiteral("about"), QStringLiteral(" About "),
                                 300, 390, 495, 435);
    cmdHelp = makePictureButton(this, QStringLiteral("cmdHelp"), QStringLiteral("help"), QStringLiteral(" Show Help "),
                                840, 390, 495, 435);
    cmdMinimize = makePictureButton(this, QStringLiteral("cmdMinimize"), QStringLiteral("minimize"),
                                    QStringLiteral(" Minimize to Taskbar "), 7800, 390, 495, 435);
    cmdClose = makePictureButton(this, QStringLiteral("cmdClose"), QStringLiteral("close"), QStringLiteral(" Exit "),
                                 8340, 390, 495, 435);
    // Side by side between the last section button (right edge 7035) and cmdMinimize (7800).
    cmdFind = makePictureButton(this, QStringLiteral("cmdFind"), QStringLiteral("find"), QStringLiteral(" Find "), 7050,
                                390, 345, 435);
    cmdExchange = makePictureButton(this, QStringLiteral("cmdExchange"), QStringLiteral("exchange"),
                                    QStringLiteral(" Import / Export "), 7425, 390, 345, 435);
    connect(cmdFind, &QToolButton::clicked, this, &MainWindow::showFind);
    connect(cmdExchange, &QToolButton::clicked, this, &MainWindow::showExchange);
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, &MainWindow::showFind);
    connect(cmdAbout, &QToolButton::clicked, this, [this] { m_context.windows.show<AboutWindow>(m_context); });
    connect(cmdHelp, &QToolButton::clicked, this, [this] { m_context.windows.show<HelpWindow>(m_context); });
    connect(cmdMinimize, &QToolButton::clicked, this, &QWidget::showMinimized);
    connect(cmdClose, &QToolButton::clicked, this, &QWidget::close);

    cmdPasswords = makeButton(this, QStringLiteral("cmdPasswords"), QStringLiteral("Passwords"),
                              QStringLiteral(" Show Passwords "), 2040, 525, 1275, 495);
    cmdNotes = makeButton(this, QStringLiteral("cmdNotes"), QStringLiteral("     Notes "),
                          QStringLiteral(" Show Notes "), 3300, 525, 1275, 495);
    cmdTodo = makeButton(this, QStringLiteral("cmdTodo"), QStringLiteral("     To Do "),
                         QStringLiteral(" Show Reminders "), 4560, 525, 1215, 495);
    cmdPersonal = makeButton(this, QStringLiteral("cmdPersonal"), QStringLiteral("Personal   "),
                             QStringLiteral(" Personal Data "), 5760, 525, 1275, 495);
    // The buttons keep themselves pressed; the group releases the other three.
    auto* group = new QButtonGroup(this);
    group->setExclusive(true);
    const std::pair<QPushButton*, QWidget*> sections[] = {
        {cmdPasswords, PicPassword}, {cmdNotes, PicNotes}, {cmdTodo, Pictodo}, {cmdPersonal, PicPersonal}};
    for (const auto& section : sections) {
        QWidget* panel = section.second;
        section.first->setCheckable(true);
        group->addButton(section.first);
        connect(section.first, &QPushButton::clicked, this, [this, panel] { showSection(panel); });
    }
}

void MainWindow::showSection(QWidget* panel) {
    for (QWidget* p : {static_cast<QWidget*>(PicPassword), static_cast<QWidget*>(PicNotes),
                       static_cast<QWidget*>(Pictodo), static_cast<QWidget*>(PicPersonal)})
        p->setVisible(p == panel);
}

void MainWindow::showFind() {
    if (auto* find = m_context.windows.show<FindWindow>(m_context))
        find->focusSearchBox();
}

void MainWindow::showExchange() {
    auto* window = m_context.windows.find<ExchangeWindow>();
    const bool opened = window == nullptr;
    window = m_context.windows.show<ExchangeWindow>(m_context);
    if (window && opened)
        connect(window->exchange, &ExchangePanel::imported, this, &MainWindow::refreshAll);
}

void MainWindow::refreshAll() {
    for (DataBinder* binder : {DatCCard, DatNotes, DatPassword, DatPersonal, DatReminders}) {
        if (binder->isOpen())
            binder->Refresh();
    }
    recount();
}

bool MainWindow::showRecord(Section section, RecordKey key) {
    DataBinder& records = binder(section);
    // The key is of the file as it is now (the Find window looked at it just now).
    records.followFile();
    // The record may be newer than the binder's snapshot of its table.
    if (records.positionOf(key) < 0)
        records.Refresh();
    if (records.positionOf(key) < 0)
        return false;
    records.setBookmark(key);
    // Cards and persons share the personal panel, each in its own frame.
    const std::tuple<Section, QPushButton*, QWidget*> panels[] = {
        {Section::Passwords, cmdPasswords, PicPassword}, {Section::CreditCards, cmdPersonal, PicPersonal},
        {Section::Personal, cmdPersonal, PicPersonal},   {Section::Notes, cmdNotes, PicNotes},
        {Section::Reminders, cmdTodo, Pictodo},
    };
    for (const auto& [shownSection, button, panel] : panels) {
        if (shownSection == section) {
            button->setChecked(true);
            showSection(panel);
        }
    }
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    return true;
}

const QString MainWindow::OfferUtility =
    QStringLiteral("Do you want to open the Database Utility to restore a backup or repair the database?");

bool MainWindow::load() {
    Pictodo->MonthView1->setSelectedDate(m_context.today());
    const std::pair<DataBinder*, const Schema::Table*> binders[] = {
        {DatCCard, &Schema::creditCard()},  {DatNotes, &Schema::notes()},        {DatPassword, &Schema::account()},
        {DatPersonal, &Schema::personal()}, {DatReminders, &Schema::reminder()},
    };
    for (const auto& [binder, table] : binders) {
        binder->setObjectName(binder == DatCCard      ? "DatCCard"
                              : binder == DatNotes    ? "DatNotes"
                              : binder == DatPassword ? "DatPassword"
                              : binder == DatPersonal ? "DatPersonal"
                                                      : "DatReminders");
        binder->setDatabaseName(m_context.file(Schema::RecordDatabaseFile));
        binder->setRecordSource(table->name);
        binder->setRecordsetType(0);
        binder->setRequiredFields(table->fields);
    }
    for (const auto& [binder, table] : binders) {
        if (const std::optional<QString> failure = binder->tryOpen()) {
            // Without its records the program cannot go on; the utility can put a
            // backup in place or repair the file.
            const bool useUtility = m_context.prompter.ask(*failure + QLatin1Char('\n') + OfferUtility);
            for (const auto& opened : binders)
                opened.first->close();
            if (useUtility)
                m_context.windows.show<UtilityWindow>(m_context);
            return false;
        }
    }
    // Other programs write the file too (a sync tool, quillmere-cli): the window follows.
    for (const auto& [binder, table] : binders) {
        binder->setFollowInterval(DataBinder::FollowIntervalMs);
        connect(binder, &DataBinder::fileChanged, this, &MainWindow::recount);
    }
    m_conflicts = new ConflictWatcher(m_context.file(Schema::RecordDatabaseFile), this);
    connect(m_conflicts, &ConflictWatcher::merged, this, [this](const QString& notice, bool problem) {
        problem ? m_context.prompter.warn(notice) : m_context.prompter.info(notice);
    });
    return true;
}

DataBinder& MainWindow::binder(Section section) {
    switch (section) {
    case Section::Passwords:
        return *DatPassword;
    case Section::CreditCards:
        return *DatCCard;
    case Section::Personal:
        return *DatPersonal;
    case Section::Notes:
        return *DatNotes;
    case Section::Reminders:
        break;
    }
    return *DatReminders;
}

void MainWindow::recount() {
    const std::tuple<QLabel*, DataBinder*, const char*> counts[] = {
        {Label29, DatPassword, "  Passwords"},
        {Label30, DatNotes, "  Notes"},
        {Label31, DatReminders, "  Reminders"},
        {Label32, DatCCard, "  Credit Cards"},
    };
    for (const auto& [label, binder, text] : counts) {
        if (!binder->isOpen())
            continue;
        try {
            label->setText(QString::number(binder->storedCount()) + QString::fromLatin1(text));
        } catch (const StoreError&) {
            label->setText(QStringLiteral("?") + QString::fromLatin1(text));
        }
        // A long count widens the label to the right, away from the edge it is aligned on.
        fitLabel(label);
    }
}

void MainWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        recount();
    AppWindow::changeEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const bool backup =
        m_context.prompter.ask(QStringLiteral("Do you want to backup the Database ?"), QStringLiteral("Close Program"));
    m_context.windows.closeAll(this);
    // Nothing merges into the file while the utility copies or swaps it.
    delete m_conflicts;
    m_conflicts = nullptr;
    // No binder may hold the record database open while the utility copies or swaps it.
    for (DataBinder* binder : {DatCCard, DatNotes, DatPassword, DatPersonal, DatReminders})
        binder->close();
    if (backup)
        m_context.windows.show<UtilityWindow>(m_context);
    event->accept();
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    m_pressPoint = event->position().toPoint();
    AppWindow::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    // Only the left button alone drags; the press point stays under the pointer.
    if (event->buttons() == Qt::LeftButton)
        move(pos() - (m_pressPoint - event->position().toPoint()));
    AppWindow::mouseMoveEvent(event);
}

void MainWindow::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    QSvgRenderer(picturePath(QStringLiteral("background"))).render(&painter, QRectF(rect()));
    AppWindow::paintEvent(event);
}
