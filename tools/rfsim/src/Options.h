#ifndef TOOLS_RFSIM_OPTIONS_H
#define TOOLS_RFSIM_OPTIONS_H

#include "ClassSimulation.h"
#include "NoiseInjector.h"

#include <optional>
#include <string>

namespace rfsim {

struct Options
{
    std::string link;   // stable path to the pseudo-terminal
    std::string device; // a real serial device instead of a pseudo-terminal
    std::string gadget; // the configfs folder of the USB gadget behind device
    std::string udc;    // the USB device controller the gadget plugs into
    std::string script; // "-" = standard input
    std::string log;
    std::optional<ClassSettings> classSettings;
    NoiseSettings noise;
    bool unthrottled = false;
    bool control = true; // read commands from standard input
    bool exitWhenDone = false;
    bool startUnplugged = false;
    bool help = false;
};

// Parses the command line; false with a message on any unknown option or
// bad value.
bool parseOptions(int argc, const char *const *argv, Options &options, std::string &error);

const char *optionsHelp();

} // namespace rfsim

#endif // TOOLS_RFSIM_OPTIONS_H
