// Line pacing, the simulated class and recognition of the host's mode commands.
#include "ClassSimulation.h"
#include "ModeDetector.h"
#include "Pacer.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace rfsim {
namespace {

using namespace std::chrono_literals;
using Clock = Pacer::Clock;

TEST(RfsimPacer, UnthrottledNeverWaits)
{
    Pacer pacer(0);
    const Clock::time_point t0 = Clock::now();
    pacer.commit(t0, 1000000);
    EXPECT_EQ(pacer.readyAt(t0), t0);
}

TEST(RfsimPacer, BackToBackVotePacketsGoAtTheLineRate)
{
    Pacer pacer;
    const Clock::time_point t0 = Clock::now();
    Clock::time_point start = pacer.readyAt(t0);
    EXPECT_EQ(start, t0);
    // 192 vote packets take one second of line time, without drift.
    for (int i = 0; i < 192; ++i) {
        pacer.commit(start, 10);
        start = pacer.readyAt(start);
    }
    EXPECT_NEAR(std::chrono::duration<double>(start - t0).count(), 1.0, 1e-6);
}

TEST(RfsimPacer, SmallLatenessKeepsTheScheduleAnIdleLineDoesNot)
{
    Pacer pacer;
    const Clock::time_point t0 = Clock::now();
    pacer.commit(t0, 10);
    const Clock::time_point free = pacer.readyAt(t0);
    EXPECT_GT(free, t0);
    EXPECT_EQ(pacer.readyAt(free + 5ms), free);           // woken a little late
    EXPECT_EQ(pacer.readyAt(free + 500ms), free + 500ms); // the line was idle
}

ClassSettings classOf(std::uint32_t remotes, std::uint64_t count = 0)
{
    ClassSettings settings;
    settings.remotes = remotes;
    settings.count = count;
    settings.rate = 0;
    return settings;
}

TEST(RfsimClass, EveryRemoteVotesOncePerRound)
{
    ClassSimulation simulation(classOf(30, 90), Clock::now());
    for (int round = 0; round < 3; ++round) {
        std::set<std::uint32_t> remotes;
        for (int i = 0; i < 30; ++i) {
            ASSERT_FALSE(simulation.finished());
            const Vote vote = simulation.next();
            remotes.insert(vote.remote);
            EXPECT_GE(vote.answer, 1);
            EXPECT_LE(vote.answer, 4); // default weights: a to d
        }
        EXPECT_EQ(remotes.size(), 30u);
        EXPECT_EQ(*remotes.begin(), 100000u);
        EXPECT_EQ(*remotes.rbegin(), 100029u);
    }
    EXPECT_TRUE(simulation.finished());
}

TEST(RfsimClass, AnswersFollowTheWeights)
{
    ClassSettings settings = classOf(1000);
    std::string error;
    ASSERT_TRUE(parseAnswerWeights("b:3,e:1", settings.weights, error)) << error;
    ClassSimulation simulation(settings, Clock::now());
    std::map<int, int> counts;
    while (!simulation.finished())
        ++counts[simulation.next().answer];
    EXPECT_EQ(counts.size(), 2u);
    EXPECT_GT(counts[2], 650);
    EXPECT_GT(counts[5], 150);
}

TEST(RfsimClass, VotesAreDueAtTheRate)
{
    ClassSettings settings = classOf(10);
    settings.rate = 4;
    const Clock::time_point t0 = Clock::now();
    ClassSimulation simulation(settings, t0);
    EXPECT_EQ(simulation.nextDue(), t0);
    simulation.next();
    simulation.next();
    EXPECT_EQ(simulation.nextDue() - t0, std::chrono::milliseconds(500));
}

TEST(RfsimClass, EndlessNeverFinishes)
{
    ClassSettings settings = classOf(3);
    settings.endless = true;
    ClassSimulation simulation(settings, Clock::now());
    for (int i = 0; i < 100; ++i)
        simulation.next();
    EXPECT_FALSE(simulation.finished());
}

TEST(RfsimClass, RejectsRemotesBeyondTwentyOneBits)
{
    std::string error;
    ClassSettings settings = classOf(2);
    settings.firstRemote = 2097150;
    EXPECT_TRUE(validateClassSettings(settings, error));
    settings.remotes = 3;
    EXPECT_FALSE(validateClassSettings(settings, error));
}

std::vector<int> feed(ModeDetector &detector, const std::vector<std::uint8_t> &bytes)
{
    std::vector<int> modes;
    for (const std::uint8_t byte : bytes) {
        if (const auto mode = detector.feed(byte))
            modes.push_back(*mode);
    }
    return modes;
}

TEST(RfsimModeDetector, FindsCommandsAmongOtherBytes)
{
    ModeDetector detector;
    EXPECT_EQ(feed(detector, {0x82, 0x48, 0x00, 0x00, 0x4a}), std::vector<int>{1});
    EXPECT_EQ(feed(detector, {0x00, 0x80, 0x82, 0x48, 0x00, 0x00, 0x4a, 0x80, 0x48, 0x00}),
              std::vector<int>{1});
    EXPECT_EQ(feed(detector, {0x00, 0x48}), std::vector<int>{0}); // completes across calls
    EXPECT_EQ(detector.otherBytes(), 2u);
}

TEST(RfsimModeDetector, NearMissesAreNoCommand)
{
    ModeDetector detector;
    EXPECT_TRUE(feed(detector, {0x80, 0x48, 0x00, 0x00, 0x49}).empty()); // bad check value
    EXPECT_TRUE(feed(detector, {0x84, 0x48, 0x00, 0x00, 0x4c}).empty()); // no such mode
    EXPECT_TRUE(feed(detector, {0xc5, 0x42, 0x71, 0x00, 0x78}).empty()); // an action packet
}

} // namespace
} // namespace rfsim
