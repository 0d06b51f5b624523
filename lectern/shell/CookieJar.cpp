#include "CookieJar.h"

#include <QFileInfo>
#include <QNetworkCookie>
#include <QSaveFile>
#include <QSettings>
#include <QUrl>
#include <QVariant>

#include <algorithm>

namespace {

// Cookie names and values are taken up to the first zero byte.
QByteArray upToZeroByte(const QByteArray &bytes)
{
    return bytes.left(int(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

bool isUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// A name the file can hold as a key at all: keys are UTF-8 text.
bool isFileable(const QByteArray &name)
{
    return !name.isEmpty() && isUtf8(name);
}

// A name that comes back from the file as a key of its host's own section: the
// settings class takes "/" and "\" as separators of subgroups.
bool isReadBack(const QByteArray &name)
{
    return isFileable(name) && !name.contains('/') && !name.contains('\\');
}

QString keyFor(const QByteArray &name)
{
    return QString::fromUtf8(name);
}

// Text when the bytes are UTF-8 (as the first versions wrote every value, so
// that they can read it too), otherwise the bytes themselves.
QVariant storedValue(const QByteArray &value)
{
    if (isUtf8(value))
        return QString::fromUtf8(value);
    return value;
}

} // namespace

CookieJar::CookieJar(const QString &path) : fileName(path)
{
    load();
}

void CookieJar::load()
{
    QSettings file(fileName, QSettings::IniFormat);
    // The cookies of URLs without a host (about:blank) lie at the top level.
    QStringList sections = file.childGroups();
    sections.prepend(QString());
    for (const QString &host : sections) {
        file.beginGroup(host);
        HostCookies cookies;
        const QStringList names = file.childKeys();
        for (const QString &name : names)
            cookies.append({name.toUtf8(), file.value(name).toByteArray()});
        file.endGroup();
        if (cookies.isEmpty())
            continue;
        // A file from before the bound may hold more than it: the surplus is
        // neither sent nor kept.
        const QList<QByteArray> dropped = trim(cookies);
        hosts.insert(host, cookies);
        if (!dropped.isEmpty())
            store(host, {}, dropped);
    }
}

QList<QNetworkCookie> CookieJar::cookiesForUrl(const QUrl &url) const
{
    QList<QNetworkCookie> cookies;
    const auto host = hosts.constFind(url.host());
    if (host == hosts.constEnd())
        return cookies;
    for (const Cookie &cookie : *host)
        cookies.append(QNetworkCookie(cookie.name, cookie.value));
    return cookies;
}

bool CookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    const QString host = url.host();
    HostCookies &kept = hosts[host];
    QList<Cookie> written;
    QList<QByteArray> dropped;
    for (const QNetworkCookie &cookie : cookieList) {
        const Cookie entry{upToZeroByte(cookie.name()), upToZeroByte(cookie.value())};
        if (!isFileable(entry.name))
            continue;
        written.append(entry);
        if (!isReadBack(entry.name))
            continue;
        // A new value for a known name replaces the old one and counts as new.
        for (int i = 0; i < kept.size(); ++i) {
            if (kept.at(i).name == entry.name) {
                kept.removeAt(i);
                break;
            }
        }
        kept.append(entry);
        dropped += trim(kept);
    }
    // What is filed: names the file cannot read back (as before), and the
    // others that are still kept, with their last value.
    QList<Cookie> filed;
    for (const Cookie &entry : written) {
        if (isReadBack(entry.name)) {
            const auto stillKept = std::find_if(
                kept.cbegin(), kept.cend(), [&](const Cookie &c) { return c.name == entry.name; });
            if (stillKept == kept.cend())
                continue;
        }
        filed.append(entry);
    }
    if (kept.isEmpty())
        hosts.remove(host);
    if (!store(host, filed, dropped))
        reportStoreFailure();
    // Every cookie is accepted, whatever its domain, path or expiry.
    return true;
}

QList<QByteArray> CookieJar::trim(HostCookies &cookies)
{
    QList<QByteArray> dropped;
    while (cookies.size() > maxCookiesPerHost)
        dropped.append(cookies.takeFirst().name);
    return dropped;
}

bool CookieJar::store(const QString &host, const QList<Cookie> &written,
                      const QList<QByteArray> &dropped)
{
    if (written.isEmpty() && dropped.isEmpty())
        return true;
    QSettings file(fileName, QSettings::IniFormat);
    file.beginGroup(host);
    // Removals first: a name dropped and set again in one call stays.
    for (const QByteArray &name : dropped)
        file.remove(keyFor(name));
    for (const Cookie &cookie : written)
        file.setValue(keyFor(cookie.name), storedValue(cookie.value));
    file.endGroup();
    file.sync();
    return file.status() == QSettings::NoError;
}

void CookieJar::reportStoreFailure()
{
    if (failureReported)
        return;
    failureReported = true;
    // The settings class tells only that it failed; a file opened for writing
    // the same way (a new file beside it, then renamed) tells why.
    QString error;
    QSaveFile probe(fileName);
    if (probe.open(QIODevice::WriteOnly)) {
        probe.cancelWriting();
        error = QStringLiteral("the settings could not be written");
    } else {
        error = probe.errorString();
    }
    emit storeFailed(QStringLiteral("Cookie file %1 cannot be written (%2): cookies are kept "
                                    "for this run only")
                         .arg(QFileInfo(fileName).absoluteFilePath(), error));
}
