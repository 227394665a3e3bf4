#include "GeneratorWindow.h"

#include "platform/Controls.h"
#include "platform/Geometry.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>

GeneratorWindow::GeneratorWindow(AppContext& context, QLineEdit* passwordBox)
    : AppWindow(context, Name, nullptr,
                Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                    Qt::WindowCloseButtonHint),
      m_target(passwordBox) {
    setWindowTitle(QStringLiteral("Random Password Generator"));
    setLightBlueBackground(this);
    setClientSize(this, 5790, 5085);

    QGroupBox* top = makeFrame(this, QStringLiteral("jcFrames1"), QString(), 120, 60, 5535, 915);
    makePicture(top, QStringLiteral("Image1"), QStringLiteral("dice"), 120, 180, 405, 405);
    const QString steps[] = {QStringLiteral("1. Select Letter Case and characters to include."),
                             QStringLiteral("2. Set the size of the Password and then click the Generate Button."),
                             QStringLiteral("3. Click the Use Password Button - form will close.")};
    QList<QLabel*> stepLabels;
    for (int i = 0; i < 3; ++i) {
        QLabel* step = makeLabel(top, steps[i], 600, 120 + 240 * i, 4800, 225);
        stepLabels << step;
        QFont small = step->font();
        small.setPointSizeF(7.5); // the three steps share one narrow strip
        step->setFont(small);
        // Each step shows whole inside the frame, however wide the font.
        fitLabelWithin(step, top->contentsRect().right() - twips(60) - step->x());
    }
    shareSmallestFont(stepLabels);

    QGroupBox* letterCase =
        makeFrame(this, QStringLiteral("jcFrames2"), QStringLiteral("Letter Case"), 120, 1020, 2595, 1755);
    const auto option = [letterCase](const QString& name, const QString& caption, int top) {
        auto* button = new QRadioButton(caption, letterCase);
        button->setObjectName(name);
        place(button, 240, top, 2200, 315);
        return button;
    };
    uc = option(QStringLiteral("uc"), QStringLiteral("Uppercase"), 420);
    lc = option(QStringLiteral("lc"), QStringLiteral("Lowercase"), 840);
    bc = option(QStringLiteral("bc"), QStringLiteral("Both"), 1260);
    bc->setChecked(true);
    makeOptionGroup({uc, lc, bc});
    connect(lc, &QRadioButton::clicked, this, [this] { m_caseCode = PasswordGenerator::Lowercase; });
    connect(uc, &QRadioButton::clicked, this, [this] { m_caseCode = PasswordGenerator::Uppercase; });
    connect(bc, &QRadioButton::clicked, this, [this] { m_caseCode = PasswordGenerator::BothCases; });

    QGroupBox* include =
        makeFrame(this, QStringLiteral("jcFrames3"), QStringLiteral("Characters to Include"), 2760, 1020, 2895, 1755);
    const QString captions[] = {QStringLiteral("Letters"), QStringLiteral("Numbers"), QStringLiteral("All characters")};
    for (int i = 0; i < 3; ++i) {
        ic[i] = new QCheckBox(captions[i], include);
        ic[i]->setObjectName(QStringLiteral("ic(%1)").arg(i + 1));
        place(ic[i], 240, 420 + 420 * i, 2500, 315);
        connect(ic[i], &QCheckBox::clicked, this, [this, i] { includeClicked(i + 1); });
    }
    ic[0]->setChecked(true);
    ic[1]->setChecked(true);

    QGroupBox* generateFrame =
        makeFrame(this, QStringLiteral("jcFrames4"), QStringLiteral("Generate Password"), 120, 2820, 5535, 1695);
    QLabel* lengthLabel =
        makeLabel(generateFrame, QStringLiteral("Set the Number of Characters:"), 900, 360, 2640, 225);
    Lenn = makeBox(generateFrame, QStringLiteral("Lenn"), 3600, 300, 735, 315);
    lengthLabel->setBuddy(Lenn); // screen readers name the box by its label
    Lenn->setText(QStringLiteral("6"));
    output = makeBox(generateFrame, QStringLiteral("output"), 900, 720, 3435, 315);
    Command1 = makeButton(generateFrame, QStringLiteral("Command1"), QStringLiteral("Generate"),
                          QStringLiteral(" Create a Password  "), 2100, 1200, 1335, 330);
    cmdSave = makeButton(this, QStringLiteral("cmdSave"), QStringLiteral("Use this Password"),
                         QStringLiteral(" Insert Password to Add Form "), 1800, 4620, 2235, 330);
    connect(Command1, &QPushButton::clicked, this, &GeneratorWindow::generate);
    connect(cmdSave, &QPushButton::clicked, this, &GeneratorWindow::usePassword);

    QWidget* order[] = {uc, lc, bc, ic[0], ic[1], ic[2], Lenn, output, Command1, cmdSave};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
    centerOnScreen(this);
}

void GeneratorWindow::includeClicked(int member) {
    // While "All characters" is checked the other two boxes have no effect.
    if (m_setCode == PasswordGenerator::AllCharacters && member != 3)
        return;
    if (member == 3 && ic[2]->isChecked())
        m_setCode = PasswordGenerator::AllCharacters;
    else
        m_setCode = PasswordGenerator::setCodeFor(ic[0]->isChecked(), ic[1]->isChecked());
}

void GeneratorWindow::generate() {
    const std::optional<int> length = PasswordGenerator::parseLength(Lenn->text(), QLocale());
    output->setText(length ? m_generator.make(m_caseCode, *length, m_setCode) : QString());
}

void GeneratorWindow::usePassword() {
    // The editor may have closed meanwhile: then nothing is handed over.
    if (m_target) {
        m_target->clear();
        m_target->setText(output->text());
        m_target->window()->activateWindow();
        m_target->setFocus();
    }
    close();
}
