// Properties over many encoded packets (fixed seed, so failures reproduce).
#include "SdkTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace kwend::test {
namespace {

constexpr int kSamples = 4000;

class PacketProperty : public ::testing::Test
{
protected:
    std::mt19937 random{20261207};

    // Spread over the whole field ranges, with extra weight on the types and
    // remotes the SDK accepts.
    WordFields randomFields()
    {
        WordFields fields;
        fields.remote = random() & kMaxRemoteId;
        fields.answer = std::uint8_t(random() & 0x0F);
        fields.type = (random() & 1) ? kVoteType : std::uint8_t(random() & 0x03);
        return fields;
    }

    static bool accepted(const WordFields &f)
    {
        return f.type == kVoteType && f.remote >= kMinRemoteId;
    }
};

TEST_F(PacketProperty, VoteRoundTrip)
{
    int acceptedCount = 0;
    for (int i = 0; i < kSamples; ++i) {
        const WordFields f = randomFields();
        const VoteResult r = inspect(encodeVote(f));
        ASSERT_EQ(r.result, accepted(f) ? 0 : 1)
            << f.remote << "/" << int(f.answer) << "/" << int(f.type);
        ASSERT_EQ(r.remote, f.remote);
        ASSERT_EQ(r.answer, f.answer);
        acceptedCount += r.result == 0;
    }
    EXPECT_GT(acceptedCount, kSamples / 4);
}

// Every bit of a code word is covered: payload bits by the check value, bit 7
// by the framing rule, the check value by itself.
TEST_F(PacketProperty, EverySingleBitFlipOfAVotePacketRejected)
{
    for (int i = 0; i < kSamples / 20; ++i) {
        const VotePacket packet = encodeVote(randomFields());
        for (std::size_t bit = 0; bit < kVotePacketSize * 8; ++bit) {
            VotePacket flipped = packet;
            flipped[bit / 8] ^= std::uint8_t(1u << (bit % 8));
            const VoteResult r = inspect(flipped);
            ASSERT_EQ(r.result, 1) << "bit " << bit;
            ASSERT_EQ(r.remote, 0u);
            ASSERT_EQ(r.answer, 0);
        }
    }
}

TEST_F(PacketProperty, SwappedWordsRejected)
{
    for (int i = 0; i < kSamples / 4; ++i) {
        const VotePacket packet = encodeVote(randomFields());
        VotePacket swapped{};
        putWord(swapped.data(), 0, wordAt(packet.data(), kVoteSecondWordOffset));
        putWord(swapped.data(), kVoteSecondWordOffset, wordAt(packet.data(), 0));
        ASSERT_EQ(inspect(swapped).result, 1);
    }
}

TEST_F(PacketProperty, TextRoundTrip)
{
    std::string text(kMaxTextLength, ' ');
    for (int i = 0; i < kSamples / 4; ++i) {
        WordFields f = randomFields();
        f.type = kVoteType;
        f.remote |= 0x100000; // above the accepted minimum
        const std::size_t length = random() % (kMaxTextLength + 1);
        for (char &c : text) {
            c = char(1 + random() % 127);
        }
        const std::uint8_t d0 = std::uint8_t(random() & 0x7F);
        const std::uint8_t d1 = std::uint8_t(random() & 0x7F);
        const TextResult r = inspectText(encodeText(f, {d0, d1, {text.data(), length}}));
        ASSERT_EQ(r.result, 0);
        ASSERT_EQ(r.remote, f.remote);
        ASSERT_EQ(r.first + std::uint32_t(r.excess), d0);
        ASSERT_EQ(r.first, d0 < 64 ? d0 : 64u);
        ASSERT_EQ(r.second, d1);
        ASSERT_EQ(r.string(), text.substr(0, length));
        ASSERT_EQ(r.text[kMaxTextLength], 0);
    }
}

TEST_F(PacketProperty, TextCodeWordBitFlipsRejectedDataBitFlipsNot)
{
    const TextPacket packet = encodeText({123456, 3, 3}, {1, 2, "HELLO"});
    for (std::size_t bit = 0; bit < kTextPacketSize * 8; ++bit) {
        const std::size_t byte = bit / 8;
        const bool inWord = byte < kCodeWordSize || (byte >= kTextSecondWordOffset &&
                                                     byte < kTextSecondWordOffset + kCodeWordSize);
        TextPacket flipped = packet;
        flipped[byte] ^= std::uint8_t(1u << (bit % 8));
        EXPECT_EQ(inspectText(flipped).result, inWord ? 1 : 0) << "bit " << bit;
    }
}

} // namespace
} // namespace kwend::test
