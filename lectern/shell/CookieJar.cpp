#include "CookieJar.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QNetworkCookie>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

// Cookie names and values are taken up to the first zero byte.
QByteArray upToZeroByte(const QByteArray &bytes)
{
    return bytes.left(int(qstrnlen(bytes.constData(), uint(bytes.size()))));
}

// Within the size bound, and a name the file holds as a key of its host's own
// section: keys are non-empty UTF-8 text, and the settings class takes "/"
// and "\" as separators of subgroups.
bool isKeepable(const StoredCookie &cookie)
{
    const QByteArray &name = cookie.name;
    return !name.isEmpty() && name.size() + cookie.value.size() <= CookieJar::maxCookieBytes &&
           QString::fromUtf8(name).toUtf8() == name && !name.contains('/') && !name.contains('\\');
}

QList<StoredCookie> keepable(const QList<StoredCookie> &cookies)
{
    QList<StoredCookie> kept;
    std::copy_if(cookies.cbegin(), cookies.cend(), std::back_inserter(kept), isKeepable);
    return kept;
}

// The host's section in `hosts`, or the end.
template <typename Hosts> auto findHost(Hosts &hosts, const QString &host)
{
    return std::find_if(hosts.begin(), hosts.end(),
                        [&host](const HostCookies &section) { return section.host == host; });
}

// Its share of the Cookie header: "name=value", and "; " before the next.
int headerBytes(const StoredCookie &cookie)
{
    return cookie.name.size() + 1 + cookie.value.size() + 2;
}

// Drops the cookies set longest ago beyond the host's bounds; returns how
// many were dropped.
int trim(QList<StoredCookie> &cookies)
{
    int bytes = -2; // no separator after the last cookie
    for (const StoredCookie &cookie : cookies)
        bytes += headerBytes(cookie);
    int dropped = 0;
    while (cookies.size() > CookieJar::maxCookiesPerHost ||
           bytes > CookieJar::maxHeaderBytesPerHost) {
        bytes -= headerBytes(cookies.takeFirst());
        ++dropped;
    }
    return dropped;
}

} // namespace

CookieJar::CookieJar(const QString &path)
    : file(path, [this](const QString &error) {
          QMetaObject::invokeMethod(
              this, [this, error]() { reportStoreFailure(error); }, Qt::QueuedConnection);
      })
{
    int dropped = 0;
    for (const HostCookies &section : file.read()) {
        const QList<StoredCookie> accepted = keepable(section.cookies);
        dropped += section.cookies.size() - accepted.size() + keep(section.host, accepted);
    }
    // A file from before the bounds may hold more than they allow: the surplus
    // is neither sent nor kept.
    if (dropped > 0)
        scheduleWrite();
    // The close dialog's "Log me out" is the last thing set before the
    // application quits.
    if (QCoreApplication::instance())
        connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
                &CookieJar::flush);
}

CookieJar::~CookieJar()
{
    flush();
}

QList<QNetworkCookie> CookieJar::cookiesForUrl(const QUrl &url) const
{
    QList<QNetworkCookie> cookies;
    const auto section = findHost(hosts, url.host());
    if (section == hosts.cend())
        return cookies;
    for (const StoredCookie &cookie : section->cookies)
        cookies.append(QNetworkCookie(cookie.name, cookie.value));
    return cookies;
}

bool CookieJar::setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url)
{
    QList<StoredCookie> cookies;
    for (const QNetworkCookie &cookie : cookieList)
        cookies.append({upToZeroByte(cookie.name()), upToZeroByte(cookie.value())});
    const QList<StoredCookie> accepted = keepable(cookies);
    if (!accepted.isEmpty()) {
        keep(url.host(), accepted);
        scheduleWrite();
    }
    // Every cookie counts as accepted, whatever its domain, path or expiry.
    return true;
}

int CookieJar::keep(const QString &host, const QList<StoredCookie> &accepted)
{
    if (accepted.isEmpty())
        return 0;
    const auto found = findHost(hosts, host);
    HostCookies section{host, {}};
    if (found != hosts.end()) {
        section = std::move(*found);
        hosts.erase(found);
    }
    // A new value for a known name replaces the old one and counts as new.
    for (const StoredCookie &cookie : accepted) {
        const auto same =
            std::find_if(section.cookies.begin(), section.cookies.end(),
                         [&cookie](const StoredCookie &c) { return c.name == cookie.name; });
        if (same != section.cookies.end())
            section.cookies.erase(same);
        section.cookies.append(cookie);
    }
    int dropped = trim(section.cookies);
    hosts.append(section);
    while (hosts.size() > maxHosts)
        dropped += hosts.takeFirst().cookies.size();
    return dropped;
}

void CookieJar::scheduleWrite()
{
    if (writeScheduled)
        return;
    writeScheduled = true;
    QTimer::singleShot(0, this, &CookieJar::writeOut);
}

void CookieJar::writeOut()
{
    if (!writeScheduled)
        return;
    writeScheduled = false;
    file.write(hosts);
}

void CookieJar::flush()
{
    writeOut();
    file.flush();
}

void CookieJar::reportStoreFailure(const QString &error)
{
    if (failureReported)
        return;
    failureReported = true;
    emit storeFailed(QStringLiteral("Cookie file %1 cannot be written (%2): cookies are kept "
                                    "for this run only")
                         .arg(QFileInfo(file.path()).absoluteFilePath(), error));
}
