#include "CookieJar.h"

#include <QNetworkCookie>
#include <QSettings>
#include <QUrl>

namespace {

// Cookie names and values are taken as text up to the first zero byte.
QString textUpToZeroByte(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes.constData(), qstrnlen(bytes.constData(), bytes.size()));
}

} // namespace

CookieJar::CookieJar(const QString &path) : fileName(path) {}

QList<QNetworkCookie> CookieJar::cookiesForUrl(const QUrl &url) const
{
    QSettings store(fileName, QSettings::IniFormat);
    store.beginGroup(url.host());
    QList<QNetworkCookie> cookies;
    // Only the host group's own keys: a name holding "/" lands in a subgroup
    // and is not sent back.
    const QStringList names = store.childKeys();
    for (const QString &name : names) {
        cookies.append(QNetworkCookie(name.toLocal8Bit(), store.value(name).toByteArray()));
    }
    return cookies;
}

bool CookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    QSettings store(fileName, QSettings::IniFormat);
    store.beginGroup(url.host());
    for (const QNetworkCookie &cookie : cookieList) {
        store.setValue(textUpToZeroByte(cookie.name()), textUpToZeroByte(cookie.value()));
    }
    store.sync();
    // Every cookie is accepted, whatever its domain, path or expiry; a file
    // that cannot be written loses them without notice.
    return true;
}
