#include "ReceiverCheck.h"

#include "DeviceAccess.h"
#include "ReceiverPorts.h"

#include <QTextStream>

namespace {

QString idText(const QSerialPortInfo &info)
{
    if (!info.hasVendorIdentifier() || !info.hasProductIdentifier())
        return QStringLiteral("-");
    return QStringLiteral("%1:%2")
        .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
        .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
}

QString serialFix(const DeviceAccess &access)
{
    if (access.group == QLatin1String("dialout")) {
        return QStringLiteral("add the user to the group \"dialout\" (sudo adduser \"$USER\" "
                              "dialout), then log out and back in");
    }
    return QStringLiteral("ask the administrator for read and write access to it (it is %1)")
        .arg(access.ownership);
}

} // namespace

ReceiverCheck::ReceiverCheck(const QList<QSerialPortInfo> &systemPorts,
                             const QString &receiverPortSetting, const QString &settingsFileName)
    : ports(systemPorts), receiverPort(receiverPortSetting), settingsFile(settingsFileName)
{
}

bool ReceiverCheck::report(QTextStream &out)
{
    out << "Serial ports:\n";
    listPorts(out);
    out << "\nReceiver:\n";
    if (!receiverPort.isEmpty()) {
        out << "  receiverPort = " << receiverPort << " (" << settingsFile
            << "): lectern uses only this port, not the FTDI ports.\n";
        if (!ReceiverPorts::exists(receiverPort, [this]() { return ports; })) {
            out << "  PROBLEM: " << receiverPort << " does not exist. Plug the receiver in, "
                << "or correct or remove receiverPort.\n";
            return false;
        }
        return reportCandidates(out, {receiverPort});
    }
    const QStringList names = ReceiverPorts::candidates(ReceiverPorts::entries(ports));
    if (names.isEmpty()) {
        explainNoCandidate(out);
        return false;
    }
    out << "  lectern uses the first port, in this order, whose manufacturer is exactly \""
        << ReceiverPorts::manufacturer() << "\" and that opens.\n";
    return reportCandidates(out, names);
}

void ReceiverCheck::listPorts(QTextStream &out) const
{
    if (ports.isEmpty())
        out << "  (none: the system lists no serial port)\n";
    for (const QSerialPortInfo &info : ports) {
        out << "  " << info.systemLocation() << "  manufacturer \"" << info.manufacturer()
            << "\"  VID:PID " << idText(info);
        if (!info.description().isEmpty())
            out << "  (" << info.description() << ")";
        out << '\n';
    }
}

bool ReceiverCheck::reportCandidates(QTextStream &out, const QStringList &names)
{
    for (const QString &name : names) {
        const QString path = devicePath(name);
        const DeviceAccess access = DeviceAccess::check(path);
        if (access.canOpen) {
            out << "  OK: lectern would use " << path << "; this user can open it.\n";
            chosen = path;
            return true;
        }
        out << "  PROBLEM: " << path << " cannot be opened: " << access.error;
        if (!access.ownership.isEmpty())
            out << " (" << access.ownership << ")";
        out << ".\n";
        if (access.permissionDenied)
            out << "  Fix: " << serialFix(access) << ".\n";
    }
    return false;
}

void ReceiverCheck::explainNoCandidate(QTextStream &out) const
{
    out << "  PROBLEM: no serial port reports the manufacturer \"" << ReceiverPorts::manufacturer()
        << "\", so lectern finds no receiver.\n"
        << "  Plug the receiver in (it appears as /dev/ttyUSB<n>). If it is plugged in and "
        << "listed above under another manufacturer, name it in " << settingsFile
        << " under [defaults]: receiverPort=<its path>.\n";
}

QString ReceiverCheck::devicePath(const QString &portName) const
{
    if (portName.contains(QLatin1Char('/')))
        return portName;
    for (const QSerialPortInfo &info : ports) {
        if (info.portName() == portName)
            return info.systemLocation();
    }
    return portName;
}
