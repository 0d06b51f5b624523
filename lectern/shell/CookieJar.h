#ifndef LECTERN_SHELL_COOKIEJAR_H
#define LECTERN_SHELL_COOKIEJAR_H

#include <QNetworkCookieJar>
#include <QString>

// Keeps cookies in an INI file, one section per host and one key per cookie
// name, so that a login survives a restart. Only names and values are kept:
// no path, domain, expiry or flags. Nothing is held in memory; each call opens
// the file afresh.
class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    explicit CookieJar(const QString &path);

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;

private:
    QString fileName;
};

#endif // LECTERN_SHELL_COOKIEJAR_H
