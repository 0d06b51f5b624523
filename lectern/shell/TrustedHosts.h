#ifndef LECTERN_SHELL_TRUSTEDHOSTS_H
#define LECTERN_SHELL_TRUSTEDHOSTS_H

#include <QStringList>
#include <QUrl>

// The documents that may be the service's pages: only they get the script
// bridge, and only their certificate errors are ignored. Web pages (http,
// https) are trusted by host: the start URL's host plus the hosts named in the
// `trustedHosts` setting, compared by name alone, whatever the scheme or port;
// the name "*" trusts every host. Local files are trusted only when the start
// URL is a local file itself. Documents of any other scheme (data:, about:,
// javascript:, blob:, ...) have no host of their own and are never trusted,
// and neither is an empty host.
class TrustedHosts
{
public:
    TrustedHosts(const QUrl &startUrl, const QStringList &namedHosts);

    bool contains(const QUrl &url) const;

private:
    // Never holds the empty host.
    QStringList hosts;
    bool everyHost = false;
    bool localFiles = false;
};

#endif // LECTERN_SHELL_TRUSTEDHOSTS_H
