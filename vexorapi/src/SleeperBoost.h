#ifndef VEXORAPI_SLEEPERBOOST_H
#define VEXORAPI_SLEEPERBOOST_H

#include "ISleeper.h"

/// Pauses that end at once with boost::thread_interrupted when the sleeping
/// thread is interrupted (Boost.Thread) or its facade asks it to stop
/// (StopRequest); a pause begun after the stop request ends the same way.
class SleeperBoost : public ISleeper
{
public:
    SleeperBoost();

    void shortSleep() override;
    void mediumSleep() override;
    void longSleep() override;
    void secondSleep() override;
    void sleep(int amount, char unit) override;

    int shortMs = 10;
    int mediumMs = 40;
    int longMs = 100;
    int seconds = 1;
};

#endif // VEXORAPI_SLEEPERBOOST_H
