#include "TrustedHosts.h"

TrustedHosts::TrustedHosts(const QUrl &startUrl, const QStringList &namedHosts)
    : hosts{startUrl.host()}
{
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
    return everyHost || hosts.contains(url.host());
}
