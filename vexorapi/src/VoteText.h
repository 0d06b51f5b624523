#ifndef VEXORAPI_VOTETEXT_H
#define VEXORAPI_VOTETEXT_H

#include <cstddef>
#include <string>

// Texts of a vote record's fields as the base encodes them.
namespace vote_text {

// Three identifier bytes as six lowercase hexadecimal digits, first byte first.
std::string remoteId(const unsigned char *bytes);

// One character per code byte: below 0x80 from the plain table, from 0x80 a
// full stop and then the dotted table's entry for the byte minus 0x80. Some
// entries are the character 0. A code outside its table yields "?" (after the
// full stop, from 0x80).
std::string alphanumeric(const unsigned char *codes, std::size_t count);

// Digits from every 4-bit value of the first count - 1 bytes (the high half
// only when it is not 0), then the decimal point that the last byte places.
std::string numeric(const unsigned char *bytes, std::size_t count);

} // namespace vote_text

#endif // VEXORAPI_VOTETEXT_H
