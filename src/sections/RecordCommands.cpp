#include "RecordCommands.h"

#include "editors/RecordEditor.h"
#include "platform/AppContext.h"
#include "platform/MessageText.h"
#include "platform/Windows.h"
#include "store/DataBinder.h"
#include "store/StoreError.h"

#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QWidget>

namespace {

enum class AfterDelete { First, Second, Last };

struct CommandRow {
    Section section;
    QString newButton; // empty: reminders are added from the calendar
    QString editButton;
    QString deleteButton;
    QString newFocus;
    QString editFocus; // empty: the focus stays where showing the editor put it
    bool captionBeforeEdit;
    QString nameBox;
    QString refusalFirst;
    QString refusalSecond;
    AfterDelete afterDelete;
};

const CommandRow Rows[] = {
    {Section::Passwords, "cmdNew", "cmdEdit", "cmdDelete", "Text1", "Text1", true, "Text1",
     "This Password can not be deleted.", "You can edit this Password.", AfterDelete::Last},
    {Section::CreditCards, "cmdNewCCard", "cmdEditCCard", "cmdDeleteCCard", "Combo1", "", false, "Text17",
     "This Credit Card can not be deleted.", "You can edit this Credit Card.", AfterDelete::First},
    {Section::Personal, "cmdNewPerson", "cmdEditPerson", "cmdDeletePerson", "Text10", "Text10", true, "Text10",
     "This Person can not be deleted.", "You can edit this Person.", AfterDelete::Second},
    {Section::Notes, "cmdNewnote", "cmdEditnote", "cmdDeletenote", "Text7", "", false, "Text7",
     "This Note can not be deleted.", "You can edit this Note.", AfterDelete::First},
    {Section::Reminders, "", "cmdEditreminder", "cmdDeletereminder", "Text9", "Text9", true, "Text8",
     "This Reminder can not be deleted.", "You can edit this Reminder.", AfterDelete::Last},
};

const CommandRow& row(Section section) {
    return Rows[static_cast<int>(section)];
}

} // namespace

RecordCommands::RecordCommands(AppContext& context, SectionBinders& binders, QWidget* mainWindow)
    : QObject(mainWindow), m_context(context), m_binders(binders), m_mainWindow(mainWindow) {
    for (const CommandRow& r : Rows) {
        const auto wire = [this](const QString& name, auto action) {
            if (auto* button = m_mainWindow->findChild<QPushButton*>(name))
                connect(button, &QPushButton::clicked, this, action);
        };
        const Section s = r.section;
        if (!r.newButton.isEmpty())
            wire(r.newButton, [this, s] { newRecord(s); });
        wire(r.editButton, [this, s] { editRecord(s); });
        wire(r.deleteButton, [this, s] { deleteRecord(s); });
    }
}

RecordEditor* RecordCommands::showEditor(Section section) {
    const EditorDescription& description = editorDescription(section);
    DataBinder* mainBinder = &m_binders.binder(section);
    return static_cast<RecordEditor*>(m_context.windows.show(
        description.windowName, [&] { return new RecordEditor(m_context, description, mainBinder); }));
}

void RecordCommands::newRecord(Section section) {
    RecordEditor* editor = showEditor(section);
    if (!editor)
        return;
    // Whatever the open editor held unsaved is dropped, never written.
    editor->beginAdd();
    editor->box(row(section).newFocus)->setFocus();
}

void RecordCommands::addReminder(const QDate& day) {
    RecordEditor* editor = showEditor(Section::Reminders);
    if (!editor)
        return;
    editor->beginAdd();
    // Text put into a bound box counts as typed: it belongs to the new record.
    qobject_cast<QLineEdit*>(editor->box(QStringLiteral("Text8")))->setText(shortDate(day));
    editor->box(row(Section::Reminders).newFocus)->setFocus();
}

void RecordCommands::editRecord(Section section) {
    const CommandRow& r = row(section);
    DataBinder& binder = m_binders.binder(section);
    // An empty table has no record to change: nothing happens.
    // On the file as it is now: another program may have changed or replaced it.
    binder.followFile();
    if (!binder.hasCurrentRecord())
        return;
    RecordEditor* editor = showEditor(section);
    if (!editor)
        return;
    const QString caption = editorDescription(section).editingCaption;
    if (r.captionBeforeEdit)
        editor->setHeaderCaption(caption);
    try {
        editor->beginEdit(binder.Bookmark());
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return;
    }
    if (!r.captionBeforeEdit)
        editor->setHeaderCaption(caption);
    if (!r.editFocus.isEmpty())
        editor->box(r.editFocus)->setFocus();
}

void RecordCommands::deleteRecord(Section section) {
    const CommandRow& r = row(section);
    DataBinder& binder = m_binders.binder(section);
    const qint64 count = binder.RecordCount();
    if (count == 1) {
        m_context.prompter.warn(r.refusalFirst + '\n' + r.refusalSecond + '\n' +
                                QStringLiteral("At least one record has to be present at all times."));
        return;
    }
    // An empty table has no record to delete: nothing happens.
    if (!binder.hasCurrentRecord())
        return;
    const QString name = quotedInMessage(m_mainWindow->findChild<QLineEdit*>(r.nameBox)->text());
    const RecordKey asked = binder.Bookmark();
    const QString askedIdentity = binder.currentIdentity();
    if (!m_context.prompter.ask(QStringLiteral("Are you sure you want to delete ") + name + QStringLiteral(" ?"),
                                QStringLiteral("Delete Information")))
        return;
    try {
        // While the question was open another program may have changed the file:
        // only the record the user was asked about is deleted.
        if (binder.followFile() &&
            (askedIdentity.isEmpty() ? binder.Bookmark() != asked : binder.currentIdentity() != askedIdentity)) {
            m_context.prompter.warn(QStringLiteral("This record no longer exists."));
            return;
        }
        binder.Delete();
        binder.Refresh();
    } catch (const StoreError& e) {
        m_context.prompter.critical(e.message());
        return;
    }
    switch (r.afterDelete) {
    case AfterDelete::First:
        binder.MoveFirst();
        break;
    case AfterDelete::Last:
        binder.MoveLast();
        break;
    case AfterDelete::Second:
        binder.MoveNext();
        if (binder.isEOF())
            binder.MovePrevious();
        break;
    }
}

QString RecordCommands::shortDate(const QDate& day) {
    const QLocale locale;
    // The C and POSIX locales have no date conventions of their own: they get the
    // month/day/year form the delivered records are written in.
    if (locale.language() == QLocale::C)
        return locale.toString(day, QStringLiteral("M/d/yyyy"));
    QString format = locale.dateFormat(QLocale::ShortFormat);
    if (!format.contains(QStringLiteral("yyyy")))
        format.replace(QStringLiteral("yy"), QStringLiteral("yyyy"));
    return locale.toString(day, format);
}
