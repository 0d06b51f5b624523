#include "ReceiverPorts.h"

#include <QFileInfo>

namespace ReceiverPorts {

QString manufacturer()
{
    return QStringLiteral("FTDI");
}

QList<Entry> entries(const QList<QSerialPortInfo> &ports)
{
    QList<Entry> list;
    for (const QSerialPortInfo &info : ports)
        list << Entry{info.portName(), info.manufacturer()};
    return list;
}

QStringList candidates(const QList<Entry> &ports)
{
    QStringList names;
    for (const Entry &entry : ports) {
        if (entry.manufacturer == manufacturer())
            names << entry.portName;
    }
    return names;
}

bool exists(const QString &portName, const std::function<QList<QSerialPortInfo>()> &listPorts)
{
    if (portName.contains(QLatin1Char('/')))
        return QFileInfo::exists(portName);
    for (const QSerialPortInfo &info : listPorts()) {
        if (info.portName() == portName || info.systemLocation() == portName)
            return true;
    }
    return false;
}

} // namespace ReceiverPorts
