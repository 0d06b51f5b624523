#include "TextFields.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rfsim {

bool parseUnsigned(std::string_view text, std::uint64_t &value)
{
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return false;
    std::uint64_t parsed = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (error != std::errc() || end != text.data() + text.size())
        return false;
    value = parsed;
    return true;
}

bool parseUnsigned(std::string_view text, std::uint32_t &value)
{
    std::uint64_t wide = 0;
    if (!parseUnsigned(text, wide) || wide > std::numeric_limits<std::uint32_t>::max())
        return false;
    value = std::uint32_t(wide);
    return true;
}

bool parseDouble(std::string_view text, double &value)
{
    // strtod needs a terminated string; the C locale is what the simulator runs in.
    const std::string copy(text);
    if (copy.empty())
        return false;
    char *end = nullptr;
    const double parsed = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || !std::isfinite(parsed))
        return false;
    value = parsed;
    return true;
}

std::vector<std::string> splitWords(std::string_view text)
{
    std::vector<std::string> words;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", pos);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.emplace_back(text.substr(start, end - start));
        pos = end;
    }
    return words;
}

std::vector<std::string> splitList(std::string_view text, char separator)
{
    std::vector<std::string> items;
    if (text.empty())
        return items;
    std::size_t pos = 0;
    while (true) {
        const std::size_t end = text.find(separator, pos);
        items.emplace_back(text.substr(pos, end == std::string_view::npos ? end : end - pos));
        if (end == std::string_view::npos)
            return items;
        pos = end + 1;
    }
}

std::vector<std::pair<std::string, std::string>> splitKeyValues(std::string_view text,
                                                                char separator)
{
    std::vector<std::pair<std::string, std::string>> pairs;
    for (const std::string &item : splitList(text, separator)) {
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos)
            pairs.emplace_back(item, std::string());
        else
            pairs.emplace_back(item.substr(0, equals), item.substr(equals + 1));
    }
    return pairs;
}

} // namespace rfsim
