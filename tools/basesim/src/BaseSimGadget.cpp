// basesim-gadget: the simulated base station behind a USB HID gadget, so that
// programs reach it through the kernel's own HID drivers and an unmodified
// hidapi (see docs/basesim.md). Controlled over the same socket language as
// the preloaded library.
#include "GadgetFrontEnd.h"
#include "ProcessSimulation.h"

#include <basesim/BaseSim.h>

#include <csignal>
#include <fstream>
#include <iostream>
#include <map>
#include <string>

namespace {

basesim::GadgetFrontEnd *runningFrontEnd = nullptr;

void requestStop(int)
{
    if (runningFrontEnd)
        runningFrontEnd->stop();
}

const char usage[] =
    R"(Usage: basesim-gadget --node NODE --gadget DIR --udc NAME --control SOCKET [--log FILE]
Serves the simulated base on the HID gadget function whose device node is NODE
(e.g. /dev/hidg0). DIR is the gadget's configfs folder; plugging the base in
binds it to the USB device controller NAME, unplugging unbinds it. The base
starts plugged in (BASESIM_START=unplugged: not). Commands arrive on the Unix
socket SOCKET (basesim-control -s SOCKET ...). --log FILE records every report
as a JSON line. Prints "basesim-gadget ready" once it serves.
)";

} // namespace

int main(int argc, char **argv)
{
    std::map<std::string, std::string> options;
    for (int i = 1; i + 1 < argc; i += 2)
        options[argv[i]] = argv[i + 1];
    for (const char *name : {"--node", "--gadget", "--udc", "--control"}) {
        if (argc % 2 == 0 || options.count(name) == 0) {
            std::cerr << usage;
            return 2;
        }
    }
    std::ofstream log;
    if (options.count("--log") != 0) {
        log.open(options["--log"]);
        if (!log) {
            std::cerr << "basesim-gadget: cannot write " << options["--log"] << "\n";
            return 1;
        }
    }

    basesim::GadgetFrontEnd frontEnd(basesim::processBase(), options["--node"],
                                     UdcBinding(options["--gadget"], options["--udc"]),
                                     log.is_open() ? &log : nullptr);
    if (!basesim::startControlChannel(options["--control"])) {
        std::cerr << "basesim-gadget: cannot listen on " << options["--control"] << "\n";
        return 1;
    }
    runningFrontEnd = &frontEnd;
    std::signal(SIGINT, requestStop);
    std::signal(SIGTERM, requestStop);
    std::cout << "basesim-gadget ready" << std::endl;
    const bool ok = frontEnd.run();
    runningFrontEnd = nullptr;
    // No command may reach the front end once it is gone.
    basesim::stopControlChannel();
    return ok ? 0 : 1;
}
