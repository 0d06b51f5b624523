#ifndef LECTERN_SHELL_COOKIEJAR_H
#define LECTERN_SHELL_COOKIEJAR_H

#include "CookieFile.h"

#include <QList>
#include <QNetworkCookieJar>
#include <QString>

// Keeps cookies by host in a file (see CookieFile), so that a login survives
// a restart. Only names and values are kept: no path, domain, expiry or
// flags; every cookie of a host goes with every request to that host.
//
// The cookies live in memory for the run, read from the file when the jar is
// made. Changes are written out once the event loop turns, on the file's own
// thread, whatever their number: the window never waits for the disk, and a
// crash loses at most the changes of the last turn and of the write then
// under way. The jar is written completely when it is destroyed and when the
// application is about to quit. A file that cannot be written costs nothing
// but the next runs: cookies still work for this run, and storeFailed() says
// why, once.
//
// Bounds, as browsers keep them: a host can make the program send at most
// maxCookiesPerHost cookies in a Cookie header of at most
// maxHeaderBytesPerHost bytes, each of at most maxCookieBytes, and the jar
// (and so the file) holds at most maxHosts hosts. Beyond a bound the cookies
// (or hosts) set longest ago go first; one set again counts as new, and those
// read from the file count as set before any of this run, in the file's
// order. A cookie larger than maxCookieBytes is refused, as is one whose name
// the file cannot hold as a key of its host's section (empty, not UTF-8, or
// holding the settings class's separators "/" or "\"): neither is sent nor
// written, and a value kept earlier under that name stays.
class CookieJar : public QNetworkCookieJar
{
    Q_OBJECT

public:
    // Name and value of one cookie (RFC 6265 asks for at least 4096 bytes).
    static constexpr int maxCookieBytes = 4096;
    // As Chromium and Firefox keep (RFC 6265 asks for at least 50).
    static constexpr int maxCookiesPerHost = 180;
    // "name=value" of each cookie and "; " between them: the Cookie header
    // with its name stays under the 8 KB that common servers take per field.
    static constexpr int maxHeaderBytesPerHost = 8000;
    static constexpr int maxHosts = 50;

    explicit CookieJar(const QString &path);
    ~CookieJar() override;

    QList<QNetworkCookie> cookiesForUrl(const QUrl &url) const override;
    bool setCookiesFromUrl(const QList<QNetworkCookie> &cookieList, const QUrl &url) override;

    // Writes what has changed and waits until it is in the file (or failed).
    void flush();

signals:
    // A line for the log: the cookie file cannot be written (naming the file
    // and the error). Emitted once per run, after the first failed write.
    void storeFailed(const QString &line);

private:
    // Files the host's accepted cookies as its newest and applies the bounds;
    // returns how many cookies (accepted ones and others) were dropped.
    int keep(const QString &host, const QList<StoredCookie> &accepted);
    void scheduleWrite();
    void writeOut();
    void reportStoreFailure(const QString &error);

    QList<HostCookies> hosts; // set longest ago first
    bool writeScheduled = false;
    bool failureReported = false;
    CookieFile file;
};

#endif // LECTERN_SHELL_COOKIEJAR_H
