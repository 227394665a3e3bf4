#pragma once

#include <QString>
#include <QStringList>

// Where the program keeps its records, decided once at start.
//
// A portable copy (the build folder, or a folder copied elsewhere) holds
// password.mdb beside the executable: the records stay there, as they always
// have. An installed program has no password.mdb beside it: each user's
// records live in $XDG_DATA_HOME/quillmere (~/.local/share/quillmere when
// XDG_DATA_HOME is unset), made owner-only at the first start from the
// read-only templates installed in <prefix>/share/quillmere. An existing data
// folder is never written over, and a template is only ever opened for reading.
// At every start the folder's permissions are put right where they are looser
// than the owner's alone, and a folder of another user is refused (see
// DataLocationPermissions).
//
// Report layouts: a user may keep an edited layout in the data folder; where
// there is none the delivered one is read from the templates folder. Either
// way the database a layout names is looked up in the data folder.
struct DataLocation {
    // What the decision reads from the outside world; tests give their own.
    struct Environment {
        QString programDirectory; // the folder of the executable
        QString xdgDataHome;      // $XDG_DATA_HOME, empty when unset
        QString home;             // the user's home folder
    };

    QString dataDirectory;     // password.mdb, pass2.mdb and the user's own layouts
    QString templateDirectory; // the delivered files; empty for a portable copy
    bool portable = false;
    bool madeNow = false; // this start made the data folder from the templates
    QString error;        // why the program cannot start; empty when it can

    // The environment of this process for an executable in programDirectory.
    static Environment currentEnvironment(const QString& programDirectory);
    // Decides where the data lives and, at an installed program's first start,
    // makes the data folder from the templates.
    static DataLocation decide(const Environment& environment);

    // The two database files every data folder must hold.
    static const QStringList& databaseFiles();
    // The report layouts a data folder may hold; the templates folder has them all.
    static const QStringList& layoutFiles();

    // A file of the data folder, joined with the platform's separator.
    QString file(const QString& name) const { return joined(dataDirectory, name); }
    // A report layout: the data folder's own copy when there is one, else the delivered one.
    QString layoutFile(const QString& name) const { return layoutFile(dataDirectory, templateDirectory, name); }
    static QString layoutFile(const QString& dataDirectory, const QString& templateDirectory, const QString& name);

    static QString joined(const QString& directory, const QString& name);
};
