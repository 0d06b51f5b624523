#include "Command.h"

#include "AnswerCodes.h"
#include "Pacer.h"
#include "TextFields.h"

#include <kwend/Encoder.h>

#include <map>

namespace rfsim {

namespace {

constexpr std::uint64_t maxSleepMs = 24ull * 3600 * 1000;

ParsedLine failure(std::string message)
{
    ParsedLine parsed;
    parsed.status = ParsedLine::Status::Error;
    parsed.error = std::move(message);
    return parsed;
}

ParsedLine success(Command command)
{
    ParsedLine parsed;
    parsed.status = ParsedLine::Status::Ok;
    parsed.command = std::move(command);
    return parsed;
}

bool parseRemote(const std::string &word, std::uint32_t &remote)
{
    return parseUnsigned(word, remote) && remote <= kwend::kMaxRemoteId;
}

bool isPrintableAscii(const std::string &text)
{
    for (const char c : text) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

ParsedLine parseVote(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Vote;
    if (words.size() != 3)
        return failure("usage: vote <remote> <answer>");
    if (!parseRemote(words[1], command.remote))
        return failure("remote must be a number 0..2097151: " + words[1]);
    if (!parseAnswerCode(words[2], command.answer))
        return failure("answer must be a letter a..j or a code 0..15: " + words[2]);
    return success(command);
}

// The text starts after the single blank that follows the remote.
ParsedLine parseText(std::string_view line)
{
    Command command;
    command.kind = Command::Kind::Text;
    const std::size_t remoteStart = line.find_first_not_of(" \t", line.find_first_of(" \t"));
    if (remoteStart == std::string_view::npos)
        return failure("usage: text <remote> <text>");
    const std::size_t remoteEnd = std::min(line.find_first_of(" \t", remoteStart), line.size());
    const std::string remote(line.substr(remoteStart, remoteEnd - remoteStart));
    if (!parseRemote(remote, command.remote))
        return failure("remote must be a number 0..2097151: " + remote);
    command.text = remoteEnd < line.size() ? std::string(line.substr(remoteEnd + 1)) : "";
    if (command.text.size() > kwend::kMaxTextLength)
        return failure("a text holds at most 20 characters");
    if (!isPrintableAscii(command.text))
        return failure("a text holds printable ASCII characters only");
    return success(command);
}

ParsedLine parseBytes(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Bytes;
    std::string hex;
    for (std::size_t i = 1; i < words.size(); ++i)
        hex += words[i];
    if (hex.empty() || hex.size() % 2 != 0)
        return failure("usage: bytes <hex pairs>, e.g. bytes be 5e 4b");
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const std::string pair = hex.substr(i, 2);
        if (pair.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return failure("not a hex byte: " + pair);
        command.bytes.push_back(std::uint8_t(std::stoul(pair, nullptr, 16)));
    }
    return success(command);
}

ParsedLine parseSleep(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Sleep;
    if (words.size() != 2 || !parseUnsigned(words[1], command.milliseconds) ||
        command.milliseconds > maxSleepMs)
        return failure("usage: sleep <milliseconds>, at most one day");
    return success(command);
}

bool applyClassOption(const std::string &key, const std::string &value, ClassSettings &settings,
                      std::string &error)
{
    bool ok = false;
    if (key == "rate") {
        ok = parseVoteRate(value, settings.rate);
    } else if (key == "count") {
        ok = parseUnsigned(value, settings.count);
    } else if (key == "endless" && value.empty()) {
        settings.endless = ok = true;
    } else if (key == "answers") {
        return parseAnswerWeights(value, settings.weights, error);
    } else if (key == "first") {
        ok = parseUnsigned(value, settings.firstRemote);
    } else if (key == "seed") {
        ok = parseUnsigned(value, settings.seed);
    } else {
        error = "unknown class option '" + key + "'";
        return false;
    }
    if (!ok)
        error = "bad value for class option " + key + ": '" + value + "'";
    return ok;
}

ParsedLine parseClass(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Class;
    if (words.size() < 2 || !parseUnsigned(words[1], command.classSettings.remotes))
        return failure("usage: class <remotes> [rate=R|line] [count=C] [endless] "
                       "[answers=a:4,b:1] [first=ID] [seed=S]");
    std::string error;
    for (std::size_t i = 2; i < words.size(); ++i) {
        const std::size_t equals = words[i].find('=');
        const std::string key = words[i].substr(0, equals);
        const std::string value = equals == std::string::npos ? "" : words[i].substr(equals + 1);
        if (!applyClassOption(key, value, command.classSettings, error))
            return failure(error);
    }
    if (!validateClassSettings(command.classSettings, error))
        return failure(error);
    return success(command);
}

ParsedLine parseNoise(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Noise;
    std::string spec;
    for (std::size_t i = 1; i < words.size(); ++i)
        spec += (i > 1 ? "," : "") + words[i];
    std::string error;
    if (!parseNoiseSettings(spec, command.noise, error))
        return failure(error);
    return success(command);
}

ParsedLine parsePace(const std::vector<std::string> &words)
{
    Command command;
    command.kind = Command::Kind::Pace;
    std::uint32_t baud = 0;
    if (words.size() == 2 && words[1] == "line")
        command.baud = Pacer::lineBaud;
    else if (words.size() == 2 && words[1] == "off")
        command.baud = 0;
    else if (words.size() == 2 && parseUnsigned(words[1], baud) && baud > 0 && baud <= 4000000)
        command.baud = int(baud);
    else
        return failure("usage: pace line | off | <baud>");
    return success(command);
}

ParsedLine parseBare(Command::Kind kind, const std::vector<std::string> &words)
{
    if (words.size() != 1)
        return failure(words[0] + " takes no arguments");
    Command command;
    command.kind = kind;
    return success(command);
}

} // namespace

ParsedLine parseCommandLine(std::string_view line)
{
    const std::vector<std::string> words = splitWords(line);
    if (words.empty() || words[0].front() == '#')
        return {};
    const std::string &verb = words[0];
    if (verb == "vote")
        return parseVote(words);
    if (verb == "text")
        return parseText(line);
    if (verb == "bytes")
        return parseBytes(words);
    if (verb == "sleep")
        return parseSleep(words);
    if (verb == "class")
        return parseClass(words);
    if (verb == "noise")
        return parseNoise(words);
    if (verb == "pace")
        return parsePace(words);
    static const std::map<std::string, Command::Kind> bare = {
        {"stop", Command::Kind::Stop},       {"plug", Command::Kind::Plug},
        {"unplug", Command::Kind::Unplug},   {"sync", Command::Kind::Sync},
        {"mode?", Command::Kind::QueryMode}, {"stats?", Command::Kind::Stats},
        {"quit", Command::Kind::Quit},
    };
    const auto found = bare.find(verb);
    if (found != bare.end())
        return parseBare(found->second, words);
    return failure("unknown command '" + verb + "' (see --help)");
}

const char *commandHelp()
{
    return R"(Commands (script lines and control input; '#' starts a comment):
  vote <remote> <answer>   a key press: answer a..j or code 0..15; sent as a
                           vote packet in mode 0, as a text packet of the key
                           ("A".."J") in mode 1
  text <remote> <text>     a typed text (the rest of the line after one blank,
                           0..20 printable ASCII characters); sent in mode 1
                           only, skipped in mode 0
  bytes <hex> ...          raw bytes onto the line, e.g. bytes 00 ff
  sleep <ms>               pause this script before its next line
  class <n> [rate=R|line] [count=C] [endless] [answers=a:4,b:2,c:1] [first=ID] [seed=S]
                           a class of n remotes (ids from first, default
                           100000) votes at R votes/s (default 10); count
                           votes in total (default n), endless keeps going
  stop                     end the class and drop packets not yet written
  noise [stray=P] [flip=P] [drop=P] [seed=S]
                           per-packet probabilities of stray bytes in front,
                           one flipped bit, one dropped byte (kinds not named
                           are off)
  pace line | off | <baud> pace writes at 19200 baud, unthrottled, or a baud
  plug | unplug            attach / detach the receiver (the port vanishes)
  sync                     answer "idle ..." once every queued packet is out
  mode?                    answer "mode 0" or "mode 1"
  stats?                   answer "stats ..." with packet counts
  quit                     detach and exit
)";
}

} // namespace rfsim
