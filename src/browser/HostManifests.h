#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The native-messaging manifests that tell Firefox, Chromium and Chrome which
// program serves the KeePassXC-Browser extension. The host's name is the
// extension's own, so one manifest per browser profile serves it: a manifest
// of another program is never replaced unless the user says so.
namespace HostManifests {

inline const QString HostName = QStringLiteral("org.keepassxc.keepassxc_browser");
inline const QString HostExecutable = QStringLiteral("quillmere-browser-host");

struct Place {
    QString browser; // "Firefox", "Chromium", "Google Chrome"
    QString file;    // the manifest's path
    bool firefox = false;
};

// The three manifests of the user whose home folder this is.
QList<Place> places(const QString& home);
// The manifest's text for a host at hostPath.
QByteArray manifest(const Place& place, const QString& hostPath);

enum class State { Missing, Ours, Other };
struct Found {
    Place place;
    State state = State::Missing;
    QString pointsAt; // the program a manifest names
};
// What each place holds now. A manifest that names a quillmere-browser-host,
// wherever it lies, is the program's own.
QList<Found> survey(const QString& home);

struct Outcome {
    QStringList written; // manifests written, by browser
    QStringList kept;    // another program's, left in place: "Firefox (/usr/bin/keepassxc-proxy)"
    QStringList removed;
    QString error; // the first failure; the rest was still done
};
// Writes the manifests for the host at hostPath; another program's only with replaceOthers.
Outcome install(const QString& home, const QString& hostPath, bool replaceOthers);
// Removes the program's own manifests, and no other.
Outcome remove(const QString& home);

} // namespace HostManifests
