#pragma once

#include "platform/AppContext.h"
#include "platform/Seams.h"
#include "platform/Windows.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

// Records every message box; questions are answered from a script. A message
// box the test did not expect to answer fails the test at its end.
class FakePrompter : public Prompter {
public:
    struct Call {
        QString kind; // "warn", "info", "critical", "ask", "choose", "password"
        QString text;
        QString title;
    };
    void warn(const QString& text, const QString& title) override { calls.append({"warn", text, title}); }
    void info(const QString& text, const QString& title) override { calls.append({"info", text, title}); }
    void critical(const QString& text, const QString& title) override { calls.append({"critical", text, title}); }
    bool ask(const QString& text, const QString& title) override;
    // Answered from `choices`; an unexpected one takes the way out (the last button).
    int choose(const QString& text, const QStringList& buttons, const QString& title) override;
    // Answered from `passwords`; an unexpected one is cancelled.
    std::optional<QString> password(const QString& text, const QString& title) override;

    QList<bool> answers;
    QList<int> choices;
    QStringList passwords;
    QList<Call> calls;
    int unexpectedQuestions = 0;
    // The last call, or an empty one.
    Call last() const { return calls.isEmpty() ? Call{} : calls.last(); }
};

class FakeClipboard : public Clipboard {
public:
    void setText(const QString& text) override {
        ++sets;
        this->text = text;
    }
    QString text = QStringLiteral("(earlier content)");
    int sets = 0;
};

class FakeBrowser : public Browser {
public:
    void open(const QString& address) override { opened << address; }
    QStringList opened;
};

class FakeFileDialogs : public FileDialogs {
public:
    std::optional<QString> saveFile(const FileDialogRequest& request) override;
    std::optional<QString> openFile(const FileDialogRequest& request) override;
    std::optional<QString> answer; // nothing: the user cancels
    QList<FileDialogRequest> requests;
};

// Answers the print dialog: prints to the PDF file named, or cancels when none is.
class FakeReportViewer : public ReportViewer {
public:
    bool choosePrinter(QPrinter& printer, QWidget* parent) override;
    QString pdfFile;
    int asked = 0;
};

// A context wired with fakes, on a given program directory.
struct FakeContext {
    explicit FakeContext(const QString& programDirectory);
    ~FakeContext();
    FakePrompter prompter;
    FakeClipboard clipboard;
    FakeBrowser browser;
    FakeFileDialogs fileDialogs;
    FakeReportViewer reportViewer;
    Windows windows;
    AppContext context;
};
