#include "PrintCommands.h"

#include "platform/AppContext.h"

#include <QPushButton>
#include <QTextDocument>
#include <QWidget>

namespace {

struct PrintButton {
    const char* button;
    const char* layoutFile;
};

const PrintButton Buttons[] = {
    {"cmdPrint", "password.rpt"},  {"cmdPrintCCard", "creditcard.rpt"},   {"cmdPrintPerson", "personal.rpt"},
    {"cmdPrintnote", "notes.rpt"}, {"cmdPrintreminder", "reminders.rpt"},
};

} // namespace

PrintCommands::PrintCommands(AppContext& context, QWidget* mainWindow) : QObject(mainWindow), m_context(context) {
    for (const PrintButton& b : Buttons) {
        if (auto* button = mainWindow->findChild<QPushButton*>(QString::fromLatin1(b.button)))
            connect(button, &QPushButton::clicked, this,
                    [this, file = QString::fromLatin1(b.layoutFile)] { print(file); });
    }
}

void PrintCommands::print(const QString& layoutFile) {
    CrystalReport1.setReportFileName(m_context.layoutFile(layoutFile));
    CrystalReport1.setDataDirectory(m_context.dataDirectory);
    std::unique_ptr<QTextDocument> report;
    try {
        report = CrystalReport1.run();
    } catch (const ReportError& e) {
        m_context.prompter.critical(QStringLiteral("The report cannot be shown.\n") + e.message());
        return;
    }
    m_context.reportViewer.show(std::move(report), QStringLiteral("Print Preview"));
}
