// The in-process control functions of basesim.h.

#include "ControlChannel.h"
#include "ProcessSimulation.h"

#include <cstdlib>
#include <cstring>

namespace basesim {

BaseModel &processBase()
{
    static BaseModel *const base = [] {
        const char *start = std::getenv("BASESIM_START");
        return new BaseModel(start == nullptr || std::strcmp(start, "unplugged") != 0);
    }();
    return *base;
}

HidapiFrontEnd &processHidapi()
{
    static HidapiFrontEnd *const hidapi = new HidapiFrontEnd(processBase());
    return *hidapi;
}

namespace {

BaseModel &base()
{
    return processBase();
}

HidapiFrontEnd &hidapi()
{
    return processHidapi();
}

} // namespace

void reset(bool plugged)
{
    hidapi().reset();
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
    base().sendInputReport(report);
}

bool queueVotes(const std::vector<Vote> &votes)
{
    return base().sendVotes(votes);
}

std::size_t pendingInputReports()
{
    return hidapi().pendingInputReports();
}

void setReportInterval(Microseconds interval)
{
    base().setReportInterval(interval);
}

bool waitForHandOver(Milliseconds timeout)
{
    return base().waitForHandOver(timeout);
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
    hidapi().failWrite(n);
}

void failNextRead()
{
    hidapi().failNextRead();
}

void queueVotesAfterNextEmptyPoll(const std::vector<Vote> &votes)
{
    hidapi().queueVotesAfterNextEmptyPoll(votes);
}

void replugAfterWrite(int n)
{
    base().replugAfterWrite(n);
}

void hideFromEnumeration(Milliseconds duration)
{
    hidapi().hideFromEnumeration(duration);
}

void hideAfterNextOpen(Milliseconds duration)
{
    hidapi().hideAfterNextOpen(duration);
}

void showInEnumeration()
{
    hidapi().showInEnumeration();
}

int openHandles()
{
    return hidapi().openHandles();
}

int enumerations()
{
    return hidapi().enumerations();
}

bool waitForEnumerations(int count, Milliseconds timeout)
{
    return hidapi().waitForEnumerations(count, timeout);
}

int blockedReads()
{
    return hidapi().blockedReads();
}

bool waitForBlockedReads(int count, Milliseconds timeout)
{
    return hidapi().waitForBlockedReads(count, timeout);
}

std::vector<HandleRecord> handleRecords()
{
    return hidapi().handleRecords();
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
