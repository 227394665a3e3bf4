#pragma once

#include "browser/ExtensionAsker.h"

struct AppContext;

// Asks the user in the program's windows: the two request windows, and a
// message box before a login from the browser becomes a record.
class QtExtensionAsker : public ExtensionAsker {
public:
    explicit QtExtensionAsker(AppContext& context) : m_context(context) {}
    std::optional<QString> confirmConnection(const ConnectionRequest& request) override;
    AccessAnswer confirmAccess(const AccessRequest& request) override;
    bool confirmNewLogin(const NewLoginRequest& request) override;

private:
    AppContext& m_context;
};
