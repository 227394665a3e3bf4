#include "HelpTexts.h"

#include <QStringList>

namespace {

QString compose(const QString& heading, int stars, const QStringList& body) {
    QStringList lines{heading, QString(stars, QLatin1Char('*'))};
    lines += body;
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

} // namespace

namespace HelpTexts {

QString welcome() {
    return compose(
        "Welcome !", 13,
        {"",
         "Quillmere Password Storage keeps the passwords of your Internet accounts in one place, so that you can "
         "find them at once and insert them quickly into the web sites that ask for them.",
         "",
         "A few sample entries are included to show you how to store your information. Look at them, then edit or "
         "replace them with your own.",
         "",
         "Besides passwords the program keeps your notes, a \"ToDo List\" of reminders, and your personal "
         "information: names, addresses, e-mail addresses and credit cards.",
         "",
         "Please note: this program is not a secure store. Your records are kept in clear in the file password.mdb. "
         "Firewall software on your computer protects the stored passwords against theft; keep it turned on.",
         "", "Find",
         "Click the magnifier on the main window's top bar, or press Ctrl+F, and type: the records of every "
         "section that hold the words are listed as you type. Pick one to show it in its section. Passwords, card "
         "numbers and security codes are never searched.",
         "", "Import / Export",
         "Click the button beside the magnifier to open Import / Export in a window of its own; the program goes on "
         "running, and imported records show at once. See \"Database Utility\" for what it does.",
         "", "The command line",
         "quillmere-cli reads and writes the same records from a terminal or a script: ls, show, search, import, "
         "export, generate, backup, restore and repair. \"quillmere-cli --help\" lists the commands, \"man "
         "quillmere-cli\" tells all of them."});
}

QString passwords() {
    return compose(
        "Passwords", 13,
        {"",
         "Save your Internet passwords here for instant retrieval. You can go directly to an account's website "
         "from the program, and the password generator makes strong passwords for you.",
         "",
         "Each copy button copies one piece of information and minimizes the window to the task bar. Then click "
         "into the form on the web page and paste the information there.",
         "",
         "Add a new Password",
         "1. Click \"New \".",
         "2. Enter the account name or a description of the account.",
         "3. Fill in the other boxes; move between boxes with the Tab key.",
         "4. Click \"Save\".",
         "",
         "Edit a Password",
         "1. Select the password in the list.",
         "2. Click \"Edit\".",
         "3. Change the boxes.",
         "4. Click \"Save\".",
         "",
         "Delete a Password",
         "1. Select the account in the list.",
         "2. Click \"Delete\".",
         "Deleted information cannot be retrieved."});
}

QString notes() {
    return compose("Notes", 8,
                   {"",
                    "The notes section stores any kind of text. Copy text from a web site into a note, or keep text "
                    "there to move it to other programs later.",
                    "", "Right-click in a note to show a pop-up menu for copying its text.", "", "Add a new Note",
                    "1. Click \"New Note\".", "2. Enter the subject.",
                    "3. Move to the note box with the Tab key "
                    "and type the note.",
                    "4. Click \"Save\".", "", "Edit a Note", "1. Select the note in the list.",
                    "2. Click \"Edit this Note\".", "3. Change the note.", "4. Click \"Save\"."});
}

QString personal() {
    return compose("Personal Information", 25,
                   {"", "This section stores names, addresses, e-mail addresses and credit card information.", "",
                    "The copy buttons beside the boxes help you fill out sign-up forms and order forms on the "
                    "Internet quickly: click one, then paste the information into the form."});
}

QString todo() {
    return compose("ToDo List", 12,
                   {"", "The to-do list keeps reminders to yourself.", "",
                    "Click a date in the calendar to make a new reminder for that day.",
                    "Click the calendar's year to show buttons for choosing another year.",
                    "Click the calendar's month to pop up a menu for choosing another month."});
}

QString backup() {
    return compose(
        "BACKUP AND DATABASE UTILITY", 44,
        {"",
         "To reach the database utility, click the \"Exit\" button of the main window and answer YES to the "
         "question about a backup.",
         "",
         "BACKING UP THE DATABASE:",
         "1. Click \"Backup\".",
         "2. In the dialog pick the folder for the backup: a floppy disk, a USB drive or any folder will do.",
         "3. Click \"Save\". The saved database is always named \"password.mdb\".",
         "A copy burned to a CD is read-only and will not work until you make it writable again.",
         "",
         "Tip: keep two copies in separate places: one of the database as first installed, for starting over, and "
         "one of the database in use.",
         "",
         "The Restore Button:",
         "To restore your records after installing the program again:",
         "1. Start the program, click \"Exit\" and answer YES.",
         "2. Click \"Restore Database\".",
         "3. Navigate to your backup and pick \"password.mdb\".",
         "4. Confirm with \"Open\".",
         "5. Leave the utility and start the program again.",
         "A backup is checked before it is restored: a damaged backup is refused and your database stays as it "
         "was. The database a restore replaces is kept beside the program's files as "
         "\"password.before-restore.mdb\" (the last one only): to undo a restore of the wrong backup, rename it "
         "to \"password.mdb\".",
         "",
         "The Repair Button:",
         "An accidental shutdown can damage the database, and deleting records leaves empty space behind. "
         "\"Repair\" fixes such problems and compacts the database.",
         "A damaged database is rebuilt from every record that can still be read; the utility tells how many "
         "records of each section were recovered and lost, and keeps the damaged file as "
         "\"password.damaged.mdb\".",
         "",
         "IMPORT / EXPORT:",
         "Open it with the button beside the magnifier on the main window, or with \"Import / Export\" here.",
         "Import brings in an export file of Bitwarden (JSON, password-protected JSON or CSV), KeePassXC, Chrome, "
         "Edge, Firefox and other password managers. You see what comes, and where, before anything is saved; "
         "records you already have are skipped. What a file holds beyond the fields of a section is kept as lines "
         "\"Label: value\" in the record's notes. A password-protected Bitwarden export asks for its password.",
         "Export writes all records to a Bitwarden JSON file (\"Export Protected\": encrypted with a password you "
         "choose), to one CSV file per section, or to a CSV file for KeePassXC. Plain export files hold your "
         "passwords in clear: delete them when you no longer need them."});
}

} // namespace HelpTexts
