#ifndef LECTERN_VOTING_CLICKERMANAGER_H
#define LECTERN_VOTING_CLICKERMANAGER_H

#include "ReceiverPorts.h"
#include "SerialPortScanner.h"
#include "WorkerThread.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include <memory>

class QtToolController;

// Holds the open question and its type, finds and reads the RF receiver, and
// hands every accepted packet to the page as a script call.
//
// The page talks to it through QtToolController (startVoting, stopVoting,
// setDomReady); it talks back only through sendJavaScript(), whose texts are
//   Clicker.vote('<remote>', '<answer>');
//   Clicker.showConnectionStatus();
//   Clicker.hideConnectionStatus();
// Everything runs on the main thread: the worker thread's ticks and the
// port's readyRead() are both delivered there.
//
// Receiver choice: normally the first serial port, in system order, whose
// manufacturer is exactly "FTDI" and that opens with the receiver's settings.
// setReceiverPort() names one port instead (a device path such as /dev/ttyUSB0,
// a pseudo-terminal such as /dev/pts/5, or a port name such as COM5).
//
// The receiver is looked for on every tick and, while none is connected, as
// soon as the system's device directories (or the folder of a port named by
// path) change: what a receiver sends before its port is opened is dropped or
// may be mangled below the program (see docs/receiver.md), so a receiver
// plugged in is opened without waiting for the next tick.
//
// For MainWebView: create the manager right after the bridge, with the tick
// interval WorkerThread::intervalFromSetting() makes of the receiverTickMs
// setting, connect sendJavaScript() to evaluateScript(), then call
//   manager->setReceiverPort(settings.value("receiverPort").toString());
// with the settings group "defaults" (an empty text keeps FTDI detection).
class ClickerManager : public QObject
{
    Q_OBJECT

public:
    // One entry of the system's serial port list, as far as receiver detection
    // cares about it.
    using SerialPortEntry = ReceiverPorts::Entry;

    // Registers with the bridge (setClickerManager) and starts the worker
    // thread, which ticks every tickIntervalMs (clamped as WorkerThread does).
    // The bridge may be null (the manager then just doesn't register).
    explicit ClickerManager(QtToolController *bridge,
                            int tickIntervalMs = WorkerThread::defaultIntervalMs);
    ~ClickerManager() override;

    bool startVoting(const QString &id, const QString &type);
    void stopVoting();
    void setDomReady();
    void sendVote(const QString &remote, const QString &answer);
    // Answer text for the answer code of a vote packet under the open question
    // type; a null string means the vote has no text and is not delivered.
    QString answerTextFor(int code) const;
    void showConnectionStatus();
    void hideConnectionStatus();
    // Records the mode (0 vote packets, 1 text packets) by which frames are cut
    // and writes the receiver's mode command; bytes that arrive during the
    // write wait at the port and never cost the command. The receiver counts as
    // being in the mode only once the whole command is written: a receiver
    // opened later is sent the mode (0 included), and after a failed write the
    // next question sends it again.
    void setBaseMode(int mode);
    bool isConnected() const { return connected; }
    // How long setBaseMode() waits for its command to be written (5000 ms);
    // tests shorten it.
    void setModeCommandTimeout(int milliseconds) { modeCommandTimeoutMs = milliseconds; }

    // Empty: detect the receiver among FTDI ports. Otherwise the named port is
    // the receiver while it exists, and FTDI ports are not used.
    void setReceiverPort(const QString &portName);

signals:
    void sendJavaScript(QString script);

public slots:
    void tick();
    void readSerialData();

protected:
    // The system's serial ports in system order. Virtual so that a test can
    // stand in ports of its own.
    virtual QList<SerialPortEntry> availableSerialPorts() const;

private:
    QStringList candidatePorts() const;
    // Queues one look for the receiver unless one is connected or queued.
    void lookForReceiverSoon();
    // Opens the first candidate that opens with the receiver's settings,
    // unless a receiver is connected already.
    void connectReceiver(const QStringList &candidates);
    bool openAndConfigure(const QString &portName);
    // Writes all bytes to port within timeoutMs; true when every byte went out.
    bool writeAll(const char *data, int size, int timeoutMs);
    void handlePortError(QSerialPort::SerialPortError error);
    void dropFailedReceiver();
    // Returns false when the SDK rejected the frame, so the caller slides by one byte.
    bool processFrame(const QByteArray &frame, int length);
    bool processVotePacket(const QByteArray &frame);
    bool processTextPacket(const QByteArray &frame);

    bool connected = false;
    QtToolController *controller = nullptr;
    bool domReady = false;
    QSerialPort *port = nullptr;
    QString questionId;
    QString questionType;
    int baseMode = 0;
    // The open receiver was sent baseMode's command in full. A receiver keeps
    // its mode while it has power, so one just opened is in an unknown mode.
    bool receiverModeKnown = false;
    // setBaseMode() is waiting for its command to be written.
    bool writingModeCommand = false;
    int modeCommandTimeoutMs = 5000;
    QByteArray receiveBuffer;
    // Counts the openings and closings of questions (a new id or type counts),
    // so that bytes stay with the question under which they were read.
    quint64 questionOpenings = 0;
    // The value of questionOpenings when receiveBuffer's bytes were read.
    quint64 receiveBufferOpening = 0;
    QString receiverPort;
    // Lists the system's ports again only after its serial devices may have
    // changed; a cache, so const lookups may refresh it.
    mutable SerialPortScanner systemPorts;
    // A look for the receiver is queued (lookForReceiverSoon()).
    bool lookQueued = false;
    // Counts the opening attempts on port, so that a port error handled later
    // acts only on the opening in which it happened.
    quint64 portOpenings = 0;
    std::unique_ptr<WorkerThread> workerThread;
};

#endif // LECTERN_VOTING_CLICKERMANAGER_H
