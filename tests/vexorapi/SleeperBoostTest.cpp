// SleeperBoost: each pause lasts at least its length, and an interruption of
// the sleeping thread ends it with boost::thread_interrupted.

#include "SleeperBoost.h"
#include "StopRequest.h"

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

// Amounts that give no wait return at once: a negative amount must not wrap
// into a huge wait, 999 microseconds round down to nothing, and an unknown
// unit is neither seconds nor milliseconds. Each bound lies far below what a
// wrong reading would wait, and far above the cost of a call.
TEST(SleeperBoostTest, OddAmountsAndUnitsReturnAtOnce)
{
    SleeperBoost sleeper;
    const struct
    {
        const char *name;
        std::function<void()> pause;
    } cases[] = {
        {"negative seconds", [&] { sleeper.sleep(-5, 's'); }},
        {"negative milliseconds", [&] { sleeper.sleep(-5, 'm'); }},
        {"999 microseconds", [&] { sleeper.sleep(999, 'u'); }},
        {"unknown unit", [&] { sleeper.sleep(900, 'x'); }},
    };
    for (const auto &c : cases)
        EXPECT_LT(timed(c.pause), milliseconds(500)) << c.name;
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
    sleeping.interrupt();
    ASSERT_TRUE(sleeping.timed_join(boost::posix_time::seconds(30)));
    EXPECT_TRUE(interrupted);
}

// Unlike an interruption, a stop request is not spent by the exception that
// ends a pause: a thread that swallows it ends its next pause the same way.
TEST(SleeperBoostTest, StopRequestEndsEveryPauseOfItsThread)
{
    SleeperBoost sleeper;
    sleeper.longMs = 600000;
    std::atomic<bool> flag{false};
    StopRequest stop(flag);
    std::atomic<int> pausesEnded{0};
    boost::thread sleeping([&] {
        StopRequest::bindThisThread(&stop);
        for (int pause = 0; pause < 3; ++pause) {
            try {
                sleeper.longSleep();
            } catch (const boost::thread_interrupted &) {
                ++pausesEnded;
            }
        }
    });
    stop.request();
    ASSERT_TRUE(sleeping.timed_join(boost::posix_time::seconds(30)));
    EXPECT_EQ(pausesEnded, 3);
    EXPECT_TRUE(flag);
}

} // namespace
