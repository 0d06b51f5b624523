// Feeds arbitrary 10-byte packets to kwend_inspect. An accepted packet must
// carry in-range values and be exactly the packet the encoder builds from
// them: each valid vote packet has a single encoding.
#include "k-wendsdk/kwendsdk.h"
#include "kwend/Encoder.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < kwend::kVotePacketSize) {
        return 0;
    }
    // An exactly sized heap copy, so that any read past the packet is caught.
    const auto packet = std::make_unique<std::uint8_t[]>(kwend::kVotePacketSize);
    std::copy_n(data, kwend::kVotePacketSize, packet.get());

    std::uint32_t remote = 0;
    std::int32_t answer = 0;
    if (kwend_inspect(packet.get(), &remote, &answer) != 0) {
        return 0;
    }
    if (remote < kwend::kMinRemoteId || remote > kwend::kMaxRemoteId || answer < 0 || answer > 15) {
        std::abort();
    }
    const kwend::VotePacket expected =
        kwend::encodeVote({remote, std::uint8_t(answer), kwend::kVoteType});
    if (!std::equal(expected.begin(), expected.end(), packet.get())) {
        std::abort();
    }
    return 0;
}
