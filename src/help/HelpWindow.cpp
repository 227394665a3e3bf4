#include "HelpWindow.h"

#include "HelpTexts.h"
#include "platform/Controls.h"
#include "platform/Geometry.h"
#include "platform/Seams.h"

#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <algorithm>
#include <vector>

namespace {

struct Topic {
    const char* panel;
    QString (*text)();
    const char* button; // nullptr: no button leads back to it
    const char* caption;
    const char* tooltip;
    int top;
};

const Topic Topics[] = {
    {"TextWelcome", HelpTexts::welcome, nullptr, nullptr, nullptr, 0},
    {"TextPasswords", HelpTexts::passwords, "cmdPasswords", "Using Passwords", " Password Help ", 600},
    {"TextNotes", HelpTexts::notes, "cmdNotes", "Using Notes", " Notes Help ", 1080},
    {"TextPersonal", HelpTexts::personal, "cmdPersonal", "Personal Information", " Personal Data Help ", 2040},
    {"TextTodo", HelpTexts::todo, "cmdTodo", "ToDo List", " ToDo List Help", 1560},
    {"TextBackup", HelpTexts::backup, "cmdDatabase", "Database Utility", " Database Utility Help ", 2520},
};

} // namespace

HelpWindow::HelpWindow(AppContext& context)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint) {
    setWindowTitle(QStringLiteral("Quillmere Password Storage Help"));
    setLightBlueBackground(this);
    setClientSize(this, 8460, 5295);

    QGroupBox* header = makeFrame(this, QStringLiteral("jcFrames1"), QStringLiteral("Help Center"), 0, 0, 8475, 1095);
    makePicture(header, QStringLiteral("Image1"), QStringLiteral("help"), 240, 330, 600, 600);
    QLabel* title = makeLabel(header, ProgramTitle, 1080, 480, 6000, 360);
    QFont big = title->font();
    big.setPointSizeF(14);
    big.setBold(true);
    title->setFont(big);
    fitLabel(title);

    QGroupBox* menu = makeFrame(this, QStringLiteral("jcFrames2"), QStringLiteral("Menu"), 120, 1200, 2595, 3150);
    std::vector<std::pair<int, QWidget*>> menuButtons;
    for (size_t i = 0; i < std::size(Topics); ++i) {
        const Topic& topic = Topics[i];
        QPlainTextEdit* panel = makeTextArea(this, QString::fromLatin1(topic.panel), 2820, 1200, 5415, 3135, true);
        panel->setPlainText(topic.text());
        panel->setVisible(i == 0);
        panels[i] = panel;
        if (!topic.button)
            continue;
        QPushButton* button = makeButton(menu, QString::fromLatin1(topic.button), QString::fromLatin1(topic.caption),
                                         QString::fromLatin1(topic.tooltip), 120, topic.top, 2295, 390);
        connect(button, &QPushButton::clicked, this, [this, panel] { showPanel(panel); });
        menuButtons.emplace_back(topic.top, button);
    }
    // The program has no website to open: the button stays hidden.
    cmdWebsite =
        makeButton(this, QStringLiteral("cmdWebsite"), QStringLiteral("Website"), QString(), 2820, 4680, 1335, 390);
    cmdWebsite->hide();
    cmdClose = makeButton(this, QStringLiteral("cmdClose"), QStringLiteral("Close"), QStringLiteral(" Close  "), 6900,
                          4680, 1335, 390);
    connect(cmdClose, &QPushButton::clicked, this, &QWidget::close);

    // The keyboard follows the screen: the menu from top to bottom, then the text, then Close.
    std::sort(menuButtons.begin(), menuButtons.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QWidget*> order;
    for (const auto& button : menuButtons)
        order << button.second;
    for (QPlainTextEdit* panel : panels)
        order << panel;
    order << cmdWebsite << cmdClose;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void HelpWindow::showPanel(QPlainTextEdit* panel) {
    for (QPlainTextEdit* p : panels)
        p->setVisible(p == panel);
}
