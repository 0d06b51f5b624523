#include "DeviceReader.h"
#include "BaseDataEvents.h"
#include "BaseManagement.h"
#include "IRawData.h"
#include "RawDataElement.h"

#include <VexorAPI/IBaseManagementEvents.h>
#include <VexorAPI/IProtocol.h>

#include <boost/thread/thread.hpp>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <future>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// One scripted read: the bytes it delivers (none for a time-out), or a
// failure. An optional action runs first, on the reader's thread, to stand
// for what another thread does while the read is pending.
struct Read
{
    Read(Bytes delivered = {}) : bytes(std::move(delivered)) {}

    Bytes bytes;
    bool fails = false;
    std::function<void()> meanwhile;
};

// A protocol whose reads follow a script; once the script is spent every read
// fails. Reads leave the buffer alone unless they deliver bytes.
class ScriptedProtocol : public IProtocol
{
public:
    bool findBase() override { return true; }
    bool openBase() override { return true; }
    bool closeBase() override { return true; }
    bool sendCommand24() override { return true; }
    bool baseIsAttached() override { return true; }
    bool waitForBase() override { return true; }
    bool readReport(unsigned char *buffer, int, int timeoutMs) override
    {
        lastTimeout = timeoutMs;
        timeouts.push_back(timeoutMs);
        if (script.empty())
            return false;
        Read read = script.front();
        script.pop_front();
        if (read.meanwhile)
            read.meanwhile();
        std::copy(read.bytes.begin(), read.bytes.end(), buffer);
        return !read.fails;
    }
    bool setFrequencies(char, char, bool) override { return true; }
    bool startVote(unsigned char) override { return true; }
    bool stopVote() override { return true; }
    bool setDisplayLine(const std::string &, short) override { return true; }

    std::deque<Read> script;
    int lastTimeout = 0;
    std::vector<int> timeouts;
};

class CountingEvents : public IBaseManagementEvents
{
public:
    void onNoBase() override {}
    void onBaseFound() override {}
    void onOpeningBase() override {}
    void onBaseReady() override { ++ready; }
    void onBaseLost() override { ++lost; }

    std::atomic<int> ready{0};
    std::atomic<int> lost{0};
};

class CountingDataEvents : public BaseDataEvents
{
public:
    void notifyNewData() override
    {
        ++notifications;
        BaseDataEvents::notifyNewData();
    }
    int notifications = 0;
};

class DeviceReaderTest : public ::testing::Test
{
protected:
    std::vector<Bytes> queuedReports()
    {
        std::vector<Bytes> reports;
        for (const IRawDataElement &element : rawData.elements)
            reports.emplace_back(element.getData(), element.getData() + element.getLength());
        return reports;
    }

    static Bytes report(std::initializer_list<unsigned char> head)
    {
        Bytes bytes(64, 0);
        std::copy(head.begin(), head.end(), bytes.begin());
        return bytes;
    }

    std::array<unsigned char, 64> zeros{};
    RawDataElement prototype{zeros.data(), 64};
    IRawData rawData{&prototype};
    CountingDataEvents dataEvents;
    CountingEvents events;
    BaseManagement management{&events};
    ScriptedProtocol protocol;
    DeviceReader reader{&protocol, &dataEvents, &management, &rawData};
};

TEST_F(DeviceReaderTest, QueuesOnlyReportsWithKindAndCommand)
{
    const Bytes voteStart = report({0x01, 0x11, 0x05});
    protocol.script = {{{}},
                       {report({0x02, 0x00, 0x07})},
                       {report({0x00, 0x30, 0x07})},
                       {voteStart},
                       {{}}, // a time-out after a report: the report is not queued again
                       {report({0x02, 0x30, 0x01})}};
    management.baseOpened();
    reader.run();

    EXPECT_EQ(queuedReports(), std::vector<Bytes>({voteStart, report({0x02, 0x30, 0x01})}));
    EXPECT_EQ(dataEvents.notifications, 2);
    EXPECT_EQ(protocol.lastTimeout, 1000);
    EXPECT_EQ(events.lost, 1);
    EXPECT_FALSE(management.isReady());
}

// The connection loop noticed the loss and opened the base again while the
// reader's read was failing: the reader's report is stale and must not clear
// the new opening's ready flag, or nobody would read the reopened base.
TEST_F(DeviceReaderTest, StaleLossKeepsAReopenedBaseReady)
{
    Read failing;
    failing.fails = true;
    failing.meanwhile = [this] {
        management.baseLost();
        management.baseOpened();
    };
    protocol.script = {failing};
    management.baseOpened();
    reader.run();

    EXPECT_TRUE(management.isReady());
    EXPECT_EQ(events.lost, 1); // the connection loop's report only
    EXPECT_EQ(events.ready, 2);
}

// A new opening is about to open the device: the reader takes what is
// waiting in the old handle without waiting, then leaves it, before the new
// handle is opened. That is no loss.
TEST_F(DeviceReaderTest, TakesWhatIsWaitingAndLeavesBeforeANewOpening)
{
    const Bytes first = report({0x02, 0x30, 0x01});
    const Bytes second = report({0x02, 0x30, 0x02});
    const Bytes third = report({0x02, 0x30, 0x03});
    std::promise<void> reading;
    Read pending(first);
    pending.meanwhile = [&] {
        reading.set_value();
        while (management.isReady()) // until the opening has begun
            boost::this_thread::yield();
    };
    protocol.script = {pending, {second}, {third}, {{}}, {report({0x02, 0x30, 0x04})}};
    management.baseOpened();
    boost::thread readerThread([this] { reader.run(); });

    reading.get_future().wait();
    std::size_t queuedAtOpen = 0;
    EXPECT_TRUE(management.openDevice([&] {
        queuedAtOpen = rawData.elements.size();
        return true;
    }));
    readerThread.join();
    EXPECT_EQ(queuedAtOpen, 3u);
    EXPECT_EQ(queuedReports(), std::vector<Bytes>({first, second, third}));
    EXPECT_EQ(protocol.timeouts, std::vector<int>({1000, 0, 0, 0}));
    EXPECT_EQ(events.lost, 0);
}

TEST_F(DeviceReaderTest, WaitsForAnOpenedBaseAndStopsOnInterruption)
{
    boost::thread thread([this] { reader.run(); });
    thread.interrupt();
    thread.join();
    EXPECT_TRUE(rawData.elements.empty());
    EXPECT_EQ(events.lost, 0);

    protocol.script = {{report({0x01, 0x12})}};
    boost::thread second([this] { reader.run(); });
    management.baseOpened();
    second.join(); // the script ends with a failed read
    EXPECT_EQ(queuedReports().size(), 1u);
    EXPECT_EQ(events.lost, 1);
}

} // namespace
