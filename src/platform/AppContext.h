#pragma once

#include "Seams.h"
#include "core/DataLocation.h"

#include <QDate>
#include <QString>
#include <functional>

class ExtensionServer;
class Windows;

// Everything a window needs from outside itself. main() wires the desktop's
// implementations, tests wire fakes.
struct AppContext {
    // The folder of the records, decided once at start by DataLocation: the
    // program directory of a portable copy, else the user's data folder.
    QString dataDirectory;
    Prompter& prompter;
    Clipboard& clipboard;
    Browser& browser;
    FileDialogs& fileDialogs;
    ReportViewer& reportViewer;
    Windows& windows;
    std::function<QDate()> today = [] { return QDate::currentDate(); };
    // The delivered read-only files of an installed program; empty for a portable copy.
    QString templateDirectory;
    // Serves the browser extension once the user has signed in; none in tests that do not need it.
    ExtensionServer* extensionServer = nullptr;

    // A file of the data folder, joined with the platform's separator.
    QString file(const QString& name) const { return DataLocation::joined(dataDirectory, name); }
    // A report layout: the user's own in the data folder, else the delivered one.
    QString layoutFile(const QString& name) const {
        return DataLocation::layoutFile(dataDirectory, templateDirectory, name);
    }
};
