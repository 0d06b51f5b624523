#include <VexorAPI/ConnectBase.h>

#include "IBaseManagement.h"
#include "SleeperBoost.h"
#include "StopRequest.h"

#include <VexorAPI/IProtocol.h>

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
    for (;;) {
        StopRequest::stopPoint();
        connectOnce();
        baseIsPresent();
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
        StopRequest::stopPoint();
        management->noBase();
        sleeper->longSleep();
    }
    management->baseFound();
}

void ConnectBase::waitForOpenBase()
{
    // A base that the client has closed stays closed.
    while (!management->closedOnRequest()) {
        StopRequest::stopPoint();
        management->openingBase();
        // A close by the client during the opening stops its steps, and
        // baseOpened() then leaves the base closed.
        if (protocol->openBase()) {
            management->baseOpened();
            return;
        }
        // A failed opening is tried again while the base stays listed, after
        // the pause between two presence checks.
        sleeper->longSleep();
        if (!protocol->baseIsAttached())
            return;
    }
}

void ConnectBase::baseIsPresent()
{
    while (testBaseIsPresent()) {
        StopRequest::stopPoint();
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
