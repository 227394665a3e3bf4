#pragma once

#include "platform/AppWindow.h"

#include <array>

class QPlainTextEdit;
class QPushButton;

// The user documentation: six texts shown one at a time in the same place.
class HelpWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmHelp");
    explicit HelpWindow(AppContext& context);

    // TextWelcome, TextPasswords, TextNotes, TextPersonal, TextTodo, TextBackup.
    std::array<QPlainTextEdit*, 6> panels;
    QPushButton* cmdWebsite;
    QPushButton* cmdClose;

private:
    void showPanel(QPlainTextEdit* panel);
};
