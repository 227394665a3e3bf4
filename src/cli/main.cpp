// quillmere-cli: the records of Quillmere Password Storage from the command
// line, for scripts and for people without a desktop session.
#include "Commands.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    return runCommandLine(application.arguments().mid(1), QCoreApplication::applicationDirPath());
}
