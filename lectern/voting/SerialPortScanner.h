#ifndef LECTERN_VOTING_SERIALPORTSCANNER_H
#define LECTERN_VOTING_SERIALPORTSCANNER_H

#include <QFileSystemWatcher>
#include <QList>
#include <QSerialPortInfo>
#include <QStringList>

#include <functional>

// The system's serial ports, listed again only when they may have changed.
//
// Listing the ports (QSerialPortInfo::availablePorts) walks every tty device of
// the system with its device database entry: done on every receiver tick, it is
// nearly all the CPU time of the idle program. A serial device that comes or
// goes adds or removes its node in the device directory (/dev), and the device
// manager writes its details, the manufacturer among them, into its database
// directory (/run/udev/data) once it has handled the device. The scanner
// watches those directories and lists the ports again only after one of them
// has changed, so the next tick still sees a receiver just plugged in.
//
// Where none of the directories can be watched (another system, no change
// notification), it lists the ports on every call. Change notifications arrive
// through the event loop of the thread that created the scanner; a change
// handler, if set, is called for each of them, so that its owner can look for
// a device as soon as one may have come.
class SerialPortScanner
{
public:
    using Lister = std::function<QList<QSerialPortInfo>()>;

    // The directories that change with the system's serial devices.
    static QStringList deviceDirectories();

    explicit SerialPortScanner(const QStringList &watchedDirectories = deviceDirectories(),
                               Lister lister = &QSerialPortInfo::availablePorts);

    // A fresh listing when a watched directory has changed since the last one
    // (or nothing is watched); the last listing otherwise.
    QList<QSerialPortInfo> ports();

    // Watches one more directory (one that does not exist or cannot be
    // watched is left out).
    void watch(const QString &directory);
    // Called after each change of a watched directory.
    void setChangeHandler(std::function<void()> handler);

private:
    Lister lister;
    std::function<void()> changed;
    QFileSystemWatcher watcher;
    QList<QSerialPortInfo> listed;
    // A watched directory has changed since `listed` was taken, or nothing has
    // been listed yet.
    bool stale = true;
};

#endif // LECTERN_VOTING_SERIALPORTSCANNER_H
