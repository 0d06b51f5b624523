#include "ProtocolVexor.h"

#include "IHID.h"
#include "IOpeningGate.h"
#include "ISleeper.h"
#include "ISpecificationCollection.h"
#include "IUSBSpecifications.h"
#include "StopRequest.h"

#include <algorithm>
#include <array>

namespace {

constexpr int commandKind = 1;
constexpr int setFrequenciesCommand = 16;
constexpr int startVoteCommand = 17;
constexpr int stopVoteCommand = 18;
constexpr int firstLineCommand = 19;
constexpr int secondLineCommand = 20;
constexpr int command24 = 24;
constexpr int voteParameterCommand = 25;
constexpr int openingDoneCommand = 45;

} // namespace

ProtocolVexor::ProtocolVexor() = default;

ProtocolVexor::ProtocolVexor(ISleeper *sleeper_, ISpecificationCollection *specifications_)
    : IProtocol(sleeper_, specifications_)
{
}

IHID *ProtocolVexor::hid() const
{
    return specifications->hid;
}

void ProtocolVexor::setOpeningGate(IOpeningGate *gate)
{
    openingGate = gate;
}

bool ProtocolVexor::send(Sender sender, int command, const unsigned char *payload,
                         unsigned char length)
{
    IUSBSpecifications *specification = specifications->getSpecification(commandKind, command);
    if (!specification)
        return false;
    const auto write = [&] {
        return payload ? specification->sendReport(payload, length)
                       : specification->sendEmptyReport();
    };
    return sender == Sender::opening && openingGate ? openingGate->pass(write) : write();
}

bool ProtocolVexor::findBase()
{
    bool present = false;
    return hid()->isPresent(present) && present;
}

bool ProtocolVexor::baseIsAttached()
{
    return findBase();
}

bool ProtocolVexor::waitForBase()
{
    for (int check = 0; check < baseChecks; ++check) {
        StopRequest::stopPoint();
        if (baseIsAttached())
            return true;
        sleeper->mediumSleep();
    }
    return false;
}

bool ProtocolVexor::openBase()
{
    std::lock_guard<std::mutex> oneAtATime(openingMutex);
    sleeper->longSleep();
    // Opens the device afresh and sets up its new handles. The gate may keep
    // the handles of a base that is being read instead: they are set up.
    bool buffersSet = true;
    const auto openDevice = [this, &buffersSet] {
        hid()->open(); // whether the base is there is decided by the presence check
        hid()->setNonBlocking();
        buffersSet = hid()->setNumInputBuffers(hid()->inputBufferCount());
        return true;
    };
    if (openingGate ? !openingGate->openDevice(openDevice) : !openDevice())
        return false; // the client has closed the base
    bool ok = waitForBase() && buffersSet;
    sleeper->mediumSleep();
    if (ok)
        ok = frequencies(Sender::opening, 'A', 'A', true);
    sleeper->mediumSleep();
    if (ok)
        ok = voteStop(Sender::opening);
    sleeper->mediumSleep();
    return ok && initialiseOpenedBase();
}

// The welcome lines and the closing command of the opening sequence.
bool ProtocolVexor::initialiseOpenedBase()
{
    if (!displayLine(Sender::opening, "Welcome", 1))
        return false;
    sleeper->mediumSleep();
    if (!displayLine(Sender::opening, "VexorLite", 2))
        return false;
    sleeper->mediumSleep();
    return send(Sender::opening, openingDoneCommand);
}

bool ProtocolVexor::closeBase()
{
    return hid()->close();
}

bool ProtocolVexor::sendCommand24()
{
    return send(Sender::client, command24);
}

bool ProtocolVexor::readReport(unsigned char *buffer, int length, int timeoutMs)
{
    return hid()->readTimeout(buffer, length, timeoutMs);
}

bool ProtocolVexor::setFrequencies(char first, char second, bool pauseAfter)
{
    return frequencies(Sender::client, first, second, pauseAfter);
}

bool ProtocolVexor::frequencies(Sender sender, char first, char second, bool pauseAfter)
{
    const auto a = static_cast<unsigned char>(first);
    const auto b = static_cast<unsigned char>(second);
    const std::array<unsigned char, 3> payload{static_cast<unsigned char>(a - 0x20), b,
                                               static_cast<unsigned char>(a ^ b)};
    if (!send(sender, setFrequenciesCommand, payload.data(), payload.size()))
        return false;
    if (pauseAfter)
        sleeper->shortSleep();
    return true;
}

bool ProtocolVexor::startVote(unsigned char parameter)
{
    sleeper->shortSleep();
    bool ok = send(Sender::client, voteParameterCommand, &parameter, 1);
    sleeper->shortSleep();
    if (ok)
        ok = send(Sender::client, startVoteCommand);
    sleeper->shortSleep();
    return ok;
}

bool ProtocolVexor::stopVote()
{
    return voteStop(Sender::client);
}

bool ProtocolVexor::voteStop(Sender sender)
{
    sleeper->mediumSleep();
    const bool ok = send(sender, stopVoteCommand);
    sleeper->mediumSleep();
    return ok;
}

bool ProtocolVexor::setDisplayLine(const std::string &text, short line)
{
    return displayLine(Sender::client, text, line);
}

bool ProtocolVexor::displayLine(Sender sender, const std::string &text, short line)
{
    std::array<unsigned char, displayWidth> field;
    field.fill(' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), displayWidth), field.begin());
    sleeper->mediumSleep();
    const bool ok =
        send(sender, line == 1 ? firstLineCommand : secondLineCommand, field.data(), field.size());
    sleeper->mediumSleep();
    return ok;
}
