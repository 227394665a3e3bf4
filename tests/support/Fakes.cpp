#include "Fakes.h"

#include "platform/AppWindow.h"

#include <QTextDocument>

bool FakePrompter::ask(const QString& text, const QString& title) {
    calls.append({"ask", text, title});
    if (answers.isEmpty()) {
        ++unexpectedQuestions;
        return false;
    }
    return answers.takeFirst();
}

std::optional<QString> FakeFileDialogs::saveFile(const FileDialogRequest& request) {
    requests.append(request);
    return answer;
}

std::optional<QString> FakeFileDialogs::openFile(const FileDialogRequest& request) {
    requests.append(request);
    return answer;
}

void FakeReportViewer::show(std::unique_ptr<QTextDocument> report, const QString& title) {
    lastReport = std::move(report);
    lastTitle = title;
    ++shown;
}

FakeContext::FakeContext(const QString& programDirectory)
    : context{programDirectory, prompter,     clipboard, browser,
              fileDialogs,      reportViewer, windows,   [] { return QDate(2026, 12, 7); }} {}

FakeContext::~FakeContext() {
    // Windows must go before the fakes they point at.
    for (AppWindow* window : windows.openWindows())
        delete window;
}
