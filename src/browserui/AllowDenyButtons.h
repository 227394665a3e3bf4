#pragma once

// The two answers of a browser's request, Deny the default: a stray Return
// denies. Allow accepts the dialog and Deny rejects it.
class QDialog;
class QDialogButtonBox;
class QPushButton;

QDialogButtonBox* makeAllowDenyButtons(QDialog* dialog, QPushButton*& allow, QPushButton*& deny);
