// Packet encoder for the RF clicker receiver: builds the byte packets that a
// receiver delivers to its host (the inverse of k-wendsdk's inspection
// functions). Used by the SDK's tests and by the receiver simulator; it is not
// part of the SDK.
//
// Every packet is built from 5-byte code words. A code word carries three
// fields in its 27 payload bits:
//   remote identifier: 21 bits (0 to 2,097,151)
//   answer code:        4 bits (0 to 15)
//   packet type:        2 bits (0 to 3; receivers send 3)
// Wider values are cut to these widths. Bit 7 is set in the first byte of a
// word only, and byte 4 holds the 7-bit sum check of bytes 0-3.
//
// Packets are accepted by the SDK only when the type is 3 and the remote
// identifier at least 85000 (kMinRemoteId); the encoder builds any values so
// that rejected packets can be produced on purpose.
#ifndef KWEND_ENCODER_H
#define KWEND_ENCODER_H

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kwend {

constexpr std::size_t kCodeWordSize = 5;
constexpr std::size_t kVotePacketSize = 10;
constexpr std::size_t kTextPacketSize = 32;
constexpr std::size_t kMaxTextLength = 20;

constexpr std::uint8_t kVoteType = 3;         // the only packet type the SDK accepts
constexpr std::uint32_t kMinRemoteId = 85000; // lowest remote identifier the SDK accepts
constexpr std::uint32_t kMaxRemoteId = 0x1FFFFF;

using CodeWord = std::array<std::uint8_t, kCodeWordSize>;
using VotePacket = std::array<std::uint8_t, kVotePacketSize>;
using TextPacket = std::array<std::uint8_t, kTextPacketSize>;

// The fields carried by each code word of a packet.
struct WordFields
{
    std::uint32_t remote = 0;
    std::uint8_t answer = 0;
    std::uint8_t type = kVoteType;
};

// A packet holds a first word (field bits stored inverted, flag bit 1) and a
// second word (field bits stored plainly, flag bit 0), each with its own bit
// permutation.
enum class WordKind { First, Second };

// The data part of a text packet.
struct TextContent
{
    std::uint8_t firstValue = 1;  // d0, 7 bits; the desktop program wants 1
    std::uint8_t secondValue = 0; // d1, 7 bits
    std::string_view text;        // up to 20 characters, 7 bits each
};

// 7-bit sum check of the first four bytes of a code word.
std::uint8_t checkValue(const CodeWord &word);

// Rewrites byte 4 of word with the check value of bytes 0-3, e.g. after a test
// changed a byte on purpose and wants the word to pass the sum check.
void seal(CodeWord &word);

// One valid code word of the given kind.
CodeWord encodeWord(const WordFields &fields, WordKind kind);

// Vote packet (10 bytes): first word, then second word, both carrying fields.
VotePacket encodeVote(const WordFields &fields);

// Text packet (32 bytes): first word, d0 to d10, second word, d11 to d21.
// d0 = firstValue, d1 = secondValue, d2 onwards the characters of text; unused
// data bytes are 0. Only the first 20 characters are used, and a character of
// value 0 ends the text as the receiver's decoder sees it. Values are cut to
// 7 bits.
TextPacket encodeText(const WordFields &fields, const TextContent &content);

// The code word at byte offset 0 or at the second word's offset of a packet
// (5 in a vote packet, 16 in a text packet), for tests that edit words.
CodeWord wordAt(const std::uint8_t *packet, std::size_t offset);
void putWord(std::uint8_t *packet, std::size_t offset, const CodeWord &word);

constexpr std::size_t kVoteSecondWordOffset = 5;
constexpr std::size_t kTextSecondWordOffset = 16;

} // namespace kwend

#endif // KWEND_ENCODER_H
