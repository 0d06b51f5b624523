#ifndef LECTERN_SHELL_TRUSTEDHOSTS_H
#define LECTERN_SHELL_TRUSTEDHOSTS_H

#include <QStringList>
#include <QUrl>

// The hosts that serve the service's pages: the start URL's host plus the
// hosts named in the `trustedHosts` setting. Only their pages get the script
// bridge, and only their certificate errors are ignored. The name "*" trusts
// every host. Hosts are compared by name alone, whatever the scheme or port.
class TrustedHosts
{
public:
    TrustedHosts(const QUrl &startUrl, const QStringList &namedHosts);

    bool contains(const QUrl &url) const;

private:
    QStringList hosts;
    bool everyHost = false;
};

#endif // LECTERN_SHELL_TRUSTEDHOSTS_H
