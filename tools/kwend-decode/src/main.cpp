// kwend-decode: decodes receiver packets given in hex and prints the mode and
// action commands a host sends, through the k-wendsdk library.
#include "k-wendsdk/kwendsdk.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitRejected = 1; // a packet was rejected or the SDK refused the arguments
constexpr int kExitUsage = 2;

const char kUsage[] =
    "usage: kwend-decode inspect [HEX...]\n"
    "       kwend-decode mode 0|1\n"
    "       kwend-decode action TARGET ACTION\n"
    "       kwend-decode version\n"
    "\n"
    "inspect  decodes each HEX argument, or each line of standard input when\n"
    "         there is none, as a 10-byte vote packet or a 32-byte text packet.\n"
    "         Spaces and colons between hex digits are ignored.\n"
    "mode     prints the mode command (0: vote packets, 1: text packets).\n"
    "action   prints the action packet for TARGET (>= 160000) and ACTION (0-11),\n"
    "         both decimal or, after 0x, hexadecimal.\n"
    "version  prints the library version.\n"
    "\n"
    "Exit status: 0 success, 1 a packet was rejected or arguments refused,\n"
    "2 usage or input error.\n";

using Bytes = std::vector<std::uint8_t>;

int hexValue(char c)
{
    if (std::isdigit(static_cast<unsigned char>(c))) {
        return c - '0';
    }
    const int lower = std::tolower(static_cast<unsigned char>(c));
    return lower >= 'a' && lower <= 'f' ? lower - 'a' + 10 : -1;
}

std::optional<Bytes> parseHex(const std::string &text)
{
    Bytes bytes;
    int high = -1;
    for (const char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)) || c == ':') {
            continue;
        }
        const int value = hexValue(c);
        if (value < 0) {
            return std::nullopt;
        }
        if (high < 0) {
            high = value;
        } else {
            bytes.push_back(std::uint8_t(high << 4 | value));
            high = -1;
        }
    }
    if (high >= 0) {
        return std::nullopt;
    }
    return bytes;
}

void printBytes(const std::uint8_t *bytes, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%02X", bytes[i]);
        std::cout << (i ? " " : "") << hex;
    }
    std::cout << '\n';
}

// Control characters and quotes escaped, so that every text fits one line.
std::string quoted(const char *text)
{
    std::string out = "\"";
    for (const char *p = text; *p; ++p) {
        const unsigned char c = static_cast<unsigned char>(*p);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (std::isprint(c)) {
            out += char(c);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
    }
    return out + "\"";
}

bool inspectVote(const Bytes &packet)
{
    std::uint32_t remote = 0;
    std::int32_t answer = 0;
    if (kwend_inspect(packet.data(), &remote, &answer) != 0) {
        std::cout << "rejected vote packet\n";
        return false;
    }
    std::cout << "vote remote=" << remote << " answer=" << answer << '\n';
    return true;
}

bool inspectText(const Bytes &packet)
{
    std::uint32_t remote = 0;
    std::uint32_t first = 0;
    std::int32_t second = 0;
    std::int32_t excess = 0;
    char text[KWEND_TEXT_BUFFER_SIZE] = {};
    if (kwend_drid_inspect(packet.data(), &remote, &first, &second, &excess, text) != 0) {
        std::cout << "rejected text packet\n";
        return false;
    }
    std::cout << "text remote=" << remote << " first=" << first << " second=" << second
              << " excess=" << excess << " text=" << quoted(text) << '\n';
    return true;
}

// Decodes one packet; returns the exit status it calls for.
int inspectOne(const std::string &hex, const std::string &where)
{
    const std::optional<Bytes> packet = parseHex(hex);
    if (!packet) {
        std::cerr << "error: " << where << ": not a hex byte string\n";
        return kExitUsage;
    }
    switch (packet->size()) {
    case KWEND_VOTE_PACKET_SIZE:
        return inspectVote(*packet) ? kExitOk : kExitRejected;
    case KWEND_TEXT_PACKET_SIZE:
        return inspectText(*packet) ? kExitOk : kExitRejected;
    default:
        std::cerr << "error: " << where << ": " << packet->size()
                  << " bytes; expected 10 (vote) or 32 (text)\n";
        return kExitUsage;
    }
}

int inspectAll(const std::vector<std::string> &args)
{
    int status = kExitOk;
    const auto merge = [&status](int result) { status = std::max(status, result); };
    if (!args.empty()) {
        for (std::size_t i = 0; i < args.size(); ++i) {
            merge(inspectOne(args[i], "argument " + std::to_string(i + 1)));
        }
        return status;
    }
    std::string line;
    for (int number = 1; std::getline(std::cin, line); ++number) {
        if (line.find_first_not_of(" \t\r") != std::string::npos) {
            merge(inspectOne(line, "line " + std::to_string(number)));
        }
    }
    return status;
}

std::optional<std::uint32_t> parseUnsigned(const std::string &text)
{
    if (text.empty() || !std::isdigit(static_cast<unsigned char>(text[0]))) {
        return std::nullopt;
    }
    // Decimal (leading zeros included, never octal) or hexadecimal after 0x.
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char *end = nullptr;
    errno = 0;
    const unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    if (*end != '\0' || errno == ERANGE || value > UINT32_MAX) {
        return std::nullopt;
    }
    return std::uint32_t(value);
}

int usageError(const std::string &message)
{
    std::cerr << "error: " << message << "\n\n" << kUsage;
    return kExitUsage;
}

int printMode(const std::vector<std::string> &args)
{
    if (args.size() != 1 || (args[0] != "0" && args[0] != "1")) {
        return usageError("mode takes 0 or 1");
    }
    std::uint8_t packet[KWEND_COMMAND_SIZE];
    if (kwend_base_unit_mode(packet, args[0] == "1") != 0) {
        return kExitRejected;
    }
    printBytes(packet, sizeof packet);
    return kExitOk;
}

int printAction(const std::vector<std::string> &args)
{
    const auto target = args.size() == 2 ? parseUnsigned(args[0]) : std::nullopt;
    const auto action = args.size() == 2 ? parseUnsigned(args[1]) : std::nullopt;
    if (!target || !action) {
        return usageError("action takes two unsigned numbers");
    }
    std::uint8_t packet[KWEND_COMMAND_SIZE];
    if (kwend_action_packet(packet, *target, *action) != 0) {
        std::cerr << "error: target must be at least 160000 and action at most 11\n";
        return kExitRejected;
    }
    printBytes(packet, sizeof packet);
    return kExitOk;
}

int printVersion()
{
    char version[KWEND_VERSION_BUFFER_SIZE];
    if (kwend_sdk_version(version, sizeof version) != 0) {
        return kExitRejected;
    }
    std::cout << version << '\n';
    return kExitOk;
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + std::min(argc, 2), argv + argc);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return kExitOk;
    }
    if (command == "inspect") {
        return inspectAll(args);
    }
    if (command == "mode") {
        return printMode(args);
    }
    if (command == "action") {
        return printAction(args);
    }
    if (command == "version" && args.empty()) {
        return printVersion();
    }
    return usageError(command.empty() ? "no command given" : "unknown command: " + command);
}
