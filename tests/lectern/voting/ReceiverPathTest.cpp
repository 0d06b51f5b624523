// The receiver path end to end inside the process: a pseudo-terminal plays the
// receiver, the manager opens its slave side as the receiver port, and packets
// built by the encoder go in on the master side.
#include "ClickerManager.h"
#include "PseudoTerminal.h"
#include "VotingTestSupport.h"

#include <kwend/Encoder.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

const QByteArray modeVotes = QByteArray::fromHex("8048000048");
const QByteArray modeTexts = QByteArray::fromHex("824800004a");
// The receiver's worked example packets: remote 123456 answering 2 (a vote packet),
// and remote 123456 sending the text ABC (a text packet).
const QByteArray workedVote = QByteArray::fromHex("be5e4b4f36dc0502482b");
const QByteArray workedText =
    QByteArray::fromHex("be5e5b4f460100414243000000000000cc0502481b") + QByteArray(11, '\0');

template <std::size_t N> QByteArray bytes(const std::array<std::uint8_t, N> &packet)
{
    return QByteArray(reinterpret_cast<const char *>(packet.data()), int(N));
}

QByteArray votePacket(std::uint32_t remote, std::uint8_t answer)
{
    return bytes(kwend::encodeVote({remote, answer, kwend::kVoteType}));
}

QByteArray textPacket(std::uint32_t remote, std::string_view text, std::uint8_t firstValue = 1)
{
    return bytes(kwend::encodeText({remote, 0, kwend::kVoteType}, {firstValue, 0, text}));
}

// Stands in a serial port list of the test's choosing for the system's.
class ListedPortsManager : public ClickerManager
{
public:
    ListedPortsManager() : ClickerManager(nullptr) {}
    QList<SerialPortEntry> ports;

protected:
    QList<SerialPortEntry> availableSerialPorts() const override { return ports; }
};

} // namespace

class ReceiverPathTest : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void twoPacketsInOneRead();
    void packetInPieces();
    void strayByteBeforePacket_data();
    void strayByteBeforePacket();
    void rejectedPacketIsSkippedByteByByte();
    void unknownTypeKeepsOrClosesQuestion();
    void bytesOfClosedQuestionNeverVote();
    void bytesStayWithTheirQuestion_data();
    void bytesStayWithTheirQuestion();
    void textPackets_data();
    void textPackets();
    void attendanceAfterNumericKeepsTextMode();
    void bytesPassUnaltered();
    void vanishedReceiverIsDropped();
    void modeCommandWrittenOncePerChange();
    void modeCommandThatTimedOutIsSentAgain_data();
    void modeCommandThatTimedOutIsSentAgain();
    void receiverCandidatesMatchManufacturerExactly();
    void firstUsablePortIsTaken();
    void failedOpenDoesNotDropLaterPort();
    void namedReceiverPortReplacesDetection();
    void replugRestoresMode_data();
    void replugRestoresMode();
    void replugDropsPartialFrame();
    void receiverFoundDuringTextQuestion();
    void receiverIsOpenedAsSoonAsItAppears();
    void modeCommandSurvivesBytesAtThePort();
    void nothingReachesThePageAfterStopVoting();

private:
    // A new manager whose receiver port is portName, connected and told that
    // the page is ready; the spy starts empty, and what the manager wrote on
    // opening the receiver is in openingCommand.
    void startManager(const QString &portName);
    // Starts a manager whose receiver port is a symbolic link to the receiver.
    void startManagerOnLink();
    // A new manager, ticking every tickIntervalMs, whose receiver port is a
    // link not yet made.
    void startManagerBeforeLink(int tickIntervalMs);
    // Closes the receiver's line and removes the link, as when it is
    // unplugged, and waits until the manager has let go of it.
    void unplug();
    // A new receiver (just powered, so in vote-packet mode) under the link.
    void plug();
    // Writes bytes as the receiver and waits until the manager has read them
    // all (it handles what it reads at once).
    void receive(const QByteArray &bytes);

    std::unique_ptr<PseudoTerminal> receiver;
    std::unique_ptr<ClickerManager> manager;
    std::unique_ptr<QSignalSpy> spy;
    std::unique_ptr<QTemporaryDir> linkDir;
    QString link;
    QByteArray openingCommand;
};

void ReceiverPathTest::init()
{
    receiver = std::make_unique<PseudoTerminal>();
    QVERIFY(receiver->isValid());
    startManager(receiver->slavePath());
}

void ReceiverPathTest::cleanup()
{
    spy.reset();
    manager.reset();
    receiver.reset();
    linkDir.reset();
}

void ReceiverPathTest::startManager(const QString &portName)
{
    // The port of a previous manager would keep the receiver to itself.
    spy.reset();
    manager.reset();
    manager = std::make_unique<ClickerManager>(nullptr);
    manager->setReceiverPort(portName);
    manager->setDomReady();
    spy = std::make_unique<QSignalSpy>(manager.get(), &ClickerManager::sendJavaScript);
    manager->tick();
    QTRY_COMPARE(scripts(*spy), QStringList({showScript}));
    spy->clear();
    openingCommand = receiver->readWritten();
}

void ReceiverPathTest::startManagerOnLink()
{
    linkDir = std::make_unique<QTemporaryDir>();
    QVERIFY(linkDir->isValid());
    link = linkDir->filePath("receiver");
    QVERIFY(QFile::link(receiver->slavePath(), link));
    startManager(link);
}

void ReceiverPathTest::startManagerBeforeLink(int tickIntervalMs)
{
    linkDir = std::make_unique<QTemporaryDir>();
    QVERIFY(linkDir->isValid());
    link = linkDir->filePath("receiver");
    spy.reset();
    manager.reset();
    manager = std::make_unique<ClickerManager>(nullptr, tickIntervalMs);
    manager->setReceiverPort(link);
}

void ReceiverPathTest::unplug()
{
    // The device goes with the receiver: the link no longer leads to a line,
    // not even to one that another process has opened since under its number.
    receiver.reset();
    QFile::remove(link);
    QTRY_VERIFY(!manager->isConnected());
}

void ReceiverPathTest::plug()
{
    receiver = std::make_unique<PseudoTerminal>();
    QVERIFY(receiver->isValid());
    QFile::remove(link);
    QVERIFY(QFile::link(receiver->slavePath(), link));
}

void ReceiverPathTest::receive(const QByteArray &bytes)
{
    QVERIFY(receiver->write(bytes));
    QTRY_COMPARE(receiver->unreadByHost(), 0);
}

void ReceiverPathTest::twoPacketsInOneRead()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    QVERIFY(receiver->write(workedVote + votePacket(200000, 10)));
    QTRY_COMPARE(spy->count(), 2);
    QTRY_COMPARE(scripts(*spy),
                 QStringList({"Clicker.vote('123456', 'b');", "Clicker.vote('200000', 'j');"}));
}

void ReceiverPathTest::packetInPieces()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    const QByteArray packet = workedVote;
    receive(packet.left(3));
    receive(packet.mid(3, 4));
    QVERIFY(spy->isEmpty());
    receive(packet.mid(7));
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('123456', 'b');"}));
}

void ReceiverPathTest::strayByteBeforePacket_data()
{
    QTest::addColumn<QByteArray>("stray");
    QTest::newRow("zero") << QByteArray(1, '\0');
    QTest::newRow("payload byte") << QByteArray(1, '\x55');
    QTest::newRow("start marker") << QByteArray(1, '\xbe');
    QTest::newRow("all bits") << QByteArray(1, '\xff');
    QTest::newRow("nine bytes") << QByteArray(9, '\x80');
}

void ReceiverPathTest::strayByteBeforePacket()
{
    QFETCH(QByteArray, stray);
    QVERIFY(manager->startVoting("q1", "mc"));
    receive(stray + workedVote);
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('123456', 'b');"}));
}

void ReceiverPathTest::rejectedPacketIsSkippedByteByByte()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    receive(votePacket(84999, 1) + votePacket(85000, 3));
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('85000', 'c');"}));
}

void ReceiverPathTest::unknownTypeKeepsOrClosesQuestion()
{
    const QByteArray packet = votePacket(123456, 2);
    QVERIFY(manager->startVoting("q1", "mc"));
    QVERIFY(!manager->startVoting("q1", "poll"));
    receive(packet);
    QCOMPARE(spy->count(), 1);

    QVERIFY(!manager->startVoting("q2", "poll"));
    receive(packet);
    QCOMPARE(spy->count(), 1);

    // An empty question id counts as no vote.
    QVERIFY(manager->startVoting("", "mc"));
    receive(packet);
    QCOMPARE(spy->count(), 1);

    QVERIFY(manager->startVoting("q3", "mc"));
    receive(packet);
    QTRY_COMPARE(spy->count(), 2);
}

void ReceiverPathTest::bytesOfClosedQuestionNeverVote()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    manager->stopVoting();
    receive(votePacket(222222, 2));
    QVERIFY(manager->startVoting("q2", "mc"));
    QVERIFY(spy->isEmpty());
    receive(votePacket(333333, 3));
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('333333', 'c');"}));
}

void ReceiverPathTest::bytesStayWithTheirQuestion_data()
{
    // What the page does inside the first vote of a read, or between that read
    // and the next; "-" closes the question, "id:type" opens one. The read ends
    // with the start of a packet whose rest comes with the next read.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<bool>("insideVote");
    QTest::addColumn<QByteArray>("next");
    QTest::addColumn<QStringList>("expected");
    const QString first = "Clicker.vote('123456', 'b');", second = "Clicker.vote('200000', 'c');",
                  cut = "Clicker.vote('300000', 'c');", later = "Clicker.vote('400000', 'd');";
    const QByteArray vote = votePacket(400000, 4);
    QTest::newRow("same question again")
        << QStringList{"q1:mc"} << false << vote << QStringList{first, second, cut, later};
    QTest::newRow("another question")
        << QStringList{"q2:mc"} << false << vote << QStringList{first, second, later};
    QTest::newRow("another type") << QStringList{"q1:attendance"} << false << vote
                                  << QStringList{first, second, later};
    QTest::newRow("closed and reopened")
        << QStringList{"-", "q1:mc"} << false << vote << QStringList{first, second, later};
    QTest::newRow("another question inside a vote")
        << QStringList{"q2:mc"} << true << vote << QStringList{first, later};
    QTest::newRow("word question inside a vote")
        << QStringList{"q2:wa"} << true << textPacket(400000, "Abc")
        << QStringList{first, "Clicker.vote('400000', 'abc');"};
}

void ReceiverPathTest::bytesStayWithTheirQuestion()
{
    QFETCH(QStringList, steps);
    QFETCH(bool, insideVote);
    QFETCH(QByteArray, next);
    QFETCH(QStringList, expected);
    const auto runSteps = [this, steps] {
        for (const QString &step : steps) {
            if (step == QLatin1String("-"))
                manager->stopVoting();
            else
                QVERIFY(manager->startVoting(step.section(':', 0, 0), step.section(':', 1)));
        }
    };
    QVERIFY(manager->startVoting("q1", "mc"));
    auto reaction = std::make_shared<QMetaObject::Connection>();
    if (insideVote) {
        *reaction =
            connect(manager.get(), &ClickerManager::sendJavaScript, this, [reaction, runSteps] {
                disconnect(*reaction);
                runSteps();
            });
    }
    const QByteArray cutShort = votePacket(300000, 3);
    // One read: all of it is at the port before the manager looks.
    QVERIFY(receiver->write(workedVote + votePacket(200000, 3) + cutShort.left(4)));
    QCOMPARE(receiver->unreadByHost(), 24);
    QTRY_COMPARE(receiver->unreadByHost(), 0);
    if (!insideVote)
        runSteps();
    receive(cutShort.mid(4) + next);
    QTRY_COMPARE(scripts(*spy), expected);
}

void ReceiverPathTest::textPackets_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QStringList>("expected");
    const QByteArray abc = workedText;
    QTest::newRow("word answer lower-cased")
        << "wa" << abc << QStringList{"Clicker.vote('123456', 'abc');"};
    QTest::newRow("numeric answer needs a number") << "na" << abc << QStringList{};
    QTest::newRow("numeric answer")
        << "na" << textPacket(123456, "-2.5E1") << QStringList{"Clicker.vote('123456', '-2.5e1');"};
    QTest::newRow("other first value dropped whole")
        << "wa" << textPacket(123456, "ABC", 2) + textPacket(200000, "OK")
        << QStringList{"Clicker.vote('200000', 'ok');"};
    QTest::newRow("stray byte then text")
        << "wa" << QByteArray(1, '\x82') + abc << QStringList{"Clicker.vote('123456', 'abc');"};
}

void ReceiverPathTest::textPackets()
{
    QFETCH(QString, type);
    QFETCH(QByteArray, packet);
    QFETCH(QStringList, expected);
    QVERIFY(manager->startVoting("q1", type));
    receive(packet);
    QTRY_COMPARE(scripts(*spy), expected);
}

void ReceiverPathTest::attendanceAfterNumericKeepsTextMode()
{
    QVERIFY(manager->startVoting("q1", "na"));
    QVERIFY(manager->startVoting("q2", "attendance"));
    receive(textPacket(123456, "Here"));
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('123456', 'here');"}));
}

void ReceiverPathTest::bytesPassUnaltered()
{
    // Line-editing, flow-control and parity-marking characters of a terminal;
    // any of them changed, swallowed or doubled on the line spoils the frame.
    QByteArray packet = textPacket(123456, "\n\r\x11\x13\x7f?Z");
    packet[12] = '\xff'; // the sixth character, bit 7 set: the SDK reads 0x7f
    QVERIFY(manager->startVoting("q1", "wa"));
    receive(packet);
    QTRY_COMPARE(scripts(*spy),
                 QStringList({R"(Clicker.vote('123456', '\n\r\u0011\u0013\u007f\u007fz');)"}));
}

void ReceiverPathTest::vanishedReceiverIsDropped()
{
    startManagerOnLink();
    auto *port = manager->findChild<QSerialPort *>();
    QVERIFY(port);
    QSignalSpy portErrors(port, &QSerialPort::errorOccurred);
    QVERIFY(manager->startVoting("q1", "mc"));
    // The line goes dead under the open port (and its device goes).
    receiver.reset();
    QFile::remove(link);
    QTRY_COMPARE(scripts(*spy), QStringList({hideScript}));
    QVERIFY(!manager->isConnected());
    // The dead port is closed rather than left to report its error endlessly.
    QTRY_VERIFY(!port->isOpen());
    QVERIFY2(portErrors.count() < 10, qPrintable(QString::number(portErrors.count())));
    manager->tick();
    QTRY_COMPARE(scripts(*spy), QStringList({hideScript}));
}

void ReceiverPathTest::modeCommandWrittenOncePerChange()
{
    // A receiver keeps its mode while it has power, whatever program set it:
    // opening it tells it the mode wanted, vote packets included.
    QCOMPARE(openingCommand, modeVotes);
    const struct
    {
        const char *id;
        const char *type;
        QByteArray written;
    } steps[] = {
        {"q1", "mc", {}},         {"q2", "na", modeTexts},  {"q3", "na", {}},
        {"q4", "wa", {}},         {"q5", "attendance", {}}, {"q6", "mc", modeVotes},
        {"q7", "attendance", {}}, {"q8", "wa", modeTexts},
    };
    for (const auto &step : steps) {
        QVERIFY(manager->startVoting(step.id, step.type));
        QCOMPARE(receiver->readWritten(), step.written);
    }
}

void ReceiverPathTest::modeCommandThatTimedOutIsSentAgain_data()
{
    QTest::addColumn<QString>("nextType");
    QTest::addColumn<QByteArray>("nextCommand");
    QTest::newRow("the mode before") << "mc" << modeVotes;
    QTest::newRow("the mode commanded") << "wa" << modeTexts;
}

void ReceiverPathTest::modeCommandThatTimedOutIsSentAgain()
{
    QFETCH(QString, nextType);
    QFETCH(QByteArray, nextCommand);
    // The receiver takes no bytes for a while: the command for text packets
    // times out, and goes out later after all.
    manager->setModeCommandTimeout(100);
    receiver->holdHostWrites(true);
    QVERIFY(manager->startVoting("q1", "wa"));
    QCOMPARE(receiver->readWritten(), QByteArray());
    receiver->holdHostWrites(false);
    QByteArray written;
    QTRY_COMPARE(written += receiver->readWritten(), modeTexts);

    // The program cannot know which mode the receiver is in: the next
    // question tells it, whichever mode it needs.
    QVERIFY(manager->startVoting("q2", nextType));
    QCOMPARE(receiver->readWritten(), nextCommand);
}

void ReceiverPathTest::receiverCandidatesMatchManufacturerExactly()
{
    const QList<ClickerManager::SerialPortEntry> ports = {
        {"ttyS0", ""},        {"ttyUSB0", "ftdi"},  {"ttyUSB1", "FTDI"}, {"ttyUSB2", "Ftdi"},
        {"ttyUSB3", "FTDI "}, {"ttyACM0", "Other"}, {"ttyUSB4", "FTDI"},
    };
    QCOMPARE(ReceiverPorts::candidates(ports), QStringList({"ttyUSB1", "ttyUSB4"}));
    QCOMPARE(ReceiverPorts::candidates({}), QStringList());
}

void ReceiverPathTest::firstUsablePortIsTaken()
{
    PseudoTerminal wrongCase, first, second;
    ListedPortsManager listed;
    listed.ports = {{"/dev/lectern-no-such-port", "FTDI"},
                    {wrongCase.slavePath(), "ftdi"},
                    {first.slavePath(), "FTDI"},
                    {second.slavePath(), "FTDI"}};
    listed.setDomReady();
    QSignalSpy listedSpy(&listed, &ClickerManager::sendJavaScript);
    listed.tick();
    listed.tick();
    QCOMPARE(scripts(listedSpy), QStringList({showScript}));

    QVERIFY(listed.startVoting("q1", "na"));
    QCOMPARE(first.readWritten(), modeVotes + modeTexts);
    QCOMPARE(second.readWritten(), QByteArray());
    QCOMPARE(wrongCase.readWritten(), QByteArray());

    // The receiver is gone: the page hears of it once.
    listed.ports.clear();
    listed.tick();
    listed.tick();
    QCOMPARE(scripts(listedSpy), QStringList({showScript, hideScript}));
}

void ReceiverPathTest::failedOpenDoesNotDropLaterPort()
{
    // The first receiver's open fails with an I/O error of the port; the second
    // one opens, and stays the receiver once the port's error has been handled.
    PseudoTerminal refusing(true), usable;
    ListedPortsManager listed;
    listed.ports = {{refusing.slavePath(), "FTDI"}, {usable.slavePath(), "FTDI"}};
    listed.setDomReady();
    QSignalSpy listedSpy(&listed, &ClickerManager::sendJavaScript);
    for (int i = 0; i < 3; ++i) {
        listed.tick();
        // The port's error is handled in a call queued to the manager.
        QCoreApplication::sendPostedEvents(&listed, QEvent::MetaCall);
    }
    QCOMPARE(scripts(listedSpy), QStringList({showScript}));
    QVERIFY(listed.isConnected());

    QVERIFY(listed.startVoting("q1", "wa"));
    QCOMPARE(usable.readWritten(), modeVotes + modeTexts);
    QVERIFY(usable.write(textPacket(123456, "ABC")));
    QTRY_COMPARE(scripts(listedSpy), QStringList({showScript, "Clicker.vote('123456', 'abc');"}));
}

void ReceiverPathTest::namedReceiverPortReplacesDetection()
{
    PseudoTerminal named;
    ListedPortsManager listed;
    listed.ports = {{receiver->slavePath(), "FTDI"}};
    listed.setDomReady();
    QSignalSpy listedSpy(&listed, &ClickerManager::sendJavaScript);

    listed.setReceiverPort("/dev/lectern-no-such-port");
    listed.tick();
    QVERIFY(!listed.isConnected());
    QVERIFY(listedSpy.isEmpty());

    listed.setReceiverPort(named.slavePath());
    listed.tick();
    QVERIFY(listed.isConnected());
    QVERIFY(listed.startVoting("q1", "wa"));
    QCOMPARE(named.readWritten(), modeVotes + modeTexts);
    QCOMPARE(receiver->readWritten(), QByteArray());
}

void ReceiverPathTest::replugRestoresMode_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QByteArray>("beforeUnplug");
    QTest::addColumn<QByteArray>("afterPlug");
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("vote");
    QTest::newRow("word answer") << QStringList{"wa"} << modeTexts << modeTexts
                                 << textPacket(123456, "ABC") << "Clicker.vote('123456', 'abc');";
    QTest::newRow("numeric answer") << QStringList{"na"} << modeTexts << modeTexts
                                    << textPacket(123456, "12") << "Clicker.vote('123456', '12');";
    QTest::newRow("attendance after word answer")
        << QStringList{"wa", "attendance"} << modeTexts << modeTexts << textPacket(123456, "Here")
        << "Clicker.vote('123456', 'here');";
    QTest::newRow("multiple choice") << QStringList{"mc"} << QByteArray() << modeVotes
                                     << votePacket(123456, 2) << "Clicker.vote('123456', 'b');";
    QTest::newRow("multiple choice after word answer")
        << QStringList{"wa", "mc"} << modeTexts + modeVotes << modeVotes << votePacket(123456, 2)
        << "Clicker.vote('123456', 'b');";
}

void ReceiverPathTest::replugRestoresMode()
{
    QFETCH(QStringList, types);
    QFETCH(QByteArray, beforeUnplug);
    QFETCH(QByteArray, afterPlug);
    QFETCH(QByteArray, packet);
    QFETCH(QString, vote);
    startManagerOnLink();
    for (int i = 0; i < types.size(); ++i)
        QVERIFY(manager->startVoting(QStringLiteral("q%1").arg(i + 1), types.at(i)));
    QCOMPARE(receiver->readWritten(), beforeUnplug);

    // The new receiver is told the question's mode once, when it is opened.
    unplug();
    plug();
    manager->tick();
    QVERIFY(manager->isConnected());
    QCOMPARE(receiver->readWritten(), afterPlug);
    manager->tick();
    QCOMPARE(receiver->readWritten(), QByteArray());

    receive(packet);
    QTRY_COMPARE(scripts(*spy), QStringList({hideScript, showScript, vote}));
}

void ReceiverPathTest::replugDropsPartialFrame()
{
    // A packet cut short by the unplugging is never completed by the bytes of
    // the new receiver, even when they would fit.
    const QByteArray cut = votePacket(111111, 1);
    startManagerOnLink();
    QVERIFY(manager->startVoting("q1", "mc"));
    receive(cut.left(4));
    unplug();
    plug();
    manager->tick();
    QVERIFY(manager->isConnected());
    receive(cut.mid(4) + votePacket(222222, 2));
    QTRY_COMPARE(scripts(*spy),
                 QStringList({hideScript, showScript, "Clicker.vote('222222', 'b');"}));
}

void ReceiverPathTest::receiverFoundDuringTextQuestion()
{
    // A question that needs text packets is opened while no receiver is there.
    startManagerBeforeLink(WorkerThread::defaultIntervalMs);
    QVERIFY(manager->startVoting("q1", "wa"));
    manager->tick();
    QVERIFY(!manager->isConnected());

    QVERIFY(QFile::link(receiver->slavePath(), link));
    manager->tick();
    QVERIFY(manager->isConnected());
    QCOMPARE(receiver->readWritten(), modeTexts);
    spy = std::make_unique<QSignalSpy>(manager.get(), &ClickerManager::sendJavaScript);
    receive(textPacket(123456, "ABC"));
    QTRY_COMPARE(scripts(*spy), QStringList({"Clicker.vote('123456', 'abc');"}));
}

void ReceiverPathTest::receiverIsOpenedAsSoonAsItAppears()
{
    // What a receiver sends before its port is opened may be lost, so a
    // receiver that appears is opened at once, not at the next tick (here a
    // minute away).
    startManagerBeforeLink(WorkerThread::maximumIntervalMs);
    QVERIFY(manager->startVoting("q1", "mc"));

    QVERIFY(QFile::link(receiver->slavePath(), link));
    QTRY_VERIFY(manager->isConnected());
    QCOMPARE(receiver->readWritten(), modeVotes);
}

void ReceiverPathTest::modeCommandSurvivesBytesAtThePort()
{
    // Bytes wait at the port, unread, while a mode command goes out without an
    // open question: they are thrown away, the command is not.
    startManagerOnLink();
    QVERIFY(receiver->write(workedVote));
    QCOMPARE(receiver->unreadByHost(), 10);
    QVERIFY(manager->startVoting("", "na"));
    QCOMPARE(receiver->readWritten(), modeTexts);

    // The same when a receiver is opened again while text packets are wanted.
    unplug();
    plug();
    QVERIFY(receiver->write(workedVote));
    QCOMPARE(receiver->unreadByHost(), 10);
    manager->tick();
    QVERIFY(manager->isConnected());
    QCOMPARE(receiver->readWritten(), modeTexts);

    // The mode counts as sent: the text question sends nothing more, gets its
    // answers, and nothing of the bytes thrown away.
    QVERIFY(manager->startVoting("q1", "na"));
    QCOMPARE(receiver->readWritten(), QByteArray());
    receive(textPacket(123456, "12"));
    QTRY_COMPARE(scripts(*spy),
                 QStringList({hideScript, showScript, "Clicker.vote('123456', '12');"}));
}

void ReceiverPathTest::nothingReachesThePageAfterStopVoting()
{
    QVERIFY(manager->startVoting("q1", "mc"));
    // The page closes the question from inside the first vote of a read.
    auto reaction = std::make_shared<QMetaObject::Connection>();
    *reaction = connect(manager.get(), &ClickerManager::sendJavaScript, this, [this, reaction] {
        disconnect(*reaction);
        manager->stopVoting();
    });
    // One read: all of it is at the port before the manager looks.
    QVERIFY(receiver->write(workedVote + votePacket(200000, 11) + votePacket(300000, 3)));
    QCOMPARE(receiver->unreadByHost(), 30);
    QTRY_COMPARE(receiver->unreadByHost(), 0);
    QCOMPARE(scripts(*spy), QStringList({"Clicker.vote('123456', 'b');"}));

    // Nor do the frames of that read reach the next question.
    QVERIFY(manager->startVoting("q2", "mc"));
    receive(votePacket(400000, 4));
    QCOMPARE(scripts(*spy),
             QStringList({"Clicker.vote('123456', 'b');", "Clicker.vote('400000', 'd');"}));
}

QTEST_GUILESS_MAIN(ReceiverPathTest)
#include "ReceiverPathTest.moc"
