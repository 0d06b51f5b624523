#include "ClientProtocol.h"

#include "IBaseManagement.h"
#include "StopRequest.h"

ClientProtocol::ClientProtocol(IProtocol *protocol_, IBaseManagement *management_,
                               const StopRequest *workerThreads_)
    : IProtocol(protocol_->sleeper, protocol_->specifications), protocol(protocol_),
      management(management_), workerThreads(workerThreads_)
{
}

bool ClientProtocol::findBase()
{
    return protocol->findBase();
}

bool ClientProtocol::openBase()
{
    const unsigned long ticket = management->requestOpening();
    // Inside a callback the caller may be the connection thread itself.
    if (workerThreads && StopRequest::ofThisThread() == workerThreads)
        return false;
    return management->awaitOpening(ticket);
}

bool ClientProtocol::closeBase()
{
    // First the state, so that the reader's failed read on the closed handle
    // already belongs to an ended opening.
    management->closeRequested();
    return protocol->closeBase();
}

bool ClientProtocol::sendCommand24()
{
    return protocol->sendCommand24();
}

bool ClientProtocol::baseIsAttached()
{
    return protocol->baseIsAttached();
}

bool ClientProtocol::waitForBase()
{
    return protocol->waitForBase();
}

bool ClientProtocol::readReport(unsigned char *buffer, int length, int timeoutMs)
{
    return protocol->readReport(buffer, length, timeoutMs);
}

bool ClientProtocol::setFrequencies(char first, char second, bool pauseAfter)
{
    return protocol->setFrequencies(first, second, pauseAfter);
}

bool ClientProtocol::startVote(unsigned char parameter)
{
    return protocol->startVote(parameter);
}

bool ClientProtocol::stopVote()
{
    return protocol->stopVote();
}

bool ClientProtocol::setDisplayLine(const std::string &text, short line)
{
    return protocol->setDisplayLine(text, line);
}
