#include "MergeAction.h"

#include "platform/AppContext.h"
#include "platform/Controls.h"
#include "store/Schema.h"
#include "sync/Merge.h"

#include <QApplication>
#include <QPushButton>

QPushButton* addMergeButton(QWidget* panel, AppContext& context) {
    QPushButton* button =
        makeButton(panel, QStringLiteral("cmdMerge"), QStringLiteral("&Merge"),
                   QStringLiteral(" Merge a Copy of the Database changed on another Computer "), 300, 2520, 1515, 390);
    QObject::connect(button, &QPushButton::clicked, panel, [&context] {
        const std::optional<QString> chosen = context.fileDialogs.openFile(
            {QStringLiteral("Merge a Copy of the Database"), QString(),
             QStringLiteral("Database Files (*.mdb);;All Files (*)"), context.dataDirectory});
        if (!chosen)
            return;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        const Merge::Outcome outcome = Merge::mergeCopy(context.file(Schema::RecordDatabaseFile), *chosen);
        QApplication::restoreOverrideCursor();
        if (outcome.merged)
            context.prompter.info(QStringLiteral("The copy has been merged.\n") + outcome.summary());
        else
            context.prompter.warn(QStringLiteral("Nothing has been merged.\n") + outcome.error);
    });
    return button;
}
