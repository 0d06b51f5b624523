// HIDHIDAPI over the simulated base: presence, opening, reads and writes, a
// closed handle, and the handle's life when threads share it.

#include "DeviceTestSupport.h"

#include <VexorAPI/HidInputBuffers.h>

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Buffer = std::array<unsigned char, 64>;

class HIDHIDAPITest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        basesim::reset();
        basesim::setReportInterval(basesim::Microseconds(0)); // bursts at once
    }

    DeviceIDHID deviceId{basesim::vendorId, basesim::productId, 0};
    HIDHIDAPI hid{&deviceId};
};

TEST_F(HIDHIDAPITest, PresenceFollowsPlugging)
{
    bool present = false;
    EXPECT_TRUE(hid.isPresent(present));
    EXPECT_TRUE(present);
    basesim::unplug();
    present = true;
    EXPECT_TRUE(hid.isPresent(present));
    EXPECT_FALSE(present);
}

TEST_F(HIDHIDAPITest, OtherIdentifiersFindNothing)
{
    DeviceIDHID other(0x1881, 0x0151, 0);
    HIDHIDAPI otherHid(&other);
    bool present = true;
    EXPECT_TRUE(otherHid.isPresent(present));
    EXPECT_FALSE(present);
    EXPECT_FALSE(otherHid.open());
}

TEST_F(HIDHIDAPITest, ClosedDeviceRefusesEveryOperation)
{
    basesim::unplug();
    EXPECT_FALSE(hid.open());
    EXPECT_FALSE(hid.isOpen());
    Buffer buffer{};
    const Buffer report{};
    unsigned long count = 7;
    EXPECT_FALSE(hid.read(buffer.data(), 64));
    EXPECT_FALSE(hid.readTimeout(buffer.data(), 64, 10));
    EXPECT_FALSE(hid.write(report.data()));
    EXPECT_FALSE(hid.setNonBlocking());
    EXPECT_FALSE(hid.getNumInputBuffers(count));
    EXPECT_EQ(count, 7u);
    EXPECT_TRUE(hid.setNumInputBuffers(512));
    EXPECT_EQ(hid.numInputBuffers(), 512u);
    EXPECT_TRUE(hid.close());
    EXPECT_TRUE(hid.close());
}

TEST_F(HIDHIDAPITest, InputBufferCountIsRememberedWhereTheSystemHasNone)
{
    ASSERT_TRUE(hid.open());
    EXPECT_EQ(hid.inputBufferCount(), 512u);
    EXPECT_TRUE(hid.setNumInputBuffers(hid.inputBufferCount()));
    EXPECT_EQ(hid.numInputBuffers(), 512u);
    unsigned long count = 0;
    EXPECT_FALSE(hid.getNumInputBuffers(count));
}

TEST_F(HIDHIDAPITest, ReadTimeoutWithoutReportSucceedsAndLeavesTheBuffer)
{
    ASSERT_TRUE(hid.open());
    Buffer buffer;
    buffer.fill(0xAA);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(hid.readTimeout(buffer.data(), 64, 100));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    Buffer untouched;
    untouched.fill(0xAA);
    EXPECT_EQ(buffer, untouched);
}

TEST_F(HIDHIDAPITest, ReadsDeliverQueuedReportsInOrder)
{
    ASSERT_TRUE(hid.open());
    basesim::queueInputReport({0x01, 0x11});
    basesim::queueInputReport({0x02, 0x30, 0x05});
    Buffer buffer{};
    ASSERT_TRUE(hid.readTimeout(buffer.data(), 64, 1000));
    EXPECT_EQ(buffer[0], 0x01);
    EXPECT_EQ(buffer[1], 0x11);
    ASSERT_TRUE(hid.setNonBlocking());
    ASSERT_TRUE(hid.read(buffer.data(), 64));
    EXPECT_EQ(buffer[1], 0x30);
    EXPECT_EQ(buffer[2], 0x05);
    buffer.fill(0);
    EXPECT_TRUE(hid.read(buffer.data(), 64)) << "non-blocking read with nothing waiting";
    EXPECT_EQ(buffer, Buffer{});
}

TEST_F(HIDHIDAPITest, UnpluggedBaseFailsReadsAndWritesButKeepsTheHandle)
{
    ASSERT_TRUE(hid.open());
    basesim::unplug();
    Buffer buffer{};
    EXPECT_FALSE(hid.readTimeout(buffer.data(), 64, 1000));
    EXPECT_FALSE(hid.write(buffer.data()));
    EXPECT_TRUE(hid.isOpen());
    basesim::plug();
    EXPECT_FALSE(hid.write(buffer.data())) << "a handle does not survive a replug";
    ASSERT_TRUE(hid.open());
    EXPECT_TRUE(hid.write(buffer.data()));
}

TEST_F(HIDHIDAPITest, ReopeningReleasesThePreviousHandle)
{
    ASSERT_TRUE(hid.open());
    ASSERT_TRUE(hid.open());
    ASSERT_TRUE(hid.open());
    EXPECT_EQ(basesim::openHandles(), handlesPerOpening);
    EXPECT_TRUE(hid.close());
    EXPECT_EQ(basesim::openHandles(), 0);
    EXPECT_FALSE(hid.isOpen());
}

TEST_F(HIDHIDAPITest, FailedReopeningReleasesThePreviousHandle)
{
    ASSERT_TRUE(hid.open());
    basesim::unplug();
    EXPECT_FALSE(hid.open());
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(basesim::openHandles(), 0);
}

TEST_F(HIDHIDAPITest, CloseWhileAnotherThreadReadsKeepsTheHandleUntilTheReadEnds)
{
    ASSERT_TRUE(hid.open());
    Buffer buffer{};
    std::atomic<bool> readOk{false};
    std::thread reader([&] { readOk = hid.readTimeout(buffer.data(), 64, 10000); });
    EXPECT_TRUE(basesim::waitForBlockedReads(1, std::chrono::seconds(10)));

    EXPECT_TRUE(hid.close());
    EXPECT_FALSE(hid.isOpen());
    EXPECT_EQ(basesim::openHandles(), handlesPerOpening) << "the reader still uses the handle";

    basesim::queueInputReport({0x01, 0x12});
    reader.join();
    EXPECT_TRUE(readOk);
    EXPECT_EQ(buffer[1], 0x12);
    EXPECT_EQ(basesim::openHandles(), 0) << "released by the reader's last reference";
}

TEST_F(HIDHIDAPITest, WriteDoesNotWaitForAPendingRead)
{
    ASSERT_TRUE(hid.open());
    Buffer buffer{};
    std::thread reader([&] { hid.readTimeout(buffer.data(), 64, 10000); });
    EXPECT_TRUE(basesim::waitForBlockedReads(1, std::chrono::seconds(10)));

    const std::vector<unsigned char> report = outputReport(0x18);
    EXPECT_TRUE(hid.write(report.data()));
    EXPECT_EQ(basesim::blockedReads(), 1) << "the write finished while the read still waits";
    EXPECT_TRUE(hid.open()) << "nor does an opening wait for it";

    basesim::queueInputReport({0x01, 0x11});
    reader.join();
    EXPECT_EQ(basesim::openHandles(), handlesPerOpening);
}

TEST_F(HIDHIDAPITest, ThreadsSharingTheHandleWhileItIsReplaced)
{
    std::atomic<bool> running{true};
    std::thread reader([&] {
        Buffer buffer{};
        while (running)
            hid.readTimeout(buffer.data(), 64, 2);
    });
    std::thread writer([&] {
        const std::vector<unsigned char> report = outputReport(0x18);
        while (running)
            hid.write(report.data());
    });
    for (int i = 0; i < 200; ++i) {
        if (i % 3 == 0)
            hid.close();
        else
            hid.open();
        basesim::queueInputReport({0x01, 0x11});
    }
    running = false;
    reader.join();
    writer.join();
    hid.close();
    EXPECT_EQ(basesim::openHandles(), 0);
}

TEST(HidInputBuffers, LinuxHasNoInputBufferCount)
{
    unsigned long count = 3;
    EXPECT_EQ(hid_GetNumInputBuffers(nullptr, &count), 0);
    EXPECT_EQ(count, 3u);
    EXPECT_EQ(hid_SetNumInputBuffers(nullptr, 512), 0);
}

} // namespace
