#pragma once

#include "platform/AppWindow.h"
#include "store/DataBinder.h"

#include <optional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QToolButton;

// The sign-in window: the only window at start. A correct password opens the
// main window; the same window changes the stored password.
class LoginWindow : public AppWindow {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmLogin");
    explicit LoginWindow(AppContext& context);
    bool load() override;

    // Outer heights of the window with the help area hidden and shown, in twips.
    static constexpr int HelpHiddenHeight = 3030;
    static constexpr int HelpShownHeight = 5115;

    QLabel* Picture1;
    QGroupBox* jcFrames2;
    QLineEdit* Text2;
    QPushButton* cmdChange;
    QPushButton* cmdLogin;
    QToolButton* cmdHelp;
    QLabel* Image1;
    QLabel* Label1;
    QGroupBox* jcFrames1;
    QLineEdit* Text1;
    QPushButton* cmdSave;
    QPlainTextEdit* Text3;
    QPushButton* cmdHide;
    DataBinder* Data1;

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The stored password, read from the binder; nothing when it cannot be read (the user is told).
    std::optional<QString> storedPassword();
    void login();
    void beginChange();
    void saveChange();
    void setOuterHeight(int height);

    bool m_changing = false; // Change has checked the typed password; Text1 holds the stored one
};
