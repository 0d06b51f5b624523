#ifndef TOOLS_DOCTOR_PACKETLISTENER_H
#define TOOLS_DOCTOR_PACKETLISTENER_H

#include <QByteArray>
#include <QObject>
#include <QSerialPort>

class QTextStream;

// Listens to the receiver as lectern does (19200 8N1, no flow control) and
// prints every packet as it arrives: the remote and its answer, or why the
// bytes were rejected. Frames are cut as lectern cuts them: a rejected frame
// moves the window on by one byte.
class PacketListener : public QObject
{
    Q_OBJECT

public:
    PacketListener(QTextStream &out, QObject *parent = nullptr);

    // Opens `portName`; mode 0 or 1 is then sent to the receiver, -1 sends
    // nothing (and vote packets are expected). False when the port cannot be
    // opened or the mode command not written.
    bool start(const QString &portName, int mode);

    // Prints the counts of good and rejected frames.
    void printSummary();

private:
    void readAvailable();
    // Decodes one frame; false when the SDK rejects it.
    bool decodeFrame(const QByteArray &frame);
    bool decodeVote(const QByteArray &frame);
    bool decodeText(const QByteArray &frame);

    QTextStream &out;
    QSerialPort port;
    QByteArray buffer;
    int frameLength = 0;
    quint64 good = 0;
    quint64 rejected = 0;
};

#endif // TOOLS_DOCTOR_PACKETLISTENER_H
