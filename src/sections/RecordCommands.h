#pragma once

#include "Section.h"

#include <QDate>
#include <QObject>

struct AppContext;
class RecordEditor;
class QWidget;

// New, Edit and Delete of every section: one routine each, fed by a row per
// section. The buttons are found by name in the main window.
class RecordCommands : public QObject {
    Q_OBJECT
public:
    RecordCommands(AppContext& context, SectionBinders& binders, QWidget* mainWindow);

    void newRecord(Section section);
    void editRecord(Section section);
    void deleteRecord(Section section);
    // A click on a calendar day: a new reminder for that day.
    void addReminder(const QDate& day);

    // The day as the system writes dates in short form, with a four-digit year.
    static QString shortDate(const QDate& day);

private:
    RecordEditor* showEditor(Section section);

    AppContext& m_context;
    SectionBinders& m_binders;
    QWidget* m_mainWindow;
};
