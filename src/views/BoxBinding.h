#pragma once

#include <QString>

class DataBinder;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;

// Ties the boxes of a window to the fields of its binder. Whenever the current
// record changes the binder writes every bound box; at Update it reads them.
void bindBox(DataBinder& binder, QLineEdit* box, const QString& field);
void bindBox(DataBinder& binder, QPlainTextEdit* box, const QString& field);
void bindBox(DataBinder& binder, QComboBox* box, const QString& field);
