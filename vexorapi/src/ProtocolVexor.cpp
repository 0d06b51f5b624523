#include "ProtocolVexor.h"

#include "IHID.h"
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

bool ProtocolVexor::sendCommand(int command, const unsigned char *payload, unsigned char length)
{
    IUSBSpecifications *specification = specifications->getSpecification(commandKind, command);
    return specification != nullptr && specification->sendReport(payload, length);
}

bool ProtocolVexor::sendEmptyCommand(int command)
{
    IUSBSpecifications *specification = specifications->getSpecification(commandKind, command);
    return specification != nullptr && specification->sendEmptyReport();
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
    sleeper->longSleep();
    hid()->open(); // whether the base is there is decided by the presence check
    const bool present = waitForBase();
    hid()->setNonBlocking();
    bool ok = present && hid()->setNumInputBuffers(hid()->inputBufferCount());
    sleeper->mediumSleep();
    if (ok)
        ok = setFrequencies('A', 'A', true);
    sleeper->mediumSleep();
    if (ok)
        ok = stopVote();
    sleeper->mediumSleep();
    return ok && initialiseOpenedBase();
}

// The welcome lines and the closing command of the opening sequence.
bool ProtocolVexor::initialiseOpenedBase()
{
    if (!setDisplayLine("Welcome", 1))
        return false;
    sleeper->mediumSleep();
    if (!setDisplayLine("VexorLite", 2))
        return false;
    sleeper->mediumSleep();
    return sendEmptyCommand(openingDoneCommand);
}

bool ProtocolVexor::closeBase()
{
    return hid()->close();
}

bool ProtocolVexor::sendCommand24()
{
    return sendEmptyCommand(command24);
}

bool ProtocolVexor::readReport(unsigned char *buffer, int length, int timeoutMs)
{
    return hid()->readTimeout(buffer, length, timeoutMs);
}

bool ProtocolVexor::setFrequencies(char first, char second, bool pauseAfter)
{
    const auto a = static_cast<unsigned char>(first);
    const auto b = static_cast<unsigned char>(second);
    const std::array<unsigned char, 3> payload{static_cast<unsigned char>(a - 0x20), b,
                                               static_cast<unsigned char>(a ^ b)};
    if (!sendCommand(setFrequenciesCommand, payload.data(), payload.size()))
        return false;
    if (pauseAfter)
        sleeper->shortSleep();
    return true;
}

bool ProtocolVexor::startVote(unsigned char parameter)
{
    sleeper->shortSleep();
    bool ok = sendCommand(voteParameterCommand, &parameter, 1);
    sleeper->shortSleep();
    if (ok)
        ok = sendEmptyCommand(startVoteCommand);
    sleeper->shortSleep();
    return ok;
}

bool ProtocolVexor::stopVote()
{
    sleeper->mediumSleep();
    const bool ok = sendEmptyCommand(stopVoteCommand);
    sleeper->mediumSleep();
    return ok;
}

bool ProtocolVexor::setDisplayLine(const std::string &text, short line)
{
    std::array<unsigned char, displayWidth> field;
    field.fill(' ');
    std::copy_n(text.begin(), std::min<std::size_t>(text.size(), displayWidth), field.begin());
    sleeper->mediumSleep();
    const bool ok =
        sendCommand(line == 1 ? firstLineCommand : secondLineCommand, field.data(), field.size());
    sleeper->mediumSleep();
    return ok;
}
