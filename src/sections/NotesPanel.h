#pragma once

#include <QWidget>

class DataBinder;
class QGroupBox;
class QLineEdit;
class QListView;
class QPlainTextEdit;

// The notes: a list of subjects and the chosen note in full.
class NotesPanel : public QWidget {
    Q_OBJECT
public:
    NotesPanel(QWidget* parent, DataBinder& DatNotes);

    QGroupBox* jcFrames3;
    QListView* DBList1;
    QGroupBox* jcFrames4;
    QLineEdit* Text7;
    QPlainTextEdit* Text6;
    QGroupBox* jcFrames5;
};
