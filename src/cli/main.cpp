// quillmere-cli: the records of Quillmere Password Storage from the command
// line, for scripts and for people without a desktop session.
#include "CommandLine.h"
#include "core/CoreDumps.h"
#include "core/DataLocation.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    // Before anything is read: a crash must never write the records to disk.
    disableCoreDumps();
    QCoreApplication application(argc, argv);
    return runCommandLine(application.arguments().mid(1), [](QString& error) {
        const DataLocation data =
            DataLocation::decide(DataLocation::currentEnvironment(QCoreApplication::applicationDirPath()));
        error = data.error;
        return data.dataDirectory;
    });
}
