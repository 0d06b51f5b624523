// The facade's threads with components injected by the client: how often
// each body starts, and that stop() ends every blocking wait.
#include "VoteRecorder.h"

#include "BaseDataEvents.h"
#include "IDeviceReader.h"
#include "IRawData.h"
#include "InputReportsParser.h"
#include "RawDataElement.h"

#include <VexorAPI/IConnectBase.h>
#include <VexorAPI/VexorAPI.h>

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <future>
#include <mutex>
#include <stdexcept>
#include <thread>

namespace {

// Waits interruptibly for a long time, as a connection loop pause or a wait
// for an opened base does.
void blockUntilInterrupted()
{
    boost::this_thread::sleep(boost::posix_time::hours(1));
}

class BlockingConnect : public IConnectBase
{
public:
    void connectLoop() override
    {
        ++loops;
        if (onLoop)
            onLoop();
        blockUntilInterrupted();
    }
    void connectOnce() override {}
    void waitForABase() override {}
    void waitForOpenBase() override {}
    void baseIsPresent() override {}
    bool testBaseIsPresent() override { return true; }

    std::atomic<int> loops{0};
    // Runs on the connection thread, as a client's callback would.
    std::function<void()> onLoop;
};

class BlockingReader : public IDeviceReader
{
public:
    void run() override
    {
        ++passes;
        blockUntilInterrupted();
    }

    std::atomic<int> passes{0};
};

bool eventually(const std::function<bool()> &condition)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Holds its first vote-state callback from the moment the client's thread
// calls stop() until stop() returns, or for a second: a stop() that did not
// wait for the callback would return meanwhile.
class HoldingRecorder : public VoteRecorder
{
public:
    void voteStateChanged(int state) override
    {
        if (!held.exchange(true)) {
            entered.set_value();
            std::unique_lock<std::mutex> guard(mutex);
            changed.wait(guard, [this] { return stopCalled; });
            changed.wait_for(guard, std::chrono::seconds(1), [this] { return stopReturned; });
            returnedBeforeStop = !stopReturned;
        }
        VoteRecorder::voteStateChanged(state);
    }

    // The client's thread, around its stop().
    void stopping() { set(stopCalled); }
    void stopped() { set(stopReturned); }

    std::promise<void> entered;
    std::atomic<bool> returnedBeforeStop{false};

private:
    void set(bool &flag)
    {
        std::lock_guard<std::mutex> guard(mutex);
        flag = true;
        changed.notify_all();
    }

    std::atomic<bool> held{false};
    std::mutex mutex; // protects stopCalled and stopReturned
    std::condition_variable changed;
    bool stopCalled = false;
    bool stopReturned = false;
};

class ThrowingRecorder : public VoteRecorder
{
public:
    void voteStateChanged(int) override { throw std::runtime_error("a fault of the client"); }
};

// A facade with injected components whose parser thread hands its
// callbacks to mutators; the connection loop and the reader only wait.
template <class Mutators> struct ParserFacade
{
    ParserFacade() { parser.setTrace(nullptr); }

    // Queues the base's answer to a command, as the reader would.
    void queue(unsigned char command)
    {
        const std::array<unsigned char, 64> answer{0x01, command};
        {
            boost::lock_guard<boost::mutex> guard(dataEvents.mutex);
            rawData.elements.push_back(prototype.create(answer.data(), 64));
        }
        dataEvents.notifyNewData();
    }

    std::array<unsigned char, 64> zeros{};
    RawDataElement prototype{zeros.data(), 64};
    IRawData rawData{&prototype};
    BaseDataEvents dataEvents;
    Mutators mutators;
    InputReportsParser parser{&rawData, &mutators, &dataEvents};
    BlockingConnect connect;
    BlockingReader reader;
    VexorAPI api{nullptr, &connect, &reader, &parser};
};

class VexorAPILifecycleTest : public ::testing::Test, protected ParserFacade<VoteRecorder>
{
};

TEST_F(VexorAPILifecycleTest, SecondRunWhileRunningStartsNothing)
{
    api.run();
    api.run();
    ASSERT_TRUE(eventually([&] { return connect.loops == 1 && reader.passes == 1; }));
    api.stop();
    EXPECT_EQ(connect.loops, 1);
    EXPECT_EQ(reader.passes, 1);
    EXPECT_EQ(api.connectBase, &connect);
}

// Every cycle starts the threads once and stop() ends them all, whatever
// they were waiting for. A reader thread that starts after the stop request
// does not begin a pass.
TEST_F(VexorAPILifecycleTest, RunAndStopCycles)
{
    for (int cycle = 0; cycle < 100; ++cycle) {
        api.run();
        api.stop();
    }
    EXPECT_EQ(connect.loops, 100);
    EXPECT_LE(reader.passes, 100);
}

// stop() from a callback only asks the threads to end; run() afterwards lets
// them end and starts them again.
TEST_F(VexorAPILifecycleTest, RunAfterAStopFromACallbackStartsTheThreadsAgain)
{
    std::atomic<bool> stoppedFromCallback{false};
    connect.onLoop = [&] {
        if (connect.loops == 1 && eventually([&] { return reader.passes == 1; })) {
            api.stop();
            stoppedFromCallback = true;
        }
    };
    api.run();
    ASSERT_TRUE(eventually([&] { return stoppedFromCallback.load(); }));
    api.run();
    EXPECT_TRUE(eventually([&] { return connect.loops == 2 && reader.passes == 2; }));
    api.stop();
}

TEST_F(VexorAPILifecycleTest, ParserThreadHandlesReportsUntilStopped)
{
    api.run();
    queue(0x11);
    EXPECT_TRUE(mutators.waitForEvent("state 2", 1, std::chrono::seconds(20)));
    api.stop();
    api.stop();
}

// stop() waits for the callback that is running, and ends the parser before
// the next report: that one stays queued, and the next run() delivers it.
TEST(VexorAPIStop, WaitsForTheRunningCallbackAndLeavesTheRestQueuedForTheNextRun)
{
    ParserFacade<HoldingRecorder> facade;
    facade.api.run();
    facade.queue(0x11); // vote started
    facade.queue(0x12); // vote stopped
    ASSERT_EQ(facade.mutators.entered.get_future().wait_for(std::chrono::seconds(20)),
              std::future_status::ready);

    facade.mutators.stopping();
    facade.api.stop();
    facade.mutators.stopped();
    EXPECT_TRUE(facade.mutators.returnedBeforeStop);
    EXPECT_EQ(facade.mutators.events(), std::vector<std::string>{"state 2"});

    facade.api.run();
    EXPECT_TRUE(facade.mutators.waitForEvent("state 3", 1, std::chrono::seconds(20)));
    facade.api.stop();
    EXPECT_EQ(facade.mutators.events(), (std::vector<std::string>{"state 2", "state 3"}));
}

// The library catches nothing that a client's callback throws: it leaves the
// library's thread, and the process ends as with any thread's function.
TEST(VexorAPIDeathTest, AnExceptionFromACallbackEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(
        {
            ParserFacade<ThrowingRecorder> facade;
            facade.api.run();
            facade.queue(0x11);
            // Ends only if the exception did not end the process in time.
            facade.mutators.waitForEvent("state 2", 1, std::chrono::seconds(20));
        },
        "terminate called after throwing an instance of 'std::runtime_error'");
}

} // namespace
