#ifndef TOOLS_DOCTOR_RECEIVERCHECK_H
#define TOOLS_DOCTOR_RECEIVERCHECK_H

#include <QList>
#include <QSerialPortInfo>
#include <QString>

class QTextStream;

// The serial side of the doctor: every serial port with what the system knows
// of it, the port lectern would choose and why, and whether the user can open
// it (and if not, what would fix that).
class ReceiverCheck
{
public:
    // `receiverPort` is the setting as lectern reads it (empty: detect FTDI
    // ports); `settingsFile` names where it would be set.
    ReceiverCheck(const QList<QSerialPortInfo> &ports, const QString &receiverPort,
                  const QString &settingsFile);

    // Prints the report; true when lectern would find a receiver it can open.
    bool report(QTextStream &out);

    // The device that lectern would open, once report() has found one.
    QString chosenPort() const { return chosen; }

private:
    void listPorts(QTextStream &out) const;
    bool reportCandidates(QTextStream &out, const QStringList &names);
    void explainNoCandidate(QTextStream &out) const;
    QString devicePath(const QString &portName) const;

    QList<QSerialPortInfo> ports;
    QString receiverPort;
    QString settingsFile;
    QString chosen;
};

#endif // TOOLS_DOCTOR_RECEIVERCHECK_H
