#pragma once

#include "platform/AppWindow.h"
#include "sections/RecordDisplay.h"
#include "sections/Section.h"
#include "store/DataBinder.h"

class ConflictWatcher;
class NotesPanel;
class PasswordPanel;
class PersonalPanel;
class QLabel;
class QPushButton;
class QToolButton;
class RecordCommands;
class RemindersPanel;

// The program's home after sign-in: it owns the five binders on the record
// database and the four section panels, stacked over the home view.
class MainWindow : public AppWindow, public SectionBinders, public RecordDisplay {
    Q_OBJECT
public:
    static inline const QString Name = QStringLiteral("frmMain");
    // Asked after the reason when the record database cannot be opened.
    static const QString OfferUtility;
    explicit MainWindow(AppContext& context);
    bool load() override;
    DataBinder& binder(Section section) override;
    bool showRecord(Section section, RecordKey key) override;

    DataBinder* DatCCard;
    DataBinder* DatNotes;
    DataBinder* DatPassword;
    DataBinder* DatPersonal;
    DataBinder* DatReminders;

    QToolButton* cmdAbout;
    QToolButton* cmdHelp;
    QPushButton* cmdPasswords;
    QPushButton* cmdNotes;
    QPushButton* cmdTodo;
    QPushButton* cmdPersonal;
    // Open the Find window and the Import / Export window; they share the free strip of the top bar.
    QToolButton* cmdFind;
    QToolButton* cmdExchange;
    QToolButton* cmdMinimize;
    QToolButton* cmdClose;

    PasswordPanel* PicPassword;
    PersonalPanel* PicPersonal;
    RemindersPanel* Pictodo;
    NotesPanel* PicNotes;

    QLabel* Image1;
    QLabel* Label29;
    QLabel* Label30;
    QLabel* Label31;
    QLabel* Label32;

    // Sets the four counts of the home view; runs on every activation.
    void recount();

protected:
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void buildHomeView();
    void buildSectionButtons();
    void showSection(QWidget* panel);
    void showFind();
    void showExchange();
    // After an import: every binder sees the new records, and the home view counts them.
    void refreshAll();

    RecordCommands* m_commands = nullptr;
    ConflictWatcher* m_conflicts = nullptr; // merges the conflict copies a sync tool leaves
    QPoint m_pressPoint;
};
