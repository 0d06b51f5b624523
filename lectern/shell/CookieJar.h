#ifndef LECTERN_SHELL_COOKIEJAR_H
#define LECTERN_SHELL_COOKIEJAR_H

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QNetworkCookieJar>
#include <QString>

// Keeps cookies by host, one section per host and one key per cookie name in
// an INI file, so that a login survives a restart. Only names and values are
// kept: no path, domain, expiry or flags.
//
// The cookies live in memory for the run (read from the file when the jar is
// made) and every change is written through to the file at once. A file that
// cannot be written costs nothing but the next runs: cookies still work for
// this run, and storeFailed() says why, once.
//
// File format (that of the first versions, which still load): names are keys
// in UTF-8; a value is stored as text when its bytes are UTF-8, otherwise as
// the settings class's byte array, so that every value comes back byte for byte.
// A name that cannot be read back as a key of its host's own section (one that
// is no UTF-8, or holds the key separators "/" or "\") is not sent; one with a
// separator is still filed, in a subgroup.
class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    // Cookies kept per host, as Chromium and Firefox keep (RFC 6265 asks for at
    // least 50): enough for any real service, and a bound on the Cookie header
    // that a host can make the program send. Beyond it the cookies set longest
    // ago go first; one set again counts as new. Cookies read from the file
    // count as older than any set during the run, in the file's order.
    static constexpr int maxCookiesPerHost = 180;

    explicit CookieJar(const QString &path);

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;

signals:
    // A line for the log: the cookie file cannot be written (naming the file
    // and the error). Emitted once per run, at the first failed write.
    void storeFailed(const QString &line);

private:
    struct Cookie
    {
        QByteArray name;
        QByteArray value;
    };
    using HostCookies = QList<Cookie>; // set longest ago first

    void load();
    // Drops the oldest cookies beyond the bound; returns their names.
    static QList<QByteArray> trim(HostCookies &cookies);
    // Writes the given cookies of the host and removes the dropped names; true
    // when the file took the change.
    bool store(const QString &host, const QList<Cookie> &written, const QList<QByteArray> &dropped);
    void reportStoreFailure();

    QString fileName;
    QHash<QString, HostCookies> hosts;
    bool failureReported = false;
};

#endif // LECTERN_SHELL_COOKIEJAR_H
