#include "SleeperBoost.h"

#include "StopRequest.h"

#include <algorithm>

namespace {

void sleepMilliseconds(long milliseconds)
{
    StopRequest::pause(std::chrono::milliseconds(std::max(0L, milliseconds)));
}

} // namespace

SleeperBoost::SleeperBoost() = default;

void SleeperBoost::shortSleep()
{
    sleep(shortMs, 'm');
}

void SleeperBoost::mediumSleep()
{
    sleep(mediumMs, 'm');
}

void SleeperBoost::longSleep()
{
    sleep(longMs, 'm');
}

void SleeperBoost::secondSleep()
{
    sleep(seconds, 's');
}

void SleeperBoost::sleep(int amount, char unit)
{
    switch (unit) {
    case 's':
        sleepMilliseconds(amount * 1000L);
        break;
    case 'm':
        sleepMilliseconds(amount);
        break;
    case 'u':
        sleepMilliseconds(amount / 1000);
        break;
    default:
        break;
    }
}
