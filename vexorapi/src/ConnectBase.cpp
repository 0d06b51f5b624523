#include <VexorAPI/ConnectBase.h>

#include "IBaseManagement.h"
#include "SleeperBoost.h"
#include "StopRequest.h"

#include <VexorAPI/IProtocol.h>

namespace {

// The pause after the n-th failed opening in a row, in presence checks of
// 100 ms: 1, 2, 4, ... 32, then 50 (5 s) for as long as the failures last.
constexpr int longestBackOff = 50;

int backOffChecks(int failures)
{
    return failures > 6 ? longestBackOff : 1 << (failures - 1);
}

// Checks the base's presence checks times, a long pause apart, before the
// next attempt; ends early when the client asks for an opening. False when
// the base is gone or the client has closed it meanwhile.
bool backOff(ConnectBase &loop, int checks)
{
    for (int check = 0; check < checks && !loop.management->openingRequested(); ++check) {
        loop.sleeper->longSleep();
        if (!loop.protocol->baseIsAttached() || loop.management->closedOnRequest())
            return false;
    }
    return true;
}

} // namespace

ConnectBase::ConnectBase() = default;

ConnectBase::ConnectBase(IProtocol *protocol_, IBaseManagement *management_)
    : IConnectBase(protocol_, management_), ownSleeper(std::make_unique<SleeperBoost>())
{
    sleeper = ownSleeper.get();
}

ConnectBase::ConnectBase(ISleeper *sleeper_, IProtocol *protocol_, IBaseManagement *management_)
    : IConnectBase(sleeper_, protocol_, management_)
{
}

ConnectBase::~ConnectBase() = default;

void ConnectBase::connectLoop()
{
    // The stop points come after the steps: a loop that has started reports
    // at least its first search.
    for (;;) {
        connectOnce();
        baseIsPresent();
        StopRequest::stopPoint();
    }
}

void ConnectBase::connectOnce()
{
    waitForABase();
    waitForOpenBase();
}

void ConnectBase::waitForABase()
{
    while (!protocol->findBase()) {
        management->noBase();
        StopRequest::stopPoint();
        sleeper->longSleep();
    }
    management->baseFound();
}

void ConnectBase::waitForOpenBase()
{
    // A base that the client has closed stays closed.
    for (int failures = 1; !management->closedOnRequest(); ++failures) {
        StopRequest::stopPoint();
        management->openingBase();
        // A close by the client during the opening stops its steps, and
        // baseOpened() then leaves the base closed.
        if (protocol->openBase()) {
            management->baseOpened();
            return;
        }
        management->openingFailed();
        // A failed opening is tried again while the base stays listed, after
        // a pause that grows with each failure.
        if (!backOff(*this, backOffChecks(failures)))
            return;
    }
}

void ConnectBase::baseIsPresent()
{
    while (testBaseIsPresent()) {
        StopRequest::stopPoint();
        if (management->openingRequested())
            waitForOpenBase(); // the client's
        else
            sleeper->longSleep();
    }
    management->baseLost();
}

bool ConnectBase::testBaseIsPresent()
{
    // A failed read of the current opening is a loss even while the base is
    // still enumerated (a transient read error, or an unplug and replug
    // between two checks): the reader waits for the reopening that follows.
    if (!management->readerReportedLoss() && protocol->baseIsAttached())
        return true;
    management->baseLost();
    return false;
}
