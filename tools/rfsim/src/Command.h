#ifndef TOOLS_RFSIM_COMMAND_H
#define TOOLS_RFSIM_COMMAND_H

#include "ClassSimulation.h"
#include "NoiseInjector.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace rfsim {

// One line of a script or of the control channel, parsed.
struct Command
{
    enum class Kind {
        Vote,  // vote <remote> <answer>
        Text,  // text <remote> <text...>
        Bytes, // bytes <hex> ...         raw bytes onto the line
        Sleep, // sleep <ms>
        Class, // class <remotes> [rate=R] [count=C] [endless] [answers=a:4,b:1] [first=ID] [seed=S]
        Stop,  // stop                    end the class, drop packets not yet written
        Plug,  // plug
        Unplug,    // unplug
        Noise,     // noise [stray=P] [flip=P] [drop=P] [seed=S]   (unnamed kinds off)
        Pace,      // pace line | off | <baud>
        Sync,      // sync                    answers "idle ..." once everything is written
        QueryMode, // mode?
        Stats,     // stats?
        Quit,      // quit
    };

    Kind kind = Kind::Quit;
    std::uint32_t remote = 0;
    int answer = 0;
    std::string text;
    std::vector<std::uint8_t> bytes;
    std::uint64_t milliseconds = 0;
    int baud = 0;
    ClassSettings classSettings;
    NoiseSettings noise;
};

// Result of parsing one line: blank lines and comments ('#') yield Empty.
struct ParsedLine
{
    enum class Status { Empty, Ok, Error };

    Status status = Status::Empty;
    Command command;
    std::string error;
};

// Parses one line. The text of a "text" command is everything after the one
// blank that follows the remote, kept exactly (quotes and backslashes
// included); it must be 1 to 20 printable 7-bit characters.
ParsedLine parseCommandLine(std::string_view line);

// The usage text of the command language, for --help and "help".
const char *commandHelp();

} // namespace rfsim

#endif // TOOLS_RFSIM_COMMAND_H
