#include "ControlChannel.h"

#include <basesim/BaseSim.h>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace basesim {

namespace {

constexpr int pollMs = 100;
constexpr std::size_t maxLineLength = 4096;

// One to maxDigits hexadecimal digits and nothing else (no sign, no "0x").
bool parseHex(const std::string &text, std::size_t maxDigits, uint32_t &value)
{
    if (text.empty() || text.size() > maxDigits ||
        !std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return false;
    value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
    return true;
}

bool parseCount(const std::string &text, long &count)
{
    if (text.empty())
        return false;
    char *end = nullptr;
    count = std::strtol(text.c_str(), &end, 10);
    return *end == '\0' && count >= 0 && count <= 1000000;
}

std::string voteCommand(std::istringstream &words)
{
    std::vector<Vote> votes;
    std::string remote, answer;
    while (words >> remote) {
        Vote vote;
        if (!(words >> answer) || answer.size() != 1 || !parseHex(remote, 6, vote.remote))
            return "error usage: vote <remote-hex> <answer> [<remote-hex> <answer>...]";
        vote.answer = answer[0];
        votes.push_back(vote);
    }
    if (votes.empty())
        return "error usage: vote <remote-hex> <answer> [<remote-hex> <answer>...]";
    return queueVotes(votes) ? "ok" : "error answers are A to F";
}

std::string reportCommand(std::istringstream &words)
{
    std::vector<unsigned char> report;
    std::string word;
    while (words >> word) {
        uint32_t byte = 0;
        if (!parseHex(word, 2, byte) || report.size() == reportSize)
            return "error usage: report <up to 64 hex bytes>";
        report.push_back(static_cast<unsigned char>(byte));
    }
    if (report.empty())
        return "error usage: report <up to 64 hex bytes>";
    queueInputReport(report);
    return "ok";
}

std::string statusText()
{
    std::ostringstream text;
    text << "ok " << (isPlugged() ? "plugged" : "unplugged") << " open=" << openHandles()
         << " written=" << writtenReports().size() << " pending=" << pendingInputReports();
    return text.str();
}

} // namespace

ControlChannel &ControlChannel::instance()
{
    static ControlChannel channel;
    return channel;
}

void ControlChannel::startFromEnvironment()
{
    static std::once_flag once;
    std::call_once(once, [] {
        if (const char *path = std::getenv("BASESIM_CONTROL"))
            instance().start(path);
    });
}

ControlChannel::~ControlChannel()
{
    stop();
}

bool ControlChannel::start(const std::string &path)
{
    std::lock_guard<std::mutex> lock(lifecycleMutex);
    sockaddr_un address{};
    if (server.joinable() || path.empty() || path.size() >= sizeof(address.sun_path))
        return false;
    const int listener = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listener < 0)
        return false;
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    unlink(path.c_str());
    if (bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof(address)) != 0 ||
        listen(listener, 4) != 0) {
        ::close(listener);
        return false;
    }
    listenerPath = path;
    stopping = false;
    server = std::thread(&ControlChannel::serve, this, listener);
    return true;
}

void ControlChannel::stop()
{
    std::lock_guard<std::mutex> lock(lifecycleMutex);
    if (!server.joinable())
        return;
    stopping = true;
    server.join();
    unlink(listenerPath.c_str());
    listenerPath.clear();
}

void ControlChannel::serve(int listener)
{
    while (!stopping) {
        pollfd waiting{listener, POLLIN, 0};
        if (poll(&waiting, 1, pollMs) <= 0)
            continue;
        const int connection = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection >= 0) {
            converse(connection);
            ::close(connection);
        }
    }
    ::close(listener);
}

// Reads command lines until the peer closes the connection or the channel
// stops; an over-long line is answered with an error and dropped.
void ControlChannel::converse(int connection)
{
    std::string pending;
    char chunk[256];
    while (!stopping) {
        pollfd waiting{connection, POLLIN, 0};
        if (poll(&waiting, 1, pollMs) <= 0)
            continue;
        const ssize_t got = ::read(connection, chunk, sizeof(chunk));
        if (got <= 0)
            return;
        pending.append(chunk, static_cast<std::size_t>(got));
        std::size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            const std::string reply = execute(pending.substr(0, newline)) + "\n";
            pending.erase(0, newline + 1);
            if (::send(connection, reply.data(), reply.size(), MSG_NOSIGNAL) < 0)
                return;
        }
        if (pending.size() > maxLineLength) {
            pending.clear();
            const char reply[] = "error line too long\n";
            ::send(connection, reply, sizeof(reply) - 1, MSG_NOSIGNAL);
        }
    }
}

std::string ControlChannel::execute(const std::string &line)
{
    std::istringstream words(line);
    std::string command;
    if (!(words >> command))
        return "error empty command";
    if (command == "plug") {
        plug();
        return "ok";
    }
    if (command == "unplug") {
        unplug();
        return "ok";
    }
    if (command == "reset") {
        reset();
        return "ok";
    }
    if (command == "status")
        return statusText();
    if (command == "written")
        return "ok " + std::to_string(writtenReports().size());
    if (command == "vote")
        return voteCommand(words);
    if (command == "report")
        return reportCommand(words);
    if (command == "fail-read") {
        failNextRead();
        return "ok";
    }
    if (command == "show") {
        showInEnumeration();
        return "ok";
    }
    long count = 0;
    std::string argument;
    if (command == "fail-write" && words >> argument && parseCount(argument, count)) {
        failWrite(static_cast<int>(count));
        return "ok";
    }
    if (command == "hide" && words >> argument && parseCount(argument, count)) {
        hideFromEnumeration(Milliseconds(count));
        return "ok";
    }
    return "error unknown command or bad argument: " + line;
}

} // namespace basesim
