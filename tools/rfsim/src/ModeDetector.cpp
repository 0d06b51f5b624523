#include "ModeDetector.h"

#include <k-wendsdk/kwendsdk.h>

#include <algorithm>

namespace rfsim {

ModeDetector::ModeDetector()
{
    for (int mode = 0; mode < int(commands_.size()); ++mode)
        kwend_base_unit_mode(commands_[std::size_t(mode)].data(), mode);
}

std::optional<int> ModeDetector::feed(std::uint8_t byte)
{
    ++received_;
    if (filled_ == window_.size()) {
        std::rotate(window_.begin(), window_.begin() + 1, window_.end());
        window_.back() = byte;
    } else {
        window_[filled_++] = byte;
    }
    if (filled_ < window_.size())
        return std::nullopt;
    for (std::size_t mode = 0; mode < commands_.size(); ++mode) {
        if (window_ == commands_[mode]) {
            recognised_ += window_.size();
            filled_ = 0;
            return int(mode);
        }
    }
    return std::nullopt;
}

} // namespace rfsim
