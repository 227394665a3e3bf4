#include "LoginWindow.h"

#include "MainWindow.h"
#include "browser/ExtensionServer.h"
#include "core/SignIn.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Windows.h"
#include "store/Schema.h"
#include "store/StoreError.h"

#include <QCloseEvent>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolButton>

namespace {
// What the window frame adds to the client area: a title bar and borders.
constexpr int FrameHeight = 420;

const QString HelpText = QStringLiteral(
    "The initial Password is \"wren\".\r\n"
    "You must enter \"wren\" above and then click the \"Change\" button.\r\n"
    "Enter your new Password - it can be letters, numbers, or a combination of both.\r\n"
    "You can change the Password anytime by first entering the old Password and then click the \"Change\" button.\r\n");
} // namespace

LoginWindow::LoginWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Login"));
    setLightBlueBackground(this);
    setClientSize(this, 6330, HelpHiddenHeight - FrameHeight);

    Picture1 = makePicture(this, QStringLiteral("Picture1"), QStringLiteral("banner"), 0, 0, 6330, 915);
    // The banner's words are labels in the window's own font: drawn as text of the
    // picture they would load fonts of their own and slow the start.
    QLabel* title = makeLabel(Picture1, ProgramTitle, 1050, 150, 5000, 375);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(14);
    titleFont.setBold(true);
    title->setFont(titleFont);
    QLabel* subtitle = makeLabel(Picture1, QStringLiteral("Please sign in to open your records"), 1050, 570, 5000, 225);
    for (QLabel* label : {title, subtitle}) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, label == title ? QColor(Qt::white) : QColor(207, 227, 255));
        label->setPalette(palette);
    }
    jcFrames2 = makeFrame(this, QStringLiteral("jcFrames2"), QStringLiteral("Enter Password"), 60, 1020, 6195, 1455);
    Text2 = makeBox(jcFrames2, QStringLiteral("Text2"), 1800, 240, 2655, 315);
    cmdChange = makeButton(jcFrames2, QStringLiteral("cmdChange"), QStringLiteral("  Change"),
                           QStringLiteral(" Change Login Password "), 1800, 660, 1275, 390);
    cmdLogin = makeButton(jcFrames2, QStringLiteral("cmdLogin"), QStringLiteral("Login"), QStringLiteral(" Login  "),
                          3120, 660, 1335, 390);
    cmdHelp = makePictureButton(jcFrames2, QStringLiteral("cmdHelp"), QStringLiteral("help"),
                                QStringLiteral(" Show Help to get started "), 5640, 960, 435, 375);
    Image1 = makePicture(jcFrames2, QStringLiteral("Image1"), QStringLiteral("key"), 120, 960, 750, 390);
    Label1 =
        makeLabel(jcFrames2, QStringLiteral("Password is \"Case Sensitive\""), 2010, 1140, 2115, 195, Qt::AlignCenter);
    Label1->setObjectName(QStringLiteral("Label1"));

    jcFrames1 = makeFrame(this, QStringLiteral("jcFrames1"), QStringLiteral("Change Password"), 60, 1020, 6195, 1455);
    Text1 = makeBox(jcFrames1, QStringLiteral("Text1"), 2220, 240, 2655, 315);
    cmdSave = makeButton(jcFrames1, QStringLiteral("cmdSave"), QStringLiteral("   Save"),
                         QStringLiteral(" Save new Password   "), 2820, 720, 1095, 390);
    jcFrames1->hide();

    Text3 = makeTextArea(this, QStringLiteral("Text3"), 120, 2700, 6135, 1215, true);
    Text3->setPlainText(HelpText);
    // The four lines show whole, in a smaller font where needed.
    fitTextToBox(Text3);
    cmdHide = makeButton(this, QStringLiteral("cmdHide"), QStringLiteral("   Hide this Help Box"),
                         QStringLiteral(" Hide Help  "), 2160, 4080, 1995, 390);

    Data1 = new DataBinder(this);
    Data1->setObjectName(QStringLiteral("Data1"));

    setTabOrder(Text2, cmdChange);
    setTabOrder(cmdChange, cmdLogin);
    setTabOrder(cmdLogin, cmdHelp);
    setTabOrder(cmdHelp, Text1);
    setTabOrder(Text1, cmdSave);
    setTabOrder(cmdSave, Text3);
    setTabOrder(Text3, cmdHide);

    connect(cmdLogin, &QPushButton::clicked, this, &LoginWindow::login);
    connect(cmdChange, &QPushButton::clicked, this, &LoginWindow::beginChange);
    connect(cmdSave, &QPushButton::clicked, this, &LoginWindow::saveChange);
    connect(cmdHelp, &QToolButton::clicked, this, [this] { setOuterHeight(HelpShownHeight); });
    connect(cmdHide, &QPushButton::clicked, this, [this] { setOuterHeight(HelpHiddenHeight); });
    centerOnScreen(this);
}

bool LoginWindow::load() {
    Data1->setDatabaseName(m_context.file(Schema::PasswordStoreFile));
    Data1->setRecordSource(Schema::pass().name);
    Data1->setRecordsetType(0);
    Data1->setRequiredFields(Schema::pass().fields);
    // The box shows the stored password only once Change has checked the typed
    // one: hidden, it would still give it to anything that reads the window's
    // accessibility tree.
    Data1->bind(
        QStringLiteral("Password"), Text1, [this] { return Text1->text(); },
        [this](const QString& stored) {
            Text1->setText(m_changing ? stored : QString());
            Text1->setCursorPosition(0);
        });
    if (const std::optional<QString> failure = Data1->tryOpen()) {
        m_context.prompter.critical(*failure);
        return false;
    }
    return true;
}

void LoginWindow::setOuterHeight(int height) {
    setFixedHeight(twips(height - FrameHeight));
}

void LoginWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && jcFrames2->isVisible())
        Text2->setFocus();
    AppWindow::changeEvent(event);
}

void LoginWindow::closeEvent(QCloseEvent* event) {
    // A password change left unsaved is dropped; the stored password stays.
    m_changing = false;
    if (Data1->isPending())
        Data1->CancelUpdate();
    Text1->clear();
    AppWindow::closeEvent(event);
}

std::optional<QString> LoginWindow::storedPassword() {
    try {
        return Data1->value(QStringLiteral("Password"));
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return std::nullopt;
    }
}

void LoginWindow::login() {
    const std::optional<QString> stored = storedPassword();
    if (!stored)
        return;
    if (!SignIn::matches(*stored, Text2->text())) {
        m_context.prompter.warn(QStringLiteral("Please enter the correct Password."));
        Text2->setFocus();
        return;
    }
    // Without its records the program cannot go on: the main window has said why.
    m_context.windows.show<MainWindow>(m_context);
    if (m_context.extensionServer)
        m_context.extensionServer->signIn(m_context.file(Schema::RecordDatabaseFile));
    close();
}

void LoginWindow::beginChange() {
    const std::optional<QString> stored = storedPassword();
    if (!stored)
        return;
    if (!SignIn::matches(*stored, Text2->text())) {
        m_context.prompter.warn(QStringLiteral("Please enter the current Password to change the Password."));
        Text2->setFocus();
        return;
    }
    try {
        Data1->Edit();
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return;
    }
    m_changing = true;
    Text1->setText(*stored);
    Text1->setCursorPosition(0);
    jcFrames1->show();
    jcFrames2->hide();
    Text1->setFocus();
}

void LoginWindow::saveChange() {
    try {
        Data1->Update();
    } catch (const StoreError& e) {
        m_context.prompter.critical(QStringLiteral("Your new Password has not been saved.\n") + e.message());
        return;
    }
    QFile::setPermissions(Data1->DatabaseName(), QFile::ReadOwner | QFile::WriteOwner);
    m_changing = false;
    Text1->clear();
    jcFrames1->hide();
    jcFrames2->show();
    m_context.prompter.info(QStringLiteral("Your new Password has been saved."));
}
