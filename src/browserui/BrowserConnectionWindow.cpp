#include "BrowserConnectionWindow.h"

#include "AllowDenyButtons.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

BrowserConnectionWindow::BrowserConnectionWindow(const ExtensionAsker::ConnectionRequest& request, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmBrowserConnection"));
    setWindowTitle(Title);
    // The user is in the browser when the question comes: it must not hide behind it.
    setWindowFlag(Qt::WindowStaysOnTopHint);
    lblRequest = new QLabel(
        QStringLiteral("A browser extension (KeePassXC-Browser) asks to connect to your Quillmere records.\n\n"
                       "Its key: %1\n\n"
                       "Allow it only if you started this from your own browser just now. Once connected, it "
                       "can ask for the logins of the sites you visit; each site is asked about first.\n\n"
                       "Name of this connection:")
            .arg(request.keyFingerprint),
        this);
    lblRequest->setObjectName(QStringLiteral("lblRequest"));
    lblRequest->setWordWrap(true);
    lblRequest->setTextFormat(Qt::PlainText);
    txtName = new QLineEdit(QStringLiteral("Firefox"), this);
    txtName->setObjectName(QStringLiteral("txtName"));
    txtName->setMaxLength(64);
    QDialogButtonBox* buttons = makeAllowDenyButtons(this, cmdAllow, cmdDeny);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblRequest);
    layout->addWidget(txtName);
    layout->addWidget(buttons);
    connect(txtName, &QLineEdit::textChanged, this,
            [this](const QString& text) { cmdAllow->setEnabled(!text.trimmed().isEmpty()); });
    // The keyboard goes from the name to Allow, then Deny.
    setTabOrder(txtName, cmdAllow);
    setTabOrder(cmdAllow, cmdDeny);
    txtName->setFocus();
    setMinimumWidth(420);
}

std::optional<QString> BrowserConnectionWindow::chosenName() const {
    if (result() != QDialog::Accepted || txtName->text().trimmed().isEmpty())
        return std::nullopt;
    return txtName->text().trimmed();
}
