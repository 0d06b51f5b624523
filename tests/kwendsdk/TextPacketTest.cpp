#include "SdkTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace kwend::test {
namespace {

// Remote 123456, answer 0, type 3, d0 = 1, d1 = 0, text "ABC".
const TextPacket kTextAbc =
    bytes<kTextPacketSize>({0xBE, 0x5E, 0x5B, 0x4F, 0x46, 0x01, 0x00, 0x41, 0x42, 0x43, 0x00,
                            0x00, 0x00, 0x00, 0x00, 0x00, 0xCC, 0x05, 0x02, 0x48, 0x1B});

const WordFields kVoter{123456, 0, 3};
constexpr std::size_t kD0 = 5;
constexpr std::size_t kD1 = 6;
constexpr std::size_t kD2 = 7;
constexpr std::size_t kTextEnd = KWEND_TEXT_BUFFER_SIZE - 1;

TEST(TextPacket, DecodesReceiverPacket)
{
    const TextResult r = inspectText(kTextAbc);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.remote, 123456u);
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.second, 0);
    EXPECT_EQ(r.excess, 0);
    EXPECT_EQ(r.string(), "ABC");
    for (std::size_t i = 3; i <= kTextEnd; ++i) {
        EXPECT_EQ(r.text[i], 0) << "byte " << i;
    }
    EXPECT_EQ(r.text[KWEND_TEXT_BUFFER_SIZE], kTextSentinel) << "wrote past the text buffer";
}

TEST(TextPacket, EncoderReproducesReceiverPacket)
{
    EXPECT_EQ(encodeText(kVoter, {1, 0, "ABC"}), kTextAbc);
}

TEST(TextPacket, TwentyCharactersAcrossBothHalves)
{
    const TextResult r = inspectText(encodeText({123456, 9, 3}, {1, 7, "ABCDEFGHIJ0123456789"}));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.first, 1u);
    EXPECT_EQ(r.second, 7);
    EXPECT_EQ(r.excess, 0);
    EXPECT_EQ(r.string(), "ABCDEFGHIJ0123456789");
    EXPECT_EQ(r.text[kTextEnd], 0);
    EXPECT_EQ(r.text[KWEND_TEXT_BUFFER_SIZE], kTextSentinel);
}

TEST(TextPacket, ZeroCharacterEndsText)
{
    using namespace std::string_view_literals;
    const TextResult r = inspectText(encodeText(kVoter, {1, 0, "AB\0CD"sv}));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.string(), "AB");
    for (std::size_t i = 2; i <= kTextEnd; ++i) {
        EXPECT_EQ(r.text[i], 0) << "byte " << i;
    }
}

struct Capping
{
    std::uint8_t d0;
    std::uint32_t first;
    std::int32_t excess;
};

void PrintTo(const Capping &c, std::ostream *out)
{
    *out << "d0 " << int(c.d0);
}

class FirstValueCapping : public ::testing::TestWithParam<Capping>
{
};

TEST_P(FirstValueCapping, ReportsCapAndExcess)
{
    const Capping c = GetParam();
    const TextResult r = inspectText(encodeText(kVoter, {c.d0, 0, "X"}));
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.first, c.first);
    EXPECT_EQ(r.excess, c.excess);
}

INSTANTIATE_TEST_SUITE_P(D0, FirstValueCapping,
                         ::testing::Values(Capping{0, 0, 0}, Capping{1, 1, 0}, Capping{63, 63, 0},
                                           Capping{64, 64, 0}, Capping{70, 64, 6},
                                           Capping{127, 64, 63}),
                         [](const ::testing::TestParamInfo<Capping> &param) {
                             return "d0_" + std::to_string(param.param.d0);
                         });

TEST(TextPacket, DataBytesLoseBitSeven)
{
    TextPacket packet = encodeText(kVoter, {1, 0, "ABC"});
    packet[kD0] = 0x80 | 70;
    packet[kD1] = 0x85;
    packet[kD2] = 0x80 | 'a';
    const TextResult r = inspectText(packet);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.first, 64u);
    EXPECT_EQ(r.excess, 6);
    EXPECT_EQ(r.second, 5);
    EXPECT_EQ(r.string(), "aBC");
}

TEST(TextPacket, CharacterWithOnlyBitSevenEndsText)
{
    TextPacket packet = encodeText(kVoter, {1, 0, "ABC"});
    packet[kD2 + 1] = 0x80;
    EXPECT_EQ(inspectText(packet).string(), "A");
}

TEST(TextPacket, NullOutputsWriteNothing)
{
    TextResult r;
    EXPECT_EQ(
        kwend_drid_inspect(kTextAbc.data(), nullptr, &r.first, &r.second, &r.excess, r.text.data()),
        1);
    EXPECT_EQ(kwend_drid_inspect(kTextAbc.data(), &r.remote, nullptr, &r.second, &r.excess,
                                 r.text.data()),
              1);
    EXPECT_EQ(
        kwend_drid_inspect(kTextAbc.data(), &r.remote, &r.first, nullptr, &r.excess, r.text.data()),
        1);
    EXPECT_EQ(
        kwend_drid_inspect(kTextAbc.data(), &r.remote, &r.first, &r.second, nullptr, r.text.data()),
        1);
    EXPECT_EQ(
        kwend_drid_inspect(kTextAbc.data(), &r.remote, &r.first, &r.second, &r.excess, nullptr), 1);
    EXPECT_EQ(r.remote, kSentinel);
    EXPECT_EQ(r.first, kSentinel);
    EXPECT_EQ(r.second, std::int32_t(kSentinel));
    EXPECT_EQ(r.excess, std::int32_t(kSentinel));
    for (const char c : r.text) {
        EXPECT_EQ(c, kTextSentinel);
    }
}

// Early failures zero the integers and the first 20 text bytes only.
void expectZeroedExceptLastTextByte(const TextResult &r, std::uint32_t remote)
{
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.remote, remote);
    EXPECT_EQ(r.first, 0u);
    EXPECT_EQ(r.second, 0);
    EXPECT_EQ(r.excess, 0);
    EXPECT_TRUE(r.textZeroedUpTo(kTextEnd));
    EXPECT_EQ(r.text[kTextEnd], kTextSentinel);
    EXPECT_EQ(r.text[KWEND_TEXT_BUFFER_SIZE], kTextSentinel);
}

TEST(TextPacket, NullPacketZeroesOutputs)
{
    expectZeroedExceptLastTextByte(inspectText(nullptr), 0);
}

TEST(TextPacket, InvalidOrDisagreeingWordsLeaveOutputsZero)
{
    TextPacket badCheck = kTextAbc;
    badCheck[19] ^= 0x01;
    expectZeroedExceptLastTextByte(inspectText(badCheck), 0);

    TextPacket disagreeing = kTextAbc;
    putWord(disagreeing.data(), kTextSecondWordOffset,
            encodeWord({123456, 1, 3}, WordKind::Second)); // answer code differs
    expectZeroedExceptLastTextByte(inspectText(disagreeing), 0);
}

TEST(TextPacket, RejectedVoterStoresOnlyRemote)
{
    expectZeroedExceptLastTextByte(inspectText(encodeText({84999, 0, 3}, {1, 7, "ABC"})), 84999);
    expectZeroedExceptLastTextByte(inspectText(encodeText({123456, 0, 2}, {1, 7, "ABC"})), 123456);
}

TEST(TextPacket, VotePacketWordsAtVoteOffsetsRejected)
{
    TextPacket packet{};
    const VotePacket vote = encodeVote({123456, 2, 3});
    std::copy(vote.begin(), vote.end(), packet.begin());
    EXPECT_EQ(inspectText(packet).result, 1);
}

} // namespace
} // namespace kwend::test
