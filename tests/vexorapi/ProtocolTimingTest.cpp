// The pauses of the protocol: which ones, how many and in what order (through
// a recording sleeper), plus a few real-time lower bounds.

#include "DeviceTestSupport.h"

#include "SleeperBoost.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Pauses = std::vector<std::string>;

class ProtocolTimingTest : public ::testing::Test
{
protected:
    void SetUp() override { basesim::reset(); }

    RecordingSleeper sleeper;
    DeviceGraph graph{&sleeper};
};

Pauses repeated(const std::string &name, std::size_t times)
{
    return Pauses(times, name);
}

Pauses joined(std::initializer_list<Pauses> parts)
{
    Pauses all;
    for (const Pauses &part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

TEST_F(ProtocolTimingTest, WaitForBaseReturnsAtOnceWhenAttached)
{
    EXPECT_TRUE(graph.protocol.waitForBase());
    EXPECT_TRUE(sleeper.pauses().empty());
    EXPECT_EQ(basesim::enumerations(), 1);
}

TEST_F(ProtocolTimingTest, WaitForBaseGivesUpAfter500ChecksEachFollowedByAMediumPause)
{
    basesim::unplug();
    EXPECT_FALSE(graph.protocol.waitForBase());
    EXPECT_EQ(sleeper.pauses(), repeated("medium", 500));
    EXPECT_EQ(basesim::enumerations(), 500);
}

TEST_F(ProtocolTimingTest, WaitForBaseStopsPollingWhenTheBaseReappears)
{
    RecordingSleeper slowSleeper(1);
    DeviceGraph slowGraph(&slowSleeper);
    basesim::hideFromEnumeration(std::chrono::milliseconds(50));
    EXPECT_TRUE(slowGraph.protocol.waitForBase());
    EXPECT_GE(slowSleeper.count("medium"), 1u);
    EXPECT_LT(slowSleeper.count("medium"), 500u);
    EXPECT_EQ(static_cast<std::size_t>(basesim::enumerations()), slowSleeper.count("medium") + 1);
}

TEST_F(ProtocolTimingTest, SuccessfulOpeningTakesItsPausesInOrder)
{
    ASSERT_TRUE(graph.protocol.openBase());
    const Pauses expected = {"long",   "medium", "short",  "medium", "medium", "medium", "medium",
                             "medium", "medium", "medium", "medium", "medium", "medium"};
    EXPECT_EQ(sleeper.pauses(), expected);
}

TEST_F(ProtocolTimingTest, OpeningThatFailsAtTheFrequenciesStillTakesTheThreeMediumPauses)
{
    basesim::failWrite(1);
    EXPECT_FALSE(graph.protocol.openBase());
    EXPECT_EQ(sleeper.pauses(), (Pauses{"long", "medium", "medium", "medium"}));
    EXPECT_TRUE(writtenBytes().empty());
    EXPECT_TRUE(graph.hid.isOpen()) << "a failed opening leaves the handle open";
}

TEST_F(ProtocolTimingTest, OpeningThatFailsAtTheStopVoteEndsAfterStepTen)
{
    basesim::failWrite(2);
    EXPECT_FALSE(graph.protocol.openBase());
    EXPECT_EQ(sleeper.pauses(),
              (Pauses{"long", "medium", "short", "medium", "medium", "medium", "medium"}));
    EXPECT_EQ(writtenBytes().size(), 1u);
}

TEST_F(ProtocolTimingTest, OpeningThatFailsAtADisplayLineStopsThere)
{
    basesim::failWrite(4); // the second display line
    EXPECT_FALSE(graph.protocol.openBase());
    EXPECT_EQ(writtenBytes().size(), 3u);
    EXPECT_EQ(sleeper.count("medium"), 10u);
}

TEST_F(ProtocolTimingTest, OpeningWithoutABasePollsFor500ChecksThenTakesTheThreePauses)
{
    basesim::unplug();
    EXPECT_FALSE(graph.protocol.openBase());
    EXPECT_EQ(sleeper.pauses(), joined({{"long"}, repeated("medium", 500), repeated("medium", 3)}));
    EXPECT_FALSE(graph.hid.isOpen());
    EXPECT_TRUE(writtenBytes().empty());
}

TEST_F(ProtocolTimingTest, CommandPausesWithAndWithoutABase)
{
    struct Case
    {
        const char *name;
        bool plugged;
        std::function<bool(ProtocolVexor &)> send;
        Pauses pauses;
    };
    const std::vector<Case> cases = {
        {"start vote",
         true,
         [](ProtocolVexor &p) { return p.startVote(0); },
         {"short", "short", "short"}},
        {"start vote, base gone",
         false,
         [](ProtocolVexor &p) { return p.startVote(0); },
         {"short", "short", "short"}},
        {"stop vote", true, [](ProtocolVexor &p) { return p.stopVote(); }, {"medium", "medium"}},
        {"display line",
         true,
         [](ProtocolVexor &p) { return p.setDisplayLine("a", 1); },
         {"medium", "medium"}},
        {"frequencies with pause",
         true,
         [](ProtocolVexor &p) { return p.setFrequencies('A', 'B', true); },
         {"short"}},
        {"frequencies without pause",
         true,
         [](ProtocolVexor &p) { return p.setFrequencies('A', 'B', false); },
         {}},
        {"frequencies fail before the pause",
         false,
         [](ProtocolVexor &p) { return p.setFrequencies('A', 'B', true); },
         {}},
        {"command 24", true, [](ProtocolVexor &p) { return p.sendCommand24(); }, {}},
    };
    for (const Case &c : cases) {
        basesim::reset(true);
        ASSERT_TRUE(graph.hid.open());
        if (!c.plugged)
            basesim::unplug();
        sleeper.clear();
        EXPECT_EQ(c.send(graph.protocol), c.plugged) << c.name;
        EXPECT_EQ(sleeper.pauses(), c.pauses) << c.name;
    }
}

TEST(ProtocolRealTime, OpeningTakesAtLeastItsPauses)
{
    basesim::reset();
    SleeperBoost sleeper;
    DeviceGraph graph(&sleeper);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(graph.protocol.openBase());
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(550));

    // The stop vote is framed by two 40 ms pauses: its report goes out at
    // least 40 ms after the frequencies' report.
    const std::vector<basesim::WrittenReport> reports = basesim::writtenReports();
    ASSERT_EQ(reports.size(), 5u);
    EXPECT_GE(reports[1].time - reports[0].time, std::chrono::milliseconds(40));
}

} // namespace
