// The five exported functions of the RF packet SDK.
#include "k-wendsdk/kwendsdk.h"

#include "CodeWord.h"

#include <cstring>

namespace {

using kwend::sdk::DecodedWord;
namespace format = kwend::format;

#define KWEND_TEXT(number) #number
#define KWEND_VERSION_TEXT(major, minor, patch)                                                    \
    KWEND_TEXT(major) "." KWEND_TEXT(minor) "." KWEND_TEXT(patch)
constexpr char kVersionText[] =
    KWEND_VERSION_TEXT(KWEND_SDK_VERSION_MAJOR, KWEND_SDK_VERSION_MINOR, KWEND_SDK_VERSION_PATCH);
static_assert(sizeof kVersionText <= KWEND_VERSION_BUFFER_SIZE, "version text must fit");

constexpr int32_t kOk = 0;
constexpr int32_t kFailed = 1;

constexpr std::uint32_t kAcceptedType = 3;
constexpr std::uint32_t kMinRemoteId = 85000;
constexpr std::size_t kFirstValueData = 0;     // d0
constexpr std::size_t kSecondValueData = 1;    // d1
constexpr std::size_t kFirstCharacterData = 2; // d2
constexpr std::size_t kTextCharacters = KWEND_TEXT_BUFFER_SIZE - 1;
constexpr std::size_t kTextZeroedOnEntry = 20;
constexpr std::uint32_t kFirstValueCap = 64;

constexpr uint8_t kModeByte0[] = {0x80, 0x82};
constexpr uint8_t kModeByte1 = 0x48;

constexpr std::uint32_t kMinTargetId = 160000;
constexpr std::uint32_t kMaxAction = 11;
constexpr uint8_t kActionOptionBit = 0x40; // bit 6 of bytes 0 and 1, always set

// Decodes the two words of a packet into their shared fields. False unless
// both words are valid, come in the order first/second and agree on remote,
// answer and type.
bool decodeWordPair(const uint8_t *first, const uint8_t *second, std::uint32_t &fields)
{
    const DecodedWord a = kwend::sdk::decodeWord(first);
    const DecodedWord b = kwend::sdk::decodeWord(second);
    if (!a.valid || !b.valid || !a.first || b.first || a.fields != b.fields) {
        return false;
    }
    fields = a.fields;
    return true;
}

bool isAcceptedVoter(std::uint32_t fields)
{
    return format::typeOf(fields) == kAcceptedType && format::remoteOf(fields) >= kMinRemoteId;
}

// The data byte dN of a text packet, 7 bits.
uint8_t dataByte(const uint8_t *packet, std::size_t n)
{
    return packet[format::textDataOffset(n)] & format::kPayloadMask;
}

// d2 onwards, up to the first 0 or twenty characters; text[20] stays 0.
void copyText(const uint8_t *packet, char *text)
{
    std::memset(text, 0, KWEND_TEXT_BUFFER_SIZE);
    for (std::size_t i = 0; i < kTextCharacters; ++i) {
        const uint8_t character = dataByte(packet, kFirstCharacterData + i);
        if (character == 0) {
            break;
        }
        text[i] = char(character);
    }
}

void sealCommand(uint8_t *packet)
{
    packet[format::kPayloadBytes] = format::checkValue(packet);
}

} // namespace

extern "C" {

KWEND_API int32_t kwend_sdk_version(char *buffer, uint32_t size)
{
    if (buffer == nullptr || size < KWEND_VERSION_BUFFER_SIZE) {
        return kFailed;
    }
    std::memcpy(buffer, kVersionText, sizeof kVersionText);
    return kOk;
}

KWEND_API int32_t kwend_inspect(const uint8_t *packet, uint32_t *remote_id, int32_t *answer)
{
    if (remote_id == nullptr || answer == nullptr) {
        return kFailed;
    }
    *remote_id = 0;
    *answer = 0;
    std::uint32_t fields = 0;
    if (packet == nullptr || !decodeWordPair(packet, packet + format::kVoteSecondWord, fields)) {
        return kFailed;
    }
    *remote_id = format::remoteOf(fields);
    *answer = int32_t(format::answerOf(fields));
    return isAcceptedVoter(fields) ? kOk : kFailed;
}

KWEND_API int32_t kwend_action_packet(uint8_t *packet, uint32_t target_id, uint32_t action)
{
    if (target_id < kMinTargetId || action > kMaxAction || packet == nullptr) {
        return kFailed;
    }
    // Target bits 15 and 7 ride in byte 0, 21-16 in byte 1, 14-8 in byte 2,
    // 6-0 in byte 3; bits 22-31 are not carried.
    const auto bits = [target_id](int shift, uint32_t mask) {
        return uint8_t((target_id >> shift) & mask);
    };
    packet[0] = uint8_t(format::kStartMarker | kActionOptionBit | (bits(15, 1) << 5) |
                        (bits(7, 1) << 4) | action);
    packet[1] = uint8_t(kActionOptionBit | bits(16, 0x3F));
    packet[2] = bits(8, 0x7F);
    packet[3] = bits(0, 0x7F);
    sealCommand(packet);
    return kOk;
}

KWEND_API int32_t kwend_drid_inspect(const uint8_t *packet, uint32_t *remote_id,
                                     uint32_t *first_value, int32_t *second_value, int32_t *excess,
                                     char *text)
{
    if (remote_id == nullptr || first_value == nullptr || second_value == nullptr ||
        excess == nullptr || text == nullptr) {
        return kFailed;
    }
    *remote_id = 0;
    *first_value = 0;
    *second_value = 0;
    *excess = 0;
    std::memset(text, 0, kTextZeroedOnEntry);
    std::uint32_t fields = 0;
    if (packet == nullptr || !decodeWordPair(packet, packet + format::kTextSecondWord, fields)) {
        return kFailed;
    }
    *remote_id = format::remoteOf(fields);
    if (!isAcceptedVoter(fields)) {
        return kFailed;
    }
    *second_value = dataByte(packet, kSecondValueData);
    copyText(packet, text);
    // d0 has 7 bits: values of 64 and above report 64 and the rest as excess.
    const uint32_t first = dataByte(packet, kFirstValueData);
    *first_value = first < kFirstValueCap ? first : kFirstValueCap;
    *excess = int32_t(first < kFirstValueCap ? 0 : first % kFirstValueCap);
    return kOk;
}

KWEND_API int32_t kwend_base_unit_mode(uint8_t *packet, int32_t mode)
{
    if (packet == nullptr || (mode != 0 && mode != 1)) {
        return kFailed;
    }
    packet[0] = kModeByte0[mode];
    packet[1] = kModeByte1;
    packet[2] = 0;
    packet[3] = 0;
    sealCommand(packet);
    return kOk;
}

} // extern "C"
