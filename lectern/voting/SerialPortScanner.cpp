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
    for (const QString &directory : watchedDirectories)
        watch(directory);
    QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &watcher, [this] {
        stale = true;
        if (changed)
            changed();
    });
}

void SerialPortScanner::watch(const QString &directory)
{
    if (QFileInfo(directory).isDir() && !watcher.directories().contains(directory))
        watcher.addPath(directory);
}

void SerialPortScanner::setChangeHandler(std::function<void()> handler)
{
    changed = std::move(handler);
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
