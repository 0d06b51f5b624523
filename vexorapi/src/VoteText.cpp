#include "VoteText.h"

#include <string_view>

namespace vote_text {
namespace {

// Code bytes below 0x80, indexed by the byte.
constexpr std::string_view plainTable("\0  ABCDEFGHIJKLMNOPQRSTUVWXYZ +-\0E0123456789=_^\0", 48);
// Code bytes from 0x80, indexed by the byte minus 0x80, after a full stop.
constexpr std::string_view dottedTable("ABCDEFGHIJKLMNOPQRSTUVWXYZ\0+-=_^\0E0123456789\0", 45);
// 4-bit values of numeric entries; 0, 1 and 15 stand for the character 0.
constexpr char digitTable[16] = {0,   0,   '0', '1', '2', '3', '4', '5',
                                 '6', '7', '8', '9', 'E', '-', '^', 0};

constexpr char unknownCode = '?';
constexpr int noPoint = -1;

char digit(unsigned value)
{
    return digitTable[value & 0x0F];
}

// Number of characters in front of the decimal point, from a numeric entry's
// last byte.
int pointPosition(unsigned char last)
{
    switch (last) {
    case 0x07:
        return 4;
    case 0x0B:
        return 5;
    case 0x0D:
        return 6;
    case 0x0E:
        return 7;
    }
    switch (last >> 4) {
    case 0x1:
        return 3;
    case 0x2:
        return 2;
    case 0x4:
        return 1;
    case 0x8:
        return 0;
    }
    return noPoint;
}

void appendCode(std::string &text, unsigned char code)
{
    if (code < 0x80) {
        text += code < plainTable.size() ? plainTable[code] : unknownCode;
        return;
    }
    const unsigned index = code - 0x80u;
    text += '.';
    text += index < dottedTable.size() ? dottedTable[index] : unknownCode;
}

} // namespace

std::string remoteId(const unsigned char *bytes)
{
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    for (int i = 0; i < 3; ++i) {
        text += hex[bytes[i] >> 4];
        text += hex[bytes[i] & 0x0F];
    }
    return text;
}

std::string alphanumeric(const unsigned char *codes, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        appendCode(text, codes[i]);
    return text;
}

std::string numeric(const unsigned char *bytes, std::size_t count)
{
    if (count == 0)
        return std::string();
    std::string text;
    for (std::size_t i = 0; i + 1 < count; ++i) {
        if (bytes[i] > 0x0F)
            text += digit(bytes[i] >> 4);
        text += digit(bytes[i]);
    }
    const int point = pointPosition(bytes[count - 1]);
    if (point != noPoint && static_cast<std::size_t>(point) <= text.size())
        text.insert(static_cast<std::size_t>(point), 1, '.');
    return text;
}

} // namespace vote_text
