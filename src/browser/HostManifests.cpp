#include "HostManifests.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace HostManifests {

namespace {

const QStringList ChromiumOrigins{QStringLiteral("chrome-extension://oboonakemofpalcgghocfoadofidjkkk/"),
                                  QStringLiteral("chrome-extension://pdffhmdngciaglkoonimfcmckehcpafo/")};
const QString FirefoxExtension = QStringLiteral("keepassxc-browser@keepassxc.org");

QString pointsAt(const QString& file) {
    QFile manifestFile(file);
    if (!manifestFile.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(manifestFile.read(1 << 20)).object().value(QStringLiteral("path")).toString();
}

} // namespace

QList<Place> places(const QString& home) {
    const QString file = HostName + QStringLiteral(".json");
    return {
        {QStringLiteral("Firefox"), home + QStringLiteral("/.mozilla/native-messaging-hosts/") + file, true},
        {QStringLiteral("Chromium"), home + QStringLiteral("/.config/chromium/NativeMessagingHosts/") + file, false},
        {QStringLiteral("Google Chrome"), home + QStringLiteral("/.config/google-chrome/NativeMessagingHosts/") + file,
         false}};
}

QByteArray manifest(const Place& place, const QString& hostPath) {
    QJsonObject object{
        {QStringLiteral("name"), HostName},
        {QStringLiteral("description"), QStringLiteral("Quillmere Password Storage for KeePassXC-Browser")},
        {QStringLiteral("path"), hostPath},
        {QStringLiteral("type"), QStringLiteral("stdio")}};
    if (place.firefox)
        object.insert(QStringLiteral("allowed_extensions"), QJsonArray{FirefoxExtension});
    else
        object.insert(QStringLiteral("allowed_origins"), QJsonArray::fromStringList(ChromiumOrigins));
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QList<Found> survey(const QString& home) {
    QList<Found> found;
    for (const Place& place : places(home)) {
        Found entry{place, State::Missing, {}};
        if (QFileInfo::exists(place.file)) {
            entry.pointsAt = pointsAt(place.file);
            entry.state = QFileInfo(entry.pointsAt).fileName() == HostExecutable ? State::Ours : State::Other;
        }
        found.append(entry);
    }
    return found;
}

Outcome install(const QString& home, const QString& hostPath, bool replaceOthers) {
    Outcome outcome;
    for (const Found& found : survey(home)) {
        if (found.state == State::Other && !replaceOthers) {
            outcome.kept << QStringLiteral("%1 (%2)").arg(found.place.browser,
                                                          found.pointsAt.isEmpty() ? found.place.file : found.pointsAt);
            continue;
        }
        QSaveFile file(found.place.file);
        if (!QDir().mkpath(QFileInfo(found.place.file).path()) || !file.open(QIODevice::WriteOnly) ||
            file.write(manifest(found.place, hostPath)) < 0 || !file.commit()) {
            if (outcome.error.isEmpty())
                outcome.error = QStringLiteral("%1 cannot be written.").arg(found.place.file);
            continue;
        }
        outcome.written << found.place.browser;
    }
    return outcome;
}

Outcome remove(const QString& home) {
    Outcome outcome;
    for (const Found& found : survey(home)) {
        if (found.state != State::Ours)
            continue;
        if (QFile::remove(found.place.file))
            outcome.removed << found.place.browser;
        else if (outcome.error.isEmpty())
            outcome.error = QStringLiteral("%1 cannot be removed.").arg(found.place.file);
    }
    return outcome;
}

} // namespace HostManifests
