// The in-process control functions of basesim.h.

#include "ControlChannel.h"
#include "SimulatedBase.h"

namespace basesim {

namespace {

SimulatedBase &base()
{
    return SimulatedBase::instance();
}

} // namespace

void reset(bool plugged)
{
    base().reset(plugged);
}

void plug()
{
    base().plug();
}

void unplug()
{
    base().unplug();
}

bool isPlugged()
{
    return base().isPlugged();
}

void queueInputReport(const std::vector<unsigned char> &report)
{
    base().queueInputReport(report);
}

bool queueVotes(const std::vector<Vote> &votes)
{
    return base().queueVotes(votes);
}

std::size_t pendingInputReports()
{
    return base().pendingInputReports();
}

std::vector<WrittenReport> writtenReports()
{
    return base().writtenReports();
}

void clearWrittenReports()
{
    base().clearWrittenReports();
}

bool waitForWrites(std::size_t count, Milliseconds timeout)
{
    return base().waitForWrites(count, timeout);
}

void failWrite(int n)
{
    base().failWrite(n);
}

void failNextRead()
{
    base().failNextRead();
}

void replugAfterWrite(int n)
{
    base().replugAfterWrite(n);
}

void hideFromEnumeration(Milliseconds duration)
{
    base().hideFromEnumeration(duration);
}

void hideAfterNextOpen(Milliseconds duration)
{
    base().hideAfterNextOpen(duration);
}

int openHandles()
{
    return base().openHandles();
}

int enumerations()
{
    return base().enumerations();
}

bool waitForEnumerations(int count, Milliseconds timeout)
{
    return base().waitForEnumerations(count, timeout);
}

int blockedReads()
{
    return base().blockedReads();
}

bool startControlChannel(const std::string &path)
{
    return ControlChannel::instance().start(path);
}

void stopControlChannel()
{
    ControlChannel::instance().stop();
}

std::string executeCommand(const std::string &line)
{
    return ControlChannel::execute(line);
}

} // namespace basesim
