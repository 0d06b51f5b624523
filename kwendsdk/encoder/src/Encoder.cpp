#include "kwend/Encoder.h"

#include "CodeWordFormat.h"

#include <algorithm>

namespace kwend {

namespace {

static_assert(kVoteSecondWordOffset == format::kVoteSecondWord &&
                  kTextSecondWordOffset == format::kTextSecondWord,
              "the encoder's packet layout is the decoder's");

constexpr std::size_t kTextOffsetInData = 2; // d2 is the first character

bool fieldBit(const WordFields &fields, format::Slot slot)
{
    switch (slot.field) {
    case format::Field::Remote:
        return (fields.remote >> slot.bit) & 1u;
    case format::Field::Answer:
        return (fields.answer >> slot.bit) & 1u;
    case format::Field::Type:
        return (fields.type >> slot.bit) & 1u;
    case format::Field::Flag:
        break;
    }
    return false;
}

} // namespace

std::uint8_t checkValue(const CodeWord &word)
{
    return format::checkValue(word.data());
}

void seal(CodeWord &word)
{
    word[format::kPayloadBytes] = checkValue(word);
}

CodeWord encodeWord(const WordFields &fields, WordKind kind)
{
    const bool first = kind == WordKind::First;
    const format::WordTable &table = first ? format::kFirstWord : format::kSecondWord;
    CodeWord word{};
    for (std::size_t byte = 0; byte < format::kPayloadBytes; ++byte) {
        for (std::size_t column = 0; column < table[byte].size(); ++column) {
            const format::Slot slot = table[byte][column];
            // The first word stores every field bit inverted.
            const bool set =
                slot.field == format::Field::Flag ? first : fieldBit(fields, slot) != first;
            if (set) {
                word[byte] |= std::uint8_t(1u << format::bitOfColumn(column));
            }
        }
    }
    word[0] |= format::kStartMarker;
    seal(word);
    return word;
}

VotePacket encodeVote(const WordFields &fields)
{
    VotePacket packet{};
    putWord(packet.data(), 0, encodeWord(fields, WordKind::First));
    putWord(packet.data(), kVoteSecondWordOffset, encodeWord(fields, WordKind::Second));
    return packet;
}

TextPacket encodeText(const WordFields &fields, const TextContent &content)
{
    TextPacket packet{};
    putWord(packet.data(), 0, encodeWord(fields, WordKind::First));
    putWord(packet.data(), kTextSecondWordOffset, encodeWord(fields, WordKind::Second));
    packet[format::textDataOffset(0)] = content.firstValue & format::kPayloadMask;
    packet[format::textDataOffset(1)] = content.secondValue & format::kPayloadMask;
    const std::size_t length = std::min(content.text.size(), kMaxTextLength);
    for (std::size_t i = 0; i < length; ++i) {
        packet[format::textDataOffset(kTextOffsetInData + i)] =
            std::uint8_t(content.text[i]) & format::kPayloadMask;
    }
    return packet;
}

CodeWord wordAt(const std::uint8_t *packet, std::size_t offset)
{
    CodeWord word{};
    std::copy_n(packet + offset, word.size(), word.begin());
    return word;
}

void putWord(std::uint8_t *packet, std::size_t offset, const CodeWord &word)
{
    std::copy(word.begin(), word.end(), packet + offset);
}

} // namespace kwend
