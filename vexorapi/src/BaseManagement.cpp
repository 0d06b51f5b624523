#include "BaseManagement.h"

#include "StopRequest.h"

#include <VexorAPI/IBaseManagementEvents.h>

BaseManagement::BaseManagement(IBaseManagementEvents *events_) : IBaseManagement(events_) {}

BaseManagement::~BaseManagement() = default;

bool BaseManagement::waitForBaseReady()
{
    waitForReadyGeneration();
    return true;
}

unsigned long BaseManagement::waitForReadyGeneration()
{
    boost::unique_lock<boost::mutex> lock(mutex);
    while (!baseReady && !StopRequest::thisThreadStopping())
        condition.wait(lock);
    StopRequest::stopPoint();
    return openGeneration;
}

bool BaseManagement::noBase()
{
    clearReady();
    events->onNoBase();
    return true;
}

bool BaseManagement::baseFound()
{
    events->onBaseFound();
    return true;
}

bool BaseManagement::openingBase()
{
    events->onOpeningBase();
    return true;
}

bool BaseManagement::baseOpened()
{
    unsigned long generation = 0;
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        if (closedByClient)
            return false;
        baseReady = false;
        lossByReader = false;
        generation = ++openGeneration;
        announcedGeneration = generation;
    }
    // Without the mutex: the client may call into the library from here.
    events->onBaseReady();

    boost::lock_guard<boost::mutex> lock(mutex);
    if (announcedGeneration == generation) {
        announcedGeneration = 0;
        baseReady = true;
        condition.notify_all();
    }
    return baseReady;
}

bool BaseManagement::baseLost()
{
    clearReady();
    events->onBaseLost();
    return true;
}

bool BaseManagement::readerLost(unsigned long generation)
{
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        if (generation != openGeneration)
            return false;
        // Left for the connection loop only if it has not seen the loss
        // itself: then the base may still be enumerated.
        if (baseReady)
            lossByReader = true;
        baseReady = false;
    }
    events->onBaseLost();
    return true;
}

bool BaseManagement::readerReportedLoss()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return lossByReader;
}

bool BaseManagement::closeRequested()
{
    boost::lock_guard<boost::mutex> noStepInProgress(stepMutex);
    boost::lock_guard<boost::mutex> lock(mutex);
    clearReadyLocked();
    closedByClient = true;
    // The reader's pass on the closed handle belongs to an ended generation.
    ++openGeneration;
    return true;
}

bool BaseManagement::openRequested()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    closedByClient = false;
    return true;
}

bool BaseManagement::closedOnRequest()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return closedByClient;
}

void BaseManagement::wakeWaiters()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    condition.notify_all();
}

bool BaseManagement::pass(const std::function<bool()> &step)
{
    boost::lock_guard<boost::mutex> noCloseMeanwhile(stepMutex);
    return !closedOnRequest() && step();
}

bool BaseManagement::isReady()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return baseReady;
}

void BaseManagement::clearReady()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    clearReadyLocked();
}

void BaseManagement::clearReadyLocked()
{
    baseReady = false;
    lossByReader = false;
    announcedGeneration = 0;
    closedByClient = false;
}
