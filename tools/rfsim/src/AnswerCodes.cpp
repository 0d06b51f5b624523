#include "AnswerCodes.h"

#include "TextFields.h"

#include <cctype>
#include <cstdint>

namespace rfsim {

namespace {
constexpr int letterCount = 10;
}

bool parseAnswerCode(std::string_view text, int &code)
{
    if (text.size() == 1 && std::isalpha(static_cast<unsigned char>(text[0]))) {
        const int letter = std::tolower(static_cast<unsigned char>(text[0])) - 'a';
        if (letter >= letterCount)
            return false;
        code = letter + 1;
        return true;
    }
    std::uint32_t number = 0;
    if (!parseUnsigned(text, number) || number >= answerCodeCount)
        return false;
    code = int(number);
    return true;
}

std::string keyText(int code)
{
    if (code >= 1 && code <= letterCount)
        return std::string(1, char('A' + code - 1));
    return std::to_string(code);
}

} // namespace rfsim
