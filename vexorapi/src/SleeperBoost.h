#ifndef VEXORAPI_SLEEPERBOOST_H
#define VEXORAPI_SLEEPERBOOST_H

#include "ISleeper.h"

/// Pauses through Boost.Thread's interruptible sleep: interrupting the
/// sleeping thread ends the pause at once with boost::thread_interrupted.
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
