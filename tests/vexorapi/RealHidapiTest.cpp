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

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <memory>
#include <thread>

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

} // namespace
