#include "Options.h"

#include "TextFields.h"

#include <functional>
#include <map>

namespace rfsim {

namespace {

ClassSettings &classOf(Options &options)
{
    if (!options.classSettings)
        options.classSettings.emplace();
    return *options.classSettings;
}

// Options taking a value; each returns false with `error` set on a bad value.
using ValueHandler = std::function<bool(Options &, const std::string &, std::string &)>;

bool numberOption(bool ok, const std::string &name, const std::string &value, std::string &error)
{
    if (!ok)
        error = "bad value for " + name + ": '" + value + "'";
    return ok;
}

const std::map<std::string, ValueHandler> &valueOptions()
{
    static const std::map<std::string, ValueHandler> handlers = {
        {"--link",
         [](Options &o, const std::string &v, std::string &) {
             o.link = v;
             return true;
         }},
        {"--device",
         [](Options &o, const std::string &v, std::string &) {
             o.device = v;
             return true;
         }},
        {"--gadget",
         [](Options &o, const std::string &v, std::string &) {
             o.gadget = v;
             return true;
         }},
        {"--udc",
         [](Options &o, const std::string &v, std::string &) {
             o.udc = v;
             return true;
         }},
        {"--script",
         [](Options &o, const std::string &v, std::string &) {
             o.script = v;
             return true;
         }},
        {"--log",
         [](Options &o, const std::string &v, std::string &) {
             o.log = v;
             return true;
         }},
        {"--class",
         [](Options &o, const std::string &v, std::string &e) {
             return numberOption(parseUnsigned(v, classOf(o).remotes), "--class", v, e);
         }},
        {"--rate",
         [](Options &o, const std::string &v, std::string &e) {
             return numberOption(parseVoteRate(v, classOf(o).rate), "--rate", v, e);
         }},
        {"--count",
         [](Options &o, const std::string &v, std::string &e) {
             return numberOption(parseUnsigned(v, classOf(o).count), "--count", v, e);
         }},
        {"--first-remote",
         [](Options &o, const std::string &v, std::string &e) {
             return numberOption(parseUnsigned(v, classOf(o).firstRemote), "--first-remote", v, e);
         }},
        {"--answers", [](Options &o, const std::string &v,
                         std::string &e) { return parseAnswerWeights(v, classOf(o).weights, e); }},
        {"--seed",
         [](Options &o, const std::string &v, std::string &e) {
             std::uint64_t seed = 0;
             if (!numberOption(parseUnsigned(v, seed), "--seed", v, e))
                 return false;
             o.noise.seed = seed;
             classOf(o).seed = seed;
             return true;
         }},
        {"--noise", [](Options &o, const std::string &v,
                       std::string &e) { return parseNoiseSettings(v, o.noise, e); }},
    };
    return handlers;
}

const std::map<std::string, std::function<void(Options &)>> &flagOptions()
{
    static const std::map<std::string, std::function<void(Options &)>> flags = {
        {"--help", [](Options &o) { o.help = true; }},
        {"-h", [](Options &o) { o.help = true; }},
        {"--endless", [](Options &o) { classOf(o).endless = true; }},
        {"--unthrottled", [](Options &o) { o.unthrottled = true; }},
        {"--no-control", [](Options &o) { o.control = false; }},
        {"--exit-when-done", [](Options &o) { o.exitWhenDone = true; }},
        {"--unplugged", [](Options &o) { o.startUnplugged = true; }},
    };
    return flags;
}

} // namespace

bool parseOptions(int argc, const char *const *argv, Options &options, std::string &error)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::optional<std::string> value;
        if (const std::size_t equals = name.find('='); equals != std::string::npos) {
            value = name.substr(equals + 1);
            name.resize(equals);
        }
        if (const auto flag = flagOptions().find(name); flag != flagOptions().end() && !value) {
            flag->second(options);
            continue;
        }
        const auto handler = valueOptions().find(name);
        if (handler == valueOptions().end()) {
            error = "unknown option " + name + " (see --help)";
            return false;
        }
        if (!value && i + 1 >= argc) {
            error = name + " needs a value";
            return false;
        }
        if (!handler->second(options, value ? *value : argv[++i], error))
            return false;
    }
    if (!options.link.empty() && !options.device.empty()) {
        error = "--link applies to the pseudo-terminal; it cannot go with --device";
        return false;
    }
    if (options.gadget.empty() != options.udc.empty() ||
        (!options.gadget.empty() && options.device.empty())) {
        error = "--gadget, --udc and --device go together";
        return false;
    }
    if (options.classSettings && !validateClassSettings(*options.classSettings, error))
        return false;
    return true;
}

const char *optionsHelp()
{
    return R"(Usage: rfsim [options]
Simulates the classroom RF receiver on a pseudo-terminal (or a serial device).
The first line on standard output reads "rfsim pty=<device> [link=<path>]";
the host opens that device (or the link). The receiver starts in vote-packet
mode and switches on the host's mode commands (80 48 00 00 48: vote packets,
82 48 00 00 4A: text packets).

Options:
  --link PATH        keep the symbolic link PATH pointing at the current
                     pseudo-terminal; unplugging removes it, plugging in
                     again restores it (use PATH as the host's port)
  --device PATH      drive an existing serial device instead
  --gadget DIR       with --device and --udc: the device is the serial
                     function of the USB gadget whose configfs folder is DIR;
                     plugging binds it to the controller --udc NAME (the host
                     enumerates it), unplugging unbinds it
  --udc NAME         the USB device controller for --gadget
  --unplugged        start unplugged (send "plug" later)
  --script FILE      run the commands in FILE ("-": standard input)
  --class N          simulate a class of N remotes, each voting once
  --rate R           class votes per second (default 10; "line": as fast as
                     the line carries them, 192 vote packets/s)
  --count C          class votes in total (default N)
  --endless          keep the class voting (answers change)
  --answers SPEC     answer weights, e.g. a:40,b:30,c:20,d:10 (default a-d even)
  --first-remote ID  first remote identifier of the class (default 100000)
  --noise SPEC       per-packet probabilities, e.g. stray=0.05,flip=0.02,drop=0.02
  --seed S           seed for the class and the noise (default 1)
  --unthrottled      write as fast as the host reads instead of at 19200 baud
  --log FILE         JSON Lines record of every packet (time in microseconds
                     since the epoch, bytes as written, noise, "intact") and
                     of every mode command, plug and unplug
  --no-control       do not read commands from standard input
  --exit-when-done   exit once the script and the class are done and the host
                     has read every byte (otherwise run until "quit", SIGINT
                     or SIGTERM)
  --help             this text

)";
}

} // namespace rfsim
