#include "FilePassword.h"

#include "Output.h"
#include "Terminal.h"

QString filePassword(const Arguments& arguments, bool forNewFile) {
    const bool fromStandardInput = arguments.has(QStringLiteral("file-password-stdin"));
    const QString what = QStringLiteral("file password");
    QString error;
    const std::optional<QString> password = readSecret(fromStandardInput, what, "File password: ", error);
    if (!password)
        fail(error, Usage);
    if (password->isEmpty())
        fail(QStringLiteral("the file password is empty."), Usage);
    if (forNewFile && !fromStandardInput) {
        const std::optional<QString> again = readSecret(false, what, "The file password again: ", error);
        if (!again)
            fail(error, Usage);
        if (*again != *password)
            fail(QStringLiteral("the two file passwords typed differ; nothing has been written."), Usage);
    }
    return *password;
}
