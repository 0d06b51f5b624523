// Decoding of one 5-byte code word through per-byte lookup tables.
//
// Each payload byte contributes a fixed set of field bits, independent of the
// other bytes, so a word decodes as the OR of four table entries. The tables
// are computed at compile time from the bit tables in CodeWordFormat.h.
#ifndef KWENDSDK_CODEWORD_H
#define KWENDSDK_CODEWORD_H

#include "CodeWordFormat.h"

#include <array>
#include <cstdint>

namespace kwend::sdk {

struct DecodedWord
{
    std::uint32_t fields = 0; // remote, answer and type, packed (see format::pack)
    bool first = false;       // first-word flag
    bool valid = false;       // framing and sum check hold
};

namespace detail {

constexpr int kPayloadValues = 1 << format::kPayloadBitsPerByte;
using ByteTable = std::array<std::uint32_t, kPayloadValues>;
using WordLookup = std::array<ByteTable, format::kPayloadBytes>;

// For every byte position and every 7-bit payload value: the packed field bits
// that are set in the packet. The flag bit contributes nothing.
constexpr WordLookup makeLookup(const format::WordTable &table)
{
    WordLookup lookup{};
    for (std::size_t byte = 0; byte < format::kPayloadBytes; ++byte) {
        for (int value = 0; value < kPayloadValues; ++value) {
            std::uint32_t fields = 0;
            for (std::size_t column = 0; column < table[byte].size(); ++column) {
                if ((value >> format::bitOfColumn(column)) & 1) {
                    fields |= format::packedBit(table[byte][column]);
                }
            }
            lookup[byte][std::size_t(value)] = fields;
        }
    }
    return lookup;
}

inline constexpr WordLookup kFirstLookup = makeLookup(format::kFirstWord);
inline constexpr WordLookup kSecondLookup = makeLookup(format::kSecondWord);

constexpr std::uint32_t lookupFields(const WordLookup &lookup, const std::uint8_t *word)
{
    return lookup[0][word[0] & format::kPayloadMask] | lookup[1][word[1] & format::kPayloadMask] |
           lookup[2][word[2] & format::kPayloadMask] | lookup[3][word[3] & format::kPayloadMask];
}

constexpr bool framingHolds(const std::uint8_t *word)
{
    const bool startMarked = (word[0] & format::kStartMarker) != 0;
    const bool restClear = ((word[1] | word[2] | word[3] | word[4]) & format::kStartMarker) == 0;
    return startMarked && restClear;
}

} // namespace detail

// Decodes a word; the fields are filled even when the word is invalid.
constexpr DecodedWord decodeWord(const std::uint8_t *word)
{
    DecodedWord decoded;
    decoded.first = (word[format::kFlagByte] & format::kFirstWordFlag) != 0;
    decoded.fields = decoded.first
                         ? ~detail::lookupFields(detail::kFirstLookup, word) & format::kAllFields
                         : detail::lookupFields(detail::kSecondLookup, word);
    decoded.valid =
        detail::framingHolds(word) && (word[4] & format::kPayloadMask) == format::checkValue(word);
    return decoded;
}

} // namespace kwend::sdk

#endif // KWENDSDK_CODEWORD_H
