#ifndef TOOLS_RFSIM_ANSWERCODES_H
#define TOOLS_RFSIM_ANSWERCODES_H

#include <string>
#include <string_view>

namespace rfsim {

// A vote packet carries a 4-bit answer code; codes 1 to 10 are the keys
// "a" to "j" of a remote.
constexpr std::size_t answerCodeCount = 16;

// Accepts a letter a..j (either case) or a decimal code 0..15.
bool parseAnswerCode(std::string_view text, int &code);

// What a remote types for an answer key when the receiver is in text mode:
// "A".."J" for codes 1 to 10, the decimal code otherwise.
std::string keyText(int code);

} // namespace rfsim

#endif // TOOLS_RFSIM_ANSWERCODES_H
