#include "CopyField.h"

#include "platform/AppContext.h"

#include <QWidget>

void copyField(AppContext& context, const QString& text, QWidget* mainWindow) {
    if (text.isEmpty()) {
        context.prompter.warn(QStringLiteral("There is no Text to copy."));
        return;
    }
    context.clipboard.setText(text);
    mainWindow->showMinimized();
}
