#include "SerialPortScanner.h"

#include <QFileInfo>

#include <utility>

QStringList SerialPortScanner::deviceDirectories()
{
    return {QStringLiteral("/dev"), QStringLiteral("/run/udev/data")};
}

SerialPortScanner::SerialPortScanner(const QStringList &watchedDirectories, Lister portLister)
    : lister(std::move(portLister))
{
    for (const QString &directory : watchedDirectories) {
        // A directory that does not exist or cannot be watched is left out.
        if (QFileInfo(directory).isDir())
            watcher.addPath(directory);
    }
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher,
                     [this] { stale = true; });
}

QList<QSerialPortInfo> SerialPortScanner::ports()
{
    if (stale || watcher.directories().isEmpty()) {
        // A change while the listing runs is reported through the event loop
        // afterwards and makes the next call list again.
        stale = false;
        listed = lister();
    }
    return listed;
}
