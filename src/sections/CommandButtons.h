#pragma once

#include <QString>

class QPushButton;
class QWidget;

// A New, Edit, Delete or Print button of a section panel, with the caption and
// tooltip that belong to its name. Positions are in twips.
QPushButton* makeCommandButton(QWidget* parent, const QString& name, int left, int top, int width, int height);
