#ifndef LECTERN_VOTING_RECEIVERPORTS_H
#define LECTERN_VOTING_RECEIVERPORTS_H

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <QStringList>

#include <functional>

// How the program chooses its receiver among the serial ports. The clicker
// manager and the receiver doctor both decide through these functions, so the
// doctor's answer is the program's.
//
// Without a receiverPort setting every port whose manufacturer is exactly
// "FTDI" is a candidate, in system order, and the first that opens is the
// receiver. With the setting, only the port it names is, while it exists.
namespace ReceiverPorts {

// One entry of the system's serial port list, as far as the choice cares.
struct Entry
{
    QString portName;
    QString manufacturer;
};

// The manufacturer that the receiver's USB serial adapter reports.
QString manufacturer();

QList<Entry> entries(const QList<QSerialPortInfo> &ports);

// Names of the ports that may be the receiver, in the order given.
QStringList candidates(const QList<Entry> &ports);

// Whether the port a receiverPort setting names exists now: a name with a
// "/" is a device path (a device, a pseudo-terminal or a link to one) and
// exists while its file does; a plain name (ttyUSB0, COM5) while the system
// lists a port of that name or location. `listPorts` is called only for a
// plain name: listing the system's ports is costly.
bool exists(const QString &portName, const std::function<QList<QSerialPortInfo>()> &listPorts);

} // namespace ReceiverPorts

#endif // LECTERN_VOTING_RECEIVERPORTS_H
