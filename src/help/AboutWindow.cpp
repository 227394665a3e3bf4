#include "AboutWindow.h"

#include "CreditWindow.h"
#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Seams.h"
#include "platform/Windows.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

QString AboutWindow::licenceText() {
    return QStringLiteral(
        "QUILLMERE PASSWORD STORAGE - END-USER LICENCE AGREEMENT\n"
        "\n"
        "1. You may install and use this program on any number of computers that you use yourself, and make "
        "copies of it for backup.\n"
        "\n"
        "2. The program keeps your records in clear text in the file password.mdb in its own folder. It does not "
        "encrypt them. You are responsible for protecting that file, its backups and the computer it is on.\n"
        "\n"
        "3. The program is provided \"as is\", without warranty of any kind, express or implied, including the "
        "warranties of merchantability and fitness for a particular purpose. In no event shall the makers be liable "
        "for any claim, damages or other liability arising from the use of the program, including the loss of "
        "records or of passwords.\n"
        "\n"
        "4. You may not sell the program, nor pass it on in a changed form under its name.\n"
        "\n"
        "Using the program means that you accept this agreement.\n");
}

AboutWindow::AboutWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("About"));
    setLightBlueBackground(this);
    setClientSize(this, 6090, 4350);

    QGroupBox* header = makeFrame(this, QStringLiteral("jcFrames1"), QString(), 180, 60, 5715, 855);
    makePicture(header, QStringLiteral("Image1"), QStringLiteral("app"), 240, 150, 600, 600);
    QLabel* name = makeLabel(header, ProgramTitle, 1200, 120, 3735, 300);
    name->setObjectName(QStringLiteral("Label1"));
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSizeF(11);
    name->setFont(bold);
    fitLabel(name);
    QLabel* version = makeLabel(header, QStringLiteral("Version:  1.0"), 2340, 480);
    version->setObjectName(QStringLiteral("Label2"));

    Picture2 = new QWidget(this);
    Picture2->setObjectName(QStringLiteral("Picture2"));
    place(Picture2, 165, 960, 5715, 2595);
    makePicture(Picture2, QStringLiteral("Image2"), QStringLiteral("photo"), 120, 120, 2700, 1920);
    QLabel* notices = makeLabel(Picture2,
                                QStringLiteral("Quillmere Password Storage\nVersion 1.0\n\nMade by the Quillmere "
                                               "developers.\nAll pictures are the program's own.\n\nThis program "
                                               "keeps your records in clear text: protect your computer."),
                                2940, 120, 2655, 2340);
    notices->setWordWrap(true);
    notices->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(notices, 2940, 120, 2655, 2340);

    Text1 = makeTextArea(this, QStringLiteral("Text1"), 165, 960, 5715, 2595, true);
    Text1->setPlainText(licenceText());
    Text1->hide();

    cmdCredit = makeButton(this, QStringLiteral("cmdCredit"), QStringLiteral("Picture Credit"),
                           QStringLiteral(" View Picture Credit "), 180, 3780, 1335, 390);
    cmdLicense = makeButton(this, QStringLiteral("cmdLicense"), QStringLiteral("    License"),
                            QStringLiteral(" View License   "), 1680, 3780, 1335, 390);
    // The program has no website to open: the button stays hidden.
    cmdWebsite =
        makeButton(this, QStringLiteral("cmdWebsite"), QStringLiteral("    Website"), QString(), 3120, 3780, 1335, 390);
    cmdWebsite->hide();
    cmdClose = makeButton(this, QStringLiteral("cmdClose"), QStringLiteral("OK"), QStringLiteral(" Close  "), 4560,
                          3780, 1335, 390);

    connect(cmdLicense, &QPushButton::clicked, this, [this] {
        Text1->show();
        Picture2->hide();
    });
    connect(cmdCredit, &QPushButton::clicked, this, [this] { m_context.windows.show<CreditWindow>(m_context); });
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);
    centerOnScreen(this);
}
