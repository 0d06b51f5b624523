#include "SleeperBoost.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>

#include <algorithm>

namespace {

void sleepMilliseconds(long milliseconds)
{
    boost::this_thread::sleep(boost::posix_time::milliseconds(std::max(0L, milliseconds)));
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
