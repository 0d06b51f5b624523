// SleeperBoost: each pause lasts at least its length, and an interruption of
// the sleeping thread ends it with boost::thread_interrupted.

#include "SleeperBoost.h"

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>

namespace {

using std::chrono::milliseconds;

milliseconds timed(const std::function<void()> &pause)
{
    const auto start = std::chrono::steady_clock::now();
    pause();
    return std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
}

TEST(SleeperBoostTest, PausesLastAtLeastTheirLength)
{
    SleeperBoost sleeper;
    struct Case
    {
        const char *name;
        std::function<void()> pause;
        milliseconds atLeast;
    };
    const std::vector<Case> cases = {
        {"short", [&] { sleeper.shortSleep(); }, milliseconds(10)},
        {"medium", [&] { sleeper.mediumSleep(); }, milliseconds(40)},
        {"long", [&] { sleeper.longSleep(); }, milliseconds(100)},
        {"second", [&] { sleeper.secondSleep(); }, milliseconds(1000)},
        {"milliseconds", [&] { sleeper.sleep(30, 'm'); }, milliseconds(30)},
        {"microseconds round down", [&] { sleeper.sleep(25999, 'u'); }, milliseconds(25)},
    };
    for (const Case &c : cases)
        EXPECT_GE(timed(c.pause), c.atLeast) << c.name;
}

TEST(SleeperBoostTest, OddAmountsAndUnitsReturn)
{
    // These must return at all (a negative amount must not wrap into a huge
    // wait); their speed is not asserted.
    SleeperBoost sleeper;
    sleeper.sleep(-5, 's');
    sleeper.sleep(-5, 'm');
    sleeper.sleep(999, 'u');
    sleeper.sleep(5, 'x');
    SUCCEED();
}

TEST(SleeperBoostTest, InterruptionEndsAPauseWithTheInterruptionException)
{
    SleeperBoost sleeper;
    std::atomic<bool> interrupted{false};
    boost::thread sleeping([&] {
        try {
            sleeper.sleep(600, 's');
        } catch (const boost::thread_interrupted &) {
            interrupted = true;
        }
    });
    sleeping.interrupt();
    ASSERT_TRUE(sleeping.timed_join(boost::posix_time::seconds(30)));
    EXPECT_TRUE(interrupted);
}

TEST(SleeperBoostTest, InterruptionEndsALongSleep)
{
    SleeperBoost sleeper;
    sleeper.longMs = 600000;
    std::atomic<bool> interrupted{false};
    boost::thread sleeping([&] {
        try {
            sleeper.longSleep();
        } catch (const boost::thread_interrupted &) {
            interrupted = true;
        }
    });
    boost::this_thread::sleep(boost::posix_time::milliseconds(20));
    sleeping.interrupt();
    ASSERT_TRUE(sleeping.timed_join(boost::posix_time::seconds(30)));
    EXPECT_TRUE(interrupted);
}

} // namespace
