#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QPrinter;
class QWidget;

// The program title: the main window's caption and the title of every message
// box that is given none of its own.
inline const QString ProgramTitle = QStringLiteral("Quillmere Password Storage");

// The only way the program shows a message box. Every box is modal.
class Prompter {
public:
    virtual ~Prompter() = default;
    virtual void warn(const QString& text, const QString& title = ProgramTitle) = 0;
    virtual void info(const QString& text, const QString& title = ProgramTitle) = 0;
    virtual void critical(const QString& text, const QString& title = ProgramTitle) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool ask(const QString& text, const QString& title = ProgramTitle) = 0;
    // A question with buttons of these captions, in this order; the index of the
    // one pressed. The last is the way out: Escape and the frame's close press it.
    virtual int choose(const QString& text, const QStringList& buttons, const QString& title = ProgramTitle) = 0;
    // Asks for a password, typed without being shown; nothing when cancelled.
    virtual std::optional<QString> password(const QString& text, const QString& title = ProgramTitle) = 0;
};

class Clipboard {
public:
    virtual ~Clipboard() = default;
    // Clears the clipboard, then puts the text on it unchanged.
    virtual void setText(const QString& text) = 0;
};

class Browser {
public:
    virtual ~Browser() = default;
    // Opens a stored web address with the default browser.
    virtual void open(const QString& address) = 0;
};

struct FileDialogRequest {
    QString title;
    QString proposedName;
    QString filter; // in Qt's form: "Database Files (*.mdb)"
    QString folder;
};

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // The chosen path, or nothing when the user cancelled. The save dialog asks
    // before an existing file is replaced.
    virtual std::optional<QString> saveFile(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> openFile(const FileDialogRequest& request) = 0;
};

// The desktop's side of the print preview: the dialog where the user picks a printer.
class ReportViewer {
public:
    virtual ~ReportViewer() = default;
    // Lets the user choose the printer and its settings; false when cancelled.
    virtual bool choosePrinter(QPrinter& printer, QWidget* parent) = 0;
};
