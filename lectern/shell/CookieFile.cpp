#include "CookieFile.h"

#include "FileLocations.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariant>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

bool isUtf8(const QByteArray &bytes)
{
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

QVariant storedValue(const QByteArray &value)
{
    if (isUtf8(value))
        return QString::fromUtf8(value);
    return value;
}

// Writes the jar into the settings file at `path`, which exists already with
// the mode it is to keep.
bool fill(const QString &path, const QList<HostCookies> &hosts)
{
    QSettings file(path, QSettings::IniFormat);
    // Straight into the file: it is new and private, and the caller renames
    // it into place once it is complete.
    file.setAtomicSyncRequired(false);
    for (const HostCookies &host : hosts) {
        file.beginGroup(host.host);
        for (const StoredCookie &cookie : host.cookies)
            file.setValue(QString::fromUtf8(cookie.name), storedValue(cookie.value));
        file.endGroup();
    }
    file.sync();
    return file.status() == QSettings::NoError;
}

// Forces the folder's entry of a renamed file to disk.
void syncFolder(const QString &path)
{
    const int folder = ::open(QFile::encodeName(QFileInfo(path).absolutePath()).constData(),
                              O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return;
    ::fsync(folder);
    ::close(folder);
}

} // namespace

CookieFile::CookieFile(const QString &path, std::function<void(const QString &)> onFailure)
    : fileName(path), failed(std::move(onFailure))
{
    writer = std::thread([this]() { run(); });
}

CookieFile::~CookieFile()
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        stopping = true;
    }
    wake.notify_one();
    writer.join();
}

QList<HostCookies> CookieFile::read() const
{
    FileLocations::keepPrivate(fileName, FileLocations::IfMissing::Leave);
    QList<HostCookies> hosts;
    QSettings file(fileName, QSettings::IniFormat);
    // The cookies of URLs without a host (about:blank) lie at the top level.
    QStringList sections = file.childGroups();
    sections.prepend(QString());
    for (const QString &host : sections) {
        file.beginGroup(host);
        HostCookies section{host, {}};
        const QStringList names = file.childKeys();
        for (const QString &name : names)
            section.cookies.append({name.toUtf8(), file.value(name).toByteArray()});
        file.endGroup();
        if (!section.cookies.isEmpty())
            hosts.append(section);
    }
    return hosts;
}

void CookieFile::write(const QList<HostCookies> &hosts)
{
    {
        const std::lock_guard<std::mutex> lock(mutex);
        pending = hosts;
        hasPending = true;
    }
    wake.notify_one();
}

void CookieFile::flush()
{
    std::unique_lock<std::mutex> lock(mutex);
    while (hasPending || writing)
        written.wait(lock);
}

void CookieFile::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        while (!hasPending && !stopping)
            wake.wait(lock);
        if (!hasPending)
            return;
        QList<HostCookies> hosts = std::move(pending);
        pending = {};
        hasPending = false;
        writing = true;
        lock.unlock();
        const QString error = store(hosts);
        if (!error.isEmpty())
            failed(error);
        // Lets go of the snapshot, so that the jar's next change need not
        // copy what it shares with it.
        hosts = {};
        lock.lock();
        writing = false;
        written.notify_all();
    }
}

QString CookieFile::store(const QList<HostCookies> &hosts) const
{
    const QByteArray target = QFile::encodeName(fileName);
    // Made with mode 0600, in the same folder so that the rename is atomic.
    QByteArray temporary = target + ".XXXXXX";
    const int descriptor = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (descriptor < 0)
        return qt_error_string(errno);
    QString error;
    if (!fill(QFile::decodeName(temporary), hosts))
        error = QStringLiteral("it could not be written in full");
    else if (::fsync(descriptor) != 0)
        error = qt_error_string(errno);
    ::close(descriptor);
    if (error.isEmpty() && ::rename(temporary.constData(), target.constData()) != 0)
        error = qt_error_string(errno);
    if (!error.isEmpty()) {
        ::unlink(temporary.constData());
        return error;
    }
    syncFolder(fileName);
    return QString();
}
