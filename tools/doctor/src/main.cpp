// brimora-doctor: tells in plain words why the RF receiver or the HID base
// station is not working for this user, and shows the receiver's packets live.
#include "BaseCheck.h"
#include "FileLocations.h"
#include "PacketListener.h"
#include "ReceiverCheck.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSerialPortInfo>
#include <QSettings>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr int exitOk = 0;
constexpr int exitProblem = 1;
constexpr int exitUsage = 2;

int interruptPipe[2] = {-1, -1};

void onInterrupt(int)
{
    const char byte = 0;
    // Only async-signal-safe work here: the event loop reads the pipe.
    [[maybe_unused]] const ssize_t written = write(interruptPipe[1], &byte, 1);
}

// Ctrl-C (and SIGTERM) end the event loop instead of the process, so that the
// listener can print its counts.
void quitOnInterrupt(QCoreApplication &app)
{
    if (pipe(interruptPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(interruptPipe[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
}

// The receiverPort setting and the file a user would set it in, read from
// the same files as lectern installed beside this program reads.
struct ReceiverSetting
{
    QString port;
    QString file;
};

ReceiverSetting readReceiverSetting()
{
    const FileLocations locations =
        FileLocations::forProgram(QCoreApplication::applicationDirPath());
    const auto settings = locations.openSettings();
    return {settings->value(QStringLiteral("defaults/receiverPort")).toString(),
            settings->fileName()};
}

int listen(QCoreApplication &app, QTextStream &out, const QString &port, int mode)
{
    PacketListener listener(out);
    if (!listener.start(port, mode))
        return exitProblem;
    quitOnInterrupt(app);
    QCoreApplication::exec();
    listener.printSummary();
    return exitOk;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("brimora-doctor"));
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Tells why the Brimora RF receiver or HID base station is not working.\n"
                       "Exit status: 0 when every device found can be used, 1 when something "
                       "is wrong (or nothing is found), 2 for a usage error."));
    parser.addHelpOption();
    const QCommandLineOption listenOption(
        QStringLiteral("listen"),
        QStringLiteral("Open the receiver and print every packet until Ctrl-C."));
    const QCommandLineOption modeOption(
        QStringLiteral("mode"),
        QStringLiteral("With --listen: first switch the receiver to vote (0) or text (1) packets."),
        QStringLiteral("0|1"));
    parser.addOption(listenOption);
    parser.addOption(modeOption);
    parser.process(app);

    int mode = -1;
    if (parser.isSet(modeOption)) {
        const QString value = parser.value(modeOption);
        if (value != QLatin1String("0") && value != QLatin1String("1")) {
            std::fprintf(stderr, "brimora-doctor: --mode takes 0 or 1\n");
            return exitUsage;
        }
        mode = value.toInt();
    }

    QTextStream out(stdout);
    const ReceiverSetting setting = readReceiverSetting();
    ReceiverCheck receiver(QSerialPortInfo::availablePorts(), setting.port, setting.file);
    const bool receiverUsable = receiver.report(out);
    if (parser.isSet(listenOption)) {
        out.flush();
        return receiverUsable ? listen(app, out, receiver.chosenPort(), mode) : exitProblem;
    }
    const BaseCheck::Result base = BaseCheck::report(out);
    const bool allGood = base != BaseCheck::Result::Unusable &&
                         (receiverUsable || base == BaseCheck::Result::Usable);
    out << '\n'
        << (allGood ? "Everything found can be used.\n"
                    : "Something needs fixing (see PROBLEM above).\n");
    return allGood ? exitOk : exitProblem;
}
