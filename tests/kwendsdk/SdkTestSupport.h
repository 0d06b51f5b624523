// Helpers shared by the SDK tests: call the inspection functions with
// sentinel-filled outputs so that tests see exactly what was written.
#ifndef TESTS_KWENDSDK_SDKTESTSUPPORT_H
#define TESTS_KWENDSDK_SDKTESTSUPPORT_H

#include "k-wendsdk/kwendsdk.h"
#include "kwend/Encoder.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kwend::test {

constexpr std::uint32_t kSentinel = 0xA5A5A5A5u;
constexpr char kTextSentinel = '#';

struct VoteResult
{
    std::int32_t result = -1;
    std::uint32_t remote = kSentinel;
    std::int32_t answer = std::int32_t(kSentinel);
};

inline VoteResult inspect(const std::uint8_t *packet)
{
    VoteResult r;
    r.result = kwend_inspect(packet, &r.remote, &r.answer);
    return r;
}

inline VoteResult inspect(const VotePacket &packet)
{
    return inspect(packet.data());
}

struct TextResult
{
    std::int32_t result = -1;
    std::uint32_t remote = kSentinel;
    std::uint32_t first = kSentinel;
    std::int32_t second = std::int32_t(kSentinel);
    std::int32_t excess = std::int32_t(kSentinel);
    std::array<char, KWEND_TEXT_BUFFER_SIZE + 1> text{}; // one guard byte past the buffer

    TextResult() { text.fill(kTextSentinel); }
    std::string string() const { return std::string(text.data()); }
    bool textZeroedUpTo(std::size_t n) const
    {
        for (std::size_t i = 0; i < n; ++i) {
            if (text[i] != 0) {
                return false;
            }
        }
        return true;
    }
};

inline TextResult inspectText(const std::uint8_t *packet)
{
    TextResult r;
    r.result = kwend_drid_inspect(packet, &r.remote, &r.first, &r.second, &r.excess, r.text.data());
    return r;
}

inline TextResult inspectText(const TextPacket &packet)
{
    return inspectText(packet.data());
}

template <std::size_t N> std::array<std::uint8_t, N> bytes(const std::vector<int> &values)
{
    std::array<std::uint8_t, N> out{};
    for (std::size_t i = 0; i < values.size() && i < N; ++i) {
        out[i] = std::uint8_t(values[i]);
    }
    return out;
}

} // namespace kwend::test

#endif // TESTS_KWENDSDK_SDKTESTSUPPORT_H
