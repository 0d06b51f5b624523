// Feeds arbitrary 32-byte packets to kwend_drid_inspect. An accepted packet
// must report in-range values, a terminated text taken from its data bytes,
// and code words that the encoder builds for the reported remote.
#include "k-wendsdk/kwendsdk.h"
#include "kwend/Encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

constexpr std::size_t kD0 = 5;
constexpr std::size_t kD1 = 6;

void require(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

// The answer code is not reported; some answer must reproduce both words.
bool wordsMatchRemote(const std::uint8_t *packet, std::uint32_t remote)
{
    for (std::uint8_t answer = 0; answer < 16; ++answer) {
        const kwend::WordFields fields{remote, answer, kwend::kVoteType};
        if (kwend::wordAt(packet, 0) == kwend::encodeWord(fields, kwend::WordKind::First) &&
            kwend::wordAt(packet, kwend::kTextSecondWordOffset) ==
                kwend::encodeWord(fields, kwend::WordKind::Second)) {
            return true;
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < kwend::kTextPacketSize) {
        return 0;
    }
    const auto packet = std::make_unique<std::uint8_t[]>(kwend::kTextPacketSize);
    std::copy_n(data, kwend::kTextPacketSize, packet.get());
    const auto text = std::make_unique<char[]>(KWEND_TEXT_BUFFER_SIZE);

    std::uint32_t remote = 0;
    std::uint32_t first = 0;
    std::int32_t second = 0;
    std::int32_t excess = 0;
    if (kwend_drid_inspect(packet.get(), &remote, &first, &second, &excess, text.get()) != 0) {
        return 0;
    }
    require(remote >= kwend::kMinRemoteId && remote <= kwend::kMaxRemoteId);
    require(first <= 64 && excess >= 0 && excess < 64);
    require(first + std::uint32_t(excess) == (packet[kD0] & 0x7Fu));
    require(second == (packet[kD1] & 0x7F));
    require(text[KWEND_TEXT_BUFFER_SIZE - 1] == 0);
    require(std::strlen(text.get()) <= kwend::kMaxTextLength);
    require(wordsMatchRemote(packet.get(), remote));
    return 0;
}
