#include "PacketListener.h"

#include "ReceiverPackets.h"

#include <k-wendsdk/kwendsdk.h>

#include <QTextStream>

namespace {

constexpr int modeCommandTimeoutMs = 5000;

QString hex(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ')).toUpper();
}

// The text as printable ASCII: whatever a remote sends cannot steer the
// terminal; quotes, backslashes and other bytes appear as escapes.
QString printable(const QByteArray &text)
{
    QString shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\')
            shown += QLatin1Char(c);
        else
            shown += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return shown;
}

} // namespace

PacketListener::PacketListener(QTextStream &output, QObject *parent) : QObject(parent), out(output)
{
    connect(&port, &QSerialPort::readyRead, this, &PacketListener::readAvailable);
}

bool PacketListener::start(const QString &portName, int mode)
{
    port.setPortName(portName);
    if (!port.open(QIODevice::ReadWrite) || !port.setBaudRate(QSerialPort::Baud19200) ||
        !port.setDataBits(QSerialPort::Data8) || !port.setParity(QSerialPort::NoParity) ||
        !port.setStopBits(QSerialPort::OneStop) ||
        !port.setFlowControl(QSerialPort::NoFlowControl)) {
        out << "cannot open " << portName << ": " << port.errorString() << '\n';
        return false;
    }
    frameLength = mode == 1 ? KWEND_TEXT_PACKET_SIZE : KWEND_VOTE_PACKET_SIZE;
    if (mode == 0 || mode == 1) {
        const QByteArray bytes = ReceiverPackets::modeCommand(mode);
        if (port.write(bytes) != bytes.size() || !port.waitForBytesWritten(modeCommandTimeoutMs)) {
            out << "cannot write the mode command to " << portName << '\n';
            return false;
        }
        out << "sent mode " << mode << " (" << hex(bytes) << ")\n";
    }
    out << "listening on " << portName << " for "
        << (frameLength == KWEND_TEXT_PACKET_SIZE ? "text" : "vote") << " packets; Ctrl-C ends\n";
    out.flush();
    return true;
}

void PacketListener::readAvailable()
{
    buffer.append(port.readAll());
    while (buffer.size() >= frameLength) {
        const QByteArray frame = buffer.left(frameLength);
        if (decodeFrame(frame)) {
            ++good;
            buffer.remove(0, frameLength);
        } else {
            ++rejected;
            out << "rejected " << hex(frame) << ": not a valid packet here; skipping one byte\n";
            buffer.remove(0, 1);
        }
    }
    out.flush();
}

bool PacketListener::decodeFrame(const QByteArray &frame)
{
    return frameLength == KWEND_TEXT_PACKET_SIZE ? decodeText(frame) : decodeVote(frame);
}

bool PacketListener::decodeVote(const QByteArray &frame)
{
    const auto vote = ReceiverPackets::decodeVote(frame);
    if (!vote)
        return false;
    out << "vote remote=" << vote->remote << " answer=" << vote->answerCode << '\n';
    return true;
}

bool PacketListener::decodeText(const QByteArray &frame)
{
    const auto text = ReceiverPackets::decodeText(frame);
    if (!text)
        return false;
    out << "text remote=" << text->remote << " first=" << text->firstValue
        << " second=" << text->secondValue << " text=\"" << printable(text->text) << "\"\n";
    return true;
}

void PacketListener::printSummary()
{
    out << good << " good frames, " << rejected << " rejected\n";
    out.flush();
}
