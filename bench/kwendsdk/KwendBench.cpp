// Throughput of kwend_inspect and kwend_drid_inspect on accepted and rejected
// packets. Each iteration decodes a batch of different packets so that the
// branch predictor cannot learn a single one.
#include "k-wendsdk/kwendsdk.h"
#include "kwend/Encoder.h"

#include <benchmark/benchmark.h>

#include <random>
#include <vector>

namespace {

constexpr std::size_t kBatch = 1024;

enum class Kind { Accepted, BadCheckValue, RejectedRemote, Mixed };

template <typename Packet> void spoil(Packet &packet, Kind kind, std::mt19937 &random)
{
    if (kind == Kind::BadCheckValue || (kind == Kind::Mixed && (random() & 1))) {
        packet[4] ^= 0x01;
    }
}

kwend::WordFields fieldsFor(Kind kind, std::mt19937 &random)
{
    const std::uint32_t span = kwend::kMaxRemoteId - kwend::kMinRemoteId;
    const std::uint32_t remote = kind == Kind::RejectedRemote
                                     ? random() % kwend::kMinRemoteId
                                     : kwend::kMinRemoteId + random() % span;
    return {remote, std::uint8_t(random() & 0x0F), kwend::kVoteType};
}

std::vector<kwend::VotePacket> votePackets(Kind kind)
{
    std::mt19937 random(7);
    std::vector<kwend::VotePacket> packets;
    for (std::size_t i = 0; i < kBatch; ++i) {
        packets.push_back(kwend::encodeVote(fieldsFor(kind, random)));
        spoil(packets.back(), kind, random);
    }
    return packets;
}

std::vector<kwend::TextPacket> textPackets(Kind kind)
{
    std::mt19937 random(7);
    std::vector<kwend::TextPacket> packets;
    for (std::size_t i = 0; i < kBatch; ++i) {
        packets.push_back(
            kwend::encodeText(fieldsFor(kind, random), {1, 0, "QUESTION 12 ANSWER B"}));
        spoil(packets.back(), kind, random);
    }
    return packets;
}

void inspectVotes(benchmark::State &state, Kind kind)
{
    const std::vector<kwend::VotePacket> packets = votePackets(kind);
    std::uint32_t remote = 0;
    std::int32_t answer = 0;
    for (auto _ : state) {
        for (const kwend::VotePacket &packet : packets) {
            benchmark::DoNotOptimize(kwend_inspect(packet.data(), &remote, &answer));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(packets.size()));
}

void inspectTexts(benchmark::State &state, Kind kind)
{
    const std::vector<kwend::TextPacket> packets = textPackets(kind);
    std::uint32_t remote = 0;
    std::uint32_t first = 0;
    std::int32_t second = 0;
    std::int32_t excess = 0;
    char text[KWEND_TEXT_BUFFER_SIZE];
    for (auto _ : state) {
        for (const kwend::TextPacket &packet : packets) {
            benchmark::DoNotOptimize(
                kwend_drid_inspect(packet.data(), &remote, &first, &second, &excess, text));
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(packets.size()));
}

BENCHMARK_CAPTURE(inspectVotes, accepted, Kind::Accepted);
BENCHMARK_CAPTURE(inspectVotes, bad_check_value, Kind::BadCheckValue);
BENCHMARK_CAPTURE(inspectVotes, rejected_remote, Kind::RejectedRemote);
BENCHMARK_CAPTURE(inspectVotes, mixed, Kind::Mixed);
BENCHMARK_CAPTURE(inspectTexts, accepted, Kind::Accepted);
BENCHMARK_CAPTURE(inspectTexts, bad_check_value, Kind::BadCheckValue);
BENCHMARK_CAPTURE(inspectTexts, mixed, Kind::Mixed);

} // namespace

BENCHMARK_MAIN();
