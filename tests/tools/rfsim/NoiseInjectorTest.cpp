// Noise injection: what each kind of noise does to a packet, and whether the
// "intact" flag the simulator logs is a promise a host can rely on.
#include "NoiseInjector.h"

#include <k-wendsdk/kwendsdk.h>
#include <kwend/Encoder.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <bitset>
#include <map>

namespace rfsim {
namespace {

std::vector<std::uint8_t> votePacket(std::uint32_t remote, int answer)
{
    const kwend::VotePacket packet = kwend::encodeVote({remote, std::uint8_t(answer)});
    return {packet.begin(), packet.end()};
}

bool endsWith(const std::vector<std::uint8_t> &bytes, const std::vector<std::uint8_t> &tail)
{
    return bytes.size() >= tail.size() &&
           std::equal(tail.begin(), tail.end(), bytes.end() - std::ptrdiff_t(tail.size()));
}

TEST(RfsimNoise, WithoutNoiseThePacketIsUntouched)
{
    NoiseInjector noise;
    const auto packet = votePacket(123456, 2);
    const NoisyPacket out = noise.apply(packet);
    EXPECT_EQ(out.bytes, packet);
    EXPECT_TRUE(out.intact());
    EXPECT_FALSE(out.stray || out.flipped || out.dropped);
}

TEST(RfsimNoise, EachKindDoesExactlyWhatItsFlagSays)
{
    const auto packet = votePacket(200000, 5);
    for (int seed = 1; seed <= 50; ++seed) {
        NoiseInjector flip({0, 1, 0, std::uint64_t(seed)});
        const NoisyPacket flipped = flip.apply(packet);
        ASSERT_TRUE(flipped.flipped && !flipped.intact());
        ASSERT_EQ(flipped.bytes.size(), packet.size());
        std::size_t differingBits = 0;
        for (std::size_t i = 0; i < packet.size(); ++i)
            differingBits += std::bitset<8>(packet[i] ^ flipped.bytes[i]).count();
        EXPECT_EQ(differingBits, 1u);

        NoiseInjector drop({0, 0, 1, std::uint64_t(seed)});
        const NoisyPacket dropped = drop.apply(packet);
        ASSERT_TRUE(dropped.dropped && !dropped.intact());
        ASSERT_EQ(dropped.bytes.size(), packet.size() - 1);
        // The result is the packet with one byte taken out.
        const auto firstDifference =
            std::mismatch(dropped.bytes.begin(), dropped.bytes.end(), packet.begin()).second;
        EXPECT_TRUE(std::equal(firstDifference + 1, packet.end(),
                               dropped.bytes.begin() + (firstDifference - packet.begin())));

        NoiseInjector stray({1, 0, 0, std::uint64_t(seed)});
        const NoisyPacket strayed = stray.apply(packet);
        ASSERT_TRUE(strayed.stray && strayed.intact());
        EXPECT_GE(strayed.bytes.size(), packet.size() + 1);
        EXPECT_LE(strayed.bytes.size(), packet.size() + 3);
        EXPECT_TRUE(endsWith(strayed.bytes, packet));
    }
}

TEST(RfsimNoise, SameSeedSameNoise)
{
    const NoiseSettings settings{0.3, 0.3, 0.3, 42};
    NoiseInjector a(settings), b(settings);
    for (std::uint32_t remote = 100000; remote < 100200; ++remote) {
        const auto packet = votePacket(remote, 1);
        EXPECT_EQ(a.apply(packet).bytes, b.apply(packet).bytes);
    }
}

TEST(RfsimNoise, ParsesSettingsAndKeepsOldOnesOnError)
{
    NoiseSettings settings;
    std::string error;
    ASSERT_TRUE(parseNoiseSettings("drop=0.5,seed=3", settings, error)) << error;
    EXPECT_EQ(settings.drop, 0.5);
    EXPECT_EQ(settings.seed, 3u);
    EXPECT_FALSE(parseNoiseSettings("drop=0.1,flip=-0.1", settings, error));
    EXPECT_EQ(settings.drop, 0.5);
    EXPECT_FALSE(parseNoiseSettings("drop", settings, error));
    EXPECT_FALSE(parseNoiseSettings("drop=nan", settings, error));
}

// A host that cuts 10-byte frames and slides by one byte after a rejected
// frame, as the desktop program does; returns the remotes it accepted.
std::vector<std::uint32_t> receive(const std::vector<std::uint8_t> &stream)
{
    std::vector<std::uint32_t> remotes;
    std::size_t pos = 0;
    while (stream.size() - pos >= kwend::kVotePacketSize) {
        std::uint32_t remote = 0;
        std::int32_t answer = 0;
        if (kwend_inspect(stream.data() + pos, &remote, &answer) == 0) {
            remotes.push_back(remote);
            pos += kwend::kVotePacketSize;
        } else {
            ++pos;
        }
    }
    return remotes;
}

TEST(RfsimNoise, ExactlyTheIntactVotePacketsGetThrough)
{
    for (std::uint64_t seed : {1u, 2u, 3u, 99u}) {
        NoiseInjector noise({0.1, 0.1, 0.1, seed});
        std::vector<std::uint8_t> stream;
        std::map<std::uint32_t, bool> intact;
        for (std::uint32_t remote = 100000; remote < 102000; ++remote) {
            const NoisyPacket out = noise.apply(votePacket(remote, int(remote % 10) + 1));
            intact[remote] = out.intact();
            stream.insert(stream.end(), out.bytes.begin(), out.bytes.end());
        }
        std::map<std::uint32_t, int> delivered;
        for (const std::uint32_t remote : receive(stream))
            ++delivered[remote];
        std::size_t intactCount = 0;
        for (const auto &[remote, wasIntact] : intact) {
            EXPECT_EQ(delivered[remote], wasIntact ? 1 : 0) << "remote " << remote;
            intactCount += wasIntact;
        }
        EXPECT_GT(intactCount, 1000u); // the noise left most packets alone
        EXPECT_LT(intactCount, 2000u); // and damaged some
    }
}

} // namespace
} // namespace rfsim
