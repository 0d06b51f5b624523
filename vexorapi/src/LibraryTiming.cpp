#include "LibraryTiming.h"

#include "SleeperBoost.h"

#include <mutex>

namespace {

std::mutex timingMutex; // protects timingForNewFacades
LibraryTiming timingForNewFacades;

} // namespace

LibraryTiming LibraryTiming::forNewFacades()
{
    std::lock_guard<std::mutex> lock(timingMutex);
    return timingForNewFacades;
}

void LibraryTiming::setForNewFacades(const LibraryTiming &timing)
{
    std::lock_guard<std::mutex> lock(timingMutex);
    timingForNewFacades = timing;
}

void LibraryTiming::applyTo(SleeperBoost &sleeper) const
{
    sleeper.shortMs = shortPauseMs;
    sleeper.mediumMs = mediumPauseMs;
    sleeper.longMs = longPauseMs;
}
