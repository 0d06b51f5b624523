#ifndef LECTERN_SHELL_COOKIEFILE_H
#define LECTERN_SHELL_COOKIEFILE_H

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

struct StoredCookie
{
    QByteArray name;
    QByteArray value;
};

// The cookies of one host, set longest ago first.
struct HostCookies
{
    QString host;
    QList<StoredCookie> cookies;
};

// The cookie jar's file: an INI file with one section per host (the cookies
// of URLs without a host at the top level) and one key per cookie name in
// UTF-8. A value is stored as text when its bytes are UTF-8 (as the first
// versions stored every value, so that they can read it too), otherwise as
// the settings class's byte array, so that every value comes back byte for
// byte.
//
// The file is read once, on the caller's thread, and written on a thread of
// its own: each write puts the whole jar into a new file of mode 0600 beside
// the old one, forces it to disk and renames it over the old one, so the file
// is always either the old jar or the new one, and never readable by others.
class CookieFile
{
public:
    // `failed` is called on the writing thread with the error of each write
    // that fails; the file is then left as it was.
    CookieFile(const QString &path, std::function<void(const QString &error)> failed);
    // Writes what was handed over and not yet written, then ends the thread.
    ~CookieFile();

    CookieFile(const CookieFile &) = delete;
    CookieFile &operator=(const CookieFile &) = delete;

    const QString &path() const { return fileName; }

    // The hosts and their cookies in the file's order; nothing when there is
    // no file or it cannot be read. A file of this user that others may read
    // is restricted to its owner first.
    QList<HostCookies> read() const;

    // Hands the whole jar over for writing and returns at once. A jar handed
    // over earlier whose write has not begun is dropped: only the latest is
    // written, so a burst of changes costs one or two writes.
    void write(const QList<HostCookies> &hosts);

    // Waits until everything handed over is written (or has failed).
    void flush();

private:
    void run();
    // One write of the whole jar; returns "" or the error.
    QString store(const QList<HostCookies> &hosts) const;

    const QString fileName;
    const std::function<void(const QString &)> failed;

    std::mutex mutex;                // protects pending, hasPending, writing and stopping
    std::condition_variable wake;    // work or stop for the writing thread
    std::condition_variable written; // the writing thread has nothing left
    QList<HostCookies> pending;
    bool hasPending = false;
    bool writing = false;
    bool stopping = false;
    std::thread writer;
};

#endif // LECTERN_SHELL_COOKIEFILE_H
