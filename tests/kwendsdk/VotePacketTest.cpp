#include "SdkTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace kwend::test {
namespace {

// Remote 123456, answer 2, type 3, as a receiver sends it.
const VotePacket kVote123456 = {0xBE, 0x5E, 0x4B, 0x4F, 0x36, 0xDC, 0x05, 0x02, 0x48, 0x2B};

TEST(VotePacket, DecodesReceiverPacket)
{
    const VoteResult r = inspect(kVote123456);
    EXPECT_EQ(r.result, 0);
    EXPECT_EQ(r.remote, 123456u);
    EXPECT_EQ(r.answer, 2);
}

TEST(VotePacket, EncoderReproducesReceiverPacket)
{
    EXPECT_EQ(encodeVote({123456, 2, 3}), kVote123456);
}

// Packets computed from the receiver's bit tables independently of the
// encoder. Bit n of the field bits (remote 0-20, answer 21-24, type 25-26) is
// set in vector 2k exactly when bit k of n is set, and vector 2k+1 is the
// complement; so any two field bits differ in some vector and a misplaced bit
// in either table shows up.
struct KnownPacket
{
    VotePacket bytes;
    WordFields fields;
};

const KnownPacket kSeparatingPackets[] = {
    {{0xDE, 0x0A, 0x71, 0x39, 0x12, 0xC8, 0x70, 0x7A, 0x2A, 0x5C}, {699050, 5, 1}},
    {{0xA1, 0x75, 0x0E, 0x47, 0x6B, 0xB7, 0x0F, 0x05, 0x54, 0x1F}, {1398101, 10, 2}},
    {{0xBB, 0x09, 0x4D, 0x65, 0x76, 0xB4, 0x33, 0x0C, 0x6A, 0x5D}, {838860, 6, 2}},
    {{0xC4, 0x76, 0x32, 0x1B, 0x07, 0xCB, 0x4C, 0x73, 0x14, 0x1E}, {1258291, 9, 1}},
    {{0xAF, 0x4E, 0x04, 0x3F, 0x40, 0x9F, 0x51, 0x28, 0x18, 0x30}, {1110256, 7, 0}},
    {{0xD0, 0x31, 0x7B, 0x41, 0x3D, 0xE0, 0x2E, 0x57, 0x66, 0x4B}, {986895, 8, 3}},
    {{0xB4, 0x5C, 0x3B, 0x6D, 0x38, 0xCD, 0x20, 0x07, 0x4C, 0x40}, {65280, 8, 3}},
    {{0xCB, 0x23, 0x44, 0x13, 0x45, 0xB2, 0x5F, 0x78, 0x32, 0x3B}, {2031871, 7, 0}},
    {{0xC7, 0x2F, 0x6B, 0x07, 0x68, 0xD0, 0x56, 0x40, 0x74, 0x5A}, {2031616, 15, 3}},
    {{0xB8, 0x50, 0x14, 0x79, 0x15, 0xAF, 0x29, 0x3F, 0x0A, 0x21}, {65535, 0, 0}},
};

TEST(VotePacket, EveryFieldBitInItsPlace)
{
    for (const KnownPacket &known : kSeparatingPackets) {
        const WordFields &f = known.fields;
        EXPECT_EQ(encodeVote(f), known.bytes) << "remote " << f.remote;
        const VoteResult r = inspect(known.bytes);
        EXPECT_EQ(r.remote, f.remote);
        EXPECT_EQ(r.answer, f.answer);
        EXPECT_EQ(r.result, f.type == 3 && f.remote >= 85000 ? 0 : 1) << "remote " << f.remote;
    }
}

TEST(VotePacket, BadCheckValueRejectedWithZeroedOutputs)
{
    VotePacket packet = kVote123456;
    packet[8] = 0x49; // second word no longer matches its check value
    const VoteResult r = inspect(packet);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.remote, 0u);
    EXPECT_EQ(r.answer, 0);
}

TEST(VotePacket, WordsInWrongOrderRejected)
{
    VotePacket swapped{};
    putWord(swapped.data(), 0, wordAt(kVote123456.data(), kVoteSecondWordOffset));
    putWord(swapped.data(), kVoteSecondWordOffset, wordAt(kVote123456.data(), 0));
    const VoteResult r = inspect(swapped);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.remote, 0u);
}

TEST(VotePacket, TwoWordsOfTheSameKindRejected)
{
    const WordFields fields{123456, 2, 3};
    for (const WordKind kind : {WordKind::First, WordKind::Second}) {
        VotePacket packet{};
        putWord(packet.data(), 0, encodeWord(fields, kind));
        putWord(packet.data(), kVoteSecondWordOffset, encodeWord(fields, kind));
        EXPECT_EQ(inspect(packet).result, 1);
    }
}

// Agreeing words but not a vote from an accepted remote: result 1, yet the
// decoded values have been stored.
struct StoredButRejected
{
    WordFields fields;
    std::int32_t expectedResult;
};

void PrintTo(const StoredButRejected &c, std::ostream *out)
{
    *out << c.fields.remote << "/" << int(c.fields.answer) << "/" << int(c.fields.type);
}

class VoteAcceptance : public ::testing::TestWithParam<StoredButRejected>
{
};

TEST_P(VoteAcceptance, StoresDecodedValuesWhenWordsAgree)
{
    const StoredButRejected c = GetParam();
    const VoteResult r = inspect(encodeVote(c.fields));
    EXPECT_EQ(r.result, c.expectedResult);
    EXPECT_EQ(r.remote, c.fields.remote);
    EXPECT_EQ(r.answer, c.fields.answer);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, VoteAcceptance,
    ::testing::Values(StoredButRejected{{84999, 4, 3}, 1}, StoredButRejected{{85000, 4, 3}, 0},
                      StoredButRejected{{0, 0, 3}, 1}, StoredButRejected{{kMaxRemoteId, 15, 3}, 0},
                      StoredButRejected{{123456, 7, 0}, 1}, StoredButRejected{{123456, 7, 1}, 1},
                      StoredButRejected{{123456, 7, 2}, 1}),
    [](const ::testing::TestParamInfo<StoredButRejected> &param) {
        const WordFields &f = param.param.fields;
        return "remote" + std::to_string(f.remote) + "_type" + std::to_string(f.type);
    });

TEST(VotePacket, DisagreeingWordsRejectedWithZeroedOutputs)
{
    const WordFields base{123456, 2, 3};
    const WordFields others[] = {{123457, 2, 3}, {123456, 3, 3}, {123456, 2, 1}};
    for (const WordFields &other : others) {
        VotePacket packet = encodeVote(base);
        putWord(packet.data(), kVoteSecondWordOffset, encodeWord(other, WordKind::Second));
        const VoteResult r = inspect(packet);
        EXPECT_EQ(r.result, 1);
        EXPECT_EQ(r.remote, 0u);
        EXPECT_EQ(r.answer, 0);
    }
}

// Bit 7 marks the first byte of a word and nothing else. Adding or removing
// it changes the sum by 128, so the check value alone would not notice.
TEST(VotePacket, MisplacedStartMarkerRejected)
{
    for (const std::size_t word : {std::size_t(0), kVoteSecondWordOffset}) {
        for (std::size_t byte = 0; byte < kCodeWordSize; ++byte) {
            VotePacket packet = kVote123456;
            packet[word + byte] ^= 0x80;
            EXPECT_EQ(inspect(packet).result, 1) << "word " << word << " byte " << byte;
        }
    }
}

TEST(VotePacket, NullOutputsWriteNothing)
{
    std::uint32_t remote = kSentinel;
    std::int32_t answer = std::int32_t(kSentinel);
    EXPECT_EQ(kwend_inspect(kVote123456.data(), nullptr, &answer), 1);
    EXPECT_EQ(kwend_inspect(kVote123456.data(), &remote, nullptr), 1);
    EXPECT_EQ(remote, kSentinel);
    EXPECT_EQ(answer, std::int32_t(kSentinel));
}

TEST(VotePacket, NullPacketZeroesOutputs)
{
    const VoteResult r = inspect(nullptr);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.remote, 0u);
    EXPECT_EQ(r.answer, 0);
}

} // namespace
} // namespace kwend::test
