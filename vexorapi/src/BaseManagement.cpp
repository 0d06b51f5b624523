#include "BaseManagement.h"

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
    while (!baseReady)
        condition.wait(lock);
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
    boost::lock_guard<boost::mutex> lock(mutex);
    baseReady = true;
    ++openGeneration;
    lossByReader = false;
    condition.notify_one();
    events->onBaseReady();
    return true;
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

bool BaseManagement::isReady()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return baseReady;
}

void BaseManagement::clearReady()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    baseReady = false;
    lossByReader = false;
}
