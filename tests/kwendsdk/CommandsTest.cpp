#include "k-wendsdk/kwendsdk.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>

namespace {

using Command = std::array<std::uint8_t, KWEND_COMMAND_SIZE>;
constexpr Command kUntouched = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE};

Command modeCommand(std::int32_t mode, std::int32_t expectedResult)
{
    Command packet = kUntouched;
    EXPECT_EQ(kwend_base_unit_mode(packet.data(), mode), expectedResult) << "mode " << mode;
    return packet;
}

TEST(ModeCommand, BuildsBothModes)
{
    EXPECT_EQ(modeCommand(0, 0), (Command{0x80, 0x48, 0x00, 0x00, 0x48}));
    EXPECT_EQ(modeCommand(1, 0), (Command{0x82, 0x48, 0x00, 0x00, 0x4A}));
}

TEST(ModeCommand, RejectsOtherModesWithoutWriting)
{
    for (const std::int32_t mode : {2, -1, INT32_MIN, INT32_MAX}) {
        EXPECT_EQ(modeCommand(mode, 1), kUntouched);
    }
    EXPECT_EQ(kwend_base_unit_mode(nullptr, 0), 1);
}

Command actionPacket(std::uint32_t target, std::uint32_t action, std::int32_t expectedResult)
{
    Command packet = kUntouched;
    EXPECT_EQ(kwend_action_packet(packet.data(), target, action), expectedResult)
        << "target " << target << " action " << action;
    return packet;
}

TEST(ActionPacket, BuildsPacket)
{
    EXPECT_EQ(actionPacket(160000, 5, 0), (Command{0xC5, 0x42, 0x71, 0x00, 0x78}));
}

TEST(ActionPacket, PlacesEveryTargetBit)
{
    // Target bits 7 and 15 travel in byte 0; all other bytes carry 7 or 6 bits.
    EXPECT_EQ(actionPacket(0x3FFFFF, 11, 0), (Command{0xFB, 0x7F, 0x7F, 0x7F, 0x78}));
    EXPECT_EQ(actionPacket(0x008080 | 0x30000, 0, 0), (Command{0xF0, 0x43, 0x00, 0x00, 0x33}));
}

TEST(ActionPacket, DropsTargetBitsAbove21)
{
    const Command plain = actionPacket(160000, 5, 0);
    EXPECT_EQ(actionPacket(0x400000 + 160000, 5, 0), plain);
    EXPECT_EQ(actionPacket(0xFFC00000u + 160000, 5, 0), plain);
}

TEST(ActionPacket, RejectsArgumentsWithoutWriting)
{
    EXPECT_EQ(actionPacket(159999, 5, 1), kUntouched);
    EXPECT_EQ(actionPacket(160000, 12, 1), kUntouched);
    EXPECT_EQ(actionPacket(0, UINT32_MAX, 1), kUntouched);
    EXPECT_EQ(actionPacket(160000, 11, 0)[0] & 0x0F, 11);
    EXPECT_EQ(kwend_action_packet(nullptr, 160000, 5), 1);
}

TEST(Version, WritesTextAndLeavesRestAlone)
{
    char buffer[12];
    std::memset(buffer, '*', sizeof buffer);
    ASSERT_EQ(kwend_sdk_version(buffer, 10), 0);
    EXPECT_STREQ(buffer, "2.0.4");
    for (std::size_t i = 6; i < sizeof buffer; ++i) {
        EXPECT_EQ(buffer[i], '*') << "byte " << i;
    }
}

TEST(Version, RejectsSmallOrNullBuffer)
{
    char buffer[10];
    std::memset(buffer, '*', sizeof buffer);
    EXPECT_EQ(kwend_sdk_version(buffer, 9), 1);
    EXPECT_EQ(kwend_sdk_version(buffer, 6), 1);
    EXPECT_EQ(kwend_sdk_version(buffer, 0), 1);
    for (const char c : buffer) {
        EXPECT_EQ(c, '*');
    }
    EXPECT_EQ(kwend_sdk_version(nullptr, 10), 1);
}

} // namespace
