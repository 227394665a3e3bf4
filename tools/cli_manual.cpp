// Writes the manual page of quillmere-cli from the program's own command
// definitions: cli_manual OUTPUT
#include "cli/ManualPage.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: cli_manual OUTPUT\n");
        return 2;
    }
    QFile out(QString::fromLocal8Bit(argv[1]));
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(manualPage().toUtf8()) < 0) {
        std::fprintf(stderr, "cli_manual: %s cannot be written\n", argv[1]);
        return 1;
    }
    return 0;
}
