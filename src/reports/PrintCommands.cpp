#include "PrintCommands.h"

#include "PrintPreviewWindow.h"
#include "platform/AppContext.h"
#include "platform/Windows.h"

#include <QPushButton>
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

PrintPreviewWindow* PrintCommands::print(const QString& layoutFile) {
    CrystalReport1.setReportFileName(m_context.layoutFile(layoutFile));
    CrystalReport1.setDataDirectory(m_context.dataDirectory);
    const QString name = PrintPreviewWindow::nameFor(layoutFile);
    return static_cast<PrintPreviewWindow*>(
        m_context.windows.show(name, [&] { return new PrintPreviewWindow(m_context, name, CrystalReport1); }));
}
