#pragma once

#include <QString>
#include <QStringList>
#include <optional>

// A web address reduced to what decides whether a stored login belongs to a
// page: scheme, host and port. The path, query, fragment and any user name in
// the address never count, and "www." is the same host as without it.
struct SiteAddress {
    QString scheme; // "http" or "https"; empty for a stored website written without one
    QString host;   // lower case, without "www." and without a final dot
    int port = -1;  // -1: the scheme's own

    // A page the browser shows: only http and https pages are served.
    static std::optional<SiteAddress> ofPage(const QString& url);
    // A record's Website as the user typed it: with or without a scheme.
    static std::optional<SiteAddress> ofWebsite(const QString& website);

    // The port a page is reached on, the scheme's own when none is written.
    int effectivePort() const;
    // "https://books.example.org:8443", the scheme's own port left out: what a
    // remembered decision is kept under and what the user is shown.
    QString origin() const;
    // The forms of the host the record database's website index may hold it under.
    QStringList indexKeys() const;

    // True when a record whose Website is this address may fill the page: the same
    // host, and the page's scheme and port (a website without a scheme stands for
    // https and http, on their own ports unless it names one).
    bool serves(const SiteAddress& page) const;
};
