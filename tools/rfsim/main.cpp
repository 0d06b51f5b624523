// rfsim: the classroom RF receiver simulated on a pseudo-terminal.
#include "Command.h"
#include "GadgetSerial.h"
#include "LineSource.h"
#include "Options.h"
#include "Pacer.h"
#include "PacketLog.h"
#include "PseudoTerminal.h"
#include "SerialDevice.h"
#include "Simulator.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <unistd.h>

namespace {

rfsim::Simulator *runningSimulator = nullptr;

void requestStop(int)
{
    if (runningSimulator)
        runningSimulator->stop();
}

void installSignalHandlers()
{
    struct sigaction action
    {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

std::unique_ptr<rfsim::ReceiverPort> makePort(const rfsim::Options &options)
{
    if (!options.gadget.empty())
        return std::make_unique<rfsim::GadgetSerial>(options.device, options.gadget, options.udc);
    if (!options.device.empty())
        return std::make_unique<rfsim::SerialDevice>(options.device);
    return std::make_unique<rfsim::PseudoTerminal>(options.link);
}

bool addScript(rfsim::Simulator &simulator, const std::string &path)
{
    if (path == "-") {
        simulator.addSource(std::make_unique<rfsim::LineSource>("stdin", STDIN_FILENO));
        return true;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::cerr << "rfsim: cannot read " << path << ": " << std::strerror(errno) << "\n";
        return false;
    }
    simulator.addSource(std::make_unique<rfsim::LineSource>(path, fd));
    return true;
}

void applyStartSettings(rfsim::Simulator &simulator, const rfsim::Options &options)
{
    rfsim::Command command;
    command.kind = rfsim::Command::Kind::Noise;
    command.noise = options.noise;
    simulator.execute(command);
    command.kind = rfsim::Command::Kind::Pace;
    command.baud = options.unthrottled ? 0 : rfsim::Pacer::lineBaud;
    simulator.execute(command);
    if (options.classSettings) {
        command.kind = rfsim::Command::Kind::Class;
        command.classSettings = *options.classSettings;
        simulator.execute(command);
    }
}

} // namespace

int main(int argc, char **argv)
{
    rfsim::Options options;
    std::string error;
    if (!rfsim::parseOptions(argc, argv, options, error)) {
        std::cerr << "rfsim: " << error << "\n";
        return 2;
    }
    if (options.help) {
        std::cout << rfsim::optionsHelp() << rfsim::commandHelp();
        return 0;
    }

    rfsim::PacketLog log;
    if (!options.log.empty() && !log.open(options.log, error)) {
        std::cerr << "rfsim: " << error << "\n";
        return 1;
    }
    const std::unique_ptr<rfsim::ReceiverPort> port = makePort(options);
    if (!options.startUnplugged && !port->plug(error)) {
        std::cerr << "rfsim: " << error << "\n";
        return 1;
    }
    std::cout << "rfsim pty=" << (port->plugged() ? port->devicePath() : "none")
              << (options.link.empty() ? "" : " link=" + options.link) << std::endl;
    if (port->plugged())
        log.plugged(port->devicePath());

    rfsim::Simulator simulator(*port, log, std::cout, std::cerr);
    simulator.setExitWhenDone(options.exitWhenDone);
    applyStartSettings(simulator, options);
    if (!options.script.empty() && !addScript(simulator, options.script))
        return 1;
    if (options.control && options.script != "-")
        simulator.addSource(std::make_unique<rfsim::LineSource>("control", STDIN_FILENO));

    runningSimulator = &simulator;
    installSignalHandlers();
    simulator.run();
    runningSimulator = nullptr;
    return 0;
}
