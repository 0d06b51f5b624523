#ifndef TOOLS_RFSIM_TEXTFIELDS_H
#define TOOLS_RFSIM_TEXTFIELDS_H

// Small, strict parsers for the simulator's command-line and script fields.
// Every parser rejects empty input, trailing garbage and out-of-range values.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace rfsim {

bool parseUnsigned(std::string_view text, std::uint64_t &value);
bool parseUnsigned(std::string_view text, std::uint32_t &value);
bool parseDouble(std::string_view text, double &value);

// Splits on runs of blanks (spaces and tabs).
std::vector<std::string> splitWords(std::string_view text);

// Splits on every separator; "a,,b" gives "a", "", "b"; an empty text gives
// no items.
std::vector<std::string> splitList(std::string_view text, char separator);

// Splits "a=1,b=2" (separator ',') into pairs; an item without '=' yields an
// empty value.
std::vector<std::pair<std::string, std::string>> splitKeyValues(std::string_view text,
                                                                char separator);

} // namespace rfsim

#endif // TOOLS_RFSIM_TEXTFIELDS_H
