#include "SiteAddress.h"

#include <QUrl>

namespace {

int defaultPort(const QString& scheme) {
    if (scheme == QLatin1String("https"))
        return 443;
    if (scheme == QLatin1String("http"))
        return 80;
    return -1;
}

QString bareHost(QString host) {
    while (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    if (host.startsWith(QLatin1String("www.")))
        host.remove(0, 4);
    return host;
}

std::optional<SiteAddress> parsed(const QString& text, bool schemeWritten) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return std::nullopt;
    SiteAddress address;
    address.scheme = schemeWritten ? url.scheme().toLower() : QString();
    address.host = bareHost(url.host(QUrl::EncodeUnicode).toLower());
    address.port = url.port(-1);
    if (address.host.isEmpty())
        return std::nullopt;
    return address;
}

} // namespace

std::optional<SiteAddress> SiteAddress::ofPage(const QString& url) {
    std::optional<SiteAddress> page = parsed(url.trimmed(), true);
    if (!page || (page->scheme != QLatin1String("https") && page->scheme != QLatin1String("http")))
        return std::nullopt;
    return page;
}

std::optional<SiteAddress> SiteAddress::ofWebsite(const QString& website) {
    const QString text = website.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    if (text.contains(QLatin1String("://")))
        return parsed(text, true);
    return parsed(QStringLiteral("http://") + text, false);
}

int SiteAddress::effectivePort() const {
    return port >= 0 ? port : defaultPort(scheme);
}

QString SiteAddress::origin() const {
    QString text = (scheme.isEmpty() ? QString() : scheme + QStringLiteral("://")) + host;
    if (port >= 0 && port != defaultPort(scheme))
        text += QLatin1Char(':') + QString::number(port);
    return text;
}

QStringList SiteAddress::indexKeys() const {
    QStringList keys{host};
    const QString readable = bareHost(QUrl::fromAce(host.toLatin1()).toLower());
    if (readable != host)
        keys << readable;
    return keys;
}

bool SiteAddress::serves(const SiteAddress& page) const {
    if (host != page.host || page.scheme.isEmpty())
        return false;
    if (!scheme.isEmpty())
        return scheme == page.scheme && effectivePort() == page.effectivePort();
    if (page.scheme != QLatin1String("https") && page.scheme != QLatin1String("http"))
        return false;
    return port >= 0 ? port == page.effectivePort() : page.effectivePort() == defaultPort(page.scheme);
}
