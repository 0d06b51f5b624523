// Layout of the 5-byte code word from which every receiver packet is built.
//
// Shared by the SDK's decoder and by the packet encoder of the tools, so the
// two bit tables below exist exactly once. Written down as the receiver
// documents them: one row per payload byte, columns from bit 6 down to bit 0.
#ifndef KWENDSDK_CODEWORDFORMAT_H
#define KWENDSDK_CODEWORDFORMAT_H

#include <array>
#include <cstddef>
#include <cstdint>

namespace kwend::format {

constexpr std::size_t kWordSize = 5;
constexpr std::size_t kPayloadBytes = 4; // bytes 0-3; byte 4 holds the check value
constexpr int kPayloadBitsPerByte = 7;
constexpr std::uint8_t kStartMarker = 0x80; // bit 7: set in byte 0 only
constexpr std::uint8_t kPayloadMask = 0x7F;
constexpr std::size_t kFlagByte = 3;
constexpr std::uint8_t kFirstWordFlag = 0x01; // bit 0 of byte 3

constexpr int kRemoteBits = 21;
constexpr int kAnswerBits = 4;
constexpr int kTypeBits = 2;

enum class Field : std::uint8_t { Remote, Answer, Type, Flag };

// One payload bit of a code word: which field bit it carries.
struct Slot
{
    Field field;
    std::uint8_t bit;
};

// [byte][column], column 0 = bit 6 ... column 6 = bit 0.
using WordTable = std::array<std::array<Slot, kPayloadBitsPerByte>, kPayloadBytes>;

constexpr Slot I(std::uint8_t n)
{
    return {Field::Remote, n};
}
constexpr Slot A(std::uint8_t n)
{
    return {Field::Answer, n};
}
constexpr Slot T(std::uint8_t n)
{
    return {Field::Type, n};
}
constexpr Slot kFlag{Field::Flag, 0};

// First word (flag 1): every field bit is stored inverted.
constexpr WordTable kFirstWord{{
    {I(14), I(17), I(20), A(3), I(2), I(8), I(9)},
    {I(19), I(15), A(2), I(0), I(3), I(10), I(13)},
    {I(12), I(6), A(1), I(5), T(0), I(7), I(4)},
    {A(0), I(16), T(1), I(18), I(1), I(11), kFlag},
}};

// Second word (flag 0): field bits are stored as they are.
constexpr WordTable kSecondWord{{
    {T(0), I(2), A(1), I(13), I(14), I(4), I(12)},
    {A(0), I(11), A(2), I(0), I(16), I(18), I(6)},
    {I(17), I(5), I(1), I(7), I(10), I(9), I(8)},
    {T(1), I(19), I(20), I(15), A(3), I(3), kFlag},
}};

constexpr int bitOfColumn(std::size_t column)
{
    return kPayloadBitsPerByte - 1 - int(column);
}

// The three fields packed into one integer: remote in bits 0-20, answer in
// bits 21-24, type in bits 25-26. Lets the decoder compare two words at once.
constexpr int kAnswerShift = kRemoteBits;
constexpr int kTypeShift = kRemoteBits + kAnswerBits;
constexpr std::uint32_t kAllFields = (1u << (kTypeShift + kTypeBits)) - 1;

constexpr std::uint32_t packedBit(Slot slot)
{
    switch (slot.field) {
    case Field::Remote:
        return 1u << slot.bit;
    case Field::Answer:
        return 1u << (kAnswerShift + slot.bit);
    case Field::Type:
        return 1u << (kTypeShift + slot.bit);
    case Field::Flag:
        break;
    }
    return 0;
}

constexpr std::uint32_t remoteOf(std::uint32_t packed)
{
    return packed & ((1u << kRemoteBits) - 1);
}
constexpr std::uint32_t answerOf(std::uint32_t packed)
{
    return (packed >> kAnswerShift) & ((1u << kAnswerBits) - 1);
}
constexpr std::uint32_t typeOf(std::uint32_t packed)
{
    return (packed >> kTypeShift) & ((1u << kTypeBits) - 1);
}
constexpr std::uint32_t pack(std::uint32_t remote, std::uint32_t answer, std::uint32_t type)
{
    return (remote | (answer << kAnswerShift) | (type << kTypeShift)) & kAllFields;
}

// 7-bit sum check over the first four bytes of a word, bit 7 included.
constexpr std::uint8_t checkValue(const std::uint8_t *bytes)
{
    return std::uint8_t((bytes[0] + bytes[1] + bytes[2] + bytes[3]) & kPayloadMask);
}

// Packet layout: where the second code word starts in a vote and a text
// packet, and where the text packet's 7-bit data bytes d0 to d21 sit (d0-d10
// right after the first word, d11-d21 right after the second).
constexpr std::size_t kVoteSecondWord = 5;
constexpr std::size_t kTextSecondWord = 16;
constexpr std::size_t kTextDataPerHalf = 11;

constexpr std::size_t textDataOffset(std::size_t n)
{
    return n < kTextDataPerHalf ? kWordSize + n
                                : kTextSecondWord + kWordSize + (n - kTextDataPerHalf);
}

// A table is usable only if it carries every field bit exactly once and the
// flag in bit 0 of byte 3.
constexpr bool isPermutation(const WordTable &table)
{
    std::uint32_t seen = 0;
    for (std::size_t byte = 0; byte < kPayloadBytes; ++byte) {
        for (std::size_t column = 0; column < table[byte].size(); ++column) {
            const Slot slot = table[byte][column];
            const bool flagPosition = byte == kFlagByte && bitOfColumn(column) == 0;
            if ((slot.field == Field::Flag) != flagPosition) {
                return false;
            }
            const std::uint32_t bit = packedBit(slot);
            if (seen & bit) {
                return false;
            }
            seen |= bit;
        }
    }
    return seen == kAllFields;
}

static_assert(isPermutation(kFirstWord), "first word table must carry each field bit once");
static_assert(isPermutation(kSecondWord), "second word table must carry each field bit once");

} // namespace kwend::format

#endif // KWENDSDK_CODEWORDFORMAT_H
