// The connection loop against the simulated base: the notifications the
// client hears while bases come, fail to open and go. The loop runs on its own
// thread and is ended by interruption, as the facade ends it.

#include "BaseManagement.h"
#include "ClientProtocol.h"
#include "DeviceTestSupport.h"

#include <VexorAPI/ConnectBase.h>

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace {

using Events = std::vector<std::string>;

class ConnectBaseTest : public ::testing::Test
{
protected:
    ConnectBaseTest() { graph.protocol.setOpeningGate(&management); }

    void TearDown() override { stopLoop(); }

    void startLoop()
    {
        loop = std::make_unique<boost::thread>([this] { connectBase.connectLoop(); });
    }

    void stopLoop()
    {
        if (!loop)
            return;
        loop->interrupt();
        loop->join();
        loop.reset();
    }

    // Events recorded while idling a while; nothing must happen meanwhile.
    Events eventsAfterIdling()
    {
        basesim::waitForEnumerations(basesim::enumerations() + 5, std::chrono::seconds(10));
        return events.events();
    }

    static bool startsWith(const Events &log, const Events &prefix)
    {
        return log.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), log.begin());
    }

    RecordingSleeper protocolSleeper{1};
    RecordingSleeper loopSleeper{1};
    DeviceGraph graph{&protocolSleeper};
    RecordingEvents events;
    BaseManagement management{&events};
    ConnectBase connectBase{&loopSleeper, &graph.protocol, &management};
    std::unique_ptr<boost::thread> loop;
};

TEST_F(ConnectBaseTest, BaseAttachedAtStartIsOpenedThenWatchedUntilUnplugged)
{
    basesim::reset(true);
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    EXPECT_EQ(eventsAfterIdling(), (Events{"baseFound", "openingBase", "baseReady"}));
    EXPECT_TRUE(management.isReady());
    EXPECT_EQ(basesim::writtenReports().size(), 5u);

    basesim::unplug();
    ASSERT_TRUE(events.waitForCount("noBase", 2));
    EXPECT_TRUE(startsWith(events.events(), {"baseFound", "openingBase", "baseReady", "baseLost",
                                             "baseLost", "noBase", "noBase"}));
    EXPECT_FALSE(management.isReady());
}

TEST_F(ConnectBaseTest, AbsentBaseIsReportedUntilPluggedIn)
{
    basesim::reset(false);
    startLoop();
    ASSERT_TRUE(events.waitForCount("noBase", 3));
    basesim::plug();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));

    const Events log = events.events();
    const std::size_t searches = occurrences(log, "noBase");
    Events expected(searches, "noBase");
    expected.insert(expected.end(), {"baseFound", "openingBase", "baseReady"});
    EXPECT_EQ(log, expected);
    EXPECT_GE(loopSleeper.count("long"), searches) << "each failed search is followed by a pause";
}

// A failed opening is tried again, after the pause between two presence
// checks, while the base stays attached.
TEST_F(ConnectBaseTest, FailedOpeningIsRetriedWhileTheBaseStaysAttached)
{
    basesim::reset(true);
    basesim::failWrite(1);
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    EXPECT_EQ(eventsAfterIdling(),
              (Events{"baseFound", "openingBase", "openingBase", "baseReady"}));
    EXPECT_GE(loopSleeper.count("long"), 1u);
    EXPECT_EQ(basesim::writtenReports().size(), 5u);
    EXPECT_TRUE(management.isReady());
}

// A base that is gone when its opening fails is lost, not opened again: it
// is waited for, and opened once it is listed again.
TEST_F(ConnectBaseTest, FailedOpeningOfAVanishedBaseIsNotRetried)
{
    basesim::reset(true);
    basesim::hideAfterNextOpen(basesim::untilShown);
    startLoop();
    ASSERT_TRUE(events.waitForCount("noBase", 1));
    basesim::showInEnumeration();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    const Events log = events.events();
    EXPECT_TRUE(startsWith(log, {"baseFound", "openingBase", "baseLost", "baseLost", "noBase"}));
    EXPECT_EQ(occurrences(log, "openingBase"), 2u);
}

TEST_F(ConnectBaseTest, BaseDroppingOutDuringTheOpeningIsWaitedFor)
{
    basesim::reset(true);
    basesim::hideAfterNextOpen(std::chrono::milliseconds(100));
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    EXPECT_EQ(events.events(), (Events{"baseFound", "openingBase", "baseReady"}));
    EXPECT_GT(protocolSleeper.count("medium"), 11u) << "the opening polled for the base";
    EXPECT_EQ(basesim::writtenReports().size(), 5u);
}

TEST_F(ConnectBaseTest, ReplugAfterLossOpensAFreshHandle)
{
    basesim::reset(true);
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    basesim::unplug();
    ASSERT_TRUE(events.waitForCount("noBase", 1));
    basesim::plug();
    ASSERT_TRUE(events.waitForCount("baseReady", 2));
    EXPECT_EQ(basesim::openHandles(), handlesPerOpening);
    EXPECT_EQ(basesim::writtenReports().size(), 10u);
}

// What the reader does after a failed read on the opening it reads from.
void reportReaderLoss(BaseManagement &management)
{
    management.readerLost(management.waitForReadyGeneration());
}

// A read that fails while the base stays enumerated (a transient error, or an
// unplug and replug between two presence checks) is a loss for the loop too:
// it reports it as for an unplugging and opens the base again, which the
// waiting reader needs.
TEST_F(ConnectBaseTest, LossReportedByTheReaderIsFollowedByAReopening)
{
    basesim::reset(true);
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    reportReaderLoss(management);
    ASSERT_TRUE(events.waitForCount("baseReady", 2));
    EXPECT_EQ(eventsAfterIdling(),
              (Events{"baseFound", "openingBase", "baseReady", "baseLost", "baseLost", "baseLost",
                      "baseFound", "openingBase", "baseReady"}));
    EXPECT_TRUE(management.isReady());
    EXPECT_FALSE(management.readerReportedLoss());
    EXPECT_EQ(basesim::openHandles(), handlesPerOpening);
    EXPECT_EQ(basesim::writtenReports().size(), 10u);
}

// A reopening after the reader's loss that fails is tried again as well.
TEST_F(ConnectBaseTest, FailedReopeningAfterAReaderLossIsRetried)
{
    basesim::reset(true);
    startLoop();
    ASSERT_TRUE(events.waitForCount("baseReady", 1));
    basesim::failWrite(1);
    reportReaderLoss(management);
    ASSERT_TRUE(events.waitForCount("baseReady", 2));
    EXPECT_EQ(eventsAfterIdling(),
              (Events{"baseFound", "openingBase", "baseReady", "baseLost", "baseLost", "baseLost",
                      "baseFound", "openingBase", "openingBase", "baseReady"}));
    EXPECT_TRUE(management.isReady());
}

// The client closes the base while the loop opens it: from onOpeningBase,
// during the opening's first pause (before it opens the device), after its
// first report; in the loop's first opening, or in the client's opening of
// the ready base that follows it. Once closeBase() has returned, nothing more
// reaches the base and the opening is not tried again.
struct CloseMoment
{
    const char *name;
    const char *event; // closes inside this client event
    const char *pause; // or at the first protocol pause of this name
    bool reopening;    // in the client's opening after the first
};

void PrintTo(const CloseMoment &moment, std::ostream *out)
{
    *out << moment.name;
}

class CloseDuringTheOpening : public ConnectBaseTest,
                              public ::testing::WithParamInterface<CloseMoment>
{
};

TEST_P(CloseDuringTheOpening, EndsItsWrites)
{
    const CloseMoment moment = GetParam();
    basesim::reset(true);
    ClientProtocol client(&graph.protocol, &management);
    std::atomic<int> writesAtClose{-1};
    std::atomic<bool> armed{!moment.reopening};
    const auto close = [&] {
        if (!armed || writesAtClose >= 0)
            return;
        client.closeBase();
        writesAtClose = static_cast<int>(basesim::writtenReports().size());
    };
    events.onEvent = [&](const std::string &name) {
        if (moment.event && name == moment.event)
            close();
    };
    protocolSleeper.onPause = [&](const std::string &name) {
        if (moment.pause && name == moment.pause)
            close();
    };
    startLoop();
    Events expected{"baseFound", "openingBase"};
    if (moment.reopening) {
        ASSERT_TRUE(events.waitForCount("baseReady", 1));
        armed = true;
        client.openBase(); // no facade threads: answers at once, the loop opens
        expected.insert(expected.end(), {"baseReady", "openingBase"});
    }
    ASSERT_TRUE(events.waitForCount("openingBase", expected.size() / 2));
    EXPECT_EQ(eventsAfterIdling(), expected);
    stopLoop();

    EXPECT_EQ(static_cast<int>(basesim::writtenReports().size()), writesAtClose);
    EXPECT_EQ(basesim::openHandles(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    ConnectBase, CloseDuringTheOpening,
    ::testing::Values(CloseMoment{"FromOnOpeningBase", "openingBase", nullptr, false},
                      CloseMoment{"InTheFirstPause", nullptr, "long", false},
                      CloseMoment{"AfterTheFirstReport", nullptr, "short", false},
                      CloseMoment{"ReopeningFromOnOpeningBase", "openingBase", nullptr, true},
                      CloseMoment{"ReopeningInTheFirstPause", nullptr, "long", true},
                      CloseMoment{"ReopeningAfterTheFirstReport", nullptr, "short", true}),
    [](const ::testing::TestParamInfo<CloseMoment> &param) {
        return std::string(param.param.name);
    });

TEST_F(ConnectBaseTest, InterruptionEndsTheLoopWhileWaitingForABase)
{
    basesim::reset(false);
    startLoop();
    ASSERT_TRUE(events.waitForCount("noBase", 1));
    loop->interrupt();
    EXPECT_TRUE(loop->timed_join(boost::posix_time::seconds(10)));
}

// A base that is listed but cannot be opened (say, its device node is not
// accessible): every opening fails. Notes how many long pauses the loop took
// since the attempt before.
class UnopenableBase : public ProtocolVexor
{
public:
    explicit UnopenableBase(RecordingSleeper &loopSleeper_) : loopSleeper(loopSleeper_) {}

    bool findBase() override { return true; }
    bool baseIsAttached() override { return true; }
    bool openBase() override
    {
        const std::size_t pauses = loopSleeper.count("long");
        pausesBefore.push_back(pauses - pausesSoFar);
        pausesSoFar = pauses;
        return false;
    }

    std::vector<std::size_t> pausesBefore;

private:
    RecordingSleeper &loopSleeper;
    std::size_t pausesSoFar = 0;
};

// Failed openings are retried after a pause that doubles from one presence
// check (100 ms) up to 50 of them (5 s).
TEST(ConnectBaseBackOff, RetriesOfAnUnopenableBaseBackOffToFiveSeconds)
{
    RecordingSleeper sleeper;
    RecordingEvents events;
    BaseManagement management(&events);
    UnopenableBase base(sleeper);
    ConnectBase connect(&sleeper, &base, &management);
    boost::thread loop([&] { connect.connectLoop(); });
    ASSERT_TRUE(events.waitForCount("openingBase", 11)); // ten attempts made
    loop.interrupt();
    loop.join();

    const std::vector<std::size_t> schedule = {0, 1, 2, 4, 8, 16, 32, 50, 50, 50};
    EXPECT_EQ(std::vector<std::size_t>(base.pausesBefore.begin(), base.pausesBefore.begin() + 10),
              schedule);
    EXPECT_EQ(occurrences(events.events(), "baseReady"), 0u);
}

// Records the steps it replaces, to show that each step reaches the others
// through the virtual table.
class ScriptedConnectBase : public ConnectBase
{
public:
    using ConnectBase::ConnectBase;

    void waitForABase() override { steps.push_back("waitForABase"); }
    void waitForOpenBase() override { steps.push_back("waitForOpenBase"); }
    bool testBaseIsPresent() override
    {
        steps.push_back("testBaseIsPresent");
        return ++presenceChecks < 3;
    }

    std::vector<std::string> steps;
    int presenceChecks = 0;
};

TEST(ConnectBaseSteps, StepsCallEachOtherThroughTheVirtualTable)
{
    RecordingSleeper sleeper;
    RecordingEvents events;
    BaseManagement management(&events);
    ScriptedConnectBase connect(&sleeper, nullptr, &management);

    connect.connectOnce();
    connect.baseIsPresent();
    EXPECT_EQ(connect.steps, (Events{"waitForABase", "waitForOpenBase", "testBaseIsPresent",
                                     "testBaseIsPresent", "testBaseIsPresent"}));
    EXPECT_EQ(sleeper.pauses(), (Events{"long", "long"}));
    EXPECT_EQ(events.events(), (Events{"baseLost"}));
}

TEST(ConnectBaseSteps, ConstructorsSetTheirMembers)
{
    RecordingSleeper sleeper;
    RecordingEvents events;
    BaseManagement management(&events);
    ProtocolVexor protocol;

    const ConnectBase empty;
    EXPECT_EQ(empty.sleeper, nullptr);
    EXPECT_EQ(empty.protocol, nullptr);
    EXPECT_EQ(empty.management, nullptr);

    const ConnectBase withOwnSleeper(&protocol, &management);
    EXPECT_NE(withOwnSleeper.sleeper, nullptr);
    EXPECT_EQ(withOwnSleeper.protocol, &protocol);
    EXPECT_EQ(withOwnSleeper.management, &management);

    const ConnectBase full(&sleeper, &protocol, &management);
    EXPECT_EQ(full.sleeper, &sleeper);
}

} // namespace
