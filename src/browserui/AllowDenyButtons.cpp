#include "AllowDenyButtons.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

QDialogButtonBox* makeAllowDenyButtons(QDialog* dialog, QPushButton*& allow, QPushButton*& deny) {
    allow = new QPushButton(QStringLiteral("Allow"), dialog);
    allow->setObjectName(QStringLiteral("cmdAllow"));
    deny = new QPushButton(QStringLiteral("Deny"), dialog);
    deny->setObjectName(QStringLiteral("cmdDeny"));
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(allow, QDialogButtonBox::AcceptRole);
    buttons->addButton(deny, QDialogButtonBox::RejectRole);
    deny->setDefault(true);
    QObject::connect(allow, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(deny, &QPushButton::clicked, dialog, &QDialog::reject);
    return buttons;
}
