#include "Fakes.h"

#include "platform/AppWindow.h"

#include <QPrinter>

bool FakePrompter::ask(const QString& text, const QString& title) {
    calls.append({"ask", text, title});
    if (answers.isEmpty()) {
        ++unexpectedQuestions;
        return false;
    }
    return answers.takeFirst();
}

int FakePrompter::choose(const QString& text, const QStringList& buttons, const QString& title) {
    calls.append({"choose", text, title});
    if (choices.isEmpty()) {
        ++unexpectedQuestions;
        return int(buttons.size()) - 1;
    }
    return choices.takeFirst();
}

std::optional<QString> FakePrompter::password(const QString& text, const QString& title) {
    calls.append({"password", text, title});
    if (passwords.isEmpty()) {
        ++unexpectedQuestions;
        return std::nullopt;
    }
    return passwords.takeFirst();
}

std::optional<QString> FakeFileDialogs::saveFile(const FileDialogRequest& request) {
    requests.append(request);
    return answer;
}

std::optional<QString> FakeFileDialogs::openFile(const FileDialogRequest& request) {
    requests.append(request);
    return answer;
}

bool FakeReportViewer::choosePrinter(QPrinter& printer, QWidget*) {
    ++asked;
    if (pdfFile.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdfFile);
    return true;
}

FakeContext::FakeContext(const QString& programDirectory)
    : context{programDirectory, prompter,     clipboard, browser,
              fileDialogs,      reportViewer, windows,   [] { return QDate(2026, 12, 7); }} {}

FakeContext::~FakeContext() {
    // Windows must go before the fakes they point at.
    for (AppWindow* window : windows.openWindows())
        delete window;
}
