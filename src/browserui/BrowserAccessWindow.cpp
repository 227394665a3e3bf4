#include "BrowserAccessWindow.h"

#include "AllowDenyButtons.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

BrowserAccessWindow::BrowserAccessWindow(const ExtensionAsker::AccessRequest& request, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("frmBrowserAccess"));
    setWindowTitle(Title);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    lblRequest = new QLabel(QStringLiteral("%1 asks for the logins of this site through the connection \"%2\":\n%3")
                                .arg(request.site, request.connection, request.page.left(200)),
                            this);
    lblRequest->setObjectName(QStringLiteral("lblRequest"));
    lblRequest->setWordWrap(true);
    lblRequest->setTextFormat(Qt::PlainText);
    lstRecords = new QListWidget(this);
    lstRecords->setObjectName(QStringLiteral("lstRecords"));
    for (const ExtensionAsker::Record& record : request.records)
        lstRecords->addItem(record.user.isEmpty() ? record.account
                                                  : QStringLiteral("%1 (%2)").arg(record.account, record.user));
    chkRemember = new QCheckBox(QStringLiteral("Remember this decision"), this);
    chkRemember->setObjectName(QStringLiteral("chkRemember"));
    QDialogButtonBox* buttons = makeAllowDenyButtons(this, cmdAllow, cmdDeny);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblRequest);
    layout->addWidget(lstRecords);
    layout->addWidget(chkRemember);
    layout->addWidget(buttons);
    // The keyboard starts at the check box, then goes to Allow and Deny.
    setTabOrder(lstRecords, chkRemember);
    setTabOrder(chkRemember, cmdAllow);
    setTabOrder(cmdAllow, cmdDeny);
    chkRemember->setFocus();
    setMinimumWidth(420);
}

ExtensionAsker::AccessAnswer BrowserAccessWindow::answer() const {
    // A closed window denies, this time only.
    const bool allowed = result() == QDialog::Accepted;
    return {allowed, chkRemember->isChecked()};
}
