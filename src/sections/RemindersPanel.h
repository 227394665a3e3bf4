#pragma once

#include <QDate>
#include <QWidget>

class DataBinder;
class QCalendarWidget;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QTableView;

// The to-do list: a month calendar whose day clicks start reminders, the grid
// of all reminders and the chosen reminder's text.
class RemindersPanel : public QWidget {
    Q_OBJECT
public:
    RemindersPanel(QWidget* parent, DataBinder& DatReminders);

    QGroupBox* jcFrames1;
    QCalendarWidget* MonthView1;
    QTableView* DBGrid2;
    QGroupBox* jcFrames7;
    QLineEdit* Text8;
    QPlainTextEdit* Text9;
    QGroupBox* jcFrames6;

signals:
    // A mouse click on a day; moving through months or with the keyboard is not one.
    void dayClicked(const QDate& day);
};
