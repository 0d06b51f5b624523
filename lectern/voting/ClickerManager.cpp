#include "ClickerManager.h"

#include "QtToolController.h"
#include "ReceiverPackets.h"
#include "WorkerThread.h"

#include <k-wendsdk/kwendsdk.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <cmath>

namespace {

const QString voteScript = QStringLiteral("Clicker.vote('%1', '%2');");
const QString showScript = QStringLiteral("Clicker.showConnectionStatus();");
const QString hideScript = QStringLiteral("Clicker.hideConnectionStatus();");

const QString multipleChoice = QStringLiteral("mc");
const QString attendance = QStringLiteral("attendance");
const QString numericAnswer = QStringLiteral("na");
const QString wordAnswer = QStringLiteral("wa");

const QString answerLetters = QStringLiteral("abcdefghij");

constexpr int votePacketLength = KWEND_VOTE_PACKET_SIZE;
constexpr int textPacketLength = KWEND_TEXT_PACKET_SIZE;
// A text packet carries a vote only when its first data value is 1.
constexpr quint32 textVoteFirstValue = 1;

// Escapes text for a single-quoted script string literal, so that the page
// receives exactly this text and nothing in it can end the literal.
QString escapeForScriptLiteral(const QString &text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const ushort code = c.unicode();
        switch (code) {
        case '\\':
            escaped += QLatin1String("\\\\");
            break;
        case '\'':
            escaped += QLatin1String("\\'");
            break;
        case '"':
            escaped += QLatin1String("\\\"");
            break;
        case '\n':
            escaped += QLatin1String("\\n");
            break;
        case '\r':
            escaped += QLatin1String("\\r");
            break;
        default:
            // Other control characters, DEL and the two script line terminators.
            if (code < 0x20 || code == 0x7F || code == 0x2028 || code == 0x2029)
                escaped += QStringLiteral("\\u%1").arg(code, 4, 16, QLatin1Char('0'));
            else
                escaped += c;
        }
    }
    return escaped;
}

bool isNumber(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    return ok && std::isfinite(value);
}

} // namespace

ClickerManager::ClickerManager(QtToolController *bridge, int tickIntervalMs)
    : controller(bridge), port(new QSerialPort(this))
{
    connect(port, &QSerialPort::readyRead, this, &ClickerManager::readSerialData);
    connect(port, &QSerialPort::errorOccurred, this, &ClickerManager::handlePortError);
    systemPorts.setChangeHandler([this] { lookForReceiverSoon(); });
    if (controller)
        controller->setClickerManager(this);

    workerThread = std::make_unique<WorkerThread>(tickIntervalMs);
    connect(workerThread.get(), &WorkerThread::tickEvent, this, &ClickerManager::tick);
    // The thread is stopped before the application object goes away, so no thread
    // outlives the event loop that receives its ticks.
    if (auto *app = QCoreApplication::instance()) {
        connect(app, &QCoreApplication::aboutToQuit, workerThread.get(), &WorkerThread::stop);
    }
    workerThread->start(QThread::InheritPriority);
}

ClickerManager::~ClickerManager() = default;

bool ClickerManager::startVoting(const QString &id, const QString &type)
{
    if (id != questionId)
        stopVoting();
    if (type != multipleChoice && type != attendance && type != numericAnswer &&
        type != wordAnswer) {
        return false;
    }
    if (type != questionType)
        ++questionOpenings;
    questionId = id;
    questionType = type;

    // Attendance takes either packet kind, so it keeps the mode.
    int mode = baseMode;
    if (type == multipleChoice)
        mode = 0;
    else if (type == numericAnswer || type == wordAnswer)
        mode = 1;
    if (mode != baseMode || !receiverModeKnown)
        setBaseMode(mode);
    return true;
}

void ClickerManager::stopVoting()
{
    ++questionOpenings;
    questionId.clear();
    questionType.clear();
}

void ClickerManager::setDomReady()
{
    domReady = true;
    if (connected)
        showConnectionStatus();
}

void ClickerManager::sendVote(const QString &remote, const QString &answer)
{
    if (questionType == numericAnswer && !isNumber(answer))
        return;
    emit sendJavaScript(
        voteScript.arg(escapeForScriptLiteral(remote), escapeForScriptLiteral(answer)));
}

QString ClickerManager::answerTextFor(int code) const
{
    const bool hasLetter = code >= 1 && code <= answerLetters.size();
    if (hasLetter)
        return answerLetters.at(code - 1);
    // A multiple-choice answer without a letter is no answer to the question;
    // for other types (attendance) the press itself counts, so send its code.
    if (questionType == multipleChoice)
        return QString();
    return QString::number(code);
}

void ClickerManager::showConnectionStatus()
{
    connected = true;
    if (domReady)
        emit sendJavaScript(showScript);
}

void ClickerManager::hideConnectionStatus()
{
    if (!connected)
        return;
    connected = false;
    if (domReady)
        emit sendJavaScript(hideScript);
}

void ClickerManager::setReceiverPort(const QString &portName)
{
    receiverPort = portName;
    // A receiver behind a path (a simulator's link, say) comes and goes in
    // that folder rather than in the device directories.
    if (portName.contains(QLatin1Char('/')))
        systemPorts.watch(QFileInfo(portName).absolutePath());
}

QList<ClickerManager::SerialPortEntry> ClickerManager::availableSerialPorts() const
{
    return ReceiverPorts::entries(systemPorts.ports());
}

QStringList ClickerManager::candidatePorts() const
{
    if (receiverPort.isEmpty())
        return ReceiverPorts::candidates(availableSerialPorts());
    if (ReceiverPorts::exists(receiverPort, [this]() { return systemPorts.ports(); }))
        return {receiverPort};
    return {};
}

void ClickerManager::tick()
{
    // One look at the port list a tick: enumerating the system's ports is the
    // costly part of a tick, and systemPorts does it only after a change.
    const QStringList candidates = candidatePorts();
    if (candidates.isEmpty())
        hideConnectionStatus();
    else
        connectReceiver(candidates);
}

void ClickerManager::lookForReceiverSoon()
{
    // Queued: the change is reported from inside the watcher, and a burst of
    // changes (a device node, then its details) costs one look.
    if (connected || lookQueued)
        return;
    lookQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            lookQueued = false;
            tick();
        },
        Qt::QueuedConnection);
}

void ClickerManager::connectReceiver(const QStringList &candidates)
{
    if (connected)
        return;
    for (const QString &portName : candidates) {
        if (openAndConfigure(portName)) {
            // A new connection is a new byte stream: a partial frame kept from
            // the previous one can never be completed by it. Cleared before the
            // mode command, whose wait may already read bytes of the new stream.
            receiveBuffer.clear();
            // A receiver keeps its mode while it has power, whatever program
            // set it (this one before a restart, say): it is told the mode
            // wanted before the page learns of it, so that it sends the
            // frames that are cut here.
            setBaseMode(baseMode);
            showConnectionStatus();
            return;
        }
    }
}

bool ClickerManager::openAndConfigure(const QString &portName)
{
    if (port->isOpen())
        port->close();
    ++portOpenings;
    port->setPortName(portName);
    // The first step that fails ends the attempt; the port may stay open.
    return port->open(QIODevice::ReadWrite) && port->setBaudRate(QSerialPort::Baud19200) &&
           port->setDataBits(QSerialPort::Data8) && port->setParity(QSerialPort::NoParity) &&
           port->setStopBits(QSerialPort::OneStop) &&
           port->setFlowControl(QSerialPort::NoFlowControl);
}

void ClickerManager::handlePortError(QSerialPort::SerialPortError error)
{
    // A receiver that was unplugged (or whose line died) leaves the port
    // readable with nothing to read: it would report this error over and over
    // and keep the main thread busy. Such a port is closed, outside the port's
    // own notification, and the receiver counts as gone until a tick finds it.
    // The error is acted on only if no later opening attempt has been made:
    // after a failed attempt a later port of the same tick may have opened.
    if (error == QSerialPort::ResourceError || error == QSerialPort::ReadError ||
        error == QSerialPort::WriteError) {
        const quint64 opening = portOpenings;
        QMetaObject::invokeMethod(
            this,
            [this, opening] {
                if (opening == portOpenings)
                    dropFailedReceiver();
            },
            Qt::QueuedConnection);
    }
}

void ClickerManager::dropFailedReceiver()
{
    if (port->isOpen())
        port->close();
    hideConnectionStatus();
}

void ClickerManager::setBaseMode(int mode)
{
    // Frames are cut for the mode wanted from now on. The receiver counts as
    // being in it only once its command is out: without an open receiver it is
    // sent when one is opened, and after a failed write (which may still go
    // out later) by the next question.
    baseMode = mode;
    receiverModeKnown = false;
    if (!port->isOpen())
        return;
    // While the command is being written the port may read what the receiver
    // sends meanwhile and report it (readyRead) from inside the wait. Those
    // bytes are left at the port until the command is out: handling them here
    // could discard the command or run page script that sends another one.
    const QByteArray command = ReceiverPackets::modeCommand(mode);
    writingModeCommand = true;
    receiverModeKnown = writeAll(command.constData(), command.size(), modeCommandTimeoutMs);
    writingModeCommand = false;
    // Bytes read during the wait get no readyRead of their own. Without an open
    // question they are thrown away now; otherwise they are handled once the
    // current call chain (possibly a frame loop) has ended.
    if (port->bytesAvailable() > 0) {
        if (questionId.isEmpty())
            port->clear(QSerialPort::Input);
        else
            QMetaObject::invokeMethod(this, &ClickerManager::readSerialData, Qt::QueuedConnection);
    }
}

bool ClickerManager::writeAll(const char *data, int size, int timeoutMs)
{
    if (port->write(data, size) != size)
        return false;
    QElapsedTimer clock;
    clock.start();
    while (port->bytesToWrite() > 0) {
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0 || !port->waitForBytesWritten(int(left)))
            return port->bytesToWrite() == 0;
    }
    return true;
}

void ClickerManager::readSerialData()
{
    if (writingModeCommand || !port->isOpen())
        return;
    if (questionId.isEmpty()) {
        // Only what came in is thrown away: a command on its way out stays.
        port->clear(QSerialPort::Input);
        return;
    }
    // The bytes of a read belong to the question open when it began; a
    // partial frame kept from the read before is completed only within the
    // same question.
    const quint64 opening = questionOpenings;
    if (receiveBufferOpening != opening)
        receiveBuffer.clear();
    receiveBufferOpening = opening;
    receiveBuffer.append(port->readAll());

    const int length = baseMode == 1 ? textPacketLength : votePacketLength;
    while (receiveBuffer.size() >= length) {
        if (questionOpenings != opening) {
            // The page closed the question or opened another one while this
            // read was being cut (from inside Clicker.vote): the rest of the
            // read goes unseen.
            receiveBuffer.clear();
            return;
        }
        // The frame leaves the buffer before it is handled: a vote's script may
        // reach back into this manager through the page.
        const QByteArray frame = receiveBuffer.left(length);
        receiveBuffer.remove(0, length);
        if (!processFrame(frame, length))
            receiveBuffer.prepend(frame.mid(1));
    }
}

bool ClickerManager::processFrame(const QByteArray &frame, int length)
{
    // The frame length decides the inspector, not the current mode: the mode may
    // change while a read is being cut (through a vote's script), and each
    // inspector reads exactly its own packet length.
    if (length == textPacketLength)
        return processTextPacket(frame);
    return processVotePacket(frame);
}

bool ClickerManager::processVotePacket(const QByteArray &frame)
{
    const auto vote = ReceiverPackets::decodeVote(frame);
    if (!vote)
        return false;
    const QString answer = answerTextFor(vote->answerCode);
    if (!answer.isNull())
        sendVote(QString::number(vote->remote), answer);
    return true;
}

bool ClickerManager::processTextPacket(const QByteArray &frame)
{
    const auto text = ReceiverPackets::decodeText(frame);
    if (!text)
        return false;
    if (text->firstValue == textVoteFirstValue)
        sendVote(QString::number(text->remote), QString::fromLatin1(text->text).toLower());
    return true;
}
