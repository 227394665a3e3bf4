#pragma once

#include "PasswordGenerator.h"
#include "platform/AppWindow.h"

#include <QLineEdit>
#include <QPointer>
#include <array>

class QCheckBox;
class QPushButton;
class QRadioButton;

// Makes random passwords and hands one to the password editor's password box.
class GeneratorWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmGenerate");
    GeneratorWindow(AppContext& context, QLineEdit* passwordBox);
    // The box "Use this Password" writes into; it may go away while this window is open.
    void setTarget(QLineEdit* passwordBox) { m_target = passwordBox; }

    int caseCode() const { return m_caseCode; }
    int setCode() const { return m_setCode; }

    std::array<QCheckBox*, 3> ic; // "Letters", "Numbers", "All characters"
    QRadioButton* bc;
    QRadioButton* lc;
    QRadioButton* uc;
    QLineEdit* Lenn;
    QLineEdit* output;
    QPushButton* Command1;
    QPushButton* cmdSave;

private:
    void includeClicked(int member);
    void generate();
    void usePassword();

    PasswordGenerator m_generator;
    QPointer<QLineEdit> m_target;
    int m_caseCode = PasswordGenerator::BothCases;
    int m_setCode = PasswordGenerator::LettersAndDigits;
};
