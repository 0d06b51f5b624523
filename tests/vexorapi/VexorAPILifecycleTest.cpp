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
#include <functional>
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

class VexorAPILifecycleTest : public ::testing::Test
{
protected:
    VexorAPILifecycleTest() { parser.setTrace(nullptr); }

    std::array<unsigned char, 64> zeros{};
    RawDataElement prototype{zeros.data(), 64};
    IRawData rawData{&prototype};
    BaseDataEvents dataEvents;
    VoteRecorder recorder;
    InputReportsParser parser{&rawData, &recorder, &dataEvents};
    BlockingConnect connect;
    BlockingReader reader;
    VexorAPI api{nullptr, &connect, &reader, &parser};
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
    const std::array<unsigned char, 64> voteStart{0x01, 0x11};
    {
        boost::lock_guard<boost::mutex> guard(dataEvents.mutex);
        rawData.elements.push_back(prototype.create(voteStart.data(), 64));
    }
    dataEvents.notifyNewData();
    EXPECT_TRUE(recorder.waitForEvent("state 2", 1, std::chrono::seconds(20)));
    api.stop();
    api.stop();
}

} // namespace
