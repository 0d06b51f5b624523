#include "BaseManagement.h"

#include "StopRequest.h"

#include <VexorAPI/IBaseManagementEvents.h>

#include <utility>

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
    readingGeneration = openGeneration;
    return openGeneration;
}

bool BaseManagement::isCurrentGeneration(unsigned long generation)
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return generation == openGeneration;
}

void BaseManagement::readerLeft(unsigned long generation)
{
    boost::lock_guard<boost::mutex> lock(mutex);
    if (readingGeneration == generation)
        readingGeneration = 0;
    condition.notify_all();
}

bool BaseManagement::noBase()
{
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        clearReadyLocked();
        openingsBegun = openingsRequested;
        answerOpeningsLocked(false);
    }
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
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        // A client's opening of a base that is open and read keeps its
        // handles; every other opening opens the device afresh.
        const bool forClient = openingsBegun < openingsRequested;
        keptGeneration = forClient && baseReady ? openGeneration : 0;
        openingsBegun = openingsRequested;
    }
    events->onOpeningBase();
    return true;
}

bool BaseManagement::baseOpened()
{
    unsigned long generation = 0;
    {
        boost::lock_guard<boost::mutex> lock(mutex);
        const unsigned long kept = std::exchange(keptGeneration, 0);
        if (closedByClient)
            return answerOpeningsLocked(false);
        if (kept != 0) {
            // The reader has read the kept handles all along: the flag stays
            // set, unless a loss or a close has ended their generation.
            if (!isReadyGenerationLocked(kept))
                return answerOpeningsLocked(false);
            generation = kept;
        } else {
            baseReady = false;
            lossByReader = false;
            generation = ++openGeneration;
            announcedGeneration = generation;
        }
    }
    // Without the mutex: the client may call into the library from here.
    events->onBaseReady();

    boost::lock_guard<boost::mutex> lock(mutex);
    if (announcedGeneration == generation) {
        announcedGeneration = 0;
        baseReady = true;
        condition.notify_all();
    }
    return answerOpeningsLocked(isReadyGenerationLocked(generation));
}

bool BaseManagement::baseLost()
{
    clearReady();
    events->onBaseLost();
    return true;
}

bool BaseManagement::readerLost(unsigned long generation)
{
    readerLeft(generation);
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

unsigned long BaseManagement::requestOpening()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    closedByClient = false;
    return ++openingsRequested;
}

bool BaseManagement::openingRequested()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return openingsBegun < openingsRequested;
}

bool BaseManagement::openingFailed()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    keptGeneration = 0;
    return answerOpeningsLocked(false);
}

bool BaseManagement::awaitOpening(unsigned long ticket)
{
    boost::unique_lock<boost::mutex> lock(mutex);
    while (openingsAnswered < ticket && threadsRunning && !StopRequest::thisThreadStopping())
        condition.wait(lock);
    return openingsAnswered >= ticket && lastAnswer;
}

void BaseManagement::setThreadsRunning(bool running)
{
    boost::lock_guard<boost::mutex> lock(mutex);
    threadsRunning = running;
    condition.notify_all();
}

bool BaseManagement::closedOnRequest()
{
    boost::lock_guard<boost::mutex> lock(mutex);
    return closedByClient;
}

bool BaseManagement::openDevice(const std::function<bool()> &open)
{
    {
        boost::unique_lock<boost::mutex> lock(mutex);
        // The reader goes on reading the kept handles: no report can arrive
        // between leaving one handle and opening the next.
        if (keptGeneration != 0 && isReadyGenerationLocked(keptGeneration))
            return true;
        keptGeneration = 0;
        baseReady = false;
        announcedGeneration = 0;
        ++openGeneration;
        while (readingGeneration != 0 && !StopRequest::thisThreadStopping())
            condition.wait(lock);
    }
    StopRequest::stopPoint();
    return pass(open);
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

bool BaseManagement::isReadyGenerationLocked(unsigned long generation) const
{
    return baseReady && generation == openGeneration;
}

bool BaseManagement::answerOpeningsLocked(bool opened)
{
    openingsAnswered = openingsBegun;
    lastAnswer = opened;
    condition.notify_all();
    return opened;
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
