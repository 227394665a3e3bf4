#include "QtExtensionAsker.h"

#include "BrowserAccessWindow.h"
#include "BrowserConnectionWindow.h"
#include "platform/AppContext.h"

#include <QApplication>

namespace {

// Brings a question to the front, over the browser the user is in.
int ask(QDialog& window) {
    window.setWindowModality(Qt::ApplicationModal);
    window.show();
    window.raise();
    window.activateWindow();
    return window.exec();
}

} // namespace

std::optional<QString> QtExtensionAsker::confirmConnection(const ConnectionRequest& request) {
    BrowserConnectionWindow window(request, QApplication::activeWindow());
    ask(window);
    return window.chosenName();
}

ExtensionAsker::AccessAnswer QtExtensionAsker::confirmAccess(const AccessRequest& request) {
    BrowserAccessWindow window(request, QApplication::activeWindow());
    ask(window);
    return window.answer();
}

bool QtExtensionAsker::confirmNewLogin(const NewLoginRequest& request) {
    return m_context.prompter.ask(
        QStringLiteral("The browser offers to save the login \"%1\" of %2 as a new account in the Passwords "
                       "section.\n\nSave it?")
            .arg(request.user.left(100), request.site));
}
