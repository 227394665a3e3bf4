#pragma once

#include "Seams.h"

#include <QDate>
#include <QDir>
#include <QString>
#include <functional>

class Windows;

// Everything a window needs from outside itself. main() wires the desktop's
// implementations, tests wire fakes.
struct AppContext {
    QString programDirectory;
    Prompter& prompter;
    Clipboard& clipboard;
    Browser& browser;
    FileDialogs& fileDialogs;
    ReportViewer& reportViewer;
    Windows& windows;
    std::function<QDate()> today = [] { return QDate::currentDate(); };

    // A file of the program directory, joined with the platform's separator.
    QString file(const QString& name) const { return QDir::toNativeSeparators(programDirectory + '/' + name); }
};
