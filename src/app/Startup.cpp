#include "Startup.h"

#include "platform/AppContext.h"
#include "store/LegacyConversion.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>

bool convertLegacyFiles(AppContext& context) {
    const std::pair<QString, bool> files[] = {{Schema::PasswordStoreFile, false}, {Schema::RecordDatabaseFile, true}};
    for (const auto& [name, recordDatabase] : files) {
        const LegacyConversion::Outcome outcome = LegacyConversion::convertIfNeeded(context.file(name), recordDatabase);
        if (!outcome.error.isEmpty()) {
            context.prompter.critical(outcome.error);
            return false;
        }
        if (outcome.converted)
            context.prompter.info(outcome.report);
    }
    return true;
}

void removeStrayFiles(const QString& programDirectory) {
    const QDir dir(programDirectory);
    const QStringList strays = dir.entryList({QStringLiteral(".password.mdb.*"), QStringLiteral("*.mdb.converting*")},
                                             QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : strays)
        QFile::remove(dir.filePath(name));
}
