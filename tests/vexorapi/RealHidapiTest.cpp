// HIDHIDAPI over the real hidapi, on a machine where no base is attached. In
// the tsan stage hidapi itself is built with ThreadSanitizer (see
// HidapiFromSource.cmake), so that a race on its process-wide state fails the
// test that causes it.

#include "BaseEventLog.h"
#include "DeviceIDHID.h"
#include "HIDHIDAPI.h"
#include "VoteRecorder.h"

#include <VexorAPI/IProtocol.h>
#include <VexorAPI/VexorAPI.h>

#include <hidapi/hidapi.h>

#include <boost/thread/thread.hpp>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

TEST(RealHidapiTest, LinkedAgainstTheRealLibrary)
{
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void *>(&hid_enumerate), &info), 0);
    EXPECT_NE(std::strstr(info.dli_fname, "hidapi"), nullptr) << info.dli_fname;
}

TEST(RealHidapiTest, WithoutABaseNothingOpens)
{
    DeviceIDHID deviceId(0x1881, 0x0150, 0);
    HIDHIDAPI hid(&deviceId);
    bool present = true;
    EXPECT_TRUE(hid.isPresent(present));
    EXPECT_FALSE(present);
    EXPECT_FALSE(hid.open());
    EXPECT_FALSE(hid.isOpen());

    std::array<unsigned char, 64> buffer{};
    EXPECT_FALSE(hid.readTimeout(buffer.data(), 64, 10));
    EXPECT_FALSE(hid.write(buffer.data()));
    EXPECT_TRUE(hid.setNumInputBuffers(512));
    EXPECT_TRUE(hid.close());
    EXPECT_TRUE(hid.close());
}

// Two objects, as two facades in one process hold them, search and open on
// two threads at once: hidapi's error text is shared by the whole process.
TEST(RealHidapiTest, TwoObjectsSearchAndOpenOnTwoThreads)
{
    const auto searchAndOpen = [] {
        DeviceIDHID deviceId(0x1881, 0x0150, 0);
        HIDHIDAPI hid(&deviceId);
        for (int i = 0; i < 100; ++i) {
            bool present = true;
            EXPECT_TRUE(hid.isPresent(present));
            EXPECT_FALSE(present);
            EXPECT_FALSE(hid.open());
        }
    };
    std::thread other(searchAndOpen);
    searchAndOpen();
    other.join();
}

// The wiring: a client's openBase() on its own thread while the connection
// thread searches for the base, each through the same object.
TEST(RealHidapiTest, ClientOpensWhileTheConnectionThreadSearches)
{
    BaseEventLog events;
    VoteRecorder votes;
    std::unique_ptr<VexorAPI> api(static_cast<VexorAPI *>(getConcreteIVexorAPI(&events, &votes)));
    api->run();
    ASSERT_TRUE(events.waitFor(BaseEventLog::noBase, 1));
    // With no base, openBase() searches until it is interrupted in a pause.
    boost::thread opener([&api] {
        for (;;)
            api->protocol->openBase();
    });
    EXPECT_TRUE(events.waitFor(BaseEventLog::noBase, events[BaseEventLog::noBase] + 3));
    opener.interrupt();
    opener.join();
    api->stop();
}

// The library's threads on one opened device, through the real hidapi: the
// reader waits in reads while the connection thread and the client's thread
// write. A FIFO stands in for the device node (FifoAsHidraw.c), so what the
// writers write comes back to the reader. hidraw replaces a handle's error
// text in every read and write without a lock; in the tsan stage a read and
// a write, or two writes, inside one handle at once fail this test.
TEST(RealHidapiTest, ReaderAndTwoWritersShareOneOpenedDevice)
{
    const std::string node = "/tmp/vexor-fifo-hidraw-" + std::to_string(getpid());
    ASSERT_EQ(mkfifo(node.c_str(), 0600), 0);
    DeviceIDHID deviceId(0x1881, 0x0150, 0);
    HIDHIDAPI hid(&deviceId);
    ASSERT_TRUE(hid.openPath(node));

    constexpr unsigned char writers = 2;
    constexpr int reportsEach = 1000;
    const auto writeReports = [&hid](unsigned char writer) {
        for (int i = 0; i < reportsEach; ++i) {
            std::array<unsigned char, 64> report{};
            report[1] = writer;
            report[2] = static_cast<unsigned char>(i >> 8);
            report[3] = static_cast<unsigned char>(i);
            EXPECT_TRUE(hid.write(report.data()));
        }
    };
    std::vector<std::thread> writing;
    for (unsigned char writer = 1; writer <= writers; ++writer)
        writing.emplace_back(writeReports, writer);

    std::map<unsigned char, std::vector<int>> received;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    for (int got = 0; got < writers * reportsEach && std::chrono::steady_clock::now() < deadline;) {
        std::array<unsigned char, 64> buffer{};
        ASSERT_TRUE(hid.readTimeout(buffer.data(), 64, 100));
        if (buffer[1] != 0) {
            received[buffer[1]].push_back(buffer[2] << 8 | buffer[3]);
            ++got;
        }
    }
    for (std::thread &thread : writing)
        thread.join();
    hid.close();
    unlink(node.c_str());

    std::vector<int> expected;
    for (int i = 0; i < reportsEach; ++i)
        expected.push_back(i);
    EXPECT_EQ(received, (std::map<unsigned char, std::vector<int>>{{1, expected}, {2, expected}}));
}

} // namespace
