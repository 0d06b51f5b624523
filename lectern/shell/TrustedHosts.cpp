#include "TrustedHosts.h"

namespace {

bool isWebPage(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

} // namespace

TrustedHosts::TrustedHosts(const QUrl &startUrl, const QStringList &namedHosts)
    : localFiles(startUrl.isLocalFile())
{
    // A start URL without a scheme (a host typed without "https://") names no
    // host at all: its text is a path.
    if (isWebPage(startUrl) && !startUrl.host().isEmpty()) {
        hosts.append(startUrl.host());
    }
    for (const QString &name : namedHosts) {
        const QString trimmed = name.trimmed();
        if (trimmed == QLatin1String("*")) {
            everyHost = true;
            continue;
        }
        // Through QUrl, so that a name is spelled as a page URL's host is
        // (lower case, IPv6 without brackets); a name that is no host is dropped.
        QUrl parsed;
        parsed.setHost(trimmed);
        if (!trimmed.isEmpty() && !parsed.host().isEmpty()) {
            hosts.append(parsed.host());
        }
    }
}

bool TrustedHosts::contains(const QUrl &url) const
{
    if (url.isLocalFile()) {
        return localFiles;
    }
    return isWebPage(url) && !url.host().isEmpty() && (everyHost || hosts.contains(url.host()));
}
