// BaseManagement: the events it forwards, the ready flag, and a reader
// thread waiting for a ready base.

#include "BaseManagement.h"
#include "DeviceTestSupport.h"
#include "StopRequest.h"

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace {

using Events = std::vector<std::string>;

class BaseManagementTest : public ::testing::Test
{
protected:
    RecordingEvents events;
    BaseManagement management{&events};
};

TEST_F(BaseManagementTest, ForwardsEachStepToTheClient)
{
    struct Case
    {
        std::function<bool()> step;
        const char *event;
        bool readyAfter;
    };
    const std::vector<Case> cases = {
        {[&] { return management.noBase(); }, "noBase", false},
        {[&] { return management.baseFound(); }, "baseFound", false},
        {[&] { return management.openingBase(); }, "openingBase", false},
        {[&] { return management.baseOpened(); }, "baseReady", true},
        {[&] { return management.baseFound(); }, "baseFound", true},
        {[&] { return management.baseLost(); }, "baseLost", false},
        {[&] { return management.baseOpened(); }, "baseReady", true},
        {[&] { return management.noBase(); }, "noBase", false},
    };
    std::vector<std::string> expected;
    for (const Case &c : cases) {
        EXPECT_TRUE(c.step());
        expected.push_back(c.event);
        EXPECT_EQ(events.events(), expected);
        EXPECT_EQ(management.isReady(), c.readyAfter) << c.event;
    }
}

TEST_F(BaseManagementTest, WaitReturnsAtOnceWhenTheBaseIsReady)
{
    management.baseOpened();
    EXPECT_TRUE(management.waitForBaseReady());
}

// While onBaseReady() runs, the flag that a reader waits for is not yet set,
// and the client may call into the base state without deadlocking.
TEST_F(BaseManagementTest, WaiterWakesOnlyAfterOnBaseReadyHasReturned)
{
    std::atomic<bool> readyDuringCallback{true};
    events.onEvent = [&](const std::string &name) {
        if (name == "baseReady")
            readyDuringCallback = management.isReady() || management.readerReportedLoss();
    };
    std::atomic<bool> sawEvent{false};
    boost::thread reader([&] {
        management.waitForBaseReady();
        sawEvent = occurrences(events.events(), "baseReady") == 1;
    });
    EXPECT_TRUE(management.baseOpened());
    reader.join();
    EXPECT_FALSE(readyDuringCallback);
    EXPECT_TRUE(sawEvent);
}

// A reader waiting for a base that is gone again ends at its facade's stop
// request, whether the request comes before or during the wait: with the
// interruption exception, never by returning.
TEST_F(BaseManagementTest, WaiterForAGoneBaseEndsAtTheStopRequest)
{
    management.setThreadsRunning(true);
    management.baseOpened();
    management.noBase();
    std::atomic<bool> flag{false};
    StopRequest stop(flag);
    std::atomic<bool> returned{false};
    std::atomic<bool> stopped{false};
    boost::thread reader([&] {
        StopRequest::bindThisThread(&stop);
        try {
            management.waitForReadyGeneration();
            returned = true;
        } catch (const boost::thread_interrupted &) {
            stopped = true;
        }
    });
    stop.request();
    management.setThreadsRunning(false);
    ASSERT_TRUE(reader.timed_join(boost::posix_time::seconds(30)));
    EXPECT_FALSE(returned);
    EXPECT_TRUE(stopped);
}

// A close the client asks for is no loss: no event, the reader's failed read
// on the closed handle reports nothing, and no opening is announced until the
// client opens the base again or the base is lost.
TEST_F(BaseManagementTest, CloseOnRequestHoldsUntilAnOpeningRequestOrALoss)
{
    const std::vector<std::function<void()>> releases = {
        [&] { management.requestOpening(); },
        [&] { management.baseLost(); },
        [&] { management.noBase(); },
    };
    for (std::size_t i = 0; i < releases.size(); ++i) {
        EXPECT_TRUE(management.baseOpened());
        const unsigned long generation = management.waitForReadyGeneration();
        const Events before = events.events();
        management.closeRequested();
        EXPECT_FALSE(management.isReady()) << i;
        EXPECT_TRUE(management.closedOnRequest()) << i;
        EXPECT_FALSE(management.readerLost(generation)) << i;
        EXPECT_FALSE(management.baseOpened()) << i;
        EXPECT_EQ(events.events(), before) << i;

        releases[i]();
        EXPECT_FALSE(management.closedOnRequest()) << i;
        EXPECT_FALSE(management.readerReportedLoss()) << i;
    }
    EXPECT_TRUE(management.baseOpened());
    EXPECT_TRUE(management.isReady());
}

// A loss or a close reported from inside onBaseReady() overtakes the opening:
// the flag stays clear.
TEST_F(BaseManagementTest, LossOrCloseDuringOnBaseReadyLeavesTheBaseNotReady)
{
    const std::vector<std::function<void()>> overtakes = {
        [&] { management.baseLost(); },
        [&] { management.closeRequested(); },
    };
    for (const auto &overtake : overtakes) {
        events.onEvent = [&](const std::string &name) {
            if (name == "baseReady")
                overtake();
        };
        EXPECT_FALSE(management.baseOpened());
        EXPECT_FALSE(management.isReady());
        events.onEvent = nullptr;
        management.requestOpening();
    }
}

// A client's opening of a ready base keeps its handles: the device is not
// opened again and the reader's generation goes on. It ends with onBaseReady()
// unless a failed read or a close ended that generation meanwhile.
TEST_F(BaseManagementTest, ClientOpeningOfAReadyBaseKeepsItsHandles)
{
    struct Case
    {
        const char *name;
        std::function<void(unsigned long generation)> meanwhile;
        Events events; // from the opening on
    };
    const std::vector<Case> cases = {
        {"undisturbed", [](unsigned long) {}, {"openingBase", "baseReady"}},
        {"failed read",
         [&](unsigned long g) { management.readerLost(g); },
         {"openingBase", "baseLost"}},
        {"closed", [&](unsigned long) { management.closeRequested(); }, {"openingBase"}},
    };
    management.setThreadsRunning(true);
    for (const Case &c : cases) {
        management.noBase();
        management.baseOpened();
        // The generation a reader reads; none holds it here, so that an
        // opening afresh would not wait for a reader to leave it.
        const unsigned long generation = management.waitForReadyGeneration();
        management.readerLeft(generation);
        const std::size_t before = events.events().size();
        const unsigned long ticket = management.requestOpening();
        management.openingBase();
        bool opened = false;
        EXPECT_TRUE(management.openDevice([&] { return opened = true; })) << c.name;
        EXPECT_FALSE(opened) << c.name;
        EXPECT_TRUE(management.isCurrentGeneration(generation)) << c.name;
        c.meanwhile(generation);
        const bool ready = c.events.back() == "baseReady";
        EXPECT_EQ(management.baseOpened(), ready) << c.name;
        EXPECT_EQ(management.awaitOpening(ticket), ready) << c.name;
        EXPECT_EQ(management.isReady(), ready) << c.name;
        const Events all = events.events();
        EXPECT_EQ(Events(all.begin() + before, all.end()), c.events) << c.name;
    }
}

TEST_F(BaseManagementTest, ReaderLossCountsOnlyForTheOpeningItReadFrom)
{
    management.baseOpened();
    const unsigned long first = management.waitForReadyGeneration();

    // The connection loop saw the loss and opened the base again before the
    // reader reported its failed read on the first opening.
    management.baseLost();
    management.baseOpened();
    EXPECT_FALSE(management.readerLost(first));
    EXPECT_TRUE(management.isReady());
    EXPECT_FALSE(management.readerReportedLoss());

    const unsigned long second = management.waitForReadyGeneration();
    EXPECT_NE(second, first);
    EXPECT_TRUE(management.readerLost(second));
    EXPECT_FALSE(management.isReady());
    EXPECT_EQ(events.events(),
              (std::vector<std::string>{"baseReady", "baseLost", "baseReady", "baseLost"}));
}

// The connection loop asks readerReportedLoss() at each presence check: it is
// set only when the reader itself cleared the ready flag of the current
// opening, and stays set until the loop reports a loss or opens again.
TEST_F(BaseManagementTest, ReaderLossStaysPendingUntilTheLoopActsOnIt)
{
    EXPECT_FALSE(management.readerReportedLoss());
    const std::vector<std::function<void()>> loopSteps = {
        [&] { management.baseLost(); },
        [&] { management.noBase(); },
        [&] { management.baseOpened(); },
    };
    for (std::size_t i = 0; i < loopSteps.size(); ++i) {
        management.baseOpened();
        EXPECT_TRUE(management.readerLost(management.waitForReadyGeneration()));
        EXPECT_TRUE(management.readerReportedLoss()) << i;
        management.baseFound();
        management.openingBase();
        EXPECT_TRUE(management.readerReportedLoss()) << i;
        loopSteps[i]();
        EXPECT_FALSE(management.readerReportedLoss()) << i;
    }

    // The loop saw the loss first: the reader's report still reaches the
    // client, but leaves nothing for the loop to do.
    management.baseOpened();
    const unsigned long generation = management.waitForReadyGeneration();
    management.baseLost();
    EXPECT_TRUE(management.readerLost(generation));
    EXPECT_FALSE(management.readerReportedLoss());
    EXPECT_EQ(events.events().back(), "baseLost");
}

// A client's opening request is answered by the first opening that begins
// after it, or failed by a search that finds no base. While the facade's
// threads do not run nobody carries it out, and it fails at once.
TEST(BaseManagementRequests, AnsweredByTheFirstOpeningBegunAfterThem)
{
    using Steps = std::function<void(BaseManagement &)>;
    const Steps nothing = [](BaseManagement &) {};
    struct Case
    {
        const char *name;
        bool running;
        Steps before; // the loop's steps before the request
        Steps after;  // and after it
        bool answer;
    };
    const Case cases[] = {
        {"opened", true, nothing,
         [](BaseManagement &m) {
             m.openingBase();
             m.baseOpened();
         },
         true},
        {"failed", true, nothing,
         [](BaseManagement &m) {
             m.openingBase();
             m.openingFailed();
         },
         false},
        {"no base", true, nothing, [](BaseManagement &m) { m.noBase(); }, false},
        {"opening begun before the request", true, [](BaseManagement &m) { m.openingBase(); },
         [](BaseManagement &m) {
             m.baseOpened();
             m.openingBase();
             m.openingFailed();
         },
         false},
        {"threads not running", false, nothing, nothing, false},
    };
    for (const Case &c : cases) {
        RecordingEvents events;
        BaseManagement management(&events);
        management.setThreadsRunning(c.running);
        c.before(management);
        const unsigned long ticket = management.requestOpening();
        EXPECT_TRUE(management.openingRequested()) << c.name;
        c.after(management);
        EXPECT_EQ(management.awaitOpening(ticket), c.answer) << c.name;
    }
}

TEST_F(BaseManagementTest, ManyOpeningsAndLossesAcrossThreads)
{
    constexpr int passes = 50;
    std::atomic<bool> done{false};
    boost::thread reader([&] {
        for (int pass = 0; pass < passes; ++pass)
            management.readerLost(management.waitForReadyGeneration());
        done = true;
    });
    while (!done) {
        management.baseOpened();
        management.baseLost();
        management.noBase();
    }
    reader.join();
    EXPECT_TRUE(events.waitForCount("baseReady", passes));
}

} // namespace
