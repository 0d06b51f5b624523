// vexor-listen: listens to a base station through VexorAPI.
//
// Prints one line per base event and one per vote; reads commands, one per
// line, from standard input:
//     start [parameter]     start a vote (parameter 0 to 255, default 0)
//     stop                  stop the vote
//     line <1|2> <text>     show text on a line of the base's display
//     freq <A-Z> <A-Z>      set the two radio frequencies
//     close                 close the base (it stays closed until "open")
//     open                  open the base again (the opening sequence)
//     quit                  (or end of input) stop and leave
// Option --trace writes the library's trace of every input report to
// standard error.
#include "ListenClient.h"

#include <VexorAPI/IProtocol.h>
#include <VexorAPI/VexorAPI.h>

#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool isLetter(const std::string &word)
{
    return word.size() == 1 && word[0] >= 'A' && word[0] <= 'Z';
}

// Runs one command line; false for an unknown or malformed command.
bool runCommand(IProtocol &protocol, const std::string &commandLine, bool &ok)
{
    std::istringstream words(commandLine);
    std::string command;
    words >> command;
    if (command == "start") {
        int parameter = 0;
        if (!(words >> parameter))
            parameter = 0;
        if (parameter < 0 || parameter > 255)
            return false;
        ok = protocol.startVote(static_cast<unsigned char>(parameter));
    } else if (command == "stop") {
        ok = protocol.stopVote();
    } else if (command == "line") {
        short line = 0;
        std::string text;
        if (!(words >> line) || (line != 1 && line != 2))
            return false;
        std::getline(words >> std::ws, text);
        ok = protocol.setDisplayLine(text, line);
    } else if (command == "freq") {
        std::string first;
        std::string second;
        if (!(words >> first >> second) || !isLetter(first) || !isLetter(second))
            return false;
        ok = protocol.setFrequencies(first[0], second[0], false);
    } else if (command == "close") {
        ok = protocol.closeBase();
    } else if (command == "open") {
        ok = protocol.openBase();
    } else {
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    const bool trace = argc > 1 && std::strcmp(argv[1], "--trace") == 0;
    ListenClient client(std::cout);
    auto *api = static_cast<VexorAPI *>(getConcreteIVexorAPI(&client, &client));
    api->setReportTrace(trace ? &std::cerr : nullptr);
    api->run();

    std::string commandLine;
    while (std::getline(std::cin, commandLine) && commandLine != "quit") {
        if (commandLine.empty())
            continue;
        bool ok = false;
        if (!runCommand(*api->protocol, commandLine, ok))
            client.print("unknown command: " + commandLine);
        else
            client.print(ok ? "ok" : "failed");
    }

    api->stop();
    delete api;
    return 0;
}
